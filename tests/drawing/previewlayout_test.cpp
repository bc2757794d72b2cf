#include "drawnboard.h"

#include <gtest/gtest.h>

using namespace kivotrek;
using test::DrawnBoard;
using test::kBlack;
using Op = RecordingSurface::Op;

TEST(PreviewLayout, WorkedExampleOfTheHundredByEightyBoard)
{
    DrawnBoard b(10);
    b.table.row(1).diameter = QStringLiteral("3.0");
    PreviewLayout layout;
    ASSERT_TRUE(layout.prepare(b.table, b.extent, b.surface));
    EXPECT_EQ(layout.height(), 6300);
    // sx = 1.20899, sy = 1.25661: the scale is 0.9 sx.
    EXPECT_NEAR(layout.scale(), 1.08810, 5e-6);
    EXPECT_EQ(layout.scale(), static_cast<float>(0.9 * double(static_cast<float>(6855.0 / 5670))));
    EXPECT_EQ(layout.penWidth(b.table.row(0), b.surface), 5); // w = 5.88
    EXPECT_EQ(layout.penWidth(b.table.row(1), b.surface), 13); // w = 13.06

    ASSERT_EQ(b.draw("G54D10*\nX100000Y80000D03*\n").ending, DrawResult::Ending::Complete);
    const auto dots = b.dots();
    ASSERT_EQ(dots.size(), 2u); // the legend dot and the hole
    EXPECT_EQ(dots[1].x1, 6320.0f);
    EXPECT_EQ(dots[1].y1, 1214.0f);
    EXPECT_EQ(dots[1].width, 5);
    EXPECT_EQ(dots[1].color, kBlack); // row 0's initial colour
}

TEST(PreviewLayout, PenWidthRule)
{
    PreviewLayout layout;
    HoleTable t;
    BoardExtent e {6855, 7000, 0.0567f}; // sx = 1, sy ~ 0.9: scale = 0.9 x 0.9
    RecordingSurface s(6855, 6300);
    ASSERT_TRUE(layout.prepare(t, e, s));
    HoleRow row;
    const auto pen = [&](const char* d, float scale) {
        // Scale set by a board whose sx gives exactly the wanted scale / 0.9.
        BoardExtent ext {static_cast<int32_t>(std::lround(6855 / (scale / 0.9))), 1, 0.0567f};
        PreviewLayout l;
        EXPECT_TRUE(l.prepare(t, ext, s));
        row.diameter = QString::fromUtf8(d);
        return l.penWidth(row, s);
    };
    EXPECT_EQ(pen("0.8", 1.0f), 5); // w = 5.4
    EXPECT_EQ(pen("0", 0.3f), 1); // w = 0.9
    EXPECT_EQ(pen("abc", 0.3f), 1); // no number: d = 0
    EXPECT_EQ(pen("1.5*%", 1.0f), 7); // the number at the start: 2.5 x 3
    EXPECT_EQ(pen("-1", 1.0f), 1); // w = 0
    EXPECT_FALSE(pen("-2", 1.0f)); // below 1 ends the drawing
    EXPECT_FALSE(pen("99999", 1.0f)); // above 32767
}

TEST(PreviewLayout, LegendStripIsFloorOfAThird)
{
    for (const auto& [n, strip] : {std::pair {1, 0}, {2, 0}, {3, 200}, {4, 200}, {63, 4200}}) {
        DrawnBoard b(n);
        b.extent = {100, 100, 0.0567f}; // sy decides
        PreviewLayout layout;
        ASSERT_TRUE(layout.prepare(b.table, b.extent, b.surface));
        EXPECT_EQ(
            layout.scale(), static_cast<float>(0.9 * double(static_cast<float>((6300.0 - strip) / 100))))
            << n;
    }
}

TEST(PreviewLayout, LegendCellsAtTheirRowsPlaces)
{
    DrawnBoard b(63);
    b.table.row(0).sign1 = QStringLiteral("＋");
    b.table.row(0).tol1 = QStringLiteral("0.1");
    b.table.row(0).sign2 = QStringLiteral("－");
    b.table.row(0).tol2 = QStringLiteral("0.05");
    b.table.row(0).kind = HoleKind::Plated;
    b.table.row(62).color = fillColor(255, 0, 0);
    ASSERT_EQ(b.draw("G54D72*\nG54D11*\nG54D10*\n").ending, DrawResult::Ending::Complete);
    const auto dots = b.dots();
    const auto texts = b.texts();
    ASSERT_EQ(dots.size(), 3u);
    ASSERT_EQ(texts.size(), 3u);
    // Row 62: third column, 21st line at y = 4100.
    EXPECT_EQ(dots[0].x1, 3150.0f);
    EXPECT_EQ(dots[0].y1, 4100.0f);
    EXPECT_EQ(dots[0].color, (Rgb {255, 0, 0}));
    EXPECT_EQ(texts[0].x1, 3350.0f);
    EXPECT_EQ(texts[0].y1, 4030.0f);
    EXPECT_EQ(texts[0].fontSize, 7.0f);
    EXPECT_EQ(dots[1].x1, 1650.0f); // row 1
    EXPECT_EQ(dots[1].y1, 100.0f);
    EXPECT_EQ(texts[2].text, QStringLiteral("0.8＋0.1 －0.05 TH"));
    EXPECT_EQ(texts[2].x1, 350.0f);
    EXPECT_EQ(texts[2].y1, 30.0f);
    EXPECT_EQ(texts[1].text, QStringLiteral("0.8  ")); // no tolerances, no kind
    // After Print the position is at the start of the next text line.
    EXPECT_EQ(b.surface.cursor.x, 0.0f);
    EXPECT_EQ(b.surface.cursor.y, 30.0f + 150.0f);
}
