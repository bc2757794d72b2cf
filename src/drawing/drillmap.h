#pragma once

// The drill map replay: the Gerber file read again from the start onto a surface. Pen-down
// moves become lines, flashes become dots, and every "G54" tool selection switches pen width
// and colour to the matching hole row and draws that row's legend cell. Where things land and
// how wide the pen is comes from a Layout: one for the preview, one for the printed page.

#include "board/board.h"
#include "board/drillframe.h"
#include "drawing/surface.h"
#include "gerber/boardextent.h"
#include "table/holetable.h"

#include <QIODevice>
#include <QString>
#include <array>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

namespace kivotrek {

// A swatch colour as drawn: its value written as upper-case hex without leading zeros, padded
// to six digits; blue is the first two digits, green the next two, red the last two.
Rgb rowColor(uint32_t fillColor);

// The legend's texts of a row.
QString toleranceText(const HoleRow& row); // "＋0.1 －0.05 TH"

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

// What the user chose to add to a drawing; nothing by default, and then the drawing is as it
// always was.
struct DrawingOptions {
    const HoleCounts* counts = nullptr; // each legend cell ends with its count; the page prints totals
    bool marks = false; // a mark of its own for each row, for black-and-white printing
    // Told how many holes and slot pieces are drawn so far, every few thousand; false cancels
    // the drawing, which then ends as Cancelled.
    std::function<bool(qint64)> progress;
};

class Layout {
public:
    virtual ~Layout() = default;

    // Reads the surface size and works out the drawing scale; false when the board extent
    // leaves none (an extent of 0).
    virtual bool prepare(const HoleTable& table, const BoardExtent& extent, Surface& surface) = 0;
    float scale() const { return scale_; }

    // With counts, each legend cell ends with "×" and its row's count, and the page leaves a
    // line under the legend for the totals. Without (the default) the legend is as it was.
    void setCounts(const HoleCounts* counts) { options_.counts = counts; }
    const HoleCounts* counts() const { return options_.counts; }
    // " ×156" for row i, or nothing without counts.
    QString countSuffix(int i) const;

    // The counts, the marks and the progress together.
    void setOptions(const DrawingOptions& options) { options_ = options; }
    const DrawingOptions& options() const { return options_; }
    // With marks, each row's holes and legend cell are drawn as the row's own mark (see
    // drawMark), at least markMinimum() device pixels across; slots as a thin line with the
    // mark where they start. Rows of the outline kind stay lines.
    bool marks() const { return options_.marks; }
    virtual int markMinimum(const Surface& surface) const = 0;
    // The legend's marks are larger: they stand beside the legend's text.
    virtual int legendMarkMinimum(const Surface& surface) const = 0;
    // How wide a mark is drawn with the surface's pen: as the pen's dot, at least the minimum
    // (of the legend's marks with legend).
    int markSize(const Surface& surface, bool legend = false) const;
    // A hole of row i at (x, y), or with legend the mark of its legend cell: the pen's dot in
    // the colour, or with marks the row's mark of markSize().
    void hole(Surface& surface, float x, float y, int i, Rgb color, bool legend = false) const;

    // Surface point of a replay position: x = X + left, y = H - Y - bottom, in 32-bit integers
    // (board y grows upwards, surface y down); nothing outside the 32-bit range. Inline: it
    // runs for every hole.
    std::optional<std::pair<int32_t, int32_t>> place(int32_t X, int32_t Y) const
    {
        const int64_t x = int64_t(X) + left_;
        const int64_t y = int64_t(height_) - Y - bottom_;
        constexpr int64_t lo = std::numeric_limits<int32_t>::min();
        constexpr int64_t hi = std::numeric_limits<int32_t>::max();
        if (x < lo || x > hi || y < lo || y > hi)
            return std::nullopt;
        return std::make_pair(static_cast<int32_t>(x), static_cast<int32_t>(y));
    }
    // Pen width for a selected row; nothing when it falls outside 1 to 32767.
    virtual std::optional<int16_t> penWidth(const HoleRow& row, const Surface& surface) const = 0;
    // The legend cell of row i; false when it cannot be drawn.
    virtual bool legendCell(int i, const HoleRow& row, Rgb color, Surface& surface) const = 0;

protected:
    // Where place() puts the board: set by prepare().
    void setPlacement(int left, int32_t H, int bottom)
    {
        left_ = left;
        height_ = H;
        bottom_ = bottom;
    }

    float scale_ = 0.0f;
    DrawingOptions options_;

private:
    int left_ = 0;
    int32_t height_ = 0;
    int bottom_ = 0;
};

struct DrawResult {
    enum class Ending {
        Complete, // replayed to the end of the file
        NoExtent, // no drawing scale: nothing replayed
        Unreadable, // the file could not be opened or read
        Stopped, // a line the drawing cannot handle: what came before stays drawn
        Cancelled, // the user cancelled it while it was drawn
    };
    DrawResult() = default;
    DrawResult(Ending e, std::optional<qint64> l = std::nullopt, const QString& p = QString())
        : ending(e), line(l), path(p)
    {
    }
    Ending ending = Ending::Complete;
    std::optional<qint64> line; // 1-based, for Stopped
    QString path; // of a board of several files: the file that ended the drawing
};

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

// A hole (a flash) or a slot (a pen-down move) of a Gerber file as the drawing sees it: the row
// its tool selection chose and the positions in the file's units.
struct DrillMark {
    bool slot = false;
    int row = 0; // -1 for a D-code that no row holds
    QString code; // the D-code of the tool selection
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
// Every mark of the file after its first tool selection, in file order, until the drawing
// would stop.
DrawResult listMarks(
    const QString& path, const HoleTable& table, const std::function<void(const DrillMark&)>& out);

// How many holes and slots the drawing draws in each row's colour: a hole is a flash (a drill
// hit), a slot a pen-down move or routed path, however many pieces it has. A tool selection
// chooses its rows as the drawing does: with several matching rows, the last; a D-code that no
// row holds counts apart (withoutRow). Rows of the outline kind (外形) are the outline: they count
// nothing. Where the drawing would stop (a line it cannot take, a piece it cannot place), the
// counts stop too, and the result says where.
DrawResult countHoles(const Board& board, const HoleTable& table, HoleCounts& counts);
// The same with the drill files already read (a single standard or RS-274X file is walked again).
DrawResult countHoles(const Board& board, const BoardData& data, const HoleTable& table, HoleCounts& counts);

// Holes and slots together by the rows' kind: TH, NTH, any other kind, and all of them.
struct HoleTotals {
    qint64 th = 0, nth = 0, other = 0, all = 0;
};
HoleTotals holeTotals(const HoleCounts& counts, const HoleTable& table);

// What the user is told of a drawing of the file that did not complete: why nothing or only
// part was drawn. Empty for a complete drawing and for one the user cancelled.
QString drawingProblem(const DrawResult& result, const QString& path);

// Replays the file onto the surface with a prepared layout.
DrawResult replayDrillMap(const QString& path, const HoleTable& table, const BoardExtent& extent,
    const Layout& layout, Surface& surface);
// The holes of a drill file (Excellon or Gerber) as dots and its slots as round-ended lines, as
// wide as the row's pen, in file order (holes, then slots), placed by the frame. A tool selects
// the rows among firstRow .. firstRow + rowCount - 1 that hold its D-code.
DrawResult replayDrill(const DrillData& drill, const DrillFrame& frame, const HoleTable& table,
    const Layout& layout, Surface& surface, int firstRow = 0, int rowCount = HoleTable::kRows);
// The outline's lines in black with the outline pen, placed by the frame.
DrawResult drawOutline(const std::vector<OutlineSegment>& outline, const DrillFrame& frame,
    const Layout& layout, Surface& surface);

// The same from an open device.
DrawResult replayDrillMap(QIODevice& device, const HoleTable& table, const BoardExtent& extent,
    const Layout& layout, Surface& surface);

// The same replay in two stages for two threads: cut() reads the file and cuts its lines,
// the larger part of the work, while draw() draws each batch of lines as it comes. The
// drawing and the result are replayDrillMap's. Memory stays bounded: cut() waits while the
// drawing is behind. draw() may start before or after cut(); it closes the pipe when it
// returns, so cut() never waits for a drawing that has ended.
class ReplayPipe {
public:
    ReplayPipe();
    ~ReplayPipe();
    ReplayPipe(const ReplayPipe&) = delete;
    ReplayPipe& operator=(const ReplayPipe&) = delete;

    // Cuts the file with the extent and the prepared layout's scale, until its end, a line the
    // drawing cannot take, or close().
    void cut(const QString& path, const BoardExtent& extent, const Layout& layout);
    // Draws what cut() delivers with the same prepared layout.
    DrawResult draw(const HoleTable& table, const Layout& layout, Surface& surface);
    // Ends both sides: cut() stops at its next batch; a draw() still waiting returns Unreadable.
    void close();

private:
    struct Queue;
    std::unique_ptr<Queue> queue_;
};

} // namespace kivotrek
