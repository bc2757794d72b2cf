// Any bytes, read as today's Gerber drill file and as an outline, and nothing more: the reader
// alone, without the drawing and drill checks of the board target, so that long runs reach deep
// into the reader.

#include "gerber/x2reader.h"

#include "drilldatachecks.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kivotrek;
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (GerberRole role : {GerberRole::AsTheFileSays, GerberRole::Outline}) {
        QBuffer file(&bytes);
        file.open(QIODevice::ReadOnly);
        const DrillData drill = readGerberX2(file, QStringLiteral("fuzz.gbr"), {}, role);
        fuzz::checkDrillData(file, drill);
        if (role == GerberRole::Outline && (!drill.tools.empty() || !drill.holes.empty()))
            std::abort();
    }
    return 0;
}
