// A standard or RS-274X file's holes are counted in the pass that reads it: the counts must be
// those of walking the file again as the drawing does, for the table as the read filled it and
// as a settings file or the user may change it afterwards.

#include "drawing/holecounts.h"
#include "gerber/rs274xreader.h"
#include "gerber/standardreader.h"
#include "testutil.h"

#include <QBuffer>
#include <QDir>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {

struct TallyCase {
    std::string name;
    bool rs274x;
    QByteArray text;
};

void PrintTo(const TallyCase& c, std::ostream* os)
{
    *os << c.name;
}

// Reads the text as the menu command would, tallying its holes.
MarkTally readWithTally(const TallyCase& c, HoleTable& table)
{
    QByteArray bytes = c.text;
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    BoardExtent extent;
    MarkTally marks;
    if (c.rs274x) {
        prepareRs274xRead(table, extent);
        readRs274xGerber(device, QStringLiteral("t.gbr"), table, extent, {}, &marks);
    } else {
        prepareStandardRead(table, extent);
        readStandardGerber(device, QStringLiteral("t.gbr"), table, extent, {}, &marks);
    }
    return marks;
}

DrawResult countReplayed(const QByteArray& text, const HoleTable& table, HoleCounts& counts)
{
    QByteArray bytes = text;
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    return countHoles(recordSteps(device, QStringLiteral("t.gbr")), table, counts);
}

void expectSameCounts(const TallyCase& c, const MarkTally& marks, const HoleTable& table, const char* variant)
{
    SCOPED_TRACE(variant);
    HoleCounts tallied, replayed;
    const DrawResult a = countHoles(marks, table, tallied);
    const DrawResult b = countReplayed(c.text, table, replayed);
    EXPECT_EQ(a.ending, b.ending);
    EXPECT_EQ(a.line, b.line);
    for (size_t i = 0; i < HoleTable::kRows; ++i) {
        EXPECT_EQ(tallied[i].holeCount, replayed[i].holeCount) << "row " << i;
        EXPECT_EQ(tallied[i].slotCount, replayed[i].slotCount) << "row " << i;
    }
    EXPECT_EQ(tallied.withoutRow.holeCount, replayed.withoutRow.holeCount);
    EXPECT_EQ(tallied.withoutRow.slotCount, replayed.withoutRow.slotCount);
}

class TalliedCounts : public testing::TestWithParam<TallyCase> { };

TEST_P(TalliedCounts, AreTheReplaysForEveryTable)
{
    const TallyCase& c = GetParam();
    HoleTable table;
    const MarkTally marks = readWithTally(c, table);
    ASSERT_TRUE(marks.counted());
    expectSameCounts(c, marks, table, "as read");

    // A settings file that names other D-codes: the first code's holes have no row, a code the
    // file does not use gets one, and a row of the outline kind counts nothing.
    HoleTable changed = table;
    changed.row(0).dcode = QStringLiteral("D999");
    expectSameCounts(c, marks, changed, "first row renamed");
    changed = table;
    changed.row(1).kind = HoleKind::Outline;
    expectSameCounts(c, marks, changed, "second row outline");
    expectSameCounts(c, marks, HoleTable(), "no rows");
}

std::vector<TallyCase> tallyCases()
{
    std::vector<TallyCase> cases = {
        {"FlashesAndARunOfMoves", false,
            "G54D10*\nX1000Y1000D03*\nX2000Y1000D03*\nX0Y0D02*\nX5000Y0D01*\nX5000Y5000*\nX9000Y9000D03*\n"},
        {"ARunGoesOnIntoAnotherTool", false,
            "G54D10*\nX0Y0D02*\nX100Y0D01*\nG54D11*\nX100Y0D01*\nX200Y0*\nG54D10*\nX300Y0D01*\n"},
        {"ARunGoesOnThroughCodesWithoutRows", true,
            "%FSLAX23Y23*%\n%ADD10C,0.800*%\nG54D20*\nX0Y0D02*\nX100Y0D01*\nG54D21*\nX200Y0D01*\nG54D10*\n"
            "X300Y0D01*\nX300Y0D03*\n"},
        {"MovesBeforeAnyToolSelection", false, "X0Y0D02*\nX100Y0D01*\nX5Y5D03*\nG54D10*\nX1Y1D03*\n"},
        {"ARejectedReadStillCountsToTheEnd", false,
            "G54D10*\nX1000Y1000D03*\nG02X0Y0I5J5*\nX2000Y2000D03*\n"},
        {"AToolWithoutDCodeStopsTheDrawing", false, "G54D10*\nX1000Y1000D03*\nG54*\nX2000Y2000D03*\n"},
        {"ABadCoordinateStopsTheDrawing", true,
            "%FSLAX23Y23*%\n%ADD10C,0.800*%\nG54D10*\nX1000Y1000D03*\nX74500Y3600 "
            "0D03*\nX2000Y2000D03*\nM02*\n"},
        {"AStepAndRepeatLineIsPassedOver", false,
            "G54D10*\n%SRX2Y2I1J1*%\nX1000Y1000D03*\nG54D11*\nX5Y5D03*\n"},
        {"AFlashEndsARun", false, "G54D10*\nX0Y0D02*\nX100Y0D01*\nX100Y0D03*\nX100Y0D01*\nX200Y0D01*\n"},
    };
    // The test files and the sample board's Gerber files.
    const auto addFolder = [&cases](const QString& folder) {
        for (const QString& f : QDir(folder).entryList({QStringLiteral("*.gbr")}, QDir::Files, QDir::Name)) {
            const QByteArray text = test::readAll(folder + QLatin1Char('/') + f);
            for (const bool rs : {false, true}) {
                QString name = f + (rs ? QStringLiteral("Rs274x") : QStringLiteral("Standard"));
                name.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")));
                cases.push_back({name.toStdString(), rs, text});
            }
        }
    };
    addFolder(QString::fromUtf8(KIVOTREK_TEST_DATA));
    addFolder(QString::fromUtf8(KIVOTREK_SOURCE_DIR) + QStringLiteral("/examples"));
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Files, TalliedCounts, testing::ValuesIn(tallyCases()),
    [](const testing::TestParamInfo<TallyCase>& info) { return info.param.name; });

TEST(TalliedCounts, CountWhatTheDrawingDraws)
{
    // Two flashes of D10, one slot of D10 in three pieces that goes on into D11 and back: D11's
    // part is a slot of its own, and D10's run after it is another.
    const TallyCase c {"", false,
        "G54D10*\nX0Y0D03*\nX10Y0D03*\nX0Y0D02*\nX100Y0D01*\nX100Y100*\nX0Y100*\nG54D11*\nX0Y0D01*\n"
        "G54D10*\nX50Y50D01*\nG54D12*\nX1Y1D03*\nX3Y3D03*\n"};
    HoleTable table;
    const MarkTally marks = readWithTally(c, table);
    table.row(2).dcode = QStringLiteral("D"); // D12's row freed: its flashes have no row
    HoleCounts counts;
    EXPECT_EQ(countHoles(marks, table, counts).ending, DrawResult::Ending::Complete);
    EXPECT_EQ(counts[0].holeCount, 2);
    EXPECT_EQ(counts[0].slotCount, 2);
    EXPECT_EQ(counts[1].slotCount, 1);
    EXPECT_EQ(counts.withoutRow.holeCount, 2);
    const HoleTotals totals = holeTotals(counts, table);
    EXPECT_EQ(totals.all, 7);
}

TEST(TalliedCounts, AFileReadOnceForTheCountsOfTheBoard)
{
    // A board read with its tally counts from it: the file may be gone afterwards.
    test::Scratch dir;
    const QString path = dir.write(QStringLiteral("b.gbr"), "G54D10*\nX1000Y1000D03*\nX2000Y2000D03*\n");
    Board board;
    HoleTable table;
    BoardExtent extent;
    readBoardFile(board, ReaderKind::Standard, path, table, extent, {});
    ASSERT_TRUE(board.data.gerberMarks && board.data.gerberMarks->counted());
    ASSERT_TRUE(QFile::remove(path));
    HoleCounts counts;
    EXPECT_EQ(countHoles(board, table, counts).ending, DrawResult::Ending::Complete);
    EXPECT_EQ(counts[0].holeCount, 2);
    // Without the tally, from the steps the board holds: the file is not looked at again.
    board.data.gerberMarks.reset();
    EXPECT_EQ(countHoles(board, table, counts).ending, DrawResult::Ending::Complete);
    EXPECT_EQ(counts[0].holeCount, 2);
}

TEST(TalliedCounts, ABinaryFileLeavesNoTally)
{
    HoleTable table;
    const MarkTally marks = readWithTally({"", false, QByteArray("G54D10*\n\0\0\0X1Y1D03*\n", 20)}, table);
    EXPECT_FALSE(marks.counted());
}

} // namespace
