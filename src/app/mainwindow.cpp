#include "app/mainwindow.h"

#include "app/aboutbox.h"
#include "app/boardviewwidget.h"
#include "app/checkwindow.h"
#include "app/colorswatch.h"
#include "app/helpviewer.h"
#include "app/holetableview.h"
#include "app/previewwindow.h"
#include "app/tablelayout.h"
#include "app/windowplacement.h"
#include "common/messages.h"
#include "drawing/previewlayout.h"
#include "settings/settingsfile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrinter>
#include <QScreen>
#include <QTimer>
#include <algorithm>

namespace kivotrek {

namespace {
// Client area and places, in twips.
constexpr int kTopStrip = 120;

double screenDpi()
{
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}

QLabel* label(QWidget* parent, const QString& text, const QRect& geometry)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(geometry);
    return l;
}
} // namespace

MainWindow::MainWindow(MainWindowSetup setup, QWidget* parent)
    : QMainWindow(parent), tw_(screenDpi()), dialog_(std::move(setup.dialog)),
      prompts_(std::move(setup.prompts))
{
    if (!dialog_)
        dialog_ = std::make_unique<QtCommonDialog>();
    if (!prompts_)
        prompts_ = std::make_unique<QtPrompts>();
    programFolder_ =
        setup.programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : setup.programFolder;

    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(msg::mainCaption());

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);
    QPalette pal = client->palette();
    pal.setColor(QPalette::Window, QColor(192, 255, 192));
    client->setPalette(pal);
    layout_ = std::make_unique<TableLayout>(
        tw_, HoleTable::signChoices(), HoleTable::valueChoices(0), HoleTable::kindChoices());
    client->setFixedSize(layout_->client());
    setCentralWidget(client);

    buildTopStrip(client);
    tableView_ = new HoleTableView(client, *layout_, table_, counted_, sizeChoice_, [this](int i) {
        const int f = board_.fileOfRow(i);
        return f >= 0 ? QFileInfo(board_.files[size_t(f)].path).fileName() : QString();
    });
    tableView_->setParent(this);
    connect(tableView_, &HoleTableView::edited, this, &MainWindow::noteChange);
    followTimer_ = new QTimer(this);
    followTimer_->setObjectName(QStringLiteral("followTimer"));
    followTimer_->setSingleShot(true);
    followTimer_->setTimerType(Qt::PreciseTimer); // a coarse one may wait 5 % longer
    followTimer_->setInterval(kFollowDelayMs);
    connect(followTimer_, &QTimer::timeout, this, &MainWindow::followChanges);
    connect(tableView_, &HoleTableView::edited, this, &MainWindow::tableEdited);
    connect(tableView_, &HoleTableView::kindEdited, this, &MainWindow::showTotals);
    connect(tableView_, &HoleTableView::colorRequested, this, &MainWindow::chooseColor);
    connect(tableView_, &HoleTableView::dcodeClicked, this, [this](int row) {
        if (preview_)
            preview_->boardView()->highlightRow(row);
    });
    totalsLabel_ = new QLabel(client);
    totalsLabel_->setObjectName(QStringLiteral("totalsLabel"));
    totalsLabel_->setGeometry(layout_->totals());
    buildMenu();
    productCodeEdit_->setFocus();

    // Fixed single border: the client area plus the menu bar, not resizable.
    setFixedSize(client->width(), client->height() + menuBar()->sizeHint().height());
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect area = s->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }

    helpFile_ = QDir(programFolder_).filePath(QStringLiteral("kivotrek-help.html"));
    setAcceptDrops(true); // files and packages dropped onto the window open as a board
}

MainWindow::~MainWindow()
{
    // Top-level windows of their own; they must not outlive the dialog and prompts they use.
    delete about_;
    delete preview_;
    delete checks_;
    // The table's view first: its boxes write the table when their text changes and it follows
    // the focus, which moves while the widgets are torn down. Then the widgets, while the table
    // is still there.
    delete tableView_;
    tableView_ = nullptr; // the focus still moves while the widgets go (focusNextPrevChild)
    delete takeCentralWidget();
}

void MainWindow::buildTopStrip(QWidget* client)
{
    // Where the table made the window wider than designed, the path and the product code get
    // the room, half each; the size choice keeps its width at the right.
    const int extra = std::max(0, layout_->client().width() - tw_.px(11310));
    const int toPath = extra / 2;
    const int top = tw_.px(kTopStrip);
    const int h = layout_->boxHeight();
    const auto place = [&](QWidget* w, int leftTwips, int widthTwips, int shift, int grow) {
        w->setGeometry(tw_.px(leftTwips) + shift, top, tw_.px(widthTwips) + grow, h);
    };

    pathEdit_ = new QLineEdit(client);
    pathEdit_->setObjectName(QStringLiteral("pathEdit"));
    pathEdit_->setReadOnly(true);
    pathEdit_->setFocusPolicy(Qt::NoFocus);
    place(pathEdit_, 240, 4215, 0, toPath);

    QLabel* code = label(client, msg::productCodeLabel(), QRect());
    code->setObjectName(QStringLiteral("productCodeLabel"));
    place(code, 4560, 975, toPath, 0);
    productCodeEdit_ = new QLineEdit(client);
    productCodeEdit_->setObjectName(QStringLiteral("productCodeEdit"));
    place(productCodeEdit_, 5640, 1575, toPath, extra - toPath);

    QLabel* size = label(client, msg::sizeLabel(), QRect());
    size->setObjectName(QStringLiteral("sizeLabel"));
    place(size, 7800, 615, extra, 0);
    sizeChoice_ = new QComboBox(client);
    sizeChoice_->setObjectName(QStringLiteral("sizeChoice"));
    sizeChoice_->setEditable(true);
    sizeChoice_->setInsertPolicy(QComboBox::NoInsert);
    sizeChoice_->addItems(sizeChoices());
    sizeChoice_->setEditText(sizeChoices().first());
    place(sizeChoice_, 8400, 1335, extra, 0);
    connect(sizeChoice_, &QComboBox::currentTextChanged, this, &MainWindow::showPageInPreview);
    connect(productCodeEdit_, &QLineEdit::textChanged, this, &MainWindow::showPageInPreview);
    connect(productCodeEdit_, &QLineEdit::textChanged, this, &MainWindow::noteChange);

    QLabel* percent = label(client, msg::percentLabel(), QRect());
    percent->setObjectName(QStringLiteral("percentLabel"));
    percent->setAlignment(Qt::AlignCenter);
    place(percent, 9720, 495, extra, 0);
    for (QLabel* l : {code, size})
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void MainWindow::buildMenu()
{
    QMenuBar* bar = menuBar();
    // Every entry with its access key, as Japanese programs show it ("プレビュー(P)"), and the
    // keys of a Japanese desktop program's commands.
    auto add = [this](auto* where, const char* name, const QString& caption, char key,
                   void (MainWindow::*slot)()) {
        QAction* a = where->addAction(msg::withAccessKey(caption, key));
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* f = bar->addMenu(msg::withAccessKey(msg::fileMenu(), 'F'));
    f->setObjectName(QStringLiteral("fileMenu"));
    add(f, "newBoard", msg::newBoardCommand(), 'N', &MainWindow::newBoard)->setShortcut(QKeySequence::New);
    add(f, "openPackage", msg::openPackageCommand(), 'O', &MainWindow::openPackage)
        ->setShortcut(QKeySequence::Open);
    recentMenu_ = f->addMenu(msg::withAccessKey(msg::recentFilesMenu(), 'R'));
    recentMenu_->setObjectName(QStringLiteral("recentMenu"));
    showRecentBoards();
    f->addSeparator();
    for (const ReaderDescriptor& d : readerDescriptors()) {
        QAction* a = f->addAction(msg::withAccessKey(d.command(), d.accessKey));
        a->setObjectName(QLatin1String(d.commandName));
        const ReaderKind reader = d.kind;
        connect(a, &QAction::triggered, this, [this, reader] { readCommand(reader); });
    }
    add(f, "addDrillFile", msg::addDrillFileCommand(), 'A', &MainWindow::addDrillFile);
    add(f, "readOutline", msg::readOutlineCommand(), 'L', &MainWindow::readOutline);
    add(f, "removeFile", msg::removeFileCommand(), 'D', &MainWindow::removeFile);
    readSettingsAction_ = add(f, "readSettings", msg::readSettingsCommand(), 'I', &MainWindow::readSettings);
    readSettingsAction_->setEnabled(false);
    add(f, "saveDrillTable", msg::saveDrillTableCommand(), 'C', &MainWindow::saveDrillTable);
    // 表示: the preview first, then the drawing's options, remembered between runs.
    QMenu* v = bar->addMenu(msg::withAccessKey(msg::viewMenu(), 'V'));
    v->setObjectName(QStringLiteral("viewMenu"));
    add(v, "showPreview", msg::previewCaption(), 'P', &MainWindow::showPreview)->setShortcut(Qt::Key_F5);
    add(v, "checkHoles", msg::checkHolesCommand(), 'C', &MainWindow::showChecks)->setShortcut(Qt::Key_F6);
    v->addSeparator();
    const auto option = [this, v](
                            const char* name, const QString& caption, char accessKey, const QString& key) {
        QAction* a = v->addAction(msg::withAccessKey(caption, accessKey));
        a->setObjectName(QLatin1String(name));
        a->setCheckable(true);
        a->setChecked(viewSettings().value(key, false).toBool());
        connect(a, &QAction::toggled, this, [this, key](bool on) { setViewOption(key, on); });
        return a;
    };
    countsInLegendAction_ = option(
        "showCountsInLegend", msg::countsInLegendCommand(), 'N', QStringLiteral("view/countsInLegend"));
    symbolsAction_ = option("drawSymbols", msg::symbolsCommand(), 'S', QStringLiteral("view/symbols"));
    add(bar, "print", msg::printCommand(), 'P', &MainWindow::print)->setShortcut(QKeySequence::Print);
    QMenu* h = bar->addMenu(msg::withAccessKey(msg::helpMenu(), 'H'));
    h->setObjectName(QStringLiteral("helpMenu"));
    add(h, "showAbout", msg::aboutCommand(), 'A', &MainWindow::showAbout);
    add(h, "showHelp", msg::helpCaption(), 'H', &MainWindow::showHelp)
        ->setShortcut(QKeySequence::HelpContents);
    add(bar, "saveSettings", msg::saveSettingsCommand(), 'S', &MainWindow::saveSettings)
        ->setShortcut(QKeySequence::Save);
    add(bar, "close", msg::closeCommand(), 'C', &MainWindow::closeCommand);
}

HoleCounts MainWindow::holeCounts() const
{
    HoleCounts shown = counted_;
    for (int i = 0; i < HoleTable::kRows; ++i) {
        if (table_.row(i).kind == HoleKind::Outline)
            shown[size_t(i)] = RowCount();
    }
    return shown;
}

void MainWindow::recountHoles()
{
    // Counted once per read with no row of the outline kind, so that a kind chosen later only
    // decides what is shown.
    HoleTable plain = table_;
    for (int i = 0; i < HoleTable::kRows; ++i)
        plain.row(i).kind = HoleKind::None;
    countHoles(board_, plain, counted_);
}

void MainWindow::showTotals()
{
    const HoleTotals t = holeTotals(holeCounts(), table_);
    totalsLabel_->setText(board_.isEmpty() ? QString() : msg::holeTotals(t.th, t.nth, t.other, t.all));
}

bool MainWindow::focusNextPrevChild(bool next)
{
    // The product code, the size choice, then the table's fields row by row, over its pages.
    return (tableView_ && tableView_->focusNext({productCodeEdit_, sizeChoice_}, next))
        || QMainWindow::focusNextPrevChild(next);
}

const QImage& MainWindow::logo()
{
    // Only the printed page shows it: read when it is first needed, not at start-up.
    if (!logoLoaded_) {
        logoLoaded_ = true;
        const QString path = logoPath();
        if (QFileInfo::exists(path))
            logo_.load(path); // an unreadable image leaves no logo, silently
    }
    return logo_;
}

QString MainWindow::logoPath() const
{
    return QDir(programFolder_).filePath(QStringLiteral("image.bmp"));
}

QStringList MainWindow::otherInputs() const
{
    QStringList inputs {logoPath()};
    if (!board_.isEmpty())
        inputs << settingsPath(board_.settingsAnchor());
    return inputs;
}

void MainWindow::refreshTable()
{
    recountHoles();
    showTotals();
    tableView_->refreshAll();
}

void MainWindow::showMessage(const QString& text)
{
    prompts_->message(this, text, msg::title());
}

bool MainWindow::checkTable()
{
    return table_.check([this](const QString& text) { showMessage(text); });
}

void MainWindow::showChecks()
{
    if (board_.isEmpty()) {
        showMessage(msg::noFileRead());
        return;
    }
    if (!checks_) {
        checks_ = new CheckWindow(*dialog_, *prompts_);
        checks_->setAttribute(Qt::WA_DeleteOnClose);
        checks_->setWindowIcon(windowIcon());
        moveBeside(checks_, this);
        connect(checks_, &CheckWindow::recheckRequested, this, [this]() {
            readChangedFiles();
            checks_->check(board_, table_, extent_);
        });
        connect(checks_, &CheckWindow::findingChosen, this, &MainWindow::showFinding);
    }
    readChangedFiles();
    checks_->check(board_, table_, extent_);
    checks_->show();
    checks_->raise();
    checks_->activateWindow();
}

CheckWindow* MainWindow::checkWindow() const
{
    return checks_;
}

void MainWindow::showFinding(const std::vector<std::pair<QPointF, double>>& places, const QString& text)
{
    if (!preview_ || !preview_->isVisible()) {
        if (!checkTable())
            return; // each row without a diameter has been named
        drawIntoPreview(true);
    }
    preview_->raise();
    preview_->boardView()->showFinding(places, text);
}

void MainWindow::refreshPreview()
{
    followTimer_->stop(); // the board as it is now is drawn: nothing is left pending
    checksBehind_ = false;
    readChangedFiles();
    // Open checks follow the board at once: never a list of the board before.
    if (checks_ && checks_->isVisible()) {
        if (board_.isEmpty())
            checks_->close();
        else
            checks_->check(board_, table_, extent_);
    }
    if (!preview_ || !preview_->isVisible())
        return;
    // Never the board before: the board as it is, what keeps it from being drawn, or no window.
    if (board_.isEmpty()) {
        preview_->close();
        return;
    }
    drawIntoPreview(true);
}

void MainWindow::tableEdited()
{
    checksBehind_ = true;
    if (checks_ && checks_->isVisible() && !checksFollow())
        checks_->markStale(); // checked again by チェック, not at every keystroke
    followTimer_->start(); // again: a burst of edits is drawn once, after its last
}

bool MainWindow::checksFollow() const
{
    return holeTotals(holeCounts(), table_).all <= kFollowedCheckHoles;
}

void MainWindow::followChanges()
{
    followTimer_->stop();
    if (board_.isEmpty())
        return;
    const bool previewShown = preview_ && preview_->isVisible();
    if (previewShown)
        drawIntoPreview(false); // the user is typing in this window: it keeps the focus
    if (!checksBehind_)
        return;
    checksBehind_ = false;
    if (checks_ && checks_->isVisible() && checksFollow()) {
        if (previewShown)
            preview_->boardView()->repaint(); // on screen before the checks take their while
        checks_->check(board_, table_, extent_);
    }
}

void MainWindow::showPreview()
{
    if (!checkTable()) {
        // Each row without a diameter has been named; an open preview says it too, in place of
        // its picture of the table before.
        if (preview_ && preview_->isVisible())
            drawIntoPreview(false);
        return;
    }
    drawIntoPreview(true);
}

PreviewWindow* MainWindow::previewWindow() const
{
    return preview_;
}

QSettings MainWindow::viewSettings()
{
    // Kept apart from KIVOTREK.INI, whose format stays as it is: ~/.config/Kivotrek/Kivotrek.conf.
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kivotrek"),
        QStringLiteral("Kivotrek"));
}

void MainWindow::setViewOption(const QString& key, bool on)
{
    QSettings settings = viewSettings();
    settings.setValue(key, on);
    settings.sync();
    // An open preview shows the option at once (or what keeps it from drawing the table).
    if (preview_ && preview_->isVisible() && !board_.isEmpty())
        drawIntoPreview(false);
}

DrawingOptions MainWindow::drawingOptions() const
{
    DrawingOptions o;
    if (countsInLegendAction_ && countsInLegendAction_->isChecked())
        o.counts = holeCounts();
    if (symbolsAction_ && symbolsAction_->isChecked())
        o.marks = true;
    return o;
}

void MainWindow::showPageInPreview()
{
    if (preview_)
        preview_->setPage(sizeChoice_->currentText(), PageFoot {logo(), productCodeEdit_->text()});
}

void MainWindow::drawIntoPreview(bool toFront)
{
    const bool created = !preview_;
    if (created) {
        preview_ = new PreviewWindow(*dialog_, *prompts_);
        preview_->setAttribute(Qt::WA_DeleteOnClose);
        preview_->setWindowIcon(windowIcon());
        // A save right after an edit saves the edit: what waits for the pause is drawn first.
        preview_->setCatchUp([this]() {
            if (followTimer_->isActive())
                followChanges();
        });
        moveBeside(preview_, this);
        toldDrawingProblem_.clear();
    }
    if (toFront || created) {
        preview_->show();
        preview_->raise();
    }
    readChangedFiles();
    const QString path = board_.mainPath();
    preview_->setDrawnFiles(board_.paths(), otherInputs());
    // A table that cannot be drawn is said in the window, never drawn as it was before.
    QStringList incomplete;
    table_.check([&incomplete](const QString& text) { incomplete << text; });
    preview_->showTableProblem(incomplete);
    if (!incomplete.isEmpty())
        return;
    // The picture's source, for the window's saves that draw it again.
    DrawnSource source;
    source.board = &board_;
    source.table = table_;
    source.extent = extent_;
    source.counts = holeCounts();
    const DrawingOptions options = drawingOptions();
    source.withCounts = options.counts.has_value();
    source.marks = options.marks;
    source.holes = holeTotals(source.counts, table_).all;
    preview_->setSource(source);
    showPageInPreview();
    // A drawing that stops early keeps what it drew, and the user is told why it stopped: once,
    // not again at every edit of the table.
    const DrawResult drawn = kivotrek::drawPreview(board_, table_, extent_, preview_->surface(), options);
    preview_->showBoard(board_, table_, extent_, options);
    const QString problem = drawingProblem(drawn, path);
    if (!problem.isEmpty() && (toFront || problem != toldDrawingProblem_))
        prompts_->message(preview_, problem, msg::title());
    toldDrawingProblem_ = problem;
}

void MainWindow::showAbout()
{
    if (!about_) {
        about_ = new AboutBox(*prompts_);
        about_->setWindowIcon(windowIcon());
        about_->setAttribute(Qt::WA_DeleteOnClose);
        moveBeside(about_, this);
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void MainWindow::showHelp()
{
    if (!helpViewer_) {
        auto* viewer = new HelpViewer(this);
        QString error;
        if (!viewer->load(helpFile_, &error)) {
            delete viewer;
            showMessage(error);
            return;
        }
        helpViewer_ = viewer;
        moveBeside(viewer, this);
    }
    helpViewer_->showIndex();
}

void MainWindow::closeCommand()
{
    // Unsaved work is asked about when the window closes; without it, 閉じる asks its own question.
    if (isModified() || prompts_->yesNo(this, msg::closeQuestion(), msg::closeCaption()))
        close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!confirmDiscard()) {
        event->ignore();
        return;
    }
    // The program is this window: the others go with it.
    for (QWidget* w : {static_cast<QWidget*>(preview_.data()), static_cast<QWidget*>(about_.data()),
             static_cast<QWidget*>(helpViewer_.data()), static_cast<QWidget*>(checks_.data())}) {
        if (w)
            w->close();
    }
    event->accept();
}

void MainWindow::chooseColor(int i)
{
    dialog_->cancelError = true;
    if (!dialog_->showColor(this))
        return;
    table_.row(i).color = fromQColor(dialog_->color);
    tableView_->refreshRow(i);
    noteChange();
    tableEdited();
}

} // namespace kivotrek
