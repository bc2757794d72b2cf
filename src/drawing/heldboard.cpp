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
uint8_t rowByte(int row)
{
    return row >= 0 && row < HoleTable::kRows ? uint8_t(row) : HeldBoard::kNoRow;
}

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

HeldBoard holdBoard(const Board& board, const HoleTable& table, const BoardExtent& extent)
{
    HeldBoard held;
    BoardMarks marks;
    marks.hole = [&held](double x, double y, int row, int file) {
        held.holes.push_back({float(x), float(y), rowByte(row), uint8_t(std::min(file, 255))});
    };
    marks.slot = [&held](double x1, double y1, double x2, double y2, int row, int file, bool joined) {
        held.slotHoles.push_back(
            {float(x1), float(y1), float(x2), float(y2), rowByte(row), uint8_t(std::min(file, 255)), joined});
    };
    marks.outline = [&held](double x1, double y1, double x2, double y2) {
        held.outline.push_back({float(x1), float(y1), float(x2), float(y2)});
    };
    WalkedBoard walked = walkBoard(board, table, extent, marks);
    held.frame = walked.frame;
    held.files = std::move(walked.files);
    held.ending = walked.ending;
    return held;
}

HoleGrid::HoleGrid(const HeldBoard& board)
{
    const size_t n = board.holes.size();
    if (n == 0)
        return;
    double minX = board.holes.front().x, maxX = minX, minY = board.holes.front().y, maxY = minY;
    for (const HeldBoard::Hole& h : board.holes) {
        if (!std::isfinite(h.x) || !std::isfinite(h.y))
            continue;
        minX = std::min(minX, double(h.x));
        maxX = std::max(maxX, double(h.x));
        minY = std::min(minY, double(h.y));
        maxY = std::max(maxY, double(h.y));
    }
    // About four holes a cell, square cells, at most 4,096 a side.
    const double width = std::max(maxX - minX, 1e-3), height = std::max(maxY - minY, 1e-3);
    const double cell = std::max(std::sqrt(width * height * 4.0 / double(n)), 1e-3);
    columns_ = int(std::clamp(std::ceil(width / cell), 1.0, 4096.0));
    rows_ = int(std::clamp(std::ceil(height / cell), 1.0, 4096.0));
    cellWidth_ = width / columns_;
    cellHeight_ = height / rows_;
    left_ = minX;
    bottom_ = minY;
    cells_ = size_t(columns_) * size_t(rows_);
    // Counting sort by cell: every hole once, in its cell's run.
    std::vector<uint32_t> cellOf(n);
    start_.assign(cells_ + 1, 0);
    for (size_t i = 0; i < n; ++i) {
        const HeldBoard::Hole& h = board.holes[i];
        cellOf[i] = uint32_t(size_t(rowOf(h.y)) * size_t(columns_) + size_t(column(h.x)));
        ++start_[cellOf[i] + 1];
    }
    for (size_t c = 0; c < cells_; ++c)
        start_[c + 1] += start_[c];
    index_.resize(n);
    holes_.resize(n);
    std::vector<uint32_t> next(start_.begin(), start_.end() - 1);
    for (size_t i = 0; i < n; ++i) {
        const uint32_t at = next[cellOf[i]]++;
        index_[at] = uint32_t(i);
        holes_[at] = board.holes[i];
    }
}

int HoleGrid::column(double x) const
{
    const double c = std::floor((x - left_) / cellWidth_);
    return int(std::clamp(std::isfinite(c) ? c : 0.0, 0.0, double(columns_ - 1)));
}

int HoleGrid::rowOf(double y) const
{
    const double r = std::floor((y - bottom_) / cellHeight_);
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
        QRectF(x - reach, y - reach, 2 * reach, 2 * reach), [&](uint32_t i, const HeldBoard::Hole& h) {
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
