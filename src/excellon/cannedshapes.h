#pragma once

// The shapes an Excellon program asks for in one word, as points in millimetres: the centre of a
// routed arc, the holes of a dual in-line package and of an eight-pin circular package. The
// reader draws and counts them.

#include "drill/arcpieces.h"

#include <optional>
#include <vector>

namespace kivotrek {

// The centre of the arc from `from` to `to` of the given radius: the arc of at most 180 degrees,
// as the machine routs it (G02 clockwise, G03 counter-clockwise, A the radius). A radius too
// short for the ends is made to fit (the machine adjusts it): a half circle. None for an arc
// whose ends are one point, or no radius.
std::optional<ArcPoint> arcCentreByRadius(ArcPoint from, ArcPoint to, double radius, bool clockwise);

// The centre of the arc from `from` to `to` given by I and J, the distances between the centre
// and the start: the one of start - (I, J) and start + (I, J) that lies as far from both ends
// (programs are written either way), within a twentieth of the radius or 10 micrometres. None
// when neither does.
std::optional<ArcPoint> arcCentreByOffset(ArcPoint from, ArcPoint to, double i, double j);

// The holes of a dual in-line package (G82) between two opposite corner pins: two rows, pins
// `pitch` apart along the side whose length is not the row spacing. None when neither side is
// as long as the row spacing, or the rows hold no whole number of pitches (within 1 %).
std::optional<std::vector<ArcPoint>> dualInLinePins(
    ArcPoint first, ArcPoint second, double pitch, double rowSpacing);

// The eight holes of a circular package (G83) through two opposite pins, 45 degrees apart,
// starting at the first. None for pins at one point.
std::optional<std::vector<ArcPoint>> circularPackagePins(ArcPoint first, ArcPoint second);

} // namespace kivotrek
