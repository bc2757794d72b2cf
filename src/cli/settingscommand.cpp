#include "cli/clicommon.h"
#include "cli/jsonwriter.h"
#include "cli/rawpaths.h"
#include "cli/readers.h"
#include "common/messages.h"
#include "settings/settingsfile.h"
#include "settings/settingsfit.h"

#include <cstdio>

namespace kivotrek::cli {

int loadSettingsInto(
    const QString& path, int readRows, HoleTable& table, QString& productCode, const MessageSink& said)
{
    QString error;
    const auto values = readSettingsFile(readablePath(path), &error);
    if (!values) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
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
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
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
        json.key("kind").value(r.kind);
        json.key("color").value(static_cast<long long>(r.color));
        json.endObject();
    }
    json.endArray();
    json.endObject();
    json.print();
    return kDone;
}

} // namespace kivotrek::cli
