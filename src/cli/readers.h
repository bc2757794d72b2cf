#pragma once

#include "excellon/excellonreader.h"
#include "gerber/boardextent.h"
#include "gerber/formatsniffer.h"
#include "table/holetable.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace kivotrek::cli {

// The reader options every command takes: --standard (the default), --rs274x, --excellon,
// --auto (as the desktop program chooses for a file it is given).
struct ReaderChoice {
    ReaderKind kind = ReaderKind::Standard;
    bool automatic = false;
    int given = 0; // how many reader options were given: more than one is bad usage

    // Takes the argument when it is a reader option.
    bool take(const QString& argument);
    // The reader for the file: the one named, or the one the file's first lines call for.
    ReaderKind resolve(const QString& path) const;
};

const char* readerName(ReaderKind kind); // "standard", "rs274x", "excellon"

// The arguments of a command that reads one file: reader options, the file, "--" to end the
// options, and the command's own flags (taken by flag, which says whether it knew the
// argument). 0, or the exit status of a usage error after printing it.
int parseFileArguments(const char* command, const QStringList& args, ReaderChoice& reader, QString& path,
    const std::function<bool(const QString&)>& flag = {});

// One read as the program's read command runs it, from the program's start-up state.
struct ReadOutcome {
    ReaderKind reader = ReaderKind::Standard;
    const char* ending = "complete"; // "complete", "rejected", "fault", "unreadable"
    std::optional<qint64> stoppedAtLine;
    int status = 0; // exit status: 0 complete, 2 rejected or fault, 3 unreadable
    std::optional<DrillData> drill; // an Excellon file's holes
};
ReadOutcome readFile(ReaderKind reader, const QString& path, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink);

} // namespace kivotrek::cli
