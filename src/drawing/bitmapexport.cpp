#include "drawing/bitmapexport.h"

#include <QImageWriter>
#include <QSaveFile>

namespace kivotrek {

bool savePicture(const QImage& picture, const QString& path, const char* format)
{
    if (path.isEmpty() || picture.isNull())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, format);
    if (!writer.write(picture)) {
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
