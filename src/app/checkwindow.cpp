#include "app/checkwindow.h"

#include "app/commondialog.h"
#include "app/mainwindow.h"
#include "app/prompts.h"
#include "checks/checkregistry.h"
#include "common/captions.h"
#include "common/fileio.h"
#include "common/messages.h"
#include "common/numbers.h"
#include "drawing/drawresult.h"

#include <QAbstractTableModel>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace kivotrek {

namespace {
QString millimetresText(double v)
{
    return QString::number(v, 'f', 3) + QStringLiteral(" mm");
}

QString valueText(const Finding& f, const std::optional<double>& v)
{
    if (!v)
        return QString();
    return checkDescriptor(f.kind).unit == CheckUnit::Ratio ? QString::number(*v, 'f', 2)
                                                            : millimetresText(*v);
}

// The plating's finding: the kinds of the tool and its file, named in its detail ("TH/NTH"), by
// their captions.
QString platingText(const Finding& f)
{
    const QStringList kinds = f.detail.split(QLatin1Char('/'));
    return msg::checkPlatingValue(
        HoleKind::named(kinds.value(0)).caption(), HoleKind::named(kinds.value(1)).caption());
}
} // namespace

// The findings as rows of the list: 種類, 行, X, Y, 値, 限度, ファイル.
class FindingsModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void set(const CheckReport* report, const HoleTable* table, const QStringList* files)
    {
        beginResetModel();
        report_ = report;
        table_ = table;
        files_ = files;
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() || !report_ ? 0 : int(report_->findings.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : 7;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QVariant();
        return msg::checkColumns().value(section);
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!report_ || !index.isValid() || size_t(index.row()) >= report_->findings.size())
            return QVariant();
        const Finding& f = report_->findings[size_t(index.row())];
        if (role == Qt::TextAlignmentRole && index.column() >= 2 && index.column() <= 5)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole)
            return QVariant();
        switch (index.column()) {
        case 0: return checkTitle(f.kind);
        case 1: return findingRows(f, *table_);
        case 2: return f.at ? QString::number((*f.at)[0], 'f', 3) : QString();
        case 3: return f.at ? QString::number((*f.at)[1], 'f', 3) : QString();
        case 4: return f.kind == CheckKind::Plating ? platingText(f) : valueText(f, f.value);
        case 5: return valueText(f, f.limit);
        case 6: {
            QStringList names;
            for (int k = 0; k < f.rowCount(); ++k)
                names << files_->value(f.files[size_t(k)]);
            names.removeDuplicates();
            return names.join(QStringLiteral(" / "));
        }
        default: return QVariant();
        }
    }

private:
    const CheckReport* report_ = nullptr;
    const HoleTable* table_ = nullptr;
    const QStringList* files_ = nullptr;
};

CheckWindow::CheckWindow(CommonDialog& dialog, Prompts& prompts) : dialog_(dialog), prompts_(prompts)
{
    setObjectName(QStringLiteral("CheckWindow"));
    setWindowTitle(msg::checkWindowCaption());
    const QSettings settings = MainWindow::viewSettings();
    for (const LimitDescriptor& d : limitDescriptors()) {
        const bool ratio = d.unit == CheckUnit::Ratio;
        auto* b = new QDoubleSpinBox(this);
        b->setObjectName(QLatin1String(d.key));
        b->setDecimals(ratio ? 2 : 3);
        b->setRange(ratio ? 0.1 : 0.0, 100.0);
        b->setSingleStep(ratio ? 0.1 : 0.05);
        b->setSuffix(ratio ? QString() : QStringLiteral(" mm"));
        b->setValue(settings.value(QLatin1String(d.settingsKey), d.defaultValue).toDouble());
        limitBoxes.push_back(b);
    }
    checkButton = new QPushButton(msg::checkRunCommand(), this);
    checkButton->setObjectName(QStringLiteral("checkButton"));
    saveButton = new QPushButton(msg::checkSaveCsvCommand(), this);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    closeButton = new QPushButton(msg::closeCommand(), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    summaryLabel = new QLabel(this);
    summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    summaryLabel->setWordWrap(true);
    summaryLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    model_ = new FindingsModel(this);
    list = new QTableView(this);
    list->setObjectName(QStringLiteral("findingsList"));
    list->setModel(model_);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    list->horizontalHeader()->setStretchLastSection(true);
    // The columns sized by the first findings: measuring 100,000 of them at every run of the
    // checks would hold the typing up.
    list->horizontalHeader()->setResizeContentsPrecision(200);
    list->setWordWrap(false);

    // The limits in columns of two.
    auto* top = new QHBoxLayout;
    QFormLayout* column = nullptr;
    for (size_t k = 0; k < limitBoxes.size(); ++k) {
        if (k % 2 == 0) {
            if (column)
                top->addSpacing(16);
            column = new QFormLayout;
            top->addLayout(column);
        }
        column->addRow(limitDescriptors()[k].caption(), limitBoxes[k]);
    }
    top->addStretch(1);
    top->addWidget(checkButton, 0, Qt::AlignBottom);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(saveButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(summaryLabel);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(checkButton, &QPushButton::clicked, this, [this]() {
        rememberLimits();
        emit recheckRequested();
    });
    connect(saveButton, &QPushButton::clicked, this, &CheckWindow::saveCsv);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex& current) { choose(current.row()); });
    connect(list, &QTableView::activated, this, [this](const QModelIndex& index) { choose(index.row()); });
}

CheckWindow::~CheckWindow() = default;

QDoubleSpinBox* CheckWindow::limitBox(const char* key) const
{
    const std::vector<LimitDescriptor>& limits = limitDescriptors();
    for (size_t k = 0; k < limits.size(); ++k) {
        if (qstrcmp(limits[k].key, key) == 0)
            return limitBoxes[k];
    }
    return nullptr;
}

CheckLimits CheckWindow::limits() const
{
    CheckLimits l;
    for (size_t k = 0; k < limitBoxes.size(); ++k)
        l.*limitDescriptors()[k].field = limitBoxes[k]->value();
    return l;
}

void CheckWindow::rememberLimits()
{
    // Written once per change of the limits, not at every run: the checks follow the typing.
    const CheckLimits now = limits();
    const std::vector<LimitDescriptor>& descriptors = limitDescriptors();
    if (remembered_ && std::all_of(descriptors.begin(), descriptors.end(), [&](const LimitDescriptor& d) {
            return (*remembered_).*d.field == now.*d.field;
        }))
        return;
    remembered_ = now;
    QSettings settings = MainWindow::viewSettings();
    for (const LimitDescriptor& d : descriptors)
        settings.setValue(QLatin1String(d.settingsKey), now.*d.field);
    settings.sync();
}

void CheckWindow::check(const Board& board, const HoleTable& table, const BoardExtent& extent)
{
    rememberLimits();
    table_ = table;
    drawnFiles_ = board.paths();
    const CheckedBoard checked = checkedBoard(board, table, extent);
    files_ = checked.files;
    withoutDiameter_ = rowsWithoutDiameter(checked, table);
    report_ = runChecks(checked, limits());
    model_->set(&report_, &table_, &files_);
    list->resizeColumnsToContents();
    list->setVisible(!report_.findings.empty());
    saveButton->setEnabled(!board.isEmpty());
    showSummary(false);
}

void CheckWindow::followBoardOf(MainWindow* main)
{
    main_ = main;
    connect(main, &MainWindow::boardChanged, this, &CheckWindow::follow);
}

void CheckWindow::follow(BoardChange change)
{
    if (!main_ || !isVisible() || change == BoardChange::Options)
        return;
    // Never a list of the board before.
    if (main_->board().isEmpty()) {
        close();
        return;
    }
    if (change == BoardChange::Board) {
        check(main_->board(), main_->table(), main_->extent());
        return;
    }
    // An edit: on a large board a run would hold the typing up; the list says it is of the
    // table before until チェック. A small one is checked once the preview, which follows the
    // same change, is on screen.
    if (main_->boardNow().holes > MainWindow::kFollowedCheckHoles) {
        markStale();
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (main_ && isVisible() && !main_->board().isEmpty())
                check(main_->board(), main_->table(), main_->extent());
        },
        Qt::QueuedConnection);
}

void CheckWindow::markStale()
{
    showSummary(true);
}

void CheckWindow::showSummary(bool stale)
{
    QStringList lines;
    if (report_.total() == 0) {
        // Checks stopped part way found nothing so far: that is no "nothing found".
        if (!report_.crowded)
            lines << msg::checkNothingFound();
    } else {
        QStringList parts;
        for (const CheckDescriptor& d : checkDescriptors()) {
            if (const qint64 n = report_.counts[size_t(d.kind)]; n > 0)
                parts << d.caption() + QLatin1Char(' ') + QString::number(n);
        }
        lines << msg::checkFound(report_.total(), parts.join(QStringLiteral("、")));
    }
    if (report_.crowded)
        lines << msg::checkCrowded();
    else if (report_.truncated)
        lines << msg::checkTruncated(kMaxFindings);
    if (!report_.hasOutline)
        lines << msg::checkWithoutOutline();
    if (!withoutDiameter_.isEmpty())
        lines << msg::checkWithoutDiameter(withoutDiameter_);
    if (const QString problem = drawingProblem(report_.ending, drawnFiles_.value(0)); !problem.isEmpty())
        lines << problem;
    if (stale)
        lines << msg::checkStale();
    summaryLabel->setText(lines.join(QLatin1Char('\n')));
}

QString CheckWindow::findingText(const Finding& f) const
{
    QString text = checkTitle(f.kind) + QStringLiteral("　") + findingRows(f, table_);
    if (f.kind == CheckKind::Plating)
        return text + QStringLiteral("　") + platingText(f);
    if (f.value)
        text += QStringLiteral("　") + valueText(f, f.value);
    if (f.limit)
        text += QStringLiteral("（") + msg::checkLimitWord() + QLatin1Char(' ') + valueText(f, f.limit)
            + QStringLiteral("）");
    return text;
}

void CheckWindow::choose(int index)
{
    if (index < 0 || size_t(index) >= report_.findings.size())
        return;
    const Finding& f = report_.findings[size_t(index)];
    const auto radius = [this](int row) {
        return row >= 0 && row < HoleTable::kRows ? std::max(leadingNumber(table_.row(row).diameter), 0.0) / 2
                                                  : 0.0;
    };
    std::vector<std::pair<QPointF, double>> places;
    if (f.at)
        places.push_back({QPointF((*f.at)[0], (*f.at)[1]), radius(f.rows[0])});
    if (f.other)
        places.push_back({QPointF((*f.other)[0], (*f.other)[1]), f.rows[1] >= 0 ? radius(f.rows[1]) : 0.0});
    emit findingChosen(places, findingText(f));
}

void CheckWindow::saveCsv()
{
    const QString path =
        askSavePath(dialog_, prompts_, this, msg::drillTableFilter(), QStringLiteral("csv"), drawnFiles_);
    if (path.isEmpty())
        return;
    if (const WriteResult w = writeWholeFile(path, findingsCsv(report_, table_, files_)); !w)
        prompts_.message(this, msg::cannotSave(path, w.reason), msg::title());
}

} // namespace kivotrek
