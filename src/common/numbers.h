#pragma once

#include <QByteArrayView>
#include <cstdint>
#include <optional>

namespace kivotrek {

// Strict decimal number: optional blanks around it, an optional sign, digits with at most
// one decimal point (at least one digit), an optional exponent (E or e, optional sign,
// digits). Returns the value, or nothing for any other text or a value that is not finite.
std::optional<double> parseDecimal(QByteArrayView text);

// Rounded down (towards minus infinity) to a whole number that must fit 32 bits.
std::optional<int32_t> floorToInt32(double value);

// Rounded to the nearest whole number, halves to even; nothing outside the 32-bit range.
std::optional<int32_t> roundHalfEvenToInt32(double value);

// Same rule for 16-bit results.
std::optional<int16_t> roundHalfEvenToInt16(double value);

// A cut coordinate text as whole file units: parseDecimal, then floorToInt32.
std::optional<int32_t> toFileUnits(QByteArrayView text);

} // namespace kivotrek
