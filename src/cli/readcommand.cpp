#include "cli/clicommon.h"
#include "cli/jsonwriter.h"
#include "cli/rawpaths.h"
#include "cli/readers.h"
#include "drawing/holecounts.h"

#include <cstdio>

namespace kivotrek::cli {

namespace {
// How an Excellon file's numbers without a point were read: {"units", "integer", "decimals",
// "zeros", "source"}; the digits and zeros are null for a file of decimal numbers.
void writeFormat(JsonWriter& json, const std::optional<CoordinateFormat>& format)
{
    json.key("format");
    if (!format) {
        json.null();
        return;
    }
    using Source = CoordinateFormat::Source;
    static const char* const kSources[] = {"decimal", "file", "nc_param", "assumed", "fitted"};
    static const char* const kZeros[] = {"leading", "trailing", "all"};
    const bool decimal = format->source == Source::Decimal;
    json.beginObject();
    json.key("units").value(QString::fromLatin1(format->inch ? "inch" : "metric"));
    for (const auto& [key, digits] :
        {std::pair {"integer", format->integer}, std::pair {"decimals", format->decimals}}) {
        json.key(key);
        if (decimal)
            json.null();
        else
            json.value(static_cast<long long>(digits));
    }
    json.key("zeros");
    if (decimal)
        json.null();
    else
        json.value(QString::fromLatin1(kZeros[int(format->zeros)]));
    json.key("source").value(QString::fromLatin1(kSources[int(format->source)]));
    json.endObject();
}

void lineOrNull(JsonWriter& json, const char* key, const std::optional<qint64>& line)
{
    json.key(key);
    if (line)
        json.value(static_cast<long long>(*line));
    else
        json.null();
}
} // namespace

void writeTotals(JsonWriter& json, const HoleTotals& totals)
{
    json.key("totals").beginObject();
    json.key("th").value(static_cast<long long>(totals.th));
    json.key("nth").value(static_cast<long long>(totals.nth));
    json.key("other").value(static_cast<long long>(totals.other));
    json.key("all").value(static_cast<long long>(totals.all));
    json.endObject();
}

int runRead(const QStringList& args)
{
    ReaderChoice choice;
    BoardArguments given;
    QString settings;
    QStringList rest;
    if (const int bad = takeSettingsOption(args, settings, rest))
        return bad;
    if (const int bad = parseFileArguments("read", rest, choice, given))
        return bad;
    if (const int refused = refuseOutputOverInput(QString(), given, {settings}))
        return refused;

    // The program's start-up state, then the reads the menu commands would run.
    HoleTable table;
    BoardExtent extent;
    QStringList messages;
    const MessageSink sink = [&messages](const QString& m) { messages << m; };
    const ReadOutcome r = readBoard(choice, given, table, extent, sink);
    if (r.stopNow)
        return r.stopNow;
    // A settings file is loaded as the load command loads it; where it does not fit the files,
    // the messages say how.
    QString productCode;
    if (!settings.isEmpty()) {
        if (const int failed = loadSettingsInto(settings, r.board.nextFreeRow(), table, productCode, sink))
            return failed;
    }

    // What the drawing draws in each row: holes and slots, up to where a drawing would stop.
    HoleCounts counts;
    const DrawResult drawn = countHoles(r.board, table, counts);
    const HoleTotals totals = holeTotals(counts, table);
    std::optional<qint64> drawingStops;
    if (drawn.ending == DrawResult::Ending::Stopped) {
        messages << drawingProblem(drawn, r.board.mainPath());
        drawingStops = drawn.line;
    }

    JsonWriter json;
    json.beginObject();
    json.key("path").value(given.files.front());
    // A package refused before any of its files was read has no reader to name.
    json.key("reader");
    if (r.refused && r.files.empty())
        json.null();
    else
        json.value(QString::fromLatin1(readerName(r.reader)));
    json.key("ending").value(QString::fromLatin1(r.ending));
    lineOrNull(json, "stoppedAtLine", r.stoppedAtLine);
    lineOrNull(json, "drawingStopsAtLine", drawingStops);
    json.key("messages").beginArray();
    for (const QString& m : messages)
        json.value(m);
    json.endArray();
    json.key("unitScale").value(extent.unitScale);
    json.key("maxX").value(static_cast<long long>(extent.maxX));
    json.key("maxY").value(static_cast<long long>(extent.maxY));
    json.key("rows").beginArray();
    for (int i = 0; i < HoleTable::kRows; ++i) {
        const HoleRow& row = table.row(i);
        if (!row.isUsed())
            continue;
        json.beginObject();
        json.key("index").value(static_cast<long long>(i));
        json.key("dcode").value(row.dcode);
        json.key("diameter").value(row.diameter);
        json.key("holes").value(static_cast<long long>(counts[size_t(i)].holeCount));
        json.key("slots").value(static_cast<long long>(counts[size_t(i)].slotCount));
        const int f = r.board.fileOfRow(i);
        const FileOutcome* o = f >= 0 ? &r.files[size_t(r.givenFile[size_t(f)])] : nullptr;
        if (o && o->data) { // the plating a drill file gives ("TH", "NTH" or ""), and what for
            const size_t tool = size_t(i - r.board.files[size_t(f)].firstRow);
            const DrillTool* t = tool < o->data->tools.size() ? &o->data->tools[tool] : nullptr;
            json.key("kind").value(t ? t->kind : QString());
            json.key("function").value(t ? t->function : QString());
            json.key("file").value(static_cast<long long>(f));
        }
        json.endObject();
    }
    json.endArray();
    // Lines skipped: in all drill files together, the first one in the first file that had any.
    qint64 skipped = 0;
    std::optional<qint64> firstSkipped;
    bool anyDrillData = false;
    for (const FileOutcome& o : r.files) {
        if (!o.data)
            continue;
        anyDrillData = true;
        skipped += o.data->skippedLines;
        if (!firstSkipped)
            firstSkipped = o.data->firstSkippedLine;
    }
    if (anyDrillData) {
        json.key("skippedLines").value(static_cast<long long>(skipped));
        lineOrNull(json, "firstSkippedLine", firstSkipped);
    }
    writeTotals(json, totals);
    json.key("files").beginArray();
    for (int i = 0; i < r.shown.size(); ++i) {
        const FileOutcome& o = r.files[size_t(i)];
        json.beginObject();
        json.key("path").value(r.shown[i]);
        json.key("reader").value(QString::fromLatin1(readerName(o.reader)));
        json.key("ending").value(QString::fromLatin1(endingName(o.ending)));
        json.key("rows");
        const int f = r.boardFileOf(i);
        if (f >= 0 && r.board.files[size_t(f)].rowCount > 0) {
            const BoardFile& b = r.board.files[size_t(f)];
            json.beginArray();
            json.value(static_cast<long long>(b.firstRow));
            json.value(static_cast<long long>(b.firstRow + b.rowCount - 1));
            json.endArray();
        } else {
            json.null();
        }
        if (o.data) {
            json.key("skippedLines").value(static_cast<long long>(o.data->skippedLines));
            lineOrNull(json, "firstSkippedLine", o.data->firstSkippedLine);
            // As the board holds it: a fit to the outline may have changed it since the read.
            const bool held = f >= 0 && size_t(f) < r.board.data.drills.size();
            writeFormat(json, held ? r.board.data.drills[size_t(f)].format : o.data->format);
        }
        if (r.package) { // the member of the package and the role it was read in
            const PackageMember& m = r.package->members[size_t(r.members[size_t(i)])];
            json.key("member").value(m.name);
            json.key("role").value(QString::fromLatin1(roleKey(m.role)));
        }
        json.endObject();
    }
    json.endArray();
    if (r.package) {
        // Every layer of the package, drawn or not, with what it is on the board and why.
        json.key("layers").beginArray();
        for (const PackageMember& m : r.package->members) {
            if (m.layer.isEmpty())
                continue;
            json.beginObject();
            json.key("file").value(m.name);
            json.key("role").value(m.layer);
            json.key("copper");
            if (m.copperLayer)
                json.value(static_cast<long long>(*m.copperLayer));
            else
                json.null();
            json.key("why").value(m.layerWhy);
            json.endObject();
        }
        json.endArray();
        json.key("package").beginObject();
        json.key("path").value(given.files.front());
        json.key("members").beginArray();
        for (const PackageMember& m : r.package->members) {
            json.beginObject();
            json.key("name").value(m.name);
            json.key("role").value(QString::fromLatin1(roleKey(m.role)));
            json.key("why").value(m.why);
            json.endObject();
        }
        json.endArray();
        json.endObject();
    }
    json.key("outline");
    if (!r.board.outline.isEmpty()) {
        // The outline given, else the last drill file that turned out to be a profile.
        QString shown;
        for (int i = 0; i < r.shown.size(); ++i) {
            const FileOutcome& o = r.files[size_t(i)];
            if (o.data && o.data->role == DrillData::Role::Outline)
                shown = r.shown[i];
        }
        if (r.outline && r.outline->ending != ReadEnding::Unreadable)
            shown = given.outline;
        json.value(shown);
    } else {
        json.null();
    }
    json.endObject();
    json.print();
    return r.status;
}

} // namespace kivotrek::cli
