#pragma once

#include "board/board.h"
#include "gerber/boardextent.h"
#include "package/package.h"
#include "table/holetable.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kivotrek::cli {

// The reader options every command takes: --auto (the default: as the desktop program
// chooses for a file it is given), or a reader's own option (--standard, --rs274x, --excellon,
// --x2: see readerDescriptors).
struct ReaderChoice {
    ReaderKind kind = ReaderKind::Standard;
    bool automatic = false;
    int given = 0; // how many reader options were given: more than one is bad usage

    // Takes the argument when it is a reader option.
    bool take(const QString& argument);
    // The reader for the file: the one named, or the one the file's first lines call for.
    ReaderKind resolve(const QString& path) const;
    bool named() const { return given > 0 && !automatic; }
};

const char* readerName(ReaderKind kind); // "standard", "rs274x", "excellon", "x2"
// The help's READER paragraph: --auto, then every reader's option.
QString readerNotes();

// The files of a command: one drill file, or several drill files and an outline drawn as one
// board.
struct BoardArguments {
    QStringList files; // drill files, as given; or one package (a folder or an archive)
    QString outline; // --outline FILE, as given
    QString board; // --board NAME: the board of a package of several
    bool isBoard() const { return files.size() > 1 || !outline.isEmpty(); }
};

// The arguments of a command that reads files: reader options, the files, --outline FILE, "--"
// to end the options, and the command's own flags (taken by flag, which says whether it knew
// the argument). 0, or the exit status of a usage error after printing it.
int parseFileArguments(const char* command, const QStringList& args, ReaderChoice& reader,
    BoardArguments& files, const std::function<bool(const QString&)>& flag = {});
// Takes "--settings FILE" out of the arguments (before "--"): 0, or the exit status of a usage
// error after printing it. The other arguments go to rest, in order.
int takeSettingsOption(const QStringList& args, QString& settings, QStringList& rest);

// Checks what parseFileArguments and the render options share: one reader, a file, and a
// reader that can join a board of several files.
int checkFileArguments(const char* command, const ReaderChoice& reader, const BoardArguments& files);

// Refuses, before anything is read, an output that is one of the command's inputs (the drill
// files, the outline, and others such as the settings file or the logo), by device and inode
// after links: the message on stderr and exit status 3, else 0. An empty output is standard
// output, refused when it is redirected into an input.
int refuseOutputOverInput(const QString& output, const BoardArguments& files, const QStringList& others = {});

// One read of the files as the program's read commands run it, from the program's start-up
// state: the first file read, the others added, the outline read.
struct ReadOutcome {
    Board board;
    std::vector<FileOutcome> files; // per drill file given, in order (of a package: each file read)
    QStringList shown; // per entry of files: the path as given ("package.zip/board-PTH.drl")
    std::unique_ptr<Package> package; // the package the files came from, if any
    std::vector<int> members; // per entry of files: the package member it was read from
    std::vector<int> givenFile; // per board file: the index of the given file it was read from
    int boardFileOf(int given) const; // -1 when the given file did not join the board's drill files
    std::optional<FileOutcome> outline;
    ReaderKind reader = ReaderKind::Standard; // of the first file
    const char* ending = "complete"; // the worst: "complete", "rejected", "fault", "unreadable"
    std::optional<qint64> stoppedAtLine; // of the file that ended worst
    int status = 0; // exit status, the worst of the files: 0 complete, 2 rejected or fault, 3 unreadable
    // The package was refused before any of its files was read (several boards, none named,
    // no drill file): nothing was read, and nothing is written.
    bool refused = false;
    // Bad usage (--board), or an output that is a member of the package: the command ends with
    // this status at once and writes nothing (the reason is said).
    int stopNow = 0;
    // The read failed and filled no row: a table or list would be empty, and is not written.
    bool readNothing() const { return refused || (status != 0 && board.nextFreeRow() == 0); }
};
// The paths are those to open (see readablePath); the board keeps them. output is the file the
// command writes (empty: standard output): a package's member is an input like the files
// given, and an output that is one is refused before anything is written (exit 3, said).
// --board for files that are no package, or a name that is no board of the package, is bad
// usage (exit 64, said).
ReadOutcome readBoard(const ReaderChoice& choice, const BoardArguments& files, HoleTable& table,
    BoardExtent& extent, const MessageSink& sink, const QString& output = QString());

const char* endingName(ReadEnding ending); // "complete", "rejected", "fault", "unreadable"

} // namespace kivotrek::cli
