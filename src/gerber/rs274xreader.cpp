#include "gerber/rs274xreader.h"

#include "common/cp932.h"
#include "gerber/diameterformat.h"
#include "gerber/readsession.h"

namespace kivotrek {

float rs274xUnitScale(int decimalDigits)
{
    switch (decimalDigits) {
    case 1: return 5.67f;
    case 2: return 0.567f;
    case 3: return 0.0567f;
    case 4: return 0.00567f;
    case 5: return 0.000567f;
    default: return 0.0f;
    }
}

void prepareRs274xRead(HoleTable& table, BoardExtent& extent)
{
    extent.maxX = 0;
    extent.maxY = 0;
    table.clear();
}

namespace {
// The decimal-digit count of a %FSLA statement: the character seven places after the start of
// "%FSLAX" (the second digit of X24), or the line's seventh character when there is no "%FSLAX".
int decimalDigits(QByteArrayView line)
{
    const qsizetype fs = line.indexOf("%FSLAX");
    const qsizetype at = fs >= 0 ? fs + 7 : 6;
    if (at >= line.size())
        return 0;
    const char c = line[at];
    return c >= '0' && c <= '9' ? c - '0' : 0;
}

// %ADD10C,0.800*%: the D-code between the first "AD" and the first "C", and the five
// characters from two places after that "C". Nothing for a definition without such a "C".
// The D-code when it found no row: the table was full.
std::optional<QString> addAperture(QByteArrayView line, DCodeFiller& filler)
{
    const qsizetype ad = line.indexOf("AD");
    const qsizetype c = line.indexOf('C');
    if (ad < 0 || c < ad + 2)
        return std::nullopt;
    const QString dcode = cp932::decode(line.sliced(ad + 2, c - ad - 2));
    const qsizetype from = std::min(c + 2, line.size());
    const QString diameter = formatDiameter(line.sliced(from, std::min<qsizetype>(5, line.size() - from)));
    if (filler.add(dcode, &diameter) == DCodeFiller::Result::Full)
        return dcode; // a 64th kind is dropped, reading goes on
    return std::nullopt;
}
} // namespace

ReadResult readRs274xGerber(const QString& path, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink, MarkTally* marks, StepRecord* record)
{
    prepareRs274xRead(table, extent);
    if (marks)
        *marks = MarkTally();
    if (record)
        *record = StepRecord();
    const ReadResult r = readFile(path, extent, sink,
        [&](QIODevice& file) { return readRs274xGerber(file, path, table, extent, sink, marks, record); });
    if (marks && marks->walking())
        marks->giveUp(); // the file did not open
    if (record && record->recording())
        record->fail(whyUnopenable(path));
    return r;
}

ReadResult readRs274xGerber(QIODevice& device, const QString& name, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink, MarkTally* marks, StepRecord* record)
{
    ReadSession s(device, name, extent, sink, marks, record);
    if (const auto refused = s.refuseBinary())
        return *refused;

    DCodeFiller filler(table);
    bool full = false; // the first aperture left out of the table is named, once
    const steps::Cutter cutter; // the steps in file units, as the drawing's walk takes them
    QString dcode;
    using steps::Step;
    while (s.next()) {
        const LineMarks line(s.line);
        const Step step = cutter.cut(line, dcode);
        s.walk(step, dcode);
        if (line.contains("%FSLA")) {
            const float scale = rs274xUnitScale(decimalDigits(s.line));
            if (scale > 0.0f)
                extent.unitScale = scale;
            else
                s.say(msg::unsupportedDigits());
        }
        if (line.contains("%FSNA") || line.contains("%FSTA"))
            return s.stop(ReadEnding::Rejected, msg::unsupportedFormat());
        if (line.has('J'))
            return s.stop(ReadEnding::Rejected, msg::stepRepeatOrArc());
        if (line.contains("%ADD")) {
            const auto left = addAperture(s.line, filler);
            if (left && !full) {
                full = true;
                s.say(msg::noFreeRows(name, *left));
            }
        }
        if (!step.has(Step::StepRepeat)) {
            // A value that cannot be cut or converted is passed over, the other still taken.
            if (step.has(Step::BadCoordinates) || step.has(Step::NoDCode)) {
                cutCoordinatesLenient(line, s.pos);
            } else {
                if (step.has(Step::HasX))
                    s.pos.x = step.x;
                if (step.has(Step::HasY))
                    s.pos.y = step.y;
            }
            s.tracker().update(s.pos);
        }
    }
    return s.finish();
}

} // namespace kivotrek
