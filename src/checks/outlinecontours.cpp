#include "checks/outlinecontours.h"

#include <algorithm>
#include <cmath>

namespace kivotrek {

namespace {
// Nanometre cells, each centred on a whole nanometre as files write their numbers: their ends
// and the rounding about them lie far from its borders. An end this close to a border (a
// thousandth of a cell) is in both cells.
constexpr double kCellsPerMillimetre = 1e6;
constexpr double kBorder = 1e-3;
// Ends farther than this (millimetres) from the middle of the outline join nothing: damaged
// numbers. Within it a cell's place is a 32-bit number each way, a cell one 64-bit key.
constexpr double kWindow = 2000;
enum : uint8_t { kJoinable = 1, kLong = 2 };

struct End {
    uint64_t cell = 0;
    uint32_t end = 0; // 2 * run, + 1 for the run's last end
};

double distance(double x1, double y1, double x2, double y2)
{
    return std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
}
} // namespace

OutlineContours::OutlineContours(const std::vector<CheckedBoard::Line>& lines) : lines_(lines)
{
    centre();
    runs();
    join();
    number();
}

// The middle of the outline: the median of a sample of its ends, so that a few far ends do
// not move it.
void OutlineContours::centre()
{
    std::vector<double> xs, ys;
    const size_t step = std::max<size_t>(1, lines_.size() / 4096);
    for (size_t i = 0; i < lines_.size(); i += step) {
        if (std::isfinite(lines_[i].x1) && std::isfinite(lines_[i].y1)) {
            xs.push_back(lines_[i].x1);
            ys.push_back(lines_[i].y1);
        }
    }
    if (xs.empty())
        return;
    const auto median = [](std::vector<double>& v) {
        std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    middleX_ = median(xs);
    middleY_ = median(ys);
    baseX_ = int64_t(std::round(middleX_ * kCellsPerMillimetre));
    baseY_ = int64_t(std::round(middleY_ * kCellsPerMillimetre));
}

bool OutlineContours::joinable(double x, double y) const
{
    return std::fabs(x - middleX_) <= kWindow && std::fabs(y - middleY_) <= kWindow; // false for NaN
}

// The cells of a joinable point: its own and those whose border it lies on, four at most.
int OutlineContours::cells(double x, double y, std::array<uint64_t, 4>& out) const
{
    const auto along = [](double v, int64_t base, std::array<uint32_t, 2>& c) {
        const double s = std::round(v * kCellsPerMillimetre);
        const double off = v * kCellsPerMillimetre - s;
        // Within the window the cells from the middle's are within 2^31 either way.
        c[0] = uint32_t(uint64_t(int64_t(s) - base));
        if (std::fabs(off) <= 0.5 - kBorder)
            return 1;
        c[1] = off > 0 ? c[0] + 1 : c[0] - 1;
        return 2;
    };
    std::array<uint32_t, 2> cx {}, cy {};
    const int nx = along(x, baseX_, cx), ny = along(y, baseY_, cy);
    int n = 0;
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < ny; ++j)
            out[size_t(n++)] = uint64_t(cx[size_t(i)]) << 32 | cy[size_t(j)];
    }
    return n;
}

bool OutlineContours::meet(double ax, double ay, double bx, double by) const
{
    if (ax == bx && ay == by)
        return true;
    std::array<uint64_t, 4> a {}, b {};
    const int na = cells(ax, ay, a), nb = cells(bx, by, b);
    for (int i = 0; i < na; ++i) {
        for (int j = 0; j < nb; ++j) {
            if (a[size_t(i)] == b[size_t(j)])
                return true;
        }
    }
    return false;
}

void OutlineContours::runs()
{
    bool open = false; // the last run takes the next piece that meets its end
    for (size_t i = 0; i < lines_.size(); ++i) {
        const auto& l = lines_[i];
        const bool fits = joinable(l.x1, l.y1) && joinable(l.x2, l.y2);
        if (!(open && fits && meet(lines_[i - 1].x2, lines_[i - 1].y2, l.x1, l.y1))) {
            runFirst_.push_back(uint32_t(i));
            runFlags_.push_back(fits ? kJoinable : 0);
        }
        if (l.x1 != l.x2 || l.y1 != l.y2)
            runFlags_.back() |= kLong;
        open = fits;
    }
    runFirst_.push_back(uint32_t(lines_.size()));
}

uint32_t OutlineContours::root(uint32_t r)
{
    while (parent_[r] != r)
        r = parent_[r] = parent_[parent_[r]];
    return r;
}

// Runs whose ends meet become one contour; an end is joined when another end of length meets it.
void OutlineContours::join()
{
    const size_t count = runFlags_.size();
    parent_.resize(count);
    for (size_t r = 0; r < count; ++r)
        parent_[r] = uint32_t(r);
    joined_.assign(2 * count, 0);
    std::vector<End> ends;
    ends.reserve(2 * count + count / 16); // an end on a cell's border is in more than one
    std::array<uint64_t, 4> at {};
    for (size_t r = 0; r < count; ++r) {
        if (!(runFlags_[r] & kJoinable))
            continue;
        const auto& first = lines_[runFirst_[r]];
        const auto& last = lines_[runFirst_[r + 1] - 1];
        for (int e = 0; e < ((runFlags_[r] & kLong) ? 2 : 1); ++e) {
            const int n = e == 0 ? cells(first.x1, first.y1, at) : cells(last.x2, last.y2, at);
            for (int k = 0; k < n; ++k)
                ends.push_back({at[size_t(k)], uint32_t(2 * r + size_t(e))});
        }
    }
    std::sort(ends.begin(), ends.end(), [](const End& a, const End& b) { return a.cell < b.cell; });
    for (size_t g = 0; g < ends.size();) {
        size_t h = g;
        size_t withLength = 0;
        for (; h < ends.size() && ends[h].cell == ends[g].cell; ++h) {
            if (runFlags_[ends[h].end / 2] & kLong)
                ++withLength;
        }
        for (size_t k = g; k < h; ++k) {
            if (withLength >= 2)
                joined_[ends[k].end] = 1;
            parent_[root(ends[k].end / 2)] = root(ends[g].end / 2);
        }
        g = h;
    }
}

// Closed contours numbered, with their boxes and runs.
void OutlineContours::number()
{
    const size_t count = runFlags_.size();
    for (size_t r = 0; r < count; ++r)
        parent_[r] = root(uint32_t(r)); // each run's contour at once
    // Per contour (its first run): whether one of its runs has a free end, whether one has length.
    std::vector<uint8_t> loose(count, 0), length(count, 0);
    for (size_t r = 0; r < count; ++r) {
        const uint32_t top = parent_[r];
        const bool fits = runFlags_[r] & kJoinable, withLength = runFlags_[r] & kLong;
        if (!fits || (withLength && (!joined_[2 * r] || !joined_[2 * r + 1])))
            loose[top] = 1;
        if (withLength)
            length[top] = 1;
    }
    joined_ = {};
    runFlags_ = {};
    std::vector<uint32_t> numberOf(count, kNone);
    for (size_t r = 0; r < count; ++r) {
        if (parent_[r] == r && !loose[r] && length[r]) {
            numberOf[r] = uint32_t(contours_.size());
            contours_.emplace_back();
        }
    }
    if (contours_.empty())
        return;
    // The runs of each contour, each line's contour, then the contours' boxes, line by line.
    runsOf_.assign(contours_.size() + 1, 0);
    for (size_t r = 0; r < count; ++r) {
        if (const uint32_t c = numberOf[parent_[r]]; c != kNone)
            ++runsOf_[c + 1];
    }
    for (size_t c = 0; c < contours_.size(); ++c)
        runsOf_[c + 1] += runsOf_[c];
    runList_.resize(runsOf_.back());
    std::vector<uint32_t> filled(runsOf_.begin(), runsOf_.end() - 1);
    contourOf_.assign(lines_.size(), kNone);
    for (size_t r = 0; r < count; ++r) {
        const uint32_t c = numberOf[parent_[r]];
        if (c == kNone)
            continue;
        runList_[filled[c]++] = uint32_t(r);
        for (uint32_t i = runFirst_[r]; i < runFirst_[r + 1]; ++i) {
            contourOf_[i] = c;
            Contour& k = contours_[c];
            const auto& l = lines_[i];
            k.x0 = std::min({k.x0, l.x1, l.x2});
            k.y0 = std::min({k.y0, l.y1, l.y2});
            k.x1 = std::max({k.x1, l.x1, l.x2});
            k.y1 = std::max({k.y1, l.y1, l.y2});
        }
    }
    parent_ = {};
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (contourOf_[i] == kNone)
            continue;
        Contour& k = contours_[contourOf_[i]];
        const auto& l = lines_[i];
        const double cx = (k.x0 + k.x1) / 2, cy = (k.y0 + k.y1) / 2;
        k.reach = std::max({k.reach, distance(cx, cy, l.x1, l.y1), distance(cx, cy, l.x2, l.y2)});
    }
}

} // namespace kivotrek
