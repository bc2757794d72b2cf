#include "cli/clicommon.h"

#include "drawing/pagelayout.h"

#include <QFileInfo>
#include <cmath>

namespace kivotrek::cli {

int parseRenderOptions(const QStringList& args, RenderOptions& o)
{
    bool optionsEnded = false; // after "--" every argument is a file
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (optionsEnded) {
            o.input.files << a;
            continue;
        }
        const auto value = [&](QString& into) {
            if (i + 1 >= args.size())
                return false;
            into = args[++i];
            return true;
        };
        if (o.reader.take(a)) {
            continue;
        } else if (a == QLatin1String("--counts")) {
            o.counts = true;
        } else if (a == QLatin1String("--symbols")) {
            o.marks = true;
        } else if (a == QLatin1String("--preview")) {
            o.preview = true;
        } else if (a == QLatin1String("--page")) {
            o.page = true;
            if (!value(o.pageSize))
                return usageError(QStringLiteral("--page needs a size choice, as \"%1\" or \"100\"")
                                      .arg(sizeChoices().first()));
        } else if (a == QLatin1String("--dpi")) {
            QString dpi;
            bool ok = false;
            if (value(dpi))
                o.dpi = dpi.toInt(&ok);
            if (!ok || o.dpi < 72 || o.dpi > 2400)
                return usageError(QStringLiteral("--dpi needs a resolution from 72 to 2400"));
        } else if (a == QLatin1String("--product-code")) {
            if (!value(o.productCode))
                return usageError(QStringLiteral("--product-code needs a text"));
            o.productCodeGiven = true;
        } else if (a == QLatin1String("--settings")) {
            if (!value(o.settings))
                return usageError(QStringLiteral("--settings needs a file"));
        } else if (a == QLatin1String("--outline")) {
            if (!o.input.outline.isEmpty() || !value(o.input.outline))
                return usageError(QStringLiteral("--outline needs one file"));
        } else if (a == QLatin1String("--board")) {
            if (!o.input.board.isEmpty() || !value(o.input.board))
                return usageError(QStringLiteral("--board needs one name"));
        } else if (a == QLatin1String("-o")) {
            if (!value(o.out))
                return usageError(QStringLiteral("-o needs a file"));
        } else if (a == QLatin1String("--") && !optionsEnded) {
            optionsEnded = true;
        } else if (!optionsEnded && a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            return usageError(QStringLiteral("unknown option: ") + a);
        } else {
            o.input.files << a;
        }
    }
    if (const int bad = checkFileArguments("render", o.reader, o.input))
        return bad;
    if (o.out.isEmpty())
        return usageError(QStringLiteral("render: no output file given (-o OUT)"));
    if (o.preview == o.page)
        return usageError(QStringLiteral("render: say which drawing: --preview or --page SIZE"));
    if (o.page && !sizeChoices().contains(o.pageSize)) {
        bool number = false;
        const double percent = o.pageSize.trimmed().toDouble(&number);
        if (!number || !(percent > 0) || !std::isfinite(percent))
            return usageError(QStringLiteral(
                "--page needs a size choice (\"%1\" ... \"%2\") or a percentage above 0, not \"%3\"")
                                  .arg(sizeChoices().first(), sizeChoices().last(), o.pageSize));
    }
    const QString suffix = QFileInfo(o.out).suffix().toLower();
    const QStringList accepted = o.preview
        ? QStringList {QStringLiteral("bmp"), QStringLiteral("png"), QStringLiteral("svg")}
        : QStringList {QStringLiteral("pdf"), QStringLiteral("png"), QStringLiteral("svg")};
    if (!accepted.contains(suffix))
        return usageError(
            QStringLiteral("render: the output must end in .") + accepted.join(QStringLiteral(", .")));
    return 0;
}

} // namespace kivotrek::cli
