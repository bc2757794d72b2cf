// kivotrek-cli check: the drill checks of a board (stacked and close holes, holes at the edge,
// small drills, changed diameters, short slots, plating) as CSV or JSON.

#include "checks/checkregistry.h"
#include "checks/drillchecks.h"
#include "cli/clicommon.h"
#include "cli/jsonwriter.h"
#include "cli/readers.h"
#include "common/captions.h"
#include "common/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kivotrek::cli {

namespace {
// Takes the limit options and their numbers out of the arguments (before "--"); 0, or the exit
// status of a usage error after printing it.
int takeLimitOptions(const QStringList& args, CheckLimits& limits, QStringList& rest)
{
    const std::vector<LimitDescriptor>& options = limitDescriptors();
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--")) {
            rest << args.mid(i);
            break;
        }
        const auto option = std::find_if(options.begin(), options.end(),
            [&](const LimitDescriptor& d) { return args[i] == QLatin1String(d.option); });
        if (option == options.end()) {
            rest << args[i];
            continue;
        }
        const QString name = QString::fromLatin1(option->option);
        const bool ratio = option->unit == CheckUnit::Ratio;
        const auto value = i + 1 < args.size() ? parseDecimal(args[i + 1].toUtf8()) : std::nullopt;
        if (!value || *value < 0 || (ratio && *value <= 0) || *value > 1000)
            return usageError(QStringLiteral("check: ") + name
                + (ratio ? QStringLiteral(" needs a ratio above 0")
                         : QStringLiteral(" needs millimetres from 0 to 1000")));
        limits.*(option->field) = *value;
        ++i;
    }
    return 0;
}

void writePoint(JsonWriter& json, const char* key, const std::optional<std::array<double, 2>>& p)
{
    json.key(key);
    if (!p) {
        json.null();
        return;
    }
    // To the nanometre: 26.0858, not the 26.085799999999995 of inches made millimetres.
    const auto rounded = [](double v) { return std::round(v * 1e6) / 1e6; };
    json.beginArray().value(rounded((*p)[0])).value(rounded((*p)[1])).endArray();
}

void writeNumber(JsonWriter& json, const char* key, const std::optional<double>& v)
{
    json.key(key);
    if (v)
        json.value(*v);
    else
        json.null();
}

void writeJson(const CheckReport& report, const CheckLimits& limits, const QStringList& files)
{
    JsonWriter out;
    out.streamToStandardOutput();
    out.beginObject();
    out.key("findings").beginArray();
    for (const Finding& f : report.findings) {
        out.beginObject();
        out.key("check").value(QString::fromLatin1(checkName(f.kind)));
        out.key("rows").beginArray();
        for (const int r : f.rows) {
            if (r >= 0)
                out.value(static_cast<long long>(r) + 1);
        }
        out.endArray();
        out.key("files").beginArray();
        for (int k = 0; k < f.rowCount(); ++k)
            out.value(files.value(f.files[size_t(k)]));
        out.endArray();
        writePoint(out, "at", f.at);
        writePoint(out, "other", f.other);
        writeNumber(out, "value", f.value);
        writeNumber(out, "limit", f.limit);
        if (!f.detail.isEmpty())
            out.key("detail").value(f.detail);
        out.endObject();
    }
    out.endArray();
    out.key("counts").beginObject();
    for (const CheckDescriptor& d : checkDescriptors())
        out.key(d.key).value(static_cast<long long>(report.counts[size_t(d.kind)]));
    out.key("total").value(static_cast<long long>(report.total()));
    out.endObject();
    out.key("limits").beginObject();
    for (const LimitDescriptor& d : limitDescriptors())
        out.key(d.key).value(limits.*d.field);
    out.endObject();
    out.key("outline").boolean(report.hasOutline);
    out.key("truncated").boolean(report.truncated);
    out.key("crowded").boolean(report.crowded);
    out.endObject();
    out.print();
}
} // namespace

int runCheck(const QStringList& args)
{
    CheckLimits limits;
    QStringList withoutLimits;
    if (const int bad = takeLimitOptions(args, limits, withoutLimits))
        return bad;
    TableArguments a;
    if (const int bad = parseTableArguments("check", withoutLimits, a))
        return bad;
    HoleTable table;
    BoardExtent extent;
    ReadOutcome r;
    if (const int failed = readTableBoard(a, table, extent, r))
        return failed;
    const MessageSink toStderr = stderrSink();
    const CheckedBoard board = checkedBoard(r.board, table, extent);
    const CheckReport report = runChecks(board, limits);
    if (report.ending.ending == DrawResult::Ending::Stopped) {
        // The checks saw what the drawing draws, which stops there.
        toStderr(drawingProblem(report.ending, r.board.mainPath()));
        r.status = std::max(r.status, int(kStopped));
    }
    if (!report.hasOutline)
        toStderr(msg::checkWithoutOutline());
    if (const QStringList codes = rowsWithoutDiameter(board, table); !codes.isEmpty())
        toStderr(msg::checkWithoutDiameter(codes));
    if (report.crowded) {
        // Checks that did not run to the end are no clean bill: never exit 0 on them.
        toStderr(msg::checkCrowded());
        r.status = std::max(r.status, int(kStopped));
    } else if (report.truncated) {
        toStderr(msg::checkTruncated(kMaxFindings));
    }

    if (a.json)
        writeJson(report, limits, board.files);
    else
        printOut(findingsCsv(report, table, board.files));
    if (r.status != 0)
        return r.status;
    return report.total() > 0 ? kFindings : kDone;
}

} // namespace kivotrek::cli
