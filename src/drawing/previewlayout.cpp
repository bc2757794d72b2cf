#include "drawing/previewlayout.h"

#include "common/numbers.h"

#include <cmath>
#include <limits>

namespace kivotrek {

bool PreviewLayout::prepare(const HoleTable& table, const BoardExtent& extent, Surface& surface)
{
    const auto h = roundHalfEvenToInt16(surface.height());
    if (!h)
        return false;
    h_ = *h;
    setPlacement(kOffset, h_, kOffset);
    const int n = table.rowsWithDiameter();
    if (extent.maxX == 0 || extent.maxY == 0)
        return false;
    const float w = surface.width();
    const float hs = surface.height();
    const float sx = static_cast<float>(static_cast<double>(w) / extent.maxX);
    const int lines = n / 3; // whole legend lines: floor(n / 3), not ceil
    const float sy = static_cast<float>((static_cast<double>(hs) - kLegendPitch * lines) / extent.maxY);
    scale_ = static_cast<float>(0.9 * static_cast<double>(sx <= sy ? sx : sy));
    return true;
}

std::optional<int16_t> PreviewLayout::penWidth(const HoleRow& row, const Surface&) const
{
    const double w = (leadingNumber(row.diameter) + 1.0) * static_cast<double>(scale_) * 3.0;
    double f = std::floor(w);
    if (!(f > 0))
        f += 1;
    if (!(f >= 1 && f <= 32767))
        return std::nullopt;
    return static_cast<int16_t>(f);
}

int PreviewLayout::markMinimum(const Surface&) const
{
    return kMarkMinimum;
}

int PreviewLayout::legendMarkMinimum(const Surface&) const
{
    return kLegendMarkMinimum;
}

bool PreviewLayout::legendCell(int i, const HoleRow& row, Rgb color, Surface& s) const
{
    static constexpr int kColumns[3] = {150, 1650, 3150};
    // With counts a cell's text ("2.00+0.1 −0 NTH ×156") is longer than 1500 twips at 7
    // points and would run under the next cell's mark: the columns spread over the picture's
    // whole width instead, 2200 twips apart.
    static constexpr int kCountColumns[3] = {150, 2350, 4550};
    const int column = i % 3;
    const int* columns = counts() ? kCountColumns : kColumns;
    s.cursor.x = static_cast<float>(columns[column]);
    const int line = i / 3; // three cells a line
    s.cursor.y = static_cast<float>(kLegendPitch * line + 100);
    hole(s, s.cursor.x, s.cursor.y, i, color, true);
    s.cursor.x += 200;
    s.cursor.y -= 70;
    s.setFontSize(7);
    // The text ends short of the next cell's mark (or the picture's edge): a longer one gets a
    // smaller font, down to 5 points, and past that loses its end to an ellipsis.
    const float limit = column < 2 ? static_cast<float>(columns[column + 1] - 120) : s.width() - 60;
    QString text = row.diameter + toleranceText(row) + countSuffix(i);
    while (s.fontSize() > 5 && s.cursor.x + s.textWidth(text) > limit)
        s.setFontSize(s.fontSize() - 0.5f);
    if (s.cursor.x + s.textWidth(text) > limit) {
        const QString ellipsis(QChar(0x2026));
        while (!text.isEmpty() && s.cursor.x + s.textWidth(text + ellipsis) > limit)
            text.chop(1);
        text += ellipsis;
    }
    s.printLine(text);
    return true;
}

bool preparePreview(
    const HoleTable& table, const BoardExtent& extent, Surface& surface, PreviewLayout& layout)
{
    surface.clear();
    return layout.prepare(table, extent, surface);
}

DrawResult drawPreview(
    const QString& path, const HoleTable& table, const BoardExtent& extent, Surface& surface)
{
    return drawPreview(singleFileBoard(path, ReaderKind::Standard), table, extent, surface);
}

DrawResult drawPreview(const Board& board, const HoleTable& table, const BoardExtent& extent,
    Surface& surface, const DrawingOptions& options)
{
    surface.clear();
    PreviewLayout layout;
    layout.setOptions(options);
    return drawBoard(board, table, extent, layout, surface);
}

} // namespace kivotrek
