#pragma once

// The reader for today's Gerber files (Gerber X2 and RS-274X as current CAD programs write them)
// that carry drill data or a board's outline: a flash is a hole, a draw or arc with a round
// aperture is a slot, and a profile file's draws and arcs are the outline. Units, any coordinate
// format, incremental coordinates, arcs in both quadrant modes, regions, step and repeat and
// aperture blocks are followed; the file's attributes say what its holes are (plated or not,
// what for, their tolerances), whether written as X2 attributes or as "G04 #@!" comments.

#include "common/messagesink.h"
#include "drill/drilldata.h"

#include <QIODevice>
#include <QString>

namespace kivotrek {

enum class GerberRole {
    AsTheFileSays, // a profile file (".FileFunction,Profile") is an outline, any other a drill file
    Outline, // every draw and arc is the outline, whatever the file says
};

// Reads the file. The sink hears what the user is told: a file that cannot be read, the 63-row
// limit, how many lines were skipped, a drill file without holes or an outline without lines.
DrillData readGerberX2(
    const QString& path, const MessageSink& sink, GerberRole role = GerberRole::AsTheFileSays);
DrillData readGerberX2(QIODevice& device, const QString& name, const MessageSink& sink,
    GerberRole role = GerberRole::AsTheFileSays);

// True when the first lines carry a unit statement (%MO) or file attributes (%TF, "G04 #@! TF").
bool looksLikeGerberX2(const QString& path);
// The same of the file's first bytes.
bool looksLikeGerberX2Head(const QByteArray& head);

} // namespace kivotrek
