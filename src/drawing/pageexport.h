#pragma once

#include "common/fileio.h"
#include "drawing/pagelayout.h"

#include <QPageLayout>
#include <QString>

namespace kivotrek {

// The printed page written to a file instead of a printer: "pdf" (one page), "svg" or "png",
// on the paper of an automatic size choice (else A4 portrait), at the resolution in dots per
// inch. The file is written whole through a temporary file, and only when the drawing was not
// cancelled: a cancelled page leaves no file.
// The sheet of a page written to a file: the paper of an automatic size choice, else A4 portrait.
QPageLayout filePageLayout(const QString& sizeText);

struct PageWrite {
    DrawResult drawn; // how far the drawing came
    WriteResult written; // whether the file was written, and if not why
};
PageWrite writePage(const QString& path, const QString& format, double dpi, const Board& board,
    const HoleTable& table, const BoardExtent& extent, const QString& sizeText, const PageFoot& foot,
    const DrawingOptions& options = {});

// The preview picture as SVG, in twips, as the preview window draws it.
PageWrite writePreviewSvg(const QString& path, const Board& board, const HoleTable& table,
    const BoardExtent& extent, const DrawingOptions& options = {});

} // namespace kivotrek
