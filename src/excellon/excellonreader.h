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
// Numbers without a decimal point are read by the file's own template or format comment, else
// by a format from outside it: fitted (to the board's outline), else Allegro's nc_param.txt
// beside the file (for Allegro's files), else the usual defaults (inch 2.4, metric 3.3, read
// from the right). DrillData::format says which.
DrillData readExcellon(const QString& path, const MessageSink& sink,
    const std::optional<CoordinateFormat>& fitted = std::nullopt);
DrillData readExcellon(QIODevice& device, const QString& name, const MessageSink& sink,
    const std::optional<CoordinateFormat>& outside = std::nullopt);
// The same of a file's bytes held in memory.
DrillData readExcellonText(const QByteArray& text, const QString& name, const MessageSink& sink,
    const std::optional<CoordinateFormat>& outside = std::nullopt);

// The format that Allegro's nc_param.txt in the folder gives (INTEGER-PLACES, DECIMAL-PLACES,
// OUTPUT-UNITS ENGLISH or METRIC, SUPPRESS-LEAD-ZEROES, SUPPRESS-TRAIL-ZEROES); none without
// one, or without its digits.
std::optional<CoordinateFormat> readNcParam(const QString& folder);

// True when the first lines look like Excellon: M48, METRIC / INCH, a tool definition T..C..,
// or Allegro's comment header (";LEADER:", ";HEADER:", ";CODE  :", ";FILE  :", ";T01 Holesize").
bool looksLikeExcellon(const QString& path);
// The same of the file's first bytes (16 KiB of them are looked at).
bool looksLikeExcellonHead(QByteArray head);

} // namespace kivotrek
