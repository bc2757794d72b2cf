#pragma once

// The checks a fabrication engineer runs on drill data before drilling: holes stacked on one
// another, holes too close, holes cut by or too near the board's edge, drills below the smallest
// the house drills, rows whose diameter is not the file's own, slots too short for their width,
// and a tool whose plating is not its file's. A board of a million holes is checked through
// uniform grids, never by comparing every pair.

#include "board/board.h"
#include "board/drillholeruns.h"
#include "drawing/drawresult.h"
#include "gerber/boardextent.h"
#include "table/holetable.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kivotrek {

// What the checks hold a board against. Each limit's default, option, remembered key and caption
// are its descriptor's (checkregistry.h).
struct CheckLimits {
    CheckLimits(); // each limit at its descriptor's default
    double minSpacing = 0; // millimetres between the edges of two holes
    double minEdge = 0; // millimetres between a hole's edge and the outline
    double minDrill = 0; // the smallest drill diameter, millimetres
    double slotRatio = 0; // a slot's length (end to end) over its width, at least
};

// Two holes whose centres lie this close (millimetres) are one hole drilled twice.
constexpr double kStackedDistance = 0.01;
// The most findings a check lists: past them it stops and says so.
constexpr qint64 kMaxFindings = 100'000;

// In the order the lists show them: what breaks a drill or the board first.
enum class CheckKind {
    Stacked, // two holes at one place (centres within kStackedDistance)
    Overlap, // two holes whose edges overlap
    OutlineCut, // a hole the outline runs through
    Spacing, // two holes closer than the limit, edge to edge
    Edge, // a hole closer to the outline than the limit
    MinDrill, // a row's diameter below the smallest drill
    ToolSize, // a row's diameter is not the file's own size of the tool
    SlotRatio, // a slot shorter than the ratio times its width
    Plating, // a tool's own plating is not its file's
};
constexpr int kCheckKinds = 9;

// Their names, captions and units: checkregistry.h.

struct Finding {
    CheckKind kind = CheckKind::Stacked;
    std::array<int, 2> rows {-1, -1}; // the rows (from 0) of one or two holes; -1 for none
    std::array<int, 2> files {-1, -1}; // the board's drill files of them; -1 for none
    std::optional<std::array<double, 2>> at; // the (first) hole's centre, millimetres, y up
    std::optional<std::array<double, 2>> other; // the second hole's centre, or the outline's nearest point
    std::optional<double> value; // what was measured
    std::optional<double> limit; // what it was held against
    QString detail; // for plating: the tool's and the file's kinds ("TH" / "NTH")

    int rowCount() const { return rows[1] >= 0 ? 2 : rows[0] >= 0 ? 1 : 0; }
};

struct CheckReport {
    std::vector<Finding> findings; // ordered by kind, then rows, then place
    std::array<qint64, kCheckKinds> counts {}; // per kind
    bool truncated = false; // the checks stopped before the end: see crowded
    bool crowded = false; // stopped where too many things lie on one another, else at kMaxFindings
    bool hasOutline = false; // the edge checks ran
    DrawResult ending; // where the board's drawing stops: the checks saw what it draws
    qint64 total() const;
};

// A hole as the checks read it: its centre in millimetres (y up), its row's radius, its row
// and drill file.
struct CheckedHole {
    double x = 0, y = 0;
    float radius = 0;
    int16_t row = -1;
    int16_t file = 0;
};

// The holes the checks read, in the board's order. A drill file's stay where the board holds
// them (32-bit nanometres, 16 bytes a hole) and are read in millimetres as they are used, with
// their rows' radii; a standard or RS-274X file's are replayed from its steps, as the drawing
// replays them; holes made by hand (tests) are held as given. Holes of a row that is not drilled
// or of a tool beyond the table are passed over.
class CheckedHoles {
public:
    // Holes made by hand, in order (none of the other kinds beside them).
    void push_back(const CheckedHole& h)
    {
        owned_.push_back(h);
        count_ = kept_ = owned_.size();
    }
    void assign(size_t n, const CheckedHole& h)
    {
        owned_.assign(n, h);
        count_ = kept_ = owned_.size();
    }
    // A drill file's holes where the board holds them: tool t is row firstRow + t below
    // rowCount. They must outlive the checks.
    void addFile(const DrillHit* hits, size_t count, int firstRow, int rowCount, int file);
    // A replayed file's holes: replay calls take(x, y, row) for each of its holes in file units
    // (millimetresPerUnit each), in order; kept is how many of them are checked.
    using Replay = std::function<void(const std::function<void(int32_t x, int32_t y, int row)>& take)>;
    void setReplay(Replay replay, double millimetresPerUnit, size_t kept);
    // Each row's radius and whether it is drilled.
    void setRows(
        const std::array<float, HoleTable::kRows>& radius, const std::array<bool, HoleTable::kRows>& drilled);
    void setKept(size_t kept) { kept_ = kept; }
    // How many checked holes each row has (the last: those of no row or past the table).
    void setRowCounts(const std::array<size_t, HoleTable::kRows + 1>& counts) { rowCounts_ = counts; }
    // Calls take(radius, count) for the radii of the checked holes, how many holes have each.
    template <typename Take> void forEachRadius(Take take) const
    {
        if (!owned_.empty()) {
            for (const CheckedHole& h : owned_)
                take(h.radius, size_t(1));
            return;
        }
        for (int r = 0; r <= HoleTable::kRows; ++r) {
            if (rowCounts_[size_t(r)] > 0)
                take(radius(r), rowCounts_[size_t(r)]);
        }
    }

    // The places of holes (a drill file's passed-over holes among them; a replay's in order).
    size_t size() const { return count_; }
    // How many holes are checked.
    size_t kept() const { return kept_; }
    bool empty() const { return kept_ == 0; }
    // Only a replayed file's holes cannot be read by their place.
    bool replayed() const { return bool(replay_); }

    // The hole at the place, false for one passed over (not for a replayed file).
    bool at(size_t i, CheckedHole& h) const
    {
        if (!owned_.empty()) {
            h = owned_[i];
            return true;
        }
        const DrillHoleRuns::Found f = runs_.at(i);
        if (f.row < 0 || !drilled(f.row))
            return false;
        h.x = f.hit->x();
        h.y = f.hit->y();
        h.radius = radius(f.row);
        h.row = int16_t(f.row);
        h.file = int16_t(std::min<size_t>(f.file, 32767));
        return true;
    }
    // The radius of a checked hole at the place (not for a replayed file).
    float radiusAt(size_t i) const
    {
        if (!owned_.empty())
            return owned_[i].radius;
        return radius(runs_.at(i).row);
    }
    // Calls take(i, hole) for each checked hole in order, i its place; false from take skips
    // the rest.
    template <typename Take> void forEach(Take take) const
    {
        if (replay_) {
            size_t i = 0;
            bool going = true;
            replay_([&](int32_t x, int32_t y, int row) {
                if (!going || !drilled(row))
                    return;
                going = take(i++, fromUnits(x, y, row));
            });
            return;
        }
        CheckedHole h;
        for (size_t i = 0; i < count_; ++i) {
            if (at(i, h) && !take(i, h))
                return;
        }
    }
    // Calls take(x, y, row) for each checked hole of a replayed file, in file units.
    template <typename Take> void forEachReplayed(Take take) const
    {
        replay_([&](int32_t x, int32_t y, int row) {
            if (drilled(row))
                take(x, y, row);
        });
    }
    // A replayed hole in millimetres.
    CheckedHole fromUnits(int32_t x, int32_t y, int row) const
    {
        return {double(x) * unit_, double(y) * unit_, radius(row), int16_t(row), 0};
    }
    bool drilled(int row) const { return row < 0 || row >= HoleTable::kRows || drilled_[size_t(row)]; }
    float radius(int row) const { return row >= 0 && row < HoleTable::kRows ? radius_[size_t(row)] : 0.0f; }

private:
    std::vector<CheckedHole> owned_;
    DrillHoleRuns runs_;
    Replay replay_;
    double unit_ = 1;
    size_t count_ = 0, kept_ = 0;
    std::array<float, HoleTable::kRows> radius_ {};
    std::array<bool, HoleTable::kRows> drilled_ {};
    std::array<size_t, HoleTable::kRows + 1> rowCounts_ {};
};

// A board's holes, slots and outline in millimetres, with what each row is.
struct CheckedBoard {
    using Hole = CheckedHole;
    struct Slot {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        float radius = 0;
        int16_t row = -1;
        int16_t file = 0;
        int32_t path = 0; // the pieces of one routed slot share it
    };
    struct Line {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    };
    struct Row {
        bool used = false; // holes or slots of it are drilled
        std::optional<double> diameter; // the table's, else the file's
        std::optional<double> fileSize; // the file's own size of the tool, where it has one
        std::optional<double> tableSize; // the table's number
        QString toolKind; // the tool's own plating, where the file states it per tool
        QString fileKind; // what its file as a whole is
        int file = -1;
        std::optional<std::array<double, 2>> first; // its first hole or slot
    };
    CheckedHoles holes;
    std::vector<Slot> slotPieces;
    std::vector<Line> outline;
    std::array<Row, HoleTable::kRows> rows;
    QStringList files; // the drill files' names
    DrawResult ending;
};

// The board as the table names its rows now: a drill file's holes and slots with their rows'
// diameters (the table's, else the file's tool size) and its outline file's and regions' lines;
// a standard or RS-274X file's flashes as holes and its drawn lines as the outline. Rows of the
// outline kind ("外形") are not drilled. From what the board holds, which must outlive it: its
// holes are read where the board holds them.
CheckedBoard checkedBoard(const Board& board, const HoleTable& table, const BoardExtent& extent);

CheckReport runChecks(const CheckedBoard& board, const CheckLimits& limits);

// The D-codes of the drilled rows that have no diameter, in the table nor in the file: their
// holes are checked as points.
QStringList rowsWithoutDiameter(const CheckedBoard& board, const HoleTable& table);

// A finding's rows as the lists write them: "行3 T1" or "行3 T1 / 行5 T2"; named by the table.
QString findingRows(const Finding& f, const HoleTable& table);
// The findings as CSV, as the drill table is written (UTF-8 with BOM, CRLF, texts of the files
// kept from running as formulas): 種類, 行, Dコード, ファイル, X, Y, X2, Y2, 値, 限度.
QByteArray findingsCsv(const CheckReport& report, const HoleTable& table, const QStringList& files);

} // namespace kivotrek
