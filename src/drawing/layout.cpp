#include "drawing/layout.h"

#include "drawing/symbols.h"

namespace kivotrek {

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

QString Layout::countSuffix(int i) const
{
    if (!options_.counts || i < 0 || i >= HoleTable::kRows)
        return QString();
    return QStringLiteral(" ×") + countText((*counts())[size_t(i)]);
}

int Layout::markSize(const Surface& surface, bool legend) const
{
    return std::max<int>(surface.penWidth(), legend ? legendMarkMinimum(surface) : markMinimum(surface));
}

void Layout::hole(Surface& surface, float x, float y, int i, Rgb color, bool legend) const
{
    if (!options_.marks || i < 0)
        surface.dot(x, y, color);
    else
        drawMark(surface, x, y, rowMark(i), markSize(surface, legend), color);
}

QString toleranceText(const HoleRow& row)
{
    return row.sign1 + row.tol1 + QLatin1Char(' ') + row.sign2 + row.tol2 + QLatin1Char(' ')
        + row.kind.caption();
}

} // namespace kivotrek
