#include "cli/clicommon.h"
#include "cli/jsonwriter.h"
#include "cli/rawpaths.h"
#include "cli/readers.h"

#include <cstdio>

namespace kivotrek::cli {

int runRead(const QStringList& args)
{
    ReaderChoice choice;
    QString path;
    if (const int bad = parseFileArguments("read", args, choice, path))
        return bad;

    // The program's start-up state, then the read the menu command would run.
    HoleTable table;
    BoardExtent extent;
    QStringList messages;
    const MessageSink sink = [&messages](const QString& m) { messages << m; };
    const QString readable = readablePath(path);
    const ReadOutcome r = readFile(choice.resolve(readable), readable, table, extent, sink);

    JsonWriter json;
    json.beginObject();
    json.key("path").value(path);
    json.key("reader").value(QString::fromLatin1(readerName(r.reader)));
    json.key("ending").value(QString::fromLatin1(r.ending));
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
        if (r.drill) // the plating an Excellon file gives ("TH", "NTH" or "")
            json.key("kind").value(size_t(i) < r.drill->tools.size() ? r.drill->tools[size_t(i)].kind : QString());
        json.endObject();
    }
    json.endArray();
    if (r.drill) {
        json.key("skippedLines").value(static_cast<long long>(r.drill->skippedLines));
        json.key("firstSkippedLine");
        if (r.drill->firstSkippedLine)
            json.value(static_cast<long long>(*r.drill->firstSkippedLine));
        else
            json.null();
    }
    json.endObject();
    json.print();
    return r.status;
}

} // namespace kivotrek::cli
