// Each dialect from a small file written after its description.

#include "board/readers.h"
#include "excellon/excellonreader.h"
#include "testutil.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
struct Read {
    DrillData drill;
    QStringList messages;
};

Read read(const QByteArray& text, const QString& name = QStringLiteral("board.drl"))
{
    QByteArray bytes = text;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    Read r;
    r.drill = readExcellon(buffer, name, [&r](const QString& m) { r.messages << m; });
    return r;
}

void expectHole(const DrillHit& h, int tool, double x, double y)
{
    EXPECT_EQ(h.tool, tool);
    EXPECT_NEAR(h.x(), x, 1e-9);
    EXPECT_NEAR(h.y(), y, 1e-9);
}
} // namespace

TEST(Excellon, DiameterTexts)
{
    EXPECT_EQ(diameterText(0.8), QStringLiteral("0.80"));
    EXPECT_EQ(diameterText(0.015 * 25.4), QStringLiteral("0.381"));
    EXPECT_EQ(diameterText(0.0315 * 25.4), QStringLiteral("0.80"));
    EXPECT_EQ(diameterText(1.0), QStringLiteral("1.00"));
    EXPECT_EQ(diameterText(12.7), QStringLiteral("12.70"));
    EXPECT_EQ(diameterText(0.3048), QStringLiteral("0.305"));
}

TEST(Excellon, KiCadDecimalMetricWithAttributes)
{
    const Read r = read("M48\n"
                        "; DRILL file {KiCad 7.0.0} date 2026-01-01\n"
                        "; FORMAT={-:-/ absolute / metric / decimal}\n"
                        "; #@! TF.FileFunction,MixedPlating,1,2\n"
                        "FMAT,2\n"
                        "METRIC\n"
                        "; #@! TA.AperFunction,Plated,PTH,ViaDrill\n"
                        "T1C0.300\n"
                        "; #@! TA.AperFunction,NonPlated,NPTH,ComponentDrill\n"
                        "T2C3.200\n"
                        "%\n"
                        "G90\n"
                        "G05\n"
                        "T1\n"
                        "X123.19Y-85.09\n"
                        "X130.0Y-85.09\n"
                        "T2\n"
                        "X100Y-50\n"
                        "T0\n"
                        "M30\n");
    EXPECT_EQ(r.drill.ending, DrillData::Ending::Complete);
    EXPECT_TRUE(r.messages.isEmpty()) << r.messages.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(r.drill.tools.size(), 2u);
    EXPECT_EQ(r.drill.tools[0].code, QStringLiteral("T1"));
    EXPECT_DOUBLE_EQ(*r.drill.tools[0].diameter, 0.3);
    EXPECT_EQ(r.drill.tools[0].kind, QStringLiteral("TH"));
    EXPECT_EQ(r.drill.tools[1].kind, QStringLiteral("NTH"));
    EXPECT_EQ(r.drill.tools[0].function, QStringLiteral("ViaDrill"));
    EXPECT_EQ(r.drill.tools[1].function, QStringLiteral("ComponentDrill"));
    ASSERT_EQ(r.drill.holes.size(), 3u);
    expectHole(r.drill.holes[0], 0, 123.19, -85.09);
    expectHole(r.drill.holes[1], 0, 130.0, -85.09);
    expectHole(r.drill.holes[2], 1, 100.0, -50.0);
    EXPECT_EQ(r.drill.skippedLines, 0);
}

TEST(Excellon, ImpliedDecimalsFromTemplateCommentOrDefaults)
{
    // KiCad "keep zeros" metric: no LZ/TZ, no template; only the comment says 3:3. Read as inch
    // 2.4 it would come out ten times too small.
    Read r = read("M48\n;FORMAT={3:3/ absolute / metric / keep zeros}\nMETRIC\nT1C0.800\n%\nT1\n"
                  "X025400Y-012700\nM30\n");
    ASSERT_EQ(r.drill.holes.size(), 1u);
    expectHole(r.drill.holes[0], 0, 25.4, -12.7);

    // INCH,LZ: leading zeros kept, read from the left; INCH,TZ: from the right. Default 2.4.
    r = read("M48\nINCH,LZ\nT1C0.0315\n%\nT1\nX0125Y01\nM30\n");
    ASSERT_EQ(r.drill.holes.size(), 1u);
    expectHole(r.drill.holes[0], 0, 1.25 * 25.4, 1.0 * 25.4);
    EXPECT_EQ(diameterText(*r.drill.tools[0].diameter), QStringLiteral("0.80"));
    r = read("M48\nINCH,TZ\nT1C0.015\n%\nT1\nX12500Y-2500\nM30\n");
    expectHole(r.drill.holes[0], 0, 1.25 * 25.4, -0.25 * 25.4);

    // A digit template wins: 000.000 and 0000.00.
    r = read(
        "M48\n;FORMAT={2:4/ absolute / metric / suppress leading zeros}\nMETRIC,TZ,000.000\nT1C1.0\n%\nT1\n"
        "X1000Y-2000\nM30\n");
    expectHole(r.drill.holes[0], 0, 1.0, -2.0);
    r = read("M48\nMETRIC,0000.00\nT1C1.0\n%\nT1\nX12345Y5\nM30\n");
    expectHole(r.drill.holes[0], 0, 123.45, 0.05);

    // Altium: FILE_FORMAT=2:5, LZ, a line with only X or only Y keeps the other; TYPE=NON_PLATED.
    r = read("M48\n;FILE_FORMAT=2:5\nINCH,LZ\n;TYPE=NON_PLATED\nT1F00S00C0.12500\n%"
             "\nT01\nX015Y02\nY03\nX04\nM30\n");
    ASSERT_EQ(r.drill.holes.size(), 3u);
    expectHole(r.drill.holes[0], 0, 1.5 * 25.4, 2.0 * 25.4);
    expectHole(r.drill.holes[1], 0, 1.5 * 25.4, 3.0 * 25.4);
    expectHole(r.drill.holes[2], 0, 4.0 * 25.4, 3.0 * 25.4);
    EXPECT_EQ(r.drill.tools[0].kind, QStringLiteral("NTH"));
    EXPECT_EQ(r.drill.tools.size(), 1u); // T1 and T01 are one tool
    // ";TYPE=" names the tools after it: Altium lists the plated ones first.
    r = read(
        "M48\n;FILE_FORMAT=2:4\nINCH,LZ\n;TYPE=PLATED\nT1F00S00C0.0280\nT2F00S00C0.0354\n;TYPE=NON_PLATED\n"
        "T3F00S00C0.0433\n%\nT01\nX03185Y028071\nM30\n");
    ASSERT_EQ(r.drill.tools.size(), 3u);
    EXPECT_EQ(
        r.drill.tools[0].kind + r.drill.tools[1].kind + r.drill.tools[2].kind, QStringLiteral("THTHNTH"));

    // Siemens: "; Format : 2.4 / Absolute / Inch" names the unit as well; signed values.
    r = read("; Format : 2.4 / Absolute / Inch\nM48\nT1C0.02\n%\nT1\nX+12500Y-2500\nM30\n");
    expectHole(r.drill.holes[0], 0, 1.25 * 25.4, -0.25 * 25.4);

    // No unit anywhere: inch, 2.4. M71 in the body switches to millimetres (3.3).
    r = read("T1C.015F095S3\nX12500Y2500\nM71\nX12500Y2500\nM30\n");
    ASSERT_EQ(r.drill.holes.size(), 2u);
    expectHole(r.drill.holes[0], 0, 1.25 * 25.4, 0.25 * 25.4);
    expectHole(r.drill.holes[1], 0, 12.5, 2.5);
    EXPECT_EQ(diameterText(*r.drill.tools[0].diameter), QStringLiteral("0.381")); // defined in inch
}

TEST(Excellon, IncrementalOffsetsRepeatsAndSlots)
{
    const Read r = read("M48\nMETRIC\nT1C1.0\nT2C0.5\n%\n"
                        "T1\nG91\nX1.0Y1.0\nX1.0Y0\nG90\n"
                        "G93X10.0Y10.0\nX1.0Y1.0\nG93X0Y0\n"
                        "X1.0Y1.0\nR3X0.5Y0\n"
                        "T2\nX1.0Y1.0G85X3.0Y1.0\n"
                        "G00X5.0Y5.0\nM15\nG01X10.0Y5.0\nX10.0Y8.0\nM16\nG05\nX20Y20\nM30\n"
                        "X99Y99\n");
    EXPECT_EQ(r.drill.skippedLines, 0);
    ASSERT_EQ(r.drill.holes.size(), 8u);
    expectHole(r.drill.holes[0], 0, 1.0, 1.0);
    expectHole(r.drill.holes[1], 0, 2.0, 1.0);
    expectHole(r.drill.holes[2], 0, 11.0, 11.0);
    expectHole(r.drill.holes[3], 0, 1.0, 1.0);
    expectHole(r.drill.holes[4], 0, 1.5, 1.0);
    expectHole(r.drill.holes[6], 0, 2.5, 1.0);
    expectHole(r.drill.holes[7], 1, 20.0, 20.0); // after M30 nothing more

    // A repeat count in the millions is damage, not a repeat: the read ends at its line.
    const Read damaged = read("M48\nMETRIC\nT1C1.0\n%\nT1\nX1.0Y1.0\nR129012904X1.0\nR3X1.0\nM30\n");
    EXPECT_EQ(damaged.drill.holes.size(), 1u);
    EXPECT_EQ(damaged.drill.ending, DrillData::Ending::LimitReached);
    EXPECT_EQ(damaged.drill.stoppedAtLine, 7);
    EXPECT_EQ(damaged.messages,
        QStringList {QStringLiteral(
            "繰り返しで作る穴の数が上限の10,000個を超えるため、7行目で読み込みを中止しました。")});
    // Many repeats of 10,000 add up to the limit of all objects.
    QByteArray repeats = "M48\nMETRIC\nT1C1.0\n%\nT1\nX0Y0\n";
    for (int i = 0; i < 501; ++i)
        repeats += "R10000X0.0001\n";
    const Read many = read(repeats);
    EXPECT_EQ(many.messages,
        QStringList {QStringLiteral(
            "繰り返しで作る穴の数が上限の5,000,000個を超えるため、507行目で読み込みを中止しました。")});
    EXPECT_EQ(many.drill.holes.size(), 5'000'001u);
    ASSERT_EQ(r.drill.slotHoles.size(), 3u);
    const DrillSlot& g85 = r.drill.slotHoles[0];
    EXPECT_EQ(g85.tool, 1);
    EXPECT_DOUBLE_EQ(g85.x1(), 1.0);
    EXPECT_DOUBLE_EQ(g85.x2(), 3.0);
    EXPECT_DOUBLE_EQ(r.drill.slotHoles[1].x1(), 5.0);
    EXPECT_DOUBLE_EQ(r.drill.slotHoles[1].x2(), 10.0);
    EXPECT_DOUBLE_EQ(r.drill.slotHoles[2].y1(), 5.0);
    EXPECT_DOUBLE_EQ(r.drill.slotHoles[2].y2(), 8.0);
}

TEST(Excellon, AllegroToolCommentsGiveSizesKindsAndTolerances)
{
    const Read r =
        read(";T01 Holesize 1. = 8.000000 Tolerance = +3.000000/-3.000000 PLATED MILS Quantity = 1873\n"
             ";T02 Holesize 2. = 0.800000 Tolerance = +0.050000/-0.050000 NON_PLATED MM Quantity = 4\n"
             ";T03 Holesize 3. = 1.000000 Tolerance = +0.100000/-0.000000 PLATED MM Quantity = 2\n"
             "%\nT01\nX10000Y10000\nT02\nX20000Y10000\nT03\nX30000Y10000\nM30\n");
    ASSERT_EQ(r.drill.tools.size(), 3u);
    EXPECT_EQ(diameterText(*r.drill.tools[0].diameter), QStringLiteral("0.203"));
    EXPECT_EQ(r.drill.tools[0].kind, QStringLiteral("TH"));
    // As the file states it, to the micrometre: ±3 mils, in no list of the table.
    EXPECT_EQ(r.drill.tools[0].sign1 + r.drill.tools[0].tol1, QStringLiteral("±0.076"));
    EXPECT_TRUE(r.drill.tools[0].sign2.isEmpty());
    EXPECT_EQ(r.drill.tools[1].kind, QStringLiteral("NTH"));
    EXPECT_EQ(r.drill.tools[1].sign1 + r.drill.tools[1].tol1, QStringLiteral("±0.05"));
    EXPECT_EQ(r.drill.tools[2].sign1 + r.drill.tools[2].tol1 + r.drill.tools[2].sign2 + r.drill.tools[2].tol2,
        QStringLiteral("＋0.1－0"));
    EXPECT_EQ(r.drill.holes.size(), 3u);
}

TEST(Excellon, SkippedLinesTooManyToolsBinaryAndEmptyFiles)
{
    Read r = read("M48\nMETRIC\nT1C1.0\n%\nT1\nX1.0Y1.0\nHELLO WORLD?\n(a comment) X2.0Y2.0\nX1..2Y3\nHELLO\n"
                  "X3.0Y3.0\nM30\n");
    EXPECT_EQ(r.drill.holes.size(), 3u);
    EXPECT_EQ(r.drill.skippedLines, 3); // a header word in the body is no Excellon either
    EXPECT_EQ(r.drill.firstSkippedLine, 7);
    EXPECT_EQ(r.messages,
        QStringList({QStringLiteral("読み込めない行が3行あったため、読み飛ばしました（最初は7行目）。")}));

    QByteArray many = "M48\nMETRIC\n";
    for (int t = 1; t <= 64; ++t)
        many += "T" + QByteArray::number(t) + "C1.0\n";
    r = read(many);
    EXPECT_EQ(r.drill.ending, DrillData::Ending::TooManyTools);
    EXPECT_EQ(r.drill.tools.size(), 63u);
    EXPECT_EQ(r.messages.first(), QStringLiteral("穴種が63を超えたため、66行目で読み込みを中止しました。"));

    r = read(QByteArray("\x00\x01\x02\x03", 4) + QByteArray(100, '\x10'), QStringLiteral("BOARD.DRL"));
    EXPECT_EQ(r.drill.ending, DrillData::Ending::Unreadable);
    EXPECT_EQ(r.messages,
        QStringList({QStringLiteral("BOARD.DRLは穴データのファイルではないため、読み込めません。")}));

    r = read("M48\nMETRIC\nT1C1.0\n%\nM30\n", QStringLiteral("empty.drl"));
    EXPECT_EQ(r.messages, QStringList({QStringLiteral("empty.drlには穴がありません。")}));

    // A last line without a line feed still counts.
    r = read("M48\nMETRIC\nT1C1.0\n%\nT1\nX1.0Y1.0");
    EXPECT_EQ(r.drill.holes.size(), 1u);
}

TEST(Excellon, PlatingFromTheFileNameWhenTheFileSaysNothing)
{
    const QByteArray text = "M48\nMETRIC\nT1C1.0\n%\nT1\nX1.0Y1.0\nM30\n";
    EXPECT_EQ(read(text, QStringLiteral("/x/board-NPTH.drl")).drill.tools[0].kind, QStringLiteral("NTH"));
    EXPECT_EQ(read(text, QStringLiteral("/x/board-PTH.drl")).drill.tools[0].kind, QStringLiteral("TH"));
    EXPECT_EQ(
        read(text, QStringLiteral("/x/board.unplated-drill.cnc")).drill.tools[0].kind, QStringLiteral("NTH"));
    EXPECT_EQ(
        read(text, QStringLiteral("/x/board.plated-drill.cnc")).drill.tools[0].kind, QStringLiteral("TH"));
    EXPECT_EQ(read(text, QStringLiteral("/x/board.drl")).drill.tools[0].kind, QString());
    // The file's own attribute wins over its name.
    EXPECT_EQ(read("M48\n; #@! TF.FileFunction,Plated,1,2,PTH\nMETRIC\nT1C1.0\n%\nT1\nX1.0Y1.0\nM30\n",
                  QStringLiteral("/x/board-NPTH.drl"))
                  .drill.tools[0]
                  .kind,
        QStringLiteral("TH"));
}

TEST(Excellon, DetectionByTheFirstLines)
{
    test::Scratch dir;
    EXPECT_TRUE(looksLikeExcellon(dir.write(QStringLiteral("a.drl"), "; made by hand\nM48\nMETRIC\n")));
    EXPECT_TRUE(looksLikeExcellon(dir.write(QStringLiteral("b.drl"), "T1C.015F095S3\nX12500Y2500\n")));
    EXPECT_FALSE(looksLikeExcellon(dir.write(QStringLiteral("c.gbr"), "%FSLAX24Y24*%\n%MOMM*%\n")));
    EXPECT_FALSE(looksLikeExcellon(dir.write(QStringLiteral("d.gbr"), "G54D10*\nX1000Y1000D03*\n")));
}

TEST(Excellon, HeaderEndsProgramEndsAndLowerCase)
{
    // M95 ends the header as % does; M00 ends the program as M30 does (in FMAT,2, the usual
    // format: in FMAT,1 M00 is a stop for inspection); FMAT and other header parameters are read
    // without a skip; lower-case letters and "( ... )" comments are read.
    Read r = read("M48\nVER,1\nFMAT,2\nICI,OFF\nmetric,tz\nT1C0.5 (via)\nM95\nt1\nx1.0y1.0\nX2.0Y2.0 "
                  "(last)\nM00\nX3.0Y3.0\n");
    EXPECT_EQ(r.drill.skippedLines, 0);
    ASSERT_EQ(r.drill.holes.size(), 2u);
    expectHole(r.drill.holes[0], 0, 1.0, 1.0);
    EXPECT_DOUBLE_EQ(*r.drill.tools[0].diameter, 0.5);
}

TEST(Excellon, ASizedT0IsAToolAnUndefinedT0Unloads)
{
    // Some files define and use T0: a tool like any other.
    Read r = read("M48\nINCH,TZ\nT0C0.006\nT1C0.020\n%\nT0\nX10000Y10000\nX20000Y10000\nT1\nX30000Y10000\n"
                  "T0\nX40000Y10000\nM30\n");
    ASSERT_EQ(r.drill.tools.size(), 2u);
    EXPECT_EQ(r.drill.tools[0].code, QStringLiteral("T0"));
    EXPECT_EQ(diameterText(*r.drill.tools[0].diameter), QStringLiteral("0.152"));
    ASSERT_EQ(r.drill.holes.size(), 4u);
    expectHole(r.drill.holes[3], 0, 4.0 * 25.4, 25.4);
    // Without a size T0 unloads: what follows is drilled by no tool.
    r = read("M48\nINCH,TZ\nT1C0.020\n%\nT1\nX10000Y10000\nT0\nX20000Y10000\nM30\n");
    EXPECT_EQ(r.drill.tools.size(), 1u);
    EXPECT_EQ(r.drill.holes.size(), 1u);
}

namespace {
// Allegro's "non-enhanced" Excellon: a comment header and no M48; the format is in nc_param.txt.
const QByteArray kAllegroHeaderless =
    ";LEADER: 12\n;HEADER:\n;CODE  : ASCII\n;FILE  : board.drl for ... layers TOP "
    "and BOTTOM\n;T01 Holesize 1. = 32.000000 Tolerance = +2.000000/-2.000000 "
    "PLATED MILS Quantity = 2\n;T02 Holesize 2. = 1.000000 Tolerance = "
    "+0.050000/-0.050000 NON_PLATED MM Quantity = 1\n%\nG90\nT01\nX00100000Y00200000\n"
    "X00150000Y00200000\nT02\nX00300000Y00050000\nM30\n";
} // namespace

TEST(Excellon, AllegroWithoutAHeaderTakesItsFormatFromNcParam)
{
    test::Scratch dir;
    const QString drill = dir.write(QStringLiteral("board.drl"), kAllegroHeaderless);
    EXPECT_TRUE(looksLikeExcellon(drill));
    EXPECT_EQ(detectReader(drill), ReaderKind::Excellon);

    // Without nc_param.txt the usual defaults (inch 2.4) read it ten times too large, and say so.
    DrillData d = readExcellon(drill, {});
    ASSERT_TRUE(d.format);
    EXPECT_EQ(d.format->source, CoordinateFormat::Source::Assumed);
    EXPECT_NEAR(d.holes[0].x(), 10.0 * 25.4, 1e-9);

    // Inch 3.5, every digit written.
    dir.write(QStringLiteral("nc_param.txt"),
        "FORMAT ASCII\nCOORDINATES ABSOLUTE\nOUTPUT-UNITS ENGLISH\nINTEGER-PLACES 3\nDECIMAL-PLACES 5\n"
        "SUPPRESS-LEAD-ZEROES NO\nSUPPRESS-TRAIL-ZEROES NO\n");
    d = readExcellon(drill, {});
    ASSERT_EQ(d.holes.size(), 3u);
    expectHole(d.holes[0], 0, 1.0 * 25.4, 2.0 * 25.4);
    expectHole(d.holes[2], 1, 3.0 * 25.4, 0.5 * 25.4);
    ASSERT_TRUE(d.format);
    EXPECT_EQ(d.format->source, CoordinateFormat::Source::NcParam);
    EXPECT_EQ(d.format->text(), QStringLiteral("INCH 3.5（ゼロ省略なし）"));
    // The tools from the Holesize comments, in the unit each names.
    EXPECT_EQ(diameterText(*d.tools[0].diameter), QStringLiteral("0.813"));
    EXPECT_EQ(d.tools[0].kind, QStringLiteral("TH"));
    EXPECT_EQ(diameterText(*d.tools[1].diameter), QStringLiteral("1.00"));
    EXPECT_EQ(d.tools[1].sign1 + d.tools[1].tol1, QStringLiteral("±0.05"));

    // Metric 3.3 with the leading zeros left out: read from the right.
    dir.write(QStringLiteral("nc_param.txt"),
        "OUTPUT-UNITS METRIC\nINTEGER-PLACES 3\nDECIMAL-PLACES 3\nSUPPRESS-LEAD-ZEROES YES\n");
    const QString metric = dir.write(QStringLiteral("metric.drl"),
        ";LEADER: 12\n;T01 Holesize 1. = 0.800000 Tolerance = +0.000000/-0.000000 PLATED MM Quantity = 1\n%\n"
        "T01\nX12345Y-500\nM30\n");
    d = readExcellon(metric, {});
    ASSERT_EQ(d.holes.size(), 1u);
    expectHole(d.holes[0], 0, 12.345, -0.5);
    EXPECT_EQ(d.format->text(), QStringLiteral("METRIC 3.3（末尾ゼロ）"));

    // nc_param.txt is Allegro's: another tool's file beside it keeps its own rules.
    const QString other =
        dir.write(QStringLiteral("other.drl"), "M48\nINCH\nT1C0.02\n%\nT1\nX10000Y20000\nM30\n");
    d = readExcellon(other, {});
    expectHole(d.holes[0], 0, 1.0 * 25.4, 2.0 * 25.4);
    EXPECT_EQ(d.format->source, CoordinateFormat::Source::Assumed);
}

TEST(Nanometres, TheBoardsUnitOfGeometry)
{
    // Whole nanometres in 32 bits: an inch file's 0.0001 inch is 2,540 nm exactly.
    EXPECT_EQ(nanometres(0.0001 * 25.4), 2540);
    EXPECT_EQ(nanometres(0.6 * 25.4), 15'240'000); // 15.239999999999998 as a double: 15.24 mm
    EXPECT_EQ(toMillimetres(15'240'000), 15.24);
    EXPECT_EQ(toMillimetres(1'231'900), 1.2319);
    EXPECT_EQ(nanometres(-1.5), -1'500'000);
    // ±2.147 m and no further; no number is no coordinate.
    EXPECT_EQ(nanometres(2147.483647), 2'147'483'647);
    EXPECT_EQ(nanometres(-2147.483648), -2'147'483'647 - 1);
    EXPECT_FALSE(nanometres(2147.4837));
    EXPECT_FALSE(nanometres(std::nan("")));
    EXPECT_FALSE(nanometres(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(nanometres(-1e300));
    EXPECT_EQ(sizeof(DrillHit), 16u);
    // Halves to even, as nearbyint rounds: 0.5 nm and 2.5 nm down, 1.5 nm up.
    EXPECT_EQ(nanometres(0.5 / 1e6), 0);
    EXPECT_EQ(nanometres(1.5 / 1e6), 2);
    EXPECT_EQ(nanometres(-2.5 / 1e6), -2);
    // The same as the rule (nearbyint of the product, within 32 bits) for values all over.
    uint64_t seed = 99;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        const double mm = (double(int64_t(seed >> 11)) / double(1ULL << 53) - 0.5) * 4400.0
            / double(1 << ((seed >> 3) % 20));
        const double v = std::nearbyint(mm * 1e6);
        const std::optional<Nanometres> rule =
            v >= -2147483648.0 && v <= 2147483647.0 ? std::optional<Nanometres>(Nanometres(v)) : std::nullopt;
        ASSERT_EQ(nanometres(mm), rule) << mm;
    }
}
