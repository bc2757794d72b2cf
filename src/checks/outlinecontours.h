#pragma once

// The outline's lines chained end to end into contours, as the drill checks read them: a closed
// contour lying within a hole or slot is its own (a cut-out drawn round it), not an edge.

#include "checks/drillchecks.h"

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace kivotrek {

// Pieces of one draw follow one another and share their ends bit for bit: they make runs at
// once. The ends of the runs are then joined where they meet: in the same nanometre of the
// plane, or within a picometre across the border of two (the rounding of a circle's last piece,
// of a position summed in incremental notation, is far smaller). A contour is closed when none
// of its ends is free; a piece of no length joins what meets at its place but closes nothing,
// and a contour of such pieces alone is none. Only closed contours are numbered. It holds the
// lines by reference: they must outlive it.
class OutlineContours {
public:
    static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
    static constexpr double kFar = std::numeric_limits<double>::max();
    struct Contour {
        double x0 = kFar, y0 = kFar, x1 = -kFar, y1 = -kFar; // its box
        double reach = 0; // the farthest of its ends from the box's centre
    };

    explicit OutlineContours(const std::vector<CheckedBoard::Line>& lines);

    // The closed contour a line of the outline is a piece of, or kNone.
    uint32_t of(size_t line) const { return contourOf_.empty() ? kNone : contourOf_[line]; }
    size_t size() const { return contours_.size(); }
    const Contour& operator[](uint32_t c) const { return contours_[c]; }
    // Calls take(line) for each line of contour c until take returns false; false then.
    template <typename Take> bool all(uint32_t c, Take take) const
    {
        for (uint32_t k = runsOf_[c]; k < runsOf_[c + 1]; ++k) {
            for (uint32_t i = runFirst_[runList_[k]]; i < runFirst_[runList_[k] + 1]; ++i) {
                if (!take(lines_[i]))
                    return false;
            }
        }
        return true;
    }

private:
    void centre();
    bool joinable(double x, double y) const;
    int cells(double x, double y, std::array<uint64_t, 4>& out) const;
    bool meet(double ax, double ay, double bx, double by) const;
    void runs();
    uint32_t root(uint32_t r);
    void join();
    void number();

    const std::vector<CheckedBoard::Line>& lines_;
    double middleX_ = 0, middleY_ = 0;
    int64_t baseX_ = 0, baseY_ = 0; // the middle's cell
    std::vector<uint32_t> runFirst_; // per run its first line; then the number of lines
    std::vector<uint8_t> runFlags_;
    std::vector<uint32_t> parent_; // per run, while joining
    std::vector<uint8_t> joined_; // per end of a run, while joining
    std::vector<Contour> contours_;
    std::vector<uint32_t> runsOf_; // per contour where its runs start in runList_; then an end
    std::vector<uint32_t> runList_;
    std::vector<uint32_t> contourOf_; // per line
};

} // namespace kivotrek
