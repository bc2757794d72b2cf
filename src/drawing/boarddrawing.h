#pragma once

// The drawing of a board: a single standard or RS-274X file replayed line by line, any other
// board from its files' data in the board's frame.

#include "board/board.h"
#include "board/drillframe.h"
#include "drawing/drawresult.h"
#include "drawing/layout.h"
#include "gerber/boardextent.h"
#include "table/holetable.h"

namespace kivotrek {

// Prepares the layout on the surface and draws the board from what it holds: a single standard
// or RS-274X file's steps are replayed with the extent its read measured; any other board is
// drawn in its frame, the outline first, then every file's holes and slots with its own rows.
DrawResult drawBoard(
    const Board& board, const HoleTable& table, const BoardExtent& extent, Layout& layout, Surface& surface);

// The same with the layout prepared (for the extent of a Gerber file's read, else for the frame).
DrawResult drawPreparedBoard(const Board& board, const DrillFrame& frame, const HoleTable& table,
    const BoardExtent& extent, const Layout& layout, Surface& surface);

// A board of drill files with the layout prepared for the frame.
DrawResult drawBoardData(const Board& board, const DrillFrame& frame, const HoleTable& table,
    const Layout& layout, Surface& surface);

// A file of the board its data holds that could not be read: the drawing ends there, for the
// reason its read found.
std::optional<DrawResult> unreadableFile(const Board& board);

// A board of one file drawn with a table made elsewhere: a standard or RS-274X file's steps
// alone are read, a drill file's data (its tools select rows by D-code anywhere in the table).
Board singleFileBoard(const QString& path, ReaderKind reader);

} // namespace kivotrek
