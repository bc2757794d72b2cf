#pragma once

// How many holes and slots the drawing draws in each row, and the totals by kind.

#include "board/board.h"
#include "drawing/drawresult.h"
#include "table/holetable.h"

#include <QIODevice>
#include <QString>
#include <array>

namespace kivotrek {

// A row's holes and slots as the drawing draws them (see countHoles).
struct RowCount {
    qint64 holeCount = 0;
    qint64 slotCount = 0;
};
// Per row, and apart the holes and slots of D-codes that no row holds (drawn with the pen of the
// tool before them, but no row's holes): the totals count them as "other".
struct HoleCounts {
    std::array<RowCount, HoleTable::kRows> rows {};
    RowCount withoutRow;
    RowCount& operator[](size_t i) { return rows[i]; }
    const RowCount& operator[](size_t i) const { return rows[i]; }
};

// A row's count as the table and the legend show it: "156", or "24+2" with slots.
QString countText(const RowCount& count);

// How many holes and slots the drawing draws in each row's colour: a hole is a flash (a drill
// hit), a slot a pen-down move or routed path, however many pieces it has. A tool selection
// chooses its rows as the drawing does: with several matching rows, the last; a D-code that no
// row holds counts apart (withoutRow). Rows of the outline kind (外形) are the outline: they count
// nothing. Where the drawing would stop (a line it cannot take, a piece it cannot place), the
// counts stop too, and the result says where.
// From what the board holds: the drill files' data, a standard or RS-274X file's tally (or,
// where its read could not tally it, its recorded steps).
DrawResult countHoles(const Board& board, const HoleTable& table, HoleCounts& counts);
// A Gerber file's counts from the tally its read made, for the table as it is now.
DrawResult countHoles(const MarkTally& marks, const HoleTable& table, HoleCounts& counts);
// A Gerber file's counts from its recorded steps, walked as they are drawn.
DrawResult countHoles(const StepRecord& steps, const HoleTable& table, HoleCounts& counts);

// Holes and slots together by the rows' kind: TH, NTH, any other kind, and all of them.
struct HoleTotals {
    qint64 th = 0, nth = 0, other = 0, all = 0;
};
HoleTotals holeTotals(const HoleCounts& counts, const HoleTable& table);

} // namespace kivotrek
