#pragma once

// The board's outline found by its shape among the lines of a layer: the closed contour that holds
// the most of the board's hole centres, and the closed contours inside it that hold none
// (cut-outs), apart from whatever else the layer draws (dimension lines, text, tables, a
// drawing's frame, the marks of a drill map).

#include "drill/drilldata.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace kivotrek {

struct OutlineShape {
    bool found = false;
    qint64 held = 0; // hole centres inside the contour or within 1 mm of it
    double area = 0; // of the contour's box, square millimetres
    std::vector<size_t> keep; // the lines of the contour and of the closed contours inside it
    bool dropped = false; // lines of the layer left out (a drawing beside the outline)
    qint64 freeEnds = 0; // line ends no other end meets within 2 um: gaps, or lines of a drawing
};

// Line ends within 2 um of one another are joined; a contour is closed when none of its ends is
// free. Of the closed contours the one holding the most centres is the outline, of contours
// holding equally many the smallest; with no centre at all, the largest. At most 20,000 centres,
// taken evenly, are counted; a layer of more than 500,000 lines is no outline.
OutlineShape outlineByShape(
    const std::vector<OutlineSegment>& lines, const std::vector<std::pair<Nanometres, Nanometres>>& centres);

// Whether a ray from the point to the right crosses the line; a point is inside closed contours
// when its ray crosses their lines an odd number of times (a cut-out inside an outline is outside).
bool rayCrosses(const OutlineSegment& s, double x, double y);
bool insideLines(const std::vector<OutlineSegment>& lines, double x, double y);

} // namespace kivotrek
