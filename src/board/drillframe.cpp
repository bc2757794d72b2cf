#include "board/drillframe.h"

#include "common/numbers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kivotrek {

namespace {
std::optional<int32_t> micrometres(double millimetres)
{
    return roundHalfEvenToInt32(millimetres * 1000.0);
}

int32_t twips(double millimetres)
{
    const auto units = micrometres(millimetres);
    if (!units)
        return std::numeric_limits<int32_t>::max();
    const double t = static_cast<double>(kStandardUnitScale) * static_cast<double>(*units);
    return roundHalfEvenToInt32(t).value_or(std::numeric_limits<int32_t>::max());
}
} // namespace

DrillFrame frameOfBox(double minX, double minY, double maxX, double maxY)
{
    DrillFrame f;
    f.extent.unitScale = kStandardUnitScale;
    if (!(minX <= maxX && minY <= maxY))
        return f;
    f.left = minX;
    f.bottom = minY;
    f.extent.maxX = twips(maxX - f.left);
    f.extent.maxY = twips(maxY - f.bottom);
    return f;
}

namespace {
template <typename Each> DrillFrame frameOfHoles(Each forEachDrill)
{
    // The box of the nanometres, turned into millimetres once: the conversion keeps the order,
    // so its corners are the same as the box of every point in millimetres.
    Nanometres minX = std::numeric_limits<Nanometres>::max();
    Nanometres minY = minX;
    Nanometres maxX = std::numeric_limits<Nanometres>::min();
    Nanometres maxY = maxX;
    bool any = false;
    const auto take = [&](Nanometres x, Nanometres y) {
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
    };
    double radius = 0;
    forEachDrill([&](const DrillData& drill) {
        any = any || !drill.holes.empty() || !drill.slotHoles.empty() || !drill.outline.empty();
        for (const DrillHit& h : drill.holes)
            take(h.nx, h.ny);
        for (const DrillSlot& s : drill.slotHoles) {
            take(s.nx1, s.ny1);
            take(s.nx2, s.ny2);
        }
        for (const OutlineSegment& s : drill.outline) {
            take(s.nx1, s.ny1);
            take(s.nx2, s.ny2);
        }
        for (const DrillTool& t : drill.tools)
            radius = std::max(radius, t.diameter.value_or(0) / 2);
    });
    if (!any)
        return frameOfBox(0, 0, -1, -1);
    return frameOfBox(toMillimetres(minX) - radius, toMillimetres(minY) - radius,
        toMillimetres(maxX) + radius, toMillimetres(maxY) + radius);
}

} // namespace

DrillFrame drillFrame(const std::vector<DrillData>& drills)
{
    return frameOfHoles([&drills](const auto& take) {
        for (const DrillData& d : drills)
            take(d);
    });
}

DrillFrame drillFrame(const DrillData& drill)
{
    return frameOfHoles([&drill](const auto& take) { take(drill); });
}

void prepareExcellonRead(HoleTable& table, BoardExtent& extent)
{
    table = HoleTable();
    extent = BoardExtent {0, 0, kStandardUnitScale};
}

} // namespace kivotrek
