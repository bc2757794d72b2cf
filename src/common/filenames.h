#pragma once

// File names as the system keeps them: bytes. Most are UTF-8, but an archive made on Windows
// stores its names in code page 932 without saying so, and a folder copied from one keeps them.
// Qt names files in UTF-8 only, so such a name is shown decoded here and reached another way.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace kivotrek {

// The name as text: UTF-8 when the bytes are valid UTF-8, else code page 932 when they are valid
// code page 932; nothing when they are neither.
std::optional<QString> decodedName(QByteArrayView raw);

// The name as the user reads it: decoded, else its ASCII as it is and every other byte as "\xNN".
QString displayName(QByteArrayView raw);

// True when Qt can name the file by its text: the bytes are valid UTF-8.
bool isUtf8Name(QByteArrayView raw);

// A name not yet taken among the names given, made from the wanted one: "a.drl", else
// "a (2).drl", "a (3).drl", ... (the suffix kept, so that the name still says what it is).
template <typename Taken> QString freeName(const QString& wanted, Taken taken)
{
    if (!taken(wanted))
        return wanted;
    const qsizetype slash = wanted.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = wanted.lastIndexOf(QLatin1Char('.'));
    const qsizetype cut = dot > slash + 1 ? dot : wanted.size();
    for (int k = 2;; ++k) {
        QString name = wanted.left(cut) + QStringLiteral(" (%1)").arg(k) + wanted.mid(cut);
        if (!taken(name))
            return name;
    }
}

} // namespace kivotrek
