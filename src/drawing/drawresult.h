#pragma once

// How a drawing ended, and what the user is told of one that did not complete.

#include "drill/drilldata.h"

#include <QString>
#include <optional>

namespace kivotrek {

struct DrawResult {
    enum class Ending {
        Complete, // replayed to the end of the file
        NoExtent, // no drawing scale: nothing replayed
        Unreadable, // the file could not be opened or read
        Stopped, // a line the drawing cannot handle: what came before stays drawn
        Cancelled, // the user cancelled it while it was drawn
    };
    DrawResult() = default;
    DrawResult(Ending e, std::optional<qint64> l = std::nullopt, const QString& p = QString())
        : ending(e), line(l), path(p)
    {
    }
    Ending ending = Ending::Complete;
    std::optional<qint64> line; // 1-based, for Stopped
    QString path; // of a board of several files: the file that ended the drawing
};

// What the user is told of a drawing of the file that did not complete: why nothing or only
// part was drawn. Empty for a complete drawing and for one the user cancelled.
QString drawingProblem(const DrawResult& result, const QString& path);

// A drawing of drill data that stops at the piece the file's line made.
DrawResult stoppedAt(SourceLine line);

} // namespace kivotrek
