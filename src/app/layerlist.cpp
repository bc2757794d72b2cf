#include "app/layerlist.h"

#include "app/mainwindow.h"
#include "common/captions.h"
#include "package/layerroles.h"

#include <QColorDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>

namespace kivotrek {

namespace {
QIcon swatch(const QColor& colour)
{
    QPixmap pixmap(14, 14);
    pixmap.fill(colour);
    QPainter p(&pixmap);
    p.setPen(QColor(0, 0, 0, 120));
    p.drawRect(0, 0, 13, 13);
    return QIcon(pixmap);
}

QString key(const QString& role, const char* what)
{
    return QStringLiteral("layers/") + role + QLatin1Char('/') + QLatin1String(what);
}
} // namespace

LayerList::LayerList(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("layerList"));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("layers"));
    list_->setColumnCount(2);
    list_->setHeaderLabels(msg::layerListColumns());
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    up_ = new QPushButton(msg::layerUpButton(), this);
    down_ = new QPushButton(msg::layerDownButton(), this);
    colour_ = new QPushButton(msg::layerColourButton(), this);
    up_->setObjectName(QStringLiteral("layerUp"));
    down_->setObjectName(QStringLiteral("layerDown"));
    colour_->setObjectName(QStringLiteral("layerColour"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(up_);
    buttons->addWidget(down_);
    buttons->addWidget(colour_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    connect(up_, &QPushButton::clicked, this, [this] { move(-1); });
    connect(down_, &QPushButton::clicked, this, [this] { move(1); });
    connect(colour_, &QPushButton::clicked, this, &LayerList::chooseColour);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem*, int) { chooseColour(); });
    connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (filling_ || column != 0)
            return;
        const size_t i = item->data(0, Qt::UserRole).toULongLong();
        styles_[i].shown = item->checkState(0) == Qt::Checked;
        remember(i);
        emit stylesChanged();
    });
}

LayerStyle LayerList::remembered(const QString& role, const LayerStyle& fallback)
{
    const QSettings settings = MainWindow::viewSettings();
    LayerStyle s = fallback;
    s.shown = settings.value(key(role, "shown"), fallback.shown).toBool();
    const QColor colour(settings.value(key(role, "colour")).toString());
    if (colour.isValid())
        s.colour = colour;
    return s;
}

void LayerList::remember(size_t i) const
{
    QSettings settings = MainWindow::viewSettings();
    settings.setValue(key(layers_[i].role, "shown"), styles_[i].shown);
    settings.setValue(key(layers_[i].role, "colour"), styles_[i].colour.name());
}

void LayerList::setLayers(const std::vector<BoardLayer>& layers, std::vector<LayerStyle> styles)
{
    layers_ = layers;
    styles_ = std::move(styles);
    styles_.resize(layers_.size());
    for (size_t i = 0; i < layers_.size(); ++i)
        styles_[i] = remembered(layers_[i].role, styles_[i]);
    // The order the user last gave the roles; roles it does not name keep their place after them.
    const QStringList order = MainWindow::viewSettings().value(QStringLiteral("layers/order")).toStringList();
    std::vector<size_t> byOrder(layers_.size());
    std::iota(byOrder.begin(), byOrder.end(), size_t(0));
    const auto rank = [&](size_t i) {
        const qsizetype at = order.indexOf(layers_[i].role);
        return at >= 0 ? int(at) : int(order.size()) + styles_[i].order;
    };
    std::stable_sort(byOrder.begin(), byOrder.end(), [&](size_t a, size_t b) { return rank(a) < rank(b); });
    for (size_t k = 0; k < byOrder.size(); ++k)
        styles_[byOrder[k]].order = int(k);
    fill();
}

void LayerList::fill()
{
    filling_ = true;
    const int current = list_->currentItem() ? list_->indexOfTopLevelItem(list_->currentItem()) : 0;
    list_->clear();
    std::vector<size_t> order(layers_.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
        [this](size_t a, size_t b) { return styles_[a].order < styles_[b].order; });
    for (const size_t i : order) {
        const BoardLayer& l = layers_[i];
        QString role = layerRoleText(l.role);
        if (l.role == QLatin1String("copper-inner") && l.copper)
            role += QStringLiteral(" L") + QString::number(*l.copper);
        auto* item = new QTreeWidgetItem({role, QFileInfo(l.name).fileName()});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, styles_[i].shown ? Qt::Checked : Qt::Unchecked);
        item->setIcon(0, swatch(styles_[i].colour));
        item->setData(0, Qt::UserRole, qulonglong(i));
        item->setToolTip(1, l.name);
        list_->addTopLevelItem(item);
    }
    if (list_->topLevelItemCount() > 0)
        list_->setCurrentItem(list_->topLevelItem(std::clamp(current, 0, list_->topLevelItemCount() - 1)));
    filling_ = false;
}

void LayerList::move(int by)
{
    QTreeWidgetItem* item = list_->currentItem();
    if (!item)
        return;
    const int at = list_->indexOfTopLevelItem(item);
    const int to = at + by;
    if (to < 0 || to >= list_->topLevelItemCount())
        return;
    const size_t a = item->data(0, Qt::UserRole).toULongLong();
    const size_t b = list_->topLevelItem(to)->data(0, Qt::UserRole).toULongLong();
    std::swap(styles_[a].order, styles_[b].order);
    fill();
    // The roles in the order shown, for the next board.
    QStringList order;
    for (int k = 0; k < list_->topLevelItemCount(); ++k) {
        const QString role = layers_[list_->topLevelItem(k)->data(0, Qt::UserRole).toULongLong()].role;
        if (!order.contains(role))
            order << role;
    }
    QSettings settings = MainWindow::viewSettings();
    settings.setValue(QStringLiteral("layers/order"), order);
    list_->setCurrentItem(list_->topLevelItem(to));
    emit stylesChanged();
}

void LayerList::chooseColour()
{
    QTreeWidgetItem* item = list_->currentItem();
    if (!item)
        return;
    const size_t i = item->data(0, Qt::UserRole).toULongLong();
    const QColor chosen = QColorDialog::getColor(styles_[i].colour, this, msg::layerColourCaption());
    if (!chosen.isValid())
        return;
    styles_[i].colour = chosen;
    item->setIcon(0, swatch(chosen));
    remember(i);
    emit stylesChanged();
}

} // namespace kivotrek
