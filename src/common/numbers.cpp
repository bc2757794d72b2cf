#include "common/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace kivotrek {

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool isBlank(char c)
{
    return c == ' ';
}
} // namespace

std::optional<double> parseDecimal(QByteArrayView text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && isBlank(*p))
        ++p;
    while (end > p && isBlank(end[-1]))
        --end;

    // Validate the grammar ourselves; std::from_chars takes no leading '+' and never
    // looks at the locale, which is what we want.
    std::string clean;
    clean.reserve(static_cast<size_t>(end - p));
    if (p < end && (*p == '+' || *p == '-')) {
        if (*p == '-')
            clean.push_back('-');
        ++p;
    }
    int digits = 0;
    bool point = false;
    while (p < end && (isDigit(*p) || *p == '.')) {
        if (*p == '.') {
            if (point)
                return std::nullopt;
            point = true;
        } else {
            ++digits;
        }
        clean.push_back(*p++);
    }
    if (digits == 0)
        return std::nullopt;
    if (p < end && (*p == 'E' || *p == 'e')) {
        clean.push_back('e');
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            clean.push_back(*p++);
        int expDigits = 0;
        while (p < end && isDigit(*p)) {
            clean.push_back(*p++);
            ++expDigits;
        }
        if (expDigits == 0)
            return std::nullopt;
    }
    if (p != end)
        return std::nullopt;

    double value = 0;
    const auto [ptr, ec] = std::from_chars(clean.data(), clean.data() + clean.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Underflow towards zero is a small number, not an error; overflow is.
        bool nonZeroDigit = false;
        for (char c : clean) {
            if (c == 'e')
                break;
            if (c >= '1' && c <= '9')
                nonZeroDigit = true;
        }
        const auto e = clean.find('e');
        const bool negativeExponent = e != std::string::npos && e + 1 < clean.size() && clean[e + 1] == '-';
        if (nonZeroDigit && negativeExponent)
            return clean[0] == '-' ? -0.0 : 0.0;
        return std::nullopt;
    }
    if (ec != std::errc() || ptr != clean.data() + clean.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int32_t> floorToInt32(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double f = std::floor(value);
    if (f < static_cast<double>(std::numeric_limits<int32_t>::min())
        || f > static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::nullopt;
    return static_cast<int32_t>(f);
}

namespace {
std::optional<double> roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // The program never leaves the default rounding mode, round to nearest with ties to even,
    // which is the rule wanted here; nearbyint applies it in one instruction.
    return std::nearbyint(value);
}
} // namespace

std::optional<int32_t> roundHalfEvenToInt32(double value)
{
    const auto r = roundHalfEven(value);
    if (!r || *r < static_cast<double>(std::numeric_limits<int32_t>::min())
        || *r > static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::nullopt;
    return static_cast<int32_t>(*r);
}

std::optional<int16_t> roundHalfEvenToInt16(double value)
{
    const auto r = roundHalfEven(value);
    if (!r || *r < std::numeric_limits<int16_t>::min() || *r > std::numeric_limits<int16_t>::max())
        return std::nullopt;
    return static_cast<int16_t>(*r);
}

std::optional<int32_t> toFileUnits(QByteArrayView text)
{
    // Most coordinates are a plain whole number: take it directly.
    const char* p = text.data();
    const qsizetype n = text.size();
    qsizetype i = 0;
    const bool negative = n > 0 && p[0] == '-';
    if (n > 0 && (p[0] == '-' || p[0] == '+'))
        i = 1;
    if (n - i >= 1 && n - i <= 9) {
        int32_t v = 0;
        qsizetype j = i;
        for (; j < n && isDigit(p[j]); ++j)
            v = v * 10 + (p[j] - '0');
        if (j == n)
            return negative ? -v : v;
    }
    const auto v = parseDecimal(text);
    if (!v)
        return std::nullopt;
    return floorToInt32(*v);
}

} // namespace kivotrek
