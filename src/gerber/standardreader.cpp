#include "gerber/standardreader.h"

#include "common/cp932.h"
#include "gerber/readsession.h"

namespace kivotrek {

void prepareStandardRead(HoleTable& table, BoardExtent& extent)
{
    table.clear();
    extent.maxX = 0;
    extent.maxY = 0;
    extent.unitScale = kStandardUnitScale;
}

ReadResult readStandardGerber(
    const QString& path, HoleTable& table, BoardExtent& extent, const MessageSink& sink)
{
    prepareStandardRead(table, extent);
    return readFile(path, extent, sink,
        [&](QIODevice& file) { return readStandardGerber(file, path, table, extent, sink); });
}

ReadResult readStandardGerber(
    QIODevice& device, const QString& name, HoleTable& table, BoardExtent& extent, const MessageSink& sink)
{
    ReadSession s(device, name, extent, sink);
    if (const auto refused = s.refuseBinary())
        return *refused;

    DCodeFiller filler(table);
    while (s.next()) {
        const LineMarks line(s.line);
        if (line.has('J'))
            return s.stop(ReadEnding::Rejected, msg::stepRepeatOrArc());
        if (line.contains("G54")) {
            const auto dcode = cutDCode(line);
            if (!dcode)
                return s.stop(ReadEnding::Fault, msg::lineUnreadable(s.lineNumber()));
            if (filler.add(cp932::decode(*dcode)) == DCodeFiller::Result::Full)
                return s.stop(ReadEnding::Fault, msg::tooManyHoleKinds(s.lineNumber()));
        }
        if (!cutCoordinatesStrict(line, s.pos))
            return s.stop(ReadEnding::Fault, msg::lineUnreadable(s.lineNumber()));
        s.tracker().update(s.pos);
    }
    return s.finish();
}

} // namespace kivotrek
