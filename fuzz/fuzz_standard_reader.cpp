// Any bytes, read as a standard Gerber file: the read ends cleanly with a consistent table, and
// the holes it tallied are those a walk of the same bytes counts.

#include "gerber/standardreader.h"

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
    prepareStandardRead(table, extent);
    int messages = 0;
    MarkTally marks;
    StepRecord steps;
    const ReadResult r = readStandardGerber(
        file, QStringLiteral("fuzz.gbr"), table, extent, [&](const QString&) { ++messages; }, &marks, &steps);
    if (extent.maxX < 0 || extent.maxY < 0 || messages > 1 || file.isOpen()
        || (r.ending != ReadEnding::Unreadable
            && (r.ending == ReadEnding::Complete) == r.stoppedAtLine.has_value()))
        std::abort();
    fuzz::checkTalliedCounts(bytes, table, marks, steps);
    return 0;
}
