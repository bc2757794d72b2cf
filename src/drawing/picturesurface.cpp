#include "drawing/picturesurface.h"

#include <QPainter>
#include <cmath>

namespace kivotrek {

namespace {
QColor qcolor(Rgb c)
{
    return QColor(c.r, c.g, c.b);
}
} // namespace

PictureSurface::PictureSurface(int widthTwips, int heightTwips, double dpi)
    : widthTwips_(static_cast<float>(widthTwips)), heightTwips_(static_cast<float>(heightTwips)), dpi_(dpi),
      image_(static_cast<int>(std::lround(widthTwips * dpi / 1440.0)),
          static_cast<int>(std::lround(heightTwips * dpi / 1440.0)), QImage::Format_RGB32)
{
    const int dpm = static_cast<int>(std::lround(dpi / 0.0254));
    image_.setDotsPerMeterX(dpm);
    image_.setDotsPerMeterY(dpm);
    Cls();
}

void PictureSurface::Cls()
{
    image_.fill(qcolor(back_));
    CurrentX = 0.0f;
    CurrentY = 0.0f;
}

const std::vector<std::pair<int, int>>& PictureSurface::dotMask(int width)
{
    auto it = masks_.find(width);
    if (it != masks_.end())
        return it->second;
    // Pixels whose centres lie within the dot. An odd width is centred on a pixel, an even one
    // on a pixel corner; offsets are from the pixel that holds the dot's centre.
    std::vector<std::pair<int, int>> mask;
    const double r = width / 2.0;
    const double c = (width % 2) ? 0.5 : 0.0; // dot centre within the centre pixel
    const int reach = width / 2 + 1;
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            const double ex = dx + 0.5 - c;
            const double ey = dy + 0.5 - c;
            if (ex * ex + ey * ey <= r * r + 1e-9)
                mask.emplace_back(dx, dy);
        }
    }
    if (mask.empty())
        mask.emplace_back(0, 0);
    return masks_.emplace(width, std::move(mask)).first->second;
}

void PictureSurface::PSet(float x, float y, Rgb color)
{
    const int w = DrawWidth();
    const double px = toPixels(x);
    const double py = toPixels(y);
    // Odd widths centre on the pixel holding the point; even ones on its nearest corner.
    const double fx = (w % 2) ? std::floor(px) : std::floor(px + 0.5);
    const double fy = (w % 2) ? std::floor(py) : std::floor(py + 0.5);
    if (!std::isfinite(fx) || !std::isfinite(fy) || std::abs(fx) > 1e8 || std::abs(fy) > 1e8)
        return;
    const int cx = static_cast<int>(fx);
    const int cy = static_cast<int>(fy);
    const QRgb value = qRgb(color.r, color.g, color.b);
    const int iw = image_.width();
    const int ih = image_.height();
    for (const auto& [dx, dy] : dotMask(w)) {
        const int X = cx + dx;
        const int Y = cy + dy;
        if (X >= 0 && Y >= 0 && X < iw && Y < ih)
            reinterpret_cast<QRgb*>(image_.scanLine(Y))[X] = value;
    }
}

void PictureSurface::Line(float x1, float y1, float x2, float y2, Rgb color)
{
    if (x1 == x2 && y1 == y2) {
        PSet(x1, y1, color); // a segment of zero length still marks its point
        return;
    }
    QPainter p(&image_);
    QPen pen(qcolor(color), DrawWidth(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.drawLine(QPointF(toPixels(x1), toPixels(y1)), QPointF(toPixels(x2), toPixels(y2)));
}

void PictureSurface::PaintPicture(const QImage& picture, float x, float y)
{
    const QSizeF size = pictureSizeTwips(picture);
    QPainter p(&image_);
    p.drawImage(
        QRectF(toPixels(x), toPixels(y), toPixels(float(size.width())), toPixels(float(size.height()))),
        picture);
}

void PictureSurface::drawText(float x, float y, const QString& text)
{
    QPainter p(&image_);
    p.setFont(drawingFont(FontSize()));
    p.setPen(qcolor(ForeColor()));
    const QFontMetricsF fm(p.font(), &image_);
    p.drawText(QPointF(toPixels(x), toPixels(y) + fm.ascent()), text);
}

float PictureSurface::lineHeight() const
{
    return lineHeightTwips(FontSize(), dpi_);
}

} // namespace kivotrek
