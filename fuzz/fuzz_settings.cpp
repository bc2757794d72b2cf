// Any bytes, decoded as a settings file: a file that decodes applies cleanly and its values
// survive writing and reading back.

#include "settings/settingsfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kivotrek;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto values = decodeSettings(bytes);
    if (!values)
        return 0;
    HoleTable table;
    QString productCode;
    applySettings(*values, table, productCode);
    const auto again = encodeSettings(*values);
    if (!again)
        return 0; // a text decoded with replacement characters cannot be written back
    const auto back = decodeSettings(*again);
    if (!back)
        std::abort();
    for (size_t i = 0; i < back->size(); ++i) {
        const SettingsValue& a = (*values)[i];
        const SettingsValue& b = (*back)[i];
        if (a.tag != b.tag || a.integer != b.integer || a.text != b.text)
            std::abort();
    }
    return 0;
}
