#include "app/previewwindow.h"
#include "app/windowplacement.h"
#include "scripted.h"

#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

using namespace kivotrek;

TEST(WindowPlacement, BesideTheMainWindowAndAlwaysOnItsScreen)
{
    const QRect screen(0, 0, 1280, 1024);
    // A main window at the left: the preview opens to its right, at the same height.
    QRect main(10, 100, 760, 420);
    QRect r = placeBeside(QSize(490, 480), main, screen);
    EXPECT_EQ(r.topLeft(), QPoint(778, 100));
    // Centred and wide: no room on either side, so below it.
    main = QRect(80, 60, 1125, 420);
    r = placeBeside(QSize(490, 480), main, screen);
    EXPECT_EQ(r.topLeft(), QPoint(80, 488));
    EXPECT_TRUE(screen.contains(r));
    // A help window taller than the room below: cascaded and pulled up onto the screen, never
    // past its bottom edge.
    main = QRect(80, 300, 1125, 420);
    r = placeBeside(QSize(780, 700), main, screen);
    EXPECT_TRUE(screen.contains(r));
    EXPECT_EQ(r.left(), 120);
    // On a second screen to the right, it stays on that screen.
    const QRect second(1280, 0, 1920, 1080);
    r = placeBeside(QSize(490, 480), QRect(1300, 20, 1125, 420), second);
    EXPECT_TRUE(second.contains(r));
}

TEST(WindowPlacement, ThePreviewOpensOnTheScreenAwayFromTheMenuBar)
{
    test::TestWindow w;
    w.read("rs274x_drawable.gbr", true);
    w->show();
    w->showPreview();
    PreviewWindow* p = w->previewWindow();
    ASSERT_TRUE(p);
    const QRect available = w->screen()->availableGeometry();
    EXPECT_TRUE(available.contains(p->geometry())) << p->x() << "," << p->y();
    EXPECT_NE(p->pos(), available.topLeft()); // not in the corner over the main window's menu
}
