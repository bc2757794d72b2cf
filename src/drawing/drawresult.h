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
    QString reason; // for Unreadable: why, as the read found it (empty: not known)
};

// What went wrong with a drawing of the file (path: the board's main file), worked out once for
// every front end: the windows show its text, the batch command prints a line of its own and
// ends with the status that goes with the kind.
struct DrawingProblem {
    enum class Kind {
        None, // complete, or cancelled by the user, who knows
        NothingRead, // no file was read yet
        NothingToDraw, // no coordinates: no scale
        Unreadable, // the file could not be opened or read (again)
        Stopped, // a line or a piece the drawing cannot take; what came before stays drawn
    };
    Kind kind = Kind::None;
    QString file; // the file it concerns: of a board of several, the one that ended the drawing
    std::optional<qint64> line; // for Stopped, when the piece has a line
    QString text; // what the user is told; empty for None
};
DrawingProblem describeDrawing(const DrawResult& result, const QString& path);

// The text alone: empty for a complete drawing and for one the user cancelled.
QString drawingProblem(const DrawResult& result, const QString& path);

// A drawing of drill data that stops at the piece the file's line made.
DrawResult stoppedAt(SourceLine line);

} // namespace kivotrek
