#pragma once

#include "drawing/recordingsurface.h"

#include <gtest/gtest.h>
#include <vector>

namespace kivotrek::test {

// Two recorded drawings are the same, operation for operation.
inline void expectSameDrawing(
    const std::vector<RecordingSurface::Op>& a, const std::vector<RecordingSurface::Op>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a[i].kind, b[i].kind);
        EXPECT_EQ(a[i].x1, b[i].x1);
        EXPECT_EQ(a[i].y1, b[i].y1);
        EXPECT_EQ(a[i].x2, b[i].x2);
        EXPECT_EQ(a[i].y2, b[i].y2);
        EXPECT_EQ(a[i].width, b[i].width);
        EXPECT_EQ(a[i].color, b[i].color);
        EXPECT_EQ(a[i].text, b[i].text);
        EXPECT_EQ(a[i].points, b[i].points);
        EXPECT_EQ(a[i].filled, b[i].filled);
    }
}

} // namespace kivotrek::test
