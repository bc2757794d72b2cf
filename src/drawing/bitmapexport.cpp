#include "drawing/bitmapexport.h"

#include <QHash>
#include <QImageWriter>
#include <QSaveFile>

namespace kivotrek {

namespace {
// A drill map has few colours: with 256 or fewer a PNG holds it exactly as a palette image,
// which is a quarter of the data to compress. Otherwise the picture is written as it is.
QImage exactPalette(const QImage& picture)
{
    if (picture.format() != QImage::Format_RGB32 || picture.isNull())
        return picture;
    QImage indexed(picture.size(), QImage::Format_Indexed8);
    indexed.setDotsPerMeterX(picture.dotsPerMeterX());
    indexed.setDotsPerMeterY(picture.dotsPerMeterY());
    QList<QRgb> colors;
    QHash<QRgb, uchar> index;
    QRgb last = 0;
    uchar lastIndex = 0;
    bool haveLast = false;
    const int width = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        uchar* out = indexed.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const QRgb c = in[x];
            if (!haveLast || c != last) {
                auto it = index.constFind(c);
                if (it == index.constEnd()) {
                    if (colors.size() == 256)
                        return picture;
                    it = index.insert(c, static_cast<uchar>(colors.size()));
                    colors.append(c);
                }
                last = c;
                lastIndex = *it;
                haveLast = true;
            }
            out[x] = lastIndex;
        }
    }
    indexed.setColorTable(colors);
    return indexed;
}
} // namespace

bool savePicture(const QImage& picture, const QString& path, const char* format)
{
    if (path.isEmpty() || picture.isNull())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, format);
    const bool png = qstrcmp(format, "PNG") == 0;
    if (png)
        writer.setQuality(80); // zlib level 1: drill maps are mostly white, so little is lost by going fast
    if (!writer.write(png ? exactPalette(picture) : picture)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool saveBitmap(const QImage& picture, const QString& path)
{
    return savePicture(picture, path, "BMP");
}

} // namespace kivotrek
