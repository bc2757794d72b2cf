#include "drawing/previewlayout.h"

#include "common/numbers.h"

#include <cmath>
#include <limits>

namespace kivotrek {

bool PreviewLayout::prepare(const HoleTable& table, const BoardExtent& extent, Surface& surface)
{
    const auto h = roundHalfEvenToInt16(surface.Height());
    if (!h)
        return false;
    h_ = *h;
    setPlacement(kOffset, h_, kOffset);
    const int n = table.rowsWithDiameter();
    if (extent.MaxX == 0 || extent.MaxY == 0)
        return false;
    const float w = surface.Width();
    const float hs = surface.Height();
    const float sx = static_cast<float>(static_cast<double>(w) / extent.MaxX);
    const float sy = static_cast<float>((static_cast<double>(hs) - kLegendPitch * (n / 3)) / extent.MaxY);
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

bool PreviewLayout::legendCell(int i, const HoleRow& row, Rgb color, Surface& s) const
{
    static constexpr int kColumns[3] = {150, 1650, 3150};
    s.CurrentX = static_cast<float>(kColumns[i % 3]);
    s.CurrentY = static_cast<float>(kLegendPitch * (i / 3) + 100);
    s.PSet(s.CurrentX, s.CurrentY, color);
    s.CurrentX += 200;
    s.CurrentY -= 70;
    s.setFontSize(7);
    s.Print(row.diameter + toleranceText(row));
    return true;
}

bool preparePreview(const HoleTable& table, const BoardExtent& extent, Surface& surface, PreviewLayout& layout)
{
    surface.Cls();
    return layout.prepare(table, extent, surface);
}

DrawResult DrawPreview(
    const QString& path, const HoleTable& table, const BoardExtent& extent, Surface& surface)
{
    PreviewLayout layout;
    if (!preparePreview(table, extent, surface, layout))
        return {DrawResult::Ending::NoExtent, std::nullopt};
    return replayDrillMap(path, table, extent, layout, surface);
}

} // namespace kivotrek
