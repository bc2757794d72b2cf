// Any bytes, read as an RS-274X file: the read ends cleanly with a consistent table, and the
// holes it tallied are those a walk of the same bytes counts.

#include "gerber/rs274xreader.h"

#include "talliedcounts.h"

#include <QBuffer>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kivotrek;
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    HoleTable table;
    BoardExtent extent;
    prepareRs274xRead(table, extent);
    MarkTally marks;
    StepRecord steps;
    const ReadResult r =
        readRs274xGerber(file, QStringLiteral("fuzz.gbr"), table, extent, {}, &marks, &steps);
    bool freeSeen = false;
    for (int i = 0; i < HoleTable::kRows; ++i) {
        if (table.row(i).dcode == QStringLiteral("D"))
            freeSeen = true;
        else if (freeSeen)
            std::abort(); // used rows must have no gap
    }
    if (extent.maxX < 0 || extent.maxY < 0 || file.isOpen() || r.ending == ReadEnding::Fault)
        std::abort();
    fuzz::checkTalliedCounts(bytes, table, marks, steps);
    return 0;
}
