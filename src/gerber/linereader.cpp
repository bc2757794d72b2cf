#include "gerber/linereader.h"

#include <cstring>

namespace kivotrek {

namespace {
constexpr qint64 kBufferSize = 64 * 1024;
}

LineReader::LineReader(QIODevice& device) : device_(device), buffer_(new char[kBufferSize])
{
}

LineReader::~LineReader() = default;

bool LineReader::refill()
{
    if (atEnd_)
        return false;
    const qint64 n = device_.read(buffer_.get(), kBufferSize);
    if (n <= 0) {
        atEnd_ = true;
        failed_ = n < 0;
        return false;
    }
    pos_ = 0;
    len_ = n;
    return true;
}

bool LineReader::next(QByteArray& line)
{
    line.resize(0); // keeps the capacity for the next line
    for (;;) {
        if (pos_ >= len_ && !refill())
            return false; // a last line without line feed is dropped
        const char* start = buffer_.get() + pos_;
        const auto avail = static_cast<size_t>(len_ - pos_);
        const void* nl = std::memchr(start, '\n', avail);
        if (nl) {
            const qint64 n = static_cast<const char*>(nl) - start;
            line.append(start, n);
            pos_ += n + 1;
            ++lineNo_;
            return true;
        }
        line.append(start, static_cast<qsizetype>(avail));
        pos_ = len_;
    }
}

} // namespace kivotrek
