#include "drawing/picturesurface.h"

#include <QPainter>
#include <QPolygonF>
#include <algorithm>
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
    width_ = image_.width();
    height_ = image_.height();
    bytesPerLine_ = image_.bytesPerLine();
    clear();
}

void PictureSurface::clear()
{
    image_.fill(qcolor(back_));
    cursor.x = 0.0f;
    cursor.y = 0.0f;
}

const std::vector<PictureSurface::Run>& PictureSurface::dotMask(int width)
{
    if (lastMask_ && lastMaskWidth_ == width)
        return *lastMask_; // dots come in runs of one tool
    lastMaskWidth_ = width;
    auto it = masks_.find(width);
    if (it == masks_.end()) {
        // Pixels whose centres lie within the dot. An odd width is centred on a pixel, an even
        // one on a pixel corner; offsets are from the pixel that holds the dot's centre.
        std::vector<Run> runs;
        const double r = width / 2.0;
        const double c = (width % 2) ? 0.5 : 0.0; // dot centre within the centre pixel
        const int reach = width / 2 + 1;
        for (int dy = -reach; dy <= reach; ++dy) {
            int from = 0;
            int length = 0;
            for (int dx = -reach; dx <= reach; ++dx) {
                const double ex = dx + 0.5 - c;
                const double ey = dy + 0.5 - c;
                if (ex * ex + ey * ey <= r * r + 1e-9) {
                    if (length == 0)
                        from = dx;
                    ++length;
                }
            }
            if (length > 0)
                runs.push_back({dy, from, length});
        }
        if (runs.empty())
            runs.push_back({0, 0, 1});
        it = masks_.emplace(width, std::move(runs)).first;
    }
    lastMask_ = &it->second;
    return it->second;
}

void PictureSurface::dot(float x, float y, Rgb color)
{
    const int w = penWidth();
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
    const int iw = width_;
    const int ih = height_;
    uchar* bits = image_.bits(); // once per dot: detaching is checked once
    const qsizetype stride = bytesPerLine_;
    for (const Run& run : dotMask(w)) {
        const int Y = cy + run.dy;
        if (Y < 0 || Y >= ih)
            continue;
        const int x0 = std::max(cx + run.dx, 0);
        const int x1 = std::min(cx + run.dx + run.length, iw);
        if (x0 < x1)
            std::fill(reinterpret_cast<QRgb*>(bits + Y * stride) + x0,
                reinterpret_cast<QRgb*>(bits + Y * stride) + x1, value);
    }
}

void PictureSurface::line(float x1, float y1, float x2, float y2, Rgb color)
{
    if (x1 == x2 && y1 == y2) {
        dot(x1, y1, color); // a segment of zero length still marks its point
        return;
    }
    QPainter p(&image_);
    QPen pen(qcolor(color), penWidth(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.drawLine(QPointF(toPixels(x1), toPixels(y1)), QPointF(toPixels(x2), toPixels(y2)));
}

void PictureSurface::ring(float x, float y, float radius, Rgb color)
{
    QPainter p(&image_);
    QPen pen(qcolor(color), penWidth());
    pen.setCosmetic(true);
    p.setPen(pen);
    p.drawEllipse(QPointF(toPixels(x), toPixels(y)), toPixels(radius), toPixels(radius));
}

void PictureSurface::polygon(const QPointF* points, int count, Rgb color, bool filled)
{
    if (count < 2)
        return;
    QPolygonF figure;
    for (int i = 0; i < count; ++i)
        figure << QPointF(toPixels(float(points[i].x())), toPixels(float(points[i].y())));
    QPainter p(&image_);
    if (filled) {
        p.setPen(Qt::NoPen);
        p.setBrush(qcolor(color));
    } else {
        QPen pen(qcolor(color), penWidth(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        pen.setCosmetic(true);
        p.setPen(pen);
    }
    p.drawPolygon(figure);
}

void PictureSurface::drawImage(const QImage& picture, float x, float y)
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
    p.setFont(drawingFont(fontSize()));
    p.setPen(qcolor(foreColor()));
    const QFontMetricsF fm(p.font(), &image_);
    p.drawText(QPointF(toPixels(x), toPixels(y) + fm.ascent()), text);
}

float PictureSurface::lineHeight() const
{
    return lineHeightTwips(fontSize(), dpi_);
}

} // namespace kivotrek
