// The commands of the Excellon programming manual that change where or what the machine drills,
// each in a small file of tests/data/excellon, compared hole by hole and shape by shape with
// what the manual says the machine makes.

#include "excellon/excellonreader.h"
#include "testutil.h"

#include <QFile>
#include <cmath>
#include <gtest/gtest.h>

using namespace kivotrek;
using kivotrek::test::dataPath;

namespace {
constexpr double kInch = 25.4;

struct Read {
    DrillData drill;
    QStringList messages;
};

Read readFile(const char* name)
{
    Read r;
    const QString path = dataPath((QByteArray("excellon/") + name).constData());
    r.drill = readExcellon(path, [&r](const QString& m) { r.messages << m; });
    return r;
}

Read readText(const QByteArray& text)
{
    Read r;
    r.drill =
        readExcellonText(text, QStringLiteral("board.drl"), [&r](const QString& m) { r.messages << m; });
    return r;
}

::testing::AssertionResult holeAt(const DrillHit& h, double x, double y)
{
    if (std::fabs(h.x() - x) < 1e-5 && std::fabs(h.y() - y) < 1e-5)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
        << "hole at (" << h.x() << ", " << h.y() << "), expected (" << x << ", " << y << ")";
}

// The pieces of a routed path: every end within 2 nm of the radius about the centre, the chords
// within 5 um of the arc (a thousandth of the radius for one over 5 mm, as Gerber arcs), each
// piece joined to the one before.
void expectArc(
    const std::vector<DrillSlot>& pieces, size_t first, size_t last, double cx, double cy, double r)
{
    ASSERT_LT(last, pieces.size());
    for (size_t k = first; k <= last; ++k) {
        const DrillSlot& s = pieces[k];
        EXPECT_NEAR(std::hypot(s.x1() - cx, s.y1() - cy), r, 2e-6) << "piece " << k;
        EXPECT_NEAR(std::hypot(s.x2() - cx, s.y2() - cy), r, 2e-6) << "piece " << k;
        const double chord = std::hypot(s.x2() - s.x1(), s.y2() - s.y1());
        EXPECT_LE(r - std::sqrt(r * r - chord * chord / 4), std::max(0.005, r / 1000) + 1e-9)
            << "piece " << k;
        if (k > first) {
            EXPECT_TRUE(s.joined) << "piece " << k;
        }
    }
}
} // namespace

TEST(ExcellonPatterns, EachRepeatIsMovedFromTheCopyBefore)
{
    // The issue's pattern: the two holes, then a copy 10 mm on and one 20 mm further ("the
    // coordinate X#Y# is the distance from the beginning of the last pattern").
    const Read r = readFile("pattern-issue.drl");
    EXPECT_EQ(r.drill.ending, DrillData::Ending::Complete);
    EXPECT_TRUE(r.messages.isEmpty()) << r.messages.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(r.drill.holes.size(), 6u);
    const double expected[6][2] = {{1, 1}, {2, 1}, {11, 1}, {12, 1}, {31, 1}, {32, 1}};
    for (size_t k = 0; k < 6; ++k)
        EXPECT_TRUE(holeAt(r.drill.holes[k], expected[k][0], expected[k][1])) << k;
    EXPECT_EQ(r.drill.skippedLines, 0);
}

TEST(ExcellonPatterns, MirrorsAndSwapOfTheManualsSampleProgram)
{
    // The manual's sample: an L of 13 holes from work zero (3.25, 1.5) inch, seven copies each
    // mirrored (M80 X, M90 Y) and swapped (M70) about its own place: 8 x 13 = 104 hits, as the
    // sample says of its tool 4; the closing bare M02 makes none.
    const Read r = readFile("pattern-mirrors.drl");
    EXPECT_EQ(r.drill.skippedLines, 0);
    ASSERT_EQ(r.drill.holes.size(), 104u);
    // First and last hole of each copy, relative to work zero, inch.
    const double ends[8][4] = {
        {1.0, 1.8, 1.4, 1.0}, // the pattern
        {2.0, 1.2, 1.2, 1.6}, // M70
        {2.7, 1.2, 3.5, 1.6}, // M90 M70
        {3.7, 1.8, 3.3, 1.0}, // M80
        {2.7, 2.8, 3.5, 2.4}, // M80 M90 M70
        {3.7, 2.2, 3.3, 3.0}, // M80 M90
        {1.0, 2.2, 1.4, 3.0}, // M90
        {2.0, 2.8, 1.2, 2.4}, // M80 M70
    };
    for (size_t c = 0; c < 8; ++c) {
        EXPECT_TRUE(holeAt(r.drill.holes[c * 13], (3.25 + ends[c][0]) * kInch, (1.5 + ends[c][1]) * kInch))
            << c;
        EXPECT_TRUE(
            holeAt(r.drill.holes[c * 13 + 12], (3.25 + ends[c][2]) * kInch, (1.5 + ends[c][3]) * kInch))
            << c;
    }
    // The pattern's corner, (1.0, 1.0): the ninth hole.
    EXPECT_TRUE(holeAt(r.drill.holes[8], 4.25 * kInch, 2.5 * kInch));
}

TEST(ExcellonPatterns, NestedPatternsAndRepeatCounts)
{
    // M01 after repeats closes the pattern grown so far: 20 holes, three of them by R2M02 in Y,
    // nine by R2M02 in X, 27 by R2M02 in Y: 540. An axis written without digits is 0.
    const Read r = readFile("pattern-nested.drl");
    EXPECT_EQ(r.drill.skippedLines, 0);
    ASSERT_EQ(r.drill.holes.size(), 540u);
    EXPECT_TRUE(holeAt(r.drill.holes[0], 4.2 * kInch, 1.0 * kInch));
    EXPECT_TRUE(holeAt(r.drill.holes[19], 4.2 * kInch, 1.05 * kInch));
    EXPECT_TRUE(holeAt(r.drill.holes[20], 4.2 * kInch, 1.1 * kInch)); // the first copy, 0.1 up
    EXPECT_TRUE(holeAt(r.drill.holes[60], 4.9 * kInch, 1.0 * kInch)); // the second level, 0.7 right
    EXPECT_TRUE(holeAt(r.drill.holes[539], 5.6 * kInch, 2.65 * kInch));
}

TEST(ExcellonPatterns, FormatOneCodes)
{
    // FMAT,1: M24 ends the pattern, M26 repeats it (M21 mirrors X), M27 ends the step and
    // repeat, M00 only stops for inspection, M02 ends the program.
    const Read r = readFile("format-one.drl");
    EXPECT_EQ(r.drill.skippedLines, 0);
    ASSERT_EQ(r.drill.holes.size(), 3u);
    EXPECT_TRUE(holeAt(r.drill.holes[0], 1 * kInch, 1 * kInch));
    EXPECT_TRUE(holeAt(r.drill.holes[1], 0, 1 * kInch)); // mirrored about its place, 1 inch right
    EXPECT_TRUE(holeAt(r.drill.holes[2], 2 * kInch, 2 * kInch));
}

TEST(ExcellonPatterns, RepeatsOutsideAPatternAndTheirLimit)
{
    // An M02 with no pattern before it repeats nothing: a line said as skipped.
    Read r = readText("M48\nMETRIC\nT1C1.0\n%\nT1\nX1.0Y1.0\nM02X10.0Y0\nM30\n");
    EXPECT_EQ(r.drill.holes.size(), 1u);
    EXPECT_EQ(r.drill.skippedLines, 1);
    EXPECT_EQ(r.drill.firstSkippedLine, 7);
    // Patterns doubled 24 times are 16,777,216 holes: past the 5,000,000 a file may make by
    // repeats, the read ends at the line that would pass it, what came before kept.
    QByteArray text = "M48\nMETRIC\nT1C1.0\n%\nT1\nM25\nX1.0Y1.0\nM01\n";
    for (int k = 0; k < 24; ++k)
        text += "M02X0.01Y0\nM01\n";
    r = readText(text);
    EXPECT_EQ(r.drill.ending, DrillData::Ending::LimitReached);
    EXPECT_EQ(r.drill.limit, DrillData::Limit::Repeats);
    EXPECT_EQ(r.drill.limitValue, 5'000'000);
    EXPECT_EQ(r.drill.holes.size(), size_t(1) << 22); // 22 doublings fit, the 23rd does not
    EXPECT_EQ(r.drill.stoppedAtLine, 8 + 23 * 2 - 1);
    ASSERT_FALSE(r.messages.isEmpty());
    EXPECT_EQ(r.messages.last(),
        QStringLiteral(
            "繰り返しで作る穴の数が上限の5,000,000個を超えるため、53行目で読み込みを中止しました。"));
}

TEST(ExcellonRout, ArcsByRadiusAndByCentreInBothDirections)
{
    const Read r = readFile("rout-arcs.drl");
    EXPECT_EQ(r.drill.skippedLines, 0);
    EXPECT_TRUE(r.drill.holes.empty());
    const auto& s = r.drill.slotHoles;
    ASSERT_GE(s.size(), 4u);
    // A line, then G02 by radius 10 from (10, 0) to (20, 10): the shorter arc, clockwise, about
    // (20, 0), its middle at (20 - 10 cos 45, 10 sin 45); one routed path.
    EXPECT_EQ(s[0].x1(), 0.0);
    EXPECT_EQ(s[0].x2(), 10.0);
    size_t k = 1;
    while (k < s.size() && s[k].joined)
        ++k;
    const size_t firstEnd = k - 1;
    expectArc(s, 1, firstEnd, 20, 0, 10);
    EXPECT_EQ(s[firstEnd].x2(), 20.0);
    EXPECT_EQ(s[firstEnd].y2(), 10.0);
    bool passesMiddle = false;
    for (size_t m = 1; m <= firstEnd; ++m)
        passesMiddle = passesMiddle || std::fabs(s[m].y1() - s[m].x1() + 20 - 10) < 0.2;
    EXPECT_TRUE(passesMiddle);
    EXPECT_GE(firstEnd, 5u); // a quarter circle of radius 10 in 5 um chords: many pieces
    // G03 from (40, 0) to (50, 10) with I0J10 and with I0J-10 (the centre's offset written
    // either way): counter-clockwise about (40, 10), then about (60, 10).
    const size_t second = k;
    ASSERT_FALSE(s[second].joined);
    EXPECT_EQ(s[second].x1(), 40.0);
    k = second + 1;
    while (k < s.size() && s[k].joined)
        ++k;
    expectArc(s, second, k - 1, 40, 10, 10);
    const size_t third = k;
    ASSERT_LT(third, s.size());
    EXPECT_EQ(s[third].x1(), 60.0);
    expectArc(s, third, s.size() - 1, 60, 10, 10);
    // The last arc, with the tool up (M17), cuts nothing: three routed paths, three slots.
    EXPECT_EQ(r.drill.slotCount(), 3);
    // Counter-clockwise from (40, 0) about (40, 10): the first piece goes right and up.
    EXPECT_GT(s[second].x2(), 40.0);
}

TEST(ExcellonRout, RoutedAndDrilledCirclesAndStepSlots)
{
    const Read r = readFile("rout-circles.drl");
    // G84 of 3.5 mm with a 2 mm tool is less than twice the tool: the machine refuses it.
    EXPECT_EQ(r.drill.skippedLines, 1);
    EXPECT_EQ(r.drill.firstSkippedLine, 13);
    EXPECT_TRUE(r.drill.holes.empty());
    // G32 at (100, 100) radius 5 with a 1 mm tool: the tool's centre on 4.5 mm, closed; G33 at
    // (120, 100) with the radius before; G84 of 6 mm with the 2 mm tool: on 2 mm; G87: one slot.
    EXPECT_EQ(r.drill.slotCount(), 4);
    std::vector<std::pair<size_t, size_t>> paths;
    for (size_t k = 0; k < r.drill.slotHoles.size(); ++k) {
        if (!r.drill.slotHoles[k].joined)
            paths.push_back({k, k});
        paths.back().second = k;
    }
    ASSERT_EQ(paths.size(), 4u);
    const auto& s = r.drill.slotHoles;
    expectArc(s, paths[0].first, paths[0].second, 100, 100, 4.5);
    expectArc(s, paths[1].first, paths[1].second, 120, 100, 4.5);
    expectArc(s, paths[2].first, paths[2].second, 50, 50, 2.0);
    for (int p = 0; p < 3; ++p) { // closed rings
        EXPECT_NEAR(s[paths[size_t(p)].first].x1(), s[paths[size_t(p)].second].x2(), 1e-6);
        EXPECT_NEAR(s[paths[size_t(p)].first].y1(), s[paths[size_t(p)].second].y2(), 1e-6);
    }
    // G32 clockwise, G33 counter-clockwise: from the point right of the centre, down or up.
    EXPECT_LT(s[paths[0].first].y2(), 100.0);
    EXPECT_GT(s[paths[1].first].y2(), 100.0);
    EXPECT_EQ(s[paths[0].first].tool, 0);
    EXPECT_EQ(s[paths[2].first].tool, 1);
    const DrillSlot& step = s[paths[3].first];
    EXPECT_EQ(paths[3].first, paths[3].second);
    EXPECT_EQ(step.x1(), 0.0);
    EXPECT_EQ(step.y1(), 20.0);
    EXPECT_EQ(step.x2(), 0.0);
    EXPECT_EQ(step.y2(), 30.0);
}

TEST(ExcellonCannedCycles, PackagesAndTheirRepeats)
{
    // The manual's sample: a 16-pin package 0.1 x 0.3 from its corners, a 14-pin one standing
    // (its rows 0.3 apart in X), P2X007 two more of it 0.7 and 1.4 to the right, and an
    // eight-pin circular package through (0.3, 4.1) and (0.7, 4.1).
    const Read r = readFile("canned-cycles.drl");
    EXPECT_EQ(r.drill.skippedLines, 0);
    const auto& h = r.drill.holes;
    ASSERT_EQ(h.size(), 16u + 14u + 28u + 8u);
    EXPECT_TRUE(holeAt(h[0], 0.5 * kInch, 3.3 * kInch));
    EXPECT_TRUE(holeAt(h[7], 1.2 * kInch, 3.3 * kInch));
    EXPECT_TRUE(holeAt(h[8], 0.5 * kInch, 3.6 * kInch));
    EXPECT_TRUE(holeAt(h[15], 1.2 * kInch, 3.6 * kInch));
    EXPECT_TRUE(holeAt(h[16], 3.7 * kInch, 4.2 * kInch));
    EXPECT_TRUE(holeAt(h[22], 3.7 * kInch, 4.8 * kInch));
    EXPECT_TRUE(holeAt(h[23], 4.0 * kInch, 4.2 * kInch));
    EXPECT_TRUE(holeAt(h[30], 4.4 * kInch, 4.2 * kInch)); // the first repeat
    EXPECT_TRUE(holeAt(h[57], 5.4 * kInch, 4.8 * kInch)); // the last pin of the second
    EXPECT_TRUE(holeAt(h[58], 0.3 * kInch, 4.1 * kInch));
    EXPECT_TRUE(holeAt(h[60], 0.5 * kInch, 3.9 * kInch)); // 90 degrees on (counter-clockwise), radius 0.2
    EXPECT_TRUE(holeAt(h[62], 0.7 * kInch, 4.1 * kInch));
    for (size_t k = 58; k < 66; ++k)
        EXPECT_NEAR(std::hypot(h[k].x() - 0.5 * kInch, h[k].y() - 4.1 * kInch), 0.2 * kInch, 1e-5);
}

TEST(ExcellonNotUnderstood, MovesButNeverDrills)
{
    // Canned text (said once, with its first line; its position is no hole), an M code the reader
    // does not know with coordinates (the position moves: the next Y drills at X5), a dwell
    // (its X a time), an M02 outside a pattern, a long message over two lines, an inspection
    // stop's position, and the end of the program at a park position: three holes.
    const Read r = readFile("not-understood.drl");
    ASSERT_EQ(r.drill.holes.size(), 3u);
    EXPECT_TRUE(holeAt(r.drill.holes[0], 1, 1));
    EXPECT_TRUE(holeAt(r.drill.holes[1], 5, 6));
    EXPECT_TRUE(holeAt(r.drill.holes[2], 2, 2));
    EXPECT_EQ(r.drill.skippedLines, 2);
    EXPECT_EQ(r.drill.firstSkippedLine, 9);
    ASSERT_EQ(r.messages.size(), 2) << r.messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(r.messages[0], QStringLiteral("6行目の文字の穴あけ（M97）は描いていません。"));
    EXPECT_EQ(
        r.messages[1], QStringLiteral("読み込めない行が2行あったため、読み飛ばしました（最初は9行目）。"));
}

TEST(ExcellonNotUnderstood, CompensationAndArcsWithoutACentreAreSaid)
{
    // G41: the offset is the machine's, the path is drawn as written and the line said; an arc
    // with no radius or centre given cuts nothing and is said; a routed arc of the issue
    // (G02X7Y7A2 in rout mode) is drawn.
    const Read r =
        readText("M48\nMETRIC\nT1C1.0\n%\nT1\nG00X0.0Y0.0\nG41\nM15\nG01X5.0Y0.0\nG02X5.0Y4.0\nM16\n"
                 "G00X3.0Y5.0\nM15\nG02X7.0Y7.0A2.0\nM16\nM30\n");
    EXPECT_EQ(r.drill.skippedLines, 2);
    EXPECT_EQ(r.drill.firstSkippedLine, 7);
    EXPECT_EQ(r.drill.slotCount(), 2);
    EXPECT_EQ(r.drill.slotHoles.front().x2(), 5.0);
    EXPECT_EQ(r.drill.slotHoles.back().x2(), 7.0);
    EXPECT_EQ(r.drill.slotHoles.back().y2(), 7.0);
}

TEST(ExcellonPatterns, AnEmptyPatternRepeatedAThousandMillionTimesReadsAtOnce)
{
    // Nothing to copy: the count changes nothing and costs nothing (the read would otherwise
    // loop a thousand million times).
    const Read r = readText("M48\nMETRIC\nT1C1.0\n%\nM25\nM01\nR999999999M02X1.0\nT1\nG82\nX1.0Y1.0\n"
                            "X1.0Y1.0\nT0\nG83\nX1.0Y1.0\nX3.0Y1.0\nP999999999X1.0\nM30\n");
    EXPECT_EQ(r.drill.ending, DrillData::Ending::Complete);
    EXPECT_TRUE(r.drill.holes.empty());
}
