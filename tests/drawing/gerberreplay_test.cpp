#include "drawing/gerberreplay.h"
#include "drawnboard.h"
#include "gerber/standardreader.h"

#include <QThread>
#include <gtest/gtest.h>
#include <memory>

using namespace kivotrek;
using test::DrawnBoard;
using test::kBlack;
using Op = RecordingSurface::Op;

TEST(DrillMapReplay, PenDownMovesContinueAndFlashesDoNot)
{
    DrawnBoard b(1);
    b.extent = {5670, 5670, 0.0567f};
    b.table.row(0).diameter = QStringLiteral("0");
    ASSERT_EQ(b.draw("G54D10*\nX100Y100D02*\nX200Y100D01*\nX200Y200*\nX300Y300D03*\nX400Y400*\n").ending,
        DrawResult::Ending::Complete);
    PreviewLayout layout;
    ASSERT_TRUE(layout.prepare(b.table, b.extent, b.surface));
    const auto px = [&](int units) { return std::lround(units * double(0.0567f) * double(layout.scale())); };
    const auto lines = b.lines();
    ASSERT_EQ(lines.size(), 2u); // two joined segments, from the new point back to the start
    EXPECT_EQ(lines[0].x1, float(px(200) + 150));
    EXPECT_EQ(lines[0].x2, float(px(100) + 150));
    EXPECT_EQ(lines[1].x2, lines[0].x1);
    EXPECT_EQ(lines[1].y1, float(6300 - px(200) - 150));
    EXPECT_EQ(b.dots().size(), 2u); // legend dot and the flash; the move after the flash draws nothing
}

TEST(DrillMapReplay, DrawsAZeroLengthSegmentForD01WithoutCoordinates)
{
    DrawnBoard b(1);
    ASSERT_EQ(b.draw("G54D10*\nX1000Y1000D02*\nD01*\n").ending, DrawResult::Ending::Complete);
    const auto lines = b.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].x1, lines[0].x2);
    EXPECT_EQ(lines[0].y1, lines[0].y2);
}

TEST(DrillMapReplay, YAloneKeepsXAndStepRepeatChangesNothing)
{
    DrawnBoard b(1);
    ASSERT_EQ(b.draw("G54D10*\nX1000Y1000D03*\nY2000D03*\n%SRX3Y2I5.0D01*%\nX5000D03*\n").ending,
        DrawResult::Ending::Complete);
    const auto dots = b.dots();
    ASSERT_EQ(dots.size(), 4u);
    EXPECT_EQ(dots[2].x1, dots[1].x1);
    EXPECT_LT(dots[2].y1, dots[1].y1);
    EXPECT_EQ(dots[3].y1, dots[2].y1); // the %SR line left Y alone
    EXPECT_TRUE(b.lines().empty());
}

TEST(DrillMapReplay, BeforeTheFirstToolBlackAndTheSurfacePen)
{
    DrawnBoard b(2);
    b.surface.setPenWidth(3);
    b.table.row(1).color = fillColor(0, 0, 255);
    ASSERT_EQ(
        b.draw("X1000Y1000D03*\nD11*\nX2000Y1000D03*\nG54D99*\nX3000Y1000D03*\nG54D11*\nX4000Y1000D03*\n")
            .ending,
        DrawResult::Ending::Complete);
    const auto dots = b.dots();
    ASSERT_EQ(dots.size(), 5u);
    // Bare D11* and an unmatched G54 change nothing.
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(dots[k].color, kBlack);
        EXPECT_EQ(dots[k].width, 3);
    }
    EXPECT_EQ(dots[4].color, (Rgb {0, 0, 255}));
    EXPECT_EQ(dots[4].width, 5);
}

TEST(DrillMapReplay, DuplicateDCodesTheLastRowWinsBothCellsDrawn)
{
    DrawnBoard b(3);
    b.table.row(2).dcode = QStringLiteral("D10");
    b.table.row(2).diameter = QStringLiteral("3.0");
    b.table.row(2).color = fillColor(0, 255, 0);
    ASSERT_EQ(b.draw("G54D10*\nX1000Y1000D03*\n").ending, DrawResult::Ending::Complete);
    const auto dots = b.dots();
    ASSERT_EQ(dots.size(), 3u);
    EXPECT_EQ(dots[0].x1, 150.0f); // row 0's cell
    EXPECT_EQ(dots[1].x1, 3150.0f); // row 2's cell
    EXPECT_EQ(dots[2].color, (Rgb {0, 255, 0}));
    EXPECT_EQ(dots[2].width, dots[1].width);
}

TEST(DrillMapReplay, OutlineRowsAreDrawnButNotListed)
{
    DrawnBoard b(2);
    b.table.row(0).kind = HoleKind::Outline;
    ASSERT_EQ(b.draw("G54D10*\nX0Y0D02*\nX1000Y0D01*\nG54D11*\nX500Y500D03*\n").ending,
        DrawResult::Ending::Complete);
    EXPECT_EQ(b.lines().size(), 1u);
    EXPECT_EQ(b.texts().size(), 1u);
    EXPECT_EQ(b.dots()[0].x1, 1650.0f); // only row 1's cell
}

TEST(DrillMapReplay, SwatchColourThroughItsHexText)
{
    EXPECT_EQ(rowColor(fillColor(255, 0, 0)), (Rgb {255, 0, 0})); // "FF" padded to "0000FF"
    EXPECT_EQ(rowColor(0), kBlack);
    EXPECT_EQ(rowColor(fillColor(1, 2, 3)), (Rgb {1, 2, 3}));
    EXPECT_EQ(rowColor(0x80000005u), (Rgb {0x05, 0x00, 0x80})); // eight digits: same positions
    EXPECT_EQ(rowColor(0x1000000u), (Rgb {0x00, 0x00, 0x10}));
}

TEST(DrillMapReplay, AFaultEndsTheDrawingWhereItIs)
{
    DrawnBoard b(1);
    const DrawResult r = b.draw("G54D10*\nX1000Y1000D03*\n%ADD11R,1.0X1.0*%\nX2000Y2000D03*\n");
    EXPECT_EQ(r.ending, DrawResult::Ending::Stopped);
    EXPECT_EQ(r.line, 3);
    EXPECT_EQ(b.dots().size(), 2u); // what came before stays

    DrawnBoard c(1);
    EXPECT_EQ(c.draw("G54*\n").line, 1);
    DrawnBoard d(1);
    d.table.row(0).diameter = QStringLiteral("-5");
    EXPECT_EQ(d.draw("G54D10*\n").ending, DrawResult::Ending::Stopped);
}

TEST(DrillMapReplay, ExtentZeroLeavesTheSurfaceCleared)
{
    DrawnBoard b(1);
    b.extent = {0, 4536, 0.0567f};
    EXPECT_EQ(b.draw("G54D10*\nX1000Y1000D03*\n").ending, DrawResult::Ending::NoExtent);
    ASSERT_EQ(b.surface.ops.size(), 1u);
    EXPECT_EQ(b.surface.ops[0].kind, Op::Clear);
}

TEST(DrillMapReplay, LastLineWithoutLineFeedAndMissingFile)
{
    DrawnBoard b(1);
    EXPECT_EQ(b.draw("G54D10*\nX1000Y1000D03*").ending, DrawResult::Ending::Complete);
    EXPECT_EQ(b.dots().size(), 1u); // the legend dot only
    EXPECT_EQ(drawPreview(QStringLiteral("/nonexistent.gbr"), b.table, b.extent, b.surface).ending,
        DrawResult::Ending::Unreadable);
}

namespace {
bool sameOp(const Op& a, const Op& b)
{
    return a.kind == b.kind && a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2
        && a.color == b.color && a.width == b.width && a.fontSize == b.fontSize && a.text == b.text;
}

// The file drawn from the steps the standard read recorded (walking on past where the read
// stops), onto a fresh surface with the test's table.
DrawResult drawFromRead(const QString& path, const DrawnBoard& b, RecordingSurface& surface)
{
    PreviewLayout layout;
    if (!preparePreview(b.table, b.extent, surface, layout))
        return {DrawResult::Ending::NoExtent, std::nullopt};
    HoleTable scratch;
    BoardExtent extent;
    StepRecord steps;
    readStandardGerber(path, scratch, extent, {}, nullptr, &steps);
    return replayDrillMap(steps, b.table, b.extent, layout, surface);
}

// Draws the file from the read's steps and from its steps alone, and expects the same
// operations and the same result.
void expectSameThroughPipe(DrawnBoard& b, const QByteArray& gerber, DrawResult::Ending ending)
{
    const QString path = b.scratch.write(QStringLiteral("p.gbr"), gerber);
    RecordingSurface replayed(6855, 6300);
    const DrawResult direct = drawPreview(path, b.table, b.extent, replayed);
    RecordingSurface piped(6855, 6300);
    const DrawResult throughPipe = drawFromRead(path, b, piped);
    EXPECT_EQ(direct.ending, ending) << gerber.left(60).constData();
    EXPECT_EQ(throughPipe.ending, direct.ending) << gerber.left(60).constData();
    EXPECT_EQ(throughPipe.line, direct.line) << gerber.left(60).constData();
    ASSERT_EQ(piped.ops.size(), replayed.ops.size()) << gerber.left(60).constData();
    for (size_t i = 0; i < piped.ops.size(); ++i)
        ASSERT_TRUE(sameOp(piped.ops[i], replayed.ops[i])) << "operation " << i;
}
} // namespace

TEST(RecordedSteps, TheReadRecordsWhatTheReplayDraws)
{
    using E = DrawResult::Ending;
    DrawnBoard b(3);
    b.table.row(2).kind = HoleKind::Outline;
    expectSameThroughPipe(
        b, "G54D10*\nX100Y100D02*\nX200Y100D01*\nX200Y200*\nX300Y300D03*\nX400Y400*\n", E::Complete);
    expectSameThroughPipe(
        b, "G54D10*\nX1000Y1000D02*\nD01*\nY2000D03*\n%SRX3Y2I5.0D01*%\nX5000D03*\n", E::Complete);
    expectSameThroughPipe(
        b, "X1000Y1000D03*\nG54D99*\nG54D12*\nX0Y0D02*\nX900Y0D01*\nG54D11*\nX5D03*", E::Complete);
    expectSameThroughPipe(b, "G54D10*\nX1000Y1000D03*\n%ADD11R,1.0X1.0*%\nX2000Y2000D03*\n", E::Stopped);
    expectSameThroughPipe(b, "G54D10*\nX1000Y1000D03*\nG54*\nX2000Y2000D03*\n", E::Stopped);
    expectSameThroughPipe(b, "G54D10*\nX99999999999Y1000D03*\nX1D03*\n", E::Stopped);
    // A tool selection that draws its legend cell, then stops at its own coordinates.
    expectSameThroughPipe(b, "G54D11X1.5.5Y10D03*\nX1D03*\n", E::Stopped);
    b.table.row(1).diameter = QStringLiteral("-5"); // a pen the drawing cannot take
    expectSameThroughPipe(b, "G54D10*\nX1000Y1000D03*\nG54D11*\nX2000Y2000D03*\n", E::Stopped);
}

TEST(RecordedSteps, ManyLinesAndFaultsFarIn)
{
    using E = DrawResult::Ending;
    QByteArray flashes;
    for (int i = 0; i < 12000; ++i)
        flashes += "X" + QByteArray::number(i % 5000) + "Y" + QByteArray::number(i % 4000) + "D03*\n";
    DrawnBoard b(2);
    expectSameThroughPipe(b, "G54D10*\n" + flashes + "G54D11*\n" + flashes, E::Complete);
    // A fault far into the file, after several batches.
    expectSameThroughPipe(b, "G54D10*\n" + flashes + "X1.2.3D03*\n" + flashes, E::Stopped);
    // A read that stops early (a second tool past the table's rows) still records every line.
    b.table.row(1).diameter = QStringLiteral("-5");
    expectSameThroughPipe(b, "G54D10*\n" + flashes + "G54D11*\n" + flashes + flashes + flashes, E::Stopped);
}

TEST(RecordedSteps, MissingFileAndSixteenBytesAStep)
{
    DrawnBoard b(1);
    RecordingSurface surface(6855, 6300);
    const DrawResult r = drawFromRead(QStringLiteral("/nonexistent.gbr"), b, surface);
    EXPECT_EQ(r.ending, DrawResult::Ending::Unreadable);
    EXPECT_FALSE(r.reason.isEmpty()); // why, as the read found it: no second look at the file
    ASSERT_EQ(surface.ops.size(), 1u); // the clearing only
    EXPECT_EQ(surface.ops[0].kind, Op::Clear);

    // One entry a flash; lines that do nothing are not kept, but a line of nothing while the pen
    // is down is (it draws a dot where the pen stands).
    const StepRecord steps = recordSteps(
        b.scratch.write(QStringLiteral("s.gbr"), "G04 x*\nG54D10*\n\nX1Y1D03*\nX2D03*\nD01*\n\nM02*\n"));
    // G54D10, two flashes, D01, then the empty line and M02 while the pen is down.
    ASSERT_EQ(steps.entries().size(), 6u);
    const std::vector<StepRecord::Entry> e(steps.entries().begin(), steps.entries().end());
    ASSERT_EQ(e.size(), 6u);
    EXPECT_EQ(e[0].line, 2);
    EXPECT_EQ(e[4].line, 7);
    EXPECT_EQ(e[5].line, 8);
    EXPECT_EQ(steps.codes(), QStringList {QStringLiteral("D10")});
}
