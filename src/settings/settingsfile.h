#pragma once

// KIVOTREK.INI: the hole table and the product code, kept in the folder of the Gerber file.
// Despite its name a binary file: 630 tagged values, ten per hole row, little-endian, texts
// in code page 932.
//
//   value   = tag:u16 [data]; tag 0 empty, 3 int32 (4 bytes), 8 text (length:u16, bytes)
//   row i   = slots 0..9: D-code, diameter, sign 1, tolerance 1, sign 2, tolerance 2, kind,
//             colour (int32 0x00BBGGRR), product code (row 0 only, else empty), empty

#include "table/holetable.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace kivotrek {

struct SettingsValue {
    enum Tag : uint16_t { Empty = 0, Integer = 3, Text = 8 };
    Tag tag = Empty;
    int32_t integer = 0;
    QString text;

    static SettingsValue ofText(const QString& t) { return {Text, 0, t}; }
    static SettingsValue ofInteger(int32_t v) { return {Integer, v, {}}; }
};

constexpr int kSlotsPerRow = 10;
constexpr int kSettingsValues = HoleTable::kRows * kSlotsPerRow; // 630
using SettingsValues = std::array<SettingsValue, kSettingsValues>;

// The values of a table and product code.
SettingsValues settingsValues(const HoleTable& table, const QString& productCode);

// The bytes of the values. On failure, the text that cannot be written (a character outside
// code page 932, or longer than a record holds) is returned in *badText, and its place among the
// values in *badIndex.
std::optional<QByteArray> encodeSettings(
    const SettingsValues& values, QString* badText = nullptr, int* badIndex = nullptr);

// Where a value belongs, as the user is told: "行3（T3）の公差1の符号", "製品コード".
QString settingsPlace(const HoleTable& table, int valueIndex);

// Reads 630 values; bytes after them are ignored. Nothing when the data ends early or holds a
// tag other than 0, 3 and 8.
std::optional<SettingsValues> decodeSettings(const QByteArray& bytes);

// Sets every field from the values, row by row, then the product code. A value that cannot be
// converted to its field leaves that field as it was.
void applySettings(const SettingsValues& values, HoleTable& table, QString& productCode);

// KIVOTREK.INI in the folder of the Gerber file: blanks trimmed, everything up to the last
// folder separator ("/" or "\") kept.
QString settingsPath(const QString& gerberPath);

struct SaveResult {
    QString path; // empty when no Gerber file was chosen: nothing written
    bool ok = false;
    QString error; // the text to show when !ok
};

// Writes the settings file beside the Gerber file, whole or not at all.
SaveResult saveSettingsFile(const HoleTable& table, const QString& productCode, const QString& gerberPath);

// Reads a settings file into the table and product code. When the file is missing, cannot be
// read or is not a complete settings file, nothing changes and *error says so.
bool loadSettings(const QString& path, HoleTable& table, QString& productCode, QString* error);
// The same in two steps: the file's values (nothing, and *error, as above), then applySettings.
std::optional<SettingsValues> readSettingsFile(const QString& path, QString* error);

} // namespace kivotrek
