#include "gerber/boardextent.h"

#include "common/numbers.h"

#include <limits>

namespace kivotrek {

void ExtentTracker::update(const FilePosition& pos)
{
    if (pos.x > extent_.maxX)
        extent_.maxX = pos.x;
    if (pos.y > extent_.maxY)
        extent_.maxY = pos.y;
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
    extent_.maxX = toTwips(extent_.unitScale, extent_.maxX);
    extent_.maxY = toTwips(extent_.unitScale, extent_.maxY);
}

} // namespace kivotrek
