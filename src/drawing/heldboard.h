#pragma once

// A board's holes, slots and outline held in millimetres (file coordinates, y up, as `holes`
// lists them) for a view that draws them again at every zoom and pan: a Gerber file of the two
// original reads replayed once into held marks, drill files from their data. A uniform grid
// finds the holes of a region (what a view shows, what lies under the cursor) without looking
// at the others.

#include "board/board.h"
#include "drawing/drawresult.h"
#include "table/holetable.h"

#include <QRectF>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kivotrek {

struct HeldBoard {
    static constexpr uint8_t kNoRow = 255; // a D-code that no row holds
    struct Hole {
        float x = 0, y = 0;
        uint8_t row = kNoRow;
        uint8_t file = 0;
    };
    struct Slot {
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        uint8_t row = kNoRow;
        uint8_t file = 0;
        bool joined = false; // continues the slot before it
    };
    struct Line {
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    };
    std::vector<Hole> holes;
    std::vector<Slot> slotHoles;
    std::vector<Line> outline; // the outline file's lines and each drill file's region edges
    QStringList files; // the names of the drill files, for what a hole is told
    QRectF frame; // what fitting the board shows, in millimetres (y up)
    DrawResult ending; // where the drawing of the board stops, as any drawing of it would

    bool isEmpty() const { return holes.empty() && slotHoles.empty() && outline.empty(); }
};

// Every hole, slot and outline line of a board in millimetres (file coordinates, y up), in the
// order of its files: a Gerber file's marks as its replay finds them (row -1 for a D-code that
// no row holds), drill files' with their rows (tools beyond the table left out) and file index.
struct BoardMarks {
    std::function<void(double x, double y, int row, int file)> hole;
    std::function<void(double x1, double y1, double x2, double y2, int row, int file, bool joined)> slot;
    std::function<void(double x1, double y1, double x2, double y2)> outline;
};
struct WalkedBoard {
    QRectF frame; // what fitting the board shows
    QStringList files; // the names of the drill files
    DrawResult ending; // where the drawing of the board stops
};
// Walks what the board holds.
WalkedBoard walkBoard(
    const Board& board, const HoleTable& table, const BoardExtent& extent, const BoardMarks& marks);

// Holds the board as the table names its rows now (a Gerber file's D-codes choose rows as the
// drawing does; a change of D-codes asks for holding it again).
HeldBoard holdBoard(const Board& board, const HoleTable& table, const BoardExtent& extent);

// Millimetres per file unit of a Gerber file read with the extent's scale (0.001 for F4.3).
double millimetresPerUnit(const BoardExtent& extent);

// The holes of a held board by where they lie: a uniform grid of about four holes a cell.
class HoleGrid {
public:
    HoleGrid() = default;
    explicit HoleGrid(const HeldBoard& board);

    // Calls take(i, hole) for every hole in the rectangle's cells (millimetres), i its index in
    // the board's holes; false from take stops. The grid keeps its own copy of the holes in cell
    // order, so that a region's holes are read one after the other, not from all over memory.
    template <typename Take> void forEachIn(const QRectF& area, Take take) const
    {
        if (cells_ == 0 || area.isEmpty())
            return;
        const int c0 = column(area.left()), c1 = column(area.right());
        const int r0 = rowOf(area.top()), r1 = rowOf(area.bottom());
        for (int r = r0; r <= r1; ++r) {
            // A line of cells is one run of the copy.
            const size_t first = size_t(r) * size_t(columns_);
            for (uint32_t k = start_[first + size_t(c0)]; k < start_[first + size_t(c1) + 1]; ++k) {
                if (!take(index_[k], holes_[k]))
                    return;
            }
        }
    }
    // How many holes have their centre in the rectangle's cells (a bound of what it shows).
    qint64 countIn(const QRectF& area) const;

private:
    int column(double x) const;
    int rowOf(double y) const;

    int columns_ = 0, rows_ = 0;
    size_t cells_ = 0;
    double left_ = 0, bottom_ = 0, cellWidth_ = 1, cellHeight_ = 1;
    std::vector<uint32_t> start_; // per cell, where its holes begin in index_ and holes_
    std::vector<uint32_t> index_; // the board's index of each hole, in cell order
    std::vector<HeldBoard::Hole> holes_; // the holes, in cell order
};

// What lies at a point of the board: the nearest hole whose drawn circle holds it (radius in
// millimetres, at least minRadius), else the nearest slot whose drawn line holds it.
struct HitMark {
    bool slot = false;
    size_t index = 0;
    double x = 0, y = 0; // the hole's centre (a slot: its nearest point)
};
std::optional<HitMark> markAt(const HeldBoard& board, const HoleGrid& grid, const HoleTable& table, double x,
    double y, double minRadius);

// A row's drill diameter in millimetres; nothing where the row has no number.
std::optional<double> rowDiameter(const HoleTable& table, int row);

} // namespace kivotrek
