#pragma once

// The drill map replay: the Gerber file read again from the start onto a surface. Pen-down
// moves become lines, flashes become dots, and every "G54" tool selection switches pen width
// and colour to the matching hole row and draws that row's legend cell. Where things land and
// how wide the pen is comes from a Layout: one for the preview, one for the printed page.

#include "drawing/drawresult.h"
#include "drawing/layout.h"
#include "gerber/boardextent.h"
#include "table/holetable.h"

#include <QIODevice>
#include <QString>
#include <functional>
#include <memory>

namespace kivotrek {

// Replays the file onto the surface with a prepared layout.
DrawResult replayDrillMap(const QString& path, const HoleTable& table, const BoardExtent& extent,
    const Layout& layout, Surface& surface);
// The same from an open device.
DrawResult replayDrillMap(QIODevice& device, const HoleTable& table, const BoardExtent& extent,
    const Layout& layout, Surface& surface);

// A hole (a flash) or a slot (a pen-down move) of a Gerber file as the drawing sees it: the row
// its tool selection chose and the positions in the file's units.
struct DrillMark {
    bool slot = false;
    int row = 0; // -1 for a D-code that no row holds
    QString code; // the D-code of the tool selection
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
// Every mark of the file after its first tool selection, in file order, until the drawing
// would stop.
DrawResult listMarks(
    const QString& path, const HoleTable& table, const std::function<void(const DrillMark&)>& out);
// The same from an open device.
DrawResult listMarks(
    QIODevice& device, const HoleTable& table, const std::function<void(const DrillMark&)>& out);

// The same replay in two stages for two threads: cut() reads the file and cuts its lines,
// the larger part of the work, while draw() draws each batch of lines as it comes. The
// drawing and the result are replayDrillMap's. Memory stays bounded: cut() waits while the
// drawing is behind. draw() may start before or after cut(); it closes the pipe when it
// returns, so cut() never waits for a drawing that has ended.
class ReplayPipe {
public:
    ReplayPipe();
    ~ReplayPipe();
    ReplayPipe(const ReplayPipe&) = delete;
    ReplayPipe& operator=(const ReplayPipe&) = delete;

    // Cuts the file with the extent and the prepared layout's scale, until its end, a line the
    // drawing cannot take, or close().
    void cut(const QString& path, const BoardExtent& extent, const Layout& layout);
    // Draws what cut() delivers with the same prepared layout.
    DrawResult draw(const HoleTable& table, const Layout& layout, Surface& surface);
    // Ends both sides: cut() stops at its next batch; a draw() still waiting returns Unreadable.
    void close();

private:
    struct Queue;
    std::unique_ptr<Queue> queue_;
};

} // namespace kivotrek
