// Gerber drill and outline files written after the format's description: units, formats,
// attributes (as X2 and as "G04 #@!" comments), arcs in both quadrant modes, regions, step and
// repeat, aperture blocks.

#include "board/readers.h"
#include "excellon/excellonreader.h"
#include "gerber/aperturemacro.h"
#include "gerber/x2reader.h"
#include "testutil.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <cmath>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
struct Read {
    DrillData drill;
    QStringList messages;
};

Read read(const QByteArray& text, const QString& name = QStringLiteral("board.gbr"),
    GerberRole role = GerberRole::AsTheFileSays)
{
    QByteArray bytes = text;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    Read r;
    r.drill = readGerberX2(
        buffer, name, [&r](const QString& m) { r.messages << m; }, role);
    return r;
}

void expectHole(const DrillHit& h, int tool, double x, double y)
{
    EXPECT_EQ(h.tool, tool);
    EXPECT_NEAR(h.x(), x, 1e-9);
    EXPECT_NEAR(h.y(), y, 1e-9);
}

const QByteArray kMetricHeader = "%FSLAX46Y46*%\n%MOMM*%\n";

// The outline of an arc as read: every piece's ends, first to last.
std::vector<std::pair<double, double>> points(const std::vector<OutlineSegment>& s)
{
    std::vector<std::pair<double, double>> p;
    if (!s.empty())
        p.emplace_back(s.front().x1(), s.front().y1());
    for (const OutlineSegment& seg : s)
        p.emplace_back(seg.x2(), seg.y2());
    return p;
}
} // namespace

TEST(GerberX2, KiCadPlatedDrillFile)
{
    const Read r = read("%TF.GenerationSoftware,KiCad,Pcbnew,8.0.0*%\n"
                        "%TF.FileFunction,Plated,1,2,PTH,Drill*%\n"
                        "%TF.FilePolarity,Positive*%\n"
                        "%FSLAX46Y46*%\n"
                        "G04 Gerber Fmt 4.6, Leading zero omitted, Abs format (unit mm)*\n"
                        "%MOMM*%\n"
                        "%LPD*%\n"
                        "G01*\n"
                        "G04 APERTURE LIST*\n"
                        "%TA.AperFunction,ViaDrill*%\n"
                        "%ADD10C,0.400000*%\n"
                        "%TD*%\n"
                        "%TA.AperFunction,ComponentDrill*%\n"
                        "%ADD11C,1.000000*%\n"
                        "%TD*%\n"
                        "G04 APERTURE END LIST*\n"
                        "D10*\n"
                        "X151130000Y-86360000D03*\n"
                        "X-2500Y1000000D03*\n"
                        "D11*\n"
                        "X140000000Y-90000000D03*\n"
                        "X140000000Y-95000000D02*\n"
                        "G01*\n"
                        "X143000000Y-95000000D01*\n"
                        "M02*\n",
        QStringLiteral("board-PTH-drl.gbr"));
    EXPECT_TRUE(r.messages.isEmpty()) << r.messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(r.drill.role, DrillData::Role::Drill);
    ASSERT_EQ(r.drill.tools.size(), 2u);
    EXPECT_EQ(r.drill.tools[0].code, QStringLiteral("D10"));
    EXPECT_EQ(*r.drill.tools[0].diameter, 0.4);
    EXPECT_EQ(r.drill.tools[0].kind, QStringLiteral("TH"));
    EXPECT_EQ(r.drill.tools[0].function, QStringLiteral("ViaDrill"));
    EXPECT_EQ(r.drill.tools[1].code, QStringLiteral("D11"));
    EXPECT_EQ(r.drill.tools[1].function, QStringLiteral("ComponentDrill"));
    ASSERT_EQ(r.drill.holes.size(), 3u);
    expectHole(r.drill.holes[0], 0, 151.13, -86.36);
    expectHole(r.drill.holes[1], 0, -0.0025, 1.0);
    expectHole(r.drill.holes[2], 1, 140, -90);
    ASSERT_EQ(r.drill.slotHoles.size(), 1u);
    const DrillSlot& s = r.drill.slotHoles[0];
    EXPECT_EQ(s.tool, 1);
    EXPECT_NEAR(s.x1(), 140, 1e-9);
    EXPECT_NEAR(s.y1(), -95, 1e-9);
    EXPECT_NEAR(s.x2(), 143, 1e-9);
    EXPECT_FALSE(s.joined);
    EXPECT_EQ(r.drill.slotCount(), 1);
}

TEST(GerberX2, AttributesAsCommentsAndTheFileName)
{
    // Older KiCad writes the attributes as comments; a file that says nothing is named.
    const QByteArray body = "%ADD10C,3.2*%\nD10*\nX1000000Y2000000D03*\nM02*\n";
    const Read commented = read("G04 #@! TF.FileFunction,NonPlated,1,2,NPTH*\n" + kMetricHeader + body);
    ASSERT_EQ(commented.drill.tools.size(), 1u);
    EXPECT_EQ(commented.drill.tools[0].kind, QStringLiteral("NTH"));
    EXPECT_EQ(*commented.drill.tools[0].diameter, 3.2);

    const Read named = read(kMetricHeader + body, QStringLiteral("board-NPTH.gbr"));
    EXPECT_EQ(named.drill.tools[0].kind, QStringLiteral("NTH"));
    const Read plain = read(kMetricHeader + body, QStringLiteral("drill.gbr"));
    EXPECT_EQ(plain.drill.tools[0].kind, QString());

    // A mixed file's apertures name their own plating, ahead of the file's.
    const Read mixed = read("%TF.FileFunction,MixedPlating,1,2*%\n" + kMetricHeader
        + "%TA.AperFunction,Plated,PTH,ViaDrill*%\n%ADD10C,0.3*%\n"
          "%TA.AperFunction,NonPlated,NPTH,ComponentDrill*%\n%ADD11C,3.0*%\n%TD*%\n"
          "D10*\nX0Y0D03*\nD11*\nX1000000Y0D03*\nM02*\n");
    ASSERT_EQ(mixed.drill.tools.size(), 2u);
    EXPECT_EQ(mixed.drill.tools[0].kind, QStringLiteral("TH"));
    EXPECT_EQ(mixed.drill.tools[0].function, QStringLiteral("ViaDrill"));
    EXPECT_EQ(mixed.drill.tools[1].kind, QStringLiteral("NTH"));
}

TEST(GerberX2, DrillTolerancesAreKeptAsTheFileStatesThem)
{
    const Read r = read(kMetricHeader
        + "%TA.DrillTolerance,0.05,0.05*%\n%ADD10C,0.8*%\n"
          "%TA.DrillTolerance,0.1,0.02*%\n%ADD11C,1.0*%\n"
          "%TA.DrillTolerance,0.15,0.03*%\n%ADD12C,1.2*%\n%TD*%\n%ADD13C,1.4*%\n"
          "D10*\nX0Y0D03*\nD11*\nX0Y0D03*\nD12*\nX0Y0D03*\nD13*\nX0Y0D03*\nM02*\n");
    ASSERT_EQ(r.drill.tools.size(), 4u);
    EXPECT_EQ(r.drill.tools[0].sign1, QStringLiteral("±"));
    EXPECT_EQ(r.drill.tools[0].tol1, QStringLiteral("0.05"));
    EXPECT_EQ(r.drill.tools[0].sign2, QString());
    EXPECT_EQ(r.drill.tools[1].sign1, QStringLiteral("＋"));
    EXPECT_EQ(r.drill.tools[1].tol1, QStringLiteral("0.1"));
    EXPECT_EQ(r.drill.tools[1].sign2, QStringLiteral("－"));
    EXPECT_EQ(r.drill.tools[1].tol2, QStringLiteral("0.02"));
    // 0.15 is in no list of the table: kept all the same.
    EXPECT_EQ(r.drill.tools[2].sign1 + r.drill.tools[2].tol1, QStringLiteral("＋0.15"));
    EXPECT_EQ(r.drill.tools[2].sign2 + r.drill.tools[2].tol2, QStringLiteral("－0.03"));
    // %TD% ended the attribute.
    EXPECT_EQ(r.drill.tools[3].sign1, QString());
    EXPECT_EQ(r.drill.tools[3].sign2, QString());

    // In an inch file the tolerance is in inches: 0.002 in is 0.051 mm.
    const Read inch = read("%FSLAX25Y25*%\n%MOIN*%\n%TA.DrillTolerance,0.002,0.002*%\n%ADD10C,0.0315*%\n"
                           "D10*\nX0Y0D03*\nM02*\n");
    EXPECT_EQ(inch.drill.tools[0].sign1, QStringLiteral("±"));
    EXPECT_EQ(inch.drill.tools[0].tol1, QStringLiteral("0.051"));
    EXPECT_EQ(inch.drill.tools[0].diameter.value(), 0.0315 * 25.4);
}

TEST(GerberX2, FormatsAndUnits)
{
    // 2.5 inch, leading zeros omitted.
    const Read inch =
        read("%FSLAX25Y25*%\n%MOIN*%\n%ADD10C,0.0315*%\nD10*\nX100000Y-50000D03*\nX5Y0D03*\nM02*\n");
    ASSERT_EQ(inch.drill.holes.size(), 2u);
    expectHole(inch.drill.holes[0], 0, 25.4, -12.7);
    expectHole(inch.drill.holes[1], 0, 0.00005 * 25.4, 0);
    // Trailing zeros omitted: "1" in 2.4 is 10.0000, "-025" is -02.5000.
    const Read trailing = read("%FSTAX24Y24*%\n%MOIN*%\n%ADD10C,0.01*%\nD10*\nX1Y-025D03*\nM02*\n");
    ASSERT_EQ(trailing.drill.holes.size(), 1u);
    expectHole(trailing.drill.holes[0], 0, 254.0, -2.5 * 25.4);
    // Incremental coordinates, and a coordinate left out keeps its value.
    const Read inc =
        read("%FSLIX33Y33*%\n%MOMM*%\n%ADD10C,1*%\nD10*\nX1000Y2000D03*\nX1000D03*\nY-500D03*\nM02*\n");
    ASSERT_EQ(inc.drill.holes.size(), 3u);
    expectHole(inc.drill.holes[0], 0, 1, 2);
    expectHole(inc.drill.holes[1], 0, 2, 2);
    expectHole(inc.drill.holes[2], 0, 2, 1.5);
    // Tool selection with G54, one-digit formats, and older files' modal flash.
    const Read old =
        read("%FSLAX15Y15*%\n%MOMM*%\n%ADD10C,1*%\nG54D10*\nX100000Y200000D03*\nX300000Y200000*\nM02*\n");
    ASSERT_EQ(old.drill.holes.size(), 2u);
    expectHole(old.drill.holes[1], 0, 3, 2);
    // Parameters written in one block, and a block over several lines.
    const Read blocks = read("%FSLAX46Y46*MOMM*%\n%ADD10C,\n0.5*%\nD10*\nX1000000Y0D03*\nM02*\n");
    ASSERT_EQ(blocks.drill.holes.size(), 1u);
    EXPECT_EQ(*blocks.drill.tools[0].diameter, 0.5);
    expectHole(blocks.drill.holes[0], 0, 1, 0);
}

TEST(GerberX2, ArcsInEveryQuadrantInBothModes)
{
    // A quarter arc of radius 10 around (50, 50) in each quadrant, both directions, written for
    // G75 with signed offsets and for G74 with unsigned ones.
    struct Quarter {
        double fromAngle; // degrees
    };
    for (const bool multi : {true, false}) {
        for (const int start : {0, 90, 180, 270}) {
            for (const bool clockwise : {false, true}) {
                const double a0 = start * M_PI / 180;
                const double a1 = a0 + (clockwise ? -M_PI / 2 : M_PI / 2);
                const auto um = [](double mm) { return QByteArray::number(qRound64(mm * 1000)); };
                const double fx = 50 + 10 * std::cos(a0), fy = 50 + 10 * std::sin(a0);
                const double tx = 50 + 10 * std::cos(a1), ty = 50 + 10 * std::sin(a1);
                double i = 50 - fx, j = 50 - fy;
                if (!multi) {
                    i = std::fabs(i);
                    j = std::fabs(j);
                }
                const QByteArray file =
                    "%TF.FileFunction,Profile,NP*%\n%FSLAX33Y33*%\n%MOMM*%\n%ADD10C,0.1*%\nD10*\n"
                    + QByteArray(multi ? "G75*\n" : "G74*\n") + "X" + um(fx) + "Y" + um(fy) + "D02*\n"
                    + (clockwise ? "G02" : "G03") + "X" + um(tx) + "Y" + um(ty) + "I" + um(i) + "J" + um(j)
                    + "D01*\nM02*\n";
                const Read r = read(file);
                SCOPED_TRACE(file.toStdString());
                EXPECT_EQ(r.drill.role, DrillData::Role::Outline);
                const auto p = points(r.drill.outline);
                ASSERT_GE(p.size(), 3u);
                EXPECT_NEAR(p.front().first, fx, 1e-9);
                EXPECT_NEAR(p.back().first, tx, 1e-9);
                EXPECT_NEAR(p.back().second, ty, 1e-9);
                // On the circle, inside the quadrant between the ends.
                const double mid = (a0 + a1) / 2;
                const auto& m = p[p.size() / 2];
                EXPECT_NEAR(std::hypot(m.first - 50, m.second - 50), 10, 0.001);
                EXPECT_NEAR(m.first, 50 + 10 * std::cos(mid), 1.0);
                EXPECT_NEAR(m.second, 50 + 10 * std::sin(mid), 1.0);
                for (const auto& q : p)
                    EXPECT_NEAR(std::hypot(q.first - 50, q.second - 50), 10, 0.001);
            }
        }
    }
}

TEST(GerberX2, FullCircleAndThreeQuarterArcs)
{
    const QByteArray head =
        "%TF.FileFunction,Profile,NP*%\n%FSLAX33Y33*%\n%MOMM*%\n%ADD10C,0.1*%\nD10*\nG75*\n";
    // Start and end the same in G75: a whole circle, round the centre (0, 0).
    const Read circle = read(head + "X5000Y0D02*\nG03X5000Y0I-5000J0D01*\nM02*\n");
    const auto p = points(circle.drill.outline);
    ASSERT_GT(p.size(), 36u);
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    for (const auto& q : p) {
        minX = std::min(minX, q.first);
        maxX = std::max(maxX, q.first);
        minY = std::min(minY, q.second);
        maxY = std::max(maxY, q.second);
    }
    EXPECT_NEAR(minX, -5, 0.01);
    EXPECT_NEAR(maxX, 5, 0.01);
    EXPECT_NEAR(minY, -5, 0.01);
    EXPECT_NEAR(maxY, 5, 0.01);
    // Clockwise from (0, 5) to (-5, 0) round (0, 0) goes the long way, through (5, 0) and (0, -5).
    const Read long3 = read(head + "X0Y5000D02*\nG02X-5000Y0I0J-5000D01*\nM02*\n");
    double lowest = 1e9, rightmost = -1e9;
    for (const auto& q : points(long3.drill.outline)) {
        lowest = std::min(lowest, q.second);
        rightmost = std::max(rightmost, q.first);
    }
    EXPECT_NEAR(lowest, -5, 0.01);
    EXPECT_NEAR(rightmost, 5, 0.01);
}

TEST(GerberX2, ProfileRegionsAndDrawnSlots)
{
    // A profile: every draw is the outline, flashes are no holes.
    const Read profile = read("%TF.FileFunction,Profile,NP*%\n" + kMetricHeader
        + "%ADD10C,0.1*%\nD10*\nX0Y0D02*\nG01*\nX100000000Y0D01*\nX100000000Y80000000D01*\n"
          "X0Y80000000D01*\nX0Y0D01*\nX5000000Y5000000D03*\nM02*\n");
    EXPECT_TRUE(profile.messages.isEmpty());
    EXPECT_EQ(profile.drill.role, DrillData::Role::Outline);
    EXPECT_EQ(profile.drill.outline.size(), 4u);
    EXPECT_TRUE(profile.drill.holes.empty());
    EXPECT_TRUE(profile.drill.tools.empty());
    // A file read as the outline, whatever it says.
    const QByteArray drawn = kMetricHeader + "%ADD10C,0.1*%\nD10*\nX0Y0D02*\nX1000000Y0D01*\nM02*\n";
    EXPECT_EQ(read(drawn).drill.role, DrillData::Role::Drill);
    const Read forced = read(drawn, QStringLiteral("b.gbr"), GerberRole::Outline);
    EXPECT_EQ(forced.drill.role, DrillData::Role::Outline);
    EXPECT_EQ(forced.drill.outline.size(), 1u);
    // An outline without a line says so.
    const Read empty =
        read("%TF.FileFunction,Profile,NP*%\n" + kMetricHeader + "M02*\n", QStringLiteral("e.gbr"));
    EXPECT_EQ(empty.messages, QStringList {QStringLiteral("e.gbrには外形の線がありません。")});

    // A routed slot in a drill file: one slot in three pieces; a region's edges are outline.
    const Read routes = read(kMetricHeader
        + "%ADD10C,1.0*%\nD10*\nX0Y0D02*\nG01X2000000Y0D01*\nG75G03X4000000Y2000000I0J2000000D01*\n"
          "X6000000Y2000000D02*\nX7000000Y2000000D01*\nG36*\nX0Y10000000D02*\nG01X1000000Y10000000D01*\n"
          "X1000000Y11000000D01*\nX0Y10000000D01*\nG37*\nM02*\n");
    EXPECT_EQ(routes.drill.slotCount(), 2);
    EXPECT_GT(routes.drill.slotHoles.size(), 3u);
    EXPECT_FALSE(routes.drill.slotHoles.front().joined);
    EXPECT_TRUE(routes.drill.slotHoles[1].joined);
    EXPECT_NEAR(routes.drill.slotHoles.back().x2(), 7, 1e-9);
    EXPECT_EQ(routes.drill.outline.size(), 3u);
}

TEST(GerberX2, StepAndRepeatAndApertureBlocks)
{
    const Read sr = read(
        kMetricHeader + "%ADD10C,0.5*%\nD10*\n%SRX2Y3I10J5*%\nX1000000Y1000000D03*\n%SR*%\nX0Y0D03*\nM02*\n");
    ASSERT_EQ(sr.drill.holes.size(), 7u);
    expectHole(sr.drill.holes[0], 0, 1, 1);
    expectHole(sr.drill.holes[1], 0, 11, 1);
    expectHole(sr.drill.holes[5], 0, 11, 11);
    expectHole(sr.drill.holes[6], 0, 0, 0);
    // An unclosed step and repeat ends with the file.
    EXPECT_EQ(
        read(kMetricHeader + "%ADD10C,0.5*%\nD10*\n%SRX2Y1I10J0*%\nX0Y0D03*\nM02*\n").drill.holes.size(), 2u);

    const Read ab = read(kMetricHeader
        + "%ADD10C,0.5*%\n%ADD11C,0.7*%\n%ABD20*%\nD10*\nX0Y0D03*\nD11*\nX1000000Y0D03*\n%AB*%\n"
          "D20*\nX10000000Y10000000D03*\nX20000000Y20000000D03*\nM02*\n");
    EXPECT_TRUE(ab.messages.isEmpty()) << ab.messages.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(ab.drill.holes.size(), 4u);
    ASSERT_EQ(ab.drill.tools.size(), 2u);
    expectHole(ab.drill.holes[0], 0, 10, 10);
    expectHole(ab.drill.holes[1], 1, 11, 10);
    expectHole(ab.drill.holes[3], 1, 21, 20);
    // A block never closed draws nothing, the holes after its start included: its line is said
    // as a line not read, also when the file has a line skipped after it.
    const Read unclosed = read(kMetricHeader
            + "%ADD10C,0.8*%\n%ADD11C,1.0*%\nD10*\nX0Y0D03*\n%ABD20*%\nD11*\nX2000000Y0D03*\nQ1*\nM02*\n",
        QStringLiteral("u.gbr"));
    EXPECT_EQ(unclosed.drill.ending, DrillData::Ending::Complete);
    EXPECT_EQ(unclosed.drill.holes.size(), 1u);
    EXPECT_EQ(unclosed.drill.skippedLines, 2);
    EXPECT_EQ(unclosed.drill.firstSkippedLine.value_or(0), 7);
    EXPECT_EQ(unclosed.messages,
        QStringList {QStringLiteral("読み込めない行が2行あったため、読み飛ばしました（最初は7行目）。")});
    // A block that takes the number of a drill already flashed: the holes drilled before keep
    // their row and diameter, the block's flashes are its own holes; the number defined as a drill
    // once more is that row again, not a second row of the same D-code.
    const Read renumbered = read(kMetricHeader
        + "%ADD10C,0.5*%\n%ADD11C,0.7*%\nD10*\nX0Y0D03*\n%ABD10*%\nD11*\nX1000000Y0D03*\n%AB*%\n"
          "D10*\nX5000000Y0D03*\n%ADD10C,0.9*%\nD10*\nX9000000Y0D03*\nM02*\n");
    ASSERT_EQ(renumbered.drill.tools.size(), 2u);
    EXPECT_EQ(renumbered.drill.tools[0].code, QStringLiteral("D10"));
    EXPECT_EQ(renumbered.drill.tools[0].diameter, 0.5);
    EXPECT_EQ(renumbered.drill.tools[1].code, QStringLiteral("D11"));
    ASSERT_EQ(renumbered.drill.holes.size(), 3u);
    expectHole(renumbered.drill.holes[0], 0, 0, 0);
    expectHole(renumbered.drill.holes[1], 1, 6, 0);
    expectHole(renumbered.drill.holes[2], 0, 9, 0);
    // A repeat far beyond any board is refused, not filled into memory: the read ends there.
    const Read huge =
        read(kMetricHeader + "%ADD10C,0.5*%\nD10*\n%SRX100000Y100000I1J1*%\nX0Y0D03*\n%SR*%\nM02*\n");
    EXPECT_EQ(huge.drill.ending, DrillData::Ending::LimitReached);
    EXPECT_EQ(huge.drill.stoppedAtLine, 5);
    EXPECT_TRUE(huge.drill.holes.empty());
}

TEST(GerberX2, TheObjectLimitEndsTheReadAtItsLine)
{
    const auto limitAt = [](int line) {
        return QStringList {QStringLiteral(
            "穴・長穴・外形の線の数が上限の5,000,000個を超えるため、%1行目で読み込みを中止しました。")
                                .arg(line)};
    };
    // One flash asked for 6,000,000 times: the read ends at the statement; a later tool is not
    // read.
    const Read sr = read(kMetricHeader
        + "%ADD10C,0.5*%\n%ADD11C,0.9*%\nD10*\nX0Y0D03*\n%SRX3000Y2000I1J1*%\n"
          "X0Y0D03*\n%SR*%\nD11*\nX5Y5D03*\nM02*\n");
    EXPECT_EQ(sr.drill.ending, DrillData::Ending::LimitReached);
    EXPECT_EQ(sr.drill.limit, DrillData::Limit::Objects);
    EXPECT_EQ(sr.drill.stoppedAtLine, 7);
    EXPECT_EQ(sr.messages, limitAt(7));
    EXPECT_EQ(sr.drill.holes.size(), 1u); // what came before stays
    EXPECT_EQ(sr.drill.tools.size(), 1u);
    // Two flashes repeated 4,000,000 times: 8,000,000, found where the repeat is closed.
    const Read closing =
        read(kMetricHeader + "%ADD10C,0.5*%\nD10*\n%SRX2000Y2000I1J1*%\nX0Y0D03*\nX1Y1D03*\n%SR*%\n");
    EXPECT_EQ(closing.messages, limitAt(8));
    EXPECT_EQ(closing.drill.holes.size(), 2u); // the repeat's content, once
    // An aperture block of 1,000 holes, held once, flashed 5,000 times: the last flash passes the
    // limit.
    QByteArray blocks = kMetricHeader + "%ADD10C,0.5*%\n%ABD20*%\nD10*\n";
    for (int i = 0; i < 1000; ++i)
        blocks += "X" + QByteArray::number(i) + "Y0D03*\n";
    blocks += "%AB*%\nD20*\n";
    for (int i = 0; i < 5000; ++i)
        blocks += "X0Y" + QByteArray::number(i * 1000) + "D03*\n";
    const Read ab = read(blocks);
    EXPECT_EQ(ab.messages, limitAt(2 + 3 + 1000 + 2 + 5000));
    EXPECT_EQ(ab.drill.holes.size(), 4'999'000u);
    // Blocks never flashed hold their objects too: two blocks of 3,000,000 holes each pass the
    // limit where the second's repeat closes (a few hundred bytes of such blocks held gigabytes).
    const QByteArray bigBlock = "D10*\n%SRX2000Y1500I1J1*%\nX0Y0D03*\n%SR*%\n%AB*%\n";
    const Read held =
        read(kMetricHeader + "%ADD10C,0.5*%\n%ABD20*%\n" + bigBlock + "%ABD21*%\n" + bigBlock + "M02*\n");
    EXPECT_EQ(held.drill.ending, DrillData::Ending::LimitReached);
    EXPECT_EQ(held.messages, limitAt(14));
    // A block defined again frees what it held once the new one is closed: three blocks of
    // 2,000,000 holes, the first defined twice, hold 4,000,000.
    const QByteArray block = "D10*\n%SRX2000Y1000I1J1*%\nX0Y0D03*\n%SR*%\n%AB*%\n";
    const Read again = read(kMetricHeader + "%ADD10C,0.5*%\n%ABD20*%\n" + block + "%ABD20*%\n" + block
        + "%ABD21*%\n" + block + "M02*\n");
    EXPECT_EQ(again.drill.ending, DrillData::Ending::Complete);
    EXPECT_EQ(again.messages, QStringList {QStringLiteral("board.gbrには穴がありません。")}); // none flashed
}

TEST(GerberX2, AnEmptyRepeatIsNotWalkedThrough)
{
    // 2,000 statements of 5,000,000 copies of nothing (40 KB) were 10 billion steps, minutes; a
    // flash after them is read once.
    QByteArray text = kMetricHeader + "%ADD10C,0.5*%\n";
    for (int i = 0; i < 2000; ++i)
        text += "%SRX2000Y2500I1J1*%\n";
    text += "%SR*%\nD10*\nX0Y0D03*\nM02*\n";
    QElapsedTimer t;
    t.start();
    const Read r = read(text);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_EQ(r.drill.ending, DrillData::Ending::Complete);
    EXPECT_EQ(r.drill.holes.size(), 1u);
}

TEST(GerberX2, ArcsComeInBoundedPieces)
{
    // A full circle of 1 m radius (ten times a board): chords within a thousandth of the radius,
    // not a million of 5 micrometre pieces.
    const Read huge =
        read(kMetricHeader + "%ADD10C,0.5*%\nD10*\nG75*\nX0Y0D02*\nG03X0Y0I-1000000000J0D01*\nM02*\n");
    EXPECT_EQ(huge.drill.ending, DrillData::Ending::Complete);
    ASSERT_GT(huge.drill.slotHoles.size(), 8u);
    EXPECT_LE(huge.drill.slotHoles.size(), 1024u);
    const double r = 1000;
    for (const DrillSlot& s : huge.drill.slotHoles) {
        const double mx = (s.x1() + s.x2()) / 2 + r, my = (s.y1() + s.y2()) / 2; // the centre is (-r, 0)
        EXPECT_GE(std::hypot(mx, my), r - r / 1000 - 1e-6);
    }
    // A board's own arcs keep their 5 micrometres.
    const Read small =
        read(kMetricHeader + "%ADD10C,0.5*%\nD10*\nG75*\nX0Y0D02*\nG03X0Y0I-1000000J0D01*\nM02*\n");
    ASSERT_GT(small.drill.slotHoles.size(), 30u);
    for (const DrillSlot& s : small.drill.slotHoles) {
        const double mx = (s.x1() + s.x2()) / 2 + 1, my = (s.y1() + s.y2()) / 2;
        EXPECT_GE(std::hypot(mx, my), 1 - 0.005 - 1e-9);
    }
}

TEST(GerberX2, WhatCannotBeReadIsCountedAndNamed)
{
    const Read r =
        read(kMetricHeader + "%ADD10C,0.5*%\nD10*\nX0Y0D03*\nQ123*\nX1Y1D03*\nD99*\nX2Y2D03*\nM02*\n",
            QStringLiteral("x.gbr"));
    // Line 6 is no Gerber word; line 8 selects an aperture never defined, and line 9 flashes it.
    EXPECT_EQ(r.drill.skippedLines, 3);
    EXPECT_EQ(r.drill.firstSkippedLine.value_or(0), 6);
    EXPECT_EQ(r.messages,
        QStringList {QStringLiteral("読み込めない行が3行あったため、読み飛ばしました（最初は6行目）。")});
    EXPECT_EQ(r.drill.holes.size(), 2u);

    // A word that never ends with "*" is counted too, before a block and at the end of the file.
    const Read unended = read(kMetricHeader + "hello world\n%ADD10C,0.5*%\nD10*\nX0Y0D03*\nX1Y1D03");
    EXPECT_EQ(unended.drill.skippedLines, 2);
    EXPECT_EQ(unended.drill.firstSkippedLine.value_or(0), 3);
    EXPECT_EQ(unended.drill.holes.size(), 1u);

    const Read none = read(kMetricHeader + "%ADD10C,0.5*%\nM02*\n", QStringLiteral("n.gbr"));
    EXPECT_EQ(none.messages, QStringList {QStringLiteral("n.gbrには穴がありません。")});

    QByteArray many = kMetricHeader;
    for (int i = 10; i < 10 + 64; ++i)
        many += "%ADD" + QByteArray::number(i) + "C,0." + QByteArray::number(i) + "*%\n";
    for (int i = 10; i < 10 + 64; ++i)
        many += "D" + QByteArray::number(i) + "*\nX0Y0D03*\n";
    const Read tooMany = read(many);
    EXPECT_EQ(tooMany.drill.ending, DrillData::Ending::TooManyTools);
    EXPECT_EQ(tooMany.drill.tools.size(), 63u);
    // 2 header lines, 64 definitions, then two lines per tool: the 64th flash is line 2+64+128.
    EXPECT_EQ(tooMany.messages,
        QStringList {QStringLiteral("穴種が63を超えたため、194行目で読み込みを中止しました。")});

    const Read binary = read(QByteArray("\x00\x01\x02PK", 5), QStringLiteral("b.gbr"));
    EXPECT_EQ(binary.drill.ending, DrillData::Ending::Unreadable);
    EXPECT_EQ(binary.messages,
        QStringList {QStringLiteral("b.gbrは穴データのファイルではないため、読み込めません。")});
}

TEST(GerberX2, DetectionChoosesTheReader)
{
    test::Scratch dir;
    EXPECT_EQ(
        detectReader(dir.write(QStringLiteral("a.gbr"), kMetricHeader + "M02*\n")), ReaderKind::GerberX2);
    EXPECT_EQ(detectReader(
                  dir.write(QStringLiteral("b.gbr"), "G04 #@! TF.FileFunction,Plated,1,2,PTH*\nX0Y0D03*\n")),
        ReaderKind::GerberX2);
    EXPECT_EQ(
        detectReader(dir.write(QStringLiteral("c.gbr"), "%FSLAX33Y33*%\n%ADD10C,1*%\n")), ReaderKind::Rs274x);
    EXPECT_EQ(detectReader(dir.write(QStringLiteral("d.drl"), "M48\nMETRIC\nT1C0.8\n%\nX1Y1\nM30\n")),
        ReaderKind::Excellon);
    EXPECT_EQ(
        detectReader(dir.write(QStringLiteral("e.gbr"), "G54D10*\nX1000Y1000D03*\n")), ReaderKind::Standard);
}

namespace {
// One board's holes written both ways, as a CAD program writes its drill files: a round 0.8 mm
// tool and a 1.0 mm oval tool, the oval in four orientations. In the Gerber file each
// orientation is an aperture of its own: an obround upright, an obround lying, and a macro of a
// line with round ends, lying and at 45 degrees.
const QByteArray kOvalsGerber = "%TF.FileFunction,Plated,1,2,PTH*%\n%FSLAX46Y46*%\n%MOMM*%\n"
                                "%AMOblongHole*\n"
                                "0 A line as wide as $1 from ($2, $3) to ($4, $5), round at both ends*\n"
                                "20,1,$1,$2,$3,$4,$5,0*\n"
                                "1,1,$1,$2,$3*\n"
                                "1,1,$1,$4,$5*%\n"
                                "%TA.AperFunction,Plated,PTH,ComponentDrill*%\n"
                                "%ADD10C,0.800000*%\n"
                                "%ADD11O,1.000000X2.500000*%\n"
                                "%ADD12O,2.500000X1.000000*%\n"
                                "%ADD13OblongHole,1.000000X-0.750000X0.000000X0.750000X0.000000X0*%\n"
                                "%ADD14OblongHole,1.000000X-0.530330X-0.530330X0.530330X0.530330X0*%\n"
                                "%TD*%\nG01*\n"
                                "D10*\nX10000000Y10000000D03*\nX20000000Y10000000D03*\n"
                                "D11*\nX30000000Y10000000D03*\n"
                                "D12*\nX40000000Y10000000D03*\n"
                                "D13*\nX50000000Y10000000D03*\n"
                                "D14*\nX60000000Y10000000D03*\nM02*\n";
const QByteArray kOvalsExcellon =
    "M48\n; #@! TF.FileFunction,Plated,1,2,PTH\nMETRIC\nT1C0.800\nT2C1.000\n%\nG90\nG05\n"
    "T1\nX10.0Y10.0\nX20.0Y10.0\n"
    "T2\nX30.0Y9.25G85X30.0Y10.75\nX39.25Y10.0G85X40.75Y10.0\n"
    "X49.25Y10.0G85X50.75Y10.0\nX59.46967Y9.46967G85X60.53033Y10.53033\nM30\n";

// A slot's ends, the lower one first: the two forms may write a slot from either end.
std::array<double, 4> ends(const DrillSlot& s)
{
    if (std::make_pair(s.x1(), s.y1()) <= std::make_pair(s.x2(), s.y2()))
        return {s.x1(), s.y1(), s.x2(), s.y2()};
    return {s.x2(), s.y2(), s.x1(), s.y1()};
}
} // namespace

TEST(GerberX2, OvalHolesAreSlotsAndOneDrillIsOneRow)
{
    const Read g = read(kOvalsGerber);
    EXPECT_TRUE(g.messages.isEmpty()) << g.messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(g.drill.skippedLines, 0);
    // The same rows as the Excellon file: diameter and plating, in its order, one for the ovals
    // named by their first aperture.
    QByteArray excellon = kOvalsExcellon;
    QBuffer buffer(&excellon);
    buffer.open(QIODevice::ReadOnly);
    const DrillData e = readExcellon(buffer, QStringLiteral("board.drl"), {});
    ASSERT_EQ(g.drill.tools.size(), e.tools.size());
    for (size_t t = 0; t < e.tools.size(); ++t) {
        EXPECT_EQ(diameterText(*g.drill.tools[t].diameter), diameterText(*e.tools[t].diameter)) << t;
        EXPECT_EQ(g.drill.tools[t].kind, e.tools[t].kind) << t;
    }
    EXPECT_EQ(g.drill.tools[1].code, QStringLiteral("D11"));
    // The same holes and the same slots, each oval a slot of one piece.
    ASSERT_EQ(g.drill.holes.size(), e.holes.size());
    for (size_t i = 0; i < e.holes.size(); ++i)
        expectHole(g.drill.holes[i], e.holes[i].tool, e.holes[i].x(), e.holes[i].y());
    ASSERT_EQ(g.drill.slotHoles.size(), e.slotHoles.size());
    EXPECT_EQ(g.drill.slotCount(), 4);
    for (size_t i = 0; i < e.slotHoles.size(); ++i) {
        EXPECT_EQ(g.drill.slotHoles[i].tool, e.slotHoles[i].tool) << i;
        const auto a = ends(g.drill.slotHoles[i]), b = ends(e.slotHoles[i]);
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(a[size_t(k)], b[size_t(k)], 1e-5) << i << " " << k;
    }
}

TEST(GerberX2, MacrosOfOneLineWithRoundEndsAndOtherShapes)
{
    // A centre line with its round ends (inch: sizes come in millimetres); a round macro; an
    // outline primitive and a thermal make no drill; a line without round ends is no oval.
    const Read r =
        read("%FSLAX24Y24*%\n%MOIN*%\n"
             "%AMCentreOval*\n$3=$1-$2*\n21,1,$3,$2,0,0,90*\n1,1,$2,$3/2,0,90*\n1,1,$2,-$3/2,0,90*%\n"
             "%AMRound*\n1,1,$1,0,0*%\n"
             "%AMSquare*\n4,1,4,0,0,1,0,1,1,0,1,0,0,0*%\n"
             "%AMRing*\n7,0,0,0.1,0.08,0.01,0*%\n"
             "%AMBare*\n20,1,$1,0,0,$2,0,0*%\n"
             "%ADD10CentreOval,0.1X0.04*%\n%ADD11Round,0.05*%\n%ADD12Square*%\n%ADD13Ring*%\n"
             "%ADD14Bare,0.04X0.1*%\n"
             "D10*\nX10000Y10000D03*\nD11*\nX20000Y10000D03*\nD12*\nX30000Y10000D03*\nD13*\n"
             "X40000Y10000D03*\nD14*\nX50000Y10000D03*\nM02*\n");
    ASSERT_EQ(r.drill.tools.size(), 5u);
    EXPECT_EQ(diameterText(*r.drill.tools[0].diameter), QStringLiteral("1.016"));
    ASSERT_EQ(r.drill.slotHoles.size(), 1u);
    // 0.1 x 0.04 in along x, turned 90 degrees: upright, 0.06 in between the ends' centres.
    const auto e = ends(r.drill.slotHoles[0]);
    EXPECT_NEAR(e[0], 25.4, 1e-9);
    EXPECT_NEAR(e[1], 25.4 - 0.03 * 25.4, 1e-9);
    EXPECT_NEAR(e[3], 25.4 + 0.03 * 25.4, 1e-9);
    EXPECT_EQ(diameterText(*r.drill.tools[1].diameter), QStringLiteral("1.27"));
    EXPECT_FALSE(r.drill.tools[2].diameter);
    EXPECT_FALSE(r.drill.tools[3].diameter);
    EXPECT_FALSE(r.drill.tools[4].diameter);
    EXPECT_EQ(r.drill.holes.size(), 4u);
}

TEST(GerberX2, MacroExpressions)
{
    const std::vector<double> v {1.5, 0.25, -2};
    const auto value = [&v](const char* text) {
        double out = 0;
        return evaluateMacroExpression(QByteArrayView(text), v, out) ? std::optional<double>(out)
                                                                     : std::nullopt;
    };
    EXPECT_EQ(value("$1x2+0.5"), 3.5);
    EXPECT_EQ(value("($1-$2)/2"), 0.625);
    EXPECT_EQ(value("-$3"), 2.0);
    EXPECT_EQ(value("1+2X3"), 7.0);
    EXPECT_EQ(value("$9"), 0.0); // a variable not given is 0
    EXPECT_EQ(value("--1"), 1.0);
    EXPECT_FALSE(value("1/0"));
    EXPECT_FALSE(value("(1"));
    EXPECT_FALSE(value("1$"));
    EXPECT_FALSE(value(""));
    EXPECT_FALSE(value(std::string(200, '(').c_str()));
}

TEST(GerberX2, EagleAttributesInCommentsWithAPercentSign)
{
    // Eagle 9's profile: the attributes are comments that hold a percent sign.
    const QByteArray profile =
        "G04 EAGLE Gerber X2 export*\n"
        "G04 #@! %TF.FileFunction,Profile,NP*\n"
        "G04 #@! %TF.Part,Single*\n"
        "%FSLAX34Y34*%\n%MOMM*%\n%ADD10C,0.2000*%\n"
        "D10*\nX0Y0D02*\nX1000000Y0D01*\nX1000000Y800000D01*\nX0Y800000D01*\nX0Y0D01*\nM02*\n";
    const Read r = read(profile);
    EXPECT_EQ(r.drill.role, DrillData::Role::Outline);
    EXPECT_TRUE(r.drill.statesFunction);
    EXPECT_EQ(r.drill.outline.size(), 4u);
    EXPECT_EQ(r.drill.skippedLines, 0);
    EXPECT_TRUE(r.messages.isEmpty()) << r.messages.join(QLatin1Char('\n')).toStdString();
    // An attribute comment closed by a percent sign after its "*" opens no block either.
    const Read closed = read("G04 #@! %TF.FileFunction,Plated,1,2,PTH*%\n" + kMetricHeader
        + "%ADD10C,0.8*%\nD10*\nX1000000Y1000000D03*\nM02*\n");
    EXPECT_EQ(closed.drill.holes.size(), 1u);
    EXPECT_EQ(closed.drill.tools[0].kind, QStringLiteral("TH"));
    EXPECT_EQ(closed.drill.skippedLines, 0);
    test::Scratch dir;
    EXPECT_EQ(detectReader(dir.write(QStringLiteral("profile.gbr"), profile)), ReaderKind::GerberX2);
}
