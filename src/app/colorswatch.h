#pragma once

#include <QColor>
#include <QWidget>

namespace kivotrek {

// A filled circle in a row's colour with a white outline.
class ColorSwatch : public QWidget {
    Q_OBJECT
public:
    explicit ColorSwatch(QWidget* parent = nullptr) : QWidget(parent) { }

    QColor fillColor() const { return color_; }
    void setFillColor(const QColor& c)
    {
        color_ = c;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor color_ = Qt::black;
};

} // namespace kivotrek
