#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

namespace kivotrek::cp932 {

// Gerber files and the settings file use Windows code page 932 (Shift-JIS).
QString decode(QByteArrayView bytes);

// Returns nothing when the text holds a character that code page 932 cannot represent.
std::optional<QByteArray> encode(const QString& text);

// The characters of the text that code page 932 cannot hold, each once, in order of first
// appearance (a character outside the Basic Multilingual Plane as one entry).
QStringList unencodable(const QString& text);

} // namespace kivotrek::cp932
