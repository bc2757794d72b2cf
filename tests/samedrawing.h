#pragma once

#include "drawing/recordingsurface.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace kivotrek::test {

inline bool sameOp(const RecordingSurface::Op& a, const RecordingSurface::Op& b)
{
    return a.kind == b.kind && a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2
        && a.width == b.width && a.color == b.color && a.text == b.text && a.points == b.points
        && a.filled == b.filled;
}

// One operation on one line: "Line (10, 20)-(30, 40) width 2 #ff0000".
inline std::string describeOp(const RecordingSurface::Op& op)
{
    static const char* const kinds[] = {"Clear", "Dot", "Line", "Text", "Image", "Ring", "Polygon"};
    std::ostringstream out;
    out.precision(9);
    out << kinds[op.kind] << " (" << op.x1 << ", " << op.y1 << ")-(" << op.x2 << ", " << op.y2 << ") width "
        << op.width;
    char color[8];
    std::snprintf(color, sizeof color, "#%02x%02x%02x", op.color.r, op.color.g, op.color.b);
    out << ' ' << color;
    if (!op.text.isEmpty())
        out << " \"" << op.text.toStdString() << '"';
    if (!op.points.empty())
        out << ' ' << op.points.size() << (op.filled ? " points, filled" : " points");
    return out.str();
}

// Two recorded drawings are the same, operation for operation: EXPECT_TRUE(sameDrawing(a, b)).
// A difference fails once, at the first operation that differs, shown with the two before and
// after it in both drawings.
inline testing::AssertionResult sameDrawing(
    const std::vector<RecordingSurface::Op>& a, const std::vector<RecordingSurface::Op>& b)
{
    const size_t common = std::min(a.size(), b.size());
    size_t first = 0;
    while (first < common && sameOp(a[first], b[first]))
        ++first;
    if (first == common && a.size() == b.size())
        return testing::AssertionSuccess();
    std::ostringstream out;
    out.precision(9); // twips as they are, fractions and all
    out << "the drawings differ at operation " << first << " (of " << a.size() << " and " << b.size()
        << "):\n";
    const size_t from = first >= 2 ? first - 2 : 0;
    const size_t to = std::min(first + 3, std::max(a.size(), b.size()));
    for (size_t i = from; i < to; ++i) {
        out << (i == first ? "> " : "  ") << i << '\n';
        out << "    first:  " << (i < a.size() ? describeOp(a[i]) : "(none)") << '\n';
        out << "    second: " << (i < b.size() ? describeOp(b[i]) : "(none)") << '\n';
    }
    return testing::AssertionFailure() << out.str();
}

} // namespace kivotrek::test
