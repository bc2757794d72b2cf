#pragma once

#include "drawing/boarddrawing.h"
#include "drawing/layout.h"

#include <QImage>
#include <QStringList>
#include <optional>

namespace kivotrek {

// Paper of the four automatic size choices: code 9 A4, 12 JIS B4; orientation 1 portrait,
// 2 landscape. Nothing for any other text: paper and orientation stay as they are.
struct PaperChoice {
    int paper = 9;
    int orientation = 1;
};
std::optional<PaperChoice> automaticPaper(const QString& sizeText);

// The list of the size choice, in order: the four that fit the board to a sheet (A4 and B4,
// portrait and landscape), then the percentages.
const QStringList& sizeChoices();

// True when the size text gives the board a scale: an automatic item, or a text that starts
// with a number above 0 (a percentage). Anything else would print a legend without a board.
bool sizeTextHasScale(const QString& sizeText);

// The printed page: legend lines of 400 twips from the top, the board at 83 % of the free
// space (or at a fixed percentage), its origin 700 twips from the left and 3000 above the
// bottom, pens from the hole's real diameter, the logo and product code at the foot.
class PageLayout : public Layout {
public:
    explicit PageLayout(const QString& sizeText) : sizeText_(sizeText) { }

    bool prepare(const HoleTable& table, const BoardExtent& extent, Surface& surface) override;
    std::optional<int16_t> penWidth(const HoleRow& row, const Surface& surface) const override;
    bool legendCell(int i, const HoleRow& row, Rgb color, Surface& surface) const override;
    int markMinimum(const Surface& surface) const override; // 1.2 mm
    int legendMarkMinimum(const Surface& surface) const override; // 2.4 mm

    // The sheet in twips, as 16-bit values, and the shorter of its two sides.
    int16_t height() const { return h_; }
    int16_t width() const { return w_; }
    int16_t shortSide() const { return m_; }
    // Legend dot column and tolerance text column for i mod 3.
    int32_t dotColumn(int c) const;
    int32_t toleranceColumn(int c) const;
    // Where the texts of a cell in column c must end, in twips.
    float cellLimit(int c) const;

private:
    QString sizeText_;
    int16_t h_ = 0;
    int16_t w_ = 0;
    int16_t m_ = 0;
};

// The generator of the product code's colour: the classic 24-bit BASIC sequence, never
// seeded, so every run of the program prints the same sequence of colours.
class BasicRandom {
public:
    float next(); // in [0, 1)

private:
    uint32_t x_ = 0x50000;
};

// The 16-colour palette; the product code takes one of entries 0 to 14.
Rgb paletteColor(int k);

struct PageFoot {
    QImage logo; // drawn at the lower left when there is one
    QString productCode; // in large coloured letters
};

// The printed drill map on a page: the replay with the page layout, then the foot. The caller
// ends (or, when it did not complete, abandons) the page.
DrawResult printDrawing(const QString& path, const HoleTable& table, const BoardExtent& extent,
    const QString& sizeText, const PageFoot& foot, Surface& page, BasicRandom& random);

// The same for a board of any files (drawn in the frame of the board). With counts, each legend
// cell ends with its row's count and the totals follow on a line under the legend; with marks,
// each row's holes are its own mark.
DrawResult printDrawing(const Board& board, const HoleTable& table, const BoardExtent& extent,
    const QString& sizeText, const PageFoot& foot, Surface& page, BasicRandom& random,
    const DrawingOptions& options = {});

// What the user is told when a percentage puts the board past the sheet (the width, else the
// height, that the board takes from the sheet's edge: 「基板が用紙に収まりません（幅 312 mm、用紙
// 297 mm）。」); empty when it fits, and for the automatic sizes, which fit the board to the sheet.
QString pageOverflow(
    const HoleTable& table, const BoardExtent& extent, const QString& sizeText, const QSizeF& sheet);

// The totals by kind, as the page and the main window show them.
QString totalsLine(const HoleTotals& totals);

} // namespace kivotrek
