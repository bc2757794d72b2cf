#include "checks/checkregistry.h"
#include "checks/drillchecks.h"

#include "board/board.h"
#include "settings/settingsfile.h"
#include "testutil.h"

#include <QElapsedTimer>
#include <cmath>

using namespace kivotrek;

namespace {
// A board built by hand in millimetres: rows with diameters, holes, slots, outline lines.
struct HandBoard {
    CheckedBoard b;
    int nextPath = 0;

    HandBoard& row(int r, double diameter)
    {
        b.rows[size_t(r)].diameter = diameter;
        b.rows[size_t(r)].tableSize = diameter;
        b.rows[size_t(r)].file = 0;
        return *this;
    }
    void use(int r, double x, double y)
    {
        auto& row = b.rows[size_t(r)];
        if (!row.used)
            row.first = std::array<double, 2> {x, y};
        row.used = true;
    }
    HandBoard& hole(double x, double y, int r)
    {
        use(r, x, y);
        b.holes.push_back({x, y, float(b.rows[size_t(r)].diameter.value_or(0) / 2), int16_t(r), 0});
        return *this;
    }
    // A slot of pieces through the points.
    HandBoard& slot(std::initializer_list<std::array<double, 2>> points, int r)
    {
        const auto* p = points.begin();
        use(r, (*p)[0], (*p)[1]);
        for (const auto* q = p + 1; q != points.end(); ++p, ++q)
            b.slotPieces.push_back({(*p)[0], (*p)[1], (*q)[0], (*q)[1],
                float(b.rows[size_t(r)].diameter.value_or(0) / 2), int16_t(r), 0, nextPath});
        ++nextPath;
        return *this;
    }
    HandBoard& rectangle(double x0, double y0, double x1, double y1)
    {
        b.outline.push_back({x0, y0, x1, y0});
        b.outline.push_back({x1, y0, x1, y1});
        b.outline.push_back({x1, y1, x0, y1});
        b.outline.push_back({x0, y1, x0, y0});
        return *this;
    }
    // A circle of 72 pieces, as CAD programs draw a cut-out round a mounting hole.
    HandBoard& circle(double x, double y, double radius)
    {
        for (int i = 0; i < 72; ++i) {
            const double a = i * M_PI / 36, c = (i + 1) * M_PI / 36;
            b.outline.push_back({x + radius * std::cos(a), y + radius * std::sin(a), x + radius * std::cos(c),
                y + radius * std::sin(c)});
        }
        return *this;
    }
    // The lines from point to point, each cut into pieces of about piece millimetres (0: whole).
    HandBoard& path(std::initializer_list<std::array<double, 2>> points, double piece = 0)
    {
        const auto* p = points.begin();
        for (const auto* q = p + 1; q != points.end(); ++p, ++q) {
            const double length = std::hypot((*q)[0] - (*p)[0], (*q)[1] - (*p)[1]);
            const int n = piece > 0 ? std::max(1, int(std::lround(length / piece))) : 1;
            for (int i = 0; i < n; ++i) {
                const double s = double(i) / n, t = double(i + 1) / n;
                b.outline.push_back({(*p)[0] + s * ((*q)[0] - (*p)[0]), (*p)[1] + s * ((*q)[1] - (*p)[1]),
                    (*p)[0] + t * ((*q)[0] - (*p)[0]), (*p)[1] + t * ((*q)[1] - (*p)[1])});
            }
        }
        return *this;
    }
    // An arc about (x, y) from angle a0 to a1 (radians) in n pieces.
    HandBoard& arc(double x, double y, double radius, double a0, double a1, int n)
    {
        for (int i = 0; i < n; ++i) {
            const double a = a0 + (a1 - a0) * i / n, c = a0 + (a1 - a0) * (i + 1) / n;
            b.outline.push_back({x + radius * std::cos(a), y + radius * std::sin(a), x + radius * std::cos(c),
                y + radius * std::sin(c)});
        }
        return *this;
    }
    CheckReport check(const CheckLimits& limits = {}) const { return runChecks(b, limits); }
};

// A clean board: 0.8 mm holes 2.54 mm apart, 5 mm inside a 50 x 50 mm outline, a 3.2 mm
// mounting hole with its cut-out drawn in the outline, a 1 x 3 mm slot.
HandBoard cleanBoard()
{
    HandBoard h;
    h.row(0, 0.8).row(1, 3.2).row(2, 1.0).rectangle(0, 0, 50, 50).circle(40, 40, 1.6);
    for (int i = 0; i < 10; ++i)
        h.hole(5 + 2.54 * i, 5, 0).hole(5 + 2.54 * i, 7.54, 0);
    h.hole(40, 40, 1);
    h.slot({{{20, 20}}, {{22, 20}}}, 2);
    return h;
}

std::string kinds(const CheckReport& r)
{
    std::string s;
    for (const Finding& f : r.findings)
        s += std::string(checkName(f.kind)) + ' ';
    return s;
}
} // namespace

TEST(DrillChecks, ACleanBoardHasNoFinding)
{
    const CheckReport r = cleanBoard().check();
    EXPECT_TRUE(r.findings.empty()) << kinds(r);
    EXPECT_EQ(r.total(), 0);
    EXPECT_TRUE(r.hasOutline);
    EXPECT_FALSE(r.truncated);
}

TEST(DrillChecks, StackedOverlappingAndCloseHolesEachOnceWithTheirEdgeDistance)
{
    HandBoard h = cleanBoard();
    h.row(3, 0.6);
    h.hole(10, 30, 0).hole(10.005, 30, 3); // one hole drilled twice (rows of two tools)
    h.hole(20, 30, 0).hole(20.7, 30, 0); // edges 0.1 mm into each other
    h.hole(30, 30, 0).hole(30.95, 30, 0); // 0.15 mm apart, edge to edge
    h.hole(40, 30, 0).hole(41, 30, 0); // 0.2 mm apart: the limit, met
    const CheckReport r = h.check();
    ASSERT_EQ(r.findings.size(), 3u) << kinds(r);

    const Finding& stacked = r.findings[0];
    EXPECT_EQ(stacked.kind, CheckKind::Stacked);
    EXPECT_EQ(stacked.rows, (std::array<int, 2> {0, 3}));
    EXPECT_DOUBLE_EQ(*stacked.value, 0.005);
    EXPECT_DOUBLE_EQ(*stacked.limit, 0.01);
    EXPECT_EQ(*stacked.at, (std::array<double, 2> {10, 30}));
    EXPECT_EQ(*stacked.other, (std::array<double, 2> {10.005, 30}));

    EXPECT_EQ(r.findings[1].kind, CheckKind::Overlap);
    EXPECT_DOUBLE_EQ(*r.findings[1].value, -0.1);
    EXPECT_DOUBLE_EQ(*r.findings[1].limit, 0);
    EXPECT_EQ(*r.findings[1].at, (std::array<double, 2> {20, 30}));

    EXPECT_EQ(r.findings[2].kind, CheckKind::Spacing);
    EXPECT_DOUBLE_EQ(*r.findings[2].value, 0.15);
    EXPECT_DOUBLE_EQ(*r.findings[2].limit, 0.2);
    EXPECT_EQ(r.counts[size_t(CheckKind::Spacing)], 1);
    EXPECT_EQ(r.total(), 3);

    // A house that allows 0.1 mm: only the two that touch remain.
    CheckLimits loose;
    loose.minSpacing = 0.1;
    EXPECT_EQ(kinds(h.check(loose)), "stacked overlap ");
}

TEST(DrillChecks, HolesNearOrCutByTheOutlineMeasuredToItsLines)
{
    HandBoard h = cleanBoard();
    h.hole(10, 0.6, 0); // 0.2 mm from the bottom edge
    h.hole(20, 0.65, 0); // 0.25 mm: the limit, met
    h.hole(49.8, 30, 0); // the right edge runs through it: -0.2 mm
    h.hole(25, 25, 0); // the middle of the board
    const CheckReport r = h.check();
    ASSERT_EQ(r.findings.size(), 2u) << kinds(r);
    EXPECT_EQ(r.findings[0].kind, CheckKind::OutlineCut);
    EXPECT_DOUBLE_EQ(*r.findings[0].value, -0.2);
    EXPECT_EQ(*r.findings[0].at, (std::array<double, 2> {49.8, 30}));
    EXPECT_EQ(*r.findings[0].other, (std::array<double, 2> {50, 30}));
    EXPECT_EQ(r.findings[1].kind, CheckKind::Edge);
    EXPECT_DOUBLE_EQ(*r.findings[1].value, 0.2);
    EXPECT_DOUBLE_EQ(*r.findings[1].limit, 0.25);

    // Without an outline the edge is not checked.
    h.b.outline.clear();
    const CheckReport bare = h.check();
    EXPECT_FALSE(bare.hasOutline);
    EXPECT_TRUE(bare.findings.empty()) << kinds(bare);
}

TEST(DrillChecks, ACutOutLargerThanItsHoleIsAnEdge)
{
    HandBoard h;
    h.row(0, 3.0).rectangle(0, 0, 50, 50).circle(25, 25, 1.6).hole(25, 25, 0);
    const CheckReport r = h.check();
    ASSERT_EQ(r.findings.size(), 1u) << kinds(r);
    EXPECT_EQ(r.findings[0].kind, CheckKind::Edge);
    EXPECT_NEAR(*r.findings[0].value, 0.1, 0.002); // the circle in pieces lies a little inside 1.6
}

TEST(DrillChecks, RowsBelowTheSmallestDrillOrNotTheFilesSizeOrPlatedAgainstTheirFile)
{
    HandBoard h = cleanBoard();
    h.row(3, 0.1).hole(30, 30, 3);
    h.row(4, 0.15).hole(35, 30, 4); // the limit itself is drilled
    h.b.rows[0].fileSize = 0.8001; // the same to the micrometre
    h.b.rows[1].fileSize = 3.0; // the table says 3.2
    h.b.rows[2].toolKind = QStringLiteral("TH");
    h.b.rows[2].fileKind = QStringLiteral("NTH");
    h.b.rows[4].toolKind = QStringLiteral("NTH");
    h.b.rows[4].fileKind = QStringLiteral("NTH");
    const CheckReport r = h.check();
    ASSERT_EQ(kinds(r), "min-drill tool-size plating ");
    EXPECT_EQ(r.findings[0].rows[0], 3);
    EXPECT_DOUBLE_EQ(*r.findings[0].value, 0.1);
    EXPECT_DOUBLE_EQ(*r.findings[0].limit, 0.15);
    EXPECT_EQ(*r.findings[0].at, (std::array<double, 2> {30, 30}));
    EXPECT_EQ(r.findings[1].rows[0], 1);
    EXPECT_DOUBLE_EQ(*r.findings[1].value, 3.2);
    EXPECT_DOUBLE_EQ(*r.findings[1].limit, 3.0);
    EXPECT_EQ(r.findings[2].rows[0], 2);
    EXPECT_EQ(r.findings[2].detail, QStringLiteral("TH/NTH"));
    EXPECT_FALSE(r.findings[2].value);
}

TEST(DrillChecks, SlotsShorterThanTwiceTheirWidthAndSlotsNearHolesAndSlots)
{
    HandBoard h = cleanBoard();
    h.row(3, 1.0);
    h.slot({{{30, 30}}, {{30.5, 30}}}, 3); // 1.5 mm end to end, 1 mm wide: 1.5
    h.slot({{{30, 34}}, {{31, 34}}}, 3); // 2 mm: the ratio itself
    h.slot({{{30, 38}}, {{30.5, 38}}, {{30.5, 38.5}}}, 3); // a routed path of two pieces: 2.0
    h.hole(32, 34, 0); // 0.1 mm from the slot's round end, edge to edge
    h.slot({{{20, 20}}, {{22, 20}}}, 2); // the clean board's slot again
    const CheckReport r = h.check();
    ASSERT_EQ(kinds(r), "stacked spacing slot-ratio ") << kinds(r);
    EXPECT_EQ(r.findings[0].rows, (std::array<int, 2> {2, 2}));
    EXPECT_DOUBLE_EQ(*r.findings[1].value, 0.1);
    EXPECT_EQ(r.findings[1].rows, (std::array<int, 2> {3, 0}));
    EXPECT_DOUBLE_EQ(*r.findings[2].value, 1.5);
    EXPECT_DOUBLE_EQ(*r.findings[2].limit, 2.0);
    EXPECT_EQ(*r.findings[2].at, (std::array<double, 2> {30, 30}));
}

TEST(DrillChecks, AMillionHolesAtOnePlaceStopAtTheLimitAndSaySo)
{
    HandBoard h;
    h.row(0, 0.3);
    h.b.holes.assign(1'000'000, {10, 10, 0.15f, 0, 0});
    h.use(0, 10, 10);
    QElapsedTimer t;
    t.start();
    const CheckReport r = h.check();
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_TRUE(r.truncated);
    EXPECT_EQ(qint64(r.findings.size()), kMaxFindings);
    EXPECT_EQ(r.counts[size_t(CheckKind::Stacked)], kMaxFindings);
}

TEST(DrillChecks, TheListsNameTheirRowsAndSaveAsCsv)
{
    HandBoard h = cleanBoard();
    h.hole(20, 30, 0).hole(20.7, 30, 0);
    h.b.rows[2].toolKind = QStringLiteral("TH");
    h.b.rows[2].fileKind = QStringLiteral("NTH");
    HoleTable table;
    table.row(0).dcode = QStringLiteral("T1");
    table.row(2).dcode = QStringLiteral("=T3"); // a file's text kept from running as a formula
    const CheckReport r = h.check();
    ASSERT_EQ(r.findings.size(), 2u);
    EXPECT_EQ(findingRows(r.findings[0], table), QStringLiteral("行1 T1 / 行1 T1"));
    EXPECT_EQ(QString::fromUtf8(findingsCsv(r, table, {QStringLiteral("a,b.drl")}).mid(3)),
        QStringLiteral("種類,行,Dコード,ファイル,X,Y,X2,Y2,値,限度\r\n"
                       "重なった穴,1/1,T1/T1,\"a,b.drl/a,b.drl\",20.000,30.000,20.700,30.000,-0.100,0.000\r\n"
                       "メッキの指定が違う,3,'=T3,\"a,b.drl\",20.000,20.000,,,TH/NTH,\r\n"));
}

TEST(DrillChecks, ABoardOfFilesIsCheckedAsTheTableNamesItsRows)
{
    // The test file has a fault of each kind at a known place; its outline is 50 x 50 mm.
    Board board;
    HoleTable table;
    BoardExtent extent;
    readBoardFile(
        board, ReaderKind::Excellon, test::dataPath("checks-faults.drl"), table, extent, MessageSink());
    readBoardOutline(board, test::dataPath("checks-outline.gbr"), table, extent, MessageSink());
    const CheckReport r = runChecks(checkedBoard(board, table, extent), CheckLimits());
    ASSERT_EQ(kinds(r), "stacked overlap outline-cut spacing edge min-drill slot-ratio plating ");
    EXPECT_EQ(r.findings[2].rows[0], 0);
    EXPECT_DOUBLE_EQ(*r.findings[2].value, -0.2);
    EXPECT_EQ(*r.findings[2].at, (std::array<double, 2> {20, 0.2}));
    EXPECT_EQ(r.findings[7].detail, QStringLiteral("TH/NTH")); // T1 plated in a non-plated file
    EXPECT_EQ(r.findings[7].files[0], 0);

    // A diameter changed in the table: checked with it, and told against the file's own.
    table.row(2).diameter = QStringLiteral("1.2");
    const CheckReport changed = runChecks(checkedBoard(board, table, extent), CheckLimits());
    ASSERT_EQ(changed.counts[size_t(CheckKind::ToolSize)], 1);
    const auto toolSize = std::find_if(changed.findings.begin(), changed.findings.end(),
        [](const Finding& f) { return f.kind == CheckKind::ToolSize; });
    EXPECT_EQ(toolSize->rows[0], 2);
    EXPECT_DOUBLE_EQ(*toolSize->value, 1.2);
    EXPECT_DOUBLE_EQ(*toolSize->limit, 1.0);
    const auto slot = std::find_if(changed.findings.begin(), changed.findings.end(),
        [](const Finding& f) { return f.kind == CheckKind::SlotRatio; });
    EXPECT_NEAR(*slot->value, 1.7 / 1.2, 1e-6);
}

TEST(DrillChecks, AGerberFilesLinesAreItsOutlineAndItsOutlineRowIsNotDrilled)
{
    // The sample board with its settings: D10 draws the outline; two holes overlap larger ones.
    Board board;
    HoleTable table;
    BoardExtent extent;
    readBoardFile(board, ReaderKind::Standard, test::example("board.gbr"), table, extent, MessageSink());
    const CheckedBoard bare = checkedBoard(board, table, extent);
    EXPECT_FALSE(bare.outline.empty());
    EXPECT_TRUE(bare.slotPieces.empty());
    EXPECT_EQ(rowsWithoutDiameter(bare, table).first(), QStringLiteral("D11"));
    EXPECT_TRUE(runChecks(bare, CheckLimits()).findings.empty());

    QString productCode;
    ASSERT_TRUE(loadSettings(test::example("KIVOTREK.INI"), table, productCode, nullptr));
    const CheckedBoard set = checkedBoard(board, table, extent);
    EXPECT_TRUE(rowsWithoutDiameter(set, table).isEmpty());
    EXPECT_FALSE(set.rows[0].used); // D10, of the outline kind
    const CheckReport r = runChecks(set, CheckLimits());
    ASSERT_EQ(kinds(r), "overlap overlap ");
    EXPECT_EQ(r.findings[0].rows, (std::array<int, 2> {1, 8}));
    EXPECT_DOUBLE_EQ(*r.findings[0].value, -0.3);
}

TEST(DrillChecks, AHoleFarAwayDoesNotMakeTheOthersSlow)
{
    // 200,000 clean holes and one a million kilometres off (a damaged number): every pair of
    // the others would be 2e10 comparisons.
    HandBoard h;
    h.row(0, 0.3);
    for (int i = 0; i < 200'000; ++i)
        h.hole(1.0 * (i % 500), 1.0 * (i / 500), 0);
    h.hole(1e12, 1e12, 0);
    h.rectangle(-1, -1, 501, 401);
    QElapsedTimer t;
    t.start();
    const CheckReport r = h.check();
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_EQ(r.total(), 0) << kinds(r);

    // Beyond the grid's last cells everything is noted in them: a 0.5 mm slot 0.5 mm from the far
    // hole, edge to edge 0.1 mm, is still found.
    h.row(1, 0.5).slot({{{1e12 - 2, 1e12 + 0.5}}, {{1e12 + 2, 1e12 + 0.5}}}, 1);
    const CheckReport far = h.check();
    ASSERT_EQ(kinds(far), "spacing ");
    EXPECT_EQ(far.findings[0].rows, (std::array<int, 2> {1, 0}));
    EXPECT_NEAR(*far.findings[0].value, 0.1, 1e-3);
}

TEST(DrillChecks, LongDiagonalSlotsAreCheckedAlongThemNotOverTheirBox)
{
    // 1,000 routed cuts of 0.5 mm, each 700 mm corner to corner and 1.6 mm from the next edge to
    // edge: each one's box holds nearly all the others, in thousands of cells each. One more cut
    // runs 0.1 mm beside the first, and a hole sits 0.1 mm beside the last.
    HandBoard h;
    h.row(0, 0.5).row(1, 0.5);
    for (int k = 0; k < 1000; ++k)
        h.slot({{{0, 3.0 * k}}, {{500, 500 + 3.0 * k}}}, 0);
    const double beside = 0.6 * std::sqrt(2.0); // 0.6 mm between the centre lines
    h.slot({{{beside, 0}}, {{500 + beside, 500}}}, 0);
    h.hole(250 + 0.6 / std::sqrt(2.0), 250 + 2997 - 0.6 / std::sqrt(2.0), 1);
    QElapsedTimer t;
    t.start();
    const CheckReport r = h.check();
    EXPECT_LT(t.elapsed(), 10000);
    ASSERT_EQ(kinds(r), "spacing spacing ") << kinds(r);
    EXPECT_NEAR(*r.findings[0].value, 0.1, 1e-6);
    EXPECT_EQ(r.findings[0].rows, (std::array<int, 2> {0, 0}));
    EXPECT_NEAR(*r.findings[1].value, 0.1, 1e-6);
    EXPECT_EQ(r.findings[1].rows, (std::array<int, 2> {0, 1}));
}

TEST(DrillChecks, SlotsPiledOnOneAnotherStopWithinABudgetAndSaySo)
{
    // Routed slots of 100 pieces of 0.01 mm, 1 um apart (damaged data: one route repeated, a
    // text drawn as slots at a wrong scale): every piece is near every piece of the others.
    const auto piled = [](int count) {
        HandBoard h;
        h.row(0, 1.0);
        for (int k = 0; k < count; ++k) {
            const double y = 10 + 0.001 * k;
            h.use(0, 10, y);
            for (int i = 0; i < 100; ++i)
                h.b.slotPieces.push_back({10 + 0.01 * i, y, 10 + 0.01 * (i + 1), y, 0.5f, 0, 0, h.nextPath});
            ++h.nextPath;
        }
        return h;
    };
    // Ten of them: each two overlap, once per two slots, by a millimetre less their distance.
    const CheckReport few = piled(10).check();
    EXPECT_FALSE(few.crowded);
    EXPECT_FALSE(few.truncated);
    ASSERT_EQ(few.counts[size_t(CheckKind::Overlap)], 45) << kinds(few);
    EXPECT_EQ(few.total(), 45);
    EXPECT_NEAR(*few.findings[0].value, -0.999, 1e-6);

    // Six hundred: 60,000 pieces, 3.6 billion pairs of them. The checks stop and say so; what
    // they list is right as far as it goes.
    QElapsedTimer t;
    t.start();
    const CheckReport many = piled(600).check();
    EXPECT_LT(t.elapsed(), 20000);
    EXPECT_TRUE(many.crowded);
    EXPECT_TRUE(many.truncated);
    EXPECT_LT(many.total(), 600 * 599 / 2);
    for (const Finding& f : many.findings) {
        ASSERT_EQ(f.kind, CheckKind::Overlap);
        ASSERT_LT(*f.value, -0.4);
    }
}

TEST(DrillChecks, LinesPastTheGridsNotesAreStillCheckedAgainstEveryHole)
{
    // 10,000 outline lines 1.9 m long and 2 mm apart would be 19 million cells of the grid: past
    // 16.7 million the last ones are kept apart and looked at by every query. A 0.5 mm hole lies
    // 0.35 mm from the last line (0.1 mm edge to edge), another midway between two of the first.
    HandBoard h;
    h.row(0, 0.5);
    for (int k = 0; k < 10000; ++k)
        h.b.outline.push_back({0, 2.0 * k, 1900, 2.0 * k});
    h.hole(950, 2.0 * 9999 - 0.35, 0).hole(950, 3, 0);
    const CheckReport r = h.check();
    EXPECT_FALSE(r.crowded);
    ASSERT_EQ(kinds(r), "edge ");
    EXPECT_NEAR(*r.findings[0].value, 0.1, 1e-6);
    EXPECT_EQ(*r.findings[0].other, (std::array<double, 2> {950, 2.0 * 9999}));
}

TEST(DrillChecks, TheEdgeIsMeasuredAlikeWhateverPiecesTheOutlineIsDrawnIn)
{
    // CAD programs and arcs write an outline's edge in pieces shorter than a hole: a hole the
    // edge runs through is cut by it, whatever the pieces.
    for (const double piece : {0.0, 0.05, 0.2, 0.5}) {
        SCOPED_TRACE(piece);
        HandBoard h;
        h.row(0, 1.0).path({{{0, 0}}, {{50, 0}}, {{50, 50}}, {{0, 50}}, {{0, 0}}}, piece);
        h.hole(25, 0, 0); // centred on the bottom edge
        h.hole(10.13, 0.6, 0); // 0.1 mm from it, edge to edge
        h.hole(49.4, 30.07, 0); // 0.1 mm from the right edge
        const CheckReport r = h.check();
        ASSERT_EQ(kinds(r), "outline-cut edge edge ");
        EXPECT_NEAR(*r.findings[0].value, -0.5, 1e-6);
        EXPECT_NEAR((*r.findings[0].other)[0], 25, 1e-6);
        EXPECT_NEAR((*r.findings[0].other)[1], 0, 1e-6);
        EXPECT_NEAR(*r.findings[1].value, 0.1, 1e-6);
        EXPECT_EQ(*r.findings[1].at, (std::array<double, 2> {10.13, 0.6}));
        EXPECT_NEAR(*r.findings[2].value, 0.1, 1e-6);

        // A house that allows holes right at the edge still hears of the one cut.
        CheckLimits atTheEdge;
        atTheEdge.minEdge = 0;
        const CheckReport cut = h.check(atTheEdge);
        ASSERT_EQ(kinds(cut), "outline-cut ");
        EXPECT_NEAR(*cut.findings[0].value, -0.5, 1e-6);
    }
}

TEST(DrillChecks, ACutOutRoundAHoleOrSlotIsItsOwnButNoOpenArcOrPieceWithinIt)
{
    HandBoard h;
    h.row(0, 3.2).row(1, 1.0).row(2, 1.0).path(
        {{{-25, -25}}, {{25, -25}}, {{25, 25}}, {{-25, 25}}, {{-25, -25}}});
    // Cut-outs, drilled away with their holes:
    // a circle of 1,024 pieces whose points are summed one after the other, as incremental
    // notation sums them: its last end misses its first by rounding;
    std::array<double, 2> at {1.6, 0};
    for (int i = 0; i < 1024; ++i) {
        const double a = 2 * M_PI * i / 1024, c = 2 * M_PI * (i + 1) / 1024;
        const std::array<double, 2> next {
            at[0] + 1.6 * (std::cos(c) - std::cos(a)), at[1] + 1.6 * (std::sin(c) - std::sin(a))};
        h.b.outline.push_back({at[0], at[1], next[0], next[1]});
        at = next;
    }
    ASSERT_NE(at, (std::array<double, 2> {1.6, 0}));
    h.hole(0, 0, 0);
    // a square whose last end misses its first by a rounding that crosses from one nanometre to
    // the next;
    const double x = -16.1000005;
    double missed = x;
    while (std::round(missed * 1e6) == std::round(x * 1e6))
        missed = std::nextafter(missed, 0.0);
    ASSERT_LT(missed - x, 1e-13);
    h.b.outline.push_back({missed, -1.1, x + 2.2, -1.1});
    h.path({{{x + 2.2, -1.1}}, {{x + 2.2, 1.1}}, {{x, 1.1}}, {{x, -1.1}}}).hole(-15, 0, 0);
    h.circle(10, 10, 1.6).hole(10, 10, 0); // 72 pieces
    // an obround round a straight slot, its pieces drawn in no particular order;
    h.slot({{{-10, 10}}, {{-7, 10}}}, 1);
    h.arc(-10, 10, 0.51, M_PI / 2, 3 * M_PI / 2, 18).path({{{-7, 10.51}}, {{-10, 10.51}}});
    h.arc(-7, 10, 0.51, -M_PI / 2, M_PI / 2, 18).path({{{-10, 9.49}}, {{-7, 9.49}}});
    // a closed contour within a routed slot of two pieces, one line of it across the bend.
    h.slot({{{5, 15}}, {{9, 15}}, {{9, 19}}}, 2);
    h.path({{{5, 14.7}}, {{9.3, 14.7}}, {{9.3, 16.0}}, {{8.2, 15.3}}, {{5, 15.3}}, {{5, 14.7}}});
    EXPECT_TRUE(h.check().findings.empty()) << kinds(h.check());

    // Not their own:
    h.hole(10, -10, 0).arc(10, -10, 1.5, 0, M_PI, 36); // an open arc within a hole
    h.hole(-10, -10, 1).path({{{-10.1, -10}}, {{-9.9, -10}}}); // a piece of line within one
    h.hole(0, -10, 1).circle(0.5, -10, 0.3); // a closed circle half within a hole
    // a closed contour whose ends all lie within the slot, one line of it cutting across the
    // inside of the bend, outside the slot.
    h.slot({{{15, 15}}, {{19, 15}}, {{19, 19}}}, 2);
    h.path({{{15, 14.7}}, {{19.3, 14.7}}, {{19.3, 16.2}}, {{18.7, 16.2}}, {{18.2, 15.3}}, {{15, 15.3}},
        {{15, 14.7}}});
    const CheckReport r = h.check();
    ASSERT_EQ(kinds(r), "outline-cut outline-cut outline-cut outline-cut ");
    EXPECT_EQ(*r.findings[0].at, (std::array<double, 2> {10, -10}));
    EXPECT_NEAR(*r.findings[0].value, 1.5 * std::cos(M_PI / 72) - 1.6, 1e-6); // the arc's nearest piece
    EXPECT_EQ(*r.findings[1].at, (std::array<double, 2> {-10, -10}));
    EXPECT_NEAR(*r.findings[1].value, -0.5, 1e-6);
    EXPECT_EQ(*r.findings[2].at, (std::array<double, 2> {0, -10}));
    EXPECT_NEAR(*r.findings[2].value, -0.3, 2e-3); // the circle's pieces lie a little inside it
    EXPECT_EQ(*r.findings[3].at, (std::array<double, 2> {15, 15}));
    EXPECT_NEAR(*r.findings[3].value, -0.5, 1e-6); // its last line crosses the slot's start
}

TEST(DrillChecks, ABoardRoutedOutAlongItsOutlineIsTheRoutesOwnContour)
{
    // A 100 x 100 mm board routed out by a 2 mm cutter whose centre runs 1 mm outside the
    // outline, in 0.05 mm pieces: the outline is the route's own edge, whether drawn as four lines
    // or in 8,000 pieces. Each line of the outline is looked for along the route, not in
    // all of its 8,000 pieces. A hole near the outline is still measured to it.
    for (const double piece : {0.0, 0.05}) {
        SCOPED_TRACE(piece);
        HandBoard h;
        h.row(0, 2.0).row(1, 1.0).path({{{0, 0}}, {{100, 0}}, {{100, 100}}, {{0, 100}}, {{0, 0}}}, piece);
        h.use(0, -1, -1);
        const std::array<std::array<double, 2>, 5> route {
            {{{-1, -1}}, {{101, -1}}, {{101, 101}}, {{-1, 101}}, {{-1, -1}}}};
        for (size_t k = 0; k + 1 < route.size(); ++k) {
            const auto& p = route[k];
            const auto& q = route[k + 1];
            for (int i = 0; i < 2040; ++i) {
                const double s = i / 2040.0, t = (i + 1) / 2040.0;
                h.b.slotPieces.push_back({p[0] + s * (q[0] - p[0]), p[1] + s * (q[1] - p[1]),
                    p[0] + t * (q[0] - p[0]), p[1] + t * (q[1] - p[1]), 1.0f, 0, 0, 0});
            }
        }
        h.hole(50, 0.6, 1); // 0.1 mm from the outline, and from the route
        QElapsedTimer t;
        t.start();
        const CheckReport r = h.check();
        EXPECT_LT(t.elapsed(), 5000);
        EXPECT_FALSE(r.crowded);
        ASSERT_EQ(kinds(r), "spacing edge ");
        EXPECT_EQ(r.findings[1].rows[0], 1);
        EXPECT_NEAR(*r.findings[1].value, 0.1, 1e-6);
    }
}

TEST(DrillChecks, AHoleOnACircleOfArcsIsMeasuredToTheTrueCircle)
{
    // A round board of 5 mm radius about (20, 20) and a mounting hole's cut-out of 1.6 mm about
    // the same centre, each one full circle of a Gerber X2 outline, which the reader draws in
    // pieces within 5 um of the arc (a thousandth of its radius for a larger one). A 2 mm hole
    // centred on the board's circle, a 1 mm hole 0.1 mm inside it and a 3.2 mm mounting hole.
    const double tolerance = 0.005, rounding = 0.001; // the arcs' pieces, the drill file's numbers
    for (const QByteArray way : {"G02", "G03"}) {
        SCOPED_TRACE(way.constData());
        test::Scratch scratch;
        const QString outline = scratch.write(QStringLiteral("board.gko"),
            "%TF.FileFunction,Profile,NP*%\n%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.100*%\nD10*\nG75*\n"
            "X25000000Y20000000D02*\n"
                + way + "X25000000Y20000000I-5000000J0D01*\nX21600000Y20000000D02*\n" + way
                + "X21600000Y20000000I-1600000J0D01*\nM02*\n");
        const auto at = [](double radius, double degrees) {
            const double a = degrees * M_PI / 180;
            return "X" + QByteArray::number(20 + radius * std::cos(a), 'f', 3) + "Y"
                + QByteArray::number(20 + radius * std::sin(a), 'f', 3) + "\n";
        };
        const QString drills = scratch.write(QStringLiteral("board.drl"),
            "M48\nMETRIC\nT1C2.000\nT2C1.000\nT3C3.200\n%\nG90\nG05\nT1\n" + at(5, 40) + "T2\n" + at(4.4, 200)
                + "T3\nX20.000Y20.000\nM30\n");
        Board board;
        HoleTable table;
        BoardExtent extent;
        readBoardFile(board, ReaderKind::Excellon, drills, table, extent, MessageSink());
        readBoardOutline(board, outline, table, extent, MessageSink());
        const CheckedBoard checked = checkedBoard(board, table, extent);
        ASSERT_GT(checked.outline.size(), 100u);
        const CheckReport r = runChecks(checked, CheckLimits());
        ASSERT_EQ(kinds(r), "outline-cut edge ");
        EXPECT_EQ(r.findings[0].rows[0], 0);
        EXPECT_NEAR(*r.findings[0].value, -1.0, tolerance + rounding);
        EXPECT_EQ(r.findings[1].rows[0], 1);
        EXPECT_NEAR(*r.findings[1].value, 0.1, tolerance + rounding);
    }
}

namespace {
// Every finding, count and ending of a report, each number to the bit.
std::string reportText(const CheckReport& r)
{
    std::string s;
    char line[320];
    for (const Finding& f : r.findings) {
        const auto at = f.at.value_or(std::array<double, 2> {-1, -1});
        const auto other = f.other.value_or(std::array<double, 2> {-1, -1});
        std::snprintf(line, sizeof line, "%s %d/%d %d/%d %.17g,%.17g %.17g,%.17g %.17g %.17g %s\n",
            checkName(f.kind), f.rows[0], f.rows[1], f.files[0], f.files[1], at[0], at[1], other[0], other[1],
            f.value.value_or(-1), f.limit.value_or(-1), qPrintable(f.detail));
        s += line;
    }
    for (const qint64 c : r.counts)
        s += std::to_string(c) + ' ';
    return s + (r.truncated ? "truncated " : "") + (r.crowded ? "crowded" : "");
}

// The same board with its holes given by hand, in millimetres, as the checks read them.
CheckedBoard byHand(const CheckedBoard& read)
{
    CheckedBoard hand;
    hand.rows = read.rows;
    hand.slotPieces = read.slotPieces;
    hand.outline = read.outline;
    hand.files = read.files;
    read.holes.forEach([&hand](size_t, const CheckedHole& h) {
        hand.holes.push_back(h);
        return true;
    });
    return hand;
}
} // namespace

TEST(DrillChecks, HolesReadWhereTheBoardHoldsThemAreCheckedAsHolesGivenByHand)
{
    // Two drill files (a tool of the second past what the table shows the first has is its own
    // row), 0.8 mm holes 1 mm apart with a few nudged closer, stacked or overlapped by a 0.3 mm
    // one, a hole beyond the outline, and, once, one 2 m away: the grid's cells then are held
    // one by one instead of over their box.
    test::Scratch scratch;
    for (const bool far : {false, true}) {
        QByteArray plated = "M48\nMETRIC\nT1C0.800\nT2C0.300\n%\nT1\n";
        for (int i = 0; i < 400; ++i) {
            const double nudge = i % 37 == 0 ? 0.07 : 0.0;
            plated += "X" + QByteArray::number(5 + i % 20 + nudge, 'f', 3) + "Y"
                + QByteArray::number(5 + i / 20, 'f', 3) + "\n";
            if (i % 53 == 0)
                plated += "X" + QByteArray::number(5 + i % 20, 'f', 3) + "Y"
                    + QByteArray::number(5 + i / 20 + 0.004, 'f', 3) + "\n";
        }
        plated += "X49.900Y25.000\n";
        if (far)
            plated += "X2000.000Y2000.000\n";
        plated += "T2\nX5.400Y5.000\nX12.000Y9.500\nM30\n";
        QByteArray unplated = "M48\nMETRIC\nT1C1.000\n%\nT1\nX5.000Y30.000\nX5.500Y30.000\nM30\n";
        Board board;
        HoleTable table;
        BoardExtent extent;
        readBoardFile(board, ReaderKind::Excellon, scratch.write(QStringLiteral("a-PTH.drl"), plated), table,
            extent, MessageSink());
        addBoardFile(board, ReaderKind::Excellon, scratch.write(QStringLiteral("a-NPTH.drl"), unplated),
            table, extent, MessageSink());
        readBoardOutline(board, test::dataPath("checks-outline.gbr"), table, extent, MessageSink());
        const CheckedBoard read = checkedBoard(board, table, extent);
        ASSERT_EQ(read.holes.kept(), size_t(400 + 8 + 1 + (far ? 1 : 0) + 2 + 2));
        const CheckReport r = runChecks(read, CheckLimits());
        EXPECT_GT(r.counts[size_t(CheckKind::Stacked)], 0);
        EXPECT_GT(r.counts[size_t(CheckKind::Spacing)], 0);
        EXPECT_GT(r.counts[size_t(CheckKind::Overlap)], 0);
        EXPECT_GT(r.counts[size_t(CheckKind::OutlineCut)], 0);
        EXPECT_EQ(reportText(r), reportText(runChecks(byHand(read), CheckLimits()))) << far;
    }
}

TEST(DrillChecks, AGerberFilesHolesReplayedFromItsStepsAreCheckedAsHolesGivenByHand)
{
    // A standard file (0.001 mm): its outline drawn with D10, 0.8 mm flashes of D11 1 mm apart
    // with some closer, and 500 flashes of D12 on one spot: 124,750 stacked pairs, past the
    // most findings a check lists, so that which are listed depends on the order the holes are
    // read in.
    QByteArray gerber = "G90*\nG54D10*\nX0Y0D02*\nX50000Y0D01*\nX50000Y50000D01*\nX0Y50000D01*\nX0Y0D01*\n"
                        "G54D11*\n";
    for (int i = 0; i < 300; ++i)
        gerber += "X" + QByteArray::number(5000 + 1000 * (i % 20) + (i % 29 == 0 ? 60 : 0)) + "Y"
            + QByteArray::number(5000 + 1000 * (i / 20)) + "D03*\n";
    gerber += "G54D12*\n";
    for (int i = 0; i < 500; ++i)
        gerber += QByteArray(i % 2 ? "X40000Y40000D03*\n" : "X40001Y40000D03*\n");
    gerber += "G54D11*\nX49800Y25000D03*\nM02*\n";
    test::Scratch scratch;
    Board board;
    HoleTable table;
    BoardExtent extent;
    readBoardFile(board, ReaderKind::Standard, scratch.write(QStringLiteral("board.gbr"), gerber), table,
        extent, MessageSink());
    for (int r = 0; r < HoleTable::kRows; ++r) {
        if (table.row(r).dcode == QStringLiteral("D11"))
            table.row(r).diameter = QStringLiteral("0.8");
        if (table.row(r).dcode == QStringLiteral("D12"))
            table.row(r).diameter = QStringLiteral("0.3");
    }
    const CheckedBoard read = checkedBoard(board, table, extent);
    ASSERT_TRUE(read.holes.replayed());
    ASSERT_EQ(read.holes.kept(), size_t(801));
    const CheckReport r = runChecks(read, CheckLimits());
    EXPECT_TRUE(r.truncated);
    EXPECT_GT(r.counts[size_t(CheckKind::Spacing)], 0);
    EXPECT_EQ(reportText(r), reportText(runChecks(byHand(read), CheckLimits())));
}
