#include "drawing/surface.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <cmath>

namespace kivotrek {

QFont drawingFont(float points)
{
    // Noto Sans CJK carries the full-width tolerance signs and Japanese product codes.
    QFont f(QStringLiteral("Noto Sans CJK JP"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points > 0 ? points : 1.0);
    return f;
}

[[gnu::noinline]] float roundedToFloat(double value)
{
    return static_cast<float>(value);
}

QSizeF pictureSizeTwips(const QImage& picture)
{
    // Whole dots per inch, as pictures name them (3780 dots per metre is 96 dpi).
    const auto dpi = [](int dotsPerMeter) {
        const long d = std::lround(dotsPerMeter * 0.0254);
        return d > 0 ? double(d) : 96.0;
    };
    return {picture.width() * 1440.0 / dpi(picture.dotsPerMeterX()),
        picture.height() * 1440.0 / dpi(picture.dotsPerMeterY())};
}

float Surface::textWidth(const QString& text) const
{
    return textWidthTwips(text, fontSize(), 1440.0 / static_cast<double>(pixelSize()));
}

float textWidthTwips(const QString& text, float points, double dpi)
{
    QImage device(1, 1, QImage::Format_RGB32);
    const int dpm = static_cast<int>(std::lround(dpi / 0.0254));
    device.setDotsPerMeterX(dpm);
    device.setDotsPerMeterY(dpm);
    const QFontMetricsF fm(drawingFont(points), &device);
    return static_cast<float>(fm.horizontalAdvance(text) * 1440.0 / dpi);
}

float lineHeightTwips(float points, double dpi)
{
    // Measured on a device of the given resolution; cached, texts come in a few sizes only.
    static QHash<QPair<float, double>, float> cache;
    const auto key = qMakePair(points, dpi);
    if (const auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    QImage device(1, 1, QImage::Format_RGB32);
    const int dpm = static_cast<int>(std::lround(dpi / 0.0254));
    device.setDotsPerMeterX(dpm);
    device.setDotsPerMeterY(dpm);
    const QFontMetricsF fm(drawingFont(points), &device);
    const float h = static_cast<float>(fm.height() * 1440.0 / dpi);
    cache.insert(key, h);
    return h;
}

} // namespace kivotrek
