#pragma once

// The marks of a drawing for black-and-white printing: every row's holes and legend cell get a
// mark of their own, an outline figure (none, circle, square, diamond, two triangles, hexagon)
// with an inner mark (none, filled, dot, cross, X, both, ring, small square, a bar either way),
// so that 63 rows stay apart when the colours are lost.

#include "drawing/surface.h"

#include <cstdint>

namespace kivotrek {

struct HoleMark {
    enum class Outline : uint8_t { None, Circle, Square, Diamond, TriangleUp, TriangleDown, Hexagon };
    enum class Inner : uint8_t {
        None,
        Filled,
        Dot,
        Plus,
        Cross,
        Star,
        Ring,
        Box,
        HorizontalBar,
        VerticalBar
    };
    Outline outline = Outline::None;
    Inner inner = Inner::Filled;
    friend bool operator==(HoleMark a, HoleMark b) { return a.outline == b.outline && a.inner == b.inner; }
};

constexpr int kHoleMarks = 63;

// The mark of row i (0 to 62): the first rows take the plainest marks (filled circle, circle,
// cross, X, square, diamond, triangles, hexagon, star), the later ones the combinations.
HoleMark rowMark(int row);

// The width of a mark's lines for a mark of the size: a tenth of it, at least one pixel.
int markStroke(int sizePixels);

// The colour a mark is drawn in: the row's colour, darkened where it is so light (yellow, light
// cyan, light grey) that a black-and-white printer would print it as a faint grey.
Rgb printableColor(Rgb color);

// Draws the mark centred on (x, y) (twips), sizePixels device pixels across, in the printable
// colour of the colour. The surface's pen width is as it was afterwards.
void drawMark(Surface& surface, float x, float y, HoleMark mark, int sizePixels, Rgb color);

} // namespace kivotrek
