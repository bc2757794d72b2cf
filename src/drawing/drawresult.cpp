#include "drawing/drawresult.h"

#include "common/fileio.h"
#include "common/messages.h"

#include <QFile>
#include <QFileInfo>

namespace kivotrek {

DrawingProblem describeDrawing(const DrawResult& result, const QString& path)
{
    using Kind = DrawingProblem::Kind;
    DrawingProblem p;
    // A board of several files names the file that ended the drawing.
    p.file = result.path.isEmpty() ? path : result.path;
    switch (result.ending) {
    case DrawResult::Ending::Complete:
    case DrawResult::Ending::Cancelled: return p; // the user knows
    case DrawResult::Ending::Stopped:
        p.kind = Kind::Stopped;
        p.line = result.line;
        p.text = result.line ? msg::drawingStopped(*result.line) : msg::drawingStoppedSomewhere();
        return p;
    case DrawResult::Ending::NoExtent:
        p.kind = p.file.isEmpty() ? Kind::NothingRead : Kind::NothingToDraw;
        p.text = p.file.isEmpty() ? msg::noFileRead() : msg::nothingToDraw(p.file);
        return p;
    case DrawResult::Ending::Unreadable:
        if (p.file.isEmpty()) {
            p.kind = Kind::NothingRead;
            p.text = msg::noFileRead();
            return p;
        }
        p.kind = Kind::Unreadable;
        if (!result.reason.isEmpty()) {
            p.text = result.reason;
            return p;
        }
        // A file that opened now and failed while it was read says so; else why it did not open.
        if (!QFileInfo::exists(p.file) || !isRegularFile(p.file)) {
            p.text = whyUnopenable(p.file);
            return p;
        }
        QFile f(p.file);
        if (!openToRead(f))
            p.text = msg::cannotOpen(p.file, f.errorString());
        else
            p.text = holdsBinaryBytes(f) ? msg::notDrillData(p.file) : msg::readError(p.file);
        return p;
    }
    return p;
}

QString drawingProblem(const DrawResult& result, const QString& path)
{
    return describeDrawing(result, path).text;
}

DrawResult stoppedAt(SourceLine line)
{
    return {DrawResult::Ending::Stopped, line > 0 ? std::optional<qint64>(line) : std::nullopt};
}

} // namespace kivotrek
