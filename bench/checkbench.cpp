// kivotrek-checkbench: the drill checks over a board of 1,000,000 holes: a panel of 600 x 600 mm
// with 0.3 and 0.4 mm holes on a 0.6 mm grid (every thousandth drilled twice, every thousandth
// another 0.25 mm off) and its outline, as Excellon and Gerber X2 files. Prints the time of the
// read, of gathering the board for the checks and of the checks, best of three, and what they
// found.   kivotrek-checkbench [HOLES]

#include "board/board.h"
#include "checks/drillchecks.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace kivotrek;

namespace {
bool writeDrills(const QString& path, int holes, int side)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray out =
        "M48\n; #@! TF.FileFunction,Plated,1,2,PTH\nFMAT,2\nMETRIC\nT1C0.300\nT2C0.400\n%\nG90\nG05\n";
    const auto mm = [](int micrometres) { return QByteArray::number(micrometres / 1000.0, 'f', 3); };
    for (int tool = 1; tool <= 2; ++tool) {
        out += "T" + QByteArray::number(tool) + "\n";
        for (int i = 0; i < holes; ++i) {
            if ((i % 10 == 0) != (tool == 2))
                continue;
            const int x = 5000 + (i % side) * 600, y = 5000 + (i / side) * 600;
            out += "X" + mm(x) + "Y" + mm(y) + "\n";
            if (i % 1000 == 1)
                out += "X" + mm(x) + "Y" + mm(y) + "\n"; // drilled twice
            if (i % 1000 == 2)
                out += "X" + mm(x + 250) + "Y" + mm(y) + "\n"; // too close
            if (out.size() > (1 << 20)) {
                if (f.write(out) != out.size())
                    return false;
                out.clear();
            }
        }
    }
    out += "M30\n";
    return f.write(out) == out.size();
}

bool writeOutline(const QString& path, int side)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QByteArray e = QByteArray::number(qint64(side * 600 + 9400) * 1000);
    const QByteArray out = "%TF.FileFunction,Profile,NP*%\n%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.100*%\nD10*\n"
                           "X0Y0D02*\nX"
        + e + "Y0D01*\nX" + e + "Y" + e + "D01*\nX0Y" + e + "D01*\nX0Y0D01*\nM02*\n";
    return f.write(out) == out.size();
}

double seconds(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e9;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int holes = args.size() > 1 && args[1].toInt() > 0 ? args[1].toInt() : 1000000;
    const int side = int(std::ceil(std::sqrt(double(holes))));
    QTemporaryDir dir;
    const QString drills = dir.filePath(QStringLiteral("panel.drl")),
                  outline = dir.filePath(QStringLiteral("panel.gko"));
    if (!writeDrills(drills, holes, side) || !writeOutline(outline, side)) {
        std::fprintf(stderr, "cannot write the board\n");
        return 1;
    }
    double read = 1e9, gather = 1e9, check = 1e9;
    CheckReport report;
    size_t checked = 0;
    for (int run = 0; run < 3; ++run) {
        Board board;
        HoleTable table;
        BoardExtent extent;
        QElapsedTimer t;
        t.start();
        readBoardFile(board, ReaderKind::Excellon, drills, table, extent, {});
        readBoardOutline(board, outline, table, extent, {});
        read = std::min(read, seconds(t));
        t.restart();
        const CheckedBoard held = checkedBoard(board, table, extent);
        gather = std::min(gather, seconds(t));
        t.restart();
        report = runChecks(held, CheckLimits());
        check = std::min(check, seconds(t));
        checked = held.holes.size();
    }
    std::printf("drill checks, %zu holes (600 x 600 mm panel), best of three:\n", checked);
    std::printf("  read the files                     %.3f s\n", read);
    std::printf("  gather the board for the checks    %.3f s\n", gather);
    std::printf("  run the checks                     %.3f s\n", check);
    std::printf("  found: %lld stacked, %lld too close, %lld in all\n",
        (long long)report.counts[size_t(CheckKind::Stacked)],
        (long long)report.counts[size_t(CheckKind::Spacing)]
            + (long long)report.counts[size_t(CheckKind::Overlap)],
        (long long)report.total());
    return 0;
}
