#pragma once

// Every reader of drill data, described once: its id, its batch option, its read command's
// caption and file filter, whether its file is a whole board or one file of a board of several,
// how its files are known by their first lines and how it reads. The desktop's read commands,
// the added file's dialog, the package roles, the batch command's options and the recent boards
// are made from this table: a new reader is its own file, its captions and a line in readers.cpp.

#include "common/messagesink.h"
#include "drill/drilldata.h"
#include "gerber/boardextent.h"
#include "gerber/readresult.h"
#include "table/holetable.h"

#include <QByteArray>
#include <QString>
#include <cstring>
#include <optional>
#include <vector>

namespace kivotrek {

struct BoardData;

// Which reader reads a file: its entry's id. The four constants are the readers every version
// had; the recent boards and the batch command's JSON keep the id, never a number.
class ReaderKind {
public:
    constexpr explicit ReaderKind(const char* id) : id_(id) { }
    const char* id() const { return id_; } // "standard", "rs274x", "excellon", "x2"
    friend bool operator==(ReaderKind a, ReaderKind b) { return std::strcmp(a.id_, b.id_) == 0; }
    friend bool operator!=(ReaderKind a, ReaderKind b) { return !(a == b); }

    static const ReaderKind Standard; // standard Gerber F4.3
    static const ReaderKind Rs274x;
    static const ReaderKind Excellon;
    static const ReaderKind GerberX2; // today's Gerber drill and outline files

private:
    const char* id_;
};
inline constexpr ReaderKind ReaderKind::Standard {"standard"};
inline constexpr ReaderKind ReaderKind::Rs274x {"rs274x"};
inline constexpr ReaderKind ReaderKind::Excellon {"excellon"};
inline constexpr ReaderKind ReaderKind::GerberX2 {"x2"};

// What a reader's file is to the board.
enum class ReaderScope {
    // The whole board in one file, drawn by replaying its lines (the two original Gerber reads):
    // read alone, no other file joins it.
    WholeBoard,
    // One drill file (or the outline) of a board of several files: added files join it.
    DrillFile,
};

// How much of a file's start the readers' recognition is given.
constexpr qint64 kRecognitionBytes = qint64(64) * 1024;

struct ReaderDescriptor {
    ReaderKind kind; // its id: the batch command's name and the JSON's "reader"
    const char* option; // "--excellon": the batch command's option
    const char* name; // "Excellon": what the batch command's help and the package window call it
    const char* optionHelp; // "an Excellon drill file": the help's words on the option ("" for none)
    const char* commandName; // "readExcellon": the read command's name in the menu
    QString (*command)(); // "Excellonドリルの読み込み": the read command's caption
    char accessKey;
    QString (*fileItems)(); // the read dialog's filter items, before all files
    ReaderScope scope;
    // Whether the file is one of its own, from its path and first bytes (kRecognitionBytes of
    // them); nullptr: none is known by its content.
    bool (*recognises)(const QString& path, const QByteArray& head);
    // Takes the files no reader recognises: of a file alone (standard), of a file that joins a
    // board (Gerber X2). One reader of each scope.
    bool lastResort;
    void (*prepare)(HoleTable& table, BoardExtent& extent); // the table and extent before its read
    // A whole board's read: the rows, the extent, and what the drawing replays into data.
    ReadResult (*readWhole)(
        const QString& path, HoleTable& table, BoardExtent& extent, const MessageSink& sink, BoardData& data);
    // A drill file's read, in the format fitted to the board where one is given.
    DrillData (*readDrill)(
        const QString& path, const MessageSink& sink, const std::optional<CoordinateFormat>& fitted);
};

// In the order of the read commands, the batch command's options and its help.
const std::vector<ReaderDescriptor>& readerDescriptors();
const ReaderDescriptor& readerOf(ReaderKind kind);
// The reader of the id ("excellon"); nullptr for an id no reader has.
const ReaderDescriptor* findReader(const QString& id);

// The readers a file given alone is offered to, in order: the drill readers that recognise
// files first, in their order, then the whole board readers (a drill reader knows its files
// surely; RS-274X's format statement is in today's Gerber files too), the whole board's last
// resort last: Excellon, today's Gerber, RS-274X, standard.
std::vector<const ReaderDescriptor*> recognitionOrder();
// The reader a file given alone calls for (the command line, the desktop's "open with"): the
// first of recognitionOrder that recognises it, else the last.
ReaderKind detectReader(const QString& path);
// The reader a further drill file calls for: the drill reader that recognises it, else the last
// resort: Excellon, or today's Gerber for any Gerber file.
ReaderKind addedFileReader(const QString& path);
// The same of a file whose first bytes are read (kRecognitionBytes of them): the drill reader that
// knows its content, or nullptr (the last resort is not asked).
const ReaderDescriptor* drillReaderByContent(const QString& path, const QByteArray& head);
const ReaderDescriptor& lastResortReader(ReaderScope scope);

// The read dialog's filter of the reader: its own items, then all files.
QString readerFilter(const ReaderDescriptor& reader);
// The dialog of a file added to a board: every drill reader's items, then all files.
QString addedFileFilter();

} // namespace kivotrek
