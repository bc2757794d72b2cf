#pragma once

// The drill map replay: a Gerber file's recorded steps (see gerber/steprecord.h) drawn onto a
// surface. Pen-down moves become lines, flashes become dots, and every "G54" tool selection
// switches pen width and colour to the matching hole row and draws that row's legend cell.
// Where things land and how wide the pen is comes from a Layout: one for the preview, one for
// the printed page.

#include "drawing/drawresult.h"
#include "drawing/layout.h"
#include "gerber/boardextent.h"
#include "gerber/steprecord.h"
#include "table/holetable.h"

#include <QString>
#include <functional>

namespace kivotrek {

// Replays the file's steps onto the surface with a prepared layout.
DrawResult replayDrillMap(const StepRecord& steps, const HoleTable& table, const BoardExtent& extent,
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
    const StepRecord& steps, const HoleTable& table, const std::function<void(const DrillMark&)>& out);

// How a walk of the steps that reached their end ends: a line past the cap stops it there.
DrawResult endOfSteps(const StepRecord& steps);

} // namespace kivotrek
