#include "common/cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace kivotrek::cp932 {

namespace {
constexpr const char* kCodecName = "windows-31j";

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}
} // namespace

QString decode(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

std::optional<QByteArray> encode(const QString& text)
{
    bool ascii = true;
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return text.toLatin1();
    QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
    QByteArray out = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return out;
}

QStringList unencodable(const QString& text)
{
    QStringList out;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        const QString c = text.mid(i, n);
        if (!encode(c) && !out.contains(c))
            out << c;
        i += n;
    }
    return out;
}

} // namespace kivotrek::cp932
