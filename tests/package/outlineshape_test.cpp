// The outline found by its shape among a layer's lines.

#include "package/outlineshape.h"

#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
void addBox(std::vector<OutlineSegment>& lines, double x0, double y0, double x1, double y1, double gap = 0)
{
    const double p[5][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0 + gap, y0}};
    for (int k = 0; k < 4; ++k)
        lines.push_back(*outlineAt(1, p[k][0], p[k][1], p[k + 1][0], p[k + 1][1]));
}
std::pair<Nanometres, Nanometres> at(double x, double y)
{
    return {*nanometres(x), *nanometres(y)};
}
} // namespace

TEST(OutlineShape, MostHolesThenSmallestWithinAMillimetreAndTwoMicrometres)
{
    std::vector<OutlineSegment> lines;
    addBox(lines, 0, 0, 100, 80); // the board: 0..3
    addBox(lines, -50, -50, 250, 150); // the sheet's frame: 4..7
    addBox(lines, 10, 10, 20, 20, 0.0015); // a cut-out closed within 1.5 um: 8..11
    addBox(lines, 30, 30, 40, 40, 0.003); // a box left open by 3 um: not closed, 12..15
    // A castellated hole 0.6 mm beyond the edge is the board's; the frame holds it as well.
    const std::vector<std::pair<Nanometres, Nanometres>> centres = {at(50, 50), at(5, 5), at(100.6, 40)};
    const OutlineShape s = outlineByShape(lines, centres);
    ASSERT_TRUE(s.found);
    EXPECT_EQ(s.held, 3);
    EXPECT_DOUBLE_EQ(s.area, 8000.0);
    EXPECT_EQ(s.keep, (std::vector<size_t> {0, 1, 2, 3, 8, 9, 10, 11}));
    EXPECT_TRUE(s.dropped);
    // A hole 1.1 mm beyond the edge is not the board's: the frame holds more.
    const OutlineShape far = outlineByShape(lines, {at(50, 50), at(101.1, 40)});
    EXPECT_EQ(far.held, 2);
    EXPECT_DOUBLE_EQ(far.area, 300.0 * 200.0);
    // No closed contour: none.
    std::vector<OutlineSegment> open;
    addBox(open, 0, 0, 100, 80, 0.01);
    EXPECT_FALSE(outlineByShape(open, centres).found);
}
