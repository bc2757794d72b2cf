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
    int members = 10000; // files in a package
};

// True for a file that is an archive: by its first bytes (zip, 7z, rar, gzip, bzip2, xz, tar),
// or by its name where the bytes say nothing (.zip, .tar, .tgz, .tar.gz, ...).
bool looksLikeArchive(const QString& path);

// True for an office document by its name (.docx, .xlsx, .odt, ...): a zip of a document's
// parts, never a package of board files.
bool isOfficeDocument(const QString& name);

struct Unpacked {
    bool ok = false;
    QString error; // the message for the user when not ok
    QString reason; // of an archive that cannot be read: libarchive's words alone, else empty
    // The regular files written, as the archive names them ("gerber/x.drl"), each name once: a
    // name that is no UTF-8 decoded as code page 932 where it is one, else with "\xNN" for each
    // byte that is not ASCII; a name taken before is kept as "x (2).drl".
    QStringList members;
    QStringList notes; // what the user is told: the members kept under another name
    qint64 bytes = 0; // written in all
    bool tooMany = false; // more members than the limit, with those before: found says how many
    qint64 found = 0;
};

// Unpacks the archive's regular files into the folder (which must exist). A member whose name is
// absolute or climbs out with "..", more bytes or members than the limits, or a damaged archive
// refuses the whole archive with a message; links, devices and folders are passed over. Bytes
// and members already counted (of other archives of one package) are given as alreadyWritten
// and alreadyFound. shown names the archive in the messages.
Unpacked unpackArchive(const QString& archive, const QString& intoFolder, const ArchiveLimits& limits = {},
    qint64 alreadyWritten = 0, int alreadyFound = 0, const QString& shown = QString());

} // namespace kivotrek
