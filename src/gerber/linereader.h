#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <memory>

namespace kivotrek {

// Splits a Gerber file into lines on line feeds only. A carriage return stays in its line;
// characters after the last line feed are never delivered. Reads through a fixed buffer, so
// memory grows with the longest line, never with the file, and a line longer than the cap (far
// beyond any real Gerber line) ends the reading there.
class LineReader {
public:
    static constexpr qint64 kMaxLineLength = 64 * 1024 * 1024;

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

    // 1-based number of the line delivered last.
    qint64 lineNumber() const { return lineNo_; }

    // True when the end came from a read error rather than the end of the file.
    bool failed() const { return failed_; }

    // True when the end came from a line longer than the cap; it is line lineNumber() + 1.
    bool tooLong() const { return tooLong_; }

private:
    bool refill();
    bool endTooLong();

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
};

} // namespace kivotrek
