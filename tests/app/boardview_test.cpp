// The preview's board view driven as a user drives it: wheel, drags, clicks, keys, under the
// offscreen platform.

#include "app/boardviewwidget.h"
#include "app/layerlist.h"
#include "app/mainwindow.h"
#include "app/previewwindow.h"
#include "scripted.h"
#include "testutil.h"

#include <QApplication>
#include <QLineEdit>
#include <QLineF>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
using Window = test::TestWindow;

// The sample board of three files in the preview, the view at a known size.
struct ViewedBoard {
    Window w;
    PreviewWindow* preview = nullptr;
    BoardViewWidget* view = nullptr;
    ViewedBoard()
    {
        w->openFiles({test::example("board-PTH.drl"), test::example("board-NPTH.drl"),
            test::example("board-Edge_Cuts.gbr")});
        w->showPreview();
        preview = w->previewWindow();
        view = preview->boardView();
        preview->resize(900, 700);
        QApplication::processEvents();
        view->fitBoard();
    }
    QPointF at(double x, double y) const { return view->transform().toView(x, y); }
    QString status() const { return preview->statusBar()->currentMessage(); }
    void wheel(const QPointF& p, int delta) const
    {
        QWheelEvent e(p, view->mapToGlobal(p), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
            Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &e);
    }
    void mouse(
        QEvent::Type type, const QPointF& p, Qt::MouseButton button, Qt::KeyboardModifiers mods = {}) const
    {
        QMouseEvent e(type, p, view->mapToGlobal(p), button,
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), mods);
        QApplication::sendEvent(view, &e);
    }
    void drag(
        const QPointF& from, const QPointF& to, Qt::MouseButton button, Qt::KeyboardModifiers mods = {}) const
    {
        mouse(QEvent::MouseButtonPress, from, button, mods);
        mouse(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, mods);
        mouse(QEvent::MouseMove, to, Qt::NoButton, mods);
        mouse(QEvent::MouseButtonRelease, to, button, mods);
    }
    void click(const QPointF& p) const { drag(p, p, Qt::LeftButton); }
};

// Two plated 0.80 mm holes of the sample board, 2.54 mm apart.
constexpr double kHoleAX = 122.62, kHoleAY = -77.38, kHoleBX = 125.16, kHoleBY = -77.38;
} // namespace

TEST(BoardView, TheWheelZoomsAboutTheCursorAndDragsPan)
{
    ViewedBoard b;
    ASSERT_TRUE(b.view);
    // The first hover writes the status bar; it is there already, so the board does not move.
    const QPointF fitted = b.at(150, -80);
    b.mouse(QEvent::MouseMove, QPointF(300, 300), Qt::NoButton);
    QApplication::processEvents();
    EXPECT_FALSE(b.status().isEmpty());
    EXPECT_EQ(b.at(150, -80), fitted);
    const QRectF frame = QRectF(b.at(100, -40), b.at(200, -120)).normalized();
    EXPECT_TRUE(QRectF(QPointF(0, 0), QSizeF(b.view->size())).contains(frame.center()));
    const QPointF cursor(300, 400);
    const QPointF held = b.view->transform().toBoard(cursor);
    const double scale = b.view->transform().scale;
    b.wheel(cursor, 360); // three steps in
    EXPECT_NEAR(b.view->transform().scale, scale * 1.25 * 1.25 * 1.25, 1e-9);
    const QPointF still = b.view->transform().toView(held.x(), held.y());
    EXPECT_NEAR(still.x(), cursor.x(), 1e-6);
    EXPECT_NEAR(still.y(), cursor.y(), 1e-6);
    // Left and middle buttons pan by the drag.
    const QPointF before = b.at(150, -80);
    b.drag(QPointF(400, 400), QPointF(450, 380), Qt::LeftButton);
    EXPECT_NEAR(b.at(150, -80).x(), before.x() + 50, 1e-6);
    b.drag(QPointF(400, 400), QPointF(400, 430), Qt::MiddleButton);
    EXPECT_NEAR(b.at(150, -80).y(), before.y() - 20 + 30, 1e-6);
    // Keys: + and − about the centre, arrows pan, Home fits; a double-click on empty space fits.
    QTest::keyClick(b.view, Qt::Key_Minus);
    EXPECT_NEAR(b.view->transform().scale, scale * 1.25 * 1.25, 1e-9);
    const QPointF panned = b.at(150, -80);
    QTest::keyClick(b.view, Qt::Key_Left);
    EXPECT_GT(b.at(150, -80).x(), panned.x());
    QTest::keyClick(b.view, Qt::Key_Home);
    EXPECT_NEAR(b.view->transform().scale, scale, 1e-9);
    b.wheel(cursor, 240);
    b.mouse(QEvent::MouseButtonDblClick, QPointF(880, 690), Qt::LeftButton);
    EXPECT_NEAR(b.view->transform().scale, scale, 1e-9);
}

TEST(BoardView, HoveringTellsAClickHighlightsEscClears)
{
    ViewedBoard b;
    b.view->transform().zoomAbout(b.at(kHoleAX, kHoleAY), 6);
    // Where the cursor is, in file millimetres (y up), and the hole under it.
    b.mouse(QEvent::MouseMove, b.at(kHoleBX, kHoleBY) + QPointF(1, 0), Qt::NoButton);
    EXPECT_TRUE(b.status().contains(QStringLiteral("行4 T4 0.80")));
    EXPECT_TRUE(b.status().contains(QStringLiteral("board-PTH.drl　中心 X 125.160  Y -77.380 mm")))
        << b.status().toStdString();
    EXPECT_TRUE(b.status().startsWith(QStringLiteral("X 125.")));
    // A click on the hole selects it and highlights its class.
    b.click(b.at(kHoleBX, kHoleBY));
    EXPECT_EQ(b.view->overlay().highlight, std::optional<int>(3));
    ASSERT_TRUE(b.view->overlay().selectedHole);
    QTest::keyClick(b.view, Qt::Key_Escape);
    EXPECT_FALSE(b.view->overlay().highlight);
    EXPECT_FALSE(b.view->overlay().selectedHole);
    // A legend cell highlights its class; so does a D-code clicked in the main window.
    b.click(QPointF(40, 13)); // the first cell: T1
    EXPECT_EQ(b.view->overlay().highlight, std::optional<int>(0));
    QTest::mouseClick(b.w.dcodeEdit(9), Qt::LeftButton);
    EXPECT_EQ(b.view->overlay().highlight, std::optional<int>(9));
}

TEST(BoardView, ShiftDragMeasuresFromHoleToHole)
{
    ViewedBoard b;
    b.view->transform().zoomAbout(b.at(kHoleAX, kHoleAY), 6);
    b.drag(b.at(kHoleAX, kHoleAY) + QPointF(1, 1), b.at(kHoleBX, kHoleBY) - QPointF(1, 0), Qt::LeftButton,
        Qt::ShiftModifier);
    EXPECT_EQ(b.status(), QStringLiteral("測定：中心間 2.540 mm　縁の間 1.740 mm　dx 2.540  dy 0.000 mm"));
    ASSERT_TRUE(b.view->overlay().measure);
    EXPECT_NEAR(b.view->overlay().measure->first.x(), kHoleAX, 1e-4);
    // From a point to a point in 測定 mode: centres only.
    b.preview->measureAction->setChecked(true);
    b.drag(b.at(140, -100), b.at(143, -104), Qt::LeftButton);
    EXPECT_TRUE(b.status().startsWith(QStringLiteral("測定：中心間 5.000 mm　dx 3.000  dy -4.000 mm")))
        << b.status().toStdString();
}

TEST(BoardView, TheExportsStayThePreviewPictureAndTheViewSavesWhatItShows)
{
    ViewedBoard b;
    test::Scratch dir;
    const QString png = dir.path(QStringLiteral("picture.png"));
    b.w.dialog->files.push_back(png);
    b.preview->savePng();
    EXPECT_EQ(QImage(png).size(), QSize(457, 420));
    EXPECT_EQ(QImage(png).convertToFormat(QImage::Format_RGB32),
        b.preview->surface().image().convertToFormat(QImage::Format_RGB32));
    const QString shown = dir.path(QStringLiteral("view.png"));
    b.w.dialog->files.push_back(shown);
    b.preview->saveView();
    EXPECT_EQ(QImage(shown).size(), b.view->size() * b.view->devicePixelRatioF());
}

TEST(BoardView, AFittedBoardFollowsTheWindowUntilTheUserZoomsOrPansAndAClickIsNoPan)
{
    Window w;
    w->openFiles({test::example("board-PTH.drl"), test::example("board-NPTH.drl"),
        test::example("board-Edge_Cuts.gbr")});
    w->showPreview();
    PreviewWindow* preview = w->previewWindow();
    ASSERT_TRUE(preview);
    BoardViewWidget* view = preview->boardView();
    QApplication::processEvents();
    // As fitted now: fitting again changes nothing.
    const auto fitted = [view] {
        const ViewTransform now = view->transform();
        view->fitBoard();
        const bool same = std::abs(now.scale - view->transform().scale) < 1e-9
            && QLineF(now.toView(150, -80), view->transform().toView(150, -80)).length() < 1e-6;
        view->transform() = now;
        return same;
    };
    const auto resized = [&](int width, int height) {
        preview->resize(width, height);
        QApplication::processEvents();
        return view->size();
    };
    // Resized after it opened, larger and smaller: the whole board, fitted to each size.
    const QSize first = view->size();
    EXPECT_NE(resized(1150, 880), first);
    EXPECT_TRUE(fitted());
    resized(640, 520);
    EXPECT_TRUE(fitted());
    // A click on a hole, with the two pixels a hand trembles: the hole is told, the board stays
    // fitted and follows the window.
    const QPointF hole = view->transform().toView(kHoleAX, kHoleAY);
    const auto send = [view](QEvent::Type type, const QPointF& p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, p, view->mapToGlobal(p), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(view, &e);
    };
    send(QEvent::MouseButtonPress, hole, Qt::LeftButton);
    send(QEvent::MouseMove, hole + QPointF(2, 1), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, hole + QPointF(2, 1), Qt::NoButton);
    EXPECT_EQ(view->overlay().highlight, std::optional<int>(3));
    resized(1000, 760);
    EXPECT_TRUE(fitted());
    // Zoomed in, a new size keeps the zoom.
    const double scale = view->transform().scale;
    QTest::keyClick(view, Qt::Key_Plus);
    resized(900, 700);
    EXPECT_NEAR(view->transform().scale, scale * 1.25, 1e-9);
    EXPECT_FALSE(fitted());
}

TEST(LayerList, EachRolesChoiceIsRememberedForTheNextBoard)
{
    MainWindow::viewSettings().remove(QStringLiteral("layers"));
    const auto layer = [](const char* role, const char* name) {
        BoardLayer l;
        l.role = QLatin1String(role);
        l.name = QLatin1String(name);
        return l;
    };
    const std::vector<BoardLayer> layers {layer("mask-top", "board-F_Mask.gbr"),
        layer("copper-top", "board-F_Cu.gbr"), layer("copper-bottom", "board-B_Cu.gbr")};
    std::vector<LayerStyle> defaults;
    for (size_t i = 0; i < layers.size(); ++i) {
        defaults.push_back(defaultLayerStyle(layers[i].role, std::nullopt));
        defaults.back().order = int(i);
    }
    LayerList list;
    int changed = 0;
    QObject::connect(&list, &LayerList::stylesChanged, [&changed] { ++changed; });
    list.setLayers(layers, defaults);
    EXPECT_FALSE(list.styles()[0].shown); // the mask not at first, the copper shown
    EXPECT_TRUE(list.styles()[1].shown);
    auto* tree = list.findChild<QTreeWidget*>(QStringLiteral("layers"));
    ASSERT_TRUE(tree);
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("ソルダーレジスト（表）"));
    EXPECT_EQ(tree->topLevelItem(0)->text(1), QStringLiteral("board-F_Mask.gbr"));
    // The mask shown by its check box; the bottom copper moved to the top of the list.
    tree->topLevelItem(0)->setCheckState(0, Qt::Checked);
    EXPECT_TRUE(list.styles()[0].shown);
    tree->setCurrentItem(tree->topLevelItem(2));
    list.findChild<QPushButton*>(QStringLiteral("layerUp"))->click();
    list.findChild<QPushButton*>(QStringLiteral("layerUp"))->click();
    EXPECT_EQ(tree->topLevelItem(0)->text(1), QStringLiteral("board-B_Cu.gbr"));
    EXPECT_EQ(list.styles()[2].order, 0);
    EXPECT_EQ(changed, 3);
    // The next board's layers of those roles start as they were left.
    LayerList next;
    next.setLayers({layer("copper-bottom", "other-B_Cu.gbr"), layer("mask-top", "other-F_Mask.gbr"),
                       layer("silk-top", "other-F_Silk.gbr")},
        {defaultLayerStyle(QStringLiteral("copper-bottom"), std::nullopt),
            defaultLayerStyle(QStringLiteral("mask-top"), std::nullopt),
            defaultLayerStyle(QStringLiteral("silk-top"), std::nullopt)});
    EXPECT_TRUE(next.styles()[1].shown); // the top mask, as chosen
    EXPECT_FALSE(next.styles()[2].shown); // the silk, never chosen: its default
    EXPECT_LT(next.styles()[0].order, next.styles()[1].order); // the bottom copper over the mask
}
