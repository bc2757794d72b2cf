// Any bytes, read as today's Gerber drill file and as an outline, and drawn as a board: the read
// ends cleanly, every hole and slot names a tool, the frame holds every hole, and the warning
// check takes any outline; the drill checks take the board.

#include "board/board.h"
#include "board/drillframe.h"
#include "checks/drillchecks.h"
#include "drawing/boarddrawing.h"
#include "drawing/drilldrawing.h"
#include "drawing/gerberreplay.h"
#include "drawing/holecounts.h"
#include "drawing/previewlayout.h"
#include "drawing/recordingsurface.h"
#include "gerber/x2reader.h"

#include "drilldatachecks.h"
#include "guiapplication.h"

#include <QBuffer>
#include <cstdlib>

namespace {
kivotrek::DrillData readAs(QByteArray& bytes, kivotrek::GerberRole role)
{
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    kivotrek::DrillData d = kivotrek::readGerberX2(file, QStringLiteral("fuzz.gbr"), {}, role);
    kivotrek::fuzz::checkDrillData(file, d);
    return d;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size)
{
    using namespace kivotrek;
    QByteArray bytes(reinterpret_cast<const char*>(input), static_cast<qsizetype>(size));
    DrillData drill = readAs(bytes, GerberRole::AsTheFileSays);
    Board board;
    BoardData& data = board.data;
    data.drills.push_back(std::move(drill));
    data.outline = readAs(bytes, GerberRole::Outline);
    if (!data.outline->tools.empty() || !data.outline->holes.empty())
        std::abort();
    board.files.push_back(
        {QStringLiteral("fuzz.gbr"), ReaderKind::GerberX2, 0, int(data.drills[0].tools.size())});
    board.outline = QStringLiteral("fuzz.gbr");
    (void)boardWarning(board, data);
    const DrillFrame frame = boardFrame(data);
    if (frame.extent.maxX < 0 || frame.extent.maxY < 0)
        std::abort();
    HoleTable table;
    for (size_t i = 0; i < data.drills[0].tools.size(); ++i) {
        const DrillTool& t = data.drills[0].tools[i];
        table.row(int(i)).dcode = t.code;
        table.row(int(i)).diameter = t.diameter ? diameterText(*t.diameter) : QStringLiteral("1");
    }
    RecordingSurface surface(kPreviewWidthTwips, kPreviewHeightTwips);
    PreviewLayout layout;
    if (preparePreview(table, frame.extent, surface, layout))
        drawBoardData(board, frame, table, layout, surface);
    // The drill checks take any board: their counts are their findings, within the limit.
    const CheckReport report = runChecks(checkedBoard(board, table, BoardExtent()), CheckLimits());
    if (report.total() != qint64(report.findings.size()) || report.total() > kMaxFindings)
        std::abort();
    return 0;
}
