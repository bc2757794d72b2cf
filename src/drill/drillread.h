#pragma once

// The read of a drill file line by line that every drill reader shares: the binary rule, line
// ends, the cap on a line, the limits and the messages at the end.

#include "common/messagesink.h"
#include "drill/drilldata.h"

#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <functional>

namespace kivotrek {

// Ends the read at the line for a limit of the reader (see DrillData::Limit).
void reachLimit(DrillData& out, DrillData::Limit limit, qint64 value, qint64 lineNo);

// The read of a drill file line by line, whatever its format, into out: a binary file is refused
// (see holdsBinaryBytes); each line goes to line() (false ends the read there: a 64th tool, said
// with the 63-row message, or a limit, said with the limit and the line); finish() runs once
// the lines are read; a line longer than the cap ends the read as a limit, a read error makes
// the file unreadable. At the end the sink hears how many lines were skipped and whether the
// file has no holes (an outline, no lines). The device is closed on every way out.
void readDrillLines(QIODevice& device, const QString& name, const MessageSink& sink, DrillData& out,
    const std::function<bool(QByteArrayView, qint64)>& line, const std::function<void()>& finish);

// Opens the file and reads it with read(); a file that cannot be opened is said and unreadable.
DrillData readDrillPath(
    const QString& path, const MessageSink& sink, const std::function<DrillData(QIODevice&)>& read);

} // namespace kivotrek
