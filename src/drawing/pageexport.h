#pragma once

#include "common/fileio.h"
#include "drawing/pagelayout.h"

#include <QPageLayout>
#include <QString>

namespace kivotrek {

// The sheet of a page written to a file: the paper of an automatic size choice, else A4 portrait.
QPageLayout filePageLayout(const QString& sizeText);

struct PageWrite {
    DrawResult drawn; // how far the drawing came
    WriteResult written; // whether the file was written, and if not why
};
// How many marks (dots, segments, rings, figures) a PDF page holds in Qt's own content stream;
// the rest are written apart and joined to the page (see PdfMarks).
inline constexpr qint64 kPdfMarksInPage = 100000;

// The printed page written to a file instead of a printer: "pdf" (one page), "svg" or "png",
// on the paper of an automatic size choice (else A4 portrait), at the resolution in dots per
// inch. The file is written through a temporary file and renamed into place, and only when the
// drawing was not cancelled: a cancelled page leaves no file.
PageWrite writePage(const QString& path, const QString& format, double dpi, const Board& board,
    const HoleTable& table, const BoardExtent& extent, const QString& sizeText, const PageFoot& foot,
    const DrawingOptions& options = {}, qint64 pdfMarksInPage = kPdfMarksInPage);

// The preview picture as SVG, in twips, as the preview window draws it.
PageWrite writePreviewSvg(const QString& path, const Board& board, const HoleTable& table,
    const BoardExtent& extent, const DrawingOptions& options = {});

} // namespace kivotrek
