#pragma once

// The Excellon (NC drill) reader: the drill files that KiCad, Altium, Eagle, Allegro, EasyEDA and
// most CAD programs write. It reads the whole file into a list of tools, holes and slots in
// millimetres (file coordinates, y up, unshifted); the drawing and the batch command take them
// from there.

#include "common/messagesink.h"
#include "drill/drilldata.h"

#include <QIODevice>
#include <QString>
#include <optional>
#include <vector>

namespace kivotrek {

// Reads an Excellon file. The sink hears what the user is told: a file that cannot be read,
// the 63-row limit, how many lines were skipped, a file without holes.
DrillData readExcellon(const QString& path, const MessageSink& sink);
DrillData readExcellon(QIODevice& device, const QString& name, const MessageSink& sink);

// True when the first lines look like Excellon: M48, METRIC / INCH, or a tool definition T..C..
bool looksLikeExcellon(const QString& path);

} // namespace kivotrek
