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

// Prepares the layout on the surface and draws the board: a single standard or RS-274X file is
// replayed with the extent its read measured; any other board is read again and drawn in its
// frame, the outline first, then every file's holes and slots with its own rows.
DrawResult drawBoard(
    const Board& board, const HoleTable& table, const BoardExtent& extent, Layout& layout, Surface& surface);

// The same with the files already read and the layout prepared for the frame.
DrawResult drawBoardData(const Board& board, const BoardData& data, const DrillFrame& frame,
    const HoleTable& table, const Layout& layout, Surface& surface);

// A board of one file, read with the reader; its tools select rows by D-code anywhere in the table.
Board singleFileBoard(const QString& path, ReaderKind reader);

} // namespace kivotrek
