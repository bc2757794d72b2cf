#include "app/previewwindow.h"

#include "app/boardviewwidget.h"
#include "app/commondialog.h"
#include "app/drawingprogress.h"
#include "app/layerlist.h"
#include "app/mainwindow.h"
#include "app/prompts.h"
#include "app/twips.h"
#include "common/fileio.h"
#include "common/messages.h"
#include "drawing/bitmapexport.h"
#include "drawing/pageexport.h"
#include "drawing/pagesurface.h"
#include "drawing/previewlayout.h"

#include <QDir>
#include <QDockWidget>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>

namespace kivotrek {

PreviewWindow::PreviewWindow(CommonDialog& dialog, Prompts& prompts)
    : QMainWindow(nullptr),
      surface_(std::make_unique<PictureSurface>(kPreviewWidthTwips, kPreviewHeightTwips,
          QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->logicalDotsPerInchX() : 96.0)),
      dialog_(dialog), prompts_(prompts)
{
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(msg::previewCaption());
    const Twips tw(surface_->toPixels(1440));

    // The picture takes the system's window colours.
    const QPalette pal = palette();
    const QColor back = pal.color(QPalette::Base);
    const QColor fore = pal.color(QPalette::Text);
    surface_->setBackColor({uint8_t(back.red()), uint8_t(back.green()), uint8_t(back.blue())});
    surface_->setForeColor({uint8_t(fore.red()), uint8_t(fore.green()), uint8_t(fore.blue())});
    surface_->clear();

    view_ = new BoardViewWidget(this);
    setCentralWidget(view_);
    // The package's layers, beside the view; only for a board that has some.
    layerList_ = new LayerList(this);
    layerDock_ = new QDockWidget(msg::layerListTitle(), this);
    layerDock_->setObjectName(QStringLiteral("layerDock"));
    layerDock_->setWidget(layerList_);
    layerList_->setMinimumWidth(340); // the role and the whole name of a KiCad layer file
    layerDock_->setFeatures(QDockWidget::DockWidgetMovable);
    addDockWidget(Qt::LeftDockWidgetArea, layerDock_);
    layerDock_->hide();
    connect(
        layerList_, &LayerList::stylesChanged, this, [this] { view_->setLayerStyles(layerList_->styles()); });
    // The status bar is there from the start: made on the first hover, it would shrink the
    // view under the cursor and move the board.
    QStatusBar* status = statusBar();
    connect(view_, &BoardViewWidget::statusChanged, status,
        [status](const QString& text) { status->showMessage(text); });

    // Each command with its access key, as the main window's.
    const auto command = [this](const QString& caption, char key, const char* name, auto slot) {
        QAction* a = menuBar()->addAction(msg::withAccessKey(caption, key));
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    closeAction = command(msg::closeCommand(), 'C', "closeAction", &QWidget::close);
    exportAction = command(msg::bitmapExportCommand(), 'B', "exportAction", &PreviewWindow::exportBitmap);
    savePdfAction = command(msg::savePdfCommand(), 'P', "savePdfAction", &PreviewWindow::savePdf);
    saveSvgAction = command(msg::saveSvgCommand(), 'S', "saveSvgAction", &PreviewWindow::saveSvg);
    savePngAction = command(msg::savePngCommand(), 'N', "savePngAction", &PreviewWindow::savePng);
    saveViewAction = command(msg::saveViewCommand(), 'V', "saveViewAction", &PreviewWindow::saveView);
    measureAction = menuBar()->addAction(msg::withAccessKey(msg::measureCommand(), 'M'));
    measureAction->setObjectName(QStringLiteral("measureAction"));
    measureAction->setCheckable(true);
    connect(measureAction, &QAction::toggled, view_, &BoardViewWidget::setMeasuring);

    // Where the table cannot be drawn, its problems cover the view: never a picture of a table
    // that is no more.
    problemLabel_ = new QLabel(view_);
    problemLabel_->setObjectName(QStringLiteral("tableProblem"));
    problemLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    problemLabel_->setWordWrap(true);
    problemLabel_->setMargin(16);
    problemLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problemLabel_->setAutoFillBackground(true);
    problemLabel_->setPalette(pal);
    problemLabel_->setBackgroundRole(QPalette::Base);
    problemLabel_->hide();
    view_->installEventFilter(this);

    // The window's size as the user left it; at first the size of the old fixed window, larger.
    const QByteArray geometry =
        MainWindow::viewSettings().value(QStringLiteral("preview/geometry")).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        resize(tw.size(7140, 6585) + QSize(240, 160));
}

void PreviewWindow::closeEvent(QCloseEvent* event)
{
    QSettings settings = MainWindow::viewSettings();
    settings.setValue(QStringLiteral("preview/geometry"), saveGeometry());
    QMainWindow::closeEvent(event);
}

void PreviewWindow::showBoard(
    const Board& board, const HoleTable& table, const BoardExtent& extent, const DrawingOptions& options)
{
    // The files and the D-codes decide which row a hole is in: held again when they change.
    QString signature = board.paths().join(QLatin1Char('\n'))
        + QStringLiteral("|%1|%2|%3").arg(extent.maxX).arg(extent.maxY).arg(double(extent.unitScale));
    for (int i = 0; i < HoleTable::kRows; ++i)
        signature += QLatin1Char('|') + table.row(i).dcode;
    // The view reads the drill files' holes where the board holds them: a file read again is
    // held again.
    for (const DrillData& d : board.data.drills)
        signature += QStringLiteral("|%1:%2").arg(quintptr(d.holes.data())).arg(d.holes.size());
    viewTable_ = table;
    view_->setOptions(options);
    if (signature != heldSignature_) {
        const bool newBoard = held_.isEmpty()
            || heldSignature_.section(QLatin1Char('|'), 0, 0) != signature.section(QLatin1Char('|'), 0, 0);
        held_ = holdBoard(board, table, extent);
        grid_ = HoleGrid(held_);
        heldSignature_ = signature;
        view_->setBoard(&held_, &grid_, &viewTable_, newBoard);
        layerList_->setLayers(held_.layers, view_->renderer().layerStyles());
        view_->setLayerStyles(layerList_->styles());
        layerDock_->setVisible(!layerList_->isEmpty());
    } else {
        view_->tableChanged();
    }
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::followBoardOf(MainWindow* main)
{
    main_ = main;
    connect(main, &MainWindow::boardChanged, this, &PreviewWindow::follow);
}

void PreviewWindow::follow(BoardChange change)
{
    if (!main_ || !isVisible())
        return;
    // Never the board before: the board as it is, what keeps it from being drawn, or no window.
    if (main_->board().isEmpty()) {
        close();
        return;
    }
    draw(main_->boardNow(), change == BoardChange::Board);
    // After an edit: on screen before whatever else follows the change takes its while (the
    // checks).
    if (change != BoardChange::Board)
        view_->repaint();
}

void PreviewWindow::draw(const BoardNow& now, bool toFront)
{
    if (toFront || !isVisible()) {
        show();
        raise();
    }
    setDrawnFiles(now.board.paths(), now.otherInputs);
    // A table that cannot be drawn is said in the window, never drawn as it was before.
    QStringList incomplete;
    now.table.check([&incomplete](const QString& text) { incomplete << text; });
    showTableProblem(incomplete);
    if (!incomplete.isEmpty())
        return;
    // The picture's source, for the window's saves that draw it again.
    DrawnSource source;
    source.board = &now.board;
    source.table = now.table;
    source.extent = now.extent;
    source.counts = now.counts;
    source.withCounts = now.options.counts.has_value();
    source.marks = now.options.marks;
    source.holes = now.holes;
    setSource(source);
    setPage(now.sizeText, now.foot);
    const DrawResult drawn = drawPreview(now.board, now.table, now.extent, surface(), now.options);
    showBoard(now.board, now.table, now.extent, now.options);
    const DrawingProblem problem = describeDrawing(drawn, now.board.mainPath());
    const bool tell = !problem.text.isEmpty() && (toFront || problem.text != toldProblem_);
    toldProblem_ = problem.text;
    if (tell)
        emit drawingStopped(problem);
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_ && event->type() == QEvent::Resize)
        problemLabel_->setGeometry(view_->rect());
    return QMainWindow::eventFilter(watched, event);
}

void PreviewWindow::showTableProblem(const QStringList& texts)
{
    tableProblem_ = texts;
    const bool drawn = texts.isEmpty();
    for (QAction* save : {exportAction, savePdfAction, saveSvgAction, savePngAction, saveViewAction})
        save->setEnabled(drawn);
    if (drawn) {
        problemLabel_->hide();
        return;
    }
    problemLabel_->setText(msg::previewTableIncomplete() + QLatin1Char('\n') + texts.join(QLatin1Char('\n')));
    problemLabel_->setGeometry(view_->rect());
    problemLabel_->show();
    problemLabel_->raise();
    statusBar()->clearMessage(); // it told of the board that is not shown
}

bool PreviewWindow::readyToSave()
{
    if (catchUp_)
        catchUp_();
    if (tableProblem_.isEmpty())
        return true;
    prompts_.message(this, problemLabel_->text(), msg::title());
    return false;
}

void PreviewWindow::savePictureAs(const QString& filter, const QString& suffix, const char* format)
{
    if (!readyToSave())
        return;
    // The drawn file's own name would replace the drill data with a picture at one Enter.
    const QString path = askSavePath(dialog_, prompts_, this, filter, suffix, drawnFiles_, readFiles_);
    if (path.isEmpty())
        return;
    if (const WriteResult w = savePicture(surface_->image(), path, format); !w)
        prompts_.message(this, msg::cannotSave(path, w.reason), msg::title());
}

void PreviewWindow::exportBitmap()
{
    savePictureAs(msg::bitmapFilter(), QStringLiteral("bmp"), "BMP");
}

void PreviewWindow::savePng()
{
    savePictureAs(msg::pngFilter(), QStringLiteral("png"), "PNG");
}

void PreviewWindow::saveView()
{
    if (!readyToSave())
        return;
    const QString path = askSavePath(
        dialog_, prompts_, this, msg::pngFilter(), QStringLiteral("png"), drawnFiles_, readFiles_);
    if (path.isEmpty())
        return;
    if (const WriteResult w = savePicture(view_->picture(), path, "PNG"); !w)
        prompts_.message(this, msg::cannotSave(path, w.reason), msg::title());
}

void PreviewWindow::setPage(const QString& sizeText, const PageFoot& foot)
{
    if (source_) {
        source_->sizeText = sizeText;
        source_->foot = foot;
    }
}

template <typename Write> void PreviewWindow::saveDrawing(const QString& path, Write write)
{
    if (path.isEmpty() || !source_)
        return;
    DrawingOptions o;
    if (source_->withCounts)
        o.counts = source_->counts;
    o.marks = source_->marks;
    DrawingProgress progress(this, source_->holes);
    o.progress = progress.callback();
    const PageWrite w = write(o);
    if (w.drawn.ending == DrawResult::Ending::Cancelled)
        return; // the user knows; no file was left
    // A drawing that stopped early is saved as far as it came, as the picture shows it.
    const QString problem = drawingProblem(w.drawn, source_->board->mainPath());
    if (!w.written)
        prompts_.message(this, msg::cannotSave(path, w.written.reason), msg::title());
    else if (!problem.isEmpty())
        prompts_.message(this, problem, msg::title());
}

void PreviewWindow::savePdf()
{
    if (!readyToSave())
        return;
    if (source_ && !sizeTextHasScale(source_->sizeText)) {
        prompts_.message(this, msg::sizeNotANumber(source_->sizeText), msg::title());
        return; // the page would hold the legend without the board
    }
    if (source_) {
        const QString overflow = pageOverflow(source_->table, source_->extent, source_->sizeText,
            PageSurface::sheetTwips(filePageLayout(source_->sizeText)));
        if (!overflow.isEmpty()
            && !prompts_.yesNo(this, overflow + QLatin1Char('\n') + msg::saveAnyway(), msg::title()))
            return;
    }
    const QString path = askSavePath(
        dialog_, prompts_, this, msg::pdfFilter(), QStringLiteral("pdf"), drawnFiles_, readFiles_);
    saveDrawing(path, [&](const DrawingOptions& o) {
        const DrawnSource& d = *source_;
        return writePage(
            path, QStringLiteral("pdf"), 600, *d.board, d.table, d.extent, d.sizeText, d.foot, o);
    });
}

void PreviewWindow::saveSvg()
{
    if (!readyToSave())
        return;
    const QString path = askSavePath(
        dialog_, prompts_, this, msg::svgFilter(), QStringLiteral("svg"), drawnFiles_, readFiles_);
    saveDrawing(path, [&](const DrawingOptions& o) {
        const DrawnSource& d = *source_;
        return writePreviewSvg(path, *d.board, d.table, d.extent, o);
    });
}

} // namespace kivotrek
