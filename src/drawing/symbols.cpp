#include "drawing/symbols.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace kivotrek {

namespace {
using Outline = HoleMark::Outline;
using Inner = HoleMark::Inner;

std::array<HoleMark, kHoleMarks> buildMarks()
{
    std::array<HoleMark, kHoleMarks> marks {};
    size_t n = 0;
    const auto put = [&](Outline o, Inner i) {
        if (n < marks.size())
            marks[n++] = HoleMark {o, i};
    };
    // The plain marks first: most boards have fewer than ten classes.
    put(Outline::None, Inner::Filled);
    put(Outline::Circle, Inner::None);
    put(Outline::None, Inner::Plus);
    put(Outline::None, Inner::Cross);
    put(Outline::Square, Inner::None);
    put(Outline::Diamond, Inner::None);
    put(Outline::TriangleUp, Inner::None);
    put(Outline::TriangleDown, Inner::None);
    put(Outline::Hexagon, Inner::None);
    put(Outline::None, Inner::Star);
    // Then each inner mark in each figure (a filled circle is the first mark already).
    for (Inner i : {Inner::Plus, Inner::Cross, Inner::Dot, Inner::Filled, Inner::Star, Inner::Ring,
             Inner::Box, Inner::HorizontalBar, Inner::VerticalBar}) {
        for (Outline o : {Outline::Circle, Outline::Square, Outline::Diamond, Outline::TriangleUp,
                 Outline::TriangleDown, Outline::Hexagon}) {
            if (!(o == Outline::Circle && i == Inner::Filled))
                put(o, i);
        }
    }
    return marks;
}

// A figure's corners on a circle of radius 1 (y downwards), where its inner mark sits and how
// large that may be, as parts of the radius.
struct Figure {
    std::vector<QPointF> corners; // none for no figure and for the circle
    QPointF centre;
    double inner = 1.0;
};

Figure figureOf(Outline o)
{
    constexpr double h = 0.8660254037844386; // sin 60°
    switch (o) {
    case Outline::None: return {{}, {0, 0}, 1.0};
    case Outline::Circle: return {{}, {0, 0}, 0.55};
    case Outline::Square: return {{{-0.85, -0.85}, {0.85, -0.85}, {0.85, 0.85}, {-0.85, 0.85}}, {0, 0}, 0.5};
    case Outline::Diamond: return {{{0, -1}, {1, 0}, {0, 1}, {-1, 0}}, {0, 0}, 0.42};
    // Triangles of side 2, centred in height; the inner mark sits at the centroid.
    case Outline::TriangleUp: return {{{0, -h}, {1, h}, {-1, h}}, {0, h / 3}, 0.4};
    case Outline::TriangleDown: return {{{0, h}, {-1, -h}, {1, -h}}, {0, -h / 3}, 0.4};
    case Outline::Hexagon:
        return {{{0, -1}, {h, -0.5}, {h, 0.5}, {0, 1}, {-h, 0.5}, {-h, -0.5}}, {0, 0}, 0.5};
    }
    return {};
}
} // namespace

HoleMark rowMark(int row)
{
    static const std::array<HoleMark, kHoleMarks> marks = buildMarks();
    return marks[size_t(((row % kHoleMarks) + kHoleMarks) % kHoleMarks)];
}

Rgb printableColor(Rgb c)
{
    // The grey a printer makes of the colour (ITU-R BT.601 weights), at most 60 % of white.
    constexpr double kLightest = 153.0;
    const double grey = 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
    if (grey <= kLightest)
        return c;
    const double f = kLightest / grey;
    const auto part = [f](uint8_t v) { return static_cast<uint8_t>(std::floor(v * f)); };
    return Rgb {part(c.r), part(c.g), part(c.b)};
}

int markStroke(int sizePixels)
{
    return std::max(1, int(std::lround(sizePixels / 10.0)));
}

namespace {
void drawParts(Surface& s, float x, float y, HoleMark mark, int size, Rgb color)
{
    const int16_t pen = s.penWidth();
    const int stroke = markStroke(size);
    const double px = double(s.pixelSize());
    // The figure's lines run on a circle whose outer edge is the mark's size.
    const double radius = std::max(0.5, (size - stroke) / 2.0) * px;
    // A point of the unit figure on the surface.
    const auto at = [&](QPointF unit) { return QPointF(x + unit.x() * radius, y + unit.y() * radius); };
    const auto segment = [&](QPointF a, QPointF b) {
        s.line(float(a.x()), float(a.y()), float(b.x()), float(b.y()), color);
    };

    if (mark.outline == Outline::None && mark.inner == Inner::Filled) {
        s.setPenWidth(int16_t(std::min(size, 32767)));
        s.dot(x, y, color);
        s.setPenWidth(pen);
        return;
    }
    const Figure f = figureOf(mark.outline);
    std::vector<QPointF> corners;
    for (const QPointF& c : f.corners)
        corners.push_back(at(c));
    s.setPenWidth(int16_t(std::min(stroke, 32767)));
    if (mark.outline == Outline::Circle)
        s.ring(x, y, float(radius), color);
    else if (!corners.empty())
        s.polygon(corners.data(), int(corners.size()), color, mark.inner == Inner::Filled);

    // The inner mark, centred where the figure leaves it room.
    const QPointF c = at(f.centre);
    const double r = f.inner * radius;
    const double d = r * 0.8; // the arms of an X reach as far as a cross's
    const auto offset = [&](double dx, double dy) { return QPointF(c.x() + dx, c.y() + dy); };
    switch (mark.inner) {
    case Inner::None:
    case Inner::Filled: break;
    case Inner::Dot: {
        const double across = std::max(r / px, 2.0 * stroke);
        s.setPenWidth(int16_t(std::min(32767.0, std::round(across))));
        s.dot(float(c.x()), float(c.y()), color);
        break;
    }
    case Inner::Plus:
    case Inner::Cross:
    case Inner::Star:
        if (mark.inner != Inner::Cross) {
            segment(offset(-r, 0), offset(r, 0));
            segment(offset(0, -r), offset(0, r));
        }
        if (mark.inner != Inner::Plus) {
            segment(offset(-d, -d), offset(d, d));
            segment(offset(-d, d), offset(d, -d));
        }
        break;
    case Inner::Ring: s.ring(float(c.x()), float(c.y()), float(r * 0.7), color); break;
    case Inner::Box: {
        const double b = r * 0.75;
        const QPointF box[4] = {offset(-b, -b), offset(b, -b), offset(b, b), offset(-b, b)};
        s.polygon(box, 4, color, false);
        break;
    }
    case Inner::HorizontalBar: segment(offset(-r, 0), offset(r, 0)); break;
    case Inner::VerticalBar: segment(offset(0, -r), offset(0, r)); break;
    }
    s.setPenWidth(pen);
}
} // namespace

void drawMark(Surface& s, float x, float y, HoleMark mark, int sizePixels, Rgb given)
{
    const Rgb color = printableColor(given);
    const int size = std::max(1, sizePixels);
    // Every mark of one kind, size and colour is the same figure: one stamp.
    const quint64 key = quint64(mark.outline) | quint64(mark.inner) << 4 | quint64(color.r) << 8
        | quint64(color.g) << 16 | quint64(color.b) << 24 | quint64(quint32(size)) << 32;
    if (s.placeStamp(x, y, key))
        return;
    s.stamp(x, y, key, size / 2 + markStroke(size) + 2,
        [&](Surface& on, float cx, float cy) { drawParts(on, cx, cy, mark, size, color); });
}

} // namespace kivotrek
