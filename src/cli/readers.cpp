#include "cli/readers.h"

#include "cli/clicommon.h"
#include "board/drillframe.h"
#include "gerber/rs274xreader.h"
#include "gerber/standardreader.h"

namespace kivotrek::cli {

bool ReaderChoice::take(const QString& a)
{
    if (a == QLatin1String("--standard"))
        kind = ReaderKind::Standard;
    else if (a == QLatin1String("--rs274x"))
        kind = ReaderKind::Rs274x;
    else if (a == QLatin1String("--excellon"))
        kind = ReaderKind::Excellon;
    else if (a == QLatin1String("--auto"))
        automatic = true;
    else
        return false;
    ++given;
    return true;
}

ReaderKind ReaderChoice::resolve(const QString& path) const
{
    return automatic ? detectReader(path) : kind;
}

const char* readerName(ReaderKind kind)
{
    switch (kind) {
    case ReaderKind::Standard: return "standard";
    case ReaderKind::Rs274x: return "rs274x";
    case ReaderKind::Excellon: return "excellon";
    }
    return "standard";
}

int parseFileArguments(const char* command, const QStringList& args, ReaderChoice& reader, QString& path,
    const std::function<bool(const QString&)>& flag)
{
    const QString name = QString::fromLatin1(command);
    bool optionsEnded = false; // after "--" every argument is a file
    for (const QString& a : args) {
        if (!optionsEnded && a == QLatin1String("--"))
            optionsEnded = true;
        else if (!optionsEnded && (reader.take(a) || (flag && flag(a))))
            continue;
        else if (!optionsEnded && a.startsWith(QLatin1Char('-')) && a.size() > 1)
            return usageError(QStringLiteral("unknown option: ") + a);
        else if (path.isEmpty())
            path = a;
        else
            return usageError(QStringLiteral("more than one file given"));
    }
    if (reader.given > 1)
        return usageError(name + QStringLiteral(": give one reader: --standard, --rs274x, --excellon or --auto"));
    if (path.isEmpty())
        return usageError(name + QStringLiteral(": no file given"));
    return 0;
}

ReadOutcome readFile(
    ReaderKind reader, const QString& path, HoleTable& table, BoardExtent& extent, const MessageSink& sink)
{
    ReadOutcome o;
    o.reader = reader;
    if (reader == ReaderKind::Excellon) {
        o.drill = readExcellonInto(path, table, extent, sink);
        switch (o.drill->ending) {
        case DrillData::Ending::Complete: break;
        case DrillData::Ending::TooManyTools:
            o.ending = "fault";
            o.stoppedAtLine = o.drill->stoppedAtLine;
            o.status = kStopped;
            break;
        case DrillData::Ending::Unreadable:
            o.ending = "unreadable";
            o.status = kUnreadable;
            break;
        }
        return o;
    }
    const ReadResult r = reader == ReaderKind::Rs274x ? readRs274xGerber(path, table, extent, sink)
                                                      : readStandardGerber(path, table, extent, sink);
    o.stoppedAtLine = r.stoppedAtLine;
    switch (r.ending) {
    case ReadEnding::Complete: break;
    case ReadEnding::Rejected:
        o.ending = "rejected";
        o.status = kStopped;
        break;
    case ReadEnding::Fault:
        o.ending = "fault";
        o.status = kStopped;
        break;
    case ReadEnding::Unreadable:
        o.ending = "unreadable";
        o.status = kUnreadable;
        break;
    }
    return o;
}

} // namespace kivotrek::cli
