// kivotrek-livebench: an open preview following the table on a large board, offscreen. A
// diameter is typed into the main window again and again; each time, how long from the edit
// until the preview's picture, legend and view are drawn and painted with it (the pause the
// window waits for the typing to end included), and how long the drawing itself takes. Then
// how long one run of the drill checks takes on the board.
//   kivotrek-livebench [HOLES | FILE.drl]

#include "app/boardviewwidget.h"
#include "app/checkwindow.h"
#include "app/holetableview.h"
#include "app/mainwindow.h"
#include "app/previewwindow.h"
#include "boardgenerator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kivotrek;

namespace {
// What the program says goes to stderr: a message box would wait for a click.
struct PrintedPrompts : Prompts {
    void message(QWidget*, const QString& text, const QString&) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    bool yesNo(QWidget*, const QString&, const QString&) override { return false; }
    SaveChoice saveDiscardCancel(QWidget*, const QString&, const QString&) override
    {
        return SaveChoice::Discard;
    }
    int choose(QWidget*, const QString&, const QString&, const QStringList&) override { return -1; }
    bool reviewPackage(QWidget*, Package&) override { return true; }
};

// Notes that the view was painted: the time is taken once the event loop has handled the paint.
struct PaintSeen : QObject {
    bool seen = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        seen = seen || event->type() == QEvent::Paint;
        return false;
    }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTemporaryDir dir;
    QString path = args.value(1);
    int holes = 100000;
    if (path.isEmpty() || path.toInt() > 0) {
        holes = path.isEmpty() ? holes : path.toInt();
        path = dir.filePath(QStringLiteral("board.drl"));
        if (!bench::writeExcellonBoard(path, holes)) {
            std::fprintf(stderr, "cannot write the board\n");
            return 1;
        }
    }
    MainWindowSetup setup;
    setup.prompts = std::make_unique<PrintedPrompts>();
    MainWindow window(std::move(setup));
    window.show();
    window.openFile(path);
    window.showPreview();
    PreviewWindow* preview = window.previewWindow();
    auto* rows = window.findChild<HoleTableView*>(QStringLiteral("holeTableView"));
    auto* pause = window.findChild<QTimer*>(QStringLiteral("followTimer"));
    if (!preview || !rows || !pause) {
        std::fprintf(stderr, "no preview of %s\n", qPrintable(path));
        return 1;
    }
    preview->resize(1280, 800);
    QApplication::processEvents();
    const qint64 total = holeTotals(window.holeCounts(), window.table()).all;

    // Each edit: the time until the pause has ended and the view has painted what it drew.
    constexpr int kEdits = 40;
    std::vector<double> edits;
    QLineEdit* diameter = rows->diameterEdit(0);
    PaintSeen painted;
    preview->boardView()->installEventFilter(&painted);
    // A paint of the view counts once the pause is over and the preview has drawn the edit.
    QObject::connect(pause, &QTimer::timeout, &painted, [&painted] { painted.seen = false; });
    const QString original = diameter->text();
    for (int i = 0; i < kEdits; ++i) {
        QApplication::processEvents(); // nothing of the edit before left over
        painted.seen = false;
        QElapsedTimer clock;
        clock.start();
        diameter->setText(i % 2 ? original : QStringLiteral("0.55"));
        while (pause->isActive() || !painted.seen)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        edits.push_back(double(clock.nsecsElapsed()) / 1e9);
    }
    std::printf("preview following the table, %lld holes, view 1280 x 800, %d edits:\n",
        static_cast<long long>(total), kEdits);
    std::printf("  edit to picture painted: median %.1f ms, slowest %.1f ms (the pause %d ms included)\n",
        median(edits) * 1e3, *std::max_element(edits.begin(), edits.end()) * 1e3, MainWindow::kFollowDelayMs);
    std::printf("  drawn and painted after the pause: median %.1f ms\n",
        median(edits) * 1e3 - MainWindow::kFollowDelayMs);

    // The drill checks, as チェック runs them (best of three).
    window.showChecks();
    CheckWindow* checks = window.checkWindow();
    double best = 1e9;
    for (int i = 0; checks && i < 3; ++i) {
        QElapsedTimer clock;
        clock.start();
        checks->checkButton->click();
        best = std::min(best, double(clock.nsecsElapsed()) / 1e9);
    }
    std::printf("  one run of the drill checks: %.1f ms (best of three)\n", best * 1e3);
    return 0;
}
