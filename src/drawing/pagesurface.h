#pragma once

#include "drawing/surface.h"

#include <QPageLayout>
#include <QPainter>

class QPagedPaintDevice;

namespace kivotrek {

class PdfMarks;

// A printed page on any paint device (a printer, a PDF writer, an image): positions are twips
// from the sheet's top-left corner, pens are device pixels of the device's resolution.
class PageSurface : public Surface {
public:
    // The device must already have its paper, orientation and resolution, and draw on the
    // whole sheet (full page). Nothing is drawn when it cannot be opened (isActive()).
    PageSurface(QPaintDevice& device, const QSizeF& sheetTwips, double dpi);
    ~PageSurface() override;

    bool isActive() const { return painter_.isActive(); }
    // Past the first `after` of them, dots, segments, rings and figures go to marks instead of
    // the painter: a PDF page of millions of holes is never held in memory.
    void passMarksOn(PdfMarks* marks, qint64 after)
    {
        overflow_ = marks;
        direct_ = after;
    }
    // Ends the page and hands it on; false when the device failed.
    bool end() { return painter_.end(); }

    void clear() override { }
    float width() const override { return float(sheet_.width()); }
    float height() const override { return float(sheet_.height()); }
    void dot(float x, float y, Rgb color) override;
    void line(float x1, float y1, float x2, float y2, Rgb color) override;
    void ring(float x, float y, float radius, Rgb color) override;
    void polygon(const QPointF* points, int count, Rgb color, bool filled) override;
    void drawImage(const QImage& picture, float x, float y) override;
    float pixelSize() const override { return static_cast<float>(1440.0 / dpi_); }

    // The sheet of a page layout in twips (A4 portrait: 11905.5 x 16837.8, reported 11906 x 16838).
    static QSizeF sheetTwips(const QPageLayout& layout);
    // Paper code 9 is A4, 12 JIS B4; orientation 1 portrait, 2 landscape.
    static QPageLayout pageLayout(int paperCode, int orientation);

protected:
    void drawText(float x, float y, const QString& text) override;
    float lineHeight() const override;

private:
    double px(float twips) const { return twips * dpi_ / 1440.0; }
    // True when this mark goes to the marks passed on.
    bool passedOn() { return overflow_ && drawn_++ >= direct_; }

    QPainter painter_;
    QSizeF sheet_;
    double dpi_;
    PdfMarks* overflow_ = nullptr;
    qint64 direct_ = 0;
    qint64 drawn_ = 0;
};

// A page that draws nothing: the same size, pixel and text metrics as a real page, to find out
// whether a drawing will complete before a print job is started.
class ProbeSurface : public Surface {
public:
    ProbeSurface(const QSizeF& sheetTwips, double dpi) : sheet_(sheetTwips), dpi_(dpi) { }

    void clear() override { }
    float width() const override { return float(sheet_.width()); }
    float height() const override { return float(sheet_.height()); }
    void dot(float, float, Rgb) override { }
    void line(float, float, float, float, Rgb) override { }
    void ring(float, float, float, Rgb) override { }
    void polygon(const QPointF*, int, Rgb, bool) override { }
    void drawImage(const QImage&, float, float) override { }
    float pixelSize() const override { return static_cast<float>(1440.0 / dpi_); }

protected:
    void drawText(float, float, const QString&) override { }
    float lineHeight() const override { return lineHeightTwips(fontSize(), dpi_); }

private:
    QSizeF sheet_;
    double dpi_;
};

} // namespace kivotrek
