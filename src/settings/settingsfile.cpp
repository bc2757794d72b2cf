#include "settings/settingsfile.h"

#include "common/cp932.h"
#include "common/fileio.h"
#include "common/messages.h"
#include "common/numbers.h"

#include <QFile>
#include <QtEndian>

namespace kivotrek {

namespace {
constexpr int kColorSlot = 7;
constexpr int kProductCodeSlot = 8;
constexpr qint64 kMaxSettingsRead = qint64(kSettingsValues) * (4 + 0xFFFF); // far beyond any real file

constexpr int kTextSlots = 6;
QString HoleRow::*const kTextFields[kTextSlots] = {
    &HoleRow::dcode, &HoleRow::diameter, &HoleRow::sign1, &HoleRow::tol1, &HoleRow::sign2, &HoleRow::tol2};
constexpr int kKindSlot = 6;

void putU16(QByteArray& out, uint16_t v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}
} // namespace

SettingsValues settingsValues(const HoleTable& table, const QString& productCode)
{
    SettingsValues values;
    for (int i = 0; i < HoleTable::kRows; ++i) {
        const HoleRow& row = table.row(i);
        SettingsValue* rowValues = &values[static_cast<size_t>(i) * kSlotsPerRow];
        for (int s = 0; s < kTextSlots; ++s)
            rowValues[s] = SettingsValue::ofText(row.*kTextFields[s]);
        // By its fixed name, never its caption: a caption changed never changes the file.
        rowValues[kKindSlot] = SettingsValue::ofText(row.kind.name());
        rowValues[kColorSlot] = SettingsValue::ofInteger(static_cast<int32_t>(row.color));
    }
    values[kProductCodeSlot] = SettingsValue::ofText(productCode);
    return values;
}

std::optional<QByteArray> encodeSettings(const SettingsValues& values, QString* badText, int* badIndex)
{
    QByteArray out;
    out.reserve(4096);
    for (size_t index = 0; index < values.size(); ++index) {
        const SettingsValue& v = values[index];
        putU16(out, v.tag);
        if (v.tag == SettingsValue::Integer) {
            char b[4];
            qToLittleEndian(v.integer, b);
            out.append(b, 4);
        } else if (v.tag == SettingsValue::Text) {
            const auto bytes = cp932::encode(v.text);
            if (!bytes || bytes->size() > 0xFFFF) {
                if (badText)
                    *badText = v.text;
                if (badIndex)
                    *badIndex = int(index);
                return std::nullopt;
            }
            putU16(out, static_cast<uint16_t>(bytes->size()));
            out.append(*bytes);
        }
    }
    return out;
}

std::optional<SettingsValues> decodeSettings(const QByteArray& bytes)
{
    SettingsValues values;
    qsizetype at = 0;
    const auto have = [&](qsizetype n) { return bytes.size() - at >= n; };
    for (SettingsValue& v : values) {
        if (!have(2))
            return std::nullopt;
        const uint16_t tag = qFromLittleEndian<uint16_t>(bytes.constData() + at);
        at += 2;
        switch (tag) {
        case SettingsValue::Empty: v = {}; break;
        case SettingsValue::Integer:
            if (!have(4))
                return std::nullopt;
            v = SettingsValue::ofInteger(qFromLittleEndian<int32_t>(bytes.constData() + at));
            at += 4;
            break;
        case SettingsValue::Text: {
            if (!have(2))
                return std::nullopt;
            const uint16_t len = qFromLittleEndian<uint16_t>(bytes.constData() + at);
            at += 2;
            if (!have(len))
                return std::nullopt;
            v = SettingsValue::ofText(cp932::decode(QByteArrayView(bytes.constData() + at, len)));
            at += len;
            break;
        }
        default: return std::nullopt;
        }
    }
    return values;
}

namespace {
// A value used as a text: empty gives "", an integer its decimal digits.
QString asText(const SettingsValue& v)
{
    switch (v.tag) {
    case SettingsValue::Text: return v.text;
    case SettingsValue::Integer: return QString::number(v.integer);
    default: return QString();
    }
}

// A value used as a colour: empty gives 0 (black), a text that holds a number that number.
std::optional<uint32_t> asColor(const SettingsValue& v)
{
    switch (v.tag) {
    case SettingsValue::Integer: return static_cast<uint32_t>(v.integer);
    case SettingsValue::Text: {
        const auto number = parseDecimal(v.text.toLatin1());
        if (v.text.isEmpty() || !number)
            return std::nullopt;
        const auto whole = roundHalfEvenToInt32(*number);
        if (!whole)
            return std::nullopt;
        return static_cast<uint32_t>(*whole);
    }
    default: return 0u;
    }
}
} // namespace

void applySettings(const SettingsValues& values, HoleTable& table, QString& productCode)
{
    for (int i = 0; i < HoleTable::kRows; ++i) {
        HoleRow& row = table.row(i);
        const SettingsValue* rowValues = &values[static_cast<size_t>(i) * kSlotsPerRow];
        for (int s = 0; s < kTextSlots; ++s)
            row.*kTextFields[s] = asText(rowValues[s]);
        row.kind = HoleKind::named(asText(rowValues[kKindSlot]));
        if (const auto color = asColor(rowValues[kColorSlot]))
            row.color = *color;
    }
    productCode = asText(values[kProductCodeSlot]);
}

QString settingsPlace(const HoleTable& table, int valueIndex)
{
    const int slot = valueIndex % kSlotsPerRow;
    if (slot == kProductCodeSlot)
        return msg::productCodeField();
    const int i = valueIndex / kSlotsPerRow;
    const HoleRow& row = table.row(i);
    return msg::rowField(i + 1, row.isUsed() ? row.dcode : QString(), msg::settingsFieldName(slot));
}

QString settingsPath(const QString& gerberPath)
{
    const QString path = gerberPath.trimmed();
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    QString name = QStringLiteral("KIVOTREK.INI");
    if (cut < 0)
        return name; // a bare file name: its folder is the current one
    return path.left(cut + 1) + name;
}

SaveResult saveSettingsFile(const HoleTable& table, const QString& productCode, const QString& gerberPath)
{
    SaveResult r;
    if (gerberPath.isEmpty())
        return r;
    r.path = settingsPath(gerberPath);
    QString bad;
    int index = 0;
    const auto bytes = encodeSettings(settingsValues(table, productCode), &bad, &index);
    if (!bytes) {
        const QStringList characters = cp932::unencodable(bad);
        const QString place = settingsPlace(table, index);
        r.error = characters.isEmpty() ? msg::textTooLong(place) : msg::unsavableText(place, characters);
        return r;
    }
    // A whole new file renamed over the old one: a failure never leaves a damaged file.
    if (const WriteResult w = writeWholeFile(r.path, *bytes); !w) {
        r.error = msg::cannotSaveSettings(r.path, w.reason);
        return r;
    }
    r.ok = true;
    return r;
}

std::optional<SettingsValues> readSettingsFile(const QString& path, QString* error)
{
    QFile file(path);
    std::optional<SettingsValues> values;
    QString reason; // why not, for the message
    if (!openToRead(file)) {
        reason = unreadableReason(path);
    } else {
        values = decodeSettings(file.read(kMaxSettingsRead));
        if (!values)
            reason = file.error() != QFileDevice::NoError ? file.errorString() : msg::notSettingsData();
    }
    file.close();
    if (!values && error)
        *error = msg::cannotReadSettings(path, reason);
    return values;
}

bool loadSettings(const QString& path, HoleTable& table, QString& productCode, QString* error)
{
    const auto values = readSettingsFile(path, error);
    if (!values)
        return false;
    applySettings(*values, table, productCode);
    return true;
}

} // namespace kivotrek
