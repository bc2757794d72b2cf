// The main window's 印刷: the print dialog, the paper of an automatic size, a board past the
// paper asked about, a trial on a page that draws nothing, then the page itself.

#include "app/mainwindow.h"

#include "app/drawingprogress.h"
#include "common/messages.h"
#include "drawing/pagesurface.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPrinter>

namespace kivotrek {

QPrinter& MainWindow::printer()
{
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer_->setFullPage(true); // positions are measured from the sheet's corner
    }
    return *printer_;
}

void MainWindow::print()
{
    readChangedFiles(); // the page shows the files as they are now
    // Any failure from here on ends the command silently; printing does not check the table.
    dialog_->cancelError = true;
    dialog_->flags |= CommonDialog::kHidePrintToFile;
    // A size that gives no scale would print the legend without the board.
    const QString size = sizeChoice_->currentText();
    if (!sizeTextHasScale(size)) {
        showMessage(msg::sizeNotANumber(size));
        return;
    }
    // A diameter that is no number would print as the smallest hole: each such row is named (an
    // error: listed, and in its box).
    if (!table_.checkNumbers([this](const Diagnostic& d) { report(d); }))
        return;
    QPrinter& pr = printer();
    if (!dialog_->showPrinter(this, pr))
        return;
    // Without any printer Qt falls back to a PDF output with no file name.
    const bool native = pr.outputFormat() == QPrinter::NativeFormat;
    if (native ? pr.printerName().isEmpty() || !pr.isValid() : pr.outputFileName().isEmpty()) {
        showMessage(msg::noPrinter());
        return;
    }
    if (const auto paper = automaticPaper(sizeChoice_->currentText())) {
        const QPageLayout layout = PageSurface::pageLayout(paper->paper, paper->orientation);
        if (!pr.setPageSize(layout.pageSize()) || !pr.setPageOrientation(layout.orientation()))
            return;
    }
    // A percentage that puts the board past the paper is asked about before anything prints.
    const QString overflow = pageOverflow(table_, extent_, size, PageSurface::sheetTwips(pr.pageLayout()));
    if (!overflow.isEmpty()
        && !prompts_->yesNo(this, overflow + QLatin1Char('\n') + msg::printAnyway(), msg::title()))
        return;
    QString problem;
    if (!printPage(&problem)) {
        // Nothing was printed: no question about the default printer (and after a cancel no
        // message either). The drawing's problem is listed with the board's messages.
        if (!problem.isEmpty())
            report(Diagnostic {Severity::Error, QString(), std::nullopt, problem});
        return;
    }
    QCoreApplication::processEvents();
    showMessage(msg::setDefaultPrinter());
    dialog_->showPrinter(this, pr);
}

bool MainWindow::printPage(QString* problem)
{
    const auto fail = [problem](const QString& why) {
        if (problem)
            *problem = why;
        return false;
    };
    QPrinter& pr = printer();
    pr.setFullPage(true);
    const QSizeF sheet = PageSurface::sheetTwips(pr.pageLayout());
    const double dpi = pr.resolution();
    const QString path = board_.mainPath();
    const QString size = sizeChoice_->currentText();
    const PageFoot foot {logo(), productCodeEdit_->text()};

    // A drawing that cannot be completed starts no print job at all: try it on a page that
    // draws nothing first (the colour generator is only taken on the real page).
    const HoleCounts counts = holeCounts();
    DrawingOptions options = drawingOptions();
    ProbeSurface probe(sheet, dpi);
    BasicRandom trial = random_;
    const DrawResult tried =
        kivotrek::printDrawing(board_, table_, extent_, size, foot, probe, trial, options);
    if (tried.ending != DrawResult::Ending::Complete)
        return fail(drawingProblem(tried, path));

    pr.setDocName(QStringLiteral("Kivotrek - ") + QFileInfo(path).fileName());
    const QString printerName =
        pr.outputFormat() == QPrinter::PdfFormat ? pr.outputFileName() : pr.printerName();
    PageSurface page(pr, sheet, dpi);
    if (!page.isActive())
        return fail(msg::cannotStartPrinting(printerName));
    // A large board shows its progress and may be cancelled: then no page is sent.
    DrawingProgress progress(this, holeTotals(counts, table_).all);
    options.progress = progress.callback();
    const DrawResult r = kivotrek::printDrawing(board_, table_, extent_, size, foot, page, random_, options);
    if (r.ending != DrawResult::Ending::Complete) {
        pr.abort(); // cancelled, or the file changed under us: do not send a partial page
        page.end();
        // A PDF printer has written part of the page into its file (emptied when the page
        // began): no half document is left.
        if (pr.outputFormat() == QPrinter::PdfFormat && !pr.outputFileName().isEmpty())
            QFile::remove(pr.outputFileName());
        return fail(drawingProblem(r, path));
    }
    return page.end() || fail(msg::cannotStartPrinting(printerName));
}

} // namespace kivotrek
