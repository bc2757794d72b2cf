#pragma once

#include <QByteArray>
#include <QString>

namespace kivotrek::cli {

// Command-line paths as the bytes they are. Qt names files in UTF-8 only: a name that is not
// valid UTF-8 (a Shift-JIS name from an old archive) would decode with U+FFFD and then name no
// file. Such an argument is shown decoded as code page 932 (else with "\xNN" for each byte that
// is not ASCII), remembered with its bytes, and reached through a link of that readable name in
// a private temporary folder, so that every column and message names it as the user gave it.

// The argument as text; a name that is no UTF-8 is remembered with its bytes.
QString argumentText(const char* raw);

// The argument's name as the system's bytes: the bytes it was given as.
QByteArray nativeName(const QString& argument);

// A file to read: the argument itself, or for a name kept as bytes, a link to it whose name is
// the argument's text. The argument itself when no link can be made, so that the reader says so.
QString readablePath(const QString& argument);

// A message with the links of readablePath named as the arguments they stand for.
QString shownPaths(const QString& text);

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
