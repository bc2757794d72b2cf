#include "cli/clicommon.h"
#include "cli/rawpaths.h"
#include "common/fileio.h"
#include "drawing/bitmapexport.h"
#include "drawing/boarddrawing.h"
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
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <future>
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
PageWrite drawPage(const RenderOptions& o, const Board& board, const HoleTable& table,
    const BoardExtent& extent, const QString& suffix, const DrawingOptions& options)
{
    PageFoot foot;
    foot.productCode = o.productCode;
    const QString logo = logoPath();
    if (QFileInfo::exists(logo)) {
        noteInputOpened(logo);
        foot.logo.load(logo);
    }
    return writePage(o.out, suffix, o.dpi, board, table, extent, o.pageSize, foot, options);
}

// The preview picture, or its SVG twin, by the suffix of the output. The SVG document goes to
// its file as it is drawn.
struct PreviewTarget {
    std::unique_ptr<PictureSurface> picture;
    std::unique_ptr<StreamedFile> file;
    std::unique_ptr<SvgSurface> svg;
    Surface& surface() { return svg ? static_cast<Surface&>(*svg) : static_cast<Surface&>(*picture); }

    PreviewTarget(const QString& suffix, const QString& path)
    {
        if (suffix == QLatin1String("svg")) {
            file = std::make_unique<StreamedFile>(path);
            file->begin();
            svg = std::make_unique<SvgSurface>(kPreviewWidthTwips, kPreviewHeightTwips, 96.0, file.get());
        } else {
            picture = std::make_unique<PictureSurface>(kPreviewWidthTwips, kPreviewHeightTwips, 96.0);
        }
    }
    // False when the file to draw into could not be made: there is no use drawing.
    bool ready() const { return !file || file->failure().isEmpty(); }
    WriteResult save(const QString& path, const QString& suffix) const
    {
        if (svg) {
            svg->finish();
            return file->commit();
        }
        return savePicture(picture->image(), path, suffix == QLatin1String("png") ? "PNG" : "BMP");
    }
};

// What the worker thread makes of the command's inputs: the read, the settings, the table
// check and the preview prepared. It is handed to the main thread once, whole, when the worker
// has finished with it (inputs.set_value); from then on the main thread owns all of it.
struct RenderInputs {
    // The exit status when the inputs end the command with nothing written: unreadable, a
    // package refused, bad usage, the table incomplete.
    int failure = 0;
    int readStatus = 0; // 2 after a read that was rejected or ended by a fault
    std::unique_ptr<Package> package; // the package the files came from: they live in it
    HoleTable table;
    BoardExtent extent;
    Board board; // what its files hold, each read once
    DrillFrame frame;
    DrawingOptions options;
    PreviewLayout previewLayout;
    bool scaled = false; // the preview has a scale: something to draw
    std::unique_ptr<PreviewTarget> preview;
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
    // settings and the table check: core work without windows or fonts, done on a worker while
    // the GUI application and its font database start up on this thread, which then draws what
    // the board holds. (Text may be drawn on images from any thread, but only once the GUI
    // application exists.)
    const MessageSink toStderr = [](const QString& m) { printErr(m); };
    std::promise<RenderInputs> handover;
    std::future<RenderInputs> ready = handover.get_future();
    JoiningThread worker([&o, &handover, &toStderr, suffix, shownOut] {
        RenderInputs in;
        ReadOutcome read = readBoard(o.reader, o.input, in.table, in.extent, toStderr, shownOut);
        in.board = std::move(read.board);
        in.package = std::move(read.package);
        in.readStatus = read.status;
        // Nothing is drawn of a read that could not be made, nor of a package refused before
        // any of its files was read.
        if (read.stopNow)
            in.failure = read.stopNow;
        else if (read.status == kUnreadable)
            in.failure = kUnreadable;
        else if (read.refused)
            in.failure = read.status;
        else if (!o.settings.isEmpty()) {
            QString productCode;
            in.failure =
                loadSettingsInto(o.settings, in.board.nextFreeRow(), in.table, productCode, toStderr);
            if (!o.productCodeGiven)
                o.productCode = productCode; // as the load command fills the product code box
        }
        // Printing does not ask for every diameter, but refuses one that is no number.
        if (!in.failure && !(o.page ? in.table.checkNumbers(toStderr) : in.table.check(toStderr)))
            in.failure = kIncomplete;
        // What the drawing will draw, counted first (a Gerber file's holes as its read tallied them).
        if (!in.failure && o.counts) {
            HoleCounts counts;
            countHoles(in.board, in.table, counts);
            in.options.counts = counts;
        }
        in.options.marks = o.marks;
        in.previewLayout.setOptions(in.options);
        if (!in.failure && !o.page) {
            in.preview = std::make_unique<PreviewTarget>(suffix, o.out);
            if (!in.board.replaysGerber())
                in.frame = boardFrame(in.board.data); // its extent is the one the read set
            in.scaled = preparePreview(in.table, in.extent, in.preview->surface(), in.previewLayout);
        }
        handover.set_value(std::move(in));
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
    RenderInputs in = ready.get();
    if (in.failure)
        return in.failure;

    PageWrite written;
    int pageStatus = kDone;
    if (o.page) {
        worker.join(); // o (its product code) is the worker's until it has ended
        written = drawPage(o, in.board, in.table, in.extent, suffix, in.options);
        // The page is written as asked; a board past the paper is said, and a script learns it
        // from the status.
        const QString overflow = pageOverflow(
            in.table, in.extent, o.pageSize, PageSurface::sheetTwips(filePageLayout(o.pageSize)));
        if (!overflow.isEmpty() && written.written
            && written.drawn.ending != DrawResult::Ending::Unreadable) {
            printErr(overflow);
            pageStatus = kStopped;
        }
    } else {
        // No scale: the cleared picture is written, as the preview window would show it.
        worker.join();
        if (!in.preview->ready()) {
            // The output cannot be made: nothing is drawn.
        } else if (!in.scaled) {
            written.drawn = DrawResult {DrawResult::Ending::NoExtent};
        } else {
            written.drawn = drawPreparedBoard(
                in.board, in.frame, in.table, in.extent, in.previewLayout, in.preview->surface());
        }
        // A file that could not be read leaves no picture.
        if (written.drawn.ending != DrawResult::Ending::Unreadable)
            written.written = in.preview->save(o.out, suffix);
    }
    if (written.drawn.ending == DrawResult::Ending::Unreadable)
        return finish(drawingStatus(written.drawn, in.board, o.input));
    if (written.written && !output.finish())
        written.written = WriteResult::failed(QString::fromLocal8Bit(std::strerror(errno)));
    if (!written.written) {
        printErr(QStringLiteral("kivotrek-cli: cannot write ") + shownOut
            + (written.written.reason.isEmpty() ? QString() : QStringLiteral(": ") + written.written.reason));
        return finish(kUnreadable);
    }
    return finish(std::max({in.readStatus, pageStatus, drawingStatus(written.drawn, in.board, o.input)}));
}

namespace {
int drawingStatus(const DrawResult& drawn, const Board& board, const BoardArguments& input)
{
    const DrawingProblem problem = describeDrawing(drawn, board.mainPath());
    switch (problem.kind) {
    case DrawingProblem::Kind::None: return kDone;
    case DrawingProblem::Kind::Unreadable: {
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
    case DrawingProblem::Kind::NothingRead:
    case DrawingProblem::Kind::NothingToDraw:
        printErr(QStringLiteral("kivotrek-cli: drawing stopped: the board extent is 0, nothing drawn"));
        return kStopped;
    case DrawingProblem::Kind::Stopped:
        printErr(problem.line
                ? QStringLiteral("kivotrek-cli: drawing stopped at line %1").arg(*problem.line)
                : QStringLiteral("kivotrek-cli: drawing stopped: a hole or slot cannot be drawn"));
        return kStopped;
    }
    return kStopped;
}
} // namespace

} // namespace kivotrek::cli
