#include "drawing/pageexport.h"

#include "common/fileio.h"
#include "drawing/bitmapexport.h"
#include "drawing/pagesurface.h"
#include "drawing/previewlayout.h"
#include "drawing/svgsurface.h"

#include <QBuffer>
#include <QPdfWriter>
#include <cmath>

namespace kivotrek {

QPageLayout filePageLayout(const QString& sizeText)
{
    const PaperChoice paper = automaticPaper(sizeText).value_or(PaperChoice {9, 1});
    return PageSurface::pageLayout(paper.paper, paper.orientation);
}

PageWrite writePage(const QString& path, const QString& format, double dpi, const Board& board,
    const HoleTable& table, const BoardExtent& extent, const QString& sizeText, const PageFoot& foot,
    const DrawingOptions& options)
{
    const QPageLayout layout = filePageLayout(sizeText);
    const QSizeF sheet = PageSurface::sheetTwips(layout);
    BasicRandom random; // a page of its own: the first colour of a run
    const auto cancelled = [](const DrawResult& r) { return r.ending == DrawResult::Ending::Cancelled; };

    if (format == QLatin1String("svg")) {
        SvgSurface svg(float(sheet.width()), float(sheet.height()), dpi);
        const DrawResult drawn = printDrawing(board, table, extent, sizeText, foot, svg, random, options);
        return {drawn, cancelled(drawn) ? WriteResult() : writeWholeFile(path, svg.document())};
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
    // One PDF page, made in memory and then written whole through a temporary file: the PDF
    // writer ignores a short write (a disk that fills up mid-page), which would leave a
    // truncated document reported as written.
    QByteArray document;
    QBuffer buffer(&document);
    buffer.open(QIODevice::WriteOnly);
    DrawResult drawn;
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageLayout(layout);
        pdf.setResolution(int(dpi));
        pdf.setCreator(QStringLiteral("Kivotrek"));
        PageSurface page(pdf, sheet, dpi);
        if (!page.isActive())
            return {DrawResult(), WriteResult::failed(QString())};
        drawn = printDrawing(board, table, extent, sizeText, foot, page, random, options);
        if (!page.end() || cancelled(drawn))
            return {drawn, WriteResult()};
    }
    return {drawn, writeWholeFile(path, document)};
}

PageWrite writePreviewSvg(const QString& path, const Board& board, const HoleTable& table,
    const BoardExtent& extent, const DrawingOptions& options)
{
    SvgSurface svg(kPreviewWidthTwips, kPreviewHeightTwips, 96.0);
    const DrawResult drawn = drawPreview(board, table, extent, svg, options);
    return {drawn,
        drawn.ending == DrawResult::Ending::Cancelled ? WriteResult() : writeWholeFile(path, svg.document())};
}

} // namespace kivotrek
