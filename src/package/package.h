#pragma once

// A customer's package: a folder or an archive of a board's files (copper, mask, silk, drill
// files, an outline, reports). Each member's role is found (a plated, non-plated or mixed drill
// file, the outline, or not used, and why), and the board is built from it in one step.

#include "board/board.h"
#include "common/messagesink.h"
#include "common/temporarypaths.h"
#include "package/archive.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace kivotrek {

// What a package's read of a drill file found, kept for the board: each file is read once.
struct MemberRead {
    ReaderKind reader = ReaderKind::Excellon;
    DrillData data;
    std::vector<Diagnostic> said; // what the read had to say, said when the board takes it
    FileStamp stamp; // the file as it was when it was read
};

struct PackageMember {
    enum class Role { Plated, NonPlated, Drill, Outline, Unused };
    QString name; // as the package names it: "gerber/board-PTH.drl", "inner.zip/x.drl"
    QString path; // where it is on disk
    Role role = Role::Unused;
    QString why; // how the role was found, as the window shows it: 「X2 属性 Plated」
    QString board; // the name of the board its file names give ("" when they name none)
    // A drill file as its role's read found it, until the board takes it.
    std::shared_ptr<MemberRead> read;
    bool holeless = false; // a drill file without a hole or slot (KiCad writes an empty NPTH file)
    // What the file is as a layer of the board (see LayerRole: "copper-top", "mask-bottom",
    // "outline", "drill", ...), and why; empty for a member that is no layer (a job file, a
    // report, an archive).
    QString layer;
    std::optional<int> copperLayer;
    QString layerWhy;
    // The outline as the job file, the file's own .FileFunction or the user names it: taken as
    // it is, closed or not. Any other outline is found by its shape.
    bool outlineStated = false;
};

// The role's name in the window and its key in the batch command's JSON.
QString roleText(PackageMember::Role role);
const char* roleKey(PackageMember::Role role);

class Package {
public:
    // Opens a folder or an archive (archives inside it one level deep) and finds each member's
    // role; nothing when it cannot, with the message in error. An archive is unpacked into a
    // private temporary folder that lives as long as the package (and is removed when the
    // process ends early).
    static std::unique_ptr<Package> open(
        const QString& path, QString* error, const ArchiveLimits& limits = {});

    const QString& path() const { return path_; }
    // The folders on disk that every member's path starts with ("/.../folder/", the temporary
    // folder of an archive), each ending in "/".
    QStringList folders() const;
    bool isArchive() const { return archive_; }
    // The folder an archive was unpacked into (none for a folder package): the board built
    // from the package keeps it.
    std::shared_ptr<const TemporaryFolder> unpackedFolder() const { return temp_; }
    std::vector<PackageMember> members;
    // What the user is told of the package as a whole: members kept under another name.
    QStringList notes;

    // The boards whose drill files the package holds, when it holds more than one (DipTrace
    // writes several boards into one folder); empty for a package of one board.
    QStringList boards() const;
    // Every board its drill files' names give, one or more (empty when they name none).
    QStringList boardNames() const;
    // Keeps the members of the named board (the others are not used); false for a name that
    // is not one of boardNames().
    bool chooseBoard(const QString& name);

private:
    QString path_;
    bool archive_ = false;
    std::shared_ptr<TemporaryFolder> temp_; // shared with the board built from it
};

// True for a folder or an archive: what opens as a package.
bool isPackagePath(const QString& path);

// One member read into the board, for the batch command's report.
struct PackageFile {
    int member = 0; // index into members
    FileOutcome outcome;
};
struct BuiltBoard {
    bool ok = false; // false: no drill file among the members (said)
    std::vector<PackageFile> files; // in the order read: plated, non-plated, other drill files, outline
};
// Builds the board of the members' roles as the read commands would: the first drill file read,
// the others added, then the outline. A drill file the package has read already is taken as it
// was read (and its read given up by the member). The board remembers the package
// (Board::package) and keeps an archive's unpacked folder for as long as it lives; first the
// package's notes are said.
BuiltBoard buildBoard(
    Package& package, Board& board, HoleTable& table, BoardExtent& extent, const MessageSink& sink);

// Reads the package's layers that are no drill file (copper, mask, silk, paste, the outline's
// file, drawings, other Gerber files) of the board built from it into Board::layers, from the
// top down: the pictures the board view shows under the holes. A file that is no Gerber file
// or cannot be read is left out, said as information. Files are read side by side on the
// machine's cores.
void readBoardLayers(const Package& package, Board& board, const MessageSink& sink);

// The place of a layer's role from the top of the board down (silk, paste and mask of the top,
// the copper from the top, those of the bottom, then the outline and the drawings).
int layerDepth(const QString& role, std::optional<int> copper);

} // namespace kivotrek
