#pragma once

// Whether a settings file fits the board it is loaded over. One KIVOTREK.INI serves a whole
// folder: loaded over another board's files it would put that board's D-codes and diameters on
// paper. What it would change of the rows the read filled is told before it is loaded.

#include "settings/settingsfile.h"
#include "table/holetable.h"

#include <QStringList>

namespace kivotrek {

// The differences, one line each in row order: a row the read filled whose D-code the settings
// change ("行1 T1：Dコード T1 → D10"), one whose diameter the file gave and the settings change
// ("行3 T3：穴径 0.551 → 0.399"), a row the settings add after the file's rows
// ("行10 D19：ファイルにないDコード"). read is the table as the read filled it, readRows how many
// rows the files filled. Empty when the settings fit.
QStringList settingsMismatches(const HoleTable& read, int readRows, const SettingsValues& settings);

} // namespace kivotrek
