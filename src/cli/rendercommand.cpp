#include "cli/clicommon.h"
#include "drawing/bitmapexport.h"
#include "drawing/picturesurface.h"
#include "drawing/previewlayout.h"
#include "drawing/svgsurface.h"
#include "gerber/rs274xreader.h"
#include "gerber/standardreader.h"

#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>
#include <memory>

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
    if (!o.page && !table.DataChack(toStderr))
        return kIncomplete;

    const QString suffix = QFileInfo(o.out).suffix().toLower();
    std::unique_ptr<Surface> surface;
    PictureSurface* picture = nullptr;
    SvgSurface* svg = nullptr;
    if (suffix == QLatin1String("svg")) {
        svg = new SvgSurface(kPreviewWidthTwips, kPreviewHeightTwips, 96.0);
        surface.reset(svg);
    } else {
        picture = new PictureSurface(kPreviewWidthTwips, kPreviewHeightTwips, 96.0);
        surface.reset(picture);
    }
    const DrawResult drawn = DrawPreview(o.gerber, table, extent, *surface);

    bool written = false;
    if (svg)
        written = writeFile(o.out, svg->document());
    else
        written = savePicture(picture->Image(), o.out, suffix == QLatin1String("png") ? "PNG" : "BMP");
    if (!written) {
        printErr(QStringLiteral("kivotrek-cli: cannot write ") + o.out);
        return kUnreadable;
    }
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
