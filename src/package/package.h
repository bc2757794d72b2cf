#pragma once

// A customer's package: a folder or an archive of a board's files (copper, mask, silk, drill
// files, an outline, reports). Each member's role is found (a plated, non-plated or mixed drill
// file, the outline, or not used, and why), and the board is built from it in one step.

#include "board/board.h"
#include "common/messagesink.h"
#include "package/archive.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <vector>

namespace kivotrek {

struct PackageMember {
    enum class Role { Plated, NonPlated, Drill, Outline, Unused };
    QString name; // as the package names it: "gerber/board-PTH.drl", "inner.zip/x.drl"
    QString path; // where it is on disk
    Role role = Role::Unused;
    QString why; // how the role was found, as the window shows it: 「X2 属性 Plated」
    QString board; // the name of the board its file names give ("" when they name none)
    bool holeless = false; // a drill file without a hole or slot (KiCad writes an empty NPTH file)
};

// The role's name in the window and its key in the batch command's JSON.
QString roleText(PackageMember::Role role);
const char* roleKey(PackageMember::Role role);

class Package {
public:
    // Opens a folder or an archive (archives inside it one level deep) and finds each member's
    // role; nothing when it cannot, with the message in error. An archive is unpacked into a
    // private temporary folder that lives as long as the package.
    static std::unique_ptr<Package> open(
        const QString& path, QString* error, const ArchiveLimits& limits = {});

    const QString& path() const { return path_; }
    bool isArchive() const { return temp_ != nullptr; }
    std::vector<PackageMember> members;

    // The boards whose drill files the package holds, when it holds more than one (DipTrace
    // writes several boards into one folder); empty for a package of one board.
    QStringList boards() const;
    // Keeps the members of the named board (the others are not used); false for a name that
    // is not one of boards().
    bool chooseBoard(const QString& name);

private:
    QString path_;
    std::unique_ptr<QTemporaryDir> temp_;
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
// the others added, then the outline. The board remembers the package (Board::package).
BuiltBoard buildBoard(const Package& package, Board& board, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink, BoardData* held = nullptr);

} // namespace kivotrek
