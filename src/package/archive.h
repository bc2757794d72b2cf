#pragma once

// Archives a board comes in (.zip, .tar, .tar.gz, .tar.bz2, .tar.xz, .7z, .rar), unpacked with
// libarchive into a folder of the caller's: every member under its own name inside it, never
// outside, and never more than the limits allow.

#include <QString>
#include <QStringList>

namespace kivotrek {

struct ArchiveLimits {
    qint64 total = qint64(2) << 30; // all members together: 2 GiB
    qint64 member = qint64(512) << 20; // one member: 512 MiB
};

// True for a file that is an archive: by its first bytes (zip, 7z, rar, gzip, bzip2, xz, tar),
// or by its name where the bytes say nothing (.zip, .tar, .tgz, .tar.gz, ...).
bool looksLikeArchive(const QString& path);

struct Unpacked {
    bool ok = false;
    QString error; // the message for the user when not ok
    QStringList members; // the regular files written, as the archive names them ("gerber/x.drl")
    qint64 bytes = 0; // written in all
};

// Unpacks the archive's regular files into the folder (which must exist). A member whose name is
// absolute or climbs out with "..", more bytes than the limits, or a damaged archive refuses the
// whole archive with a message; links, devices and folders are passed over. Bytes already
// counted (of other archives of one package) are given as alreadyWritten.
Unpacked unpackArchive(const QString& archive, const QString& intoFolder, const ArchiveLimits& limits = {},
    qint64 alreadyWritten = 0);

} // namespace kivotrek
