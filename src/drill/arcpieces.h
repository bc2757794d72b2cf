#pragma once

// Arcs as the drill readers draw them: chords close enough to the arc that no drawing or check
// can tell them from it, and few enough that a file's cost follows its lines, not its numbers.

#include <vector>

namespace kivotrek {

struct ArcPoint {
    double x = 0, y = 0;
};

// An arc is drawn as chords within 5 micrometres of it, or a thousandth of its radius for a
// huge one, and in this many pieces at most.
constexpr int kMaxArcPieces = 1024;

// The angle an arc from `from` to `to` about `centre` sweeps in its direction, in radians, in
// (0, 2 pi]: the same start and end make a full circle.
double arcSweep(ArcPoint from, ArcPoint to, ArcPoint centre, bool clockwise);

// Appends the ends of the chords of an arc of the given sweep from `from` about `centre` (the
// radius going over from the start's to the end's, for ends not quite on one circle), the last
// exactly `to`. A sweep of zero appends `to` alone: a straight line.
void appendArcPoints(
    ArcPoint from, ArcPoint to, ArcPoint centre, bool clockwise, double sweep, std::vector<ArcPoint>& points);

} // namespace kivotrek
