#include "app/tabcontrol.h"

#include <QFrame>
#include <QTabBar>

namespace kivotrek {

TabControl::TabControl(const QStringList& captions, QWidget* parent)
    : QWidget(parent), bar_(new QTabBar(this))
{
    for (int p = 0; p < kPages; ++p) {
        QWidget* page = new QWidget(this);
        page->setObjectName(QStringLiteral("tableTabs_page%1").arg(p));
        auto* panel = new QFrame(page);
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setAutoFillBackground(true);
        panel->lower();
        pages_[static_cast<size_t>(p)] = page;
        panels_[static_cast<size_t>(p)] = panel;
        bar_->addTab(captions.value(p));
    }
    bar_->setFocusPolicy(Qt::NoFocus); // the Tab key walks the table fields only
    bar_->setDrawBase(false);
    connect(bar_, &QTabBar::currentChanged, this, &TabControl::setCurrentIndex);
    setCurrentIndex(0);
}

int TabControl::currentIndex() const
{
    return bar_->currentIndex();
}

QString TabControl::tabText(int p) const
{
    return bar_->tabText(p);
}

int TabControl::pageOf(const QWidget* w) const
{
    for (int p = 0; p < kPages; ++p) {
        if (w && page(p)->isAncestorOf(w))
            return p;
    }
    return -1;
}

void TabControl::setCurrentIndex(int p)
{
    if (p < 0 || p >= kPages)
        return;
    emit aboutToShow(p);
    if (bar_->currentIndex() != p)
        bar_->setCurrentIndex(p); // comes back here through currentChanged
    for (int i = 0; i < kPages; ++i)
        page(i)->setVisible(i == p);
    bar_->raise();
}

void TabControl::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    const int barHeight = bar_->sizeHint().height();
    bar_->setGeometry(0, 0, width(), barHeight);
    for (int p = 0; p < kPages; ++p) {
        page(p)->setGeometry(0, 0, width(), height());
        panels_[static_cast<size_t>(p)]->setGeometry(0, barHeight - 1, width(), height() - barHeight + 1);
    }
}

} // namespace kivotrek
