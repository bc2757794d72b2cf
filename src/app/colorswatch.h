#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>

namespace kivotrek {

// A row's colour value (0x00BBGGRR, red in the low byte) as a QColor, and back.
QColor toQColor(uint32_t fillColor);
uint32_t fromQColor(const QColor& c);

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
