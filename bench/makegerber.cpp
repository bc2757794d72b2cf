// kivotrek-makegerber: writes the large benchmark boards.
//   kivotrek-makegerber standard|rs274x|excellon|x2|outline FLASHES OUT [--settings]

#include "boardgenerator.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = QCoreApplication::arguments();
    bool ok = false;
    const int flashes = a.value(2).toInt(&ok);
    if (a.size() < 4 || !ok || flashes < 0
        || (a[1] != QLatin1String("standard") && a[1] != QLatin1String("rs274x")
            && a[1] != QLatin1String("excellon") && a[1] != QLatin1String("x2")
            && a[1] != QLatin1String("outline"))) {
        std::fputs(
            "usage: kivotrek-makegerber standard|rs274x|excellon|x2|outline FLASHES OUT [--settings]\n",
            stderr);
        return 64;
    }
    using namespace kivotrek::bench;
    const QString kind = a[1];
    const bool written = kind == QLatin1String("standard") ? writeStandardBoard(a[3], flashes)
        : kind == QLatin1String("rs274x")                  ? writeRs274xBoard(a[3], flashes)
        : kind == QLatin1String("x2")                      ? writeX2Board(a[3], flashes)
        : kind == QLatin1String("outline")                 ? writeOutline(a[3])
                                                           : writeExcellonBoard(a[3], flashes);
    const bool settings = a.contains(QStringLiteral("--settings"))
        && (kind == QLatin1String("standard") || kind == QLatin1String("rs274x"));
    if (!written || (settings && !writeBoardSettings(a[3]))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(a[3]));
        return 3;
    }
    return 0;
}
