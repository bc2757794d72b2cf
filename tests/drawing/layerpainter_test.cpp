// The layers under the holes: what lies under a point (the topmost shown layer, a part taken
// away by clear polarity), the colours laid translucent in their order, the words for an object.

#include "drawing/boardview.h"
#include "drawing/heldboard.h"
#include "drawing/layerpainter.h"
#include "testutil.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
std::shared_ptr<const GerberImage> image(const QByteArray& body)
{
    QByteArray bytes = "%FSLAX46Y46*%\n%MOMM*%\n" + body + "M02*\n";
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return std::make_shared<const GerberImage>(readGerberImage(buffer, QStringLiteral("layer.gbr")));
}

// The top copper: a via pad at (0, 0), a rectangle pad at (5, 0), a track from (10, 0) to
// (20, 0), a square region 30..40 with a clear square 34..36 in it. The bottom: one region
// under all of it.
std::vector<BoardLayer> twoLayers()
{
    BoardLayer top;
    top.name = QStringLiteral("board-F_Cu.gbr");
    top.role = QStringLiteral("copper-top");
    top.image = image("%TA.AperFunction,ViaPad*%\n%ADD10C,1.0*%\n%TD*%\n%ADD11R,2X1*%\n%ADD12C,0.2*%\n"
                      "D10*\nX0Y0D03*\nD11*\nX5000000Y0D03*\nD12*\nX10000000Y0D02*\nX20000000Y0D01*\n"
                      "G36*\nX30000000Y30000000D02*\nX40000000Y30000000D01*\nX40000000Y40000000D01*\n"
                      "X30000000Y40000000D01*\nX30000000Y30000000D01*\nG37*\n%LPC*%\n"
                      "G36*\nX34000000Y34000000D02*\nX36000000Y34000000D01*\nX36000000Y36000000D01*\n"
                      "X34000000Y36000000D01*\nX34000000Y34000000D01*\nG37*\n%LPD*%\n");
    BoardLayer bottom;
    bottom.name = QStringLiteral("board-B_Cu.gbr");
    bottom.role = QStringLiteral("copper-bottom");
    bottom.image = image("G36*\nX-5000000Y-5000000D02*\nX45000000Y-5000000D01*\nX45000000Y45000000D01*\n"
                         "X-5000000Y45000000D01*\nX-5000000Y-5000000D01*\nG37*\n");
    return {top, bottom};
}

std::vector<LayerStyle> bothShown()
{
    return {{true, QColor(255, 0, 0), 0}, {true, QColor(0, 0, 255), 1}};
}
} // namespace

TEST(LayerPainter, WhatLiesUnderAPointIsTheTopmostShownLayersObject)
{
    const std::vector<BoardLayer> layers = twoLayers();
    LayerPainter painter;
    painter.setLayers(&layers);
    std::vector<LayerStyle> styles = bothShown();
    const auto at = [&](double x, double y) -> std::pair<int, int> {
        const auto hit = painter.objectAt(x, y, 0.0, styles);
        return hit ? std::make_pair(int(hit->layer), int(hit->object)) : std::make_pair(-1, -1);
    };
    EXPECT_EQ(at(0.45, 0), std::make_pair(0, 0)); // inside the via pad
    EXPECT_EQ(at(0.55, 0), std::make_pair(1, 0)); // beside it: the bottom's region
    EXPECT_EQ(at(5.99, 0.49), std::make_pair(0, 1)); // the rectangle's corner
    EXPECT_EQ(at(15, 0.09), std::make_pair(0, 2)); // on the track, 0.2 mm wide
    EXPECT_EQ(at(15, 0.11), std::make_pair(1, 0));
    EXPECT_EQ(at(31, 31), std::make_pair(0, 3)); // the region
    EXPECT_EQ(at(35, 35), std::make_pair(1, 0)); // its part taken away shows the layer below
    EXPECT_EQ(at(50, 50), std::make_pair(-1, -1));
    // A layer not shown is passed over; one moved to the top is looked at first.
    styles[0].shown = false;
    EXPECT_EQ(at(0, 0), std::make_pair(1, 0));
    styles[0].shown = true;
    styles[1].order = -1;
    EXPECT_EQ(at(0, 0), std::make_pair(1, 0));
    // The tolerance of a thin track at a far zoom.
    styles = bothShown();
    EXPECT_EQ(painter.objectAt(15, 0.3, 0.25, {{true, QColor(255, 0, 0), 0}})->object, 2u);
}

TEST(LayerPainter, LayersAreLaidTranslucentInTheirOrder)
{
    const std::vector<BoardLayer> layers = twoLayers();
    LayerPainter painter;
    painter.setLayers(&layers);
    // 10 pixels a millimetre, the board's (-10, 50) at the image's corner.
    QImage picture(600, 600, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const QTransform toPixels(10, 0, 0, -10, 100, 500);
    const qint64 drawn = painter.paint(picture, toPixels, picture.rect(), bothShown(), 0.5);
    EXPECT_EQ(drawn, 5 + 1);
    const auto near = [](QRgb c, int r, int g, int b) {
        return std::abs(qRed(c) - r) <= 3 && std::abs(qGreen(c) - g) <= 3 && std::abs(qBlue(c) - b) <= 3;
    };
    // Over the via: the red top at half over the half blue bottom over white.
    const QPoint via = toPixels.map(QPointF(0, 0)).toPoint();
    EXPECT_TRUE(near(picture.pixel(via), 191, 64, 128)) << std::hex << picture.pixel(via);
    // The bottom alone; the top's part taken away shows it too.
    EXPECT_TRUE(near(picture.pixel(toPixels.map(QPointF(25, 25)).toPoint()), 127, 127, 255));
    EXPECT_TRUE(near(picture.pixel(toPixels.map(QPointF(35, 35)).toPoint()), 127, 127, 255));
    // Outside both, nothing is laid.
    EXPECT_EQ(picture.pixel(2, 2), qRgb(255, 255, 255));
    // Nothing shown: nothing drawn.
    EXPECT_EQ(
        painter.paint(picture, toPixels, picture.rect(), {{false, Qt::red, 0}, {false, Qt::blue, 1}}), 0);
}

TEST(LayerPainter, AnObjectIsToldByItsApertureAndSize)
{
    const std::vector<BoardLayer> layers = twoLayers();
    const GerberImage& g = *layers[0].image;
    EXPECT_EQ(layerObjectText(g, g.objects[0]), QStringLiteral("パッド D10 円 Ø1.000（ViaPad）"));
    EXPECT_EQ(layerObjectText(g, g.objects[1]), QStringLiteral("パッド D11 矩形 2.000×1.000"));
    EXPECT_EQ(layerObjectText(g, g.objects[2]), QStringLiteral("配線 D12 円 Ø0.200"));
    EXPECT_EQ(layerObjectText(g, g.objects[3]), QStringLiteral("領域"));
    // The copper of both sides and the outline are shown at first; a mask or silk is not.
    EXPECT_TRUE(defaultLayerStyle(QStringLiteral("copper-top"), 1).shown);
    EXPECT_TRUE(defaultLayerStyle(QStringLiteral("copper-bottom"), 4).shown);
    EXPECT_TRUE(defaultLayerStyle(QStringLiteral("outline"), std::nullopt).shown);
    EXPECT_FALSE(defaultLayerStyle(QStringLiteral("mask-top"), std::nullopt).shown);
    EXPECT_FALSE(defaultLayerStyle(QStringLiteral("copper-inner"), 2).shown);
    EXPECT_NE(defaultLayerStyle(QStringLiteral("copper-inner"), 2).colour,
        defaultLayerStyle(QStringLiteral("copper-inner"), 3).colour);
}

TEST(LayerPainter, TheViewKeepsItsLayersAndDrawsThemSharpInTheBackground)
{
    HeldBoard held;
    held.layers = twoLayers();
    held.frame = QRectF(QPointF(-5, -5), QPointF(45, 45));
    const HoleGrid grid(held);
    const HoleTable table;
    BoardViewRenderer renderer;
    renderer.setBoard(&held, &grid, &table);
    ASSERT_EQ(renderer.layerStyles().size(), 2u);
    EXPECT_TRUE(renderer.layerStyles()[0].shown); // the copper of both sides at first
    EXPECT_TRUE(renderer.layerStyles()[1].shown);
    QImage image(400, 300, QImage::Format_RGB32);
    ViewTransform t;
    t.fit(held.frame, renderer.boardArea(QSizeF(image.size())));
    renderer.render(image, t, {});
    EXPECT_FALSE(renderer.layersStale()); // the first frame draws them
    // Zoomed in: the kept picture serves at once, stale until drawn again.
    ViewTransform zoomed = t;
    zoomed.zoomAbout(QPointF(200, 150), 3.0);
    renderer.render(image, zoomed, {});
    EXPECT_TRUE(renderer.layersStale());
    renderer.startRefresh();
    EXPECT_TRUE(renderer.refreshing());
    QElapsedTimer waited;
    waited.start();
    while (!renderer.takeRefreshed() && waited.elapsed() < 10000)
        QThread::msleep(5);
    renderer.render(image, zoomed, {});
    EXPECT_FALSE(renderer.layersStale());
    EXPECT_FALSE(renderer.refreshing());
    // The same picture as a drawing in the window's thread.
    QImage same(400, 300, QImage::Format_RGB32);
    BoardViewRenderer direct;
    direct.setBoard(&held, &grid, &table);
    direct.render(same, zoomed, {});
    EXPECT_EQ(image, same);
    // A drawing still running when the board goes is waited for.
    renderer.render(image, t, {});
    renderer.startRefresh();
    renderer.setBoard(nullptr, nullptr, nullptr);
    EXPECT_FALSE(renderer.refreshing());
}
