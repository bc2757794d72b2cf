#include "gerber/boardextent.h"

#include "common/numbers.h"

#include <limits>

namespace kivotrek {

void ExtentTracker::update(const FilePosition& pos)
{
    if (pos.x > extent_.MaxX)
        extent_.MaxX = pos.x;
    if (pos.y > extent_.MaxY)
        extent_.MaxY = pos.y;
    if (pos.x < 0 || pos.y < 0)
        negative_ = true;
}

namespace {
int32_t toTwips(float scale, int32_t units)
{
    const double product = static_cast<double>(scale) * static_cast<double>(units);
    if (const auto r = roundHalfEvenToInt32(product))
        return *r;
    return product < 0 ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
}
} // namespace

void ExtentTracker::convertToTwips()
{
    extent_.MaxX = toTwips(extent_.UnitScale, extent_.MaxX);
    extent_.MaxY = toTwips(extent_.UnitScale, extent_.MaxY);
}

} // namespace kivotrek
