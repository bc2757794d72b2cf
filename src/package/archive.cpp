#include "package/archive.h"

#include "common/fileio.h"
#include "common/messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <archive.h>
#include <archive_entry.h>
#include <memory>
#include <optional>

namespace kivotrek {

namespace {
struct ArchiveCloser {
    void operator()(struct archive* a) const { archive_read_free(a); }
};

QString reason(struct archive* a)
{
    const char* text = archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : QString();
}

// The member's name as folders and a file inside the package, or nothing for a name that is
// absolute or climbs out of it ("..").
std::optional<QStringList> safeParts(const QString& name)
{
    QString n = name;
    n.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (n.startsWith(QLatin1Char('/')) || (n.size() >= 2 && n[1] == QLatin1Char(':')))
        return std::nullopt;
    QStringList parts;
    for (const QString& p : n.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (p == QLatin1String(".."))
            return std::nullopt;
        if (p != QLatin1String("."))
            parts << p;
    }
    return parts;
}
} // namespace

bool looksLikeArchive(const QString& path)
{
    QFile file(path);
    if (!openToRead(file))
        return false;
    const QByteArray head = file.read(512);
    if (head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06")
        || head.startsWith("7z\xBC\xAF\x27\x1C") || head.startsWith("Rar!\x1A\x07")
        || head.startsWith("\x1F\x8B") || head.startsWith("BZh")
        || head.startsWith("\xFD"
                           "7zXZ")
        || head.mid(257, 5) == "ustar")
        return true;
    const QString name = QFileInfo(path).fileName().toLower();
    for (const char* suffix :
        {".zip", ".tar", ".tgz", ".tar.gz", ".tbz2", ".tar.bz2", ".txz", ".tar.xz", ".7z", ".rar"}) {
        if (name.endsWith(QLatin1String(suffix)))
            return true;
    }
    return false;
}

Unpacked unpackArchive(
    const QString& archivePath, const QString& intoFolder, const ArchiveLimits& limits, qint64 alreadyWritten)
{
    Unpacked out;
    const QString shown = QFileInfo(archivePath).fileName();
    std::unique_ptr<struct archive, ArchiveCloser> a(archive_read_new());
    archive_read_support_filter_all(a.get());
    archive_read_support_format_all(a.get());
    QFile file(archivePath);
    if (!openToRead(file)) {
        out.error = whyUnopenable(archivePath);
        return out;
    }
    if (archive_read_open_fd(a.get(), file.handle(), size_t(64) * 1024) != ARCHIVE_OK) {
        out.error = msg::archiveDamaged(shown, reason(a.get()));
        return out;
    }
    const QDir into(intoFolder);
    qint64 total = alreadyWritten;
    std::vector<char> buffer(size_t(256) * 1024);
    for (;;) {
        struct archive_entry* entry = nullptr;
        const int r = archive_read_next_header(a.get(), &entry);
        if (r == ARCHIVE_EOF)
            break;
        if (r < ARCHIVE_WARN) {
            out.error = msg::archiveDamaged(shown, reason(a.get()));
            return out;
        }
        const char* utf8 = archive_entry_pathname_utf8(entry);
        const char* local = archive_entry_pathname(entry);
        const QString name = utf8 ? QString::fromUtf8(utf8) : QString::fromLocal8Bit(local ? local : "");
        const auto parts = safeParts(name);
        if (!parts) {
            out.error = msg::archiveMemberOutside(shown, name);
            return out;
        }
        if (archive_entry_filetype(entry) != AE_IFREG || parts->isEmpty())
            continue; // folders, links, devices: nothing is made of them
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > limits.member) {
            out.error = msg::archiveMemberTooLarge(shown, name);
            return out;
        }
        const QString relative = parts->join(QLatin1Char('/'));
        const QString target = into.filePath(relative);
        if (!into.mkpath(QFileInfo(target).path())) {
            out.error = msg::packageCannotUnpack(shown, QStringLiteral("%1").arg(QFileInfo(target).path()));
            return out;
        }
        QFile member(target);
        if (!member.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            out.error = msg::packageCannotUnpack(shown, member.errorString());
            return out;
        }
        qint64 size = 0;
        for (;;) {
            const la_ssize_t n = archive_read_data(a.get(), buffer.data(), buffer.size());
            if (n == 0)
                break;
            if (n < 0) {
                out.error = msg::archiveDamaged(shown, reason(a.get()));
                return out;
            }
            size += n;
            total += n;
            if (size > limits.member) {
                out.error = msg::archiveMemberTooLarge(shown, name);
                return out;
            }
            if (total > limits.total) {
                out.error = msg::archiveTooLarge(shown);
                return out;
            }
            if (member.write(buffer.data(), n) != n) {
                out.error = msg::packageCannotUnpack(shown, member.errorString());
                return out;
            }
        }
        if (!member.flush()) {
            out.error = msg::packageCannotUnpack(shown, member.errorString());
            return out;
        }
        if (!out.members.contains(relative))
            out.members << relative;
    }
    out.ok = true;
    out.bytes = total - alreadyWritten;
    return out;
}

} // namespace kivotrek
