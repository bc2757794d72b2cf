// Any bytes, opened as a customer's package (an archive, archives inside it one level deep):
// each member's role found, the board built. Whatever the bytes, no member is written outside
// the package's temporary folder, every member's name is its own, the board's files are members
// of the package, and the temporary folder goes with the package.

#include "board/board.h"
#include "package/package.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kivotrek;
    static QTemporaryDir work;
    const QString archive = work.path() + QStringLiteral("/package.zip");
    {
        QFile f(archive);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    // The limits of a real package, scaled down so that an input unpacks in milliseconds.
    ArchiveLimits limits;
    limits.total = qint64(8) << 20;
    limits.member = qint64(4) << 20;
    limits.members = 64;
    QString error;
    QStringList folders;
    {
        std::unique_ptr<Package> p = Package::open(archive, &error, limits);
        if (!p) {
            if (error.isEmpty())
                std::abort(); // a refusal always says why
            return 0;
        }
        folders = p->folders();
        QSet<QString> names;
        for (const PackageMember& m : p->members) {
            if (names.contains(m.name))
                std::abort(); // one member over another
            names.insert(m.name);
            const QString path = QFileInfo(m.path).absoluteFilePath();
            bool inside = false;
            for (const QString& f : folders)
                inside = inside || path.startsWith(f);
            if (!inside)
                std::abort();
        }
        if (p->members.size() > size_t(limits.members) * 2)
            std::abort();
        Board board;
        HoleTable table;
        BoardExtent extent;
        const BuiltBoard built = buildBoard(*p, board, table, extent, {});
        for (const PackageFile& f : built.files) {
            if (f.member < 0 || size_t(f.member) >= p->members.size())
                std::abort();
        }
        if (board.nextFreeRow() > HoleTable::kRows)
            std::abort();
    }
    // Nothing stays behind but the input itself.
    if (QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
        != QStringList {QStringLiteral("package.zip")})
        std::abort();
    for (const QString& f : folders) {
        if (f.startsWith(QDir::tempPath()) && !f.startsWith(work.path()) && QFileInfo::exists(f))
            std::abort(); // the package's temporary folder is gone
    }
    return 0;
}
