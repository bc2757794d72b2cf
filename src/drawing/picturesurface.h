#pragma once

#include "drawing/surface.h"

#include <QImage>
#include <QPainter>
#include <optional>
#include <unordered_map>
#include <vector>

namespace kivotrek {

// A surface that keeps its picture in a QImage: the preview picture and PNG/BMP output.
// Pens are device pixels; a dot is drawn from a cached round mask of its width, so a million
// holes stamp pixels instead of filling a million ellipses.
class PictureSurface : public Surface {
public:
    // Size in twips at a resolution in dots per inch.
    PictureSurface(int widthTwips, int heightTwips, double dpi = 96.0);
    ~PictureSurface() override;
    PictureSurface(const PictureSurface&) = delete;
    PictureSurface& operator=(const PictureSurface&) = delete;

    void clear() override;
    float width() const override { return widthTwips_; }
    float height() const override { return heightTwips_; }
    void dot(float x, float y, Rgb color) override;
    void line(float x1, float y1, float x2, float y2, Rgb color) override;
    void ring(float x, float y, float radius, Rgb color) override;
    void polygon(const QPointF* points, int count, Rgb color, bool filled) override;
    void drawImage(const QImage& picture, float x, float y) override;
    // Drawn once into a stamp centred on a pixel, then placed on the pixel that holds (x, y).
    void stamp(float x, float y, quint64 key, int reach,
        const std::function<void(Surface&, float, float)>& draw) override;
    bool placeStamp(float x, float y, quint64 key) override;
    float pixelSize() const override { return static_cast<float>(1440.0 / dpi_); }

    // The picture as drawn so far.
    const QImage& image() const
    {
        endPainting();
        return image_;
    }
    // The picture to paint on with a painter of one's own (the board view's layers).
    QImage& pixels()
    {
        endPainting();
        return image_;
    }
    Rgb backColor() const { return back_; }
    void setBackColor(Rgb c) { back_ = c; }

    // Device pixel of a position in twips.
    double toPixels(float twips) const { return twips * dpi_ / 1440.0; }

protected:
    void drawText(float x, float y, const QString& text) override;
    float lineHeight() const override;

private:
    // A dot as horizontal runs of pixels: row offset, first column offset, length.
    struct Run {
        int dy, dx, length;
    };
    const std::vector<Run>& dotMask(int width);
    // Fills the runs with the colour, their offsets from the pixel (cx, cy).
    void fillRuns(const std::vector<Run>& runs, int cx, int cy, QRgb value);
    struct Stamp {
        std::vector<Run> runs;
        QRgb value = 0;
    };
    QPainter& painter();
    void endPainting() const;

    float widthTwips_;
    float heightTwips_;
    double dpi_;
    QImage image_;
    mutable std::optional<QPainter> painter_; // open while marks are drawn
    int width_ = 0; // the picture's pixels and row length, read for every dot
    int height_ = 0;
    qsizetype bytesPerLine_ = 0;
    Rgb back_ {255, 255, 255};
    std::unordered_map<int, std::vector<Run>> masks_;
    std::unordered_map<quint64, Stamp> stamps_;
    quint64 lastStampKey_ = 0;
    const Stamp* lastStamp_ = nullptr; // marks come in runs of one row
    int lastMaskWidth_ = 0;
    const std::vector<Run>* lastMask_ = nullptr;
};

} // namespace kivotrek
