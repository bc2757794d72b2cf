#pragma once

// What the windows that follow the board (the preview and its board view, the checks) take from
// the main window when it tells them the board changed.

#include "board/board.h"
#include "drawing/holecounts.h"
#include "drawing/layout.h"
#include "drawing/pagelayout.h"
#include "gerber/boardextent.h"
#include "table/holetable.h"

#include <QMetaType>
#include <QStringList>

namespace kivotrek {

// What changed, for the windows to follow in their way.
enum class BoardChange {
    Board, // a command changed the board: a read, an added or removed file, 新規, a file read
           // again since it changed on disk, the settings loaded. Drawn and checked at once.
    Table, // the table was edited (after the pause that ends a burst of edits)
    Options, // an option of 表示 that the drawing shows, not the checks
};

// The board as the main window holds it now, and how it is drawn.
struct BoardNow {
    BoardNow(const Board& b, const HoleTable& t, const BoardExtent& e) : board(b), table(t), extent(e) { }
    const Board& board;
    const HoleTable& table;
    const BoardExtent& extent;
    HoleCounts counts; // per row, as the drawing draws them, the table's kinds applied
    qint64 holes = 0; // holes and slots of the table's rows
    DrawingOptions options; // of 表示
    QStringList otherInputs; // besides the board's files: what no save may replace
    QString sizeText; // the size choice, for the page
    PageFoot foot; // the logo and the product code, for the page
};

} // namespace kivotrek

Q_DECLARE_METATYPE(kivotrek::BoardChange)
