#include "checks/drillchecks.h"

#include "checks/checkregistry.h"
#include "checks/outlinecontours.h"

#include "common/captions.h"
#include "drawing/drilltable.h"
#include "drawing/gerberreplay.h"
#include "drawing/heldboard.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <tuple>
#include <unordered_map>

namespace kivotrek {

qint64 CheckReport::total() const
{
    qint64 n = 0;
    for (const qint64 c : counts)
        n += c;
    return n;
}

namespace {

void fillRows(const Board& board, const HoleTable& table, CheckedBoard& checked)
{
    for (int r = 0; r < HoleTable::kRows; ++r) {
        CheckedBoard::Row& row = checked.rows[size_t(r)];
        row.tableSize = rowDiameter(table, r);
        row.file = board.fileOfRow(r);
    }
    if (board.replaysGerber()) {
        if (board.files.front().reader != ReaderKind::Rs274x)
            return;
        // The file's own sizes: its aperture definitions, as its read found them.
        for (const auto& [code, size] : board.data.apertures) {
            for (int r = 0; r < HoleTable::kRows; ++r) {
                if (table.row(r).dcode == code)
                    checked.rows[size_t(r)].fileSize = size;
            }
        }
        return;
    }
    for (size_t f = 0; f < board.files.size() && f < board.data.drills.size(); ++f) {
        const BoardFile& file = board.files[f];
        const DrillData& d = board.data.drills[f];
        for (int t = 0; t < file.rowCount && size_t(t) < d.tools.size(); ++t) {
            const int r = file.firstRow + t;
            if (r < 0 || r >= HoleTable::kRows)
                continue;
            CheckedBoard::Row& row = checked.rows[size_t(r)];
            const DrillTool& tool = d.tools[size_t(t)];
            row.fileSize = tool.diameter;
            if (tool.kindStated)
                row.toolKind = tool.kind;
            row.fileKind = d.fileKind;
        }
    }
}
} // namespace

void CheckedHoles::addFile(const DrillHit* hits, size_t count, int firstRow, int rowCount, int file)
{
    if (count == 0)
        return;
    runs_.add(hits, count, firstRow, rowCount, size_t(std::max(file, 0)));
    count_ = runs_.size();
}

void CheckedHoles::setReplay(Replay replay, double millimetresPerUnit, size_t kept)
{
    replay_ = std::move(replay);
    unit_ = millimetresPerUnit;
    count_ = kept_ = kept;
}

void CheckedHoles::setRows(
    const std::array<float, HoleTable::kRows>& radius, const std::array<bool, HoleTable::kRows>& drilled)
{
    radius_ = radius;
    drilled_ = drilled;
}

CheckedBoard checkedBoard(const Board& board, const HoleTable& table, const BoardExtent& extent)
{
    CheckedBoard checked;
    fillRows(board, table, checked);
    for (CheckedBoard::Row& row : checked.rows)
        row.diameter = row.tableSize ? row.tableSize : row.fileSize;

    const bool gerber = board.replaysGerber();
    const auto drilled = [&table](int row) {
        return row < 0 || row >= HoleTable::kRows || table.row(row).kind != HoleKind::Outline;
    };
    const auto radius = [&checked](int row) {
        const auto d = row >= 0 && row < HoleTable::kRows ? checked.rows[size_t(row)].diameter : std::nullopt;
        return float(std::max(d.value_or(0), 0.0) / 2);
    };
    std::array<float, HoleTable::kRows> radii {};
    std::array<bool, HoleTable::kRows> drilledRows {};
    for (int r = 0; r < HoleTable::kRows; ++r) {
        radii[size_t(r)] = radius(r);
        drilledRows[size_t(r)] = drilled(r);
    }
    checked.holes.setRows(radii, drilledRows);
    const auto note = [&checked](int row, double x, double y) {
        if (row < 0 || row >= HoleTable::kRows)
            return;
        CheckedBoard::Row& r = checked.rows[size_t(row)];
        if (!r.used)
            r.first = std::array<double, 2> {x, y};
        r.used = true;
    };
    // The holes stay where the board holds them: the walk notes each row's first and counts them.
    size_t kept = 0;
    std::array<size_t, HoleTable::kRows + 1> rowCounts {};
    BoardMarks marks;
    marks.hole = [&](double x, double y, int row, int) {
        if (!drilled(row) || !std::isfinite(x) || !std::isfinite(y))
            return;
        note(row, x, y);
        ++kept;
        ++rowCounts[row >= 0 && row < HoleTable::kRows ? size_t(row) : size_t(HoleTable::kRows)];
    };
    int32_t path = -1;
    marks.slot = [&](double x1, double y1, double x2, double y2, int row, int file, bool joined) {
        // A standard or RS-274X file draws its outline with the pen down; a row of the outline
        // kind is the outline in any file.
        if (gerber || !drilled(row)) {
            checked.outline.push_back({x1, y1, x2, y2});
            return;
        }
        if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
            return;
        note(row, x1, y1);
        if (!joined || path < 0)
            ++path;
        checked.slotPieces.push_back(
            {x1, y1, x2, y2, radius(row), int16_t(row), int16_t(std::min(file, 32767)), path});
    };
    marks.outline = [&checked](double x1, double y1, double x2, double y2) {
        checked.outline.push_back({x1, y1, x2, y2});
    };
    const WalkedBoard walked = walkBoard(board, table, extent, marks);
    checked.files = walked.files;
    if (checked.ending.ending == DrawResult::Ending::Complete)
        checked.ending = walked.ending;
    if (gerber) {
        if (board.data.gerberSteps) {
            // Replayed as the walk replayed them, the table's D-codes as they are now.
            const StepRecord* steps = &*board.data.gerberSteps;
            checked.holes.setReplay(
                [steps, table](const std::function<void(int32_t, int32_t, int)>& take) {
                    listMarks(*steps, table, [&take](const DrillMark& m) {
                        if (!m.slot)
                            take(m.x1, m.y1, m.row);
                    });
                },
                millimetresPerUnit(extent), kept);
        }
    } else {
        for (size_t f = 0; f < board.data.drills.size() && f < board.files.size(); ++f) {
            const HoleList& hits = board.data.drills[f].holes;
            checked.holes.addFile(
                hits.data(), hits.size(), board.files[f].firstRow, board.files[f].rowCount, int(f));
        }
        checked.holes.setKept(kept);
    }
    checked.holes.setRowCounts(rowCounts);
    return checked;
}

namespace {

// The distance of two points: std::hypot guards against overflow that board sizes never reach,
// at several times the cost.
double distance(double x1, double y1, double x2, double y2)
{
    return std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
}

double pointSegment(double px, double py, double x1, double y1, double x2, double y2, double* nx = nullptr,
    double* ny = nullptr)
{
    const double dx = x2 - x1, dy = y2 - y1;
    const double length2 = dx * dx + dy * dy;
    const double t = length2 > 0 ? std::clamp(((px - x1) * dx + (py - y1) * dy) / length2, 0.0, 1.0) : 0.0;
    const double qx = x1 + t * dx, qy = y1 + t * dy;
    if (nx)
        *nx = qx;
    if (ny)
        *ny = qy;
    return distance(px, py, qx, qy);
}

// A measured distance to the nanometre: a spacing of exactly the limit (1.0 mm between the
// centres of two 0.8 mm holes: 0.19999999999999996 in binary) meets it.
double measured(double v)
{
    return std::round(v * 1e6) / 1e6;
}

double cross(double ax, double ay, double bx, double by)
{
    return ax * by - ay * bx;
}

double segmentSegment(const CheckedBoard::Slot& a, const CheckedBoard::Slot& b)
{
    // Crossing segments touch; else the nearest of the four ends to the other segment.
    const double d1 = cross(a.x2 - a.x1, a.y2 - a.y1, b.x1 - a.x1, b.y1 - a.y1);
    const double d2 = cross(a.x2 - a.x1, a.y2 - a.y1, b.x2 - a.x1, b.y2 - a.y1);
    const double d3 = cross(b.x2 - b.x1, b.y2 - b.y1, a.x1 - b.x1, a.y1 - b.y1);
    const double d4 = cross(b.x2 - b.x1, b.y2 - b.y1, a.x2 - b.x1, a.y2 - b.y1);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
        return 0;
    return std::min(std::min(pointSegment(a.x1, a.y1, b.x1, b.y1, b.x2, b.y2),
                        pointSegment(a.x2, a.y2, b.x1, b.y1, b.x2, b.y2)),
        std::min(pointSegment(b.x1, b.y1, a.x1, a.y1, a.x2, a.y2),
            pointSegment(b.x2, b.y2, a.x1, a.y1, a.x2, a.y2)));
}

// What the pair checks may read of their grids. Where thousands of slots or lines lie on one
// another (damaged or fuzzed data: a text drawn as slots at a wrong scale, one arc repeated) the
// checks would read every pair of them; real boards read a few dozen notes per hole or piece.
// Past the budget the checks stop and say so.
class Work {
public:
    void start(uint64_t budget)
    {
        budget_ = budget;
        done_ = 0;
    }
    bool spend() { return ++done_ <= budget_; }
    bool over() const { return done_ > budget_; }

private:
    uint64_t budget_ = 0, done_ = 0;
};

// A uniform grid of square cells over the whole plane: each thing is noted in the cells it lies
// in (a point in one, a segment in every cell along it), the notes sorted by cell. Only cells
// that hold something take memory, so that a hole far away (a wrong unit, a damaged number)
// does not make every cell wide; a query reads each line of cells it covers as one run.
// The cells of the checks' grids, keyed by row and column in 32 bits each; those beyond the
// first and the last are noted in the outermost, which hold everything beyond them.
constexpr int64_t kOffset = int64_t(1) << 31;
constexpr int64_t kFirst = 1 - kOffset, kLast = kOffset - 2;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

int64_t cellIndex(double v, double cell)
{
    const double c = std::floor(v / cell);
    return int64_t(std::clamp(std::isfinite(c) ? c : 0.0, double(kFirst), double(kLast)));
}
bool outermost(int64_t cell)
{
    return cell == kFirst || cell == kLast;
}
uint64_t key(int64_t column, int64_t row)
{
    return (uint64_t(row + kOffset) << 32) | uint64_t(column + kOffset);
}

// Where the segment runs (from xa to xb) through the band of the cells' row r grown by grow on
// each side; false where it does not reach the band.
bool spanInRow(
    int64_t r, double cell, double grow, double x1, double y1, double x2, double y2, double& xa, double& xb)
{
    const double low = r == kFirst ? -kInfinity : double(r) * cell - grow;
    const double high = r == kLast ? kInfinity : double(r + 1) * cell + grow;
    xa = std::min(x1, x2);
    xb = std::max(x1, x2);
    const double dx = x2 - x1, dy = y2 - y1;
    if (dy != 0) {
        double ta = (low - y1) / dy, tb = (high - y1) / dy;
        if (ta > tb)
            std::swap(ta, tb);
        ta = std::max(ta, 0.0);
        tb = std::min(tb, 1.0);
        if (ta > tb)
            return false;
        xa = x1 + ta * dx;
        xb = x1 + tb * dx;
        if (xa > xb)
            std::swap(xa, xb);
    }
    return true;
}

class Grid {
public:
    Grid(double cell, Work& work) : cell_(std::max(cell, 1e-3)), work_(work) { }

    void addSegment(uint32_t thing, double x1, double y1, double x2, double y2)
    {
        segments_ = true;
        // Points along it half a cell apart: a query grown by a cell finds every cell it crosses.
        // A segment of more than kLongSegment cells is kept apart and looked at by every query, as
        // are those past kMaxNotes notes (thousands of segments metres long).
        const double length = distance(x1, y1, x2, y2);
        const double steps = std::ceil(length / (cell_ / 2));
        if (!(steps <= kLongSegment) || double(notes_.size()) + steps >= double(kMaxNotes)) {
            long_.push_back(thing);
            return;
        }
        const auto n = qint64(steps);
        uint64_t last = std::numeric_limits<uint64_t>::max();
        for (qint64 i = 0; i <= n; ++i) {
            const double t = n > 0 ? double(i) / double(n) : 0.0;
            const uint64_t k = key(cellOf(x1 + t * (x2 - x1)), cellOf(y1 + t * (y2 - y1)));
            if (k != last)
                notes_.push_back({k, thing});
            last = k;
        }
    }
    void build()
    {
        std::sort(notes_.begin(), notes_.end());
        uint32_t things = 0;
        for (const auto& note : notes_)
            things = std::max(things, note.second + 1);
        for (const uint32_t thing : long_)
            things = std::max(things, thing + 1);
        seen_.assign(things, 0);
        // Where each row of cells starts among the notes: a query looks for its row there, then
        // for its first column within the row, rather than among every note.
        rows_.clear();
        for (size_t i = 0; i < notes_.size(); ++i) {
            if (i == 0 || (notes_[i].first >> 32) != (notes_[i - 1].first >> 32))
                rows_.emplace_back(notes_[i].first >> 32, i);
        }
        rows_.emplace_back(std::numeric_limits<uint64_t>::max(), notes_.size());
    }

    // Calls take(thing) once for each thing noted in a cell within reach of a segment (or a
    // point; grown by a cell where segments were added), until take returns false. Row of cells
    // by row: in each row only the columns that the segment, grown by the reach, passes. A
    // diagonal slot across the board reads the cells along it, not its box; one longer than the
    // grid has notes reads each note once and measures its cell against the segment.
    template <typename Take>
    void forEachNear(double x1, double y1, double x2, double y2, double reach, Take take) const
    {
        const uint32_t query = beginQuery();
        takeLong(query, take);
        if (notes_.empty())
            return;
        // A nanometre to spare: the checks measure to it.
        const double grow = reach + (segments_ ? cell_ : 0) + 1e-6;
        const int64_t r0 = cellOf(std::min(y1, y2) - grow), r1 = cellOf(std::max(y1, y2) + grow);
        if (r1 - r0 >= int64_t(notes_.size())) {
            const double halfDiagonal = cell_ * 0.70711;
            for (const auto& [k, thing] : notes_) {
                if (halted() || !work_.spend())
                    return;
                const int64_t c = int64_t(k & 0xffffffffu) - kOffset, r = int64_t(k >> 32) - kOffset;
                const double cx = (double(c) + 0.5) * cell_, cy = (double(r) + 0.5) * cell_;
                if (outermost(c) || outermost(r)
                    || pointSegment(cx, cy, x1, y1, x2, y2) <= grow + halfDiagonal)
                    takeOnce(query, thing, take);
            }
            return;
        }
        for (int64_t r = r0; r <= r1 && !halted() && work_.spend(); ++r) {
            // A thing in this row is within reach of a point of the segment in the band below.
            double xa = 0, xb = 0;
            if (!spanInRow(r, cell_, grow, x1, y1, x2, y2, xa, xb))
                continue;
            readRow(query, r, cellOf(xa - grow), cellOf(xb + grow), take);
        }
    }

private:
    uint32_t beginQuery() const
    {
        stopped_ = false;
        if (++query_ == 0) {
            std::fill(seen_.begin(), seen_.end(), 0);
            query_ = 1;
        }
        return query_;
    }
    template <typename Take> void takeLong(uint32_t query, Take& take) const
    {
        for (size_t i = 0; i < long_.size() && !halted(); ++i)
            takeOnce(query, long_[i], take);
    }
    template <typename Take> void takeOnce(uint32_t query, uint32_t thing, Take& take) const
    {
        if (stopped_ || !work_.spend() || seen_[thing] == query)
            return;
        seen_[thing] = query;
        stopped_ = !take(thing);
    }
    bool halted() const { return stopped_ || work_.over(); }
    template <typename Take>
    void readRow(uint32_t query, int64_t row, int64_t c0, int64_t c1, Take& take) const
    {
        const uint64_t wanted = key(0, row) >> 32;
        const auto at = std::lower_bound(
            rows_.begin(), rows_.end(), wanted, [](const auto& r, uint64_t v) { return r.first < v; });
        if (at->first != wanted)
            return;
        const auto end = notes_.begin() + std::ptrdiff_t(std::next(at)->second);
        const uint64_t last = key(c1, row);
        auto it = std::lower_bound(
            notes_.begin() + std::ptrdiff_t(at->second), end, std::make_pair(key(c0, row), uint32_t(0)));
        for (; it != end && it->first <= last && !halted(); ++it)
            takeOnce(query, it->second, take);
    }

private:
    static constexpr double kLongSegment = 4096;
    static constexpr size_t kMaxNotes = size_t(1) << 24; // 256 MB of notes
    int64_t cellOf(double v) const { return cellIndex(v, cell_); }

    double cell_;
    Work& work_;
    bool segments_ = false;
    std::vector<std::pair<uint64_t, uint32_t>> notes_; // cell, thing; sorted by cell
    std::vector<std::pair<uint64_t, size_t>> rows_; // a row's key, its first note; then an end
    std::vector<uint32_t> long_;
    mutable std::vector<uint32_t> seen_; // per thing: the last query that took it
    mutable uint32_t query_ = 0;
    mutable bool stopped_ = false; // the query's take said so
};

// A grid of points as Grid notes them (the same cells, each query reading the same cells and
// points in the same order, at the same cost of work), held compactly: the points' places sorted
// by cell, in their order within a cell, and where each cell's places start: over the box of
// the cells where that costs at most 8 bytes a point, else for each cell that holds any (8 bytes
// a cell, looked for by row and column). The caller keeps what each place is.
class PointGrid {
public:
    PointGrid(double cell, Work& work) : cell_(std::max(cell, 1e-3)), work_(work) { }

    // each(f) calls f(x, y) for every point, in their order; expected: how many.
    template <typename Each> void build(size_t expected, Each each)
    {
        std::vector<uint64_t> keys;
        keys.reserve(expected);
        each([&](double x, double y) { keys.push_back(key(cellOf(x), cellOf(y))); });
        std::sort(keys.begin(), keys.end());
        points_ = keys.size();
        if (keys.empty())
            return;
        int64_t left = std::numeric_limits<int64_t>::max(), right = std::numeric_limits<int64_t>::min();
        for (size_t i = 0; i < keys.size(); ++i) {
            if (i == 0 || keys[i] != keys[i - 1]) {
                left = std::min(left, columnOf(keys[i]));
                right = std::max(right, columnOf(keys[i]));
            }
        }
        bottom_ = rowOf(keys.front());
        const int64_t top = rowOf(keys.back());
        const double box = double(right - left + 1) * double(top - bottom_ + 1);
        if (box <= 2.0 * double(points_) + 4096) {
            // Every cell of the box: its start at its row and column.
            left_ = left;
            width_ = right - left + 1;
            height_ = top - bottom_ + 1;
            starts_.assign(size_t(width_ * height_) + 1, 0);
            for (const uint64_t k : keys)
                ++starts_[size_t((rowOf(k) - bottom_) * width_ + (columnOf(k) - left_)) + 1];
            for (size_t c = 1; c < starts_.size(); ++c)
                starts_[c] += starts_[c - 1];
            return;
        }
        for (size_t i = 0; i < keys.size(); ++i) {
            if (i > 0 && keys[i] == keys[i - 1])
                continue;
            const auto row = int32_t(rowOf(keys[i]));
            if (rows_.empty() || rows_.back().row != row)
                rows_.push_back({row, uint32_t(cells_.size())});
            cells_.push_back({int32_t(columnOf(keys[i])), uint32_t(i)});
        }
        rows_.push_back({std::numeric_limits<int32_t>::max(), uint32_t(cells_.size())});
        cells_.push_back({std::numeric_limits<int32_t>::max(), uint32_t(points_)});
    }
    size_t size() const { return points_; }
    // The places of the points in cell order, the points given again in their order.
    void startPlaces()
    {
        if (width_ > 0) {
            next_.assign(starts_.begin(), starts_.end() - 1);
            return;
        }
        next_.resize(cells_.size());
        for (size_t c = 0; c < cells_.size(); ++c)
            next_[c] = cells_[c].first;
    }
    uint32_t place(double x, double y)
    {
        const int64_t column = cellOf(x), row = cellOf(y);
        if (width_ > 0)
            return next_[size_t((row - bottom_) * width_ + (column - left_))]++;
        return next_[rowCells(row, column).first]++;
    }
    void endPlaces() { std::vector<uint32_t>().swap(next_); }

    // Calls take(place) for each point in a cell within reach of the segment (or the point), as
    // Grid::forEachNear, until take returns false.
    template <typename Take>
    void forEachNear(double x1, double y1, double x2, double y2, double reach, Take take) const
    {
        stopped_ = false;
        if (points_ == 0)
            return;
        // A nanometre to spare: the checks measure to it.
        const double grow = reach + 1e-6;
        const int64_t r0 = cellOf(std::min(y1, y2) - grow), r1 = cellOf(std::max(y1, y2) + grow);
        if (r1 - r0 >= int64_t(points_)) {
            readAll(x1, y1, x2, y2, grow, take);
            return;
        }
        for (int64_t r = r0; r <= r1 && !halted() && work_.spend(); ++r) {
            // A thing in this row is within reach of a point of the segment in the band below.
            double xa = 0, xb = 0;
            if (!spanInRow(r, cell_, grow, x1, y1, x2, y2, xa, xb))
                continue;
            const auto [first, end] = placesIn(r, cellOf(xa - grow), cellOf(xb + grow));
            for (uint32_t p = first; p < end && !halted(); ++p)
                takeOnce(p, take);
        }
    }

private:
    struct RowStart {
        int32_t row;
        uint32_t firstCell;
    };
    struct CellStart {
        int32_t column;
        uint32_t first; // its first point's place
    };
    template <typename Take> void takeOnce(uint32_t p, Take& take) const
    {
        if (stopped_ || !work_.spend())
            return;
        stopped_ = !take(p);
    }
    bool halted() const { return stopped_ || work_.over(); }
    // Of the cells held one by one: those of the row from the column on, to the row's end.
    std::pair<uint32_t, uint32_t> rowCells(int64_t row, int64_t column) const
    {
        const auto at = std::lower_bound(
            rows_.begin(), rows_.end(), row, [](const RowStart& r, int64_t v) { return r.row < v; });
        if (at->row != row)
            return {0, 0};
        const auto first = cells_.begin() + std::ptrdiff_t(at->firstCell);
        const auto end = cells_.begin() + std::ptrdiff_t(std::next(at)->firstCell);
        const auto c = std::lower_bound(
            first, end, column, [](const CellStart& cell, int64_t v) { return cell.column < v; });
        return {uint32_t(c - cells_.begin()), uint32_t(end - cells_.begin())};
    }
    // The places of the row's cells from column c0 to c1: one run.
    std::pair<uint32_t, uint32_t> placesIn(int64_t row, int64_t c0, int64_t c1) const
    {
        if (width_ > 0) {
            c0 = std::max(c0, left_);
            c1 = std::min(c1, left_ + width_ - 1);
            if (row < bottom_ || row >= bottom_ + height_ || c0 > c1)
                return {0, 0};
            const size_t at = size_t((row - bottom_) * width_);
            return {starts_[at + size_t(c0 - left_)], starts_[at + size_t(c1 - left_) + 1]};
        }
        auto [c, end] = rowCells(row, c0);
        if (end == 0) // no cell of the row holds a point
            return {0, 0};
        const uint32_t first = cells_[c].first;
        while (c < end && cells_[c].column <= c1)
            ++c;
        return {first, cells_[c].first};
    }
    // A query wider than the grid has points: each point once, its cell measured against it.
    template <typename Take>
    void readAll(double x1, double y1, double x2, double y2, double grow, Take& take) const
    {
        const double halfDiagonal = cell_ * 0.70711;
        const auto readCell = [&](int64_t column, int64_t r, uint32_t first, uint32_t end) {
            const double cx = (double(column) + 0.5) * cell_, cy = (double(r) + 0.5) * cell_;
            const bool near = outermost(column) || outermost(r)
                || pointSegment(cx, cy, x1, y1, x2, y2) <= grow + halfDiagonal;
            for (uint32_t p = first; p < end; ++p) {
                if (halted() || !work_.spend())
                    return false;
                if (near)
                    takeOnce(p, take);
            }
            return true;
        };
        if (width_ > 0) {
            for (int64_t r = 0; r < height_; ++r) {
                for (int64_t c = 0; c < width_; ++c) {
                    const size_t at = size_t(r * width_ + c);
                    if (starts_[at] != starts_[at + 1]
                        && !readCell(left_ + c, bottom_ + r, starts_[at], starts_[at + 1]))
                        return;
                }
            }
            return;
        }
        for (size_t k = 0; k + 1 < rows_.size(); ++k) {
            for (uint32_t c = rows_[k].firstCell; c < rows_[k + 1].firstCell; ++c) {
                if (!readCell(cells_[c].column, rows_[k].row, cells_[c].first, cells_[c + 1].first))
                    return;
            }
        }
    }

    int64_t cellOf(double v) const { return cellIndex(v, cell_); }
    static int64_t rowOf(uint64_t key) { return int64_t(key >> 32) - kOffset; }
    static int64_t columnOf(uint64_t key) { return int64_t(key & 0xffffffffu) - kOffset; }

    double cell_;
    Work& work_;
    size_t points_ = 0;
    // The box of cells: each cell's first place, row by row; then an end.
    int64_t left_ = 0, bottom_ = 0, width_ = 0, height_ = 0;
    std::vector<uint32_t> starts_;
    // Else the cells that hold points, row by row; then an end of each.
    std::vector<RowStart> rows_;
    std::vector<CellStart> cells_;
    std::vector<uint32_t> next_; // per cell, while the places are given
    mutable bool stopped_ = false;
};

// How many things reach how far.
using Reaches = std::map<double, size_t>;

// The cell of a grid for queries of these reaches: their median, so that a query reads a few
// cells whatever the board's size and a few far holes.
double cellFor(const Reaches& reaches)
{
    size_t n = 0;
    for (const auto& [reach, count] : reaches)
        n += count;
    if (n == 0)
        return 1.0;
    // The reach at n / 2 in order.
    size_t passed = 0;
    for (const auto& [reach, count] : reaches) {
        passed += count;
        if (passed > n / 2)
            return std::clamp(reach, 0.01, 1000.0);
    }
    return 1.0;
}

// The board's holes for a check of pairs, by where they lie (a grid of the cell): each hole is a
// thing, its place among the board's holes, or for a replayed file its place in a copy of the
// holes held in cell order (8 bytes and its row a hole), the file's steps replayed for it.
class HoleIndex {
public:
    HoleIndex(const CheckedHoles& holes, double cell, Work& work) : holes_(holes), grid_(cell, work)
    {
        grid_.build(holes_.kept(), [&](auto&& point) {
            holes_.forEach([&](size_t, const CheckedHole& h) {
                point(h.x, h.y);
                return true;
            });
        });
        if (holes_.replayed()) {
            replayed_.resize(grid_.size());
            grid_.startPlaces();
            holes_.forEachReplayed([&](int32_t x, int32_t y, int row) {
                const CheckedHole h = holes_.fromUnits(x, y, row);
                replayed_[grid_.place(h.x, h.y)] = {
                    x, y, uint8_t(row < 0 || row >= HoleTable::kRows ? kNoRow : row)};
            });
            grid_.endPlaces();
        } else {
            things_.resize(grid_.size());
            grid_.startPlaces();
            holes_.forEach([&](size_t i, const CheckedHole& h) {
                things_[grid_.place(h.x, h.y)] = uint32_t(i);
                return true;
            });
            grid_.endPlaces();
        }
    }

    // A thing's radius, before its centre is read.
    float radius(uint32_t thing) const
    {
        if (holes_.replayed())
            return holes_.radius(replayed_[thing].row == kNoRow ? -1 : int(replayed_[thing].row));
        return holes_.radiusAt(thing);
    }
    CheckedHole hole(uint32_t thing) const
    {
        if (holes_.replayed()) {
            const ReplayedHole& r = replayed_[thing];
            return holes_.fromUnits(r.x, r.y, r.row == kNoRow ? -1 : int(r.row));
        }
        CheckedHole h;
        holes_.at(thing, h);
        return h;
    }
    // take(thing) as PointGrid::forEachNear.
    template <typename Take>
    void forEachNear(double x1, double y1, double x2, double y2, double reach, Take take) const
    {
        if (holes_.replayed()) {
            grid_.forEachNear(x1, y1, x2, y2, reach, take);
            return;
        }
        grid_.forEachNear(x1, y1, x2, y2, reach, [&](uint32_t p) { return take(things_[p]); });
    }
    // Calls take(thing, hole) for every hole in the board's order, until take returns false;
    // earlier(thing) then says whether a thing came before the one taken last.
    template <typename Take> void forEachInOrder(Take take)
    {
        if (!holes_.replayed()) {
            holes_.forEach([&](size_t i, const CheckedHole& h) {
                current_ = uint32_t(i);
                return take(uint32_t(i), h);
            });
            return;
        }
        taken_.assign(grid_.size(), false);
        grid_.startPlaces();
        holes_.forEach([&](size_t, const CheckedHole& h) {
            const uint32_t p = grid_.place(h.x, h.y);
            taken_[p] = true;
            return take(p, h);
        });
        grid_.endPlaces();
        std::vector<bool>().swap(taken_);
    }
    bool earlier(uint32_t thing) const { return holes_.replayed() ? bool(taken_[thing]) : thing < current_; }

private:
    static constexpr uint8_t kNoRow = 255;

    const CheckedHoles& holes_;
    PointGrid grid_;
    std::vector<uint32_t> things_; // per place in cell order: the hole's place among the board's
#pragma pack(push, 1)
    struct ReplayedHole {
        int32_t x, y; // file units
        uint8_t row;
    };
#pragma pack(pop)
    static_assert(sizeof(ReplayedHole) == 9, "a replayed hole is held in 9 bytes");
    std::vector<ReplayedHole> replayed_; // a replayed file's holes in cell order
    std::vector<bool> taken_; // per place, while in order: taken already
    uint32_t current_ = 0;
};

// The stretch of the segment a-b within r of the segment p-q, as [from, to] along a-b (0 at a,
// 1 at b); from > to for none. Within r of p-q is within one of its end discs or its band, and
// convex: the stretches of the three are one.
std::pair<double, double> stretchWithin(
    double ax, double ay, double bx, double by, const CheckedBoard::Slot& p, double r)
{
    double from = 1, to = 0;
    const auto take = [&from, &to](double f, double t) {
        f = std::max(f, 0.0);
        t = std::min(t, 1.0);
        if (f <= t) {
            from = std::min(from, f);
            to = std::max(to, t);
        }
    };
    const double dx = bx - ax, dy = by - ay;
    const double length2 = dx * dx + dy * dy;
    for (const auto& [cx, cy] : {std::pair {p.x1, p.y1}, std::pair {p.x2, p.y2}}) {
        const double b = dx * (ax - cx) + dy * (ay - cy);
        const double c = (ax - cx) * (ax - cx) + (ay - cy) * (ay - cy) - r * r;
        if (length2 == 0) {
            if (c <= 0)
                take(0, 1);
            continue;
        }
        const double d = b * b - length2 * c;
        if (d >= 0)
            take((-b - std::sqrt(d)) / length2, (-b + std::sqrt(d)) / length2);
    }
    const double ux = p.x2 - p.x1, uy = p.y2 - p.y1;
    const double span = std::sqrt(ux * ux + uy * uy);
    if (span == 0)
        return {from, to};
    // Along p-q from 0 to its length, across it within r: each linear along a-b.
    double f = 0, t = 1;
    const auto clip = [&f, &t](double at, double rate, double low, double high) {
        if (rate == 0) {
            if (at < low || at > high) {
                f = 1;
                t = 0;
            }
            return;
        }
        double t0 = (low - at) / rate, t1 = (high - at) / rate;
        if (t0 > t1)
            std::swap(t0, t1);
        f = std::max(f, t0);
        t = std::min(t, t1);
    };
    clip(((ax - p.x1) * ux + (ay - p.y1) * uy) / span, (dx * ux + dy * uy) / span, 0, span);
    clip(((ax - p.x1) * uy - (ay - p.y1) * ux) / span, (dx * uy - dy * ux) / span, -r, r);
    take(f, t);
    return {from, to};
}

// Which closed contours of the outline are a hole's or a slot's own: a cut-out drawn round it,
// as CAD programs draw one, drilled away with it. A contour is a hole's own when it lies wholly
// within the hole, with kSpare to spare; a slot's own when it lies within the slot's swept
// shape, its radius and kSpare from its centre line. Each contour is judged once per hole or
// slot that comes near it, by its box first and the circle about its box's centre that holds
// it; only where those do not decide, by its lines, each read against the work's budget.
class OwnContours {
public:
    static constexpr double kSpare = 0.02;

    OwnContours(const OutlineContours& contours, const CheckedBoard& board, Work& work)
        : contours_(contours), board_(board), work_(work), asked_(contours.size(), 0),
          own_(contours.size(), 0)
    {
    }

    bool ofHole(uint32_t c, size_t hole, const CheckedHole& h)
    {
        const uint64_t query = hole + 1;
        if (asked_[c] != query) {
            asked_[c] = query;
            own_[c] = withinDisc(c, h.x, h.y, double(h.radius) + kSpare);
        }
        return own_[c] != 0;
    }

    // The slot of the pieces [first, end); box: theirs, grown by their radius and kSpare.
    bool ofSlot(uint32_t c, size_t first, size_t end, const std::array<double, 4>& box)
    {
        const uint64_t query = board_.holes.size() + 1 + first;
        if (asked_[c] != query) {
            asked_[c] = query;
            own_[c] = withinSlot(c, first, end, box);
        }
        return own_[c] != 0;
    }

private:
    bool withinDisc(uint32_t c, double x, double y, double r)
    {
        const OutlineContours::Contour& k = contours_[c];
        if (k.x0 < x - r || k.x1 > x + r || k.y0 < y - r || k.y1 > y + r)
            return false;
        const double apart = distance(x, y, (k.x0 + k.x1) / 2, (k.y0 + k.y1) / 2);
        if (apart + k.reach <= r)
            return true;
        if (k.reach - apart > r)
            return false;
        // A disc holds a line when it holds both its ends.
        return contours_.all(c, [&](const CheckedBoard::Line& l) {
            return work_.spend() && distance(x, y, l.x1, l.y1) <= r && distance(x, y, l.x2, l.y2) <= r;
        });
    }

    bool withinSlot(uint32_t c, size_t first, size_t end, const std::array<double, 4>& box)
    {
        const OutlineContours::Contour& k = contours_[c];
        if (k.x0 < box[0] || k.y0 < box[1] || k.x1 > box[2] || k.y1 > box[3])
            return false;
        const auto& pieces = board_.slotPieces;
        const double cx = (k.x0 + k.x1) / 2, cy = (k.y0 + k.y1) / 2;
        for (size_t i = first; i < end; ++i) {
            const auto& p = pieces[i];
            if (!work_.spend())
                return false;
            if (pointSegment(cx, cy, p.x1, p.y1, p.x2, p.y2) + k.reach <= double(p.radius) + kSpare)
                return true;
        }
        // A contour round a routed slot follows it: each line is looked for first at the piece
        // that held the line before, then at the pieces on either side of it.
        size_t hint = first;
        return contours_.all(c, [&](const CheckedBoard::Line& l) { return swept(l, first, end, hint); });
    }

    // Whether the slot's swept shape holds the line: both its ends within one piece's reach (each
    // piece's shape is convex), else its stretches within the pieces' reaches cover it.
    bool swept(const CheckedBoard::Line& l, size_t first, size_t end, size_t& hint)
    {
        const auto& pieces = board_.slotPieces;
        const auto holds = [&](size_t i) {
            const auto& p = pieces[i];
            const double r = double(p.radius) + kSpare;
            return pointSegment(l.x1, l.y1, p.x1, p.y1, p.x2, p.y2) <= r
                && pointSegment(l.x2, l.y2, p.x1, p.y1, p.x2, p.y2) <= r;
        };
        // hint, hint + 1, hint - 1, hint + 2, hint - 2, ...
        for (size_t step = 0; step < 2 * (end - first); ++step) {
            const size_t offset = (step + 1) / 2;
            if (step % 2 == 1 ? hint + offset >= end : offset > hint - first)
                continue;
            const size_t i = step % 2 == 1 ? hint + offset : hint - offset;
            if (!work_.spend())
                return false;
            if (holds(i)) {
                hint = i;
                return true;
            }
        }
        stretches_.clear();
        for (size_t i = first; i < end; ++i) {
            if (!work_.spend())
                return false;
            const auto s =
                stretchWithin(l.x1, l.y1, l.x2, l.y2, pieces[i], double(pieces[i].radius) + kSpare);
            if (s.first <= s.second)
                stretches_.push_back(s);
        }
        std::sort(stretches_.begin(), stretches_.end());
        constexpr double kGap = 1e-9; // along the line: where two stretches meet
        double covered = 0;
        for (const auto& [from, to] : stretches_) {
            if (from > covered + kGap)
                return false;
            covered = std::max(covered, to);
        }
        return covered >= 1 - kGap;
    }

    const OutlineContours& contours_;
    const CheckedBoard& board_;
    Work& work_;
    std::vector<uint64_t> asked_; // per contour: the last hole (+ 1) or slot that asked
    std::vector<uint8_t> own_; // per contour: the answer
    std::vector<std::pair<double, double>> stretches_;
};

// The budget of each pair check: a floor, and so many reads for each hole, slot piece and line
// of the outline.
constexpr uint64_t kWorkFloor = 1u << 24;
constexpr uint64_t kWorkPerThing = 32;

class Checker {
public:
    Checker(const CheckedBoard& board, const CheckLimits& limits) : board_(board), limits_(limits) { }

    CheckReport run()
    {
        report_.ending = board_.ending;
        report_.hasOutline = !board_.outline.empty();
        rowChecks();
        slotRatios();
        // The checks of pairs, each within its budget of reads.
        const uint64_t things = board_.holes.kept() + board_.slotPieces.size() + board_.outline.size();
        const auto pairChecks = [&](void (Checker::*check)()) {
            if (report_.truncated)
                return;
            work_.start(kWorkFloor + kWorkPerThing * things);
            (this->*check)();
            if (work_.over())
                report_.crowded = true;
        };
        if (report_.hasOutline)
            pairChecks(&Checker::edgeChecks);
        pairChecks(&Checker::holePairs);
        pairChecks(&Checker::slotPairs);
        if (report_.crowded)
            report_.truncated = true;
        sortFindings();
        return std::move(report_);
    }

private:
    // By kind, rows, place and the other hole's place: the keys sorted, then the findings moved
    // once into their order (a finding is too large to be swapped about a hundred thousand times).
    void sortFindings()
    {
        using Key = std::tuple<int, int, int, double, double, double, double, size_t>;
        std::vector<Key> keys;
        keys.reserve(report_.findings.size());
        for (size_t i = 0; i < report_.findings.size(); ++i) {
            const Finding& f = report_.findings[i];
            const std::array<double, 2> at = f.at.value_or(std::array<double, 2> {0, 0});
            const std::array<double, 2> other = f.other.value_or(std::array<double, 2> {0, 0});
            keys.emplace_back(int(f.kind), f.rows[0], f.rows[1], at[0], at[1], other[0], other[1], i);
        }
        std::sort(keys.begin(), keys.end());
        std::vector<Finding> sorted;
        sorted.reserve(keys.size());
        for (const Key& k : keys)
            sorted.push_back(std::move(report_.findings[std::get<7>(k)]));
        report_.findings = std::move(sorted);
    }

    // False once the findings are full: the checks stop.
    bool add(Finding f)
    {
        if (report_.truncated)
            return false;
        if (qint64(report_.findings.size()) >= kMaxFindings) {
            report_.truncated = true;
            return false;
        }
        ++report_.counts[size_t(f.kind)];
        report_.findings.push_back(std::move(f));
        return true;
    }

    void rowChecks()
    {
        for (int r = 0; r < HoleTable::kRows; ++r) {
            const CheckedBoard::Row& row = board_.rows[size_t(r)];
            if (!row.used)
                continue;
            Finding f;
            f.rows[0] = r;
            f.files[0] = row.file;
            f.at = row.first;
            if (row.diameter && *row.diameter < limits_.minDrill) {
                f.kind = CheckKind::MinDrill;
                f.value = *row.diameter;
                f.limit = limits_.minDrill;
                add(f);
            }
            // The table's number against the file's own, to the micrometre.
            if (row.tableSize && row.fileSize
                && std::llround(*row.tableSize * 1000) != std::llround(*row.fileSize * 1000)) {
                f.kind = CheckKind::ToolSize;
                f.value = *row.tableSize;
                f.limit = *row.fileSize;
                add(f);
            }
            if (!row.toolKind.isEmpty() && !row.fileKind.isEmpty() && row.toolKind != row.fileKind) {
                f.kind = CheckKind::Plating;
                f.value.reset();
                f.limit.reset();
                f.detail = row.toolKind + QLatin1Char('/') + row.fileKind;
                add(f);
            }
        }
    }

    void slotRatios()
    {
        const auto& slotPieces = board_.slotPieces;
        for (size_t i = 0; i < slotPieces.size();) {
            size_t end = i + 1;
            double length =
                std::hypot(slotPieces[i].x2 - slotPieces[i].x1, slotPieces[i].y2 - slotPieces[i].y1);
            while (end < slotPieces.size() && slotPieces[end].path == slotPieces[i].path) {
                length += std::hypot(
                    slotPieces[end].x2 - slotPieces[end].x1, slotPieces[end].y2 - slotPieces[end].y1);
                ++end;
            }
            const double width = 2.0 * double(slotPieces[i].radius);
            if (width > 0) {
                // End to end, the round ends included, as a slot's size is given.
                const double ratio = measured((length + width) / width);
                if (ratio < limits_.slotRatio) {
                    Finding f;
                    f.kind = CheckKind::SlotRatio;
                    f.rows[0] = slotPieces[i].row;
                    f.files[0] = slotPieces[i].file;
                    f.at = std::array<double, 2> {slotPieces[i].x1, slotPieces[i].y1};
                    f.value = ratio;
                    f.limit = limits_.slotRatio;
                    if (!add(f))
                        return;
                }
            }
            i = end;
        }
    }

    void edgeChecks()
    {
        // The outline's closed contours that lie within a hole or slot are its own (a cut-out
        // drawn round it), not an edge; a line of the outline, however short, or an open chain
        // of them never is: the distances do not depend on how the outline is cut into pieces.
        // Chained before the grid is built: what chaining holds for a while is gone by then.
        const OutlineContours contours(board_.outline);
        OwnContours own(contours, board_, work_);
        Reaches reaches;
        board_.holes.forEachRadius(
            [&](float radius, size_t n) { reaches[2 * (double(radius) + limits_.minEdge)] += n; });
        for (const auto& p : board_.slotPieces)
            ++reaches[2 * (double(p.radius) + limits_.minEdge)];
        Grid grid(cellFor(reaches), work_);
        for (size_t i = 0; i < board_.outline.size(); ++i) {
            const auto& l = board_.outline[i];
            grid.addSegment(uint32_t(i), l.x1, l.y1, l.x2, l.y2);
        }
        grid.build();
        const auto nearest = [&](double x1, double y1, double x2, double y2, double radius, double& nx,
                                 double& ny, auto&& isOwn) {
            double best = std::numeric_limits<double>::max();
            const double reach = radius + limits_.minEdge;
            grid.forEachNear(x1, y1, x2, y2, reach, [&](uint32_t k) {
                const auto& l = board_.outline[k];
                // The grid reads a cell more than the reach: a line whose box lies beyond the
                // reach (or beyond a nearer line) is passed over at the cost of a few comparisons.
                const double gap = std::max(std::max(std::min(l.x1, l.x2) - std::max(x1, x2),
                                                std::min(x1, x2) - std::max(l.x1, l.x2)),
                    std::max(
                        std::min(l.y1, l.y2) - std::max(y1, y2), std::min(y1, y2) - std::max(l.y1, l.y2)));
                if (gap > reach || gap >= best)
                    return true;
                if (const uint32_t c = contours.of(k); c != OutlineContours::kNone && isOwn(c))
                    return !work_.over();
                // The nearest point of the outline line to the hole (or the slot's line).
                double px = 0, py = 0;
                const CheckedBoard::Slot a {l.x1, l.y1, l.x2, l.y2, 0, 0, 0, 0};
                const CheckedBoard::Slot b {x1, y1, x2, y2, 0, 0, 0, 0};
                const double d = x1 == x2 && y1 == y2 ? pointSegment(x1, y1, l.x1, l.y1, l.x2, l.y2, &px, &py)
                                                      : segmentSegment(a, b);
                if (d < best) {
                    best = d;
                    if (!(x1 == x2 && y1 == y2))
                        pointSegment((x1 + x2) / 2, (y1 + y2) / 2, l.x1, l.y1, l.x2, l.y2, &px, &py);
                    nx = px;
                    ny = py;
                }
                return best > 0; // touching: nothing is nearer
            });
            return best;
        };
        const auto judge = [&](double edge, int row, int file, double x, double y, double nx, double ny) {
            if (edge >= limits_.minEdge)
                return true;
            Finding f;
            f.kind = edge < 0 ? CheckKind::OutlineCut : CheckKind::Edge;
            f.rows[0] = row;
            f.files[0] = file;
            f.at = std::array<double, 2> {x, y};
            f.other = std::array<double, 2> {nx, ny};
            f.value = edge;
            f.limit = edge < 0 ? 0.0 : limits_.minEdge;
            return add(f);
        };
        bool going = true;
        board_.holes.forEach([&](size_t i, const CheckedHole& h) {
            double nx = 0, ny = 0;
            const double d = nearest(h.x, h.y, h.x, h.y, h.radius, nx, ny,
                [&own, i, &h](uint32_t c) { return own.ofHole(c, i, h); });
            // A nearest line not looked for to the end stops the checks, as a judged one may.
            going = !work_.over()
                && (d == std::numeric_limits<double>::max()
                    || judge(measured(d - double(h.radius)), h.row, h.file, h.x, h.y, nx, ny));
            return going;
        });
        if (!going)
            return;
        // A slot once, at its nearest piece.
        const auto& slotPieces = board_.slotPieces;
        for (size_t i = 0; i < slotPieces.size();) {
            size_t end = i;
            // The slot's box, grown by as much as a contour of its own may lie from its centre line.
            std::array<double, 4> box {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
            for (; end < slotPieces.size() && slotPieces[end].path == slotPieces[i].path; ++end) {
                const auto& s = slotPieces[end];
                const double r = double(s.radius) + OwnContours::kSpare;
                box = {std::min({box[0], s.x1 - r, s.x2 - r}), std::min({box[1], s.y1 - r, s.y2 - r}),
                    std::max({box[2], s.x1 + r, s.x2 + r}), std::max({box[3], s.y1 + r, s.y2 + r})};
            }
            const auto isOwn = [&own, i, end, &box](uint32_t c) { return own.ofSlot(c, i, end, box); };
            double best = std::numeric_limits<double>::max(), bx = 0, by = 0;
            for (size_t k = i; k < end && best > 0; ++k) { // touching: no piece is nearer
                double nx = 0, ny = 0;
                const auto& s = slotPieces[k];
                const double d = nearest(s.x1, s.y1, s.x2, s.y2, s.radius, nx, ny, isOwn);
                if (d < best) {
                    best = d;
                    bx = nx;
                    by = ny;
                }
                if (work_.over())
                    return;
            }
            const auto& s = slotPieces[i];
            if (best != std::numeric_limits<double>::max()
                && !judge(measured(best - double(s.radius)), s.row, s.file, s.x1, s.y1, bx, by))
                return;
            i = end;
        }
    }

    bool pair(CheckKind kind, const std::array<int, 2>& rows, const std::array<int, 2>& files,
        const std::array<double, 2>& a, const std::array<double, 2>& b, double value, double limit)
    {
        Finding f;
        f.kind = kind;
        f.rows = rows;
        f.files = files;
        f.at = a;
        f.other = b;
        f.value = value;
        f.limit = limit;
        return add(f);
    }

    // Two holes' centres and edges: stacked, overlapping or too close. False once full.
    bool judgePair(double centres, double edge, const std::array<int, 2>& rows,
        const std::array<int, 2>& files, const std::array<double, 2>& a, const std::array<double, 2>& b,
        bool canStack)
    {
        if (canStack && centres <= kStackedDistance)
            return pair(CheckKind::Stacked, rows, files, a, b, centres, kStackedDistance);
        if (edge < 0)
            return pair(CheckKind::Overlap, rows, files, a, b, edge, 0.0);
        if (edge < limits_.minSpacing)
            return pair(CheckKind::Spacing, rows, files, a, b, edge, limits_.minSpacing);
        return true;
    }

    void holePairs()
    {
        const CheckedHoles& holes = board_.holes;
        if (holes.kept() < 2 || report_.truncated)
            return;
        Reaches reaches;
        holes.forEachRadius([&](float radius, size_t n) {
            reaches[2.0 * double(radius) + limits_.minSpacing + kStackedDistance] += n;
        });
        HoleIndex index(holes, cellFor(reaches), work_);
        // Each pair once, from the larger hole (the one read first of two alike): it reaches the
        // other within its own diameter and the spacing.
        index.forEachInOrder([&](uint32_t i, const CheckedHole& a) {
            const double reach = 2.0 * double(a.radius) + limits_.minSpacing + kStackedDistance;
            bool full = false;
            index.forEachNear(a.x, a.y, a.x, a.y, reach, [&](uint32_t j) {
                if (j == i)
                    return true;
                const float radius = index.radius(j);
                const bool before = index.earlier(j);
                if (radius > a.radius || (radius == a.radius && before))
                    return true;
                const CheckedHole b = index.hole(j);
                const double apart = distance(a.x, a.y, b.x, b.y);
                const double centres = measured(apart);
                const double edge = measured(apart - double(a.radius) - double(b.radius));
                if (centres > kStackedDistance && edge >= limits_.minSpacing)
                    return true;
                const CheckedHole& p = before ? b : a;
                const CheckedHole& q = before ? a : b;
                full =
                    !judgePair(centres, edge, {p.row, q.row}, {p.file, q.file}, {p.x, p.y}, {q.x, q.y}, true);
                return !full;
            });
            return !full && !work_.over();
        });
    }

    void slotPairs()
    {
        const auto& slotPieces = board_.slotPieces;
        if (slotPieces.empty() || report_.truncated)
            return;
        float largestHole = 0, largestSlot = 0;
        Reaches reaches;
        board_.holes.forEachRadius(
            [&](float radius, size_t) { largestHole = std::max(largestHole, radius); });
        for (const auto& p : slotPieces) {
            largestSlot = std::max(largestSlot, p.radius);
            ++reaches[2.0 * double(p.radius) + limits_.minSpacing];
        }
        const double cell = cellFor(reaches);
        const HoleIndex holeGrid(board_.holes, cell, work_);
        Grid slotGrid(cell, work_);
        for (size_t i = 0; i < slotPieces.size(); ++i)
            slotGrid.addSegment(
                uint32_t(i), slotPieces[i].x1, slotPieces[i].y1, slotPieces[i].x2, slotPieces[i].y2);
        slotGrid.build();
        std::vector<uint32_t> pieces(size_t(slotPieces.back().path) + 1, 0); // per slot: how many pieces
        for (const auto& s : slotPieces)
            ++pieces[size_t(s.path)];

        // Slot and hole: the nearest piece of the slot to the hole, once per slot and hole.
        // Slot and slot: the nearest pieces of two slots, once per two slots. Per slot, what it
        // comes near is kept in arrays over every hole and slot, cleared again after it.
        // The holes a slot comes near: few of the board's, kept by their thing.
        std::unordered_map<uint32_t, double> holeBest;
        constexpr double kFar = std::numeric_limits<double>::infinity();
        std::vector<uint32_t> nearHoles;
        std::vector<double> slotBest(pieces.size(), kFar);
        std::vector<size_t> slotPiece(pieces.size()); // per slot: its nearest piece
        std::vector<int32_t> nearSlots;
        for (size_t i = 0; i < slotPieces.size();) {
            size_t end = i;
            while (end < slotPieces.size() && slotPieces[end].path == slotPieces[i].path)
                ++end;
            for (size_t k = i; k < end; ++k) {
                const auto& s = slotPieces[k];
                holeGrid.forEachNear(s.x1, s.y1, s.x2, s.y2,
                    double(s.radius) + double(largestHole) + limits_.minSpacing, [&](uint32_t j) {
                        const auto known = holeBest.find(j);
                        if (known != holeBest.end() && known->second == 0) // touching already
                            return true;
                        const CheckedHole h = holeGrid.hole(j);
                        const double d = pointSegment(h.x, h.y, s.x1, s.y1, s.x2, s.y2);
                        if (d - double(s.radius) - double(h.radius) >= limits_.minSpacing)
                            return true;
                        if (known == holeBest.end()) {
                            nearHoles.push_back(j);
                            holeBest.emplace(j, d);
                        } else {
                            known->second = std::min(known->second, d);
                        }
                        return true;
                    });
                slotGrid.forEachNear(s.x1, s.y1, s.x2, s.y2,
                    double(s.radius) + double(largestSlot) + limits_.minSpacing, [&](uint32_t j) {
                        const auto& t = slotPieces[j];
                        // Each two slots once, from the one read first.
                        if (t.path <= s.path || slotBest[size_t(t.path)] == 0)
                            return true;
                        const double d = segmentSegment(s, t);
                        if (d - double(s.radius) - double(t.radius) >= limits_.minSpacing)
                            return true;
                        double& best = slotBest[size_t(t.path)];
                        if (best == kFar)
                            nearSlots.push_back(t.path);
                        if (d < best) {
                            best = d;
                            slotPiece[size_t(t.path)] = j;
                        }
                        return true;
                    });
                if (work_.over())
                    return;
            }
            std::sort(nearHoles.begin(), nearHoles.end());
            std::sort(nearSlots.begin(), nearSlots.end());
            const bool going =
                judgeSlot(i, holeGrid, nearHoles, holeBest, nearSlots, slotBest, slotPiece, pieces);
            holeBest.clear();
            for (const int32_t path : nearSlots)
                slotBest[size_t(path)] = kFar;
            nearHoles.clear();
            nearSlots.clear();
            if (!going)
                return;
            i = end;
        }
    }

    // The findings of the slot that starts at piece i with the holes and later slots it comes
    // near (their nearest distances, and the nearest piece of each slot). False once full.
    bool judgeSlot(size_t i, const HoleIndex& holes, const std::vector<uint32_t>& nearHoles,
        const std::unordered_map<uint32_t, double>& holeBest, const std::vector<int32_t>& nearSlots,
        const std::vector<double>& slotBest, const std::vector<size_t>& slotPiece,
        const std::vector<uint32_t>& pieces)
    {
        const auto& s = board_.slotPieces[i];
        for (const uint32_t j : nearHoles) {
            const CheckedHole h = holes.hole(j);
            const double d = holeBest.at(j);
            const double edge = measured(d - double(s.radius) - double(h.radius));
            if (!judgePair(
                    measured(d), edge, {s.row, h.row}, {s.file, h.file}, {s.x1, s.y1}, {h.x, h.y}, false))
                return false;
        }
        for (const int32_t path : nearSlots) {
            const auto& t = board_.slotPieces[slotPiece[size_t(path)]];
            const double d = slotBest[size_t(path)];
            const double edge = measured(d - double(s.radius) - double(t.radius));
            // The same slot twice: two slots of one piece each, both ends at the same places.
            const bool same = pieces[size_t(s.path)] == 1 && pieces[size_t(path)] == 1
                && ((std::hypot(s.x1 - t.x1, s.y1 - t.y1) <= kStackedDistance
                        && std::hypot(s.x2 - t.x2, s.y2 - t.y2) <= kStackedDistance)
                    || (std::hypot(s.x1 - t.x2, s.y1 - t.y2) <= kStackedDistance
                        && std::hypot(s.x2 - t.x1, s.y2 - t.y1) <= kStackedDistance));
            if (same) {
                const double apart = std::max(
                    std::min(std::hypot(s.x1 - t.x1, s.y1 - t.y1), std::hypot(s.x1 - t.x2, s.y1 - t.y2)),
                    std::min(std::hypot(s.x2 - t.x2, s.y2 - t.y2), std::hypot(s.x2 - t.x1, s.y2 - t.y1)));
                if (!pair(CheckKind::Stacked, {s.row, t.row}, {s.file, t.file}, {s.x1, s.y1}, {t.x1, t.y1},
                        measured(apart), kStackedDistance))
                    return false;
                continue;
            }
            if (!judgePair(
                    measured(d), edge, {s.row, t.row}, {s.file, t.file}, {s.x1, s.y1}, {t.x1, t.y1}, false))
                return false;
        }
        return true;
    }

    const CheckedBoard& board_;
    const CheckLimits& limits_;
    CheckReport report_;
    Work work_;
};
} // namespace

CheckReport runChecks(const CheckedBoard& board, const CheckLimits& limits)
{
    return Checker(board, limits).run();
}

QStringList rowsWithoutDiameter(const CheckedBoard& board, const HoleTable& table)
{
    QStringList codes;
    for (int r = 0; r < HoleTable::kRows; ++r) {
        if (board.rows[size_t(r)].used && !board.rows[size_t(r)].diameter)
            codes << table.row(r).dcode;
    }
    return codes;
}

QString findingRows(const Finding& f, const HoleTable& table)
{
    QStringList parts;
    for (const int r : f.rows) {
        if (r >= 0 && r < HoleTable::kRows)
            parts << msg::checkRow(r + 1, table.row(r).dcode);
    }
    return parts.join(QStringLiteral(" / "));
}

namespace {
QByteArray millimetres(const std::optional<double>& v)
{
    return v ? QByteArray::number(*v, 'f', 3) : QByteArray();
}
} // namespace

QByteArray findingsCsv(const CheckReport& report, const HoleTable& table, const QStringList& files)
{
    QByteArray out("\xEF\xBB\xBF");
    out += msg::checkCsvHeader().toUtf8() + "\r\n";
    for (const Finding& f : report.findings) {
        QStringList codes, names;
        for (int k = 0; k < 2; ++k) {
            if (f.rows[size_t(k)] < 0)
                continue;
            codes << table.row(f.rows[size_t(k)]).dcode;
            names << files.value(f.files[size_t(k)]);
        }
        QStringList rows;
        for (const int r : f.rows) {
            if (r >= 0)
                rows << QString::number(r + 1);
        }
        const CheckUnit unit = checkDescriptor(f.kind).unit;
        const auto number = [ratio = unit == CheckUnit::Ratio](const std::optional<double>& v) {
            return ratio && v ? QByteArray::number(*v, 'f', 2) : millimetres(v);
        };
        out += csvField(checkTitle(f.kind)) + ',' + csvField(rows.join(QLatin1Char('/'))) + ','
            + csvField(codes.join(QLatin1Char('/'))) + ',' + csvField(names.join(QLatin1Char('/'))) + ','
            + (f.at ? millimetres((*f.at)[0]) + ',' + millimetres((*f.at)[1]) : QByteArray(",")) + ','
            + (f.other ? millimetres((*f.other)[0]) + ',' + millimetres((*f.other)[1]) : QByteArray(","))
            + ',' + (unit == CheckUnit::None ? csvField(f.detail) : number(f.value)) + ',' + number(f.limit)
            + "\r\n";
    }
    return out;
}

} // namespace kivotrek
