#pragma once

// Large, realistic drill files for benchmarks: flashes spread over ten tools, an outline, in
// standard F4.3 or RS-274X (circular apertures, G54 tool selections). Deterministic.

#include "drawing/boardview.h"

#include <QString>

namespace kivotrek::bench {

// Writes the file.
bool writeStandardBoard(const QString& path, int flashes);
bool writeRs274xBoard(const QString& path, int flashes);
// The same holes as an Excellon drill file, as KiCad writes one (metric, decimal, y below 0).
bool writeExcellonBoard(const QString& path, int hits);
// Holes of a non-plated Gerber X2 drill file, as KiCad writes one (4.6 mm, y below 0), and
// the outline of the same board with rounded corners.
bool writeX2Board(const QString& path, int flashes);
bool writeOutline(const QString& path);
// Writes KIVOTREK.INI beside a generated board: its D-codes with diameters, tolerances, kinds.
bool writeBoardSettings(const QString& gerberPath);

// The view benches' frame i of 100: the fitted view zoomed by zooms[i % 10] about a point that
// walks over a 1280 x 800 view, then panned.
ViewTransform benchFrame(const ViewTransform& fitted, int i, const double (&zooms)[10]);

} // namespace kivotrek::bench
