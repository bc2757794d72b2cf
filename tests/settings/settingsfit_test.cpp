#include "settings/settingsfit.h"

#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
HoleRow row(const char* dcode, const char* diameter)
{
    HoleRow r;
    r.dcode = QString::fromUtf8(dcode);
    r.diameter = QString::fromUtf8(diameter);
    return r;
}
} // namespace

TEST(SettingsFit, EachDifferenceFromWhatTheReadFilledIsALine)
{
    // What a drill file filled: three tools with the diameters it gives.
    HoleTable read;
    read.row(0) = row("T1", "0.80");
    read.row(1) = row("T2", "0.701");
    read.row(2) = row("T3", "0.899");
    read.row(3) = row("T4", "");
    HoleTable saved = read;
    saved.row(0).diameter = QStringLiteral("0.8"); // the same hole
    saved.row(0).sign1 = QStringLiteral("±"); // tolerances, kinds and colours are the settings' own
    saved.row(0).tol1 = QStringLiteral("0.05");
    saved.row(1).diameter = QStringLiteral("0.50");
    saved.row(2).dcode = QStringLiteral("D12");
    saved.row(3).diameter = QStringLiteral("1.0"); // the file gave none: the user's own
    saved.row(4) = row("D19", "3.0");
    const SettingsValues values = settingsValues(saved, QStringLiteral("KT-1"));
    EXPECT_EQ(settingsMismatches(read, 4, values),
        QStringList({QStringLiteral("行2 T2：穴径 0.701 → 0.50"), QStringLiteral("行3 T3：Dコード T3 → D12"),
            QStringLiteral("行5 D19：ファイルにないDコード")}));

    // Settings saved for this board fit: nothing to tell.
    HoleTable typed = read;
    typed.row(3).diameter = QStringLiteral("1.2");
    typed.row(0).kind = HoleKind::NonPlated;
    EXPECT_TRUE(settingsMismatches(read, 4, settingsValues(typed, QString())).isEmpty());
    // A row the file filled and the settings leave free.
    HoleTable fewer = read;
    fewer.row(3) = HoleRow();
    EXPECT_EQ(settingsMismatches(read, 4, settingsValues(fewer, QString())),
        QStringList({QStringLiteral("行4 T4：Dコード T4 → （なし）")}));
}
