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

PictureSurface::~PictureSurface()
{
    endPainting();
}

QPainter& PictureSurface::painter()
{
    // One painter for the whole drawing: opening one for every mark cost more than the mark.
    // Each mark sets the pen and brush it draws with; dots are stamped into the pixels beside it.
    if (!painter_)
        painter_.emplace(&image_);
    return *painter_;
}

void PictureSurface::endPainting() const
{
    painter_.reset();
}

void PictureSurface::clear()
{
    endPainting();
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
    fillRuns(dotMask(w), cx, cy, qRgb(color.r, color.g, color.b));
}

void PictureSurface::fillRuns(const std::vector<Run>& runs, int cx, int cy, QRgb value)
{
    const int iw = width_;
    const int ih = height_;
    uchar* bits = image_.bits(); // once per mark: detaching is checked once
    const qsizetype stride = bytesPerLine_;
    for (const Run& run : runs) {
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

bool PictureSurface::placeStamp(float x, float y, quint64 key)
{
    if (!lastStamp_ || lastStampKey_ != key) {
        const auto it = stamps_.find(key);
        if (it == stamps_.end())
            return false;
        lastStampKey_ = key;
        lastStamp_ = &it->second;
    }
    const double px = std::floor(toPixels(x));
    const double py = std::floor(toPixels(y));
    if (!std::isfinite(px) || !std::isfinite(py) || std::abs(px) > 1e8 || std::abs(py) > 1e8)
        return true; // nowhere near the picture
    fillRuns(lastStamp_->runs, int(px), int(py), lastStamp_->value);
    return true;
}

void PictureSurface::stamp(
    float x, float y, quint64 key, int reach, const std::function<void(Surface&, float, float)>& draw)
{
    const double px = std::floor(toPixels(x));
    const double py = std::floor(toPixels(y));
    if (!std::isfinite(px) || !std::isfinite(py) || std::abs(px) > 1e8 || std::abs(py) > 1e8 || reach < 0
        || reach > 1024)
        return draw(*this, x, y); // nowhere near the picture, or too large to keep
    auto it = stamps_.find(key);
    if (it == stamps_.end()) {
        // Drawn once on a picture of its own, centred on the middle of its centre pixel, onto a
        // background it does not use; each pixel it changed is the stamp's (one colour, no
        // smoothing of edges).
        const int side = 2 * reach + 1;
        const double twips = 1440.0 / dpi_;
        PictureSurface own(int(std::ceil(side * twips)), int(std::ceil(side * twips)), dpi_);
        Stamp made;
        for (const Rgb back : {Rgb {255, 255, 255}, Rgb {0, 0, 0}}) {
            own.setBackColor(back);
            own.clear();
            own.setPenWidth(penWidth());
            draw(own, float((reach + 0.5) * twips), float((reach + 0.5) * twips));
            const QImage& drawn = own.image();
            const QRgb background = qRgb(back.r, back.g, back.b);
            made = Stamp();
            bool mixed = false; // more than one colour: drawn over its background colour
            for (int row = 0; row < drawn.height(); ++row) {
                const auto* line = reinterpret_cast<const QRgb*>(drawn.constScanLine(row));
                for (int col = 0; col < drawn.width(); ++col) {
                    if (line[col] == background)
                        continue;
                    if (!made.runs.empty() && made.value != line[col])
                        mixed = true;
                    made.value = line[col];
                    Run& last = made.runs.empty() ? made.runs.emplace_back(Run {row - reach, col - reach, 0})
                                                  : made.runs.back();
                    if (last.dy == row - reach && last.dx + last.length == col - reach)
                        ++last.length;
                    else
                        made.runs.push_back({row - reach, col - reach, 1});
                }
            }
            if (!mixed && !made.runs.empty())
                break; // else the figure's colour was the background's, or it was drawn over it
        }
        it = stamps_.emplace(key, std::move(made)).first;
    }
    fillRuns(it->second.runs, int(px), int(py), it->second.value);
}

void PictureSurface::line(float x1, float y1, float x2, float y2, Rgb color)
{
    if (x1 == x2 && y1 == y2) {
        dot(x1, y1, color); // a segment of zero length still marks its point
        return;
    }
    QPainter& p = painter();
    QPen pen(qcolor(color), penWidth(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.drawLine(QPointF(toPixels(x1), toPixels(y1)), QPointF(toPixels(x2), toPixels(y2)));
}

void PictureSurface::ring(float x, float y, float radius, Rgb color)
{
    QPainter& p = painter();
    QPen pen(qcolor(color), penWidth());
    pen.setCosmetic(true);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(toPixels(x), toPixels(y)), toPixels(radius), toPixels(radius));
}

void PictureSurface::polygon(const QPointF* points, int count, Rgb color, bool filled)
{
    if (count < 2)
        return;
    QPolygonF figure;
    for (int i = 0; i < count; ++i)
        figure << QPointF(toPixels(roundedToFloat(points[i].x())), toPixels(roundedToFloat(points[i].y())));
    QPainter& p = painter();
    if (filled) {
        p.setPen(Qt::NoPen);
        p.setBrush(qcolor(color));
    } else {
        QPen pen(qcolor(color), penWidth(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        pen.setCosmetic(true);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
    }
    p.drawPolygon(figure);
}

void PictureSurface::drawImage(const QImage& picture, float x, float y)
{
    const QSizeF size = pictureSizeTwips(picture);
    painter().drawImage(
        QRectF(toPixels(x), toPixels(y), toPixels(float(size.width())), toPixels(float(size.height()))),
        picture);
}

void PictureSurface::drawText(float x, float y, const QString& text)
{
    QPainter& p = painter();
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
