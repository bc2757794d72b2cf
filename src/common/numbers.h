#pragma once

#include <QByteArrayView>
#include <QString>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace kivotrek {

// Strict decimal number: optional blanks around it, an optional sign, digits with at most
// one decimal point (at least one digit), an optional exponent (E or e, optional sign,
// digits). Returns the value, or nothing for any other text or a value that is not finite.
std::optional<double> parseDecimal(QByteArrayView text);

// The number at the start of a text: optional blanks, sign, digits with one point, exponent
// ("1.5*%" gives 1.5); nothing when the text does not start with a number ("abc").
std::optional<double> numberAtStart(const QString& text);
// The same, 0 for a text that does not start with a number.
double leadingNumber(const QString& text);

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Rounded down (towards minus infinity) to a whole number that must fit 32 bits.
inline std::optional<int32_t> floorToInt32(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double f = std::floor(value);
    if (f < static_cast<double>(std::numeric_limits<int32_t>::min())
        || f > static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::nullopt;
    return static_cast<int32_t>(f);
}

// Rounded to the nearest whole number, halves to even; nothing outside the 32-bit range.
// These run for every coordinate drawn, so they are inline. The program never leaves the
// default rounding mode, round to nearest with ties to even, which is the rule wanted: rint
// applies it in a few instructions (nearbyint is the same but a library call).
inline std::optional<int32_t> roundHalfEvenToInt32(double value)
{
    const double r = std::rint(value); // NaN stays NaN and fails both tests below
    if (!(r >= static_cast<double>(std::numeric_limits<int32_t>::min())
            && r <= static_cast<double>(std::numeric_limits<int32_t>::max())))
        return std::nullopt;
    return static_cast<int32_t>(r);
}

// Same rule for 16-bit results.
inline std::optional<int16_t> roundHalfEvenToInt16(double value)
{
    const double r = std::rint(value);
    if (!(r >= std::numeric_limits<int16_t>::min() && r <= std::numeric_limits<int16_t>::max()))
        return std::nullopt;
    return static_cast<int16_t>(r);
}

// A cut coordinate text as whole file units: parseDecimal, then floorToInt32.
inline std::optional<int32_t> toFileUnits(QByteArrayView text)
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
