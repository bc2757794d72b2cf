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

// What the RS-274X read does before the file dialog: the extent at 0 and the table cleared.
// unitScale keeps its value until a format statement sets it.
void prepareRs274xRead(HoleTable& table, BoardExtent& extent);

// Reads an RS-274X file: unitScale from %FSLAX, D-codes and diameters from circular aperture
// definitions, the extent from coordinates. A fault in a line only skips that step.
// Runs prepareRs274xRead first. With marks, the file's holes and slots are counted in the same
// pass, to its end even where the read stops early.
ReadResult readRs274xGerber(const QString& path, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink, MarkTally* marks = nullptr, StepRecord* record = nullptr);

// The same read from an open device, after the prepare step; name is what messages call it.
ReadResult readRs274xGerber(QIODevice& device, const QString& name, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink, MarkTally* marks = nullptr, StepRecord* record = nullptr);

// unitScale for a number of decimal digits 1 to 5 of the format statement; 0 otherwise.
float rs274xUnitScale(int decimalDigits);

} // namespace kivotrek
