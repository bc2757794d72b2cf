#include "excellon/cannedshapes.h"

#include <algorithm>
#include <cmath>

namespace kivotrek {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

std::optional<ArcPoint> arcCentreByRadius(ArcPoint from, ArcPoint to, double radius, bool clockwise)
{
    const double dx = to.x - from.x, dy = to.y - from.y;
    const double chord = std::hypot(dx, dy);
    if (!(chord > 0) || !(radius > 0) || !std::isfinite(radius))
        return std::nullopt;
    const double half = chord / 2;
    const double h = radius > half ? std::sqrt(radius * radius - half * half) : 0.0;
    // The centre of the shorter arc lies to the right of the chord for a clockwise arc, to its
    // left for a counter-clockwise one.
    const double ux = dx / chord, uy = dy / chord;
    const double side = clockwise ? -1.0 : 1.0; // left normal (-uy, ux) times side
    return ArcPoint {from.x + dx / 2 + side * h * -uy, from.y + dy / 2 + side * h * ux};
}

std::optional<ArcPoint> arcCentreByOffset(ArcPoint from, ArcPoint to, double i, double j)
{
    std::optional<ArcPoint> best;
    double bestError = 0, bestRadius = 0;
    for (const double sign : {-1.0, 1.0}) {
        const ArcPoint c {from.x + sign * i, from.y + sign * j};
        const double r0 = std::hypot(from.x - c.x, from.y - c.y);
        const double r1 = std::hypot(to.x - c.x, to.y - c.y);
        const double error = std::fabs(r0 - r1);
        if (!best || error < bestError) {
            best = c;
            bestError = error;
            bestRadius = std::max(r0, r1);
        }
    }
    if (!(bestRadius > 0) || !(bestError <= std::max(0.01, bestRadius / 20)))
        return std::nullopt;
    return best;
}

std::optional<std::vector<ArcPoint>> dualInLinePins(
    ArcPoint first, ArcPoint second, double pitch, double rowSpacing)
{
    if (!(pitch > 0) || !(rowSpacing > 0))
        return std::nullopt;
    const double spanX = second.x - first.x, spanY = second.y - first.y;
    const auto near = [](double a, double b) { return std::fabs(std::fabs(a) - b) <= b / 100; };
    // The side as long as the row spacing runs across the rows; the pins run along the other.
    bool alongX = false;
    if (near(spanY, rowSpacing) && !near(spanX, rowSpacing))
        alongX = true;
    else if (near(spanX, rowSpacing) && !near(spanY, rowSpacing))
        alongX = false;
    else if (near(spanY, rowSpacing))
        alongX = std::fabs(spanX) >= std::fabs(spanY);
    else
        return std::nullopt;
    const double along = alongX ? spanX : spanY;
    const double steps = std::fabs(along) / pitch;
    const double whole = std::round(steps);
    if (std::fabs(steps - whole) > 0.01 || whole > 1000)
        return std::nullopt;
    const int perRow = int(whole) + 1;
    const double step = along >= 0 ? pitch : -pitch;
    std::vector<ArcPoint> pins;
    pins.reserve(size_t(perRow) * 2);
    for (int row = 0; row < 2; ++row) {
        for (int k = 0; k < perRow; ++k) {
            const double t = k * step;
            if (alongX)
                pins.push_back({first.x + t, row == 0 ? first.y : second.y});
            else
                pins.push_back({row == 0 ? first.x : second.x, first.y + t});
        }
    }
    return pins;
}

std::optional<std::vector<ArcPoint>> circularPackagePins(ArcPoint first, ArcPoint second)
{
    const ArcPoint c {(first.x + second.x) / 2, (first.y + second.y) / 2};
    const double r = std::hypot(first.x - c.x, first.y - c.y);
    if (!(r > 0))
        return std::nullopt;
    const double a0 = std::atan2(first.y - c.y, first.x - c.x);
    std::vector<ArcPoint> pins;
    for (int k = 0; k < 8; ++k) {
        if (k == 0)
            pins.push_back(first);
        else if (k == 4)
            pins.push_back(second);
        else
            pins.push_back({c.x + r * std::cos(a0 + k * kPi / 4), c.y + r * std::sin(a0 + k * kPi / 4)});
    }
    return pins;
}

} // namespace kivotrek
