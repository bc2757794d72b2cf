#include "gerber/diameterformat.h"
#include "gerber/rs274xreader.h"
#include "testutil.h"

#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
struct Read {
    HoleTable table;
    BoardExtent extent;
    test::Messages messages;
    ReadResult result;

    explicit Read(const QString& path, float scaleBefore = 0.0f)
    {
        extent.unitScale = scaleBefore;
        result = readRs274xGerber(path, table, extent, messages.sink());
    }
    QStringList rows() const
    {
        QStringList out;
        for (int i = 0; i < HoleTable::kRows && table.row(i).isUsed(); ++i)
            out << table.row(i).dcode + QLatin1Char('=') + table.row(i).diameter;
        return out;
    }
};

QString rs(const char* lines)
{
    static test::Scratch scratch; // lives for the test program
    static int n = 0;
    return scratch.write(QStringLiteral("f%1.gbr").arg(++n), QByteArray(lines));
}
} // namespace

TEST(DiameterFormat, TwoDecimalsHalfAwayFromZero)
{
    EXPECT_EQ(formatDiameter("0.800"), QStringLiteral("0.80"));
    EXPECT_EQ(formatDiameter("1.250"), QStringLiteral("1.25"));
    EXPECT_EQ(formatDiameter("0.125"), QStringLiteral("0.13"));
    EXPECT_EQ(formatDiameter("1.005"), QStringLiteral("1.01")); // decimal, not binary, halves
    EXPECT_EQ(formatDiameter("0.994"), QStringLiteral("0.99"));
    EXPECT_EQ(formatDiameter("9.999"), QStringLiteral("10.00"));
    EXPECT_EQ(formatDiameter(".5"), QStringLiteral("0.50"));
    EXPECT_EQ(formatDiameter("12"), QStringLiteral("12.00"));
    EXPECT_EQ(formatDiameter("1E1"), QStringLiteral("10.00"));
    EXPECT_EQ(formatDiameter("5E-3"), QStringLiteral("0.01"));
    EXPECT_EQ(formatDiameter("4E-3"), QStringLiteral("0.00"));
    EXPECT_EQ(formatDiameter("-0.125"), QStringLiteral("-0.13"));
    EXPECT_EQ(formatDiameter("0.8*%"), QStringLiteral("0.8*%"));
    EXPECT_EQ(formatDiameter("1.25*"), QStringLiteral("1.25*"));
    EXPECT_EQ(formatDiameter(""), QString());
}

TEST(Rs274xReader, FormatApertureAndStepRepeatLines)
{
    Read r(test::dataPath("rs274x_basic.gbr"));
    EXPECT_EQ(r.result.ending, ReadEnding::Complete);
    EXPECT_TRUE(r.messages.texts.isEmpty());
    EXPECT_EQ(r.extent.unitScale, 0.00567f);
    // D10 defined twice keeps its first diameter; rectangles and obrounds add no rows.
    EXPECT_EQ(r.rows(),
        QStringList({QStringLiteral("D10=0.80"), QStringLiteral("D11=1.25"), QStringLiteral("D12=1.5*%"),
            QStringLiteral("D14=0.13")}));
    // X1000000 Y800000 at 0.0001 mm; the %SR line's X2Y3 changes nothing.
    EXPECT_EQ(r.extent.maxX, 5670);
    EXPECT_EQ(r.extent.maxY, 4536);
}

TEST(Rs274xReader, DecimalDigitTable)
{
    EXPECT_EQ(Read(rs("%FSLAX21Y21*%\nX10Y10D03*\n")).extent.unitScale, 5.67f);
    EXPECT_EQ(Read(rs("%FSLAX22Y22*%\n")).extent.unitScale, 0.567f);
    EXPECT_EQ(Read(rs("%FSLAX23Y23*%\n")).extent.unitScale, 0.0567f);
    EXPECT_EQ(Read(rs("%FSLAX25Y25*%\n")).extent.unitScale, 0.000567f);
    // The format line is a coordinate line too: X = 21 at 5.67 is 119 twips.
    EXPECT_EQ(Read(rs("%FSLAX21Y21*%\n")).extent.maxX, 119);
}

TEST(Rs274xReader, UnusableDigitCountWarnsAndKeepsTheScale)
{
    for (const char* line : {"%FSLAX26Y26*%\n", "%FSLAX20Y20*%\n", "%FSLAXaaYaa*%\n", "%FSLA*%\n"}) {
        Read r(rs(line), 0.0567f);
        EXPECT_EQ(r.result.ending, ReadEnding::Complete) << line;
        EXPECT_EQ(r.messages.texts,
            QStringList({QStringLiteral("適用フォーマットではありません。開発者にご連絡下さい")}))
            << line;
        EXPECT_EQ(r.extent.unitScale, 0.0567f) << line;
    }
    // Without "%FSLAX" the line's seventh character counts: "G%FSLA4*" has 4 there.
    EXPECT_EQ(Read(rs("G%FSLA4*\n")).extent.unitScale, 0.00567f);
}

TEST(Rs274xReader, ScaleIsNotResetWithoutAFormatStatement)
{
    Read r(rs("%ADD10C,0.5*%\nX100000Y100000D03*\n"), 0.0567f);
    EXPECT_EQ(r.extent.unitScale, 0.0567f);
    EXPECT_EQ(r.extent.maxX, 5670);
    Read zero(rs("X100000Y100000D03*\n"));
    EXPECT_EQ(zero.extent.unitScale, 0.0f);
    EXPECT_EQ(zero.extent.maxX, 0);
}

TEST(Rs274xReader, RejectedFormatsAndArcsEndTheRead)
{
    for (const char* fs : {"%FSNAX24Y24*%", "%FSTAX24Y24*%"}) {
        Read r(rs((QByteArray("%ADD10C,0.8*%\nX50000Y50000D03*\n") + fs + "\n%ADD11C,1.0*%\n").constData()),
            0.0567f);
        EXPECT_EQ(r.result.ending, ReadEnding::Rejected);
        EXPECT_EQ(r.result.stoppedAtLine, 3);
        EXPECT_EQ(r.messages.texts,
            QStringList(
                {QStringLiteral("適用フォーマットではありません。274xリーディングで出力して下さい。")}));
        EXPECT_EQ(r.rows(), QStringList({QStringLiteral("D10=0.8*%")}));
        EXPECT_EQ(r.extent.maxX, 2835); // converted on the way out
    }
    Read arc(rs("%FSLAX23Y23*%\n%SRX2Y2I10.0J10.0*%\n"));
    EXPECT_EQ(arc.result.ending, ReadEnding::Rejected);
    EXPECT_EQ(arc.messages.texts,
        QStringList({QStringLiteral("ステップ＆リピート及び、円弧（ＩＪ）は使用できません。")}));
}

TEST(Rs274xReader, FaultsInALineOnlySkipThatStep)
{
    Read r(rs("%FSLAX23Y23*%\nX5000Y1000D03*\nXabcY2000D03*\nX3000Y*\nG54D10*\nD11*\nX6000Y\n"));
    EXPECT_EQ(r.result.ending, ReadEnding::Complete);
    EXPECT_EQ(r.extent.maxX, 340); // X6000 was taken although its Y could not be
    EXPECT_EQ(r.extent.maxY, 113);
    EXPECT_TRUE(r.rows().isEmpty()); // tool selections play no part
}

TEST(Rs274xReader, MoreThanSixtyThreeKindsAreDroppedAndTheFirstIsNamed)
{
    QByteArray data = "%FSLAX23Y23*%\n";
    for (int i = 0; i < 70; ++i)
        data += "%ADD" + QByteArray::number(10 + i) + "C,0.5*%\n";
    data += "X1000Y1000D03*\n";
    const QString path = rs(data.constData());
    Read r(path);
    EXPECT_EQ(r.result.ending, ReadEnding::Complete); // reading goes on
    EXPECT_EQ(r.messages.texts,
        QStringList({QStringLiteral("穴種が63を超えたため、") + path
            + QStringLiteral("のD73から後は表に入りません。")}));
    EXPECT_EQ(r.rows().size(), 63);
    EXPECT_EQ(r.table.row(62).dcode, QStringLiteral("D72"));
    EXPECT_EQ(r.extent.maxX, 57);
}

TEST(Rs274xReader, NegativeCoordinatesAndUnreadableFile)
{
    Read neg(rs("%FSLAX23Y23*%\nX-1000Y-1000D03*\n"));
    EXPECT_EQ(neg.messages.texts,
        QStringList({QStringLiteral("ガーバデータ内に－(マイナス）が在ります。このデータは使用できません")}));
    Read gone(QStringLiteral("/nonexistent/x.gbr"));
    EXPECT_EQ(gone.result.ending, ReadEnding::Unreadable);
    EXPECT_EQ(gone.messages.texts,
        QStringList({QStringLiteral("/nonexistent/x.gbrを開けませんでした。") + test::reason(ENOENT)}));
}
