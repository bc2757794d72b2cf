#pragma once

// What any read of a drill file keeps, whatever the bytes: the device is closed, the tools fit the
// table, and every hole and slot names one of them.

#include "drill/drilldata.h"
#include "table/holetable.h"

#include <QIODevice>
#include <cstdlib>

namespace kivotrek::fuzz {

inline void checkDrillData(const QIODevice& file, const DrillData& drill)
{
    if (file.isOpen() || drill.tools.size() > size_t(HoleTable::kRows))
        std::abort();
    for (const DrillHit& h : drill.holes) {
        if (h.tool < 0 || size_t(h.tool) >= drill.tools.size())
            std::abort();
    }
    for (const DrillSlot& s : drill.slotHoles) {
        if (s.tool < 0 || size_t(s.tool) >= drill.tools.size())
            std::abort();
    }
}

} // namespace kivotrek::fuzz
