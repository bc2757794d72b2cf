// Seeds for the package target: the given files as the archives packages come in (zip, tar.gz,
// 7z, a zip inside a zip, a zip of code page 932 names without the UTF-8 mark, as Windows writes
// them). Usage: make_package_seeds OUTDIR FILE...

#include "archivewriter.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryFile>
#include <cstdio>
#include <utility>
#include <vector>

namespace {
using kivotrek::test::Members;

// The archive's bytes, written by the tests' own writer through a file.
QByteArray archived(const char* format, const Members& members)
{
    QTemporaryFile file;
    if (!file.open() || !kivotrek::test::writeArchive(file.fileName(), format, members))
        return QByteArray();
    QFile written(file.fileName());
    return written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
}

bool save(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_package_seeds OUTDIR FILE...\n");
        return 64;
    }
    const QString out = QFile::decodeName(argv[1]);
    Members members;
    for (int i = 2; i < argc; ++i) {
        QFile f(QFile::decodeName(argv[i]));
        if (f.open(QIODevice::ReadOnly) && f.size() < (qint64(1) << 20))
            members.emplace_back(QFileInfo(f).fileName().toUtf8(), f.readAll());
    }
    int n = 0;
    const auto seed = [&](const char* suffix, const QByteArray& bytes) {
        save(out + QStringLiteral("/seed-%1.%2").arg(n++).arg(QLatin1String(suffix)), bytes);
    };
    // Every file together, and a few at a time (a board's package holds a handful).
    seed("zip", archived("zip", members));
    seed("tar.gz", archived("tar.gz", members));
    for (size_t i = 0; i + 4 <= members.size(); i += 4) {
        const Members few(members.begin() + qsizetype(i), members.begin() + qsizetype(i + 4));
        seed("zip", archived("zip", few));
        if (i % 16 == 0) {
            seed("7z", archived("7z", few));
            seed("zip", archived("zip", {{"gerbers.zip", archived("zip", few)}, {"readme.txt", "notes\n"}}));
            // Names as Windows writes them: code page 932 in a folder of its own.
            Members japanese;
            QStringEncoder cp932("windows-31j");
            for (const auto& [name, content] : few)
                japanese.emplace_back(
                    cp932.encode(QStringLiteral("基板/") + QString::fromUtf8(name)), content);
            seed("zip", archived("zip", japanese));
        }
    }
    return 0;
}
