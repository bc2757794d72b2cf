#include "settings/settingsfit.h"

#include "common/messages.h"
#include "common/numbers.h"

#include <cmath>

namespace kivotrek {

namespace {
// Two diameters that say the same: "0.8" and "0.80" are one hole.
bool sameDiameter(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    const auto x = numberAtStart(a);
    const auto y = numberAtStart(b);
    return x && y && std::fabs(*x - *y) < 1e-9;
}
} // namespace

QStringList settingsMismatches(const HoleTable& read, int readRows, const SettingsValues& settings)
{
    HoleTable loaded = read;
    QString productCode;
    applySettings(settings, loaded, productCode);
    QStringList lines;
    for (int i = 0; i < HoleTable::kRows; ++i) {
        const HoleRow& was = read.row(i);
        const HoleRow& now = loaded.row(i);
        if (i >= readRows) {
            if (now.isUsed())
                lines << msg::settingsAddRow(i + 1, now.dcode);
            continue;
        }
        if (!was.isUsed())
            continue;
        if (now.dcode != was.dcode)
            lines << msg::settingsChangeDCode(i + 1, was.dcode, now.isUsed() ? now.dcode : QString());
        else if (!was.diameter.isEmpty() && !sameDiameter(was.diameter, now.diameter))
            lines << msg::settingsChangeDiameter(i + 1, was.dcode, was.diameter, now.diameter);
    }
    return lines;
}

} // namespace kivotrek
