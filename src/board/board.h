#pragma once

// A board as the user reads it: one or more drill files (plated and non-plated, Excellon or
// Gerber) and the board's outline, drawn together in one frame. Each drill file's tools fill
// their own run of hole rows, so two files may both have a "T1" and keep a row each.

#include "board/drillframe.h"
#include "common/messagesink.h"
#include "drill/drilldata.h"
#include "gerber/boardextent.h"
#include "gerber/formatsniffer.h"
#include "gerber/marktally.h"
#include "gerber/readresult.h"
#include "table/holetable.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace kivotrek {

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
};

struct Board {
    std::vector<BoardFile> files; // drill files, in the order they were read
    QString outline; // the outline file; empty when there is none

    // The folder or archive the board was opened from as a package; empty for files read one
    // by one.
    QString package;

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
// the file as outline. The extent becomes the board's frame. A caller that keeps what the
// board's files hold passes it as held: it is kept up to date, and the files are not read again
// for the frame and the warning.
// A drill file read before (a package reads each file once, to find its role) is given as read:
// it is taken as it is, and what its read said has been said by the caller.
struct BoardData;
FileOutcome readBoardFile(Board& board, ReaderKind reader, const QString& path, HoleTable& table,
    BoardExtent& extent, const MessageSink& sink, BoardData* held = nullptr, DrillData* read = nullptr);
FileOutcome addBoardFile(Board& board, ReaderKind reader, const QString& path, HoleTable& table,
    BoardExtent& extent, const MessageSink& sink, BoardData* held = nullptr, DrillData* read = nullptr);

// An Excellon or Gerber X2 drill file as the board reads it: a Gerber drill file without
// attributes of its own whose name marks an outline is read as the outline.
DrillData readBoardDrill(ReaderKind reader, const QString& path, const MessageSink& sink);
FileOutcome readBoardOutline(Board& board, const QString& path, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink, BoardData* held = nullptr);

// Takes the board's file out (index into paths(): the drill files, then the outline): a drill
// file's rows go and the rows of the files after it move up with their values; the frame and
// the warning are made again.
void removeBoardFile(Board& board, int file, HoleTable& table, BoardExtent& extent, const MessageSink& sink);

// The reader a further drill file calls for: Excellon, or today's Gerber for any Gerber file.
ReaderKind addedFileReader(const QString& path);

// File names that mark a board's outline, as patterns ("*.gko", "*edge_cuts*", ...): a Gerber
// file without attributes of its own whose name matches one (any case) is taken as the outline.
QStringList outlineNamePatterns();
bool looksLikeOutlineName(const QString& path);
// How surely the name marks an outline, for a package of several candidates: higher wins (a
// keep-out layer over a mechanical one); 0 for a name that marks none.
int outlineNameRank(const QString& path);

// Every file of the board read again, as the drawing shows the files as they are now.
struct BoardData {
    std::vector<DrillData> drills; // one per board file
    std::optional<DrillData> outline;
    // A Gerber file's holes and slots, counted as it was read (the drawing reads it again).
    std::optional<MarkTally> gerberMarks;
};
// False, with the file that could not be read, when one of them cannot.
bool loadBoard(const Board& board, BoardData& data, QString* unreadable = nullptr);
// A drill file as the board reads it: Excellon (in its fitted format, where it has one) or Gerber.
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
