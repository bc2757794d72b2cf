#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <memory>

namespace kivotrek {

// Splits a Gerber file into lines on line feeds only. A carriage return stays in its line;
// characters after the last line feed are never delivered. A UTF-8 byte order mark at the start
// of the file is passed over. Reads through a fixed buffer, so memory grows with the longest
// line, never with the file, and a line longer than the cap (far beyond any real Gerber line)
// ends the reading there.
class LineReader {
public:
    static constexpr qint64 kMaxLineLength = qint64(64) * 1024 * 1024;

    explicit LineReader(QIODevice& device, qint64 maxLineLength = kMaxLineLength);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next complete line (line feed excluded), or false at the end of the data. The view
    // stays valid until the next call.
    bool next(QByteArrayView& line);

    // Same, copied.
    bool next(QByteArray& line);

    // Also delivers characters after the last line feed as a last line (Gerber readers drop
    // them; the Excellon reader takes them).
    void keepUnterminatedLastLine() { keepLastLine_ = true; }

    // Ends lines at a carriage return too, as the drill readers take them: CR, LF, CR LF and
    // LF CR each end one line (older Mac tools end lines with CR alone).
    void endLinesAtAnyLineEnd() { anyLineEnd_ = true; }

    // 1-based number of the line delivered last.
    qint64 lineNumber() const { return lineNo_; }

    // True when the end came from a read error rather than the end of the file.
    bool failed() const { return failed_; }

    // True when the end came from a line longer than the cap; it is line lineNumber() + 1.
    bool tooLong() const { return tooLong_; }

private:
    bool refill();
    bool endTooLong();
    // The first line end at or after pos_ in the buffer, or -1.
    qint64 findLineEnd();

    QIODevice& device_;
    std::unique_ptr<char[]> buffer_;
    QByteArray carry_; // a line that runs across buffer refills
    qint64 pos_ = 0;
    qint64 len_ = 0;
    qint64 lineNo_ = 0;
    qint64 maxLineLength_;
    bool failed_ = false;
    bool tooLong_ = false;
    bool keepLastLine_ = false;
    bool atEnd_ = false;
    bool started_ = false; // the first bytes were looked at for a byte order mark
    bool anyLineEnd_ = false;
    char pairedEnd_ = 0; // after a CR, an LF that completes its line end (or after LF, a CR)
    // Where the next LF and CR lie in the buffer (len_ for none), found once per buffer.
    qint64 nextLf_ = -1;
    qint64 nextCr_ = -1;
};

} // namespace kivotrek
