#pragma once

#include "common/messagesink.h"
#include "gerber/boardextent.h"
#include "gerber/marktally.h"
#include "gerber/readresult.h"
#include "gerber/steprecord.h"
#include "table/holetable.h"

#include <QIODevice>
#include <QString>

namespace kivotrek {

// What the standard (F4.3) read does before the file dialog: the table cleared, the extent
// at 0, unitScale 0.0567. A cancelled dialog leaves exactly this.
void prepareStandardRead(HoleTable& table, BoardExtent& extent);

// Reads a standard Gerber file, F4.3: every "G54" line adds its D-code to the next free row,
// every coordinate raises the extent, which ends in twips. Runs prepareStandardRead first.
// Each text for the user goes to the sink in order. With marks, the file's holes and slots are
// counted in the same pass, to its end even where the read stops early.
ReadResult readStandardGerber(const QString& path, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink, MarkTally* marks = nullptr, StepRecord* record = nullptr);

// The same read from an open device, after the prepare step; name is what messages call it.
ReadResult readStandardGerber(QIODevice& device, const QString& name, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink, MarkTally* marks = nullptr, StepRecord* record = nullptr);

} // namespace kivotrek
