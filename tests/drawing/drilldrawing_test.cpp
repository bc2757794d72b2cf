#include "drawnboard.h"
#include "excellon/excellonreader.h"
#include "samedrawing.h"

#include <gtest/gtest.h>

using namespace kivotrek;
using test::DrawnBoard;
using test::kBlack;
using Op = RecordingSurface::Op;

TEST(ExcellonDrawing, TheFrameOfTheHolesDrawsAsTheSameBoardInGerber)
{
    // Holes at (-10, -20) and (89, 59) mm of 1 mm and a G85 slot: the box grown by the radius is
    // -10.5 .. 89.5 by -20.5 .. 59.5, 100 by 80 mm with its corner at the origin. The drawing
    // is the one of the same holes written as F4.3 from that corner.
    DrawnBoard excellon(1);
    excellon.table.row(0).dcode = QStringLiteral("T1");
    const QString drl = excellon.scratch.write(QStringLiteral("d.drl"),
        "M48\nMETRIC\nT1C1.0\n%\nT1\nX-10.0Y-20.0\nX89.0Y59.0\nX0Y0G85X10.0Y0\nM30\n");
    const DrillData drill = readExcellon(drl, {});
    const DrillFrame frame = drillFrame(drill);
    EXPECT_DOUBLE_EQ(frame.left, -10.5);
    EXPECT_DOUBLE_EQ(frame.bottom, -20.5);
    EXPECT_EQ(frame.extent.maxX, 5670);
    EXPECT_EQ(frame.extent.maxY, 4536);
    ASSERT_EQ(drawPreview(singleFileBoard(drl, ReaderKind::Excellon), excellon.table, BoardExtent {},
                  excellon.surface)
                  .ending,
        DrawResult::Ending::Complete);

    DrawnBoard gerber(1);
    ASSERT_EQ(
        gerber.draw("G54D10*\nX500Y500D03*\nX99500Y79500D03*\nX10500Y20500D02*\nX20500Y20500D01*\n").ending,
        DrawResult::Ending::Complete);
    EXPECT_TRUE(test::sameDrawing(excellon.surface.ops, gerber.surface.ops));
    EXPECT_EQ(excellon.lines().size(), 1u); // the slot: a round-ended line as wide as the pen
    EXPECT_EQ(excellon.dots().size(), 3u); // the legend mark and two holes

    // No hole at all: nothing to scale, as a Gerber file without coordinates.
    const QString empty = excellon.scratch.write(QStringLiteral("e.drl"), "M48\nMETRIC\nT1C1.0\n%\nM30\n");
    EXPECT_EQ(drawPreview(singleFileBoard(empty, ReaderKind::Excellon), excellon.table, BoardExtent {},
                  excellon.surface)
                  .ending,
        DrawResult::Ending::NoExtent);
}
