#pragma once

// Where an Excellon board lands on the drawing and how its tools become hole rows.

#include "common/messagesink.h"
#include "common/numbers.h"
#include "drill/drilldata.h"
#include "gerber/boardextent.h"
#include "table/holetable.h"

#include <optional>

namespace kivotrek {

// Excellon has no outline and its coordinates are often negative (KiCad writes y < 0): the
// drawing takes the bounding box of all holes and slots, grown by the largest radius, puts its
// lower-left corner at the drawing's origin and fits the box. Drawing units are micrometres,
// 0.0567 twips each, as a standard file's.
struct DrillFrame {
    double left = 0; // millimetres: the box's lower-left corner in the file
    double bottom = 0;
    BoardExtent extent; // the box in twips; 0 by 0 when there is no hole

    // A position of the file in drawing units (micrometres from the box's corner); nothing
    // beyond 32 bits.
    // Inline: they run twice for every hole.
    std::optional<int32_t> unitsX(double millimetres) const
    {
        return roundHalfEvenToInt32((millimetres - left) * 1000.0);
    }
    std::optional<int32_t> unitsY(double millimetres) const
    {
        return roundHalfEvenToInt32((millimetres - bottom) * 1000.0);
    }
};

DrillFrame drillFrame(const DrillData& drill);
// The same over several files: one box round all their holes, grown by the largest radius.
DrillFrame drillFrame(const std::vector<DrillData>& drills);
// A frame of exactly this box (an outline's), in millimetres.
DrillFrame frameOfBox(double minX, double minY, double maxX, double maxY);

// A drill file starts a board of its own: the table as at start-up (no tolerance, kind or colour
// of another board), the extent empty.
void prepareExcellonRead(HoleTable& table, BoardExtent& extent);

} // namespace kivotrek
