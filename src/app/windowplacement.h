#pragma once

#include <QRect>

class QWidget;

namespace kivotrek {

// Where a new window with this frame size opens: beside the anchor's frame (to its right, its
// left, below, above), else cascaded from the anchor's top-left corner; always inside the
// available area of the anchor's screen, as far as the window fits there at all.
QRect placeBeside(const QSize& frame, const QRect& anchor, const QRect& available);

// Moves a window that is about to be shown beside the anchor window, on the anchor's screen,
// shrinking it first where it is larger than that screen's free area.
void moveBeside(QWidget* window, const QWidget* anchor);

} // namespace kivotrek
