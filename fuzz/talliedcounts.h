#pragma once

// The holes a read tallied are the holes a walk of the steps the read recorded counts, and those
// of the same bytes' steps recorded alone, for the table the read filled and for one whose first
// D-code is gone (its holes then have no row).

#include "drawing/holecounts.h"

#include <QBuffer>
#include <cstdlib>

namespace kivotrek::fuzz {

inline void sameCounts(const DrawResult& a, const HoleCounts& x, const DrawResult& b, const HoleCounts& y)
{
    if (a.ending != b.ending || a.line != b.line)
        std::abort();
    for (size_t i = 0; i < HoleTable::kRows; ++i) {
        if (x[i].holeCount != y[i].holeCount || x[i].slotCount != y[i].slotCount)
            std::abort();
    }
    if (x.withoutRow.holeCount != y.withoutRow.holeCount || x.withoutRow.slotCount != y.withoutRow.slotCount)
        std::abort();
}

inline void checkTalliedCounts(
    const QByteArray& bytes, const HoleTable& read, const MarkTally& marks, const StepRecord& steps)
{
    if (!marks.counted())
        return; // the read refused the file: the counts come from the steps
    HoleTable renamed = read;
    renamed.row(0).dcode = QStringLiteral("D");
    for (const HoleTable* table : {&read, static_cast<const HoleTable*>(&renamed)}) {
        QByteArray copy = bytes;
        QBuffer device(&copy);
        device.open(QIODevice::ReadOnly);
        HoleCounts tallied, recorded, alone;
        const DrawResult a = countHoles(marks, *table, tallied);
        const DrawResult b = countHoles(steps, *table, recorded);
        const DrawResult c = countHoles(recordSteps(device, QStringLiteral("fuzz.gbr")), *table, alone);
        sameCounts(a, tallied, b, recorded);
        sameCounts(a, tallied, c, alone);
    }
}

} // namespace kivotrek::fuzz
