#include "app/mainwindow.h"

#include "common/fileio.h"
#include "drawing/drilltable.h"

#include "app/aboutbox.h"
#include "app/colorswatch.h"
#include "app/drawingprogress.h"
#include "app/helpviewer.h"
#include "app/previewwindow.h"
#include "app/tabcontrol.h"
#include "app/tablelayout.h"
#include "app/windowplacement.h"
#include "board/drillframe.h"
#include "common/messages.h"
#include "drawing/pagesurface.h"
#include "drawing/previewlayout.h"
#include "gerber/formatsniffer.h"
#include "gerber/rs274xreader.h"
#include "gerber/standardreader.h"
#include "settings/settingsfile.h"
#include "settings/settingsfit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPrinter>
#include <QScreen>
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

QColor menuColor()
{
    return QApplication::palette().color(QPalette::Window);
}

QLabel* label(QWidget* parent, const QString& text, const QRect& geometry)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(geometry);
    return l;
}
} // namespace

QColor toQColor(uint32_t c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

uint32_t fromQColor(const QColor& c)
{
    return fillColor(c.red(), c.green(), c.blue());
}

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
    tableTabs =
        new TabControl({QStringLiteral("1-21"), QStringLiteral("22-42"), QStringLiteral("43-63")}, client);
    tableTabs->setObjectName(QStringLiteral("tableTabs"));
    tableTabs->setGeometry(layout_->tabControl());
    QPalette pagePalette = tableTabs->palette(); // the pages keep the system colours, not the green
    pagePalette.setColor(QPalette::Window, menuColor());
    tableTabs->setPalette(pagePalette);
    // The first page now; the others when they are first shown or reached, which keeps two
    // thirds of the table's widgets out of the start-up.
    connect(tableTabs, &TabControl::aboutToShow, this, [this](int p) { buildPage(p); });
    totalsLabel = new QLabel(client);
    totalsLabel->setObjectName(QStringLiteral("totalsLabel"));
    totalsLabel->setGeometry(layout_->totals());
    buildPage(0);
    buildMenu();
    productCodeEdit->setFocus();

    // Fixed single border: the client area plus the menu bar, not resizable.
    setFixedSize(client->width(), client->height() + menuBar()->sizeHint().height());
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect area = s->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }

    helpFile_ = QDir(programFolder_).filePath(QStringLiteral("kivotrek-help.html"));

    focusFollower_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        const int p = tableTabs->pageOf(now);
        if (p >= 0 && p != tableTabs->currentIndex())
            tableTabs->setCurrentIndex(p);
    });
}

MainWindow::~MainWindow()
{
    // Focus moves while the widgets are torn down; by then this is no MainWindow any more.
    disconnect(focusFollower_);
    // Top-level windows of their own; they must not outlive the dialog and prompts they use.
    delete about_;
    delete preview_;
    // The table's boxes write the table when their text changes, and a box can still change
    // (its completer, its focus) while it is torn down: tear them down while the table is there.
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

    pathEdit = new QLineEdit(client);
    pathEdit->setObjectName(QStringLiteral("pathEdit"));
    pathEdit->setReadOnly(true);
    pathEdit->setFocusPolicy(Qt::NoFocus);
    place(pathEdit, 240, 4215, 0, toPath);

    QLabel* code = label(client, QStringLiteral("製品コード"), QRect());
    code->setObjectName(QStringLiteral("productCodeLabel"));
    place(code, 4560, 975, toPath, 0);
    productCodeEdit = new QLineEdit(client);
    productCodeEdit->setObjectName(QStringLiteral("productCodeEdit"));
    place(productCodeEdit, 5640, 1575, toPath, extra - toPath);

    QLabel* size = label(client, QStringLiteral("サイズ"), QRect());
    size->setObjectName(QStringLiteral("sizeLabel"));
    place(size, 7800, 615, extra, 0);
    sizeChoice = new QComboBox(client);
    sizeChoice->setObjectName(QStringLiteral("sizeChoice"));
    sizeChoice->setEditable(true);
    sizeChoice->setInsertPolicy(QComboBox::NoInsert);
    sizeChoice->addItems(sizeChoices());
    sizeChoice->setEditText(sizeChoices().first());
    place(sizeChoice, 8400, 1335, extra, 0);
    connect(sizeChoice, &QComboBox::currentTextChanged, this, &MainWindow::showPageInPreview);
    connect(productCodeEdit, &QLineEdit::textChanged, this, &MainWindow::showPageInPreview);
    connect(productCodeEdit, &QLineEdit::textChanged, this, &MainWindow::noteChange);

    QLabel* percent = label(client, QStringLiteral("％"), QRect());
    percent->setObjectName(QStringLiteral("percentLabel"));
    percent->setAlignment(Qt::AlignCenter);
    place(percent, 9720, 495, extra, 0);
    for (QLabel* l : {code, size})
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QComboBox* MainWindow::makeCombo(QWidget* page, const QStringList& items, const QRect& geometry)
{
    auto* c = new QComboBox(page);
    c->addItems(items);
    // Editable through a line edit of our own: setEditable() would also make the list's popup
    // and a completer over the list for every box, most of the cost of a box, 315 of them. The
    // popup comes when it first opens; the boxes of one list share one completer, which the box
    // that takes the focus takes over (QComboBox does that itself), as only the focused box
    // completes.
    auto* edit = new QLineEdit(c);
    QCompleter*& completer = completers_[items.join(QLatin1Char('\n'))];
    if (!completer) {
        completer = new QCompleter(items, this);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setCompletionMode(QCompleter::InlineCompletion);
    }
    edit->setCompleter(completer);
    c->setLineEdit(edit);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setEditText(QString());
    c->setGeometry(geometry);
    return c;
}

void MainWindow::buildPage(int p)
{
    if (built_.at(static_cast<size_t>(p)))
        return;
    built_[static_cast<size_t>(p)] = true;
    for (int i = p * HoleTable::kRowsPerPage; i < (p + 1) * HoleTable::kRowsPerPage; ++i) {
        const auto at_ = [this, i](TableLayout::Field f) { return layout_->field(i, f); };
        QWidget* page = tableTabs->page(p);
        const auto at = static_cast<size_t>(i);

        auto* d = new QLineEdit(page);
        d->setObjectName(QStringLiteral("dcodeEdit_%1").arg(i));
        d->setGeometry(at_(TableLayout::DCode));
        d->setReadOnly(true); // filled by the readers and the settings file
        d->setFocusPolicy(Qt::ClickFocus);
        QPalette dp = d->palette();
        dp.setColor(QPalette::Base, menuColor());
        dp.setColor(QPalette::Text, QColor(0, 0, 192));
        d->setPalette(dp);
        d->installEventFilter(this);
        dcode_[at] = d;

        auto* a = new QLineEdit(page);
        a->setObjectName(QStringLiteral("diameterEdit_%1").arg(i));
        a->setGeometry(at_(TableLayout::Diameter));
        diameter_[at] = a;
        connect(a, &QLineEdit::textChanged, this, [this, i](const QString& t) {
            if (refreshing_)
                return;
            table_.row(i).diameter = t;
            noteChange();
        });

        sign1_[at] = makeCombo(page, HoleTable::signChoices(), at_(TableLayout::Sign1));
        tol1_[at] = makeCombo(page, HoleTable::valueChoices(i), at_(TableLayout::Value1));
        sign2_[at] = makeCombo(page, HoleTable::signChoices(), at_(TableLayout::Sign2));
        tol2_[at] = makeCombo(page, HoleTable::valueChoices(i), at_(TableLayout::Value2));
        kind_[at] = makeCombo(page, HoleTable::kindChoices(), at_(TableLayout::Kind));
        sign1_[at]->setObjectName(QStringLiteral("toleranceSign_%1_0").arg(i));
        tol1_[at]->setObjectName(QStringLiteral("toleranceValue_%1_0").arg(i));
        sign2_[at]->setObjectName(QStringLiteral("toleranceSign_%1_1").arg(i));
        tol2_[at]->setObjectName(QStringLiteral("toleranceValue_%1_1").arg(i));
        kind_[at]->setObjectName(QStringLiteral("kindBox_%1").arg(i));
        const std::pair<QComboBox*, QString HoleRow::*> fields[] = {{sign1_[at], &HoleRow::sign1},
            {tol1_[at], &HoleRow::tol1}, {sign2_[at], &HoleRow::sign2}, {tol2_[at], &HoleRow::tol2},
            {kind_[at], &HoleRow::kind}};
        for (const auto& [combo, field] : fields) {
            connect(combo, &QComboBox::editTextChanged, this,
                [this, i, combo = combo, field = field](const QString& t) {
                    if (refreshing_)
                        return;
                    if (field == &HoleRow::sign1 || field == &HoleRow::sign2) {
                        // A minus or plus as typed becomes the list's: the settings file keeps it.
                        if (const QString sign = HoleTable::listSign(t); sign != t) {
                            combo->setEditText(sign); // comes back here with the list's sign
                            return;
                        }
                    }
                    table_.row(i).*field = t;
                    if (field == &HoleRow::kind) { // an outline row counts nothing; totals go by kind
                        showCount(i);
                        showTotals();
                    }
                    noteChange();
                });
        }

        auto* s = new ColorSwatch(page);
        s->setObjectName(QStringLiteral("swatch_%1").arg(i));
        s->setGeometry(at_(TableLayout::Swatch));
        swatch_[at] = s;

        auto* n = new QLabel(page);
        n->setObjectName(QStringLiteral("countLabel_%1").arg(i));
        n->setGeometry(at_(TableLayout::Count));
        n->setFont(TableLayout::countFont());
        n->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        count_[at] = n;
    }

    // Headings over each of the three columns of the page.
    {
        for (int c = 0; c < 3; ++c) {
            const int index = 3 * p + c;
            const struct {
                const char* name;
                QString text;
                QRect place;
            } headings[] = {{"diameterHeading", QStringLiteral("穴径"), layout_->diameterHeading(c)},
                {"toleranceHeading0", QStringLiteral("公差"), layout_->toleranceHeading(c, 0)},
                {"toleranceHeading1", QStringLiteral("公差"), layout_->toleranceHeading(c, 1)},
                {"kindHeading", QStringLiteral("TH NTH"), layout_->kindHeading(c)}};
            for (const auto& h : headings) {
                QLabel* l = label(tableTabs->page(p), h.text, h.place);
                l->setAlignment(Qt::AlignCenter);
                l->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(h.name)).arg(index));
                l->setAutoFillBackground(true);
                QPalette lp = l->palette();
                lp.setColor(QPalette::Window, menuColor());
                l->setPalette(lp);
                l->show();
            }
        }
    }

    // The page's fields in the Tab order, after those of the page before, and their values.
    const int first = p * HoleTable::kRowsPerPage;
    QWidget* prev = p == 0 ? static_cast<QWidget*>(sizeChoice)
                           : (built_[size_t(p - 1)] ? kind_[size_t(first - 1)] : nullptr);
    for (int i = first; i < first + HoleTable::kRowsPerPage; ++i) {
        const auto at = static_cast<size_t>(i);
        for (QWidget* w : {static_cast<QWidget*>(diameter_[at]), static_cast<QWidget*>(sign1_[at]),
                 static_cast<QWidget*>(tol1_[at]), static_cast<QWidget*>(sign2_[at]),
                 static_cast<QWidget*>(tol2_[at]), static_cast<QWidget*>(kind_[at])}) {
            if (prev)
                QWidget::setTabOrder(prev, w);
            prev = w;
        }
        refreshRow(i);
    }
    for (QObject* child : tableTabs->page(p)->children()) {
        if (auto* w = qobject_cast<QWidget*>(child))
            w->show(); // children made after their page was shown
    }
}

void MainWindow::buildMenu()
{
    QMenuBar* bar = menuBar();
    auto add = [this](auto* where, const char* name, const QString& caption, void (MainWindow::*slot)()) {
        QAction* a = where->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* f = bar->addMenu(QStringLiteral("ファイル"));
    f->setObjectName(QStringLiteral("fileMenu"));
    add(f, "newBoard", QStringLiteral("新規"), &MainWindow::newBoard)->setShortcut(QKeySequence::New);
    f->addSeparator();
    add(f, "readStandardGerber", QStringLiteral("標準ガーバの読み込み(F4.3)"),
        &MainWindow::readStandardGerber);
    add(f, "readRs274x", QStringLiteral("274xガーバ読み込み"), &MainWindow::readRs274x);
    add(f, "readExcellon", QStringLiteral("Excellonドリルの読み込み"), &MainWindow::readExcellon);
    add(f, "readGerberX2", QStringLiteral("Gerber X2 ドリル/外形の読み込み"), &MainWindow::readGerberX2);
    add(f, "addDrillFile", QStringLiteral("ドリルファイルの追加"), &MainWindow::addDrillFile);
    add(f, "readOutline", QStringLiteral("外形ファイルの読み込み"), &MainWindow::readOutline);
    add(f, "removeFile", QStringLiteral("ファイルを外す"), &MainWindow::removeFile);
    add(f, "readSettings", QStringLiteral("前回の設定ファイルの読み込み"), &MainWindow::readSettings)
        ->setEnabled(false);
    add(f, "saveDrillTable", QStringLiteral("穴数一覧の保存 (CSV)"), &MainWindow::saveDrillTable);
    // 表示: the preview first, then the drawing's options, remembered between runs.
    QMenu* v = bar->addMenu(QStringLiteral("表示"));
    v->setObjectName(QStringLiteral("viewMenu"));
    add(v, "showPreview", msg::previewCaption(), &MainWindow::showPreview);
    v->addSeparator();
    const auto option = [this, v](const char* name, const QString& caption, const QString& key) {
        QAction* a = v->addAction(caption);
        a->setObjectName(QLatin1String(name));
        a->setCheckable(true);
        a->setChecked(viewSettings().value(key, false).toBool());
        connect(a, &QAction::toggled, this, [this, key](bool on) { setViewOption(key, on); });
    };
    option("showCountsInLegend", QStringLiteral("凡例に穴数を表示"), QStringLiteral("view/countsInLegend"));
    option("drawSymbols", QStringLiteral("記号で描く（白黒印刷向け）"), QStringLiteral("view/symbols"));
    add(bar, "print", QStringLiteral("印刷"), &MainWindow::print);
    QMenu* h = bar->addMenu(QStringLiteral("ヘルプ"));
    h->setObjectName(QStringLiteral("helpMenu"));
    add(h, "showAbout", QStringLiteral("バージョン情報"), &MainWindow::showAbout);
    add(h, "showHelp", QStringLiteral("Kivotrek ヘルプ"), &MainWindow::showHelp);
    add(bar, "saveSettings", QStringLiteral("設定ファイルの保存"), &MainWindow::saveSettings);
    add(bar, "close", QStringLiteral("閉じる"), &MainWindow::closeCommand);
}

QAction* MainWindow::menuAction(const QString& name) const
{
    return findChild<QAction*>(name);
}

template <typename W> W* MainWindow::rowWidget(const std::array<W*, HoleTable::kRows>& widgets, int i) const
{
    const_cast<MainWindow*>(this)->buildPage(i / HoleTable::kRowsPerPage);
    return widgets.at(static_cast<size_t>(i));
}

QLineEdit* MainWindow::dcodeEdit(int i) const
{
    return rowWidget(dcode_, i);
}

QLineEdit* MainWindow::diameterEdit(int i) const
{
    return rowWidget(diameter_, i);
}

QComboBox* MainWindow::toleranceSign(int i, int which) const
{
    return which == 0 ? rowWidget(sign1_, i) : rowWidget(sign2_, i);
}

QComboBox* MainWindow::toleranceValue(int i, int which) const
{
    return which == 0 ? rowWidget(tol1_, i) : rowWidget(tol2_, i);
}

QComboBox* MainWindow::kindBox(int i) const
{
    return rowWidget(kind_, i);
}

ColorSwatch* MainWindow::swatch(int i) const
{
    return rowWidget(swatch_, i);
}

QLabel* MainWindow::countLabel(int i) const
{
    return rowWidget(count_, i);
}

HoleCounts MainWindow::holeCounts() const
{
    HoleCounts shown = counted_;
    for (int i = 0; i < HoleTable::kRows; ++i) {
        if (table_.row(i).kind == HoleTable::outlineKind())
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
        plain.row(i).kind.clear();
    countHoles(board_, plain, counted_);
}

void MainWindow::showTotals()
{
    const HoleTotals t = holeTotals(holeCounts(), table_);
    totalsLabel->setText(board_.isEmpty() ? QString() : msg::holeTotals(t.th, t.nth, t.other, t.all));
}

void MainWindow::showCount(int i)
{
    if (!built_.at(static_cast<size_t>(i / HoleTable::kRowsPerPage)))
        return; // the page shows its counts when it is built
    const HoleRow& r = table_.row(i);
    const RowCount n = counted_[size_t(i)];
    const QString text = !r.isUsed() || r.kind == HoleTable::outlineKind() ? QString()
        : n.slotCount > 0 ? QStringLiteral("%1+%2").arg(n.holeCount).arg(n.slotCount)
                          : QString::number(n.holeCount);
    QLabel* label = countLabel(i);
    if (label->text() == text)
        return;
    // A count wider than its place gets a smaller font, never a cut.
    QFont font = TableLayout::countFont();
    while (font.pointSizeF() > 4 && QFontMetrics(font).horizontalAdvance(text) > label->width() - 2)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    if (label->font() != font)
        label->setFont(font);
    label->setText(text);
}

bool MainWindow::focusNextPrevChild(bool next)
{
    // Rows on hidden pages take part too: the page of the next field is shown first, since
    // Qt's own chain skips hidden widgets. The order: product code, size choice, then per row
    // diameter, first sign and value, second sign and value, kind.
    constexpr int kFieldsPerRow = 6;
    constexpr int kOrder = 2 + kFieldsPerRow * HoleTable::kRows;
    const auto fieldAt = [this](int k) -> QWidget* {
        if (k == 0)
            return productCodeEdit;
        if (k == 1)
            return sizeChoice;
        const int i = (k - 2) / kFieldsPerRow;
        switch ((k - 2) % kFieldsPerRow) {
        case 0: return diameterEdit(i);
        case 1: return toleranceSign(i, 0);
        case 2: return toleranceValue(i, 0);
        case 3: return toleranceSign(i, 1);
        case 4: return toleranceValue(i, 1);
        default: return kindBox(i);
        }
    };
    QWidget* current = QApplication::focusWidget();
    const auto holds = [current](
                           const QWidget* w) { return w && (w == current || w->isAncestorOf(current)); };
    int at = holds(productCodeEdit) ? 0 : holds(sizeChoice) ? 1 : -1;
    const int page = tableTabs->pageOf(current);
    for (int i = page * HoleTable::kRowsPerPage;
         page >= 0 && at < 0 && i < (page + 1) * HoleTable::kRowsPerPage; ++i) {
        const auto r = static_cast<size_t>(i);
        const QWidget* fields[kFieldsPerRow] = {
            diameter_[r], sign1_[r], tol1_[r], sign2_[r], tol2_[r], kind_[r]};
        for (int f = 0; f < kFieldsPerRow && at < 0; ++f) {
            if (holds(fields[f]))
                at = 2 + kFieldsPerRow * i + f;
        }
    }
    if (at < 0)
        return QMainWindow::focusNextPrevChild(next);
    QWidget* target = fieldAt((at + (next ? 1 : kOrder - 1)) % kOrder);
    const int p = tableTabs->pageOf(target);
    if (p >= 0)
        tableTabs->setCurrentIndex(p);
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

const QImage& MainWindow::logo() const
{
    // Only the printed page shows it: read when it is first needed, not at start-up.
    if (!logoLoaded_) {
        logoLoaded_ = true;
        const_cast<MainWindow*>(this)->loadLogo();
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
        inputs << settingsPath(board_.mainPath());
    return inputs;
}

void MainWindow::loadLogo()
{
    const QString path = logoPath();
    if (QFileInfo::exists(path))
        logo_.load(path); // an unreadable image leaves no logo, silently
}

void MainWindow::refreshRow(int i)
{
    if (!built_.at(static_cast<size_t>(i / HoleTable::kRowsPerPage)))
        return; // the page shows the table when it is built
    const bool was = refreshing_;
    refreshing_ = true;
    const HoleRow& r = table_.row(i);
    // Only what changed: each new text is laid out again, 147 boxes a page. Every box shows
    // the start of its text.
    const auto show = [](QLineEdit* edit, const QString& text) {
        if (edit->text() != text)
            edit->setText(text);
        edit->setCursorPosition(0);
    };
    show(dcodeEdit(i), r.dcode);
    const int file = board_.fileOfRow(i); // the file whose tool the row is
    dcodeEdit(i)->setToolTip(file >= 0 ? QFileInfo(board_.files[size_t(file)].path).fileName() : QString());
    show(diameterEdit(i), r.diameter);
    show(toleranceSign(i, 0)->lineEdit(), r.sign1);
    show(toleranceValue(i, 0)->lineEdit(), r.tol1);
    show(toleranceSign(i, 1)->lineEdit(), r.sign2);
    show(toleranceValue(i, 1)->lineEdit(), r.tol2);
    show(kindBox(i)->lineEdit(), r.kind);
    swatch(i)->setFillColor(toQColor(r.color));
    showCount(i);
    refreshing_ = was;
}

void MainWindow::refreshTable()
{
    recountHoles();
    showTotals();
    for (int i = 0; i < HoleTable::kRows; ++i)
        refreshRow(i); // rows of pages not built yet are skipped
    emit tableChanged();
}

void MainWindow::showMessage(const QString& text)
{
    prompts_->message(this, text, msg::title());
}

bool MainWindow::checkTable()
{
    return table_.check([this](const QString& text) { showMessage(text); });
}

namespace {
void prepareRead(ReaderKind reader, HoleTable& table, BoardExtent& extent)
{
    switch (reader) {
    case ReaderKind::Standard: prepareStandardRead(table, extent); break;
    case ReaderKind::Rs274x: prepareRs274xRead(table, extent); break;
    case ReaderKind::Excellon:
    case ReaderKind::GerberX2: prepareExcellonRead(table, extent); break;
    }
}

QString readerFilter(ReaderKind reader)
{
    return reader == ReaderKind::Excellon ? msg::drillFilter() : msg::gerberFilter();
}

// Drill files of either kind, then Gerber files.
QString addedFileFilter()
{
    QString drill = msg::drillFilter();
    drill.chop(QStringLiteral("|すべてのファイル (*)|*").size());
    return drill + QLatin1Char('|') + msg::gerberFilter();
}
} // namespace

void MainWindow::readCommand(ReaderKind reader)
{
    if (!confirmDiscard())
        return; // another board would replace unsaved work
    dialog_->filter = readerFilter(reader);
    if (!dialog_->showOpen(this) || dialog_->fileName.isEmpty())
        return; // a cancelled read changes nothing: the table stays for the file it belongs to
    prepareRead(reader, table_, extent_);
    refreshTable();
    readChosenFile(reader, dialog_->fileName);
}

void MainWindow::readChosenFile(ReaderKind reader, const QString& path)
{
    menuAction(QStringLiteral("readSettings"))->setEnabled(true);
    // What the read has to say is shown over the table it filled.
    QStringList said;
    const MessageSink sink = [&said](const QString& text) { said << text; };
    readBoardFile(board_, reader, path, table_, extent_, sink);
    if (board_.isEmpty())
        board_.files.push_back({path, reader, 0, 0}); // the path label shows what was tried
    // A drill file starts a board of its own: nothing of the board before stays, its product
    // code neither. (The two Gerber reads keep tolerances, kinds and colours, as shops that
    // number D-codes by hole class rely on.)
    if (reader == ReaderKind::Excellon || reader == ReaderKind::GerberX2)
        productCodeEdit->clear();
    showBoard();
    refreshTable();
    markRead();
    markSaved();
    showReadMessages(said);
    refreshPreview();
}

void MainWindow::addChosenFile(const QString& path, bool outline)
{
    // The same file twice would double every row and hole.
    if (inputWrittenOver(path, board_.paths()) >= 0) {
        showMessage(msg::fileAlreadyInBoard(path));
        return;
    }
    QStringList said;
    const MessageSink sink = [&said](const QString& text) { said << text; };
    const int first = board_.nextFreeRow();
    if (outline)
        ::kivotrek::readOutline(board_, path, table_, extent_, sink);
    else
        ::kivotrek::addDrillFile(board_, addedFileReader(path), path, table_, extent_, sink);
    // The new file's rows are as it filled them; the other rows keep their state.
    for (int i = first; i < board_.nextFreeRow(); ++i)
        readTable_.row(i) = savedTable_.row(i) = table_.row(i);
    menuAction(QStringLiteral("readSettings"))->setEnabled(!board_.isEmpty());
    showBoard();
    refreshTable();
    noteChange();
    showReadMessages(said);
    refreshPreview();
}

void MainWindow::markRead()
{
    readTable_ = table_;
}

void MainWindow::markSaved()
{
    savedTable_ = table_;
    savedProductCode_ = productCodeEdit->text();
    noteChange();
}

bool MainWindow::isModified() const
{
    return table_ != savedTable_ || productCodeEdit->text() != savedProductCode_;
}

void MainWindow::noteChange()
{
    // Qt's mark, "穴区分け図*", while modified; the plain title otherwise.
    const bool modified = isModified();
    if (modified == isWindowModified())
        return;
    setWindowTitle(modified ? msg::mainCaption() + QStringLiteral("[*]") : msg::mainCaption());
    setWindowModified(modified);
}

bool MainWindow::confirmDiscard()
{
    if (!isModified())
        return true;
    switch (prompts_->saveDiscardCancel(this, msg::unsavedChanges(), msg::title())) {
    case Prompts::SaveChoice::Save: return saveSettingsQuietly();
    case Prompts::SaveChoice::Discard: return true;
    case Prompts::SaveChoice::Cancel: return false;
    }
    return false;
}

void MainWindow::refreshPreview()
{
    if (!preview_ || !preview_->isVisible())
        return;
    // Never the board before: the board as it is, or no picture.
    if (board_.isEmpty() || !table_.check({})) {
        preview_->close();
        return;
    }
    drawPreview();
}

void MainWindow::newBoard()
{
    if (!confirmDiscard())
        return;
    board_ = Board();
    table_ = HoleTable();
    extent_ = BoardExtent();
    productCodeEdit->clear();
    menuAction(QStringLiteral("readSettings"))->setEnabled(false);
    if (preview_)
        preview_->close();
    showBoard();
    refreshTable();
    markRead();
    markSaved();
}

void MainWindow::removeFile()
{
    const QStringList paths = board_.paths();
    if (paths.isEmpty()) {
        showMessage(msg::noFileRead());
        return;
    }
    QStringList names;
    for (int i = 0; i < paths.size(); ++i) {
        const bool isOutline = size_t(i) >= board_.files.size();
        names << (isOutline ? msg::outlineFileItem(paths[i]) : paths[i]);
    }
    const int chosen = prompts_->choose(this, msg::chooseFileToRemove(), msg::title(), names);
    if (chosen < 0)
        return;
    // The rows go in every state the table is compared with, so that their edits stay edits.
    if (size_t(chosen) < board_.files.size()) {
        const BoardFile& f = board_.files[size_t(chosen)];
        readTable_.removeRows(f.firstRow, f.rowCount);
        savedTable_.removeRows(f.firstRow, f.rowCount);
    }
    QStringList said;
    removeBoardFile(board_, chosen, table_, extent_, [&said](const QString& text) { said << text; });
    menuAction(QStringLiteral("readSettings"))->setEnabled(!board_.isEmpty());
    showBoard();
    refreshTable();
    noteChange();
    showReadMessages(said);
    if (preview_ && board_.isEmpty())
        preview_->close();
    refreshPreview();
}

void MainWindow::showReadMessages(const QStringList& said)
{
    for (const QString& text : said)
        showMessage(text);
}

void MainWindow::showBoard()
{
    // One file: its path, as always. A board of several: the first path, then the other files'
    // names; the tooltip lists every path.
    QString text = board_.mainPath();
    QStringList tip;
    for (size_t i = 0; i < board_.files.size(); ++i) {
        if (i > 0)
            text += QStringLiteral(" ＋ ") + QFileInfo(board_.files[i].path).fileName();
        tip << board_.files[i].path;
    }
    if (!board_.outline.isEmpty()) {
        if (!board_.files.empty())
            text += QStringLiteral(" ＋ 外形 ") + QFileInfo(board_.outline).fileName();
        tip << QStringLiteral("外形: ") + board_.outline;
    }
    pathEdit->setText(text);
    pathEdit->setCursorPosition(0); // the start of a long path: its folder
    pathEdit->setToolTip(tip.size() > 1 ? tip.join(QLatin1Char('\n')) : QString());
}

void MainWindow::openFile(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    const ReaderKind reader = detectReader(full);
    prepareRead(reader, table_, extent_);
    dialog_->filter = readerFilter(reader);
    dialog_->fileName = full; // as the dialog would have left it
    readChosenFile(reader, full);
}

void MainWindow::openFiles(const QStringList& paths)
{
    for (int i = 0; i < paths.size(); ++i) {
        if (i == 0)
            openFile(paths[i]);
        else
            addChosenFile(QFileInfo(paths[i]).absoluteFilePath(), false);
    }
}

void MainWindow::readGerberX2()
{
    readCommand(ReaderKind::GerberX2);
}

void MainWindow::addDrillFile()
{
    if (board_.replaysGerber()) {
        showMessage(msg::cannotAddToGerberBoard()); // before the dialog: nothing to choose
        return;
    }
    dialog_->filter = addedFileFilter();
    // The dialog opens in the board's folder without offering the board's own files: Enter
    // would read the file just read a second time.
    if (!board_.isEmpty())
        dialog_->fileName = QFileInfo(board_.mainPath()).absolutePath();
    dialog_->hiddenFiles = board_.paths();
    const bool chosen = dialog_->showOpen(this) && !dialog_->fileName.isEmpty();
    dialog_->hiddenFiles.clear();
    if (!chosen)
        return;
    addChosenFile(dialog_->fileName, false);
}

void MainWindow::readOutline()
{
    if (board_.replaysGerber()) {
        showMessage(msg::cannotAddToGerberBoard());
        return;
    }
    dialog_->filter = msg::gerberFilter();
    if (!dialog_->showOpen(this) || dialog_->fileName.isEmpty())
        return;
    addChosenFile(dialog_->fileName, true);
}

void MainWindow::readStandardGerber()
{
    readCommand(ReaderKind::Standard);
}

void MainWindow::readRs274x()
{
    readCommand(ReaderKind::Rs274x);
}

void MainWindow::readExcellon()
{
    readCommand(ReaderKind::Excellon);
}

void MainWindow::saveDrillTable()
{
    if (board_.isEmpty()) {
        showMessage(msg::noFileRead());
        return;
    }
    // A drill file is never replaced by its table.
    const QString path = askSavePath(*dialog_, *prompts_, this, msg::drillTableFilter(),
        QStringLiteral("csv"), board_.paths(), otherInputs());
    if (path.isEmpty())
        return;
    if (!writeWholeFile(path, drillTableCsv(table_, holeCounts(), board_)))
        showMessage(msg::cannotSave(path));
}

void MainWindow::readSettings()
{
    const QString path = settingsPath(board_.mainPath());
    QString error;
    const auto values = readSettingsFile(path, &error);
    if (!values) {
        showMessage(error); // the table stays exactly as it was
        return;
    }
    // One settings file serves a folder: written for another board it would put that board's
    // D-codes and diameters on paper. The user sees how it differs and decides.
    const QStringList differences = settingsMismatches(readTable_, board_.nextFreeRow(), *values);
    if (!differences.isEmpty()
        && !prompts_->yesNo(this, msg::settingsDoNotFitQuestion(path, differences, 10), msg::title()))
        return;
    QString productCode = productCodeEdit->text();
    applySettings(*values, table_, productCode);
    productCodeEdit->setText(productCode);
    productCodeEdit->setCursorPosition(0);
    refreshTable();
    markSaved();
    refreshPreview();
}

void MainWindow::showPreview()
{
    if (!checkTable())
        return; // each row without a diameter has been named
    drawPreview();
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
    // An open preview shows the option at once.
    if (preview_ && preview_->isVisible() && !board_.isEmpty() && checkTable())
        drawPreview();
}

DrawingOptions MainWindow::drawingOptions(const HoleCounts& counts) const
{
    DrawingOptions o;
    if (QAction* a = menuAction(QStringLiteral("showCountsInLegend")); a && a->isChecked())
        o.counts = &counts;
    if (QAction* a = menuAction(QStringLiteral("drawSymbols")); a && a->isChecked())
        o.marks = true;
    return o;
}

void MainWindow::showPageInPreview()
{
    if (preview_)
        preview_->setPage(sizeChoice->currentText(), PageFoot {logo(), productCodeEdit->text()});
}

void MainWindow::drawPreview()
{
    if (!preview_) {
        preview_ = new PreviewWindow(*dialog_, *prompts_);
        preview_->setAttribute(Qt::WA_DeleteOnClose);
        preview_->setWindowIcon(windowIcon());
        moveBeside(preview_, this);
    }
    preview_->show();
    preview_->raise();
    const QString path = board_.mainPath();
    preview_->setDrawnFiles(board_.paths(), otherInputs());
    // The picture's source, for the window's saves that draw it again.
    DrawnSource source;
    source.board = board_;
    source.table = table_;
    source.extent = extent_;
    source.counts = holeCounts();
    const DrawingOptions options = drawingOptions(source.counts);
    source.withCounts = options.counts != nullptr;
    source.marks = options.marks;
    source.holes = holeTotals(source.counts, table_).all;
    preview_->setSource(source);
    showPageInPreview();
    // A drawing that stops early keeps what it drew, and the user is told why it stopped.
    const DrawResult drawn = ::kivotrek::drawPreview(board_, table_, extent_, preview_->surface(), options);
    preview_->pictureBox->update();
    const QString problem = drawingProblem(drawn, path);
    if (!problem.isEmpty())
        prompts_->message(preview_, problem, msg::title());
}

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
    // Any failure from here on ends the command silently; printing does not check the table.
    dialog_->cancelError = true;
    dialog_->flags |= CommonDialog::kHidePrintToFile;
    // A size that gives no scale would print the legend without the board.
    const QString size = sizeChoice->currentText();
    if (!sizeTextHasScale(size)) {
        showMessage(msg::sizeNotANumber(size));
        return;
    }
    // A diameter that is no number would print as the smallest hole: each such row is named.
    if (!table_.checkNumbers([this](const QString& text) { showMessage(text); }))
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
    if (const auto paper = automaticPaper(sizeChoice->currentText())) {
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
    if (!printDrawing(&problem)) {
        // Nothing was printed: no question about the default printer (and after a cancel no
        // message either).
        if (!problem.isEmpty())
            showMessage(problem);
        return;
    }
    QCoreApplication::processEvents();
    showMessage(msg::setDefaultPrinter());
    dialog_->showPrinter(this, pr);
}

bool MainWindow::printDrawing(QString* problem)
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
    const QString size = sizeChoice->currentText();
    const PageFoot foot {logo(), productCodeEdit->text()};

    // A drawing that cannot be completed starts no print job at all: try it on a page that
    // draws nothing first (the colour generator is only taken on the real page).
    const HoleCounts counts = holeCounts();
    DrawingOptions options = drawingOptions(counts);
    ProbeSurface probe(sheet, dpi);
    BasicRandom trial = random_;
    const DrawResult tried =
        ::kivotrek::printDrawing(board_, table_, extent_, size, foot, probe, trial, options);
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
    const DrawResult r =
        ::kivotrek::printDrawing(board_, table_, extent_, size, foot, page, random_, options);
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

void MainWindow::saveSettings()
{
    // A drill file that happens to be named KIVOTREK.INI is never replaced by the table.
    const QString path = board_.isEmpty() ? QString() : settingsPath(board_.mainPath());
    if (!path.isEmpty() && inputWrittenOver(path, board_.paths()) >= 0) {
        showMessage(msg::cannotOverwriteDrawnFile(path));
        return;
    }
    const SaveResult r = saveSettingsFile(table_, productCodeEdit->text(), board_.mainPath());
    if (r.path.isEmpty())
        return; // no Gerber file chosen yet
    if (r.ok)
        markSaved();
    showMessage(r.ok ? msg::settingsSaved(r.path) : r.error);
}

bool MainWindow::saveSettingsQuietly()
{
    if (board_.isEmpty())
        return true; // nothing read: nothing that a settings file could keep
    const QString path = settingsPath(board_.mainPath());
    if (inputWrittenOver(path, board_.paths()) >= 0) {
        showMessage(msg::cannotOverwriteDrawnFile(path));
        return false;
    }
    const SaveResult r = saveSettingsFile(table_, productCodeEdit->text(), board_.mainPath());
    if (!r.ok) {
        showMessage(r.error);
        return false;
    }
    markSaved();
    return true;
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
             static_cast<QWidget*>(helpViewer_.data())}) {
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
    refreshRow(i);
    noteChange();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (int i = 0; i < HoleTable::kRows; ++i) {
            if (watched == dcode_[static_cast<size_t>(i)]) {
                chooseColor(i);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace kivotrek
