#pragma once

// Where a drawing lands and how it looks: the scale, the placement of the board, each row's pen
// and legend cell. One for the preview, one for the printed page; the drawing steps are the
// same for both.

#include "drawing/holecounts.h"
#include "drawing/surface.h"
#include "gerber/boardextent.h"
#include "table/holetable.h"

#include <QString>
#include <functional>
#include <limits>
#include <optional>
#include <utility>

namespace kivotrek {

// A swatch colour as drawn: its value written as upper-case hex without leading zeros, padded
// to six digits; blue is the first two digits, green the next two, red the last two.
Rgb rowColor(uint32_t fillColor);

// The legend's texts of a row.
QString toleranceText(const HoleRow& row); // "＋0.1 －0.05 TH"

// What the user chose to add to a drawing; nothing by default, and then the drawing is as it
// always was.
struct DrawingOptions {
    // Each legend cell ends with its count and the page prints the totals; held here, so that
    // nothing a drawing is given can go away under it.
    std::optional<HoleCounts> counts;
    bool marks = false; // a mark of its own for each row, for black-and-white printing
    // Told how many holes and slot pieces are drawn so far, every few thousand; false cancels
    // the drawing, which then ends as Cancelled.
    std::function<bool(qint64)> progress;
};

class Layout {
public:
    virtual ~Layout() = default;

    // Reads the surface size and works out the drawing scale; false when the board extent
    // leaves none (an extent of 0).
    virtual bool prepare(const HoleTable& table, const BoardExtent& extent, Surface& surface) = 0;
    float scale() const { return scale_; }

    // With counts, each legend cell ends with "×" and its row's count, and the page leaves a
    // line under the legend for the totals. Without (the default) the legend is as it was.
    const HoleCounts* counts() const { return options_.counts ? &*options_.counts : nullptr; }
    // " ×156" for row i, or nothing without counts.
    QString countSuffix(int i) const;

    // The counts, the marks and the progress together.
    void setOptions(const DrawingOptions& options) { options_ = options; }
    const DrawingOptions& options() const { return options_; }
    // With marks, each row's holes and legend cell are drawn as the row's own mark (see
    // drawMark), at least markMinimum() device pixels across; slots as a thin line with the
    // mark where they start. Rows of the outline kind stay lines.
    bool marks() const { return options_.marks; }
    virtual int markMinimum(const Surface& surface) const = 0;
    // The legend's marks are larger: they stand beside the legend's text.
    virtual int legendMarkMinimum(const Surface& surface) const = 0;
    // How wide a mark is drawn with the surface's pen: as the pen's dot, at least the minimum
    // (of the legend's marks with legend).
    int markSize(const Surface& surface, bool legend = false) const;
    // A hole of row i at (x, y), or with legend the mark of its legend cell: the pen's dot in
    // the colour, or with marks the row's mark of markSize().
    void hole(Surface& surface, float x, float y, int i, Rgb color, bool legend = false) const;

    // Surface point of a replay position: x = X + left, y = H - Y - bottom, in 32-bit integers
    // (board y grows upwards, surface y down); nothing outside the 32-bit range. Inline: it
    // runs for every hole.
    std::optional<std::pair<int32_t, int32_t>> place(int32_t X, int32_t Y) const
    {
        const int64_t x = int64_t(X) + left_;
        const int64_t y = int64_t(height_) - Y - bottom_;
        constexpr int64_t lo = std::numeric_limits<int32_t>::min();
        constexpr int64_t hi = std::numeric_limits<int32_t>::max();
        if (x < lo || x > hi || y < lo || y > hi)
            return std::nullopt;
        return std::make_pair(static_cast<int32_t>(x), static_cast<int32_t>(y));
    }
    // Pen width for a selected row; nothing when it falls outside 1 to 32767.
    virtual std::optional<int16_t> penWidth(const HoleRow& row, const Surface& surface) const = 0;
    // The legend cell of row i; false when it cannot be drawn.
    virtual bool legendCell(int i, const HoleRow& row, Rgb color, Surface& surface) const = 0;

protected:
    // Where place() puts the board: set by prepare().
    void setPlacement(int left, int32_t H, int bottom)
    {
        left_ = left;
        height_ = H;
        bottom_ = bottom;
    }

    float scale_ = 0.0f;
    DrawingOptions options_;

private:
    int left_ = 0;
    int32_t height_ = 0;
    int bottom_ = 0;
};

} // namespace kivotrek
