// Marks for black-and-white printing: 63 rows that stay apart without colour, slots, and the
// drawing's progress and cancellation.

#include "board/board.h"
#include "drawing/boarddrawing.h"
#include "drawing/drilldrawing.h"
#include "drawing/gerberreplay.h"
#include "drawing/holecounts.h"
#include "drawing/pageexport.h"
#include "drawing/picturesurface.h"
#include "drawing/previewlayout.h"
#include "drawing/recordingsurface.h"
#include "drawing/symbols.h"
#include "samedrawing.h"
#include "testutil.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>
#include <set>

using namespace kivotrek;
using Op = RecordingSurface::Op;

namespace {
// An Excellon board of the given tools (T1 0.20 mm, T2 0.21 mm, ...), each with a hole on a
// 300 x 200 mm board: at an automatic A4 size every pen is below 1.2 mm on paper.
QByteArray toolBoard(int tools, int holesPerTool = 1)
{
    QByteArray drl = "M48\nMETRIC\n";
    for (int t = 1; t <= tools; ++t)
        drl += "T" + QByteArray::number(t) + "C" + QByteArray::number(0.19 + 0.01 * t, 'f', 2) + "\n";
    drl += "%\n";
    for (int t = 1; t <= tools; ++t) {
        drl += "T" + QByteArray::number(t) + "\n";
        for (int h = 0; h < holesPerTool; ++h)
            drl += "X" + QByteArray::number(4.0 * t + 0.01 * (h % 100), 'f', 2) + "Y"
                + QByteArray::number(10.0 + 1.5 * (h / 100), 'f', 2) + "\n";
    }
    drl += "X300.0Y200.0\nM30\n";
    return drl;
}

struct MarkedBoard {
    test::Scratch scratch;
    Board board;
    HoleTable table;
    BoardExtent extent;
    test::Messages said;

    explicit MarkedBoard(const QByteArray& drill)
    {
        readBoardFile(board, ReaderKind::Excellon, scratch.write(QStringLiteral("board.drl"), drill), table,
            extent, said.sink());
    }
};

// The ink of a square of the grey page around a point: every pixel that is not white, as a
// black-and-white printer puts toner on every colour.
std::vector<bool> inkAround(const QImage& grey, int cx, int cy, int half)
{
    std::vector<bool> ink;
    for (int y = cy - half; y <= cy + half; ++y) {
        for (int x = cx - half; x <= cx + half; ++x)
            ink.push_back(grey.valid(x, y) && qGray(grey.pixel(x, y)) < 250);
    }
    return ink;
}
} // namespace

TEST(Marks, SixtyThreeRowsKeepSixtyThreeDifferentMarks)
{
    std::set<std::pair<int, int>> seen;
    for (int i = 0; i < kHoleMarks; ++i) {
        const HoleMark m = rowMark(i);
        seen.insert({int(m.outline), int(m.inner)});
    }
    EXPECT_EQ(seen.size(), size_t(kHoleMarks));
    // The plainest first.
    EXPECT_TRUE((rowMark(0) == HoleMark {HoleMark::Outline::None, HoleMark::Inner::Filled}));
    EXPECT_TRUE((rowMark(1) == HoleMark {HoleMark::Outline::Circle, HoleMark::Inner::None}));
    EXPECT_TRUE((rowMark(2) == HoleMark {HoleMark::Outline::None, HoleMark::Inner::Plus}));
    EXPECT_TRUE((rowMark(3) == HoleMark {HoleMark::Outline::None, HoleMark::Inner::Cross}));
    EXPECT_EQ(markStroke(28), 3);
    EXPECT_EQ(markStroke(9), 1);
    EXPECT_EQ(markStroke(1), 1);
}

TEST(Marks, LightColoursAreDarkenedForThePrinterOthersKept)
{
    EXPECT_EQ(printableColor(Rgb {255, 0, 0}), (Rgb {255, 0, 0})); // grey 76
    EXPECT_EQ(printableColor(Rgb {0, 0, 0}), (Rgb {0, 0, 0}));
    EXPECT_EQ(printableColor(Rgb {255, 255, 0}), (Rgb {172, 172, 0})); // yellow: grey 226 to 152
    EXPECT_EQ(printableColor(Rgb {255, 255, 255}), (Rgb {153, 153, 153}));
}

TEST(Marks, SixtyThreeLegendMarksStayApartOnAGreyPage)
{
    MarkedBoard b(toolBoard(63));
    ASSERT_EQ(b.table.rowsWithDiameter(), 63);
    ASSERT_EQ(b.said.texts, QStringList());
    DrawingOptions marks;
    marks.marks = true;
    const QString png = b.scratch.path(QStringLiteral("page.png"));
    const PageWrite w = writePage(
        png, QStringLiteral("png"), 600, b.board, b.table, b.extent, QStringLiteral("自動(A4縦)"), {}, marks);
    ASSERT_TRUE(w.written);
    ASSERT_EQ(w.drawn.ending, DrawResult::Ending::Complete);
    QImageReader reader(png);
    reader.setAllocationLimit(512); // MB: an A4 page at 600 dpi is 140
    const QImage grey = reader.read().convertToFormat(QImage::Format_Grayscale8);
    ASSERT_FALSE(grey.isNull());

    // Each legend mark is 2.4 mm (57 pixels at 600 dpi) across, centred on its cell's dot.
    PageLayout layout(QStringLiteral("自動(A4縦)"));
    RecordingSurface sheet(11906, 16838, 2.4f);
    ASSERT_TRUE(layout.prepare(b.table, b.extent, sheet));
    const int half = 34;
    std::vector<std::vector<bool>> masks;
    for (int i = 0; i < 63; ++i) {
        const int cx = int(layout.dotColumn(i % 3) / 2.4f);
        const int cy = int((400 * (i / 3) + 300) / 2.4f);
        std::vector<bool> ink = inkAround(grey, cx, cy, half);
        int count = 0;
        int border = 0;
        for (int k = 0; k < int(ink.size()); ++k) {
            count += ink[size_t(k)];
            const int x = k % (2 * half + 1), y = k / (2 * half + 1);
            if (ink[size_t(k)] && (x == 0 || y == 0 || x == 2 * half || y == 2 * half))
                ++border;
        }
        EXPECT_GT(count, 20) << "row " << i;
        EXPECT_EQ(border, 0) << "row " << i << ": the mark runs out of its place";
        masks.push_back(std::move(ink));
    }
    // Any two marks differ in at least a tenth of the pixels either of them inks.
    for (int i = 0; i < 63; ++i) {
        for (int j = i + 1; j < 63; ++j) {
            int differ = 0, either = 0;
            for (size_t k = 0; k < masks[size_t(i)].size(); ++k) {
                differ += masks[size_t(i)][k] != masks[size_t(j)][k];
                either += masks[size_t(i)][k] || masks[size_t(j)][k];
            }
            EXPECT_GE(differ * 10, either) << "rows " << i << " and " << j;
            EXPECT_GE(differ, 15) << "rows " << i << " and " << j;
        }
    }
}

TEST(Marks, HolesTakeTheirRowsMarkAtLeastTheMinimumAndTheOutlineStaysALine)
{
    MarkedBoard b(toolBoard(3));
    b.table.row(2).kind = HoleKind::Outline; // T3 is drawn as the outline
    RecordingSurface plain(6855, 6300), marked(6855, 6300);
    DrawingOptions marks;
    marks.marks = true;
    ASSERT_EQ(drawPreview(b.board, b.table, b.extent, plain).ending, DrawResult::Ending::Complete);
    ASSERT_EQ(drawPreview(b.board, b.table, b.extent, marked, marks).ending, DrawResult::Ending::Complete);

    // Row 0 (filled circle): its legend dot and hole as dots of the minimum sizes; row 1
    // (circle): rings; row 2 (outline kind): the plain dot, no legend.
    const auto dots = marked.only(Op::Dot);
    const auto rings = marked.only(Op::Ring);
    ASSERT_EQ(dots.size(), 4u); // T1's legend and hole, T3's two holes
    EXPECT_EQ(dots[0].width, PreviewLayout::kLegendMarkMinimum);
    EXPECT_EQ(dots[1].width, PreviewLayout::kMarkMinimum);
    ASSERT_EQ(rings.size(), 2u);
    EXPECT_EQ(rings[0].width, 1); // the stroke of an 11-pixel mark
    // The ring's centre line lies within the mark: (11 - 1) / 2 pixels of 15 twips, and the
    // hole's (9 - 1) / 2.
    EXPECT_FLOAT_EQ(rings[0].x2 - rings[0].x1, 75.0f);
    EXPECT_FLOAT_EQ(rings[1].x2 - rings[1].x1, 60.0f);
    const auto plainDots = plain.only(Op::Dot);
    ASSERT_EQ(plainDots.size(), 6u);
    EXPECT_EQ(dots[2].x1, plainDots[4].x1); // the outline row's holes as they were
    EXPECT_EQ(dots[2].width, plainDots[4].width);
    // Marks sit where the dots were.
    EXPECT_EQ(rings[1].x1, plainDots[3].x1);
    EXPECT_EQ(rings[1].y1, plainDots[3].y1);
}

TEST(Marks, ASlotIsAThinLineWithOneMarkWhereItStarts)
{
    // T2 (row 1, a circle): a G85 slot and a routed slot of three pieces; T1 a hole.
    MarkedBoard b("M48\nMETRIC\nT1C0.8\nT2C1.0\n%\nT1\nX1.0Y1.0\nT2\nX5.0Y5.0G85X9.0Y5.0\n"
                  "G00X5.0Y20.0\nM15\nG01X10.0Y20.0\nX10.0Y25.0\nX15.0Y25.0\nM16\nG05\nX50.0Y40.0\nM30\n");
    HoleCounts counts;
    countHoles(b.board, b.table, counts);
    ASSERT_EQ(counts[1].slotCount, 2);
    ASSERT_EQ(counts[1].holeCount, 1);
    DrawingOptions marks;
    marks.marks = true;
    RecordingSurface s(6855, 6300);
    ASSERT_EQ(drawPreview(b.board, b.table, b.extent, s, marks).ending, DrawResult::Ending::Complete);
    // One ring for the legend, one for the hole, one for each slot: not one for each piece.
    EXPECT_EQ(s.only(Op::Ring).size(), 4u);
    int slotLines = 0;
    for (const Op& op : s.only(Op::Line)) {
        if (op.color == printableColor(rowColor(b.table.row(1).color))) {
            ++slotLines;
            EXPECT_EQ(op.width, 1); // thin: the mark's stroke, not the 1 mm pen
        }
    }
    EXPECT_EQ(slotLines, 4); // the G85 slot and the routed slot's three pieces

    // A Gerber file's pen-down run is one slot too.
    test::Scratch dir;
    const QString gbr = dir.write(QStringLiteral("g.gbr"),
        "G54D10*\nX1000Y1000D03*\nG54D11*\nX2000Y2000D02*\nX3000Y2000D01*\nX3000Y3000D01*\nX5000Y3000D02*\n"
        "X6000Y3000D01*\nM02*\n");
    HoleTable table;
    table.row(0).dcode = QStringLiteral("D10");
    table.row(0).diameter = QStringLiteral("0.8");
    table.row(1).dcode = QStringLiteral("D11");
    table.row(1).diameter = QStringLiteral("1.0");
    RecordingSurface g(6855, 6300);
    PreviewLayout layout;
    layout.setOptions(marks);
    ASSERT_TRUE(preparePreview(table, BoardExtent {6000, 4000, 0.0567f}, g, layout));
    ASSERT_EQ(replayDrillMap(recordSteps(gbr), table, BoardExtent {6000, 4000, 0.0567f}, layout, g).ending,
        DrawResult::Ending::Complete);
    EXPECT_EQ(g.only(Op::Ring).size(), 3u); // the legend and two runs
}

TEST(Marks, ProgressIsToldAndACancelledPageLeavesNoFile)
{
    MarkedBoard b(toolBoard(2, 6000));
    std::vector<qint64> told;
    DrawingOptions options;
    options.progress = [&](qint64 n) {
        told.push_back(n);
        return true;
    };
    RecordingSurface s(6855, 6300);
    ASSERT_EQ(drawPreview(b.board, b.table, b.extent, s, options).ending, DrawResult::Ending::Complete);
    EXPECT_EQ(told, (std::vector<qint64> {4096, 8192}));

    // Told progress changes nothing in the drawing, element for element.
    RecordingSurface plain(6855, 6300);
    drawPreview(b.board, b.table, b.extent, plain);
    EXPECT_TRUE(test::sameDrawing(plain.ops, s.ops));

    options.progress = [](qint64) { return false; };
    for (const char* format : {"pdf", "svg", "png"}) {
        const QString path = b.scratch.path(QStringLiteral("page.") + QLatin1String(format));
        const PageWrite w = writePage(path, QLatin1String(format), 100, b.board, b.table, b.extent,
            QStringLiteral("自動(A4縦)"), {}, options);
        EXPECT_EQ(w.drawn.ending, DrawResult::Ending::Cancelled) << format;
        EXPECT_FALSE(w.written) << format;
        EXPECT_FALSE(QFileInfo::exists(path)) << format;
    }
    const QString svg = b.scratch.path(QStringLiteral("preview.svg"));
    EXPECT_FALSE(writePreviewSvg(svg, b.board, b.table, b.extent, options).written);
    EXPECT_FALSE(QFileInfo::exists(svg));
    EXPECT_TRUE(drawingProblem(DrawResult {DrawResult::Ending::Cancelled}, svg).isEmpty());
    // Nothing else is left in the folder: no temporary file either.
    EXPECT_EQ(QDir(QFileInfo(svg).path()).entryList(QDir::Files), QStringList {QStringLiteral("board.drl")});
}

namespace {
// A picture that draws every mark anew where it stands, as pictures did before stamps.
class DrawingPicture : public PictureSurface {
public:
    using PictureSurface::PictureSurface;
    void stamp(
        float x, float y, quint64, int, const std::function<void(Surface&, float, float)>& draw) override
    {
        draw(*this, x, y);
    }
    bool placeStamp(float, float, quint64) override { return false; }
};

QImage cut(const QImage& image, int cx, int cy, int half)
{
    return image.copy(cx - half, cy - half, 2 * half + 1, 2 * half + 1);
}
} // namespace

TEST(Marks, APictureStampsEachMarkOnItsPixelAsItWouldBeDrawnThere)
{
    // 15 twips a pixel at 96 dpi: each mark drawn at the centre of pixel (20 + 30 i, 20) of one
    // picture, stamped at points anywhere within pixel (20 + 30 i, 50) of another.
    PictureSurface stamped(kPreviewWidthTwips, kPreviewHeightTwips);
    DrawingPicture drawn(kPreviewWidthTwips, kPreviewHeightTwips);
    const Rgb colours[] = {{255, 0, 0}, {255, 255, 255}, {0, 0, 0}, {255, 255, 0}};
    for (int i = 0; i < 14; ++i) {
        const HoleMark mark = rowMark(i * 4 + 1);
        const Rgb colour = colours[i % 4];
        const int size = 9 + i;
        const float x = float((20 + 30 * i) * 15);
        drawMark(drawn, x + 7.5f, 20 * 15 + 7.5f, mark, size, colour);
        for (const float within : {0.0f, 3.0f, 14.9f}) // the first draws it, the others place it
            drawMark(stamped, x + within, 50 * 15 + 14.9f - within, mark, size, colour);
        SCOPED_TRACE(i);
        const QImage want = cut(drawn.image(), 20 + 30 * i, 20, 14);
        EXPECT_EQ(cut(stamped.image(), 20 + 30 * i, 50, 14), want);
        EXPECT_NE(want, cut(drawn.image(), 20 + 30 * i, 80, 14)) << "a mark was drawn";
    }
}
