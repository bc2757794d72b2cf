#pragma once

// The Excellon (NC drill) reader: the drill files that KiCad, Altium, Eagle, Allegro, EasyEDA and
// most CAD programs write. It reads the whole file into a list of tools, holes and slots in
// millimetres (file coordinates, y up, unshifted); the drawing and the batch command take them
// from there.

#include "common/messagesink.h"

#include <QIODevice>
#include <QString>
#include <optional>
#include <vector>

namespace kivotrek {

struct ExcellonTool {
    int number = 0; // T01 and T1 are tool 1
    QString code; // as the file first writes it: "T1", "T01"
    std::optional<double> diameter; // millimetres
    QString kind; // "TH", "NTH" or empty, from the file's attributes or its name
    QString sign1, tol1, sign2, tol2; // from an Allegro tool comment, where they fit the lists
};

struct DrillHit {
    int tool = 0; // index into ExcellonDrill::tools
    double x = 0, y = 0; // millimetres
};

struct DrillSlot {
    int tool = 0;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct ExcellonDrill {
    enum class Ending {
        Complete, // read to its end (or M30)
        TooManyTools, // a 64th tool: the read ends at its line
        Unreadable, // the file could not be opened, is no regular file, or is binary
    };
    Ending ending = Ending::Complete;
    std::vector<ExcellonTool> tools; // in order of first appearance
    std::vector<DrillHit> holes;
    std::vector<DrillSlot> slotHoles;
    qint64 skippedLines = 0; // lines no rule could read
    std::optional<qint64> firstSkippedLine;
    std::optional<qint64> stoppedAtLine; // for TooManyTools
};

// The text of a diameter in millimetres: rounded to three decimals, a trailing zero dropped
// down to two (0.8 -> "0.80", 0.381 -> "0.381", 0.8001 -> "0.80").
QString diameterText(double millimetres);

// Reads an Excellon file. The sink hears what the user is told: a file that cannot be read,
// the 63-row limit, how many lines were skipped, a file without holes.
ExcellonDrill readExcellon(const QString& path, const MessageSink& sink);
ExcellonDrill readExcellon(QIODevice& device, const QString& name, const MessageSink& sink);

// True when the first lines look like Excellon: M48, METRIC / INCH, or a tool definition T..C..
bool looksLikeExcellon(const QString& path);

} // namespace kivotrek
