// Any bytes, replayed as a drill map onto a recording surface with a fixed table, with the
// preview layout or the page layout: the drawing ends cleanly.

#include "common/fileio.h"
#include "drawing/gerberreplay.h"
#include "drawing/pagelayout.h"
#include "drawing/previewlayout.h"
#include "drawing/recordingsurface.h"

#include "guiapplication.h"

#include <QBuffer>
#include <cstdlib>

namespace {
kivotrek::HoleTable makeTable()
{
    using namespace kivotrek;
    HoleTable t;
    const char* diameters[] = {"0.8", "1.0", "0", "-0.5", "3.2*%", "", "99", "0.1", "abc", "1e3"};
    for (int i = 0; i < 10; ++i) {
        t.row(i).dcode = QStringLiteral("D%1").arg(10 + i);
        t.row(i).diameter = QString::fromLatin1(diameters[i]);
        t.row(i).kind = i == 0 ? HoleKind::Outline : HoleKind::Plated;
        t.row(i).color = 0x80000000u * (i % 2) + static_cast<uint32_t>(i * 0x111111);
    }
    t.row(12).dcode = QStringLiteral("D11"); // a duplicate
    return t;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kivotrek;
    static const HoleTable table = makeTable();
    if (size < 1)
        return 0;
    // The first byte picks the layout, the unit and the marks for black-and-white printing.
    const bool page = data[0] & 1;
    const float unit = (data[0] & 2) ? 5.67f : 0.0567f;
    DrawingOptions options;
    options.marks = data[0] & 4;
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    const BoardExtent extent {5670, 4536, unit};
    RecordingSurface surface(page ? 11906.0f : 6855.0f, page ? 16838.0f : 6300.0f, page ? 2.4f : 15.0f);
    PreviewLayout preview;
    PageLayout paper(QStringLiteral("自動(A4縦)"));
    Layout& layout = page ? static_cast<Layout&>(paper) : preview;
    layout.setOptions(options);
    if (!layout.prepare(table, extent, surface))
        std::abort();
    // A file of binary bytes is refused before its first line, as every reader refuses it.
    const bool binary = holdsBinaryBytes(file);
    const DrawResult r =
        replayDrillMap(recordSteps(file, QStringLiteral("fuzz.gbr")), table, extent, layout, surface);
    if ((r.ending == DrawResult::Ending::Unreadable) != binary || r.ending == DrawResult::Ending::NoExtent)
        std::abort();
    for (const auto& op : surface.ops) {
        if (op.width < 1)
            std::abort();
    }
    return 0;
}
