#include "drawing/bitmapexport.h"

#include "common/fileio.h"

#include <QHash>
#include <QIODevice>
#include <QImageWriter>
#include <QSaveFile>
#include <cstdint>
#include <optional>
#include <zlib.h>

namespace kivotrek {

namespace {
void appendBigEndian(QByteArray& out, uint32_t v)
{
    const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(bytes, 4);
}

void appendChunk(QByteArray& out, const char type[4], const QByteArray& data)
{
    appendBigEndian(out, static_cast<uint32_t>(data.size()));
    const qsizetype start = out.size();
    out.append(type, 4);
    out.append(data);
    // The chunk's CRC-32 covers its type and data (zlib's crc32 is the one PNG names).
    const auto* bytes = reinterpret_cast<const Bytef*>(out.constData() + start);
    appendBigEndian(
        out, static_cast<uint32_t>(::crc32(::crc32(0L, Z_NULL, 0), bytes, uInt(out.size() - start))));
}

// A drill map has few colours: with 256 or fewer the PNG holds it exactly as an 8-bit palette
// image, a quarter of the data to compress. Written here rather than through QImageWriter:
// rows unfiltered and zlib at level 1, for drill maps are mostly runs of one colour, and the
// indices are made and written in one pass. Nothing when the picture has more colours.
std::optional<QByteArray> palettePng(const QImage& picture)
{
    if (picture.format() != QImage::Format_RGB32 || picture.isNull())
        return std::nullopt;
    const int width = picture.width();
    const int height = picture.height();
    // Rows of a filter byte (0, none) and the colour indices.
    QByteArray rows(qsizetype(height) * (width + 1), Qt::Uninitialized);
    QList<QRgb> colors;
    QHash<QRgb, uchar> index;
    QRgb last = 0;
    uchar lastIndex = 0;
    bool haveLast = false;
    char* out = rows.data();
    for (int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        *out++ = 0;
        for (int x = 0; x < width; ++x) {
            const QRgb c = in[x];
            if (!haveLast || c != last) {
                auto it = index.constFind(c);
                if (it == index.constEnd()) {
                    if (colors.size() == 256)
                        return std::nullopt;
                    it = index.insert(c, static_cast<uchar>(colors.size()));
                    colors.append(c);
                }
                last = c;
                lastIndex = *it;
                haveLast = true;
            }
            *out++ = static_cast<char>(lastIndex);
        }
    }
    // IDAT's data is one zlib stream, at level 1.
    uLongf size = ::compressBound(uLong(rows.size()));
    QByteArray compressed(qsizetype(size), Qt::Uninitialized);
    if (::compress2(reinterpret_cast<Bytef*>(compressed.data()), &size,
            reinterpret_cast<const Bytef*>(rows.constData()), uLong(rows.size()), 1)
        != Z_OK)
        return std::nullopt;
    compressed.resize(qsizetype(size));

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    appendBigEndian(header, static_cast<uint32_t>(width));
    appendBigEndian(header, static_cast<uint32_t>(height));
    header.append("\x08\x03\x00\x00\x00", 5); // 8 bits, palette, deflate, no filter set, no interlace
    appendChunk(png, "IHDR", header);
    QByteArray palette;
    for (const QRgb c : colors) {
        palette.append(char(qRed(c)));
        palette.append(char(qGreen(c)));
        palette.append(char(qBlue(c)));
    }
    appendChunk(png, "PLTE", palette);
    if (picture.dotsPerMeterX() > 0 && picture.dotsPerMeterY() > 0) {
        QByteArray physical;
        appendBigEndian(physical, static_cast<uint32_t>(picture.dotsPerMeterX()));
        appendBigEndian(physical, static_cast<uint32_t>(picture.dotsPerMeterY()));
        physical.append('\x01'); // per metre
        appendChunk(png, "pHYs", physical);
    }
    appendChunk(png, "IDAT", compressed);
    appendChunk(png, "IEND", QByteArray());
    return png;
}
// Hands an image writer's bytes to the file whole, so that a disk that fills up in the middle of
// a picture leaves the file with the system's reason rather than a short write without one.
class WholeWrites : public QIODevice {
public:
    explicit WholeWrites(QIODevice& file) : file_(file) { open(QIODevice::WriteOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        return writeAll(file_, QByteArray::fromRawData(data, static_cast<qsizetype>(size))) ? size : -1;
    }

private:
    QIODevice& file_;
};
} // namespace

WriteResult savePicture(const QImage& picture, const QString& path, const char* format)
{
    if (path.isEmpty() || picture.isNull())
        return WriteResult::failed(QString());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return WriteResult::failed(file.errorString());
    const bool png = qstrcmp(format, "PNG") == 0;
    const std::optional<QByteArray> palette = png ? palettePng(picture) : std::nullopt;
    if (palette) {
        if (!writeAll(file, *palette)) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return WriteResult::failed(reason);
        }
        return commitWhole(file);
    }
    WholeWrites whole(file);
    QImageWriter writer(&whole, format);
    if (png)
        writer.setQuality(80); // zlib level 1: drill maps are mostly white, so little is lost by going fast
    if (!writer.write(picture)) {
        const QString reason =
            file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        file.cancelWriting();
        return WriteResult::failed(reason);
    }
    return commitWhole(file);
}

WriteResult saveBitmap(const QImage& picture, const QString& path)
{
    return savePicture(picture, path, "BMP");
}

} // namespace kivotrek
