#include "app/holetableview.h"

#include "app/colorswatch.h"
#include "app/tabcontrol.h"
#include "app/tablelayout.h"
#include "common/messages.h"

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>

namespace kivotrek {

HoleTableView::HoleTableView(QWidget* client, const TableLayout& layout, HoleTable& table,
    const HoleCounts& counts, QWidget* before, std::function<QString(int)> fileOfRow)
    : layout_(layout), table_(table), counts_(counts), before_(before), fileOfRow_(std::move(fileOfRow))
{
    setObjectName(QStringLiteral("holeTableView"));
    tabs_ =
        new TabControl({QStringLiteral("1-21"), QStringLiteral("22-42"), QStringLiteral("43-63")}, client);
    tabs_->setObjectName(QStringLiteral("tableTabs"));
    tabs_->setGeometry(layout_.tabControl());
    QPalette pagePalette = tabs_->palette(); // the pages keep the system colours, not the green
    pagePalette.setColor(QPalette::Window, TableLayout::fieldBackground());
    tabs_->setPalette(pagePalette);
    // The first page now; the others when they are first shown or reached, which keeps two
    // thirds of the table's widgets out of the start-up.
    connect(tabs_, &TabControl::aboutToShow, this, [this](int p) { buildPage(p); });
    buildPage(0);
    // The page of the focused field is the one shown.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        const int p = tabs_->pageOf(now);
        if (p >= 0 && p != tabs_->currentIndex())
            tabs_->setCurrentIndex(p);
    });
}

HoleTableView::~HoleTableView() = default;

QComboBox* HoleTableView::makeCombo(QWidget* page, const QStringList& items, const QRect& geometry)
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

void HoleTableView::buildPage(int p)
{
    if (built_.at(static_cast<size_t>(p)))
        return;
    built_[static_cast<size_t>(p)] = true;
    QWidget* page = tabs_->page(p);
    for (int i = p * HoleTable::kRowsPerPage; i < (p + 1) * HoleTable::kRowsPerPage; ++i) {
        const auto at = [this, i](TableLayout::Field f) { return layout_.field(i, f); };
        RowWidgets& w = rows_[static_cast<size_t>(i)];

        w.dcode = new QLineEdit(page);
        w.dcode->setObjectName(QStringLiteral("dcodeEdit_%1").arg(i));
        w.dcode->setGeometry(at(TableLayout::DCode));
        w.dcode->setReadOnly(true); // filled by the readers and the settings file
        w.dcode->setFocusPolicy(Qt::ClickFocus);
        QPalette dp = w.dcode->palette();
        dp.setColor(QPalette::Base, TableLayout::fieldBackground());
        dp.setColor(QPalette::Text, QColor(0, 0, 192));
        w.dcode->setPalette(dp);
        w.dcode->installEventFilter(this);

        w.diameter = new QLineEdit(page);
        w.diameter->setObjectName(QStringLiteral("diameterEdit_%1").arg(i));
        w.diameter->setGeometry(at(TableLayout::Diameter));
        connect(w.diameter, &QLineEdit::textChanged, this, [this, i](const QString& t) {
            if (refreshing_)
                return;
            table_.row(i).diameter = t;
            emit edited(i);
        });

        w.sign1 = makeCombo(page, HoleTable::signChoices(), at(TableLayout::Sign1));
        w.tol1 = makeCombo(page, HoleTable::valueChoices(i), at(TableLayout::Value1));
        w.sign2 = makeCombo(page, HoleTable::signChoices(), at(TableLayout::Sign2));
        w.tol2 = makeCombo(page, HoleTable::valueChoices(i), at(TableLayout::Value2));
        w.kind = makeCombo(page, HoleTable::kindChoices(), at(TableLayout::Kind));
        w.sign1->setObjectName(QStringLiteral("toleranceSign_%1_0").arg(i));
        w.tol1->setObjectName(QStringLiteral("toleranceValue_%1_0").arg(i));
        w.sign2->setObjectName(QStringLiteral("toleranceSign_%1_1").arg(i));
        w.tol2->setObjectName(QStringLiteral("toleranceValue_%1_1").arg(i));
        w.kind->setObjectName(QStringLiteral("kindBox_%1").arg(i));
        const std::pair<QComboBox*, QString HoleRow::*> fields[] = {{w.sign1, &HoleRow::sign1},
            {w.tol1, &HoleRow::tol1}, {w.sign2, &HoleRow::sign2}, {w.tol2, &HoleRow::tol2}};
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
                    emit edited(i);
                });
        }
        // The kind as its caption names it: the table keeps the kind, the box shows its caption.
        connect(w.kind, &QComboBox::editTextChanged, this, [this, i](const QString& t) {
            if (refreshing_)
                return;
            table_.row(i).kind = HoleKind::captioned(t);
            showCount(i); // an outline row counts nothing; the totals go by kind
            emit kindEdited(i);
            emit edited(i);
        });

        w.swatch = new ColorSwatch(page);
        w.swatch->setObjectName(QStringLiteral("swatch_%1").arg(i));
        w.swatch->setGeometry(at(TableLayout::Swatch));

        w.count = new QLabel(page);
        w.count->setObjectName(QStringLiteral("countLabel_%1").arg(i));
        w.count->setGeometry(at(TableLayout::Count));
        w.count->setFont(TableLayout::countFont());
        w.count->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }

    // Headings over each of the three columns of the page.
    for (int c = 0; c < 3; ++c) {
        const int index = 3 * p + c;
        const struct {
            const char* name;
            QString text;
            QRect place;
        } headings[] = {{"diameterHeading", msg::diameterHeading(), layout_.diameterHeading(c)},
            {"toleranceHeading0", msg::toleranceHeading(), layout_.toleranceHeading(c, 0)},
            {"toleranceHeading1", msg::toleranceHeading(), layout_.toleranceHeading(c, 1)},
            {"kindHeading", msg::kindHeading(), layout_.kindHeading(c)}};
        for (const auto& h : headings) {
            auto* l = new QLabel(h.text, page);
            l->setGeometry(h.place);
            l->setAlignment(Qt::AlignCenter);
            l->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(h.name)).arg(index));
            l->setAutoFillBackground(true);
            QPalette lp = l->palette();
            lp.setColor(QPalette::Window, TableLayout::fieldBackground());
            l->setPalette(lp);
            l->show();
        }
    }

    // The page's fields in the Tab order, after those of the page before, and their values.
    const int first = p * HoleTable::kRowsPerPage;
    QWidget* prev = p == 0 ? before_ : (built_[size_t(p - 1)] ? rows_[size_t(first - 1)].kind : nullptr);
    for (int i = first; i < first + HoleTable::kRowsPerPage; ++i) {
        const RowWidgets& w = rows_[static_cast<size_t>(i)];
        for (QWidget* f : {static_cast<QWidget*>(w.diameter), static_cast<QWidget*>(w.sign1),
                 static_cast<QWidget*>(w.tol1), static_cast<QWidget*>(w.sign2), static_cast<QWidget*>(w.tol2),
                 static_cast<QWidget*>(w.kind)}) {
            if (prev)
                QWidget::setTabOrder(prev, f);
            prev = f;
        }
        refreshRow(i);
    }
    for (QObject* child : page->children()) {
        if (auto* w = qobject_cast<QWidget*>(child))
            w->show(); // children made after their page was shown
    }
}

HoleTableView::RowWidgets& HoleTableView::row(int i)
{
    buildPage(i / HoleTable::kRowsPerPage);
    return rows_.at(static_cast<size_t>(i));
}

QLineEdit* HoleTableView::dcodeEdit(int i)
{
    return row(i).dcode;
}

QLineEdit* HoleTableView::diameterEdit(int i)
{
    return row(i).diameter;
}

QComboBox* HoleTableView::toleranceSign(int i, int which)
{
    return which == 0 ? row(i).sign1 : row(i).sign2;
}

QComboBox* HoleTableView::toleranceValue(int i, int which)
{
    return which == 0 ? row(i).tol1 : row(i).tol2;
}

QComboBox* HoleTableView::kindBox(int i)
{
    return row(i).kind;
}

ColorSwatch* HoleTableView::swatch(int i)
{
    return row(i).swatch;
}

QLabel* HoleTableView::countLabel(int i)
{
    return row(i).count;
}

void HoleTableView::refreshRow(int i)
{
    if (!built_.at(static_cast<size_t>(i / HoleTable::kRowsPerPage)))
        return; // the page shows the table when it is built
    const bool was = refreshing_;
    refreshing_ = true;
    const HoleRow& r = table_.row(i);
    RowWidgets& w = rows_[static_cast<size_t>(i)];
    // Only what changed: each new text is laid out again, 147 boxes a page. Every box shows
    // the start of its text.
    const auto show = [](QLineEdit* edit, const QString& text) {
        if (edit->text() != text)
            edit->setText(text);
        edit->setCursorPosition(0);
    };
    show(w.dcode, r.dcode);
    w.dcode->setToolTip(fileOfRow_ ? fileOfRow_(i) : QString()); // the file whose tool the row is
    show(w.diameter, r.diameter);
    show(w.sign1->lineEdit(), r.sign1);
    show(w.tol1->lineEdit(), r.tol1);
    show(w.sign2->lineEdit(), r.sign2);
    show(w.tol2->lineEdit(), r.tol2);
    show(w.kind->lineEdit(), r.kind.caption());
    w.swatch->setFillColor(toQColor(r.color));
    showCount(i);
    refreshing_ = was;
}

void HoleTableView::refreshAll()
{
    for (int i = 0; i < HoleTable::kRows; ++i)
        refreshRow(i); // rows of pages not built yet are skipped
}

void HoleTableView::showCount(int i)
{
    if (!built_.at(static_cast<size_t>(i / HoleTable::kRowsPerPage)))
        return; // the page shows its counts when it is built
    const HoleRow& r = table_.row(i);
    const RowCount n = counts_[size_t(i)];
    const QString text = !r.isUsed() || r.kind == HoleKind::Outline ? QString() : countText(n);
    QLabel* label = rows_[size_t(i)].count;
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

bool HoleTableView::focusNext(const std::array<QWidget*, 2>& firstFields, bool next)
{
    // Rows on hidden pages take part too: the page of the next field is shown first, since
    // Qt's own chain skips hidden widgets.
    constexpr int kFieldsPerRow = 6;
    constexpr int kOrder = 2 + kFieldsPerRow * HoleTable::kRows;
    const auto fieldAt = [&](int k) -> QWidget* {
        if (k < 2)
            return firstFields[size_t(k)];
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
    int at = holds(firstFields[0]) ? 0 : holds(firstFields[1]) ? 1 : -1;
    const int page = tabs_->pageOf(current);
    for (int i = page * HoleTable::kRowsPerPage;
         page >= 0 && at < 0 && i < (page + 1) * HoleTable::kRowsPerPage; ++i) {
        const RowWidgets& w = rows_[static_cast<size_t>(i)];
        const QWidget* fields[kFieldsPerRow] = {w.diameter, w.sign1, w.tol1, w.sign2, w.tol2, w.kind};
        for (int f = 0; f < kFieldsPerRow && at < 0; ++f) {
            if (holds(fields[f]))
                at = 2 + kFieldsPerRow * i + f;
        }
    }
    if (at < 0)
        return false;
    QWidget* target = fieldAt((at + (next ? 1 : kOrder - 1)) % kOrder);
    const int p = tabs_->pageOf(target);
    if (p >= 0)
        tabs_->setCurrentIndex(p);
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool HoleTableView::eventFilter(QObject* watched, QEvent* event)
{
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (event->type() == QEvent::MouseButtonDblClick || press) {
        for (int i = 0; i < HoleTable::kRows; ++i) {
            if (watched != rows_[static_cast<size_t>(i)].dcode)
                continue;
            if (press) {
                emit dcodeClicked(i); // the field still takes the click
                break;
            }
            emit colorRequested(i);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kivotrek
