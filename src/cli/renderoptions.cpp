#include "cli/clicommon.h"

#include <QFileInfo>

namespace kivotrek::cli {

int parseRenderOptions(const QStringList& args, RenderOptions& o)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto value = [&](QString& into) {
            if (i + 1 >= args.size())
                return false;
            into = args[++i];
            return true;
        };
        if (a == QLatin1String("--rs274x")) {
            o.rs274x = true;
        } else if (a == QLatin1String("--preview")) {
            o.preview = true;
        } else if (a == QLatin1String("--settings")) {
            if (!value(o.settings))
                return usageError(QStringLiteral("--settings needs a file"));
        } else if (a == QLatin1String("-o")) {
            if (!value(o.out))
                return usageError(QStringLiteral("-o needs a file"));
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            return usageError(QStringLiteral("unknown option: ") + a);
        } else if (o.gerber.isEmpty()) {
            o.gerber = a;
        } else {
            return usageError(QStringLiteral("more than one Gerber file given"));
        }
    }
    if (o.gerber.isEmpty())
        return usageError(QStringLiteral("render: no Gerber file given"));
    if (o.out.isEmpty())
        return usageError(QStringLiteral("render: no output file given (-o OUT)"));
    if (!o.preview)
        return usageError(QStringLiteral("render: say which drawing: --preview"));
    const QString suffix = QFileInfo(o.out).suffix().toLower();
    if (suffix != QLatin1String("bmp") && suffix != QLatin1String("png") && suffix != QLatin1String("svg"))
        return usageError(QStringLiteral("render: the output must end in .bmp, .png or .svg"));
    return 0;
}

} // namespace kivotrek::cli
