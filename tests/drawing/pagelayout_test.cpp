#include "common/numbers.h"
#include "drawing/pagelayout.h"
#include "drawing/pagesurface.h"
#include "drawing/recordingsurface.h"
#include "testutil.h"

#include <gtest/gtest.h>

using namespace kivotrek;
using Op = RecordingSurface::Op;

namespace {
constexpr float kA4W = 11906, kA4H = 16838;

// Board 100 x 50 mm read as F4.3; seven rows with a diameter; a page at 600 dpi (P = 2.4).
struct Page {
    HoleTable table;
    BoardExtent extent {5670, 2835, 0.0567f};
    test::Scratch scratch;
    RecordingSurface surface;
    BasicRandom random;
    PageFoot foot;

    explicit Page(float w = kA4W, float h = kA4H) : surface(w, h, 2.4f, 400.0f)
    {
        for (int i = 0; i < 7; ++i) {
            table.row(i).dcode = QStringLiteral("D%1").arg(10 + i);
            table.row(i).diameter = QStringLiteral("0.8");
        }
    }
    DrawResult print(const QByteArray& gerber, const QString& size = QStringLiteral("自動(A4縦)"))
    {
        return printDrawing(
            scratch.write(QStringLiteral("p.gbr"), gerber), table, extent, size, foot, surface, random);
    }
    std::vector<Op> of(Op::Kind k) const { return surface.only(k); }
};
} // namespace

TEST(PageLayout, WorkedExampleOnA4Portrait)
{
    Page p;
    PageLayout layout(QStringLiteral("自動(A4縦)"));
    ASSERT_TRUE(layout.prepare(p.table, p.extent, p.surface));
    EXPECT_EQ(layout.width(), 11906);
    EXPECT_EQ(layout.height(), 16838);
    EXPECT_EQ(layout.shortSide(), 11906);
    // sx = 2.09982, sy = 4.63422: the scale is 0.83 sx.
    EXPECT_NEAR(layout.scale(), 1.74285, 5e-6);
    ASSERT_EQ(p.print("G54D10*\nX100000Y0D03*\n").ending, DrawResult::Ending::Complete);
    const auto dots = p.of(Op::Dot);
    ASSERT_EQ(dots.size(), 2u);
    EXPECT_EQ(dots[1].x1, 10582.0f);
    EXPECT_EQ(dots[1].y1, kA4H - 3000);
    EXPECT_EQ(dots[1].width, 32); // 0.8 mm at 2.4 twips a pixel: p = 18.9
}

TEST(PageLayout, PenRuleWithTheDevicePixel)
{
    Page p;
    PageLayout fitted(QStringLiteral("自動(A4縦)"));
    ASSERT_TRUE(fitted.prepare(p.table, p.extent, p.surface));
    HoleRow row;
    row.diameter = QStringLiteral("0.8");
    EXPECT_EQ(fitted.penWidth(row, p.surface), 32);
    row.diameter = QStringLiteral("0.1"); // p = 2.3625 is below P = 2.4: a pen of floor(P)
    EXPECT_EQ(fitted.penWidth(row, p.surface), 2);
    row.diameter.clear();
    EXPECT_EQ(fitted.penWidth(row, p.surface), 2);
    row.kind = HoleKind::Outline;
    row.diameter = QStringLiteral("3.0");
    EXPECT_EQ(fitted.penWidth(row, p.surface), 2); // the outline pen

    PageLayout fixed(QStringLiteral("100"));
    ASSERT_TRUE(fixed.prepare(p.table, p.extent, p.surface));
    EXPECT_EQ(fixed.scale(), 0.83f);
    row = HoleRow();
    row.diameter = QStringLiteral("0.3"); // p = 7.0875
    EXPECT_EQ(fixed.penWidth(row, p.surface), 5);

    // Far below one pixel the pen still draws 1 pixel wide.
    PageLayout tiny(QStringLiteral("0.001"));
    ASSERT_TRUE(tiny.prepare(p.table, p.extent, p.surface));
    EXPECT_EQ(tiny.penWidth(row, p.surface), 1);
    PageLayout zero(QStringLiteral("0"));
    ASSERT_TRUE(zero.prepare(p.table, p.extent, p.surface));
    EXPECT_EQ(zero.penWidth(row, p.surface), 1);
    row.diameter = QStringLiteral("0.1"); // P / 0: no pen at all, the drawing ends
    EXPECT_FALSE(zero.penWidth(row, p.surface));
}

TEST(PageLayout, LegendPlacesOnA4)
{
    Page p;
    PageLayout layout(QStringLiteral("自動(A4縦)"));
    ASSERT_TRUE(layout.prepare(p.table, p.extent, p.surface));
    EXPECT_EQ(layout.dotColumn(0), 300);
    EXPECT_EQ(layout.dotColumn(1), 4118);
    EXPECT_EQ(layout.dotColumn(2), 8087);
    EXPECT_EQ(layout.toleranceColumn(0), 1300);
    EXPECT_EQ(layout.toleranceColumn(1), 5118);
    EXPECT_EQ(layout.toleranceColumn(2), 9087);

    HoleRow row;
    row.diameter = QStringLiteral("0.8");
    row.sign1 = QStringLiteral("＋");
    row.tol1 = QStringLiteral("0.1");
    row.sign2 = QStringLiteral("－");
    row.tol2 = QStringLiteral("0.05");
    row.kind = HoleKind::Plated;
    ASSERT_TRUE(layout.legendCell(61, row, {1, 2, 3}, p.surface));
    const auto dots = p.of(Op::Dot);
    const auto texts = p.of(Op::Text);
    ASSERT_EQ(dots.size(), 1u);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(dots[0].x1, 4118.0f);
    EXPECT_EQ(dots[0].y1, 8300.0f); // rows 60 to 62
    EXPECT_EQ(texts[0].text, QStringLiteral("0.8"));
    EXPECT_EQ(texts[0].x1, 4418.0f);
    EXPECT_EQ(texts[0].y1, 8100.0f);
    EXPECT_EQ(texts[0].fontSize, 16.0f);
    EXPECT_EQ(texts[1].text, QStringLiteral("＋0.1 －0.05 TH"));
    EXPECT_EQ(texts[1].x1, 5118.0f);
    EXPECT_EQ(texts[1].y1, 8100.0f + 400.0f - 350.0f); // after the 16-point line advance
    EXPECT_EQ(texts[1].fontSize, 12.0f);

    HoleRow bare;
    p.surface.ops.clear();
    layout.legendCell(0, bare, {}, p.surface);
    EXPECT_EQ(p.of(Op::Text)[1].text, QStringLiteral("  ")); // no tolerances, no kind
}

TEST(PageLayout, LandscapeAndLargeSheets)
{
    Page landscape(kA4H, kA4W);
    PageLayout layout(QStringLiteral("自動(A4横)"));
    ASSERT_TRUE(layout.prepare(landscape.table, landscape.extent, landscape.surface));
    EXPECT_EQ(layout.shortSide(), 11906); // the page's height
    EXPECT_EQ(layout.dotColumn(2), 8087);

    // A3 landscape: the shorter side is 16838, so 2 x m needs more than 16 bits.
    Page a3(23811, 16838);
    PageLayout big(QStringLiteral("自動(A4横)"));
    ASSERT_TRUE(big.prepare(a3.table, a3.extent, a3.surface));
    EXPECT_EQ(big.dotColumn(2), 11375);
    EXPECT_EQ(big.toleranceColumn(2), 12375);
}

TEST(PageLayout, SheetsMeasuredFromTheirCorner)
{
    const QSizeF a4 = PageSurface::sheetTwips(PageSurface::pageLayout(9, 1));
    EXPECT_EQ(roundHalfEvenToInt16(a4.width()), 11906);
    EXPECT_EQ(roundHalfEvenToInt16(a4.height()), 16838);
    const QSizeF b4 = PageSurface::sheetTwips(PageSurface::pageLayout(12, 2));
    EXPECT_NEAR(b4.width(), 364 * 1440 / 25.4, 0.5); // JIS B4, 257 x 364 mm, landscape
    EXPECT_NEAR(b4.height(), 257 * 1440 / 25.4, 0.5);
}

TEST(PageLayout, SizeChoices)
{
    EXPECT_EQ(automaticPaper(QStringLiteral("自動(A4縦)"))->paper, 9);
    EXPECT_EQ(automaticPaper(QStringLiteral("自動(B4横)"))->paper, 12);
    EXPECT_EQ(automaticPaper(QStringLiteral("自動(B4横)"))->orientation, 2);
    EXPECT_FALSE(automaticPaper(QStringLiteral("自動")));
    EXPECT_FALSE(automaticPaper(QStringLiteral("100")));

    // "自動" alone: the fitted scale all the same.
    Page p;
    PageLayout alone(QStringLiteral("自動"));
    ASSERT_TRUE(alone.prepare(p.table, p.extent, p.surface));
    EXPECT_NEAR(alone.scale(), 1.74285, 5e-6);
    // No board read: no fitted scale, nothing drawn; a fixed percentage needs none.
    p.extent = {};
    EXPECT_EQ(p.print("G54D10*\n").ending, DrawResult::Ending::NoExtent);
    EXPECT_TRUE(p.surface.ops.empty());
    PageLayout fixed(QStringLiteral("50"));
    EXPECT_TRUE(fixed.prepare(p.table, p.extent, p.surface));
    EXPECT_EQ(fixed.scale(), static_cast<float>(0.83 * double(0.5f)));
}

TEST(printDrawing, OutlineTwiceSelectedAndTheFoot)
{
    Page p;
    p.table.row(0).kind = HoleKind::Outline;
    p.foot.productCode = QStringLiteral("KT-001");
    p.foot.logo = QImage(96, 48, QImage::Format_RGB32); // 96 dpi: one inch by half an inch
    ASSERT_EQ(p.print("G54D10*\nX0Y0D02*\nX100000Y0D01*\nG54D11*\nX1000Y1000D03*\nG54D11*\n").ending,
        DrawResult::Ending::Complete);
    const auto lines = p.of(Op::Line);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].width, 2); // the outline pen
    const auto dots = p.of(Op::Dot);
    ASSERT_EQ(dots.size(), 3u); // D11's cell twice at one place, and the hole
    EXPECT_EQ(dots[0].x1, dots[2].x1);
    EXPECT_EQ(dots[0].x1, 4118.0f);
    const auto pictures = p.of(Op::Image);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].x1, 100.0f);
    EXPECT_EQ(pictures[0].y1, kA4H - 2500);
    EXPECT_EQ(pictures[0].x2, 100.0f + 1440.0f);
    const Op code = p.of(Op::Text).back();
    EXPECT_EQ(code.text, QStringLiteral("KT-001"));
    EXPECT_EQ(code.x1, 5953.0f);
    EXPECT_EQ(code.y1, kA4H - 1700);
    EXPECT_EQ(code.fontSize, 25.0f);
    EXPECT_EQ(code.color, (Rgb {0, 255, 0})); // palette entry 10 on the first page of a run
    EXPECT_EQ(p.surface.ops.back().kind, Op::Text); // the foot comes last
}

TEST(printDrawing, ColourSequenceAndFailures)
{
    BasicRandom r;
    const float first = r.next();
    EXPECT_NEAR(first, 0.7055475, 1e-7);
    EXPECT_EQ(int(first * 15.0f), 10);
    EXPECT_EQ(int(r.next() * 15.0f), 8);

    Page p;
    p.foot.productCode = QString(); // an empty product code: nothing but the logo
    ASSERT_EQ(p.print("G54D10*\n").ending, DrawResult::Ending::Complete);
    ASSERT_EQ(p.print("G54D10*\n").ending, DrawResult::Ending::Complete);
    EXPECT_EQ(p.of(Op::Text).back().color, (Rgb {128, 128, 128})); // second page: entry 8
    EXPECT_TRUE(p.of(Op::Text).back().text.isEmpty());

    // A fault: nothing more is drawn, no foot.
    Page f;
    const DrawResult bad = f.print("G54D10*\nX1000Y1000D03*\nX12Q*\n");
    EXPECT_EQ(bad.ending, DrawResult::Ending::Stopped);
    EXPECT_EQ(bad.line, 3);
    EXPECT_EQ(f.of(Op::Text).size(), 2u); // only the legend cell's two texts
}
