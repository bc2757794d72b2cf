#include "cli/clicommon.h"
#include "cli/rawpaths.h"
#include "common/fileio.h"
#include "drawing/bitmapexport.h"
#include "drawing/gerberreplay.h"
#include "drawing/pageexport.h"
#include "drawing/pagesurface.h"
#include "drawing/picturesurface.h"
#include "drawing/previewlayout.h"
#include "drawing/svgsurface.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QSemaphore>
#include <QThread>
#include <algorithm>
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

// The logo printed on the page: image.bmp beside the program. (Known before the GUI
// application exists, for the check that no output replaces it.)
QString logoPath()
{
    const QString program = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    return QFileInfo(program).dir().filePath(QStringLiteral("image.bmp"));
}

// The page, with the logo beside the program when there is one.
std::pair<DrawResult, bool> drawPage(const RenderOptions& o, const Board& board, const HoleTable& table,
    const BoardExtent& extent, const QString& suffix, const DrawingOptions& options)
{
    PageFoot foot;
    foot.productCode = o.productCode;
    const QString logo = logoPath();
    if (QFileInfo::exists(logo))
        foot.logo.load(logo);
    const PageWrite w = writePage(o.out, suffix, o.dpi, board, table, extent, o.pageSize, foot, options);
    return {w.drawn, w.written};
}

// A thread that is joined on every way out. A QThread, not a std::thread: Qt keeps data for
// every thread that uses its objects, and cleans it up only for threads of its own.
class JoiningThread {
public:
    template <typename F> explicit JoiningThread(F f) : t_(QThread::create(std::move(f))) { t_->start(); }
    ~JoiningThread() { join(); }
    void join() { t_->wait(); }

private:
    std::unique_ptr<QThread> t_;
};

// The preview picture, or its SVG twin, by the suffix of the output.
struct PreviewTarget {
    std::unique_ptr<PictureSurface> picture;
    std::unique_ptr<SvgSurface> svg;
    Surface& surface() { return svg ? static_cast<Surface&>(*svg) : static_cast<Surface&>(*picture); }

    explicit PreviewTarget(const QString& suffix)
    {
        if (suffix == QLatin1String("svg"))
            svg = std::make_unique<SvgSurface>(kPreviewWidthTwips, kPreviewHeightTwips, 96.0);
        else
            picture = std::make_unique<PictureSurface>(kPreviewWidthTwips, kPreviewHeightTwips, 96.0);
    }
    bool save(const QString& path, const QString& suffix) const
    {
        if (svg)
            return writeWholeFile(path, svg->document());
        return savePicture(picture->image(), path, suffix == QLatin1String("png") ? "PNG" : "BMP");
    }
};
} // namespace

namespace {
// The exit status of a drawing, its problem said on stderr.
int drawingStatus(const DrawResult& drawn, const Board& board, const BoardArguments& input);
} // namespace

int runRender(const QStringList& args, int& argc, char** argv)
{
    RenderOptions o;
    if (const int bad = parseRenderOptions(args, o))
        return bad;
    // The drawing never replaces what it is drawn from.
    if (const int refused =
            refuseOutputOverInput(o.out, o.input, {o.settings, o.page ? logoPath() : QString()}))
        return refused;
    const QString suffix = QFileInfo(o.out).suffix().toLower();
    // Names that are no UTF-8 are reached through descriptors; messages keep the names given.
    const QString shownOut = o.out;
    if (!o.settings.isEmpty())
        o.settings = readablePath(o.settings);
    OutputPath output(o.out);
    o.out = output.writePath();

    // The read the menu command would run, from the program's start-up state, then the
    // settings, the table check and, for a preview, the cutting of the file's lines for the
    // drawing: core work without windows or fonts, done on a worker while the GUI application
    // and its font database start up on this thread, which then draws what the worker cuts.
    // (Text may be drawn on images from any thread, but only once the GUI application exists.)
    HoleTable table;
    BoardExtent extent;
    const MessageSink toStderr = [](const QString& m) { printErr(m); };
    int inputFailure = 0;
    int readStatus =
        0; // a read that was rejected or ended by a fault: the drawing of what was read is written
    std::unique_ptr<PreviewTarget> preview;
    PreviewLayout previewLayout;
    bool scaled = false;
    ReplayPipe pipe;
    Board board;
    std::optional<BoardData> drills; // drill files and outlines are read once, whole
    DrillFrame frame;
    HoleCounts counts; // with --counts: what the drawing will draw, counted first
    DrawingOptions options;
    QSemaphore inputsReady;
    JoiningThread inputs([&] {
        ReadOutcome read = readBoard(o.reader, o.input, table, extent, toStderr);
        board = read.board;
        readStatus = read.status;
        if (!board.replaysGerber())
            drills = std::move(read.data);
        if (read.status == kUnreadable)
            inputFailure = kUnreadable;
        else if (!o.settings.isEmpty()) {
            QString productCode;
            inputFailure = loadSettingsInto(o.settings, board.nextFreeRow(), table, productCode, toStderr);
            if (!o.productCodeGiven)
                o.productCode = productCode; // as the load command fills the product code box
        }
        // Printing does not ask for every diameter, but refuses one that is no number.
        if (!inputFailure && !(o.page ? table.checkNumbers(toStderr) : table.check(toStderr)))
            inputFailure = kIncomplete;
        if (!inputFailure && o.counts) {
            countHoles(board, drills ? *drills : BoardData(), table, counts);
            options.counts = counts;
        }
        options.marks = o.marks;
        previewLayout.setOptions(options);
        if (!inputFailure && !o.page) {
            preview = std::make_unique<PreviewTarget>(suffix);
            if (drills)
                frame = boardFrame(*drills); // its extent is the one the read set
            scaled = preparePreview(table, extent, preview->surface(), previewLayout);
        }
        inputsReady.release();
        if (scaled && !drills)
            pipe.cut(board.files.front().path, extent, previewLayout);
    });
    // Drawing texts needs fonts, hence a GUI application; it never needs a display. (The
    // minimal platform would start faster, but its fonts are not the system's: PDF pages lose
    // their text.)
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Image plugins are not wanted here: the PNG, BMP and logo formats are Qt's own, and looking
    // for a plugin that might handle them instead loads every installed one (about 3 ms).
    QCoreApplication::setLibraryPaths({});
    QFontMetricsF(drawingFont(7)).height();
    inputsReady.acquire();
    if (inputFailure)
        return inputFailure;

    std::pair<DrawResult, bool> written;
    if (o.page) {
        inputs.join();
        written = drawPage(o, board, table, extent, suffix, options);
        // The page is written as asked; a board past the paper is said.
        const QString overflow =
            pageOverflow(table, extent, o.pageSize, PageSurface::sheetTwips(filePageLayout(o.pageSize)));
        if (!overflow.isEmpty() && written.second)
            printErr(overflow);
    } else {
        // No scale: the cleared picture is written, as the preview window would show it.
        if (!scaled)
            written.first = DrawResult {DrawResult::Ending::NoExtent};
        else if (drills)
            written.first = drawBoardData(board, *drills, frame, table, previewLayout, preview->surface());
        else
            written.first = pipe.draw(table, previewLayout, preview->surface());
        inputs.join();
        written.second = preview->save(o.out, suffix);
    }
    if (!written.second || !output.finish()) {
        printErr(QStringLiteral("kivotrek-cli: cannot write ") + shownOut);
        return finish(kUnreadable);
    }
    return finish(std::max(readStatus, drawingStatus(written.first, board, o.input)));
}

namespace {
int drawingStatus(const DrawResult& drawn, const Board& board, const BoardArguments& input)
{
    switch (drawn.ending) {
    case DrawResult::Ending::Complete: return kDone;
    case DrawResult::Ending::Unreadable: {
        // The file as given: the board holds the names it opened.
        QString shown = drawn.path.isEmpty() ? input.files.front() : drawn.path;
        const QStringList opened = board.paths();
        const QStringList asGiven =
            input.files + (input.outline.isEmpty() ? QStringList() : QStringList {input.outline});
        for (int i = 0; i < opened.size() && i < asGiven.size(); ++i) {
            if (opened[i] == drawn.path)
                shown = asGiven[i];
        }
        printErr(QStringLiteral("kivotrek-cli: cannot read ") + shown);
        return kUnreadable;
    }
    case DrawResult::Ending::NoExtent:
        printErr(QStringLiteral("kivotrek-cli: drawing stopped: the board extent is 0, nothing drawn"));
        return kStopped;
    case DrawResult::Ending::Cancelled: // nothing here cancels
    case DrawResult::Ending::Stopped:
        printErr(drawn.line
                ? QStringLiteral("kivotrek-cli: drawing stopped at line %1").arg(*drawn.line)
                : QStringLiteral("kivotrek-cli: drawing stopped: a hole or slot cannot be drawn"));
        return kStopped;
    }
    return kStopped;
}
} // namespace

} // namespace kivotrek::cli
