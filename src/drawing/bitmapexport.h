#pragma once

#include <QImage>
#include <QString>

namespace kivotrek {

// Writes the picture under exactly that name (no extension added) as a Windows bitmap, pixel
// for pixel. A new file is written and renamed over an existing one, so a failure leaves the old
// file as it was. False when the file cannot be written.
bool saveBitmap(const QImage& picture, const QString& path);

// Same, choosing the format by the name's extension (.bmp or .png).
bool savePicture(const QImage& picture, const QString& path, const char* format);

} // namespace kivotrek
