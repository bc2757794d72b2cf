#include "drawing/holecounts.h"

#include "drawing/boarddrawing.h"
#include "drawing/gerberreplay.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace kivotrek {

QString countText(const RowCount& count)
{
    return count.slotCount > 0 ? QStringLiteral("%1+%2").arg(count.holeCount).arg(count.slotCount)
                               : QString::number(count.holeCount);
}

namespace {
// The row a tool's holes are drawn in: the last of the rows in the run that hold its code.
int lastMatchingRow(const HoleTable& table, const QString& code, int first, int count)
{
    int row = -1;
    for (int i = std::max(0, first); i < std::min(first + count, int(HoleTable::kRows)); ++i) {
        if (table.row(i).dcode == code)
            row = i;
    }
    return row;
}

bool countsHoles(const HoleTable& table, int row)
{
    return row >= 0 && table.row(row).kind != HoleKind::Outline;
}
// The counts of a Gerber file's marks as list() gives them, in file order.
DrawResult countMarks(const HoleTable& table, HoleCounts& counts,
    const std::function<DrawResult(const std::function<void(const DrillMark&)>&)>& list)
{
    counts = HoleCounts();
    // A run of pen-down moves, one after the other in one row, is one slot.
    bool joined = false;
    int lastRow = -1;
    int32_t lastX = 0, lastY = 0;
    return list([&](const DrillMark& m) {
        // A D-code that no row holds counts apart: in none of the rows.
        RowCount* into = m.row < 0      ? &counts.withoutRow
            : countsHoles(table, m.row) ? &counts[size_t(m.row)]
                                        : nullptr;
        if (!into) {
            joined = false;
            return;
        }
        if (!m.slot) {
            ++into->holeCount;
            joined = false;
            return;
        }
        if (!(joined && m.row == lastRow && m.x1 == lastX && m.y1 == lastY))
            ++into->slotCount;
        joined = true;
        lastRow = m.row;
        lastX = m.x2;
        lastY = m.y2;
    });
}
} // namespace

DrawResult countHoles(const StepRecord& steps, const HoleTable& table, HoleCounts& counts)
{
    return countMarks(table, counts,
        [&](const std::function<void(const DrillMark&)>& out) { return listMarks(steps, table, out); });
}

DrawResult countHoles(const MarkTally& marks, const HoleTable& table, HoleCounts& counts)
{
    counts = HoleCounts();
    // Each D-code's count goes to its row, as listMarks would have chosen it.
    std::vector<int> rows(marks.codes().size());
    std::vector<RowCount*> into(marks.codes().size());
    for (size_t c = 0; c < marks.codes().size(); ++c) {
        const MarkTally::Code& code = marks.codes()[c];
        rows[c] = lastMatchingRow(table, code.dcode, 0, HoleTable::kRows);
        into[c] = rows[c] < 0             ? &counts.withoutRow
            : countsHoles(table, rows[c]) ? &counts[size_t(rows[c])]
                                          : nullptr;
        if (into[c]) {
            into[c]->holeCount += code.holes;
            into[c]->slotCount += code.slotRuns;
        }
    }
    // A run that goes on from one D-code into another of the same row is one slot.
    for (const MarkTally::Join& j : marks.joins()) {
        if (rows[size_t(j.from)] == rows[size_t(j.to)] && into[size_t(j.to)])
            --into[size_t(j.to)]->slotCount;
    }
    switch (marks.ending()) {
    case MarkTally::Ending::Stopped: return {DrawResult::Ending::Stopped, marks.stoppedAtLine()};
    case MarkTally::Ending::Unreadable: return {DrawResult::Ending::Unreadable, std::nullopt};
    default: return {};
    }
}

namespace {
DrawResult countDrills(const Board& board, const HoleTable& table, HoleCounts& counts)
{
    const BoardData& data = board.data;
    counts = HoleCounts();
    // In the drawing's order (the outline, then each file's outline pieces, holes and slots),
    // up to the first piece the drawing cannot place in the frame: there it stops.
    const DrillFrame frame = boardFrame(data);
    const auto placeable = [&frame](double x, double y) { return frame.unitsX(x) && frame.unitsY(y); };
    const auto outlineStop = [&](const std::vector<OutlineSegment>& outline) -> std::optional<DrawResult> {
        for (const OutlineSegment& s : outline) {
            if (!placeable(s.x1(), s.y1()) || !placeable(s.x2(), s.y2()))
                return stoppedAt(s.line);
        }
        return std::nullopt;
    };
    if (data.outline) {
        if (auto stop = outlineStop(data.outline->outline)) {
            stop->path = board.outline;
            return *stop;
        }
    }
    for (size_t f = 0; f < data.drills.size() && f < board.files.size(); ++f) {
        const DrillData& d = data.drills[f];
        const BoardFile& file = board.files[f];
        // Per tool the count it adds to: its row's, none for a row of the outline kind, the
        // count without a row for a D-code no row holds (drawn with the pen before it); tools
        // beyond the file's rows are not drawn.
        std::vector<RowCount*> into(d.tools.size(), nullptr);
        for (size_t t = 0; t < d.tools.size() && int(t) < file.rowCount; ++t) {
            const int row = lastMatchingRow(table, d.tools[t].code, file.firstRow, file.rowCount);
            into[t] = row < 0 ? &counts.withoutRow : countsHoles(table, row) ? &counts[size_t(row)] : nullptr;
        }
        const auto counter = [&into](int tool) {
            return tool >= 0 && size_t(tool) < into.size() ? into[size_t(tool)] : nullptr;
        };
        const auto drawn = [&file](int tool) { return tool < file.rowCount; };
        std::optional<DrawResult> stop = outlineStop(d.outline);
        for (size_t i = 0; i < d.holes.size() && !stop; ++i) {
            const DrillHit& h = d.holes[i];
            if (!drawn(h.tool))
                continue;
            if (!placeable(h.x(), h.y()))
                stop = stoppedAt(h.line);
            else if (RowCount* n = counter(h.tool))
                ++n->holeCount;
        }
        for (size_t i = 0; i < d.slotHoles.size() && !stop; ++i) {
            const DrillSlot& sl = d.slotHoles[i];
            if (!drawn(sl.tool))
                continue;
            if (!placeable(sl.x1(), sl.y1()) || !placeable(sl.x2(), sl.y2()))
                stop = stoppedAt(sl.line);
            else if (RowCount* n = counter(sl.tool); n && !sl.joined)
                ++n->slotCount;
        }
        if (stop) {
            stop->path = file.path;
            return *stop;
        }
    }
    return {};
}

} // namespace

DrawResult countHoles(const Board& board, const HoleTable& table, HoleCounts& counts)
{
    counts = HoleCounts();
    if (board.isEmpty())
        return {DrawResult::Ending::NoExtent};
    if (board.replaysGerber()) {
        const BoardData& data = board.data;
        if (data.gerberMarks && data.gerberMarks->counted())
            return countHoles(*data.gerberMarks, table, counts);
        if (data.gerberSteps)
            return countHoles(*data.gerberSteps, table, counts);
        return {DrawResult::Ending::Unreadable, std::nullopt, board.files.front().path};
    }
    if (const auto unreadable = unreadableFile(board))
        return *unreadable;
    return countDrills(board, table, counts);
}

HoleTotals holeTotals(const HoleCounts& counts, const HoleTable& table)
{
    HoleTotals t;
    for (int i = 0; i < HoleTable::kRows; ++i) {
        const qint64 n = counts[size_t(i)].holeCount + counts[size_t(i)].slotCount;
        const HoleKind& kind = table.row(i).kind;
        if (kind == HoleKind::Plated)
            t.th += n;
        else if (kind == HoleKind::NonPlated)
            t.nth += n;
        else
            t.other += n;
        t.all += n;
    }
    const qint64 withoutRow = counts.withoutRow.holeCount + counts.withoutRow.slotCount;
    t.other += withoutRow;
    t.all += withoutRow;
    return t;
}

} // namespace kivotrek
