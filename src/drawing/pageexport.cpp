#include "drawing/pageexport.h"

#include "common/fileio.h"
#include "drawing/bitmapexport.h"
#include "drawing/pagesurface.h"
#include "drawing/pdfmarks.h"
#include "drawing/previewlayout.h"
#include "drawing/svgsurface.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPdfWriter>
#include <cmath>

namespace kivotrek {

namespace {
// A drawing cancelled, or of a file that could not be read again, leaves no file.
bool cancelled(const DrawResult& r)
{
    return r.ending == DrawResult::Ending::Cancelled || r.ending == DrawResult::Ending::Unreadable;
}

// An SVG document drawn straight into its file: a drawing of millions of holes is never held.
// A cancelled drawing leaves no file.
template <typename Draw>
PageWrite streamSvg(const QString& path, float widthTwips, float heightTwips, double dpi, Draw draw)
{
    StreamedFile file(path);
    if (!file.begin())
        return {DrawResult(), WriteResult::failed(file.failure())};
    SvgSurface svg(widthTwips, heightTwips, dpi, &file);
    const DrawResult drawn = draw(svg);
    if (cancelled(drawn))
        return {drawn, WriteResult()};
    svg.finish();
    return {drawn, file.commit()};
}
} // namespace

QPageLayout filePageLayout(const QString& sizeText)
{
    const PaperChoice paper = automaticPaper(sizeText).value_or(PaperChoice {9, 1});
    return PageSurface::pageLayout(paper.paper, paper.orientation);
}

PageWrite writePage(const QString& path, const QString& format, double dpi, const Board& board,
    const HoleTable& table, const BoardExtent& extent, const QString& sizeText, const PageFoot& foot,
    const DrawingOptions& options, qint64 pdfMarksInPage)
{
    const QPageLayout layout = filePageLayout(sizeText);
    const QSizeF sheet = PageSurface::sheetTwips(layout);
    BasicRandom random; // a page of its own: the first colour of a run

    if (format == QLatin1String("svg")) {
        return streamSvg(path, float(sheet.width()), float(sheet.height()), dpi, [&](SvgSurface& svg) {
            return printDrawing(board, table, extent, sizeText, foot, svg, random, options);
        });
    }
    if (format == QLatin1String("png")) {
        QImage image(QSizeF(sheet * dpi / 1440.0).toSize(), QImage::Format_RGB32);
        if (image.isNull())
            return {DrawResult(), WriteResult::failed(QStringLiteral("out of memory"))};
        image.fill(Qt::white);
        const int dpm = static_cast<int>(std::lround(dpi / 0.0254));
        image.setDotsPerMeterX(dpm);
        image.setDotsPerMeterY(dpm);
        DrawResult drawn;
        {
            PageSurface page(image, sheet, dpi);
            drawn = printDrawing(board, table, extent, sizeText, foot, page, random, options);
        }
        return {drawn, cancelled(drawn) ? WriteResult() : savePicture(image, path, "PNG")};
    }
    // One PDF page. Qt's PDF writer keeps the page's content in memory until the page ends, and
    // does not look at what its writes return: the page is made in memory, its marks past the
    // first 100,000 kept apart in a file of their own, and the whole written through a
    // StreamedFile, which notes a failed write and leaves the old file until every byte is out.
    QByteArray document;
    QBuffer buffer(&document);
    buffer.open(QIODevice::WriteOnly);
    PdfMarks apart(dpi, layout.fullRectPoints().height(), QFileInfo(path).absolutePath());
    DrawResult drawn;
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageLayout(layout);
        pdf.setResolution(int(dpi));
        pdf.setCreator(QStringLiteral("Kivotrek"));
        PageSurface page(pdf, sheet, dpi);
        if (!page.isActive())
            return {DrawResult(), WriteResult::failed(QString())};
        page.passMarksOn(&apart, pdfMarksInPage);
        drawn = printDrawing(board, table, extent, sizeText, foot, page, random, options);
        if (!page.end() || cancelled(drawn))
            return {drawn, WriteResult()};
    }
    StreamedFile file(path);
    if (!file.begin())
        return {drawn, WriteResult::failed(file.failure())};
    const WriteResult joined = apart.joinTo(document, file);
    if (!joined)
        return {drawn, file.failure().isEmpty() ? joined : WriteResult::failed(file.failure())};
    return {drawn, file.commit()};
}

PageWrite writePreviewSvg(const QString& path, const Board& board, const HoleTable& table,
    const BoardExtent& extent, const DrawingOptions& options)
{
    return streamSvg(path, kPreviewWidthTwips, kPreviewHeightTwips, 96.0,
        [&](SvgSurface& svg) { return drawPreview(board, table, extent, svg, options); });
}

} // namespace kivotrek
