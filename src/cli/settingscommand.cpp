#include "cli/clicommon.h"
#include "cli/jsonwriter.h"
#include "cli/rawpaths.h"
#include "cli/readers.h"
#include "common/messages.h"
#include "settings/settingsfile.h"
#include "settings/settingsfit.h"

#include <cstdio>

namespace kivotrek::cli {

MessageSink stderrSink()
{
    return [](const QString& m) { std::fprintf(stderr, "%s\n", m.toLocal8Bit().constData()); };
}

int parseTableArguments(const char* command, const QStringList& args, TableArguments& a)
{
    QStringList rest; // --settings takes the next argument; the others are flags or files
    if (const int bad = takeSettingsOption(args, a.settings, rest))
        return bad;
    int formats = 0;
    const auto formatFlag = [&](const QString& flag) {
        if (flag != QLatin1String("--csv") && flag != QLatin1String("--json"))
            return false;
        a.json = flag == QLatin1String("--json");
        ++formats;
        return true;
    };
    if (const int bad = parseFileArguments(command, rest, a.choice, a.given, formatFlag))
        return bad;
    if (formats > 1)
        return usageError(
            QString::fromLatin1(command) + QStringLiteral(": give one format: --csv or --json"));
    return refuseOutputOverInput(QString(), a.given, {a.settings});
}

int readTableBoard(const TableArguments& a, HoleTable& table, BoardExtent& extent, ReadOutcome& read)
{
    const MessageSink toStderr = stderrSink();
    read = readBoard(a.choice, a.given, table, extent, toStderr);
    if (read.stopNow)
        return read.stopNow;
    if (read.readNothing())
        return read.status; // no table of a read that failed
    if (a.settings.isEmpty())
        return 0;
    QString productCode;
    return loadSettingsInto(a.settings, read.board.nextFreeRow(), table, productCode, toStderr);
}

int loadSettingsInto(
    const QString& path, int readRows, HoleTable& table, QString& productCode, const MessageSink& said)
{
    QString error;
    const auto values = readSettingsFile(readablePath(path), &error);
    if (!values) {
        std::fprintf(stderr, "%s\n", shownPaths(error).toLocal8Bit().constData());
        return kUnreadable;
    }
    if (const QStringList differences = settingsMismatches(table, readRows, *values);
        !differences.isEmpty() && said) {
        said(msg::settingsDoNotFit(path));
        for (const QString& line : differences)
            said(line);
    }
    applySettings(*values, table, productCode);
    return 0;
}

int runSettings(const QStringList& args)
{
    if (args.size() != 2 || args[0] != QLatin1String("show"))
        return usageError(QStringLiteral("usage: kivotrek-cli settings show INI"));
    const QString& path = args[1];
    if (const int refused = refuseOutputOverInput(QString(), BoardArguments {{path}, QString(), QString()}))
        return refused;
    HoleTable table;
    QString productCode;
    QString error;
    if (!loadSettings(readablePath(path), table, productCode, &error)) {
        std::fprintf(stderr, "%s\n", shownPaths(error).toLocal8Bit().constData());
        return kUnreadable;
    }
    JsonWriter json;
    json.beginObject();
    json.key("productCode").value(productCode);
    json.key("rows").beginArray();
    for (int i = 0; i < HoleTable::kRows; ++i) {
        const HoleRow& r = table.row(i);
        json.beginObject();
        json.key("index").value(static_cast<long long>(i));
        json.key("dcode").value(r.dcode);
        json.key("diameter").value(r.diameter);
        json.key("sign1").value(r.sign1);
        json.key("tol1").value(r.tol1);
        json.key("sign2").value(r.sign2);
        json.key("tol2").value(r.tol2);
        json.key("kind").value(r.kind.name());
        json.key("color").value(static_cast<long long>(r.color));
        json.endObject();
    }
    json.endArray();
    json.endObject();
    json.print();
    return kDone;
}

} // namespace kivotrek::cli
