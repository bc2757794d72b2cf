#pragma once

// The holes a read tallied are the holes a walk of the same bytes counts, for the table the
// read filled and for one whose first D-code is gone (its holes then have no row).

#include "drawing/holecounts.h"

#include <QBuffer>
#include <cstdlib>

namespace kivotrek::fuzz {

inline void checkTalliedCounts(const QByteArray& bytes, const HoleTable& read, const MarkTally& marks)
{
    if (!marks.counted())
        return; // the read refused the file: the counts come from a walk anyway
    HoleTable renamed = read;
    renamed.row(0).dcode = QStringLiteral("D");
    for (const HoleTable* table : {&read, static_cast<const HoleTable*>(&renamed)}) {
        QByteArray copy = bytes;
        QBuffer device(&copy);
        device.open(QIODevice::ReadOnly);
        HoleCounts tallied, walked;
        const DrawResult a = countHoles(marks, *table, tallied);
        const DrawResult b = countHoles(device, *table, walked);
        if (a.ending != b.ending || a.line != b.line)
            std::abort();
        for (size_t i = 0; i < HoleTable::kRows; ++i) {
            if (tallied[i].holeCount != walked[i].holeCount || tallied[i].slotCount != walked[i].slotCount)
                std::abort();
        }
        if (tallied.withoutRow.holeCount != walked.withoutRow.holeCount
            || tallied.withoutRow.slotCount != walked.withoutRow.slotCount)
            std::abort();
    }
}

} // namespace kivotrek::fuzz
