#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cmath>

namespace kivotrek {

// Window layouts are designed in twips (1440 per inch); widgets are placed in pixels at the
// screen's logical resolution.
class Twips {
public:
    explicit Twips(double dpi = 96.0) : dpi_(dpi) { }

    int px(int twips) const { return static_cast<int>(std::lround(twips * dpi_ / 1440.0)); }
    QPoint point(int x, int y) const { return {px(x), px(y)}; }
    QSize size(int w, int h) const { return {px(w), px(h)}; }
    QRect rect(int x, int y, int w, int h) const { return {px(x), px(y), px(w), px(h)}; }
    double dpi() const { return dpi_; }

private:
    double dpi_;
};

} // namespace kivotrek
