#include "package/archive.h"

#include "common/fileio.h"
#include "common/filenames.h"
#include "common/messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <locale.h>
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
    return text ? QString::fromLocal8Bit(text).trimmed() : QString();
}

// An archive libarchive cannot read: the message, and libarchive's reason alone.
void damaged(Unpacked& out, const QString& shown, const QString& why)
{
    out.error = msg::archiveDamaged(shown, why);
    out.reason = why;
}

// libarchive converts names by the locale of the thread: in a UTF-8 locale a zip's names marked
// UTF-8 come as they are, unmarked names as their bytes, and the UTF-16 names of 7z convert. The
// program's own locale may be "C", which turns every name that is not ASCII into an error.
class Utf8Locale {
public:
    Utf8Locale()
    {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
            utf8_ = newlocale(LC_ALL_MASK, name, locale_t(nullptr));
            if (utf8_)
                break;
        }
        if (utf8_)
            before_ = uselocale(utf8_);
    }
    ~Utf8Locale()
    {
        if (!utf8_)
            return;
        uselocale(before_);
        freelocale(utf8_);
    }
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;

private:
    locale_t utf8_ = locale_t(nullptr);
    locale_t before_ = locale_t(nullptr);
};

// The member's name as the archive stores it: its bytes.
QByteArray rawName(struct archive_entry* entry)
{
    if (const char* mbs = archive_entry_pathname(entry))
        return QByteArray(mbs);
    if (const char* utf8 = archive_entry_pathname_utf8(entry))
        return QByteArray(utf8);
    if (const wchar_t* wide = archive_entry_pathname_w(entry))
        return QString::fromWCharArray(wide).toUtf8();
    return QByteArray();
}

// The member's name as folders and a file inside the package, or nothing for a name that is
// absolute or climbs out of it (".."). Windows programs separate folders with "\": in a decoded
// name it is one, but in code page 932 a byte 0x5C may be the second half of a character.
std::optional<QStringList> safeParts(const QByteArray& raw)
{
    QStringList split;
    if (const auto decoded = decodedName(raw)) {
        split = QString(*decoded).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'));
    } else {
        QByteArray bytes = raw;
        bytes.replace('\\', '/');
        for (const QByteArray& part : bytes.split('/'))
            split << displayName(part);
    }
    const QString whole = split.join(QLatin1Char('/'));
    if (whole.startsWith(QLatin1Char('/')) || (whole.size() >= 2 && whole[1] == QLatin1Char(':')))
        return std::nullopt;
    QStringList parts;
    for (const QString& p : split) {
        if (p == QLatin1String(".."))
            return std::nullopt;
        if (!p.isEmpty() && p != QLatin1String("."))
            parts << p;
    }
    return parts;
}

// Where each member goes inside the folder: its own name where that is free, else the next free
// one; a folder that a file already holds the name of goes beside it under another name, and
// every later member of that folder with it.
class MemberPlaces {
public:
    // The place of the member (folders and file), and whether it is another than its name.
    QString place(const QStringList& parts, bool& renamed)
    {
        renamed = false;
        QString folder;
        QString asNamed;
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            asNamed += (asNamed.isEmpty() ? QString() : QStringLiteral("/")) + parts[i];
            const auto known = folders_.constFind(asNamed);
            if (known != folders_.constEnd()) {
                folder = *known;
                continue;
            }
            const QString wanted = (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + parts[i];
            const QString free = freeName(wanted, [this](const QString& n) { return files_.contains(n); });
            renamed = renamed || free != wanted;
            folders_.insert(asNamed, free);
            taken_.insert(free);
            folder = free;
        }
        const QString wanted = (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + parts.last();
        QString free =
            freeName(wanted, [this](const QString& n) { return files_.contains(n) || taken_.contains(n); });
        renamed = renamed || free != wanted;
        files_.insert(free);
        return free;
    }

private:
    QHash<QString, QString> folders_; // a folder as the archive names it: where it went
    QSet<QString> taken_; // folders made
    QSet<QString> files_; // files written
};
} // namespace

bool looksLikeArchive(const QString& path)
{
    const QByteArray head = inputHead(path, 512);
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

bool isOfficeDocument(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    static const QSet<QString> documents {QStringLiteral("docx"), QStringLiteral("docm"),
        QStringLiteral("dotx"), QStringLiteral("xlsx"), QStringLiteral("xlsm"), QStringLiteral("xltx"),
        QStringLiteral("pptx"), QStringLiteral("pptm"), QStringLiteral("ppsx"), QStringLiteral("odt"),
        QStringLiteral("ods"), QStringLiteral("odp"), QStringLiteral("odg"), QStringLiteral("vsdx"),
        QStringLiteral("epub")};
    return documents.contains(suffix);
}

Unpacked unpackArchive(const QString& archivePath, const QString& intoFolder, const ArchiveLimits& limits,
    qint64 alreadyWritten, int alreadyFound, const QString& shownName)
{
    Unpacked out;
    const QString shown = shownName.isEmpty() ? QFileInfo(archivePath).fileName() : shownName;
    const Utf8Locale names;
    std::unique_ptr<struct archive, ArchiveCloser> a(archive_read_new());
    archive_read_support_filter_all(a.get());
    archive_read_support_format_all(a.get());
    QFile file(archivePath);
    if (!openToRead(file)) {
        out.error = whyUnopenable(archivePath);
        return out;
    }
    if (archive_read_open_fd(a.get(), file.handle(), size_t(64) * 1024) != ARCHIVE_OK) {
        damaged(out, shown, reason(a.get()));
        return out;
    }
    const QDir into(intoFolder);
    MemberPlaces places;
    qint64 total = alreadyWritten;
    qint64 found = alreadyFound;
    bool tooMany = false; // past the limit the members are only counted, for the message
    std::vector<char> buffer(size_t(256) * 1024);
    for (;;) {
        struct archive_entry* entry = nullptr;
        const int r = archive_read_next_header(a.get(), &entry);
        if (r == ARCHIVE_EOF)
            break;
        if (r < ARCHIVE_WARN) {
            damaged(out, shown, reason(a.get()));
            return out;
        }
        const QByteArray raw = rawName(entry);
        const auto parts = safeParts(raw);
        if (!parts) {
            out.error = msg::archiveMemberOutside(shown, displayName(raw));
            return out;
        }
        if (archive_entry_filetype(entry) != AE_IFREG || parts->isEmpty())
            continue; // folders, links, devices: nothing is made of them
        if (++found > limits.members)
            tooMany = true;
        if (tooMany) {
            if (archive_read_data_skip(a.get()) < ARCHIVE_WARN) {
                damaged(out, shown, reason(a.get()));
                return out;
            }
            continue;
        }
        const QString name = parts->join(QLatin1Char('/'));
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > limits.member) {
            out.error = msg::archiveMemberTooLarge(shown, name);
            return out;
        }
        bool renamed = false;
        const QString relative = places.place(*parts, renamed);
        if (renamed)
            out.notes << msg::memberRenamed(shown, name, relative);
        const QString target = into.filePath(relative);
        if (!into.mkpath(QFileInfo(target).path())) {
            out.error = msg::packageCannotUnpack(shown, QString::fromLocal8Bit(std::strerror(errno)));
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
                damaged(out, shown, reason(a.get()));
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
        out.members << relative;
    }
    if (tooMany) {
        out.tooMany = true;
        out.found = found;
        out.error = msg::packageTooManyMembers(shown, found, limits.members);
        return out;
    }
    out.ok = true;
    out.bytes = total - alreadyWritten;
    return out;
}

} // namespace kivotrek
