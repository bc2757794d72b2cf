#pragma once

#include <QWidget>
#include <array>

class QTabBar;
class QFrame;

namespace kivotrek {

// A tab control whose pages cover its whole area, tab strip included, so that controls are
// placed on a page in the control's own coordinates, as the window layout gives them.
class TabControl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPages = 3;

    explicit TabControl(const QStringList& captions, QWidget* parent = nullptr);

    QWidget* page(int p) const { return pages_.at(static_cast<size_t>(p)); }
    int currentIndex() const;
    QString tabText(int p) const;
    int pageOf(const QWidget* w) const; // -1 when w lies on no page

public slots:
    void setCurrentIndex(int p);

signals:
    // Before page p is shown, each time: its content can still be made.
    void aboutToShow(int p);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QTabBar* bar_;
    std::array<QWidget*, kPages> pages_ {};
    std::array<QFrame*, kPages> panels_ {};
};

} // namespace kivotrek
