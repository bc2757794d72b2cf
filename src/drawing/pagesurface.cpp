#include "drawing/pagesurface.h"

#include "drawing/pdfmarks.h"

#include <QFontMetricsF>
#include <QPageSize>
#include <QPolygonF>

namespace kivotrek {

namespace {
QColor qcolor(Rgb c)
{
    return QColor(c.r, c.g, c.b);
}
} // namespace

PageSurface::PageSurface(QPaintDevice& device, const QSizeF& sheetTwips, double dpi)
    : sheet_(sheetTwips), dpi_(dpi)
{
    if (painter_.begin(&device))
        painter_.setRenderHint(QPainter::Antialiasing, true);
}

PageSurface::~PageSurface()
{
    if (painter_.isActive())
        painter_.end();
}

QSizeF PageSurface::sheetTwips(const QPageLayout& layout)
{
    // From millimetres: page sizes in points are rounded to whole points (A4 would be 595 x 842).
    const QRectF mm = layout.fullRect(QPageLayout::Millimeter);
    return {mm.width() * 1440.0 / 25.4, mm.height() * 1440.0 / 25.4};
}

QPageLayout PageSurface::pageLayout(int paperCode, int orientation)
{
    const QPageSize size(paperCode == 12 ? QPageSize::JisB4 : QPageSize::A4);
    return QPageLayout(
        size, orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
}

void PageSurface::dot(float x, float y, Rgb color)
{
    if (!isActive())
        return;
    if (passedOn())
        return overflow_->dot(px(x), px(y), penWidth(), color);
    const double r = penWidth() / 2.0;
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(qcolor(color));
    painter_.drawEllipse(QPointF(px(x), px(y)), r, r);
}

void PageSurface::line(float x1, float y1, float x2, float y2, Rgb color)
{
    if (!isActive())
        return;
    if (passedOn())
        return overflow_->line(px(x1), px(y1), px(x2), px(y2), penWidth(), color);
    QPen pen(qcolor(color), penWidth(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter_.setPen(pen);
    painter_.setBrush(Qt::NoBrush);
    painter_.drawLine(QPointF(px(x1), px(y1)), QPointF(px(x2), px(y2)));
}

void PageSurface::ring(float x, float y, float radius, Rgb color)
{
    if (!isActive())
        return;
    if (passedOn())
        return overflow_->ring(px(x), px(y), px(radius), penWidth(), color);
    painter_.setPen(QPen(qcolor(color), penWidth()));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawEllipse(QPointF(px(x), px(y)), px(radius), px(radius));
}

void PageSurface::polygon(const QPointF* points, int count, Rgb color, bool filled)
{
    if (!isActive() || count < 2)
        return;
    QPolygonF figure;
    for (int i = 0; i < count; ++i)
        figure << QPointF(px(roundedToFloat(points[i].x())), px(roundedToFloat(points[i].y())));
    if (passedOn())
        return overflow_->polygon(figure.constData(), count, penWidth(), color, filled);
    if (filled) {
        painter_.setPen(Qt::NoPen);
        painter_.setBrush(qcolor(color));
    } else {
        painter_.setPen(QPen(qcolor(color), penWidth(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter_.setBrush(Qt::NoBrush);
    }
    painter_.drawPolygon(figure);
}

void PageSurface::drawImage(const QImage& picture, float x, float y)
{
    if (!isActive())
        return;
    const QSizeF size = pictureSizeTwips(picture);
    painter_.drawImage(QRectF(px(x), px(y), px(float(size.width())), px(float(size.height()))), picture);
}

void PageSurface::drawText(float x, float y, const QString& text)
{
    if (!isActive() || text.isEmpty())
        return;
    QFont font = drawingFont(fontSize());
    font.setPixelSize(std::max(1, int(std::lround(fontSize() * dpi_ / 72.0))));
    painter_.setFont(font);
    painter_.setPen(qcolor(foreColor()));
    const QFontMetricsF fm(font);
    painter_.drawText(QPointF(px(x), px(y) + fm.ascent()), text);
}

float PageSurface::lineHeight() const
{
    return lineHeightTwips(fontSize(), dpi_);
}

} // namespace kivotrek
