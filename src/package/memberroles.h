#pragma once

// How a file of a package shows its role, from the strongest sign to the weakest: the package's
// Gerber job file, the file's own attributes (.FileFunction), its content (Excellon, a Gerber
// file of nothing but round flashes), its name by the rules of the CAD programs that write them.

#include "package/package.h"

#include <QHash>
#include <QString>
#include <memory>
#include <optional>

namespace kivotrek {

struct RoleFinding {
    PackageMember::Role role = PackageMember::Role::Unused;
    QString why;
    bool byName = false; // from the name alone: the weakest sign
    std::optional<ReaderKind> reader; // a drill file's reader, where its content says it
    std::shared_ptr<MemberRead> read; // a file read whole to find its role, as the board reads it
    QString function; // the .FileFunction that gave the role (the job file's or the file's own)
    bool gerber = false; // its first bytes are Gerber's (a format statement or a unit)
};

// The roles the Gerber job file (.gbrjob, JSON: FilesAttributes with Path and FileFunction)
// gives, by the member names they come to (its paths are relative to its own folder).
QHash<QString, RoleFinding> rolesFromJobFile(const QString& path, const QString& name);

// The role of a file by itself: its attributes, else its content, else its name.
RoleFinding roleOfFile(const QString& path, const QString& name);

// The board a member's name names: its file name without the extension and without the words
// that say what the file is ("-PTH", "_BoardOutline", "Drill_", ...), in lower case.
QString boardOfName(const QString& name);

} // namespace kivotrek
