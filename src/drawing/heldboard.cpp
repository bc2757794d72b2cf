#include "drawing/heldboard.h"

#include "common/numbers.h"
#include "drawing/boarddrawing.h"
#include "drawing/gerberreplay.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace kivotrek {

double millimetresPerUnit(const BoardExtent& extent)
{
    // Twips per unit over 56.7 twips per millimetre: the readers' scales are 0.567 times a power
    // of ten (a single-precision 0.0567 for 0.001 mm), and the unit is that power of ten, exactly.
    const double perUnit = static_cast<double>(extent.unitScale) / 56.7;
    return perUnit > 0 ? std::pow(10.0, std::round(std::log10(perUnit))) : 0.0;
}

std::optional<double> rowDiameter(const HoleTable& table, int row)
{
    if (row < 0 || row >= HoleTable::kRows)
        return std::nullopt;
    // The number at the start of the text, as the drawing reads it ("0.8mm" is 0.8).
    return numberAtStart(table.row(row).diameter);
}

namespace {

void walkGerber(const Board& board, const HoleTable& table, const BoardExtent& extent,
    const BoardMarks& marks, WalkedBoard& walked)
{
    const double mm = millimetresPerUnit(extent);
    walked.files << QFileInfo(board.files.front().path).fileName();
    // The extent is the board's corner at the origin to its farthest point.
    const double perTwip = extent.unitScale > 0 ? mm / static_cast<double>(extent.unitScale) : 0;
    walked.frame = QRectF(0, 0, extent.maxX * perTwip, extent.maxY * perTwip);
    bool running = false;
    int lastRow = -2;
    int32_t lastX = 0, lastY = 0;
    if (!board.data.gerberSteps) {
        walked.ending = {DrawResult::Ending::Unreadable, std::nullopt, board.files.front().path};
        return;
    }
    walked.ending = listMarks(*board.data.gerberSteps, table, [&](const DrillMark& m) {
        if (!m.slot) {
            marks.hole(m.x1 * mm, m.y1 * mm, m.row, 0);
            running = false;
            return;
        }
        const bool joined = running && m.row == lastRow && m.x1 == lastX && m.y1 == lastY;
        marks.slot(m.x1 * mm, m.y1 * mm, m.x2 * mm, m.y2 * mm, m.row, 0, joined);
        running = true;
        lastRow = m.row;
        lastX = m.x2;
        lastY = m.y2;
    });
}

void walkDrills(const Board& board, const BoardMarks& marks, WalkedBoard& walked)
{
    const BoardData& data = board.data;
    const DrillFrame frame = boardFrame(data);
    const double perTwip = 1.0 / 56.7;
    walked.frame = QRectF(frame.left, frame.bottom, frame.extent.maxX * perTwip, frame.extent.maxY * perTwip);
    const auto outline = [&marks](const std::vector<OutlineSegment>& pieces) {
        for (const OutlineSegment& s : pieces)
            marks.outline(s.x1(), s.y1(), s.x2(), s.y2());
    };
    if (data.outline)
        outline(data.outline->outline);
    for (size_t f = 0; f < data.drills.size() && f < board.files.size(); ++f) {
        const DrillData& d = data.drills[f];
        const BoardFile& file = board.files[f];
        walked.files << QFileInfo(file.path).fileName();
        // A tool's row is its file's first row and the tool's place; tools beyond the table have
        // no row and are not drawn.
        const auto row = [&file](int tool) {
            return tool >= 0 && tool < file.rowCount ? file.firstRow + tool : -1;
        };
        outline(d.outline);
        for (const DrillHit& h : d.holes) {
            if (row(h.tool) >= 0)
                marks.hole(h.x(), h.y(), row(h.tool), int(f));
        }
        for (const DrillSlot& s : d.slotHoles) {
            if (row(s.tool) >= 0)
                marks.slot(s.x1(), s.y1(), s.x2(), s.y2(), row(s.tool), int(f), s.joined);
        }
    }
}
} // namespace

WalkedBoard walkBoard(
    const Board& board, const HoleTable& table, const BoardExtent& extent, const BoardMarks& marks)
{
    WalkedBoard walked;
    if (board.isEmpty()) {
        walked.ending = {DrawResult::Ending::NoExtent};
        return walked;
    }
    if (board.replaysGerber()) {
        walkGerber(board, table, extent, marks, walked);
        return walked;
    }
    if (const auto unreadable = unreadableFile(board))
        walked.ending = *unreadable;
    walkDrills(board, marks, walked);
    return walked;
}

void HeldBoard::Holes::addFile(const BoardData& data, size_t file, int firstRow, int rowCount)
{
    const HoleList& hits = data.drills[file].holes;
    data_ = &data;
    if (hits.empty())
        return;
    runs_.add(hits.data(), hits.size(), firstRow, rowCount, file);
}

void HeldBoard::Holes::startReplayed(size_t n, const std::array<int32_t, 4>& box, double millimetresPerUnit)
{
    unit_ = millimetresPerUnit;
    left_ = box[0];
    bottom_ = box[2];
    const auto bitsOf = [](int64_t span) {
        int bits = 1;
        while (bits < 32 && (int64_t(1) << bits) <= span)
            ++bits;
        return bits;
    };
    xBits_ = bitsOf(int64_t(box[1]) - box[0]);
    yBits_ = bitsOf(int64_t(box[3]) - box[2]);
    const int bits = xBits_ + yBits_ + 6; // 63 rows and none
    bytes_ = bits <= 64 ? (bits + 7) / 8 : 9;
    xMask_ = (uint64_t(1) << xBits_) - 1;
    yMask_ = (uint64_t(1) << yBits_) - 1;
    replayed_ = n;
    packed_.assign(n * size_t(bytes_) + 8, 0);
}

void HeldBoard::Holes::setReplayed(size_t i, int32_t x, int32_t y, uint8_t row)
{
    uint8_t* at = packed_.data() + i * size_t(bytes_);
    if (bytes_ == 9) {
        std::memcpy(at, &x, 4);
        std::memcpy(at + 4, &y, 4);
        at[8] = row;
        return;
    }
    const uint64_t v = (uint64_t(int64_t(x) - left_) & xMask_)
        | ((uint64_t(int64_t(y) - bottom_) & yMask_) << xBits_)
        | (uint64_t(row == kNoRow ? 63 : row & 63) << (xBits_ + yBits_));
    std::memcpy(at, &v, size_t(bytes_)); // little-endian: its low bytes
}

bool HeldBoard::Holes::current() const
{
    for (const DrillHoleRuns::Run& r : runs_.runs()) {
        if (r.file >= data_->drills.size() || data_->drills[r.file].holes.data() != r.hits
            || data_->drills[r.file].holes.size() != r.count)
            return false;
    }
    return true;
}

HeldBoard holdBoard(const Board& board, const HoleTable& table, const BoardExtent& extent)
{
    HeldBoard held;
    const bool gerber = board.replaysGerber();
    // A Gerber file's holes: counted and measured first, then held once in the grid's order.
    size_t replayed = 0;
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    std::array<int32_t, 4> box {}; // file units: left, right, bottom, top
    BoardMarks marks;
    marks.hole = [&](double x, double y, int, int) {
        if (!gerber)
            return; // held where the board holds them
        minX = replayed == 0 ? x : std::min(minX, x);
        maxX = replayed == 0 ? x : std::max(maxX, x);
        minY = replayed == 0 ? y : std::min(minY, y);
        maxY = replayed == 0 ? y : std::max(maxY, y);
        ++replayed;
    };
    marks.slot = [&held](double x1, double y1, double x2, double y2, int row, int file, bool joined) {
        held.slotHoles.push_back({float(x1), float(y1), float(x2), float(y2), HeldBoard::Holes::rowByte(row),
            uint8_t(std::min(file, 255)), joined});
    };
    marks.outline = [&held](double x1, double y1, double x2, double y2) {
        held.outline.push_back({float(x1), float(y1), float(x2), float(y2)});
    };
    WalkedBoard walked = walkBoard(board, table, extent, marks);
    held.frame = walked.frame;
    held.layers = board.layers;
    held.files = std::move(walked.files);
    held.ending = walked.ending;
    if (!gerber) {
        for (size_t f = 0; f < board.data.drills.size() && f < board.files.size(); ++f)
            held.holes.addFile(board.data, f, board.files[f].firstRow, board.files[f].rowCount);
        return held;
    }
    if (replayed == 0 || !board.data.gerberSteps)
        return held;
    // The holes' cells as the grid will lay them out, each hole placed in its cell's run.
    const HoleGrid::Layout layout = HoleGrid::layoutFor(replayed, minX, maxX, minY, maxY);
    const double mm = millimetresPerUnit(extent);
    const auto eachHole = [&](auto take) {
        listMarks(*board.data.gerberSteps, table, [&](const DrillMark& m) {
            if (!m.slot)
                take(m);
        });
    };
    std::vector<uint32_t> next(size_t(layout.columns) * size_t(layout.rows) + 1, 0);
    bool first = true;
    eachHole([&](const DrillMark& m) {
        ++next[layout.cellOf(m.x1 * mm, m.y1 * mm) + 1];
        box = first ? std::array<int32_t, 4> {m.x1, m.x1, m.y1, m.y1}
                    : std::array<int32_t, 4> {std::min(box[0], m.x1), std::max(box[1], m.x1),
                        std::min(box[2], m.y1), std::max(box[3], m.y1)};
        first = false;
    });
    for (size_t c = 1; c < next.size(); ++c)
        next[c] += next[c - 1];
    held.holes.startReplayed(next.back(), box, mm);
    eachHole([&](const DrillMark& m) {
        held.holes.setReplayed(
            next[layout.cellOf(m.x1 * mm, m.y1 * mm)]++, m.x1, m.y1, HeldBoard::Holes::rowByte(m.row));
    });
    return held;
}

HoleGrid::Layout HoleGrid::layoutFor(size_t holes, double minX, double maxX, double minY, double maxY)
{
    Layout l;
    // About four holes a cell, square cells, at most 4,096 a side.
    const double width = std::max(maxX - minX, 1e-3), height = std::max(maxY - minY, 1e-3);
    const double cell = std::max(std::sqrt(width * height * 4.0 / double(std::max<size_t>(holes, 1))), 1e-3);
    l.columns = int(std::clamp(std::ceil(width / cell), 1.0, 4096.0));
    l.rows = int(std::clamp(std::ceil(height / cell), 1.0, 4096.0));
    l.cellWidth = width / l.columns;
    l.cellHeight = height / l.rows;
    l.left = minX;
    l.bottom = minY;
    return l;
}

size_t HoleGrid::Layout::cellOf(double x, double y) const
{
    const double c = std::floor((x - left) / cellWidth), r = std::floor((y - bottom) / cellHeight);
    const int column = int(std::clamp(std::isfinite(c) ? c : 0.0, 0.0, double(columns - 1)));
    const int row = int(std::clamp(std::isfinite(r) ? r : 0.0, 0.0, double(rows - 1)));
    return size_t(row) * size_t(columns) + size_t(column);
}

HoleGrid::HoleGrid(const HeldBoard& board)
{
    const size_t n = board.holes.size();
    holes_ = n;
    if (n == 0)
        return;
    // The box of the shown holes' centres.
    size_t shown = 0;
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    HeldBoard::Hole h;
    for (size_t i = 0; i < n; ++i) {
        if (!board.holes.at(i, h) || !std::isfinite(h.x) || !std::isfinite(h.y))
            continue;
        minX = shown == 0 ? h.x : std::min(minX, h.x);
        maxX = shown == 0 ? h.x : std::max(maxX, h.x);
        minY = shown == 0 ? h.y : std::min(minY, h.y);
        maxY = shown == 0 ? h.y : std::max(maxY, h.y);
        ++shown;
    }
    layout_ = layoutFor(shown, minX, maxX, minY, maxY);
    columns_ = layout_.columns;
    rows_ = layout_.rows;
    cells_ = size_t(columns_) * size_t(rows_);
    // Counting sort by cell: every shown hole once, in its cell's run.
    start_.assign(cells_ + 1, 0);
    for (size_t i = 0; i < n; ++i) {
        if (board.holes.at(i, h))
            ++start_[layout_.cellOf(h.x, h.y) + 1];
    }
    for (size_t c = 0; c < cells_; ++c)
        start_[c + 1] += start_[c];
    if (board.holes.inCellOrder())
        return; // each cell's holes are the board's from its start
    index_.resize(start_.back());
    std::vector<uint32_t> next(start_.begin(), start_.end() - 1);
    for (size_t i = 0; i < n; ++i) {
        if (board.holes.at(i, h))
            index_[next[layout_.cellOf(h.x, h.y)]++] = uint32_t(i);
    }
}

int HoleGrid::column(double x) const
{
    const double c = std::floor((x - layout_.left) / layout_.cellWidth);
    return int(std::clamp(std::isfinite(c) ? c : 0.0, 0.0, double(columns_ - 1)));
}

int HoleGrid::rowOf(double y) const
{
    const double r = std::floor((y - layout_.bottom) / layout_.cellHeight);
    return int(std::clamp(std::isfinite(r) ? r : 0.0, 0.0, double(rows_ - 1)));
}

qint64 HoleGrid::countIn(const QRectF& area) const
{
    if (cells_ == 0 || area.isEmpty())
        return 0;
    const int c0 = column(area.left()), c1 = column(area.right());
    qint64 n = 0;
    for (int r = rowOf(area.top()); r <= rowOf(area.bottom()); ++r) {
        const size_t first = size_t(r) * size_t(columns_);
        n += start_[first + size_t(c1) + 1] - start_[first + size_t(c0)];
    }
    return n;
}

std::optional<HitMark> markAt(const HeldBoard& board, const HoleGrid& grid, const HoleTable& table, double x,
    double y, double minRadius)
{
    // The holes near the point: the largest drawn radius of any row bounds the search.
    double reach = minRadius;
    for (int r = 0; r < HoleTable::kRows; ++r)
        reach = std::max(reach, rowDiameter(table, r).value_or(0) / 2);
    reach = std::min(reach, 50.0); // a diameter typed as 1000 mm searches no farther
    std::optional<HitMark> best;
    double bestDistance = 0;
    grid.forEachIn(
        board, QRectF(x - reach, y - reach, 2 * reach, 2 * reach), [&](uint32_t i, const HeldBoard::Hole& h) {
            const double radius = std::max(minRadius, rowDiameter(table, h.row).value_or(0) / 2);
            const double d = std::hypot(h.x - x, h.y - y);
            if (d <= radius && (!best || d < bestDistance)) {
                best = HitMark {false, i, h.x, h.y};
                bestDistance = d;
            }
            return true;
        });
    if (best)
        return best;
    for (size_t i = 0; i < board.slotHoles.size(); ++i) {
        const HeldBoard::Slot& s = board.slotHoles[i];
        const double radius = std::max(minRadius, rowDiameter(table, s.row).value_or(0) / 2);
        const double dx = s.x2 - s.x1, dy = s.y2 - s.y1;
        const double length2 = dx * dx + dy * dy;
        const double t =
            length2 > 0 ? std::clamp(((x - s.x1) * dx + (y - s.y1) * dy) / length2, 0.0, 1.0) : 0.0;
        const double px = s.x1 + t * dx, py = s.y1 + t * dy;
        const double d = std::hypot(px - x, py - y);
        if (d <= radius && (!best || d < bestDistance)) {
            best = HitMark {true, i, px, py};
            bestDistance = d;
        }
    }
    return best;
}

} // namespace kivotrek
