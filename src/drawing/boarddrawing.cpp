#include "drawing/boarddrawing.h"

#include "drawing/drilldrawing.h"
#include "drawing/gerberreplay.h"

namespace kivotrek {

Board singleFileBoard(const QString& path, ReaderKind reader)
{
    Board board;
    board.files.push_back({path, reader, 0, HoleTable::kRows});
    board.files.back().stamp = stampOf(path);
    if (readerOf(reader).scope == ReaderScope::WholeBoard)
        board.data.gerberSteps = recordSteps(path);
    else
        board.data.drills.push_back(readDrillFile(reader, path, {}));
    return board;
}

std::optional<DrawResult> unreadableFile(const Board& board)
{
    const auto unreadable = [](const DrillData& d, const QString& path) -> std::optional<DrawResult> {
        if (d.ending != DrillData::Ending::Unreadable)
            return std::nullopt;
        DrawResult r {DrawResult::Ending::Unreadable, std::nullopt, path};
        r.reason = d.reason;
        return r;
    };
    for (size_t i = 0; i < board.files.size() && i < board.data.drills.size(); ++i) {
        if (auto r = unreadable(board.data.drills[i], board.files[i].path))
            return r;
    }
    if (board.data.outline)
        return unreadable(*board.data.outline, board.outline);
    return std::nullopt;
}

DrawResult drawBoard(
    const Board& board, const HoleTable& table, const BoardExtent& extent, Layout& layout, Surface& surface)
{
    if (board.isEmpty())
        return {DrawResult::Ending::NoExtent, std::nullopt, QString()};
    if (board.replaysGerber()) {
        if (!layout.prepare(table, extent, surface))
            return {DrawResult::Ending::NoExtent, std::nullopt, QString()};
        return drawPreparedBoard(board, DrillFrame(), table, extent, layout, surface);
    }
    if (const auto unreadable = unreadableFile(board))
        return *unreadable;
    const DrillFrame frame = boardFrame(board.data);
    if (!layout.prepare(table, frame.extent, surface))
        return {DrawResult::Ending::NoExtent};
    return drawBoardData(board, frame, table, layout, surface);
}

DrawResult drawPreparedBoard(const Board& board, const DrillFrame& frame, const HoleTable& table,
    const BoardExtent& extent, const Layout& layout, Surface& surface)
{
    if (board.replaysGerber()) {
        if (!board.data.gerberSteps)
            return {DrawResult::Ending::Unreadable, std::nullopt, board.files.front().path};
        return replayDrillMap(*board.data.gerberSteps, table, extent, layout, surface);
    }
    if (const auto unreadable = unreadableFile(board))
        return *unreadable;
    return drawBoardData(board, frame, table, layout, surface);
}

DrawResult drawBoardData(const Board& board, const DrillFrame& frame, const HoleTable& table,
    const Layout& layout, Surface& surface)
{
    const BoardData& data = board.data;
    if (data.outline) {
        DrawResult r = drawOutline(data.outline->outline, frame, layout, surface);
        if (r.ending != DrawResult::Ending::Complete) {
            r.path = board.outline;
            return r;
        }
    }
    for (size_t i = 0; i < data.drills.size() && i < board.files.size(); ++i) {
        const BoardFile& f = board.files[i];
        DrawResult r = drawOutline(data.drills[i].outline, frame, layout, surface);
        if (r.ending == DrawResult::Ending::Complete)
            r = replayDrill(data.drills[i], frame, table, layout, surface, f.firstRow, f.rowCount);
        if (r.ending != DrawResult::Ending::Complete) {
            r.path = f.path;
            return r;
        }
    }
    return {};
}

} // namespace kivotrek
