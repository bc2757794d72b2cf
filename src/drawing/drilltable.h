#pragma once

// The drill table: each hole row with its tolerances, kind and counts, and the totals, as a CSV
// file that spreadsheet programs in Japanese locales open as it is (UTF-8 with a byte order
// mark, CRLF line ends, quoted where needed).

#include "board/board.h"
#include "drawing/holecounts.h"
#include "table/holetable.h"

#include <QByteArray>

namespace kivotrek {

// A CSV field of a text from a file or the table: in UTF-8, after an apostrophe when it starts
// like a spreadsheet formula (=, +, -, @, tab, CR), so that a spreadsheet shows it and never runs
// it; quoted when it holds a comma, a quote or a line break. (Numbers the program writes itself
// are written as they are.)
QByteArray csvField(const QString& text);

// The rows listed: used rows that are not the outline, in table order.
bool listedInDrillTable(const HoleRow& row);

// The name of the file whose tool row i is: two files of a board may both have a T01. Empty for
// a row of no file.
QString rowFileName(const Board& board, int i);

// "行,Dコード,ファイル,穴径,公差1,公差2,TH/NTH,穴数,長穴数", a line per listed row, then "合計"
// with the holes and slots of all of them.
QByteArray drillTableCsv(const HoleTable& table, const HoleCounts& counts, const Board& board);

} // namespace kivotrek
