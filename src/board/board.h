#pragma once

// A board as the user reads it: one or more drill files (plated and non-plated, Excellon or
// Gerber) and the board's outline, drawn together in one frame. Each drill file's tools fill
// their own run of hole rows, so two files may both have a "T1" and keep a row each.
//
// The board holds what its files hold, each read once: the table, the counts, every drawing,
// the board view and the checks take it from here and never open a file again. A file that
// changed on disk since it was read is read again at its next use (see refreshBoard).

#include "board/drillframe.h"
#include "board/readers.h"
#include "common/messagesink.h"
#include "common/temporarypaths.h"
#include "drill/drilldata.h"
#include "gerber/boardextent.h"
#include "gerber/gerberimage.h"
#include "gerber/marktally.h"
#include "gerber/readresult.h"
#include "gerber/steprecord.h"
#include "table/holetable.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace kivotrek {

// What a look at a file finds (no open): its size and the time it was last written; a file
// whose look differs from the one taken when it was read has changed since.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 modified = 0; // milliseconds since the epoch
    friend bool operator==(const FileStamp& a, const FileStamp& b)
    {
        return a.exists == b.exists && a.size == b.size && a.modified == b.modified;
    }
    friend bool operator!=(const FileStamp& a, const FileStamp& b) { return !(a == b); }
};
FileStamp stampOf(const QString& path);

// What the board's files hold, read once.
struct BoardData {
    std::vector<DrillData> drills; // one per board file
    std::optional<DrillData> outline;
    // A standard or RS-274X file: its holes and slots counted as it was read, and its steps as
    // the drawing replays them.
    std::optional<MarkTally> gerberMarks;
    std::optional<StepRecord> gerberSteps;
    // An RS-274X file's own sizes: each D-code its aperture definitions give a diameter, in
    // millimetres, as its read found them.
    std::vector<std::pair<QString, double>> apertures;
};

struct BoardFile {
    BoardFile() = default;
    BoardFile(const QString& path, ReaderKind reader, int firstRow, int rowCount)
        : path(path), reader(reader), firstRow(firstRow), rowCount(rowCount)
    {
    }

    QString path;
    ReaderKind reader = ReaderKind::Standard;
    int firstRow = 0; // the rows its tools filled: firstRow .. firstRow + rowCount - 1
    int rowCount = 0;
    // An Excellon file that states no format of its own: the one that fits the board's outline.
    std::optional<CoordinateFormat> fitted;
    FileStamp stamp; // the file as it was when it was read
};

// A layer of the board's package that is no drill file (copper, solder mask, silk, paste, the
// outline's file, a drawing) as the picture its file makes; the board view shows it under the
// holes.
struct BoardLayer {
    QString name; // as the package names it: "gerber/board-F_Cu.gbr"
    QString path;
    QString role; // its role's key: "copper-top", "mask-bottom", "outline", "drawing", ...
    std::optional<int> copper; // a copper layer's number from the top, where known
    std::shared_ptr<const GerberImage> image;
};

struct Board {
    std::vector<BoardFile> files; // drill files, in the order they were read
    QString outline; // the outline file; empty when there is none

    // The folder or archive the board was opened from as a package; empty for files read one
    // by one.
    QString package;
    // The folder an archive was unpacked into: its files are the board's, so it lives as long as
    // the board (or a board read again from it) does, whatever becomes of the package.
    std::shared_ptr<const TemporaryFolder> unpacked;
    FileStamp outlineStamp;
    BoardData data; // what the files hold: data.drills[i] is files[i]'s
    // The package's other layers, from the top down (copper, then the rest), once read.
    std::vector<BoardLayer> layers;

    Board() = default;
    // A board holds every hole of its files: it is moved, never copied by chance.
    Board(Board&&) = default;
    Board& operator=(Board&&) = default;
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    bool isEmpty() const { return files.empty() && outline.isEmpty(); }
    // Where the board's settings file is kept: beside the first file, or in the package's folder
    // (a folder package) or beside the archive.
    QString settingsAnchor() const;
    // A single standard or RS-274X file is drawn by replaying its lines with the extent its
    // read measured; everything else in the frame of the board.
    bool replaysGerber() const;
    // The first row after every file's rows.
    int nextFreeRow() const;
    // The file that names the board: the first drill file, else the outline. The settings file
    // is kept beside it.
    QString mainPath() const;
    // The drill file whose rows hold the row, or -1.
    int fileOfRow(int row) const;
    // Every file: the drill files, then the outline.
    QStringList paths() const;
};

// One read of a file into the board, as the batch command reports it.
struct FileOutcome {
    ReaderKind reader = ReaderKind::Standard;
    ReadEnding ending = ReadEnding::Complete;
    std::optional<qint64> stoppedAtLine;
    // What an Excellon or Gerber X2 file held; where the caller keeps the board's data, its
    // holes, slots and outline are there and not here.
    std::optional<DrillData> data;
};

// The read commands. readBoardFile starts a new board with the file (the table is cleared for
// it first); addBoardFile reads a further drill file into the free rows, or, when it is a
// profile, takes it as the outline; readBoardOutline sets the board's outline, reading every draw of
// the file as outline. The extent becomes the board's frame. What the files hold is kept in
// the board's data.
// A drill file read before (a package reads each file once, to find its role) is given as read,
// with the stamp of the file when it was read: it is taken as it is, and what its read said has
// been said by the caller.
FileOutcome readBoardFile(Board& board, ReaderKind reader, const QString& path, HoleTable& table,
    BoardExtent& extent, const MessageSink& sink, DrillData* read = nullptr,
    const FileStamp* readStamp = nullptr);
FileOutcome addBoardFile(Board& board, ReaderKind reader, const QString& path, HoleTable& table,
    BoardExtent& extent, const MessageSink& sink, DrillData* read = nullptr,
    const FileStamp* readStamp = nullptr);

// An Excellon or Gerber X2 drill file as the board reads it: a Gerber drill file without
// attributes of its own whose name marks an outline is read as the outline.
DrillData readBoardDrill(ReaderKind reader, const QString& path, const MessageSink& sink);
// `read` is the file as read already (a package that chose the outline's lines by their shape).
FileOutcome readBoardOutline(Board& board, const QString& path, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink, std::optional<DrillData> read = std::nullopt);

// Takes the board's file out (index into paths(): the drill files, then the outline): a drill
// file's rows go and the rows of the files after it move up with their values; the frame and
// the warning are made again.
void removeBoardFile(Board& board, int file, HoleTable& table, BoardExtent& extent, const MessageSink& sink);

// File names that mark a board's outline, as patterns ("*.gko", "*edge_cuts*", ...): a Gerber
// file without attributes of its own whose name matches one (any case) is taken as the outline.
QStringList outlineNamePatterns();
bool looksLikeOutlineName(const QString& path);
// How surely the name marks an outline, for a package of several candidates: higher wins (a
// keep-out layer over a mechanical one); 0 for a name that marks none.
int outlineNameRank(const QString& path);

// Every file of the board that changed on disk since it was read (see FileStamp), read again,
// so that what the board shows is the files as they are now; each is said. A drill file's rows
// are made again from its new tools: a row whose D-code the new read keeps keeps what the user
// typed, new D-codes take rows as a read gives them, and the D-codes no longer in the file are
// said; the rows of the files after it move with their values. How many files were read again.
int refreshBoard(Board& board, HoleTable& table, BoardExtent& extent, const MessageSink& sink);
// The board's files that changed on disk since they were read (paths), by a look at each.
QStringList changedFiles(const Board& board);
// A drill file as its reader reads it, in its fitted format where it has one (Excellon).
DrillData readDrillFile(ReaderKind reader, const QString& path, const MessageSink& sink,
    const std::optional<CoordinateFormat>& fitted = std::nullopt);

// The board's frame: the outline's bounding box when there is an outline with lines, else the
// bounding box of every file's holes and slots grown by the largest radius.
DrillFrame boardFrame(const BoardData& data);

// What a user should check before trusting the drawing: holes whose edge lies more than 1 mm
// outside the outline, or holes spread over more than ten times (or less than a tenth of) the outline's
// size, the sign of a wrong format or unit. Empty when all is well.
QString boardWarning(const Board& board, const BoardData& data);

} // namespace kivotrek
