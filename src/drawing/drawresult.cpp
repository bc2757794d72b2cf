#include "drawing/drawresult.h"

#include "common/fileio.h"
#include "common/messages.h"

#include <QFile>
#include <QFileInfo>

namespace kivotrek {

QString drawingProblem(const DrawResult& result, const QString& path)
{
    // A board of several files names the file that ended the drawing.
    const QString& file = result.path.isEmpty() ? path : result.path;
    switch (result.ending) {
    case DrawResult::Ending::Complete:
    case DrawResult::Ending::Cancelled: return QString(); // the user knows
    case DrawResult::Ending::Stopped:
        return result.line ? msg::drawingStopped(*result.line) : msg::drawingStoppedSomewhere();
    case DrawResult::Ending::NoExtent: return file.isEmpty() ? msg::noFileRead() : msg::nothingToDraw(file);
    case DrawResult::Ending::Unreadable:
        if (file.isEmpty())
            return msg::noFileRead();
        // A file that opened now and failed while it was read says so; else why it did not open.
        if (!QFileInfo::exists(file) || !isRegularFile(file))
            return whyUnopenable(file);
        QFile f(file);
        return openToRead(f) && holdsBinaryBytes(f) ? msg::notDrillData(file) : msg::readError(file);
    }
    return QString();
}

DrawResult stoppedAt(SourceLine line)
{
    return {DrawResult::Ending::Stopped, line > 0 ? std::optional<qint64>(line) : std::nullopt};
}

} // namespace kivotrek
