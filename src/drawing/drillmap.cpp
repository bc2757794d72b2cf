#include "drawing/drillmap.h"

#include "common/cp932.h"
#include "common/numbers.h"
#include "gerber/linecuts.h"
#include "gerber/linereader.h"

#include <QFile>
#include <limits>

namespace kivotrek {

double leadingNumber(const QString& text)
{
    int i = 0;
    const int n = static_cast<int>(text.size());
    while (i < n && text[i] == QLatin1Char(' '))
        ++i;
    const int start = i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    int digits = 0;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            ++digits;
        else if (c == QLatin1Char('.') && !point)
            point = true;
        else
            break;
    }
    if (digits == 0)
        return 0.0;
    int end = i;
    // An exponent counts only with its digits.
    if (i < n && (text[i] == QLatin1Char('E') || text[i] == QLatin1Char('e'))) {
        int j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            ++j;
        int expDigits = 0;
        while (j < n && text[j] >= QLatin1Char('0') && text[j] <= QLatin1Char('9')) {
            ++j;
            ++expDigits;
        }
        if (expDigits > 0)
            end = j;
    }
    const QByteArray number = text.mid(start, end - start).toLatin1();
    return parseDecimal(number).value_or(0.0);
}

Rgb rowColor(uint32_t fillColor)
{
    QString hex = QString::number(fillColor, 16).toUpper();
    while (hex.size() < 6)
        hex.prepend(QLatin1Char('0'));
    const auto byte = [&hex](int from) { return static_cast<uint8_t>(hex.mid(from, 2).toUInt(nullptr, 16)); };
    Rgb c;
    c.b = byte(0);
    c.g = byte(2);
    c.r = byte(static_cast<int>(hex.size()) - 2);
    return c;
}

QString toleranceText(const HoleRow& row)
{
    return row.sign1 + row.tol1 + QLatin1Char(' ') + row.sign2 + row.tol2 + QLatin1Char(' ') + row.kind;
}

namespace {
// Current position and segment start, in converted units before placement.
struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

// Which of the draw, move and flash codes a line holds, found in one pass over its D's.
struct DCodes {
    bool d01 = false, d02 = false, d03 = false;
    explicit DCodes(const LineMarks& l)
    {
        const QByteArrayView line = l.line();
        const char* p = line.data();
        const qsizetype n = line.size();
        for (qsizetype i = l.first('D'); i >= 0 && i + 2 < n; ++i) {
            if (p[i] != 'D' || p[i + 1] != '0')
                continue;
            d01 |= p[i + 2] == '1';
            d02 |= p[i + 2] == '2';
            d03 |= p[i + 2] == '3';
        }
    }
};

class Replay {
public:
    Replay(const HoleTable& table, const BoardExtent& extent, const Layout& layout, Surface& surface)
        : table_(table), extent_(extent), layout_(layout), s_(surface)
    {
    }

    // One line; false when the drawing must end here.
    bool line(QByteArrayView text)
    {
        const LineMarks l(text);
        if (l.contains("%SR"))
            return true;
        const DCodes d(l);
        if (d.d01) {
            pen_ = true;
            seg_ = cur_;
        }
        if (d.d02)
            pen_ = false;
        if (l.contains("G54")) {
            pen_ = false;
            if (!selectTool(l))
                return false;
        }
        if ((l.has('X') || l.has('Y')) && !coordinates(l))
            return false;
        if (d.d03) {
            pen_ = false;
            const auto p = layout_.place(cur_.x, cur_.y);
            if (!p)
                return false;
            s_.PSet(float(p->first), float(p->second), color_);
        }
        if (pen_) {
            const auto a = layout_.place(cur_.x, cur_.y);
            const auto b = layout_.place(seg_.x, seg_.y);
            if (!a || !b)
                return false;
            s_.Line(float(a->first), float(a->second), float(b->first), float(b->second), color_);
            seg_ = cur_;
        }
        if (d.d02)
            pen_ = false;
        return true;
    }

private:
    bool selectTool(const LineMarks& l)
    {
        const auto cut = cutDCode(l);
        if (!cut)
            return false;
        const QString dcode = cp932::decode(*cut);
        // Every matching row applies, in order: with duplicates the last one's pen and colour stay.
        for (int i = 0; i < HoleTable::kRows; ++i) {
            const HoleRow& row = table_.row(i);
            if (row.dcode != dcode)
                continue;
            const auto width = layout_.penWidth(row, s_);
            if (!width)
                return false;
            s_.setDrawWidth(*width);
            color_ = rowColor(row.color);
            if (row.kind != HoleTable::outlineKind() && !layout_.legendCell(i, row, color_, s_))
                return false;
        }
        return true;
    }

    // A cut value in surface units: file units x UnitScale x drawing scale, rounded half to even.
    bool convert(CoordinateTexts::Cut kind, QByteArrayView text, int32_t& out) const
    {
        std::optional<int32_t> units;
        if (!cutValue(kind, text, units))
            return false;
        if (!units)
            return true; // not given: the previous value stays
        const double product = static_cast<double>(*units) * static_cast<double>(extent_.UnitScale)
            * static_cast<double>(layout_.scale());
        const auto v = roundHalfEvenToInt32(product);
        if (v)
            out = *v;
        return v.has_value();
    }

    bool coordinates(const LineMarks& l)
    {
        const CoordinateTexts t = cutCoordinateTexts(l);
        return convert(t.x, t.xText, cur_.x) && convert(t.y, t.yText, cur_.y);
    }

    const HoleTable& table_;
    const BoardExtent& extent_;
    const Layout& layout_;
    Surface& s_;
    Point cur_;
    Point seg_;
    bool pen_ = false;
    Rgb color_ {0, 0, 0};
};
} // namespace

DrawResult replayDrillMap(const QString& path, const HoleTable& table, const BoardExtent& extent,
    const Layout& layout, Surface& surface)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {DrawResult::Ending::Unreadable, std::nullopt};
    return replayDrillMap(file, table, extent, layout, surface);
}

DrawResult replayDrillMap(QIODevice& device, const HoleTable& table, const BoardExtent& extent,
    const Layout& layout, Surface& surface)
{
    LineReader reader(device);
    Replay replay(table, extent, layout, surface);
    QByteArrayView line;
    while (reader.next(line)) {
        if (!replay.line(line))
            return {DrawResult::Ending::Stopped, reader.lineNumber()};
    }
    if (reader.failed())
        return {DrawResult::Ending::Unreadable, std::nullopt};
    return {DrawResult::Ending::Complete, std::nullopt};
}

} // namespace kivotrek
