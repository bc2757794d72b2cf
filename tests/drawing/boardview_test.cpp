// The board view's core: the transform, the held board and its grid, hit testing, and the
// picture (true sizes, the highlight, the overview of a dense board, device pixel ratios).

#include "board/board.h"
#include "drawing/boardview.h"
#include "drawing/heldboard.h"
#include "testutil.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
void expectNear(const QPointF& a, const QPointF& b, double tolerance = 1e-9)
{
    EXPECT_NEAR(a.x(), b.x(), tolerance);
    EXPECT_NEAR(a.y(), b.y(), tolerance);
}

// A table of two rows: T1 0.8 mm red, T2 3.0 mm blue.
HoleTable twoRows()
{
    HoleTable t;
    t.row(0).dcode = QStringLiteral("T1");
    t.row(0).diameter = QStringLiteral("0.8");
    t.row(0).color = 0x0000FF; // red (the colour's hex is blue-green-red)
    t.row(1).dcode = QStringLiteral("T2");
    t.row(1).diameter = QStringLiteral("3.0");
    t.row(1).color = 0xFF0000; // blue
    return t;
}

HeldBoard board(std::initializer_list<HeldBoard::Hole> holes)
{
    HeldBoard b;
    b.holes = holes;
    b.frame = QRectF(0, 0, 100, 80);
    b.files << QStringLiteral("board.drl");
    return b;
}
} // namespace

TEST(ViewTransform, ZoomKeepsThePointFitShowsTheFrame)
{
    ViewTransform t;
    const QRectF area(0, 60, 800, 540);
    t.fit(QRectF(-10, -20, 100, 80), area);
    // The whole frame inside the area, its centre at the area's centre.
    const QPointF a = t.toView(-10, -20), b = t.toView(90, 60);
    EXPECT_TRUE(area.contains(a) && area.contains(b))
        << a.x() << "," << a.y() << " " << b.x() << "," << b.y();
    expectNear(t.toView(40, 20), area.center());
    EXPECT_LT(a.y(), area.bottom()); // y grows up on the board, down on the screen
    EXPECT_GT(a.y(), b.y());
    // Zoom about a point: the board point under it stays.
    const QPointF cursor(123, 456);
    const QPointF held = t.toBoard(cursor);
    t.zoomAbout(cursor, 3.5);
    expectNear(t.toView(held.x(), held.y()), cursor, 1e-6);
    t.zoomAbout(cursor, 1 / 3.5);
    expectNear(t.toBoard(cursor), held, 1e-9);
    // A pan moves every point by the same pixels; toBoard undoes toView.
    const QPointF before = t.toView(5, 5);
    t.pan(QPointF(30, -12));
    expectNear(t.toView(5, 5), before + QPointF(30, -12), 1e-9);
    expectNear(t.toBoard(t.toView(17.25, -3.5)), QPointF(17.25, -3.5), 1e-9);
    // The visible rectangle is the area's, in millimetres.
    const QRectF v = t.visible(area);
    expectNear(t.toView(v.left(), v.bottom()), area.topLeft(), 1e-6);
}

TEST(ViewTransform, AScaleBarOfOneTwoOrFive)
{
    EXPECT_EQ(scaleBarLength(10, 120), 10.0);
    EXPECT_EQ(scaleBarLength(3.7, 120), 20.0); // 32 mm wanted
    EXPECT_EQ(scaleBarLength(200, 120), 0.5);
    EXPECT_EQ(scaleBarLength(0.04, 120), 2000.0);
    EXPECT_EQ(scaleBarLength(0, 120), 0.0);
}

TEST(HeldBoardGrid, FindsEveryHoleOfARegionAndNoOther)
{
    HeldBoard b;
    b.frame = QRectF(0, 0, 100, 50);
    QRandomGenerator random(7);
    for (int i = 0; i < 20000; ++i)
        b.holes.push_back({float(random.bounded(100.0)), float(random.bounded(50.0)), 0, 0});
    const HoleGrid grid(b);
    for (const QRectF& area :
        {QRectF(10, 10, 5, 5), QRectF(-5, -5, 200, 200), QRectF(99, 49, 3, 3), QRectF(40, 0, 0.5, 50)}) {
        std::vector<uint32_t> found;
        grid.forEachIn(b, area, [&](uint32_t i, const HeldBoard::Hole& h) {
            EXPECT_EQ(h.x, b.holes[i].x);
            found.push_back(i);
            return true;
        });
        size_t inside = 0;
        for (size_t i = 0; i < b.holes.size(); ++i)
            inside += area.contains(QPointF(b.holes[i].x, b.holes[i].y)) ? 1 : 0;
        // The cells of the region hold every hole inside it (and their neighbours in those cells).
        size_t foundInside = 0;
        for (const uint32_t i : found)
            foundInside += area.contains(QPointF(b.holes[i].x, b.holes[i].y)) ? 1 : 0;
        EXPECT_EQ(foundInside, inside);
        EXPECT_EQ(qint64(found.size()), grid.countIn(area));
        EXPECT_LE(found.size(), inside + 2000); // a few cells more, never the whole board
    }
}

TEST(HeldBoardGrid, TheNearestHoleWithinItsRadiusThenASlotByItsSegment)
{
    const HoleTable table = twoRows();
    HeldBoard b = board({{10, 10, 0, 0}, {11, 10, 0, 0}, {30, 30, 1, 0}, {60, 60, HeldBoard::kNoRow, 0}});
    b.slotHoles.push_back({50, 10, 60, 10, 1, 0, false});
    const HoleGrid grid(b);
    // Between two 0.8 mm holes 1 mm apart: the nearer.
    auto hit = markAt(b, grid, table, 10.3, 10, 0);
    ASSERT_TRUE(hit);
    EXPECT_FALSE(hit->slot);
    EXPECT_EQ(hit->index, 0u);
    hit = markAt(b, grid, table, 10.7, 10.1, 0);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->index, 1u);
    // Within a 3 mm hole's radius, not beyond.
    EXPECT_TRUE(markAt(b, grid, table, 31.4, 30, 0));
    EXPECT_FALSE(markAt(b, grid, table, 31.6, 30, 0));
    // A hole of no row is found within the minimum radius the view gives it.
    EXPECT_FALSE(markAt(b, grid, table, 60.1, 60, 0));
    EXPECT_TRUE(markAt(b, grid, table, 60.1, 60, 0.2));
    // A slot by its segment, at its width: the nearest point on it.
    hit = markAt(b, grid, table, 55, 11.2, 0);
    ASSERT_TRUE(hit);
    EXPECT_TRUE(hit->slot);
    EXPECT_DOUBLE_EQ(hit->x, 55);
    EXPECT_DOUBLE_EQ(hit->y, 10);
    EXPECT_FALSE(markAt(b, grid, table, 55, 11.6, 0));
    EXPECT_FALSE(markAt(b, grid, table, 62, 10, 0));
}

TEST(HeldBoardGrid, ABoardOfFilesIsHeldInItsFrameAndAGerberFileAsItsDrawingSeesIt)
{
    // The sample board's drill files and outline.
    Board drills;
    HoleTable table;
    BoardExtent extent;
    readBoardFile(drills, ReaderKind::Excellon, test::example("board-PTH.drl"), table, extent, {});
    addBoardFile(drills, ReaderKind::Excellon, test::example("board-NPTH.drl"), table, extent, {});
    readBoardOutline(drills, test::example("board-Edge_Cuts.gbr"), table, extent, {});
    const HeldBoard held = holdBoard(drills, table, extent);
    EXPECT_EQ(held.holes.size(), 165u);
    EXPECT_EQ(held.files, QStringList({QStringLiteral("board-PTH.drl"), QStringLiteral("board-NPTH.drl")}));
    EXPECT_FALSE(held.outline.empty());
    EXPECT_NEAR(held.frame.width(), 100.0, 0.01);
    EXPECT_NEAR(held.frame.height(), 80.0, 0.01);
    EXPECT_EQ(held.holes.back().file, 1);
    EXPECT_EQ(held.holes.back().row, 9 + 2); // the non-plated file's third tool

    // The standard file of the same board: flashes in millimetres, its outline row's moves.
    Board gerber;
    HoleTable t;
    BoardExtent e;
    readBoardFile(gerber, ReaderKind::Standard, test::example("board.gbr"), t, e, {});
    const HeldBoard g = holdBoard(gerber, t, e);
    EXPECT_EQ(g.holes.size(), 165u);
    EXPECT_EQ(g.slotHoles.size(), 4u); // the outline's four sides, drawn by D10
    EXPECT_TRUE(g.slotHoles[1].joined);
    EXPECT_NEAR(g.frame.width(), 100.0, 0.01);
    EXPECT_EQ(g.ending.ending, DrawResult::Ending::Complete);
}

namespace {
// Every hole the grid finds in the area whose centre lies in it, as text, against every hole
// of the board that lies in it.
std::pair<QStringList, QStringList> foundAndInside(
    const HeldBoard& b, const HoleGrid& grid, const QRectF& area)
{
    const auto text = [](const HeldBoard::Hole& h) {
        return QStringLiteral("%1,%2 %3/%4").arg(h.x, 0, 'f', 6).arg(h.y, 0, 'f', 6).arg(h.row).arg(h.file);
    };
    QStringList found, inside;
    grid.forEachIn(b, area, [&](uint32_t, const HeldBoard::Hole& h) {
        if (area.contains(QPointF(h.x, h.y)))
            found << text(h);
        return true;
    });
    HeldBoard::Hole h;
    for (size_t i = 0; i < b.holes.size(); ++i) {
        if (b.holes.at(i, h) && area.contains(QPointF(h.x, h.y)))
            inside << text(h);
    }
    found.sort();
    inside.sort();
    return {found, inside};
}
} // namespace

TEST(HeldBoardGrid, TheBoardsOwnHolesAreFoundWhereTheyLieAndAGerberFilesAreHeldOnce)
{
    // The sample board's drill files, read where the board holds them; its standard file,
    // replayed once into the grid's order.
    Board drills;
    HoleTable table;
    BoardExtent extent;
    readBoardFile(drills, ReaderKind::Excellon, test::example("board-PTH.drl"), table, extent, {});
    addBoardFile(drills, ReaderKind::Excellon, test::example("board-NPTH.drl"), table, extent, {});
    Board gerber;
    HoleTable t;
    BoardExtent e;
    readBoardFile(gerber, ReaderKind::Standard, test::example("board.gbr"), t, e, {});
    const HeldBoard held = holdBoard(drills, table, extent);
    const HeldBoard replayed = holdBoard(gerber, t, e);
    const HoleGrid grid(held), replayedGrid(replayed);
    // The same holes either way (the standard file is the same board), from their leftmost.
    const auto across = [](const HeldBoard& b) {
        double left = 1e9;
        for (size_t i = 0; i < b.holes.size(); ++i)
            left = std::min(left, b.holes[i].x);
        QStringList xs;
        for (size_t i = 0; i < b.holes.size(); ++i)
            xs << QStringLiteral("%1").arg(b.holes[i].x - left, 0, 'f', 3);
        xs.sort();
        return xs;
    };
    EXPECT_EQ(across(held), across(replayed));
    EXPECT_EQ(held.holes[0].x, drills.data.drills[0].holes[0].x()); // read in place
    for (const QRectF& area :
        {QRectF(-200, -200, 400, 400), QRectF(10, -60, 30, 30), QRectF(0, 0, 0.5, 0.5)}) {
        const auto [found, inside] = foundAndInside(held, grid, area.translated(held.frame.topLeft()));
        EXPECT_EQ(found, inside);
        const auto [foundReplayed, insideReplayed] =
            foundAndInside(replayed, replayedGrid, area.translated(replayed.frame.topLeft()));
        EXPECT_EQ(foundReplayed, insideReplayed);
    }
    EXPECT_EQ(foundAndInside(held, grid, QRectF(-1e4, -1e4, 2e4, 2e4)).first.size(), 165);
    EXPECT_EQ(foundAndInside(replayed, replayedGrid, QRectF(-1e4, -1e4, 2e4, 2e4)).first.size(), 165);
}

TEST(HeldBoardGrid, AFileReadAgainShowsNoneOfTheHolesItHeldBefore)
{
    Board drills;
    HoleTable table;
    BoardExtent extent;
    readBoardFile(drills, ReaderKind::Excellon, test::example("board-PTH.drl"), table, extent, {});
    const HeldBoard held = holdBoard(drills, table, extent);
    const HoleGrid grid(held);
    const QRectF everywhere(-1e4, -1e4, 2e4, 2e4);
    ASSERT_EQ(held.holes.size(), 157u);
    // The file read again into new memory: the held board shows nothing until it is held anew.
    drills.data.drills[0] = readBoardDrill(ReaderKind::Excellon, test::example("board-PTH.drl"), {});
    EXPECT_EQ(held.holes.size(), 0u);
    EXPECT_TRUE(foundAndInside(held, grid, everywhere).first.isEmpty());
    EXPECT_FALSE(markAt(held, grid, table, held.frame.center().x(), held.frame.center().y(), 1e3));
    const HeldBoard again = holdBoard(drills, table, extent);
    EXPECT_EQ(foundAndInside(again, HoleGrid(again), everywhere).first.size(), 157);
}

TEST(HeldBoardGrid, AGerberFilesHolesAreHeldToTheFileUnitAcrossAnyBox)
{
    // 0.0001 mm units over 400 m: wider than 64 bits a hole packed, held unpacked; the same
    // holes within a 2 mm box, packed into 5 bytes.
    for (const char* far : {"2000000000", "10000"}) {
        const QByteArray f(far);
        test::Scratch scratch;
        const QString path = scratch.write(QStringLiteral("far.gbr"),
            "%FSLAX64Y64*%\n%MOMM*%\n%ADD10C,0.500*%\n%ADD11C,0.800*%\nG54D10*\nX-" + f + "Y-" + f
                + "D03*\nG54D11*\nX" + f + "Y" + f + "D03*\nX0Y1D03*\nM02*\n");
        Board board;
        HoleTable table;
        BoardExtent extent;
        readBoardFile(board, ReaderKind::Rs274x, path, table, extent, {});
        const HeldBoard held = holdBoard(board, table, extent);
        ASSERT_EQ(held.holes.size(), 3u);
        QStringList holes;
        for (size_t i = 0; i < held.holes.size(); ++i)
            holes << QStringLiteral("%1,%2 %3")
                         .arg(held.holes[i].x, 0, 'f', 6)
                         .arg(held.holes[i].y, 0, 'f', 6)
                         .arg(table.row(held.holes[i].row).dcode);
        holes.sort();
        const QString mm = QString::number(f.toDouble() / 1e4, 'f', 6);
        QStringList expected({QStringLiteral("-%1,-%1 D10").arg(mm), QStringLiteral("%1,%1 D11").arg(mm),
            QStringLiteral("0.000000,0.000100 D11")});
        expected.sort();
        EXPECT_EQ(holes, expected) << far;
    }
}

namespace {
struct Picture {
    HeldBoard board;
    HoleGrid grid;
    HoleTable table = twoRows();
    BoardViewRenderer renderer;
    ViewTransform transform;
    QImage image;

    Picture(HeldBoard b, QSize size, double dpr = 1.0) : board(std::move(b)), grid(board)
    {
        renderer.setBoard(&board, &grid, &table);
        image = QImage(size * dpr, QImage::Format_RGB32);
        image.setDevicePixelRatio(dpr);
        transform.fit(board.frame, renderer.boardArea(QSizeF(size)));
    }
    qint64 render(const ViewOverlay& overlay = {}) { return renderer.render(image, transform, overlay); }
    QRgb at(double x, double y) const
    {
        const QPointF p = transform.toView(x, y) * image.devicePixelRatio();
        return image.pixel(int(p.x()), int(p.y()));
    }
    // How many device pixels of a row across the hole's centre have its colour.
    int across(double x, double y, QRgb colour) const
    {
        const QPointF p = transform.toView(x, y) * image.devicePixelRatio();
        int n = 0;
        for (int dx = -200; dx <= 200; ++dx) {
            const int px = int(p.x()) + dx;
            n += px >= 0 && px < image.width() && image.pixel(px, int(p.y())) == colour ? 1 : 0;
        }
        return n;
    }
};
} // namespace

TEST(BoardViewPicture, HolesAtTheirTrueSizeNeverBelowADotAndTheHighlight)
{
    Picture p(board({{20, 20, 0, 0}, {60, 40, 1, 0}}), QSize(600, 500));
    p.render();
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
    EXPECT_EQ(p.at(20, 20), red);
    EXPECT_EQ(p.at(60, 40), blue);
    // Zoomed in a hole is as wide as its diameter to the scale.
    p.transform.zoomAbout(p.transform.toView(60, 40), 8);
    p.render();
    EXPECT_NEAR(p.across(60, 40, blue), 3.0 * p.transform.scale, 2);
    // Zoomed far out it stays a dot.
    p.transform.zoomAbout(p.transform.toView(60, 40), 1e-4);
    p.render();
    EXPECT_GE(p.across(60, 40, blue), int(BoardViewRenderer::kMinimumDot) - 1);
    EXPECT_DOUBLE_EQ(p.renderer.holePixels(1, 1e-3), BoardViewRenderer::kMinimumDot);
    // A highlighted class keeps its colour, the others fade.
    p.transform.fit(p.board.frame, p.renderer.boardArea(QSizeF(600, 500)));
    ViewOverlay highlight;
    highlight.highlight = 1;
    p.render(highlight);
    EXPECT_EQ(p.at(60, 40), blue);
    EXPECT_NE(p.at(20, 20), red);
    EXPECT_GT(qGreen(p.at(20, 20)), 150); // red faded toward white
}

TEST(BoardViewPicture, ADenseBoardShowsItsOverviewAndStampsWhatIsInSight)
{
    HeldBoard b;
    b.frame = QRectF(0, 0, 100, 100);
    for (int i = 0; i < 400; ++i)
        for (int j = 0; j < 400; ++j)
            b.holes.push_back({float(i * 0.25 + 0.1), float(j * 0.25 + 0.1), uint8_t((i + j) % 2), 0});
    Picture p(std::move(b), QSize(700, 600));
    // 160,000 holes in sight: the overview serves, nothing is stamped one by one.
    EXPECT_EQ(p.render(), 0);
    EXPECT_NE(p.image.pixel(p.image.width() / 2, p.image.height() / 2), qRgb(255, 255, 255));
    // Zoomed in, the holes in sight are stamped.
    p.transform.zoomAbout(p.transform.toView(50, 50), 20);
    const qint64 stamped = p.render();
    EXPECT_GT(stamped, 0);
    EXPECT_LT(stamped, 2000);
}

TEST(BoardViewPicture, SharpAtTwiceTheDevicePixels)
{
    Picture one(board({{50, 40, 1, 0}}), QSize(400, 300), 1.0);
    Picture two(board({{50, 40, 1, 0}}), QSize(400, 300), 2.0);
    one.transform.zoomAbout(one.transform.toView(50, 40), 6);
    two.transform.zoomAbout(two.transform.toView(50, 40), 6);
    one.render();
    two.render();
    EXPECT_EQ(two.image.size(), QSize(800, 600));
    EXPECT_NEAR(two.across(50, 40, qRgb(0, 0, 255)), 2 * one.across(50, 40, qRgb(0, 0, 255)), 3);
}

TEST(BoardViewPicture, TheScaleBarLiesBesideTheBoardNeverOverAHoleInItsCorner)
{
    // A 4.3 mm mounting hole in the lower left corner of the board, as boards have them.
    HeldBoard b = board({{2.5f, 2.5f, 1, 0}, {97.5f, 77.5f, 1, 0}});
    for (const QSize size : {QSize(600, 500), QSize(1200, 400)}) { // a legend band, a legend column
        Picture p(b, size);
        p.table.row(1).diameter = QStringLiteral("4.3");
        p.renderer.tableChanged();
        p.transform.fit(p.board.frame, p.renderer.boardArea(QSizeF(size)));
        p.render();
        const QRectF band = p.renderer.scaleBarArea(QSizeF(size));
        EXPECT_FALSE(band.intersects(p.renderer.boardArea(QSizeF(size))));
        EXPECT_DOUBLE_EQ(band.bottom(), size.height());
        // Every point of the hole shows its colour, its lowest too.
        const QRgb blue = qRgb(0, 0, 255);
        const double r = 4.3 / 2 * 0.75;
        for (int k = 0; k < 16; ++k) {
            const double a = k * M_PI / 8;
            EXPECT_EQ(p.at(2.5 + r * std::cos(a), 2.5 + r * std::sin(a)), blue) << size.width() << " " << k;
        }
        // The bar is drawn in its band: black pixels there.
        int black = 0;
        for (int y = int(band.top()); y < int(band.bottom()); ++y)
            for (int x = int(band.left()); x < int(band.right()); ++x)
                black += p.image.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
        EXPECT_GT(black, 50);
    }
}
