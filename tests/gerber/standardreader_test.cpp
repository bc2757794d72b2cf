#include "gerber/standardreader.h"
#include "testutil.h"

#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
struct Read {
    HoleTable table;
    BoardExtent extent;
    test::Messages messages;
    ReadResult result;

    explicit Read(const QString& path) { result = readStandardGerber(path, table, extent, messages.sink()); }
    QStringList dcodes() const
    {
        QStringList out;
        for (int i = 0; i < HoleTable::kRows && table.row(i).isUsed(); ++i)
            out << table.row(i).dcode;
        return out;
    }
};
} // namespace

TEST(StandardReader, BoardOf100By80Millimetres)
{
    Read r(test::dataPath("board_100x80.gbr"));
    EXPECT_EQ(r.result.ending, ReadEnding::Complete);
    EXPECT_FALSE(r.result.stoppedAtLine);
    EXPECT_TRUE(r.messages.texts.isEmpty());
    EXPECT_EQ(r.extent.maxX, 5670);
    EXPECT_EQ(r.extent.maxY, 4536);
    EXPECT_EQ(r.extent.unitScale, 0.0567f);
    EXPECT_EQ(r.dcodes(), QStringList({QStringLiteral("D10"), QStringLiteral("D11"), QStringLiteral("D12")}));
    EXPECT_EQ(r.table.row(3).dcode, QStringLiteral("D"));
    EXPECT_TRUE(r.table.row(0).diameter.isEmpty());
}

TEST(StandardReader, CrLfReadsLikeLf)
{
    Read r(test::dataPath("crlf.gbr"));
    EXPECT_EQ(r.result.ending, ReadEnding::Complete);
    EXPECT_EQ(r.extent.maxX, 5670);
    EXPECT_EQ(r.extent.maxY, 4536);
    EXPECT_EQ(r.dcodes(), QStringList({QStringLiteral("D10"), QStringLiteral("D11")}));
}

TEST(StandardReader, CarriageReturnsAloneMakeOneLine)
{
    // "G54D10*\rX100000Y80000D03*\rM02*\r" is one line: its D-code runs to the first star,
    // and its X to the first Y, its Y to the first D, which lies before it: a fault.
    Read r(test::dataPath("cr_only.gbr"));
    EXPECT_EQ(r.result.ending, ReadEnding::Fault);
    EXPECT_EQ(r.result.stoppedAtLine, 1);
    EXPECT_EQ(r.dcodes(), QStringList({QStringLiteral("D10")}));
}

TEST(StandardReader, LastLineWithoutLineFeedIsNotRead)
{
    Read r(test::dataPath("no_final_lf.gbr"));
    EXPECT_EQ(r.result.ending, ReadEnding::Complete);
    EXPECT_EQ(r.extent.maxX, 283); // 5000 units: 283.49999 stays below the half
    EXPECT_EQ(r.extent.maxY, 227);
}

TEST(StandardReader, AJAnywhereRejectsTheFile)
{
    Read r(test::dataPath("job_comment.gbr"));
    EXPECT_EQ(r.result.ending, ReadEnding::Rejected);
    EXPECT_EQ(r.result.stoppedAtLine, 3);
    EXPECT_EQ(r.messages.texts,
        QStringList({QStringLiteral("ステップ＆リピート及び、円弧（ＩＪ）は使用できません。")}));
    EXPECT_EQ(r.dcodes(), QStringList({QStringLiteral("D10")}));
    // The extent read so far is still converted, so the drawing never sees file units.
    EXPECT_EQ(r.extent.maxX, 57);
    EXPECT_EQ(r.extent.maxY, 57);
}

TEST(StandardReader, ArcWithIButNoJPasses)
{
    test::Scratch s;
    Read r(s.write(QStringLiteral("i.gbr"), "G54D10*\nG02I500X1000Y1000D01*\nM02*\n"));
    EXPECT_EQ(r.result.ending, ReadEnding::Complete);
    EXPECT_EQ(r.extent.maxX, 57);
}

TEST(StandardReader, NegativeCoordinatesWarnOnceAtTheEnd)
{
    Read r(test::dataPath("negative.gbr"));
    EXPECT_EQ(r.result.ending, ReadEnding::Complete);
    EXPECT_EQ(r.messages.texts,
        QStringList({QStringLiteral("ガーバデータ内に－(マイナス）が在ります。このデータは使用できません")}));
    EXPECT_EQ(r.extent.maxX, 283); // X-100 does not lower it
    EXPECT_EQ(r.extent.maxY, 283);
}

TEST(StandardReader, AllNegativeKeepsZeroExtent)
{
    test::Scratch s;
    Read r(s.write(QStringLiteral("n.gbr"), "G54D10*\nX-5Y-5D03*\nX-7Y-1D03*\nM02*\n"));
    EXPECT_EQ(r.extent.maxX, 0);
    EXPECT_EQ(r.extent.maxY, 0);
    EXPECT_EQ(r.messages.texts.size(), 1);
}

TEST(StandardReader, FaultStopsWithTheLineNumber)
{
    Read r(test::dataPath("g54_no_d.gbr"));
    EXPECT_EQ(r.result.ending, ReadEnding::Fault);
    EXPECT_EQ(r.result.stoppedAtLine, 3);
    EXPECT_EQ(r.messages.texts,
        QStringList({QStringLiteral("3行目のデータを読み込めないため、読み込みを中止しました。")}));
    EXPECT_EQ(r.dcodes(), QStringList({QStringLiteral("D10")}));
    EXPECT_EQ(r.extent.maxX, 283);
}

TEST(StandardReader, NegativeWarningIsOnlyForACompleteRead)
{
    test::Scratch s;
    Read r(s.write(QStringLiteral("f.gbr"), "X-10Y-10D03*\nX12Q*\nM02*\n"));
    EXPECT_EQ(r.result.ending, ReadEnding::Fault);
    EXPECT_EQ(r.messages.texts,
        QStringList({QStringLiteral("2行目のデータを読み込めないため、読み込みを中止しました。")}));
}

TEST(StandardReader, SixtyThreeKindsFitTheSixtyFourthStops)
{
    QByteArray data;
    for (int i = 0; i < 63; ++i)
        data += "G54D" + QByteArray::number(100 + i) + "*\nX" + QByteArray::number(i) + "Y1D03*\n";
    test::Scratch s;
    Read full(s.write(QStringLiteral("63.gbr"), data + "G54D100*\nM02*\n"));
    EXPECT_EQ(full.result.ending, ReadEnding::Complete);
    EXPECT_EQ(full.table.row(62).dcode, QStringLiteral("D162"));

    Read over(s.write(QStringLiteral("64.gbr"), data + "G54D163*\nX5000Y5000D03*\nM02*\n"));
    EXPECT_EQ(over.result.ending, ReadEnding::Fault);
    EXPECT_EQ(over.result.stoppedAtLine, 127);
    EXPECT_EQ(over.messages.texts,
        QStringList({QStringLiteral("穴種が63を超えたため、127行目で読み込みを中止しました。")}));
    EXPECT_EQ(over.dcodes().size(), 63);
    EXPECT_EQ(over.extent.maxX, 4); // 62 units: the 5000 after the stop never counted
}

TEST(StandardReader, BareDCodeSelectsNothing)
{
    test::Scratch s;
    Read r(s.write(QStringLiteral("bare.gbr"), "D10*\nX100Y100D03*\nG54D010*\nG54D10*\nM02*\n"));
    EXPECT_EQ(r.dcodes(), QStringList({QStringLiteral("D010"), QStringLiteral("D10")}));
}

TEST(StandardReader, UnopenableFileSaysSoAndLeavesAClearedTable)
{
    HoleTable table;
    table.row(0).dcode = QStringLiteral("D99");
    table.row(0).diameter = QStringLiteral("1.0");
    BoardExtent extent {123, 456, 0.0f};
    test::Messages m;
    const QString path = QStringLiteral("/nonexistent/board.gbr");
    const ReadResult r = readStandardGerber(path, table, extent, m.sink());
    EXPECT_EQ(r.ending, ReadEnding::Unreadable);
    EXPECT_EQ(m.texts,
        QStringList({QStringLiteral("/nonexistent/board.gbrを開けませんでした。") + test::reason(ENOENT)}));
    EXPECT_EQ(table.row(0).dcode, QStringLiteral("D"));
    EXPECT_TRUE(table.row(0).diameter.isEmpty());
    EXPECT_EQ(extent.maxX, 0);
    EXPECT_EQ(extent.unitScale, 0.0567f);
}

TEST(StandardReader, PrepareIsWhatACancelledDialogLeaves)
{
    HoleTable table;
    table.row(2).dcode = QStringLiteral("D12");
    table.row(2).kind = HoleKind::Plated;
    BoardExtent extent {10, 20, 5.67f};
    prepareStandardRead(table, extent);
    EXPECT_EQ(table.row(2).dcode, QStringLiteral("D"));
    EXPECT_EQ(table.row(2).kind, HoleKind::Plated);
    EXPECT_EQ(extent.maxX, 0);
    EXPECT_EQ(extent.maxY, 0);
    EXPECT_EQ(extent.unitScale, 0.0567f);
}
