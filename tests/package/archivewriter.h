#pragma once

// Archives for the tests, written with libarchive: zip, 7z, tar.gz, with any member names.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <archive.h>
#include <archive_entry.h>
#include <utility>
#include <vector>

namespace kivotrek::test {

using Members = std::vector<std::pair<QByteArray, QByteArray>>; // name, content

// format: "zip", "7z" or "tar.gz". False when libarchive cannot write it.
inline bool writeArchive(const QString& path, const char* format, const Members& members)
{
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
    bool ok = archive_write_open_filename(a, QFile::encodeName(path).constData()) == ARCHIVE_OK;
    for (const auto& [name, content] : members) {
        struct archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.constData());
        archive_entry_set_size(e, content.size());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        ok = ok && archive_write_header(a, e) == ARCHIVE_OK
            && archive_write_data(a, content.constData(), size_t(content.size())) == content.size();
        archive_entry_free(e);
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    return ok;
}

} // namespace kivotrek::test
