#include "app/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace kivotrek {

namespace {
constexpr int kGap = 8; // between two windows side by side
constexpr int kCascade = 40; // offset of a cascaded window

QRect clampInto(QRect r, const QRect& area)
{
    r.moveLeft(std::max(area.left(), std::min(r.left(), area.right() - r.width() + 1)));
    r.moveTop(std::max(area.top(), std::min(r.top(), area.bottom() - r.height() + 1)));
    return r;
}
} // namespace

QRect placeBeside(const QSize& frame, const QRect& anchor, const QRect& available)
{
    const QRect candidates[] = {
        QRect(QPoint(anchor.right() + 1 + kGap, anchor.top()), frame),
        QRect(QPoint(anchor.left() - kGap - frame.width(), anchor.top()), frame),
        QRect(QPoint(anchor.left(), anchor.bottom() + 1 + kGap), frame),
        QRect(QPoint(anchor.left(), anchor.top() - kGap - frame.height()), frame),
    };
    for (const QRect& c : candidates) {
        if (available.contains(c))
            return c;
    }
    // Side by side in one direction only, shifted into the screen along the other.
    for (const QRect& c : {candidates[0], candidates[1]}) {
        if (c.left() >= available.left() && c.right() <= available.right()
            && frame.height() <= available.height())
            return clampInto(c, available);
    }
    return clampInto(QRect(anchor.topLeft() + QPoint(kCascade, kCascade), frame), available);
}

void moveBeside(QWidget* window, const QWidget* anchor)
{
    const QScreen* screen = anchor ? anchor->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // The frame a window manager adds, as it shows on the anchor (nothing before it is shown).
    const QSize frameExtra =
        anchor && anchor->isVisible() ? anchor->frameGeometry().size() - anchor->size() : QSize(0, 0);
    const QSize room = available.size() - frameExtra;
    if (window->width() > room.width() || window->height() > room.height())
        window->resize(window->size().boundedTo(room));
    const QRect anchorFrame = anchor ? anchor->frameGeometry() : QRect(available.topLeft(), QSize(0, 0));
    const QRect frame = placeBeside(window->size() + frameExtra, anchorFrame, available);
    window->move(frame.topLeft());
}

} // namespace kivotrek
