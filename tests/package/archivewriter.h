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

// format: "zip", "7z" or "tar.gz". False when libarchive cannot write it. A zip with a
// passphrase is locked with it (the traditional zip encryption).
inline bool writeArchive(
    const QString& path, const char* format, const Members& members, const char* passphrase = nullptr)
{
    struct archive* a = archive_write_new();
    const QByteArray f(format);
    if (f == "zip") {
        archive_write_set_format_zip(a);
        if (passphrase
            && (archive_write_set_options(a, "zip:encryption=zipcrypt") != ARCHIVE_OK
                || archive_write_set_passphrase(a, passphrase) != ARCHIVE_OK)) {
            archive_write_free(a);
            return false;
        }
    } else if (f == "7z")
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

// A zip written byte by byte, its members stored: each name as the bytes given, marked as UTF-8
// or not (Windows programs write code page 932 unmarked), as libarchive would never write it.
struct RawZipMember {
    QByteArray name;
    QByteArray content;
    bool utf8 = false;
};
inline QByteArray rawZip(const std::vector<RawZipMember>& members)
{
    const auto crc32 = [](const QByteArray& data) {
        quint32 crc = 0xFFFFFFFFu;
        for (const char c : data) {
            crc ^= static_cast<unsigned char>(c);
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    const auto le = [](QByteArray& out, quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += char((v >> (8 * i)) & 0xFF);
    };
    QByteArray out, central;
    for (const RawZipMember& m : members) {
        const quint32 crc = crc32(m.content);
        const quint32 flags = m.utf8 ? 0x800 : 0;
        const quint32 offset = quint32(out.size());
        le(out, 0x04034b50, 4);
        le(out, 20, 2);
        le(out, flags, 2);
        le(out, 0, 2); // stored
        le(out, 0, 4); // time and date
        le(out, crc, 4);
        le(out, quint32(m.content.size()), 4);
        le(out, quint32(m.content.size()), 4);
        le(out, quint32(m.name.size()), 2);
        le(out, 0, 2);
        out += m.name + m.content;
        le(central, 0x02014b50, 4);
        le(central, 20, 2);
        le(central, 20, 2);
        le(central, flags, 2);
        le(central, 0, 2);
        le(central, 0, 4);
        le(central, crc, 4);
        le(central, quint32(m.content.size()), 4);
        le(central, quint32(m.content.size()), 4);
        le(central, quint32(m.name.size()), 2);
        le(central, 0, 2);
        le(central, 0, 2);
        le(central, 0, 2);
        le(central, 0, 2);
        le(central, 0, 4);
        le(central, offset, 4);
        central += m.name;
    }
    const quint32 start = quint32(out.size());
    out += central;
    le(out, 0x06054b50, 4);
    le(out, 0, 2);
    le(out, 0, 2);
    le(out, quint32(members.size()), 2);
    le(out, quint32(members.size()), 2);
    le(out, quint32(central.size()), 4);
    le(out, start, 4);
    le(out, 0, 2);
    return out;
}

} // namespace kivotrek::test
