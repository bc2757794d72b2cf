// kivotrek-viewbench: the board view's own paint path over a board of 1,000,000 holes,
// offscreen: the first picture (the board held, its grid, the first frame), then 100 frames at
// several zooms and pans, their median and slowest, and the memory the view adds.
//   kivotrek-viewbench [HOLES] [--symbols]

#include "board/board.h"
#include "boardgenerator.h"
#include "drawing/boardview.h"
#include "drawing/heldboard.h"
#include "settings/settingsfile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kivotrek;

namespace {
// The resident memory of the process, from /proc, in megabytes.
double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int holes = args.size() > 1 && args[1].toInt() > 0 ? args[1].toInt() : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("board.gbr"));
    if (!bench::writeStandardBoard(path, holes) || !bench::writeBoardSettings(path)) {
        std::fprintf(stderr, "cannot write the board\n");
        return 1;
    }
    Board board;
    HoleTable table;
    BoardExtent extent;
    readBoardFile(board, ReaderKind::Standard, path, table, extent, {});
    QString productCode;
    if (const auto values = readSettingsFile(settingsPath(path), nullptr))
        applySettings(*values, table, productCode);
    DrawingOptions options;
    options.marks = args.contains(QStringLiteral("--symbols"));

    const QSize size(1280, 800);
    QImage image(size, QImage::Format_RGB32);
    const double before = residentMegabytes();
    QElapsedTimer first;
    first.start();
    const HeldBoard held = holdBoard(board, table, extent);
    const HoleGrid grid(held);
    BoardViewRenderer renderer;
    renderer.setBoard(&held, &grid, &table);
    renderer.setOptions(options);
    ViewTransform t;
    t.fit(held.frame, renderer.boardArea(QSizeF(size)));
    renderer.render(image, t, {});
    const double firstSeconds = first.nsecsElapsed() / 1e9;

    // 100 frames: zooms in and out about points of the board, pans between them.
    std::vector<double> frames;
    const ViewTransform fitted = t;
    const double zooms[] = {1.0, 1.6, 3.0, 8.0, 30.0, 120.0, 400.0, 2.0, 0.5, 12.0};
    for (int i = 0; i < 100; ++i) {
        t = bench::benchFrame(fitted, i, zooms);
        QElapsedTimer frame;
        frame.start();
        const qint64 stamped = renderer.render(image, t, {});
        frames.push_back(frame.nsecsElapsed() / 1e6);
        if (qEnvironmentVariableIsSet("KIVOTREK_VIEWBENCH_FRAMES"))
            std::printf("  frame %d: zoom %.1f, %lld holes stamped, %.1f ms\n", i, zooms[i % 10],
                (long long)stamped, frames.back());
    }
    const double after = residentMegabytes();
    std::vector<double> sorted = frames;
    std::sort(sorted.begin(), sorted.end());
    std::printf("board view, %d holes%s, 1280 x 800:\n", holes, options.marks ? " (symbols)" : "");
    std::printf("  first picture (held, grid, frame)  %.3f s\n", firstSeconds);
    std::printf("  100 frames: median %.1f ms, slowest %.1f ms\n", sorted[sorted.size() / 2], sorted.back());
    std::printf("  memory the view adds               %.0f MB\n", after - before);
    return 0;
}
