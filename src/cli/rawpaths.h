#pragma once

#include <QByteArray>
#include <QString>

namespace kivotrek::cli {

// Command-line paths as the bytes they are. Qt names files in UTF-8 only: a name that is not
// valid UTF-8 (a Shift-JIS name from an old archive) decodes with U+FFFD and then names no
// file. Such an argument is remembered with its bytes, and the commands reach its file through
// the process's own descriptors (/proc/self/fd), which Qt can name.

// The argument as text; a name that is no UTF-8 is remembered with its bytes.
QString argumentText(const char* raw);

// The argument's name as the system's bytes: the bytes it was given as.
QByteArray nativeName(const QString& argument);

// A file to read: the argument itself, or for a name kept as bytes, "/proc/self/fd/N" of the
// file opened now (and kept open for the run). The argument itself when it cannot be opened, so
// that the reader says so.
QString readablePath(const QString& argument);

// A file to write. Write the whole file to writePath() (through QSaveFile, as always), then
// call finish(): for a name kept as bytes, the file is written under a temporary name in the
// same folder and renamed to the name's bytes there. A write that is not finished leaves no
// temporary file behind.
class OutputPath {
public:
    explicit OutputPath(const QString& argument);
    ~OutputPath();
    OutputPath(const OutputPath&) = delete;
    OutputPath& operator=(const OutputPath&) = delete;

    const QString& writePath() const { return writePath_; }
    bool finish(); // false with errno set to the reason

private:
    QString writePath_;
    int folder_ = -1; // the output's folder, for a name kept as bytes
    QByteArray temporary_;
    QByteArray name_;
    bool finished_ = false;
};

} // namespace kivotrek::cli
