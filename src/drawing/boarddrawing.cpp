#include "drawing/boarddrawing.h"

#include "drawing/drilldrawing.h"
#include "drawing/gerberreplay.h"

namespace kivotrek {

Board singleFileBoard(const QString& path, ReaderKind reader)
{
    Board board;
    board.files.push_back({path, reader, 0, HoleTable::kRows});
    return board;
}

DrawResult drawBoard(
    const Board& board, const HoleTable& table, const BoardExtent& extent, Layout& layout, Surface& surface)
{
    if (board.isEmpty())
        return {DrawResult::Ending::NoExtent, std::nullopt, QString()};
    if (board.replaysGerber()) {
        if (!layout.prepare(table, extent, surface))
            return {DrawResult::Ending::NoExtent, std::nullopt, QString()};
        return replayDrillMap(board.files[0].path, table, extent, layout, surface);
    }
    // Read again, as a Gerber file is replayed again: the drawing shows the files as they are now.
    BoardData data;
    QString unreadable;
    if (!loadBoard(board, data, &unreadable))
        return {DrawResult::Ending::Unreadable, std::nullopt, unreadable};
    const DrillFrame frame = boardFrame(data);
    if (!layout.prepare(table, frame.extent, surface))
        return {DrawResult::Ending::NoExtent};
    return drawBoardData(board, data, frame, table, layout, surface);
}

DrawResult drawBoardData(const Board& board, const BoardData& data, const DrillFrame& frame,
    const HoleTable& table, const Layout& layout, Surface& surface)
{
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
