#pragma once

#include "drawing/boarddrawing.h"
#include "drawing/layout.h"

namespace kivotrek {

// The on-screen drawing: the board fills at most 90 % of the free space below a legend strip
// of 200 twips per three rows, its origin 150 twips from the left and bottom edges; pens are
// three pixels per millimetre of diameter plus one at the drawing scale.
class PreviewLayout : public Layout {
public:
    bool prepare(const HoleTable& table, const BoardExtent& extent, Surface& surface) override;
    std::optional<int16_t> penWidth(const HoleRow& row, const Surface& surface) const override;
    bool legendCell(int i, const HoleRow& row, Rgb color, Surface& surface) const override;
    int markMinimum(const Surface& surface) const override;
    int legendMarkMinimum(const Surface& surface) const override;

    int16_t height() const { return h_; }

    static constexpr int kLegendPitch = 200;
    static constexpr int kMarkMinimum = 9; // pixels: the smallest mark a screen shows legibly
    static constexpr int kLegendMarkMinimum = 11; // within a legend line of 200 twips
    static constexpr int kOffset = 150;

private:
    int16_t h_ = 0;
};

// The start of a preview: clears the surface and prepares the layout on it; false when the
// board extent leaves no scale (nothing is to be replayed then).
bool preparePreview(
    const HoleTable& table, const BoardExtent& extent, Surface& surface, PreviewLayout& layout);

// The preview picture of the drill map: clears the surface, works out the scale and replays
// the file. The window shows the surface; nothing here talks to the user.
DrawResult drawPreview(
    const QString& path, const HoleTable& table, const BoardExtent& extent, Surface& surface);

// The same for a board of any files (drawn in the frame of the board), with the options (counts
// in the legend, marks).
DrawResult drawPreview(const Board& board, const HoleTable& table, const BoardExtent& extent,
    Surface& surface, const DrawingOptions& options = {});

// Size of the preview picture in twips.
constexpr int kPreviewWidthTwips = 6855;
constexpr int kPreviewHeightTwips = 6300;

} // namespace kivotrek
