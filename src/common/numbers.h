#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <cmath>
#include <cstdint>
#include <cstring>
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

// The whole number of 4 to 8 ASCII digits at p, or nothing when one of them is no digit: the
// digits are taken at once, eight bytes in one word (the first and the last four, which may
// overlap, put together with the word's first bytes "0" for a shorter number).
inline std::optional<uint32_t> eightDigits(const char* p, qsizetype digits)
{
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    uint32_t first = 0, last = 0;
    std::memcpy(&first, p, 4);
    std::memcpy(&last, p + digits - 4, 4);
    const unsigned pad = unsigned(8 - digits) * 8; // bits of "0" before the number
    const uint64_t zeros = 0x3030303030303030ULL & ((uint64_t(1) << pad) - 1);
    const uint64_t w = (((uint64_t(first) << pad) | zeros) & 0xFFFFFFFFULL) | (uint64_t(last) << 32);
    // Every byte 0x30 to 0x39.
    if ((((w & 0xF0F0F0F0F0F0F0F0ULL) | (((w + 0x0606060606060606ULL) & 0xF0F0F0F0F0F0F0F0ULL) >> 4))
            != 0x3333333333333333ULL))
        return std::nullopt;
    uint64_t v = ((w & 0x0F0F0F0F0F0F0F0FULL) * 2561) >> 8;
    v = ((v & 0x00FF00FF00FF00FFULL) * 6553601) >> 16;
    return uint32_t(((v & 0x0000FFFF0000FFFFULL) * 42949672960001ULL) >> 32);
#else
    uint32_t v = 0;
    for (qsizetype j = 0; j < digits; ++j) {
        if (!isDigit(p[j]))
            return std::nullopt;
        v = v * 10 + uint32_t(p[j] - '0');
    }
    return v;
#endif
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
    if (n - i >= 4 && n - i <= 8) {
        if (const auto v = eightDigits(p + i, n - i))
            return negative ? -int32_t(*v) : int32_t(*v);
    } else if (n - i >= 1 && n - i <= 9) {
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
