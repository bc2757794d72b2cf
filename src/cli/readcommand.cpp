#include "cli/clicommon.h"
#include "cli/jsonwriter.h"
#include "cli/rawpaths.h"
#include "gerber/rs274xreader.h"
#include "gerber/standardreader.h"

#include <cstdio>

namespace kivotrek::cli {

namespace {
const char* endingName(ReadEnding e)
{
    switch (e) {
    case ReadEnding::Complete: return "complete";
    case ReadEnding::Rejected: return "rejected";
    case ReadEnding::Fault: return "fault";
    case ReadEnding::Unreadable: return "unreadable";
    }
    return "fault";
}
} // namespace

int runRead(const QStringList& args)
{
    bool rs274x = false;
    QString path;
    bool optionsEnded = false; // after "--" every argument is a file
    for (const QString& a : args) {
        if (!optionsEnded && a == QLatin1String("--"))
            optionsEnded = true;
        else if (!optionsEnded && a == QLatin1String("--rs274x"))
            rs274x = true;
        else if (!optionsEnded && a.startsWith(QLatin1Char('-')) && a.size() > 1)
            return usageError(QStringLiteral("unknown option: ") + a);
        else if (path.isEmpty())
            path = a;
        else
            return usageError(QStringLiteral("more than one Gerber file given"));
    }
    if (path.isEmpty())
        return usageError(QStringLiteral("read: no Gerber file given"));

    // The program's start-up state, then the read the menu command would run.
    HoleTable table;
    BoardExtent extent;
    QStringList messages;
    const MessageSink sink = [&messages](const QString& m) { messages << m; };
    const ReadResult r = rs274x ? readRs274xGerber(readablePath(path), table, extent, sink)
                                : readStandardGerber(readablePath(path), table, extent, sink);

    JsonWriter json;
    json.beginObject();
    json.key("path").value(path);
    json.key("reader").value(QString::fromLatin1(rs274x ? "rs274x" : "standard"));
    json.key("ending").value(QString::fromLatin1(endingName(r.ending)));
    json.key("stoppedAtLine");
    if (r.stoppedAtLine)
        json.value(static_cast<long long>(*r.stoppedAtLine));
    else
        json.null();
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
        json.endObject();
    }
    json.endArray();
    json.endObject();

    json.print();

    switch (r.ending) {
    case ReadEnding::Complete: return kDone;
    case ReadEnding::Unreadable: return kUnreadable;
    default: return kStopped;
    }
}

} // namespace kivotrek::cli
