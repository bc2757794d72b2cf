#pragma once

// The marks of a large PDF page written by us rather than by Qt's PDF writer. That writer keeps
// a page's whole content in memory, about 500 bytes a hole, until the page ends: a board of
// millions of holes would need gigabytes. Past the first marks of a page, its dots, segments,
// rings and figures are written here instead as PDF drawing operators, compressed, into a
// temporary file beside the output; when the page has ended, they are joined to the writer's
// document as an incremental update: the page's contents become [its own, these marks]. Texts
// and pictures stay the writer's (they never come in millions).

#include "common/fileio.h"
#include "drawing/surface.h"

#include <QByteArray>
#include <QPointF>
#include <QTemporaryFile>
#include <memory>

namespace kivotrek {

class PdfMarks {
public:
    // Positions and pen widths in the page's device pixels (dpi of them to the inch), from the
    // top-left corner, y down, as the writer's painter takes them; the page is heightPoints
    // high. The temporary file goes into the given folder.
    PdfMarks(double dpi, double heightPoints, const QString& folder);
    ~PdfMarks();
    PdfMarks(const PdfMarks&) = delete;
    PdfMarks& operator=(const PdfMarks&) = delete;

    // A filled round spot of the diameter, a segment with round ends, an open circle, a closed
    // figure filled (even-odd, as the painter fills it) or outlined with round corners.
    void dot(double x, double y, double diameter, Rgb color);
    void line(double x1, double y1, double x2, double y2, double width, Rgb color);
    void ring(double x, double y, double radius, double width, Rgb color);
    void polygon(const QPointF* points, int count, double width, Rgb color, bool filled);

    // How many marks came here.
    qint64 count() const { return count_; }
    // Writes the writer's document with these marks joined to its page to out; false with the
    // reason when the marks could not be kept or the document is not one this joins to.
    WriteResult joinTo(const QByteArray& document, QIODevice& out);

private:
    void start();
    void strokeColor(Rgb c);
    void fillColor(Rgb c);
    void lineWidth(double w);
    void point(double x, double y);
    void add(const char* text);
    void deflateOut(bool finish);

    struct Deflater;
    std::unique_ptr<Deflater> zip_;
    double dpi_;
    double height_;
    QString folder_;
    std::unique_ptr<QTemporaryFile> file_;
    QByteArray text_; // operators not yet compressed
    QString failure_;
    qint64 count_ = 0;
    qint64 compressed_ = 0;
    bool haveStroke_ = false, haveFill_ = false, haveWidth_ = false;
    Rgb stroke_ {}, fill_ {};
    double width_ = 0;
};

} // namespace kivotrek
