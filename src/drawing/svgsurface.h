#pragma once

#include "drawing/surface.h"

#include <QByteArray>
#include <QIODevice>

namespace kivotrek {

// A surface that writes SVG, so that drawings can be checked and used elsewhere: the viewBox is
// in twips (one user unit is one twip, origin top-left); a dot is a <circle>, a segment a
// <line> with round caps, a ring a <circle> with a stroke and no fill, a figure a <polygon>, a
// text a <text> at its top-left corner, a picture an <image>; pen sizes are converted from
// device pixels at the given resolution. Elements come in drawing order.
//
// With a device, the document is written to it as it is drawn (its head at once, its elements
// in pieces, its end by finish()), so that a drawing of millions of holes is never held whole.
class SvgSurface : public Surface {
public:
    SvgSurface(float widthTwips, float heightTwips, double dpi = 96.0, QIODevice* out = nullptr);

    void clear() override;
    float width() const override { return width_; }
    float height() const override { return height_; }
    void dot(float x, float y, Rgb color) override;
    void line(float x1, float y1, float x2, float y2, Rgb color) override;
    void ring(float x, float y, float radius, Rgb color) override;
    void polygon(const QPointF* points, int count, Rgb color, bool filled) override;
    void drawImage(const QImage& picture, float x, float y) override;
    float pixelSize() const override { return static_cast<float>(1440.0 / dpi_); }

    // The whole document, when it is not written to a device.
    QByteArray document() const;
    // Writes the rest of the document to the device; false when a write to it failed.
    bool finish();

protected:
    void drawText(float x, float y, const QString& text) override;
    float lineHeight() const override;

private:
    void add(const QByteArray& element);
    void writeOut(const QByteArray& bytes);
    QByteArray head() const;
    static QByteArray tail();

    static constexpr qsizetype kChunk = qsizetype(1) << 16;
    float width_;
    float height_;
    double dpi_;
    QIODevice* out_;
    bool written_ = true; // every write to out_ took all its bytes
    QByteArray body_; // what has not gone out yet
};

} // namespace kivotrek
