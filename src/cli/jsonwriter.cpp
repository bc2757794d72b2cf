#include "cli/jsonwriter.h"

#include "cli/clicommon.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kivotrek {

void JsonWriter::separate()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back())
            out_.append(',');
        first_.back() = false;
    }
}

JsonWriter& JsonWriter::beginObject()
{
    separate();
    out_.append('{');
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject()
{
    out_.append('}');
    first_.pop_back();
    if (streamed_ && out_.size() >= (qsizetype(1) << 16)) {
        cli::printOut(out_);
        out_.clear();
    }
    return *this;
}

JsonWriter& JsonWriter::beginArray()
{
    separate();
    out_.append('[');
    first_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray()
{
    out_.append(']');
    first_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::key(const char* name)
{
    value(QString::fromUtf8(name));
    out_.append(':');
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::value(const QString& text)
{
    separate();
    out_.append('"');
    for (const char c : text.toUtf8()) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out_.append("\\\""); break;
        case '\\': out_.append("\\\\"); break;
        case '\n': out_.append("\\n"); break;
        case '\r': out_.append("\\r"); break;
        case '\t': out_.append("\\t"); break;
        default:
            if (u < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", u);
                out_.append(buf);
            } else {
                out_.append(c);
            }
        }
    }
    out_.append('"');
    return *this;
}

JsonWriter& JsonWriter::boolean(bool b)
{
    separate();
    out_.append(b ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::value(long long number)
{
    separate();
    out_.append(QByteArray::number(number));
    return *this;
}

JsonWriter& JsonWriter::value(float number)
{
    return shortest(number);
}

JsonWriter& JsonWriter::value(double number)
{
    return shortest(number);
}

template <typename Number> JsonWriter& JsonWriter::shortest(Number number)
{
    if (!std::isfinite(number))
        return null();
    separate();
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, number);
    out_.append(buf, r.ptr - buf);
    return *this;
}

void JsonWriter::print()
{
    cli::printOut(out_);
    cli::printOut("\n");
    out_.clear();
}

JsonWriter& JsonWriter::null()
{
    separate();
    out_.append("null");
    return *this;
}

} // namespace kivotrek
