// Any bytes, read as an Excellon drill file and drawn: the read ends cleanly, every hole and
// slot names a tool, and the frame holds every hole.

#include "board/drillframe.h"
#include "drawing/boarddrawing.h"
#include "drawing/drilldrawing.h"
#include "drawing/gerberreplay.h"
#include "drawing/holecounts.h"
#include "drawing/previewlayout.h"
#include "drawing/recordingsurface.h"
#include "excellon/excellonreader.h"

#include "drilldatachecks.h"
#include "guiapplication.h"

#include <QBuffer>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kivotrek;
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    const DrillData drill = readExcellon(file, QStringLiteral("fuzz.drl"), {});
    fuzz::checkDrillData(file, drill);
    const DrillFrame frame = drillFrame(drill);
    if (frame.extent.maxX < 0 || frame.extent.maxY < 0)
        std::abort();
    // Drawn with its own rows, as the read command fills them.
    HoleTable table;
    for (size_t i = 0; i < drill.tools.size(); ++i) {
        table.row(int(i)).dcode = drill.tools[i].code;
        table.row(int(i)).diameter =
            drill.tools[i].diameter ? diameterText(*drill.tools[i].diameter) : QStringLiteral("1");
    }
    RecordingSurface surface(kPreviewWidthTwips, kPreviewHeightTwips);
    PreviewLayout layout;
    if (preparePreview(table, frame.extent, surface, layout))
        replayDrill(drill, frame, table, layout, surface);
    return 0;
}
