#include "package/outlineshape.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <unordered_map>

namespace kivotrek {

namespace {
constexpr int64_t kJoin = 2000; // nanometres: ends this near are one point
constexpr double kHeld = 1.0; // millimetres: a centre this near the contour is held by it
constexpr size_t kMostCentres = 20'000;
constexpr size_t kMostLines = 500'000;

struct Ends {
    std::vector<uint32_t> parent; // per line, joining lines into contours
    uint32_t root(uint32_t i)
    {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    }
};

struct Contour {
    std::vector<size_t> lines;
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300; // its box, millimetres
    bool closed = true;
    double area() const { return (x1 - x0) * (y1 - y0); }
};

// Even-odd: the centre is inside when a ray to the right crosses the contour's lines an odd
// number of times.
bool inside(const std::vector<OutlineSegment>& lines, const Contour& c, double x, double y)
{
    bool in = false;
    for (const size_t i : c.lines)
        in = in != rayCrosses(lines[i], x, y);
    return in;
}

bool near(const std::vector<OutlineSegment>& lines, const Contour& c, double x, double y)
{
    for (const size_t i : c.lines) {
        const OutlineSegment& s = lines[i];
        const double dx = s.x2() - s.x1(), dy = s.y2() - s.y1();
        const double length2 = dx * dx + dy * dy;
        double t = length2 > 0 ? ((x - s.x1()) * dx + (y - s.y1()) * dy) / length2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        if (std::hypot(s.x1() + t * dx - x, s.y1() + t * dy - y) <= kHeld)
            return true;
    }
    return false;
}
} // namespace

bool rayCrosses(const OutlineSegment& s, double x, double y)
{
    const double ay = s.y1(), by = s.y2();
    if ((ay > y) == (by > y))
        return false;
    const double t = (y - ay) / (by - ay);
    return s.x1() + t * (s.x2() - s.x1()) > x;
}

bool insideLines(const std::vector<OutlineSegment>& lines, double x, double y)
{
    bool in = false;
    for (const OutlineSegment& s : lines)
        in = in != rayCrosses(s, x, y);
    return in;
}

OutlineShape outlineByShape(
    const std::vector<OutlineSegment>& lines, const std::vector<std::pair<Nanometres, Nanometres>>& centres)
{
    OutlineShape shape;
    // A layer of more lines than any outline has is a drawing (or damage): not looked into.
    if (lines.empty() || lines.size() > kMostLines)
        return shape;
    // Each end to a point: ends in the same 2 um cell or a neighbouring one, within 2 um, are one.
    Ends ends;
    ends.parent.resize(lines.size());
    std::iota(ends.parent.begin(), ends.parent.end(), 0u);
    struct Point {
        int64_t x, y;
        uint32_t line;
        int count; // ends at the point
    };
    std::vector<Point> points;
    std::unordered_map<uint64_t, std::vector<uint32_t>> cells; // cell -> points in it
    const auto key = [](int64_t cx, int64_t cy) { return (uint64_t(uint32_t(cx)) << 32) | uint32_t(cy); };
    std::vector<uint32_t> pointOf(lines.size() * 2);
    for (size_t i = 0; i < lines.size(); ++i) {
        const OutlineSegment& s = lines[i];
        for (int e = 0; e < 2; ++e) {
            const int64_t x = e == 0 ? s.nx1 : s.nx2, y = e == 0 ? s.ny1 : s.ny2;
            const int64_t cx = x >= 0 ? x / kJoin : (x - kJoin + 1) / kJoin;
            const int64_t cy = y >= 0 ? y / kJoin : (y - kJoin + 1) / kJoin;
            int64_t found = -1;
            for (int64_t dx = -1; dx <= 1 && found < 0; ++dx) {
                for (int64_t dy = -1; dy <= 1 && found < 0; ++dy) {
                    const auto c = cells.find(key(cx + dx, cy + dy));
                    if (c == cells.end())
                        continue;
                    for (const uint32_t p : c->second) {
                        const double d = std::hypot(double(points[p].x - x), double(points[p].y - y));
                        if (d <= double(kJoin)) {
                            found = p;
                            break;
                        }
                    }
                }
            }
            if (found < 0) {
                found = int64_t(points.size());
                points.push_back({x, y, uint32_t(i), 0});
                cells[key(cx, cy)].push_back(uint32_t(found));
            }
            Point& p = points[size_t(found)];
            ++p.count;
            pointOf[i * 2 + size_t(e)] = uint32_t(found);
            const uint32_t a = ends.root(uint32_t(i)), b = ends.root(p.line);
            if (a != b)
                ends.parent[a] = b;
        }
    }
    // The contours: lines by their root; one with a free end (a point of one end) is open.
    std::unordered_map<uint32_t, size_t> index;
    std::vector<Contour> contours;
    for (size_t i = 0; i < lines.size(); ++i) {
        const uint32_t r = ends.root(uint32_t(i));
        const auto [it, added] = index.emplace(r, contours.size());
        if (added)
            contours.emplace_back();
        Contour& c = contours[it->second];
        c.lines.push_back(i);
        const OutlineSegment& s = lines[i];
        c.x0 = std::min({c.x0, s.x1(), s.x2()});
        c.x1 = std::max({c.x1, s.x1(), s.x2()});
        c.y0 = std::min({c.y0, s.y1(), s.y2()});
        c.y1 = std::max({c.y1, s.y1(), s.y2()});
        for (int e = 0; e < 2; ++e) {
            if (points[pointOf[i * 2 + size_t(e)]].count < 2) {
                c.closed = false;
                ++shape.freeEnds;
            }
        }
    }
    // The centres counted: every one, or an even share of a very large board's, in millimetres,
    // by x: each contour looks at those across its box only.
    const size_t step = std::max<size_t>(1, (centres.size() + kMostCentres - 1) / kMostCentres);
    std::vector<std::pair<double, double>> counted;
    counted.reserve(centres.size() / step + 1);
    for (size_t h = 0; h < centres.size(); h += step)
        counted.emplace_back(toMillimetres(centres[h].first), toMillimetres(centres[h].second));
    std::sort(counted.begin(), counted.end());
    const auto across = [&counted](double x0, double x1) {
        const auto first = std::lower_bound(
            counted.begin(), counted.end(), std::make_pair(x0, -std::numeric_limits<double>::infinity()));
        const auto last = std::upper_bound(
            counted.begin(), counted.end(), std::make_pair(x1, std::numeric_limits<double>::infinity()));
        return std::make_pair(first, last);
    };
    int best = -1;
    for (size_t k = 0; k < contours.size(); ++k) {
        Contour& c = contours[k];
        if (!c.closed || !(c.area() > 0))
            continue;
        qint64 held = 0;
        const auto [first, last] = across(c.x0 - kHeld, c.x1 + kHeld);
        for (auto h = first; h != last; ++h) {
            const double x = h->first, y = h->second;
            if (y < c.y0 - kHeld || y > c.y1 + kHeld)
                continue;
            if (inside(lines, c, x, y) || near(lines, c, x, y))
                ++held;
        }
        const bool better = best < 0 || held > shape.held
            || (held == shape.held && (held > 0 ? c.area() < shape.area : c.area() > shape.area));
        if (better) {
            best = int(k);
            shape.held = held;
            shape.area = c.area();
        }
    }
    if (best < 0)
        return shape;
    shape.found = true;
    // The chosen contour, and the closed contours inside it: its cut-outs.
    // A contour round a hole's centre is no cut-out (a drill map's mark, a pad's ring): a hole
    // is never drilled in the air.
    const auto holdsACentre = [&](const Contour& c) {
        const auto [first, last] = across(c.x0, c.x1);
        for (auto h = first; h != last; ++h) {
            if (h->second >= c.y0 && h->second <= c.y1 && inside(lines, c, h->first, h->second))
                return true;
        }
        return false;
    };
    const Contour& outline = contours[size_t(best)];
    for (size_t k = 0; k < contours.size(); ++k) {
        const Contour& c = contours[k];
        const bool within = int(k) == best
            || (c.closed && c.x0 >= outline.x0 && c.x1 <= outline.x1 && c.y0 >= outline.y0
                && c.y1 <= outline.y1
                && inside(lines, outline, lines[c.lines.front()].x1(), lines[c.lines.front()].y1())
                && !holdsACentre(c));
        if (within)
            shape.keep.insert(shape.keep.end(), c.lines.begin(), c.lines.end());
        else
            shape.dropped = true;
    }
    std::sort(shape.keep.begin(), shape.keep.end());
    return shape;
}

} // namespace kivotrek
