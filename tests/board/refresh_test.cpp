// A board's files read once and held: what changes on disk is read again at the next use,
// keeping what the user typed for the D-codes the file still has.

#include "board/board.h"
#include "drawing/holecounts.h"
#include "testutil.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
struct HeldBoard {
    Board board;
    HoleTable table;
    BoardExtent extent;
    test::Messages said;
};

const char* const kPlated = "M48\nMETRIC\nT1C0.8\nT2C1.0\n%\nT1\nX1.0Y1.0\nT2\nX2.0Y2.0\nX3.0Y3.0\nM30\n";
const char* const kNonPlated = "M48\nMETRIC\nT1C3.0\n%\nT1\nX5.0Y5.0\nM30\n";
} // namespace

TEST(BoardRefresh, AChangedDrillFileIsReadAgainKeepingTypedRowsAndSayingWhatWentAway)
{
    test::Scratch dir;
    const QString plated = dir.write(QStringLiteral("b-PTH.drl"), kPlated);
    const QString nonPlated = dir.write(QStringLiteral("b-NPTH.drl"), kNonPlated);
    HeldBoard b;
    readBoardFile(b.board, ReaderKind::Excellon, plated, b.table, b.extent, {});
    addBoardFile(b.board, ReaderKind::Excellon, nonPlated, b.table, b.extent, {});
    ASSERT_EQ(b.board.nextFreeRow(), 3);
    // What the user typed: T2's tolerance, and the non-plated file's kind and colour.
    b.table.row(1).sign1 = QStringLiteral("±");
    b.table.row(1).tol1 = QStringLiteral("0.05");
    b.table.row(2).kind = HoleKind::NonPlated;
    b.table.row(2).color = 0x123456;

    // Nothing changed: nothing is read, nothing said.
    EXPECT_EQ(refreshBoard(b.board, b.table, b.extent, b.said.sink()), 0);
    EXPECT_TRUE(b.said.texts.isEmpty());
    EXPECT_TRUE(changedFiles(b.board).isEmpty());

    // T1 is gone, T2 stays, T3 and T4 are new: the file's run grows by one row.
    ASSERT_TRUE(QFile::remove(plated));
    dir.write(QStringLiteral("b-PTH.drl"),
        "M48\nMETRIC\nT2C1.0\nT3C1.2\nT4C1.5\n%\nT2\nX2.0Y2.0\nT3\nX4.0Y4.0\nX4.5Y4.5\nT4\nX6.0Y6.0\nM30\n");
    EXPECT_EQ(changedFiles(b.board), QStringList {plated});
    EXPECT_EQ(refreshBoard(b.board, b.table, b.extent, b.said.sink()), 1);
    EXPECT_EQ(b.said.texts,
        QStringList({plated + QStringLiteral("は読み込んだ後に変更されていたため、読み直しました。"),
            plated + QStringLiteral("を読み直すと、T1がなくなっていました。その行は表から外しました。")}));
    ASSERT_EQ(b.board.files[0].rowCount, 3);
    EXPECT_EQ(b.table.row(0).dcode, QStringLiteral("T2"));
    EXPECT_EQ(b.table.row(0).sign1, QStringLiteral("±")); // typed, kept with its D-code
    EXPECT_EQ(b.table.row(0).tol1, QStringLiteral("0.05"));
    EXPECT_EQ(b.table.row(1).dcode, QStringLiteral("T3"));
    EXPECT_EQ(b.table.row(1).diameter, QStringLiteral("1.20"));
    EXPECT_EQ(b.table.row(2).dcode, QStringLiteral("T4"));
    // The non-plated file's row moved down with what the user gave it.
    EXPECT_EQ(b.board.files[1].firstRow, 3);
    EXPECT_EQ(b.table.row(3).dcode, QStringLiteral("T1"));
    EXPECT_EQ(b.table.row(3).kind, HoleKind::NonPlated);
    EXPECT_EQ(b.table.row(3).color, 0x123456u);
    EXPECT_EQ(b.table.row(4).dcode, QStringLiteral("D")); // free
    // The counts are of the file as it is now.
    HoleCounts counts;
    EXPECT_EQ(countHoles(b.board, b.table, counts).ending, DrawResult::Ending::Complete);
    EXPECT_EQ(counts[0].holeCount, 1);
    EXPECT_EQ(counts[1].holeCount, 2);
    EXPECT_EQ(counts[2].holeCount, 1);
    EXPECT_EQ(counts[3].holeCount, 1);

    // Gone: the board keeps what it read, says so once, and is not read again.
    b.said.texts.clear();
    ASSERT_TRUE(QFile::remove(nonPlated));
    EXPECT_EQ(refreshBoard(b.board, b.table, b.extent, b.said.sink()), 1);
    EXPECT_EQ(b.said.texts,
        QStringList {nonPlated
            + QStringLiteral("は読み込んだ後に読めなくなりました。読み込んだときの内容のまま表示します。")});
    EXPECT_EQ(b.board.data.drills[1].holes.size(), 1u);
    EXPECT_EQ(b.table.row(3).dcode, QStringLiteral("T1"));
    EXPECT_EQ(refreshBoard(b.board, b.table, b.extent, b.said.sink()), 0);
}

TEST(BoardRefresh, AChangedGerberFileIsReadAgainWithItsTypedDiameters)
{
    test::Scratch dir;
    const QString path =
        dir.write(QStringLiteral("b.gbr"), "G54D10*\nX1000Y1000D03*\nG54D11*\nX2000Y2000D03*\n");
    HeldBoard b;
    readBoardFile(b.board, ReaderKind::Standard, path, b.table, b.extent, {});
    b.table.row(0).diameter = QStringLiteral("0.8");
    b.table.row(1).diameter = QStringLiteral("1.0");
    ASSERT_TRUE(QFile::remove(path));
    // D11 is gone, D12 new, and the board is larger.
    dir.write(QStringLiteral("b.gbr"), "G54D12*\nX9000Y9000D03*\nG54D10*\nX1000Y1000D03*\nX1500Y1000D03*\n");
    EXPECT_EQ(refreshBoard(b.board, b.table, b.extent, b.said.sink()), 1);
    EXPECT_EQ(b.said.texts,
        QStringList({path + QStringLiteral("は読み込んだ後に変更されていたため、読み直しました。"),
            path + QStringLiteral("を読み直すと、D11がなくなっていました。その行は表から外しました。")}));
    EXPECT_EQ(b.table.row(0).dcode, QStringLiteral("D12")); // as the read fills rows
    EXPECT_TRUE(b.table.row(0).diameter.isEmpty());
    EXPECT_EQ(b.table.row(1).dcode, QStringLiteral("D10"));
    EXPECT_EQ(b.table.row(1).diameter, QStringLiteral("0.8")); // typed, kept with its D-code
    EXPECT_FALSE(b.table.row(2).isUsed());
    EXPECT_EQ(b.extent.maxX, 510); // 9000 x 0.0567 twips
    HoleCounts counts;
    countHoles(b.board, b.table, counts);
    EXPECT_EQ(counts[0].holeCount, 1);
    EXPECT_EQ(counts[1].holeCount, 2);
}
