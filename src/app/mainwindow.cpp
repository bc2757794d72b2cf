#include "app/mainwindow.h"

#include "app/aboutbox.h"
#include "app/boardviewwidget.h"
#include "app/checkwindow.h"
#include "app/colorswatch.h"
#include "app/helpviewer.h"
#include "app/holetableview.h"
#include "app/messagespanel.h"
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
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
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

    // The table's client area at its designed size, over the messages; the splitter between
    // them gives the messages more room, the table then scrolls.
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("mainSplitter"));
    splitter->setChildrenCollapsible(false);
    auto* client = new QWidget;
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);
    QPalette pal = client->palette();
    pal.setColor(QPalette::Window, QColor(192, 255, 192));
    client->setPalette(pal);
    splitter->setPalette(pal);
    splitter->setAutoFillBackground(true);
    layout_ = std::make_unique<TableLayout>(
        tw_, HoleTable::signChoices(), HoleTable::valueChoices(0), HoleTable::kindChoices());
    client->setFixedSize(layout_->client());
    auto* tableArea = new QScrollArea;
    tableArea->setObjectName(QStringLiteral("tableArea"));
    tableArea->setFrameShape(QFrame::NoFrame);
    tableArea->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    tableArea->setWidget(client);
    tableArea->viewport()->setAutoFillBackground(false); // the client's colour round it
    splitter->addWidget(tableArea);
    messages_ = new MessagesPanel;
    messages_->setFocusPolicy(Qt::ClickFocus); // Tab runs through the table's fields alone
    splitter->addWidget(messages_);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);

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

    // The status bar: how the latest read ended and what the messages hold, with a sign while
    // there are warnings or errors; the messages' 消去 at its right.
    readStatusIcon_ = new QLabel;
    readStatusIcon_->setObjectName(QStringLiteral("readStatusIcon"));
    readStatus_ = new QLabel;
    readStatus_->setObjectName(QStringLiteral("readStatus"));
    readStatus_->setTextFormat(Qt::PlainText);
    auto* clear = new QToolButton;
    clear->setObjectName(QStringLiteral("clearMessagesButton"));
    clear->setDefaultAction(messages_->clearAction);
    clear->setAutoRaise(true);
    clear->setFocusPolicy(Qt::NoFocus);
    statusBar()->addWidget(readStatusIcon_);
    statusBar()->addWidget(readStatus_, 1);
    statusBar()->addPermanentWidget(clear);
    statusBar()->setSizeGripEnabled(true);
    connect(messages_, &MessagesPanel::changed, this, &MainWindow::showReadStatus);
    showReadStatus();

    // The table at its designed size, never cut at the side; the messages four lines high at
    // first, at least two; the window as tall as the screen allows for both.
    const int rowHeight = messages_->fontMetrics().height() + 6;
    const int panel = messages_->header()->sizeHint().height() + 4 * rowHeight + 2 * messages_->frameWidth();
    tableArea->setMinimumHeight(std::min(client->height(), 5 * rowHeight));
    messages_->setMinimumHeight(messages_->header()->sizeHint().height() + 2 * rowHeight);
    // Room for the table's scroll bar where the screen has it, so that a table scrolled up and
    // down is never cut at its side.
    int windowWidth = client->width() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int chrome = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    int windowHeight = chrome + client->height() + splitter->handleWidth() + panel;
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        windowWidth = std::min(windowWidth, std::max(client->width(), s->availableGeometry().width()));
        windowHeight = std::min(windowHeight, s->availableGeometry().height());
    }
    setMinimumWidth(windowWidth);
    resize(windowWidth, windowHeight);
    layout()->activate(); // the table and the messages in their places before the window is shown
    splitter->setSizes({client->height(), panel});
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
    v->addSeparator();
    messages_->clearAction->setText(msg::withAccessKey(msg::clearMessagesCommand(), 'M'));
    v->addAction(messages_->clearAction);
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

void MainWindow::report(const Diagnostic& said, QWidget* parent)
{
    messages_->add(said);
    if (said.severity == Severity::Error)
        prompts_->message(parent ? parent : this, said.text, msg::title());
}

void MainWindow::report(const std::vector<Diagnostic>& said, QWidget* parent)
{
    for (const Diagnostic& d : said)
        report(d, parent);
}

void MainWindow::startMessages(const QString& readStatus)
{
    readStatusText_ = readStatus;
    messages_->clearMessages(); // the status follows
}

void MainWindow::showReadStatus()
{
    const int errors = messages_->count(Severity::Error);
    const int warnings = messages_->count(Severity::Warning);
    const QString counts = msg::messagesCount(errors, warnings, messages_->count(Severity::Information));
    QString text = readStatusText_;
    if (!counts.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("　")) + counts;
    readStatus_->setText(text);
    // A sign the eye finds while there is something to look at.
    const int size = readStatus_->fontMetrics().height();
    if (errors > 0 || warnings > 0) {
        const QStyle::StandardPixmap sign =
            errors > 0 ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxWarning;
        readStatusIcon_->setPixmap(style()->standardIcon(sign).pixmap(size, size));
        readStatusIcon_->show();
    } else {
        readStatusIcon_->clear();
        readStatusIcon_->hide();
    }
}

bool MainWindow::checkTable()
{
    // Each row that keeps the table from being drawn: an error, listed and in its box.
    return table_.check([this](const Diagnostic& d) { report(d); });
}

BoardNow MainWindow::boardNow()
{
    BoardNow now {board_, table_, extent_};
    now.counts = holeCounts();
    now.holes = holeTotals(now.counts, table_).all;
    now.options = drawingOptions();
    now.otherInputs = otherInputs();
    now.sizeText = sizeChoice_->currentText();
    now.foot = PageFoot {logo(), productCodeEdit_->text()};
    return now;
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
        checks_->followBoardOf(this);
        // チェック: a file changed on disk is read again first, and the windows, this one too,
        // follow that change; else the board is checked as it is.
        connect(checks_, &CheckWindow::recheckRequested, this, [this]() {
            if (!readChangedFiles())
                checks_->check(board_, table_, extent_);
        });
        connect(checks_, &CheckWindow::findingChosen, this, &MainWindow::showFinding);
    }
    // A file changed on disk is read again first: the open windows follow it, this one too when
    // it is open.
    if (!readChangedFiles() || !checks_->isVisible())
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
        openPreview(true);
    }
    preview_->raise();
    preview_->boardView()->showFinding(places, text);
}

void MainWindow::changeBoard()
{
    followTimer_->stop(); // the board as it is now is drawn: nothing is left pending
    checksBehind_ = false;
    readChangedFiles(false);
    emit boardChanged(BoardChange::Board);
}

void MainWindow::tableEdited()
{
    checksBehind_ = true;
    followTimer_->start(); // again: a burst of edits is drawn once, after its last
}

void MainWindow::followChanges()
{
    followTimer_->stop();
    if (board_.isEmpty())
        return;
    // A file changed on disk meanwhile is read again: that is a change of the board, which the
    // windows follow whole.
    if (readChangedFiles()) {
        checksBehind_ = false;
        return;
    }
    const bool tableChanged = checksBehind_;
    checksBehind_ = false;
    emit boardChanged(tableChanged ? BoardChange::Table : BoardChange::Options);
}

void MainWindow::showPreview()
{
    // A file changed on disk is read again first; an open preview then follows that change of
    // the board (drawn as it is now, raised) and is not drawn a second time.
    const bool followed = readChangedFiles() && preview_ && preview_->isVisible();
    if (!checkTable()) {
        // Each row without a diameter has been named; an open preview says it too, in place of
        // its picture of the table before.
        if (preview_ && preview_->isVisible() && !followed)
            preview_->draw(boardNow(), false);
        return;
    }
    if (!followed)
        openPreview(true);
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
    if (!board_.isEmpty())
        emit boardChanged(BoardChange::Options);
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

void MainWindow::openPreview(bool toFront)
{
    if (!preview_) {
        preview_ = new PreviewWindow(*dialog_, *prompts_);
        preview_->setAttribute(Qt::WA_DeleteOnClose);
        preview_->setWindowIcon(windowIcon());
        // A save right after an edit saves the edit: what waits for the pause is drawn first.
        preview_->setCatchUp([this]() {
            if (followTimer_->isActive())
                followChanges();
        });
        moveBeside(preview_, this);
        preview_->followBoardOf(this);
        // A drawing that stops early keeps what it drew, and the user is told why it stopped.
        connect(preview_, &PreviewWindow::drawingStopped, this, [this](const DrawingProblem& p) {
            report(Diagnostic {Severity::Error, p.file, p.line, p.text}, preview_);
        });
    }
    preview_->draw(boardNow(), toFront);
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
