#pragma once

// The shared way of reading a Gerber line: plain text matching on marker letters. A marker
// counts at its first occurrence anywhere in the line, case-sensitive, also inside comments
// and statements. The readers and the drawing all cut lines with these functions and apply
// their own rule to a fault.

#include "common/numbers.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace kivotrek {

inline bool contains(QByteArrayView line, QByteArrayView marker)
{
    return line.indexOf(marker) >= 0;
}
inline bool contains(QByteArrayView line, char marker)
{
    return line.indexOf(marker) >= 0;
}

// The first positions of the marker letters J, X, Y, D, G, "*" and "%" in a line, found in one
// pass, so that a line is scanned once however many markers are looked for.
class LineMarks {
public:
    explicit LineMarks(QByteArrayView line);

    // -1 when the letter is not in the line; for other letters the line is searched.
    qsizetype first(char c) const
    {
        const int k = kSlot[static_cast<unsigned char>(c)];
        return k > 0 ? pos_[k - 1] : line_.indexOf(c);
    }
    bool has(char c) const { return first(c) >= 0; }
    // A longer marker is looked for only from the first position of its first letter.
    bool contains(QByteArrayView marker) const
    {
        const qsizetype from = first(marker.front());
        return from >= 0 && find(marker, from) >= 0;
    }
    QByteArrayView line() const { return line_; }

private:
    // Short markers in short lines: a plain search beats the general one.
    qsizetype find(QByteArrayView marker, qsizetype from) const;

    static const std::array<unsigned char, 256> kSlot; // 1 + the index of a tracked letter, else 0
    QByteArrayView line_;
    qsizetype pos_[7];
};

// D-code of a tool selection line (G54D10*): from the first "D" up to, not including, the
// first "*". Nothing when the line has no "D" or its first "*" does not come after it.
std::optional<QByteArrayView> cutDCode(const LineMarks& line);
inline std::optional<QByteArrayView> cutDCode(QByteArrayView line)
{
    return cutDCode(LineMarks(line));
}

// Texts of the X and Y values of a coordinate line. X runs from just after the first "X" to
// the first "Y", else the first "D", else the first "*"; Y from just after the first "Y" to
// the first "D", else the first "*". A value the line does not give is absent; one whose end
// marker comes before its start, or is missing, is a fault.
struct CoordinateTexts {
    enum class Cut { Absent, Text, Fault };
    Cut x = Cut::Absent;
    Cut y = Cut::Absent;
    QByteArrayView xText;
    QByteArrayView yText;
};
CoordinateTexts cutCoordinateTexts(const LineMarks& line);

// The file units of one cut value: false for a fault; otherwise value holds the number, or
// nothing when the line does not give this value.
inline bool cutValue(CoordinateTexts::Cut kind, QByteArrayView text, std::optional<int32_t>& value)
{
    value.reset();
    if (kind == CoordinateTexts::Cut::Absent)
        return true;
    if (kind == CoordinateTexts::Cut::Fault)
        return false;
    value = toFileUnits(text);
    return value.has_value();
}

// Current position in file units, carried from line to line.
struct FilePosition {
    int32_t x = 0;
    int32_t y = 0;
};

// Cuts and converts X then Y. Strict: stops at the first fault and returns false; X may
// already have been updated when Y fails, as the value is taken as soon as it is converted.
bool cutCoordinatesStrict(const LineMarks& line, FilePosition& pos);
inline bool cutCoordinatesStrict(QByteArrayView line, FilePosition& pos)
{
    return cutCoordinatesStrict(LineMarks(line), pos);
}

// Lenient: a value that cannot be cut or converted is left unchanged, the other is still taken.
void cutCoordinatesLenient(const LineMarks& line, FilePosition& pos);
inline void cutCoordinatesLenient(QByteArrayView line, FilePosition& pos)
{
    cutCoordinatesLenient(LineMarks(line), pos);
}

} // namespace kivotrek
