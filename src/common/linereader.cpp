#include "common/linereader.h"

#include <algorithm>
#include <cstring>

namespace kivotrek {

namespace {
constexpr qint64 kBufferSize = qint64(64) * 1024;
}

LineReader::LineReader(QIODevice& device, qint64 maxLineLength)
    : device_(device), buffer_(new char[kBufferSize]), maxLineLength_(maxLineLength)
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
    nextLf_ = nextCr_ = -1;
    if (!started_) {
        started_ = true;
        if (n >= 3 && std::memcmp(buffer_.get(), "\xEF\xBB\xBF", 3) == 0)
            pos_ = 3; // a UTF-8 byte order mark
    }
    return true;
}

qint64 LineReader::findLineEnd()
{
    const char* base = buffer_.get();
    const auto find = [&](char c, qint64& cached) {
        if (cached < pos_) {
            const void* at = std::memchr(base + pos_, c, static_cast<size_t>(len_ - pos_));
            cached = at ? static_cast<const char*>(at) - base : len_;
        }
        return cached;
    };
    const qint64 lf = find('\n', nextLf_);
    const qint64 end = anyLineEnd_ ? std::min(lf, find('\r', nextCr_)) : lf;
    return end < len_ ? end : -1;
}

bool LineReader::endTooLong()
{
    tooLong_ = atEnd_ = true;
    pos_ = len_;
    carry_ = QByteArray(); // its memory goes back at once
    return false;
}

bool LineReader::next(QByteArrayView& line)
{
    if (!carry_.isEmpty())
        carry_.resize(0); // keeps the capacity for the next long line
    if (pairedEnd_ != 0 && (pos_ < len_ || refill())) {
        if (buffer_[pos_] == pairedEnd_)
            ++pos_; // the second half of a CR LF or LF CR line end
        pairedEnd_ = 0;
    }
    for (;;) {
        if (pos_ >= len_ && !refill()) {
            // A last line without line feed: Gerber readers drop it, others may take it.
            if (!keepLastLine_ || carry_.isEmpty() || failed_ || tooLong_)
                return false;
            ++lineNo_;
            line = carry_;
            keepLastLine_ = false; // delivered once
            return true;
        }
        const char* start = buffer_.get() + pos_;
        const auto avail = static_cast<size_t>(len_ - pos_);
        const qint64 end = findLineEnd();
        if (end >= 0) {
            const qint64 n = end - pos_;
            if (carry_.size() + n > maxLineLength_)
                return endTooLong();
            if (anyLineEnd_)
                pairedEnd_ = buffer_[end] == '\r' ? '\n' : '\r';
            pos_ += n + 1;
            ++lineNo_;
            if (carry_.isEmpty()) {
                line = QByteArrayView(start, n); // the whole line lies in the buffer
            } else {
                carry_.append(start, n);
                line = carry_;
            }
            return true;
        }
        if (carry_.size() + qint64(avail) > maxLineLength_)
            return endTooLong();
        carry_.append(start, static_cast<qsizetype>(avail));
        pos_ = len_;
    }
}

bool LineReader::next(QByteArray& line)
{
    QByteArrayView view;
    if (!next(view))
        return false;
    line = view.toByteArray();
    return true;
}

} // namespace kivotrek
