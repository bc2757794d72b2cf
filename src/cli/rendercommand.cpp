#include "cli/clicommon.h"
#include "drawing/bitmapexport.h"
#include "drawing/pagelayout.h"
#include "drawing/pagesurface.h"
#include "drawing/picturesurface.h"
#include "drawing/previewlayout.h"
#include "drawing/svgsurface.h"
#include "gerber/rs274xreader.h"
#include "gerber/standardreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPdfWriter>
#include <QSaveFile>
#include <cmath>
#include <cstdio>
#include <memory>
#include <utility>

namespace kivotrek::cli {

namespace {
void printErr(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return false;
    return f.commit();
}
std::pair<DrawResult, bool> drawPreview(
    const RenderOptions& o, const HoleTable& table, const BoardExtent& extent, const QString& suffix)
{
    if (suffix == QLatin1String("svg")) {
        SvgSurface svg(kPreviewWidthTwips, kPreviewHeightTwips, 96.0);
        const DrawResult drawn = DrawPreview(o.gerber, table, extent, svg);
        return {drawn, writeFile(o.out, svg.document())};
    }
    PictureSurface picture(kPreviewWidthTwips, kPreviewHeightTwips, 96.0);
    const DrawResult drawn = DrawPreview(o.gerber, table, extent, picture);
    return {drawn, savePicture(picture.Image(), o.out, suffix == QLatin1String("png") ? "PNG" : "BMP")};
}

// The page: the paper of an automatic size choice, else A4 portrait.
std::pair<DrawResult, bool> drawPage(
    const RenderOptions& o, const HoleTable& table, const BoardExtent& extent, const QString& suffix)
{
    const PaperChoice paper = automaticPaper(o.pageSize).value_or(PaperChoice {9, 1});
    const QPageLayout layout = PageSurface::pageLayout(paper.paper, paper.orientation);
    const QSizeF sheet = PageSurface::sheetTwips(layout);
    PageFoot foot;
    foot.productCode = o.productCode;
    const QString logo = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("image.bmp"));
    if (QFileInfo::exists(logo))
        foot.logo.load(logo);
    BasicRandom random; // a new run: the first page's colour

    if (suffix == QLatin1String("svg")) {
        SvgSurface svg(float(sheet.width()), float(sheet.height()), o.dpi);
        const DrawResult drawn = PrintDrawing(o.gerber, table, extent, o.pageSize, foot, svg, random);
        return {drawn, writeFile(o.out, svg.document())};
    }
    if (suffix == QLatin1String("png")) {
        QImage image(QSizeF(sheet * o.dpi / 1440.0).toSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        const int dpm = static_cast<int>(std::lround(o.dpi / 0.0254));
        image.setDotsPerMeterX(dpm);
        image.setDotsPerMeterY(dpm);
        DrawResult drawn;
        {
            PageSurface page(image, sheet, o.dpi);
            drawn = PrintDrawing(o.gerber, table, extent, o.pageSize, foot, page, random);
        }
        return {drawn, savePicture(image, o.out, "PNG")};
    }
    // One PDF page, written whole through a temporary file.
    QSaveFile file(o.out);
    if (!file.open(QIODevice::WriteOnly))
        return {{}, false};
    DrawResult drawn;
    {
        QPdfWriter pdf(&file);
        pdf.setPageLayout(layout);
        pdf.setResolution(o.dpi);
        pdf.setCreator(QStringLiteral("Kivotrek"));
        PageSurface page(pdf, sheet, o.dpi);
        if (!page.isActive())
            return {{}, false};
        drawn = PrintDrawing(o.gerber, table, extent, o.pageSize, foot, page, random);
        if (!page.end())
            return {drawn, false};
    }
    return {drawn, file.commit()};
}
} // namespace

int runRender(const QStringList& args)
{
    RenderOptions o;
    if (const int bad = parseRenderOptions(args, o))
        return bad;

    // The program's start-up state, the read the menu command would run, then the settings.
    HoleTable table;
    BoardExtent extent;
    const MessageSink toStderr = [](const QString& m) { printErr(m); };
    const ReadResult read = o.rs274x ? readRs274xGerber(o.gerber, table, extent, toStderr)
                                     : readStandardGerber(o.gerber, table, extent, toStderr);
    if (read.ending == ReadEnding::Unreadable)
        return kUnreadable;
    if (!o.settings.isEmpty()) {
        if (const int failed = loadSettingsInto(o.settings, table))
            return failed;
    }
    if (!o.page && !table.DataChack(toStderr)) // printing does not check the table
        return kIncomplete;

    const QString suffix = QFileInfo(o.out).suffix().toLower();
    const auto written = o.page ? drawPage(o, table, extent, suffix) : drawPreview(o, table, extent, suffix);
    if (!written.second) {
        printErr(QStringLiteral("kivotrek-cli: cannot write ") + o.out);
        return kUnreadable;
    }
    const DrawResult drawn = written.first;
    switch (drawn.ending) {
    case DrawResult::Ending::Complete: return kDone;
    case DrawResult::Ending::Unreadable:
        printErr(QStringLiteral("kivotrek-cli: cannot read ") + o.gerber);
        return kUnreadable;
    case DrawResult::Ending::NoExtent:
        printErr(QStringLiteral("kivotrek-cli: drawing stopped: the board extent is 0, nothing drawn"));
        return kStopped;
    case DrawResult::Ending::Stopped:
        printErr(QStringLiteral("kivotrek-cli: drawing stopped at line %1").arg(drawn.line.value_or(0)));
        return kStopped;
    }
    return kStopped;
}

} // namespace kivotrek::cli
