// kivotrek-desktopbench: the desktop program's memory with a board's view open, offscreen. The
// main window opens the file (and reads the settings file beside it), the preview opens its
// board view at 1280 x 800 and paints it fitted, zoomed in and out; then the peak and the
// resident memory of the process.
//   kivotrek-desktopbench FILE

#include "app/boardviewwidget.h"
#include "app/mainwindow.h"
#include "app/previewwindow.h"
#include "app/prompts.h"
#include "settings/settingsfile.h"

#include <QApplication>
#include <QFile>
#include <QWheelEvent>
#include <cstdio>

using namespace kivotrek;

namespace {
// What the program says goes to stderr: a message box would wait for a click. A settings file
// that does not fit is read all the same.
struct PrintedPrompts : Prompts {
    void message(QWidget*, const QString& text, const QString&) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    bool yesNo(QWidget*, const QString&, const QString&) override { return true; }
    SaveChoice saveDiscardCancel(QWidget*, const QString&, const QString&) override
    {
        return SaveChoice::Discard;
    }
    int choose(QWidget*, const QString&, const QString&, const QStringList&) override { return -1; }
    bool reviewPackage(QWidget*, Package&) override { return true; }
};

// A line of /proc/self/status in megabytes ("VmHWM", "VmRSS").
double statusMegabytes(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key)) + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString path = app.arguments().value(1);
    if (path.isEmpty()) {
        std::fprintf(stderr, "usage: kivotrek-desktopbench FILE\n");
        return 2;
    }
    MainWindowSetup setup;
    setup.prompts = std::make_unique<PrintedPrompts>();
    MainWindow window(std::move(setup));
    window.show();
    window.openFile(path);
    const double read = statusMegabytes("VmRSS:");
    if (QFile::exists(settingsPath(path)))
        window.readSettings();
    window.showPreview();
    PreviewWindow* preview = window.previewWindow();
    if (!preview) {
        std::fprintf(stderr, "no preview of %s\n", qPrintable(path));
        return 1;
    }
    preview->resize(1280, 800);
    QApplication::processEvents();
    BoardViewWidget* view = preview->boardView();
    view->repaint();
    // Zoomed in about the middle and out again, each painted.
    for (const int steps : {8, 8, -8, -8}) {
        const QPointF at(view->width() / 2.0, view->height() / 2.0);
        QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
        view->repaint();
    }
    QApplication::processEvents();
    std::printf("desktop with the board view open, %s:\n", qPrintable(path));
    std::printf("  resident after the read          %.0f MB\n", read);
    std::printf("  resident with the view           %.0f MB\n", statusMegabytes("VmRSS:"));
    std::printf("  peak                             %.0f MB\n", statusMegabytes("VmHWM:"));
    return 0;
}
