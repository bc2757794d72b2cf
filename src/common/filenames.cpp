#include "common/filenames.h"

#include <QStringDecoder>

namespace kivotrek {

bool isUtf8Name(QByteArrayView raw)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    // The decoder works when its result is made a string.
    [[maybe_unused]] const QString text = utf8.decode(raw);
    return !utf8.hasError();
}

std::optional<QString> decodedName(QByteArrayView raw)
{
    {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString text = utf8.decode(raw);
        if (!utf8.hasError())
            return text;
    }
    {
        QStringDecoder cp932("windows-31j", QStringConverter::Flag::Stateless);
        const QString text = cp932.decode(raw);
        // The decoder marks a byte it cannot take with U+FFFD; a name never holds one.
        if (cp932.isValid() && !cp932.hasError() && !text.contains(QChar(QChar::ReplacementCharacter)))
            return text;
    }
    return std::nullopt;
}

QString displayName(QByteArrayView raw)
{
    if (const auto text = decodedName(raw))
        return *text;
    QString shown;
    for (const char c : raw) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F)
            shown += QLatin1Char(c);
        else
            shown +=
                QStringLiteral("\\x") + QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    }
    return shown;
}

} // namespace kivotrek
