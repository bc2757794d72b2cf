#include "drill/drillread.h"

#include "common/fileio.h"
#include "common/linereader.h"
#include "common/messages.h"

#include <QFile>

namespace kivotrek {

void reachLimit(DrillData& out, DrillData::Limit limit, qint64 value, qint64 lineNo)
{
    out.ending = DrillData::Ending::LimitReached;
    out.limit = limit;
    out.limitValue = value;
    out.stoppedAtLine = lineNo;
}

namespace {
QString limitMessage(const DrillData& out)
{
    const qint64 line = out.stoppedAtLine.value_or(0);
    switch (out.limit) {
    case DrillData::Limit::Objects: return msg::objectLimit(out.limitValue, line);
    case DrillData::Limit::Length: return msg::lengthLimit(line);
    case DrillData::Limit::Repeats: return msg::repeatLimit(out.limitValue, line);
    case DrillData::Limit::Range: return msg::rangeLimit(line);
    case DrillData::Limit::None: break;
    }
    return msg::lineUnreadable(line);
}
} // namespace

void readDrillLines(QIODevice& device, const QString& name, const MessageSink& sink, DrillData& out,
    const std::function<bool(QByteArrayView, qint64)>& line, const std::function<void()>& finish)
{
    if (holdsBinaryBytes(device)) {
        device.close();
        out.ending = DrillData::Ending::Unreadable;
        out.reason = msg::notDrillData(name);
        sink.error(out.reason, name);
        return;
    }
    LineReader lines(device);
    lines.keepUnterminatedLastLine();
    lines.endLinesAtAnyLineEnd();
    QByteArrayView text;
    bool stopped = false;
    while (!stopped && lines.next(text))
        stopped = !line(text, lines.lineNumber());
    if (!stopped && lines.tooLong()) // the read goes no further than the cap: the rest is not read
        reachLimit(out, DrillData::Limit::Length, LineReader::kMaxLineLength, lines.lineNumber() + 1);
    device.close();
    finish(); // may reach a limit itself: a repeat the end of the file closes
    // A limit ends the read at its line; what was read before it stays: a warning.
    if (out.ending == DrillData::Ending::TooManyTools) {
        const qint64 at = out.stoppedAtLine.value_or(lines.lineNumber());
        sink.warning(msg::tooManyHoleKinds(at), name, at);
        return;
    }
    if (out.ending == DrillData::Ending::LimitReached) {
        sink.warning(limitMessage(out), name, out.stoppedAtLine);
        return;
    }
    if (lines.failed()) {
        out.ending = DrillData::Ending::Unreadable;
        out.reason = msg::readError(name, device.errorString());
        sink.error(out.reason, name);
        return;
    }
    if (out.skippedLines > 0)
        sink.warning(msg::linesSkipped(out.skippedLines, *out.firstSkippedLine), name, out.firstSkippedLine);
    if (out.role == DrillData::Role::Outline) {
        if (out.outline.empty())
            sink.warning(msg::noOutline(name), name);
    } else if (out.holes.empty() && out.slotHoles.empty()) {
        sink.warning(msg::noHoles(name), name);
    }
}

DrillData readDrillPath(
    const QString& path, const MessageSink& sink, const std::function<DrillData(QIODevice&)>& read)
{
    QFile file(path);
    if (!openToRead(file)) {
        DrillData out;
        out.ending = DrillData::Ending::Unreadable;
        out.reason = whyUnopenable(path);
        sink.error(out.reason, path);
        return out;
    }
    return read(file);
}

} // namespace kivotrek
