#include "drill/arcpieces.h"

#include <algorithm>
#include <cmath>

namespace kivotrek {

namespace {
constexpr double kPi = 3.14159265358979323846;
} // namespace

double arcSweep(ArcPoint from, ArcPoint to, ArcPoint c, bool clockwise)
{
    const double a0 = std::atan2(from.y - c.y, from.x - c.x);
    const double a1 = std::atan2(to.y - c.y, to.x - c.x);
    double sweep = clockwise ? a0 - a1 : a1 - a0;
    while (sweep <= 0)
        sweep += 2 * kPi; // the same start and end: a full circle
    while (sweep > 2 * kPi)
        sweep -= 2 * kPi;
    return sweep;
}

void appendArcPoints(
    ArcPoint from, ArcPoint to, ArcPoint c, bool clockwise, double sweep, std::vector<ArcPoint>& points)
{
    const double r0 = std::hypot(from.x - c.x, from.y - c.y);
    const double r1 = std::hypot(to.x - c.x, to.y - c.y);
    const double a0 = std::atan2(from.y - c.y, from.x - c.x);
    const double r = std::max(r0, r1);
    // Pieces short enough that the chords stay within the tolerance of the arc.
    const double tolerance = std::max(0.005, r / 1000);
    double step = kPi / 18;
    if (r > tolerance)
        step = std::min(step, 2 * std::acos(1 - tolerance / r));
    const int n = int(std::clamp(std::ceil(sweep / step), 1.0, double(kMaxArcPieces)));
    for (int k = 1; k < n; ++k) {
        const double t = double(k) / n;
        const double a = clockwise ? a0 - t * sweep : a0 + t * sweep;
        const double radius = r0 + (r1 - r0) * t;
        points.push_back({c.x + radius * std::cos(a), c.y + radius * std::sin(a)});
    }
    points.push_back(to);
}

} // namespace kivotrek
