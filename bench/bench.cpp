// kivotrek-bench: timings of the core on generated boards (best of several runs).

#include "boardgenerator.h"
#include "drawing/pagelayout.h"
#include "drawing/pagesurface.h"
#include "drawing/picturesurface.h"
#include "drawing/previewlayout.h"
#include "drawing/svgsurface.h"
#include "gerber/rs274xreader.h"
#include "gerber/standardreader.h"
#include "settings/settingsfile.h"

#include "board/board.h"
#include "board/drillframe.h"
#include "drawing/boarddrawing.h"
#include "drawing/drilldrawing.h"
#include "drawing/gerberreplay.h"
#include "drawing/holecounts.h"
#include "excellon/excellonreader.h"
#include <QBuffer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>
#include <memory>

using namespace kivotrek;

namespace {
double best(int runs, const std::function<void()>& work)
{
    double fastest = 1e30;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        fastest = std::min(fastest, t.nsecsElapsed() / 1e9);
    }
    return fastest;
}

struct GeneratedBoard {
    QString path;
    double megabytes = 0;
    HoleTable table;
    BoardExtent extent;
};

GeneratedBoard board(const QTemporaryDir& dir, const char* name, int flashes, bool rs274x)
{
    GeneratedBoard b;
    b.path = dir.filePath(QString::fromLatin1(name));
    if (rs274x) {
        bench::writeRs274xBoard(b.path, flashes);
        readRs274xGerber(b.path, b.table, b.extent, {});
    } else {
        bench::writeStandardBoard(b.path, flashes);
        readStandardGerber(b.path, b.table, b.extent, {});
        for (int i = 0; i < 11; ++i)
            b.table.row(i).diameter = QString::number(0.3 + 0.2 * i);
    }
    b.megabytes = QFileInfo(b.path).size() / 1e6;
    return b;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int runs = quick ? 1 : 3;
    QTemporaryDir dir;

    const GeneratedBoard std1m = board(dir, "standard-1m.gbr", quick ? 100000 : 1000000, false);
    const GeneratedBoard std200k = board(dir, "standard-200k.gbr", 200000, false);
    const GeneratedBoard rs200k = board(dir, "rs274x-200k.gbr", 200000, true);

    std::printf("%-44s %10s\n", "measure", "result");
    const auto row = [](const char* what, double value, const char* unit) {
        std::printf("%-44s %10.3f %s\n", what, value, unit);
    };
    for (const GeneratedBoard* b : {&std1m, &std200k}) {
        const double t = best(runs, [&] {
            HoleTable table;
            BoardExtent extent;
            readStandardGerber(b->path, table, extent, {});
        });
        row(qPrintable(QStringLiteral("standard read, %1 MB").arg(b->megabytes, 0, 'f', 1)), b->megabytes / t,
            "MB/s");
    }
    {
        const double t = best(runs, [&] {
            HoleTable table;
            BoardExtent extent;
            readRs274xGerber(rs200k.path, table, extent, {});
        });
        row(qPrintable(QStringLiteral("RS-274X read, %1 MB").arg(rs200k.megabytes, 0, 'f', 1)),
            rs200k.megabytes / t, "MB/s");
    }
    for (const GeneratedBoard* b : {&std1m, &rs200k}) {
        const double t = best(runs, [&] {
            PictureSurface s(kPreviewWidthTwips, kPreviewHeightTwips, 96);
            drawPreview(b->path, b->table, b->extent, s);
        });
        row(qPrintable(QFileInfo(b->path).fileName() + QStringLiteral(": preview picture (read and draw)")),
            t, "s");
        // The drawing alone, of the steps the board holds, as every drawing after the read is.
        const StepRecord steps = recordSteps(b->path);
        const double held = best(runs, [&] {
            PictureSurface s(kPreviewWidthTwips, kPreviewHeightTwips, 96);
            PreviewLayout layout;
            preparePreview(b->table, b->extent, s, layout);
            replayDrillMap(steps, b->table, b->extent, layout, s);
        });
        row(qPrintable(QFileInfo(b->path).fileName() + QStringLiteral(": preview drawing alone")), held, "s");
    }
    {
        // Symbols for black-and-white printing: each hole a figure, stamped as dots are.
        DrawingOptions symbols;
        symbols.marks = true;
        const Board board = singleFileBoard(rs200k.path, ReaderKind::Rs274x);
        const double t = best(runs, [&] {
            PictureSurface s(kPreviewWidthTwips, kPreviewHeightTwips, 96);
            drawPreview(board, rs200k.table, rs200k.extent, s, symbols);
        });
        row("rs274x-200k.gbr: preview picture with symbols", t, "s");
    }
    {
        const QString drl = dir.filePath(QStringLiteral("excellon-200k.drl"));
        bench::writeExcellonBoard(drl, 200000);
        const double megabytes = QFileInfo(drl).size() / 1e6;
        const double t = best(runs, [&] { readExcellon(drl, {}); });
        row(qPrintable(QStringLiteral("Excellon read, %1 MB").arg(megabytes, 0, 'f', 1)), megabytes / t,
            "MB/s");
        HoleTable table;
        BoardExtent extent;
        Board single;
        readBoardFile(single, ReaderKind::Excellon, drl, table, extent, {});
        const double drawn = best(runs, [&] {
            PictureSurface s(kPreviewWidthTwips, kPreviewHeightTwips, 96);
            drawPreview(singleFileBoard(drl, ReaderKind::Excellon), table, extent, s);
        });
        row("excellon-200k.drl: preview picture (read and draw)", drawn, "s");

        // A board of three files, its files read once: the drawing alone.
        const QString npth = dir.filePath(QStringLiteral("board-NPTH-drl.gbr"));
        const QString edge = dir.filePath(QStringLiteral("board-Edge_Cuts.gbr"));
        bench::writeX2Board(npth, 20000);
        bench::writeOutline(edge);
        // Read as the menu commands read them: the first file, the added one, the outline.
        const auto readThree = [&](Board& b, HoleTable& t, BoardExtent& e) {
            readBoardFile(b, ReaderKind::Excellon, drl, t, e, {});
            addBoardFile(b, ReaderKind::GerberX2, npth, t, e, {});
            readBoardOutline(b, edge, t, e, {});
        };
        Board board;
        HoleTable boardTable;
        BoardExtent boardExtent;
        readThree(board, boardTable, boardExtent);
        const DrillFrame frame = boardFrame(board.data);
        const double boardDrawn = best(runs, [&] {
            PictureSurface s(kPreviewWidthTwips, kPreviewHeightTwips, 96);
            PreviewLayout layout;
            preparePreview(boardTable, frame.extent, s, layout);
            drawBoardData(board, frame, boardTable, layout, s);
        });
        row("board of three files, 200,000 holes: preview drawing alone", boardDrawn, "s");
        const double boardRead = best(runs, [&] {
            Board b;
            HoleTable t;
            BoardExtent e;
            readThree(b, t, e);
        });
        row("board of three files, 200,000 holes: reading, frame and warning", boardRead, "s");
    }
    {
        const double t = best(runs, [&] {
            SvgSurface s(kPreviewWidthTwips, kPreviewHeightTwips, 96);
            drawPreview(rs200k.path, rs200k.table, rs200k.extent, s);
            (void)s.document();
        });
        row("rs274x-200k.gbr: preview SVG", t, "s");
    }
    {
        const double t = best(runs, [&] {
            QByteArray pdf;
            QBuffer out(&pdf);
            out.open(QIODevice::WriteOnly);
            QPdfWriter writer(&out);
            const QPageLayout layout = PageSurface::pageLayout(9, 1);
            writer.setPageLayout(layout);
            writer.setResolution(600);
            PageSurface page(writer, PageSurface::sheetTwips(layout), 600);
            BasicRandom random;
            printDrawing(
                rs200k.path, rs200k.table, rs200k.extent, QStringLiteral("自動(A4縦)"), {}, page, random);
            page.end();
        });
        row("rs274x-200k.gbr: printed page, 600 dpi PDF", t, "s");
    }
    return 0;
}
