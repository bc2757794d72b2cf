#pragma once

// A board's holes, slots and outline held in millimetres (file coordinates, y up, as `holes`
// lists them) for a view that draws them again at every zoom and pan: a Gerber file of the two
// original reads replayed once into held marks, drill files from their data. A uniform grid
// finds the holes of a region (what a view shows, what lies under the cursor) without looking
// at the others.

#include "board/board.h"
#include "board/drillholeruns.h"
#include "drawing/drawresult.h"
#include "table/holetable.h"

#include <QRectF>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

namespace kivotrek {

struct HeldBoard {
    static constexpr uint8_t kNoRow = 255; // a D-code that no row holds
    // A hole as the view reads it: its centre in millimetres (y up), row and drill file.
    struct Hole {
        double x = 0, y = 0;
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
    // The holes by their index: a drill file's read where the board holds them (32-bit
    // nanometres; a tool past the table has no row and is not shown), a Gerber file's replayed
    // once in the order of the grid's cells, each hole's file units from the corner of their box
    // and its row packed into as few bytes as they take (6 for a board of 0.001 mm up to 524 mm
    // square; at most 9), holes made by hand as given.
    // The board's own must outlive them; once its files are read again they show none.
    class Holes {
    public:
        Holes() = default;
        Holes(std::initializer_list<Hole> holes) : owned_(holes) { }

        void push_back(const Hole& h) { owned_.push_back(h); }
        // How many indices there are (none once the board's files were read again).
        size_t size() const { return current() ? count() : 0; }
        bool empty() const { return size() == 0; }
        // The hole at the index; false where it is not shown.
        bool at(size_t i, Hole& h) const
        {
            if (!runs_.empty()) {
                const DrillHoleRuns::Found f = runs_.at(i);
                if (f.row < 0)
                    return false;
                h = {f.hit->x(), f.hit->y(), rowByte(f.row), uint8_t(std::min<size_t>(f.file, 255))};
                return true;
            }
            if (replayed_ > 0) {
                replayedAt(i, h);
                return true;
            }
            h = owned_[i];
            return true;
        }
        Hole operator[](size_t i) const
        {
            Hole h;
            at(i, h);
            return h;
        }
        Hole back() const { return (*this)[size() - 1]; }
        // Held in the order of the cells of the grid made from them (a Gerber file's).
        bool inCellOrder() const { return replayed_ > 0; }
        // A Gerber file's hole at the index.
        void replayedAt(size_t i, Hole& h) const
        {
            int32_t x = 0, y = 0;
            uint8_t row = kNoRow;
            replayedAt(i, x, y, row);
            h = {double(x) * unit_, double(y) * unit_, row, 0};
        }

        // A drill file's holes where the board holds them: tool t is row firstRow + t below rowCount.
        void addFile(const BoardData& data, size_t file, int firstRow, int rowCount);
        // A Gerber file's n holes in file units (millimetresPerUnit each) within the box, then
        // each at its index in cell order.
        void startReplayed(size_t n, const std::array<int32_t, 4>& box, double millimetresPerUnit);
        void setReplayed(size_t i, int32_t x, int32_t y, uint8_t row);

        static uint8_t rowByte(int row) { return row >= 0 && row < HoleTable::kRows ? uint8_t(row) : kNoRow; }

    private:
        void replayedAt(size_t i, int32_t& x, int32_t& y, uint8_t& row) const
        {
            const uint8_t* at = packed_.data() + i * size_t(bytes_);
            if (bytes_ == 9) { // wider than 64 bits
                std::memcpy(&x, at, 4);
                std::memcpy(&y, at + 4, 4);
                row = at[8];
                return;
            }
            uint64_t v = 0;
            std::memcpy(&v, at, 8); // the buffer has 8 bytes to spare after the last
            x = int32_t(int64_t(left_) + int64_t(v & xMask_));
            y = int32_t(int64_t(bottom_) + int64_t((v >> xBits_) & yMask_));
            const auto r = uint8_t((v >> (xBits_ + yBits_)) & 63);
            row = r == 63 ? kNoRow : r;
        }

        size_t count() const
        {
            return !runs_.empty() ? runs_.size() : (replayed_ > 0 ? replayed_ : owned_.size());
        }
        // The board still holds the holes as they were held.
        bool current() const;

        std::vector<Hole> owned_;
        DrillHoleRuns runs_;
        const BoardData* data_ = nullptr;
        size_t replayed_ = 0; // how many holes are packed
        std::vector<uint8_t> packed_;
        int bytes_ = 9, xBits_ = 32, yBits_ = 32; // a packed hole's bytes, its x's and y's bits
        uint64_t xMask_ = 0, yMask_ = 0;
        int32_t left_ = 0, bottom_ = 0; // the box's corner, file units
        double unit_ = 1;
    };
    Holes holes;
    std::vector<Slot> slotHoles;
    std::vector<Line> outline; // the outline file's lines and each drill file's region edges
    std::vector<BoardLayer> layers; // the package's other layers, from the top down
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

// The holes of a held board by where they lie: a uniform grid of about four holes a cell, each
// cell's holes by their indices (or, for holes held in cell order, by where the cell starts
// alone: 4 bytes a cell, none a hole).
class HoleGrid {
public:
    HoleGrid() = default;
    explicit HoleGrid(const HeldBoard& board);

    // Calls take(i, hole) for every hole of the board in the rectangle's cells (millimetres), i
    // its index in the board's holes; false from take stops. The board is the one the grid was
    // made of.
    template <typename Take> void forEachIn(const HeldBoard& board, const QRectF& area, Take take) const
    {
        if (cells_ == 0 || area.isEmpty() || board.holes.size() != holes_)
            return;
        const int c0 = column(area.left()), c1 = column(area.right());
        const int r0 = rowOf(area.top()), r1 = rowOf(area.bottom());
        HeldBoard::Hole h;
        const bool inCellOrder = board.holes.inCellOrder();
        for (int r = r0; r <= r1; ++r) {
            // A line of cells is one run.
            const size_t first = size_t(r) * size_t(columns_);
            for (uint32_t k = start_[first + size_t(c0)]; k < start_[first + size_t(c1) + 1]; ++k) {
                if (inCellOrder) {
                    board.holes.replayedAt(k, h);
                    if (!take(k, h))
                        return;
                    continue;
                }
                const uint32_t i = index_.empty() ? k : index_[k];
                if (board.holes.at(i, h) && !take(i, h))
                    return;
            }
        }
    }
    // How many holes have their centre in the rectangle's cells (a bound of what it shows).
    qint64 countIn(const QRectF& area) const;

    // The layout of a grid of the holes (their count, the box of their centres): a hole's cell.
    struct Layout {
        int columns = 0, rows = 0;
        double left = 0, bottom = 0, cellWidth = 1, cellHeight = 1;
        size_t cellOf(double x, double y) const;
    };
    static Layout layoutFor(size_t holes, double minX, double maxX, double minY, double maxY);

private:
    int column(double x) const;
    int rowOf(double y) const;

    Layout layout_;
    int columns_ = 0, rows_ = 0;
    size_t cells_ = 0;
    size_t holes_ = 0; // the board's, when the grid was made
    std::vector<uint32_t> start_; // per cell, where its holes begin (in index_, or the board's)
    std::vector<uint32_t> index_; // the board's index of each hole, in cell order
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
