#pragma once

// A board's drill holes under one index, file after file, read where the board holds them (no
// copy): what the board view and the checks both walk.

#include "drill/drilldata.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <vector>

namespace kivotrek {

class DrillHoleRuns {
public:
    // One drill file's holes.
    struct Run {
        size_t first = 0; // the index of its first hole
        size_t count = 0;
        const DrillHit* hits = nullptr;
        int firstRow = 0, rowCount = 0; // its tools fill rows firstRow .. firstRow + rowCount - 1
        size_t file = 0; // its index in the board's data
    };
    // A hole by its index: its row, -1 for a tool beyond the file's rows.
    struct Found {
        const DrillHit* hit;
        int row;
        size_t file;
    };

    // The file's holes after those added before; a file without holes adds nothing.
    void add(const DrillHit* hits, size_t count, int firstRow, int rowCount, size_t file)
    {
        if (count > 0)
            runs_.push_back({size(), count, hits, firstRow, rowCount, file});
    }
    size_t size() const { return runs_.empty() ? 0 : runs_.back().first + runs_.back().count; }
    bool empty() const { return runs_.empty(); }
    const std::vector<Run>& runs() const { return runs_; }

    Found at(size_t i) const
    {
        const Run& r = runOf(i);
        const DrillHit& d = r.hits[i - r.first];
        const int row = d.tool >= 0 && d.tool < r.rowCount ? r.firstRow + d.tool : -1;
        return {&d, row, r.file};
    }

private:
    const Run& runOf(size_t i) const
    {
        if (runs_.size() == 1)
            return runs_.front();
        const auto after = std::upper_bound(
            runs_.begin(), runs_.end(), i, [](size_t index, const Run& r) { return index < r.first; });
        return *std::prev(after);
    }

    std::vector<Run> runs_;
};

} // namespace kivotrek
