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

ReadResult readStandardGerber(const QString& path, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink, MarkTally* marks, StepRecord* record)
{
    prepareStandardRead(table, extent);
    if (marks)
        *marks = MarkTally();
    if (record)
        *record = StepRecord();
    const ReadResult r = readFile(path, extent, sink,
        [&](QIODevice& file) { return readStandardGerber(file, path, table, extent, sink, marks, record); });
    if (marks && marks->walking())
        marks->giveUp(); // the file did not open
    if (record && record->recording())
        record->fail(whyUnopenable(path));
    return r;
}

ReadResult readStandardGerber(QIODevice& device, const QString& name, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink, MarkTally* marks, StepRecord* record)
{
    ReadSession s(device, name, extent, sink, marks, record);
    if (const auto refused = s.refuseBinary())
        return *refused;

    DCodeFiller filler(table);
    const steps::Cutter cutter; // the steps in file units, as the drawing's walk takes them
    QString dcode;
    using steps::Step;
    while (s.next()) {
        const LineMarks line(s.line);
        if (line.has('J'))
            return s.stop(ReadEnding::Rejected, msg::stepRepeatOrArc());
        const Step step = cutter.cut(line, dcode);
        s.walk(step, dcode);
        if (step.has(Step::StepRepeat)) {
            // The drawing passes over a step and repeat; the read takes its codes all the same.
            if (line.contains("G54")) {
                const auto cut = cutDCode(line);
                if (!cut)
                    return s.stop(ReadEnding::Fault, msg::lineUnreadable(s.lineNumber()));
                if (filler.add(cp932::decode(*cut)) == DCodeFiller::Result::Full)
                    return s.stop(
                        ReadEnding::Fault, msg::tooManyHoleKinds(s.lineNumber()), Severity::Warning);
            }
            if (!cutCoordinatesStrict(line, s.pos))
                return s.stop(ReadEnding::Fault, msg::lineUnreadable(s.lineNumber()));
            s.tracker().update(s.pos);
            continue;
        }
        if (step.has(Step::Tool)) {
            if (step.has(Step::NoDCode))
                return s.stop(ReadEnding::Fault, msg::lineUnreadable(s.lineNumber()));
            if (filler.add(dcode) == DCodeFiller::Result::Full)
                return s.stop(ReadEnding::Fault, msg::tooManyHoleKinds(s.lineNumber()), Severity::Warning);
        }
        if (step.has(Step::BadCoordinates))
            return s.stop(ReadEnding::Fault, msg::lineUnreadable(s.lineNumber()));
        if (step.has(Step::HasX))
            s.pos.x = step.x;
        if (step.has(Step::HasY))
            s.pos.y = step.y;
        s.tracker().update(s.pos);
    }
    return s.finish();
}

} // namespace kivotrek
