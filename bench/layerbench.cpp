// kivotrek-layerbench: a package read with every layer and drawn in the board view with all its
// layers shown, offscreen: the package opened and its board built, its layers read, then 100
// frames at zooms from the whole board to single pads, their median and slowest.
//   kivotrek-layerbench PACKAGE   (bench/layers.sh plots KiCad's video demo for it)

#include "board/board.h"
#include "boardgenerator.h"
#include "drawing/boardview.h"
#include "drawing/heldboard.h"
#include "package/package.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kivotrek;

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: kivotrek-layerbench PACKAGE\n");
        return 2;
    }
    QElapsedTimer read;
    read.start();
    QString error;
    const auto package = Package::open(args[1], &error);
    if (!package) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    Board board;
    HoleTable table;
    BoardExtent extent;
    buildBoard(*package, board, table, extent, {});
    const double boardSeconds = read.nsecsElapsed() / 1e9;
    QElapsedTimer layersRead;
    layersRead.start();
    readBoardLayers(*package, board, {});
    const double layerSeconds = layersRead.nsecsElapsed() / 1e9;
    qint64 objects = 0;
    for (const BoardLayer& l : board.layers)
        objects += qint64(l.image->objects.size());

    const QSize size(1280, 800);
    QImage image(size, QImage::Format_RGB32);
    QElapsedTimer first;
    first.start();
    const HeldBoard held = holdBoard(board, table, extent);
    const HoleGrid grid(held);
    BoardViewRenderer renderer;
    renderer.setBoard(&held, &grid, &table);
    std::vector<LayerStyle> styles = renderer.layerStyles();
    for (LayerStyle& s : styles)
        s.shown = true;
    renderer.setLayerStyles(styles);
    ViewTransform t;
    t.fit(held.frame, renderer.boardArea(QSizeF(size)));
    renderer.render(image, t, {});
    const double firstSeconds = first.nsecsElapsed() / 1e9;
    if (args.size() > 2)
        image.save(args[2]);

    std::vector<double> frames, sharp;
    const ViewTransform fitted = t;
    const double zooms[] = {1.0, 1.3, 2.0, 3.0, 5.0, 8.0, 15.0, 40.0, 120.0, 0.7};
    qint64 mostDrawn = 0;
    for (int i = 0; i < 100; ++i) {
        t = bench::benchFrame(fitted, i, zooms);
        QElapsedTimer frame;
        frame.start();
        renderer.render(image, t, {});
        frames.push_back(frame.nsecsElapsed() / 1e6);
        // The sharp layers at the new zoom, drawn when the user pauses, and the frame after it.
        QElapsedTimer refresh;
        refresh.start();
        renderer.refreshLayers();
        renderer.render(image, t, {});
        sharp.push_back(refresh.nsecsElapsed() / 1e6);
        mostDrawn = std::max(mostDrawn, renderer.layerObjectsDrawn());
        if (qEnvironmentVariableIsSet("KIVOTREK_LAYERBENCH_FRAMES"))
            std::printf("  frame %d: zoom %.1f, %lld layer objects drawn, %.1f ms, sharp %.1f ms\n", i,
                zooms[i % 10], (long long)renderer.layerObjectsDrawn(), frames.back(), sharp.back());
    }
    std::vector<double> sorted = frames, sortedSharp = sharp;
    std::sort(sorted.begin(), sorted.end());
    std::sort(sortedSharp.begin(), sortedSharp.end());
    std::printf("%s: %zu layers, %lld objects, 1280 x 800, every layer shown:\n", qPrintable(args[1]),
        board.layers.size(), (long long)objects);
    std::printf("  package opened, drill files read   %.3f s\n", boardSeconds);
    std::printf("  every layer read                   %.3f s\n", layerSeconds);
    std::printf("  first picture (held, grids, frame) %.3f s\n", firstSeconds);
    std::printf("  100 frames: median %.1f ms, slowest %.1f ms\n", sorted[sorted.size() / 2], sorted.back());
    std::printf("  the layers sharp after each: median %.1f ms, slowest %.1f ms (at most %lld objects)\n",
        sortedSharp[sortedSharp.size() / 2], sortedSharp.back(), (long long)mostDrawn);
    return 0;
}
