// Seeds for the package target: the given files as the archives packages come in (zip, tar.gz,
// 7z, a zip inside a zip, a zip of code page 932 names without the UTF-8 mark, as Windows writes
// them). Usage: make_package_seeds OUTDIR FILE...

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <archive.h>
#include <archive_entry.h>
#include <cstdio>
#include <utility>
#include <vector>

namespace {
using Members = std::vector<std::pair<QByteArray, QByteArray>>;

QByteArray archived(const char* format, const Members& members)
{
    QByteArray out;
    struct archive* a = archive_write_new();
    const QByteArray f(format);
    if (f == "zip")
        archive_write_set_format_zip(a);
    else if (f == "7z")
        archive_write_set_format_7zip(a);
    else {
        archive_write_set_format_pax_restricted(a);
        archive_write_add_filter_gzip(a);
    }
    archive_write_set_bytes_in_last_block(a, 1);
    archive_write_open(
        a, &out, nullptr,
        [](struct archive*, void* into, const void* buffer, size_t length) -> la_ssize_t {
            static_cast<QByteArray*>(into)->append(static_cast<const char*>(buffer), qsizetype(length));
            return la_ssize_t(length);
        },
        nullptr);
    for (const auto& [name, content] : members) {
        struct archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.constData());
        archive_entry_set_size(e, content.size());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_write_header(a, e);
        archive_write_data(a, content.constData(), size_t(content.size()));
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    return out;
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
