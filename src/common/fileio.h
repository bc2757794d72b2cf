#pragma once

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>

namespace kivotrek {

// Whether a whole file reached the disk, and when it did not, why, in the system's words ("No
// space left on device"), for the message that names the file.
struct WriteResult {
    bool ok = false;
    QString reason;
    explicit operator bool() const { return ok; }
    static WriteResult failed(const QString& reason) { return {false, reason}; }
};

// Ends a QSaveFile that holds the whole new file: flushes its buffer and checks that every byte
// reached the disk, syncs the data, then renames it over the old file. On any failure the
// temporary file is removed and the old file stays as it was. (QSaveFile::commit alone does not
// see a failed flush of its last buffered bytes: a full disk would pass for a save.)
WriteResult commitWhole(QSaveFile& file);

// True for a regular file (after links): not a pipe, a device or a folder. Files are read by
// name more than once (to read, then to draw), and opening a pipe may block.
bool isRegularFile(const QString& path);

// Opens the file for reading, only when it is a regular file: a pipe would block, or could be
// read only once. A file a look holds (inputHead) is taken as it is open: Qt then forgets the
// QFile's name, so a reader names its file by the path it was given, never by fileName().
bool openToRead(QFile& file);

// The first bytes of an input file (at most `bytes`, read from its start), looked at to tell
// what the file is: an archive, which reader's. The file stays open for the read that follows,
// so that a command opens each of its files once: openToRead of the same path takes the open
// file, positioned at its start, as long as it is still the same file (device, inode, size and
// time). Empty for a file that cannot be read or is no regular file. At most a few files are
// held; the oldest is closed when more are looked at.
QByteArray inputHead(const QString& path, qint64 bytes);
// Closes every file a look holds that no read took.
void releaseHeldInputs();
// Closes the held files when it goes out of scope: a command's files are closed on every way out.
struct HeldInputsScope {
    HeldInputsScope() = default;
    HeldInputsScope(const HeldInputsScope&) = delete;
    HeldInputsScope& operator=(const HeldInputsScope&) = delete;
    ~HeldInputsScope() { releaseHeldInputs(); }
};

// When the environment's KIVOTREK_TRACE_OPENS names a file, appends the path of an input just
// opened to it, one line each, so that a test can count how often a command reads each file.
// openToRead notes its opens itself; nothing happens while the variable is unset.
void noteInputOpened(const QString& path);

// Why a file cannot be opened for reading, as the user is told: missing or closed to us (with
// the system's reason), or not a regular file.
QString whyUnopenable(const QString& path);
// The system's reason alone ("No such file or directory", "Permission denied"); empty for a
// file that is there but no regular file (a pipe is never opened to find out).
QString unreadableReason(const QString& path);

// An output must never be one of the files it is made from: the index of the first input that
// is the same file as the output (device and inode, after links), or -1. A missing output, or a
// missing input, is no input's. Names are the system's bytes (QFile::encodeName), so that a
// name that is no UTF-8 is compared as it is.
int inputWrittenOver(const QByteArray& output, const QList<QByteArray>& inputs);
int inputWrittenOver(const QString& output, const QStringList& inputs);
// The same for an open descriptor (standard output redirected into a file).
int inputWrittenOver(int descriptor, const QList<QByteArray>& inputs);

// True when the first 4 KiB of the device hold a byte that no drill or Gerber file holds: a NUL
// or a control character other than tab, line feed, form feed, carriage return and the old
// end-of-file mark (0x1A). Every reader refuses such a file, and so does the drawing.
bool holdsBinaryBytes(QIODevice& device);

// Writes all the bytes. A short write (a disk that filled up) sets no reason on the device, so
// the rest is tried again until a write fails outright and the device holds the system's reason.
// False when some bytes did not reach the device.
bool writeAll(QIODevice& device, const QByteArray& bytes);

// Writes the bytes as the whole new content of the file, through commitWhole.
WriteResult writeWholeFile(const QString& path, const QByteArray& bytes);

// A new file written piece by piece as it is made, so that a large output (an SVG drawing, a
// PDF page) never has to be held whole. The pieces go through a buffer to a temporary file
// beside it; a short write is tried again and the first failure is kept with its reason, since
// some writers (the PDF writer) do not look at what a write returns. commit() checks, syncs and
// renames the file over the old one; until then, and on any failure, the old file stays as it
// was, and a file never committed is removed.
class StreamedFile : public QIODevice {
public:
    explicit StreamedFile(const QString& path);
    ~StreamedFile() override;
    StreamedFile(const StreamedFile&) = delete;
    StreamedFile& operator=(const StreamedFile&) = delete;

    // Opens the temporary file for writing; false with failure() when it cannot be made.
    bool begin();
    // The whole file on the disk under its name, or why not.
    WriteResult commit();
    // Nothing is kept: the temporary file goes, the old file stays.
    void discard();
    // Why a write failed; empty while every byte went out.
    const QString& failure() const { return failure_; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override;

private:
    bool writeBuffer();

    QSaveFile file_;
    QByteArray buffer_;
    QString failure_;
};

} // namespace kivotrek
