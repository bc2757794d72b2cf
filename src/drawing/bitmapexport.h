#pragma once

#include "common/fileio.h"

#include <QImage>
#include <QString>

namespace kivotrek {

// Writes the picture under exactly that name (no extension added) as a Windows bitmap, pixel
// for pixel. A new file is written and renamed over an existing one, so a failure leaves the old
// file as it was. A failure says why.
WriteResult saveBitmap(const QImage& picture, const QString& path);

// Same, in the format ("BMP" or "PNG").
WriteResult savePicture(const QImage& picture, const QString& path, const char* format);

} // namespace kivotrek
