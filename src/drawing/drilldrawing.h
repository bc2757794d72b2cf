#pragma once

// The drawing of drill data (Excellon and Gerber X2 files, outlines) in the frame of a board.

#include "board/drillframe.h"
#include "drawing/drawresult.h"
#include "drawing/layout.h"
#include "drill/drilldata.h"
#include "table/holetable.h"

#include <vector>

namespace kivotrek {

// The holes of a drill file (Excellon or Gerber) as dots and its slots as round-ended lines, as
// wide as the row's pen, in file order (holes, then slots), placed by the frame. A tool selects
// the rows among firstRow .. firstRow + rowCount - 1 that hold its D-code.
DrawResult replayDrill(const DrillData& drill, const DrillFrame& frame, const HoleTable& table,
    const Layout& layout, Surface& surface, int firstRow = 0, int rowCount = HoleTable::kRows);
// The outline's lines in black with the outline pen, placed by the frame.
DrawResult drawOutline(const std::vector<OutlineSegment>& outline, const DrillFrame& frame,
    const Layout& layout, Surface& surface);

} // namespace kivotrek
