#include "drawing/pagelayout.h"

#include "common/messages.h"
#include "common/numbers.h"
#include "drawing/pagesurface.h"
#include "drawing/symbols.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kivotrek {

namespace {
constexpr int kLegendPitch = 400;
constexpr int kBottomReserve = 2900;
constexpr int kLeft = 700;
constexpr int kBottom = 3000;
constexpr double kFit = 0.83;

// What the four sheet choices share, and percentages never hold.
bool isAutomatic(const QString& sizeText)
{
    return sizeText.contains(QStringLiteral("自動"));
}
} // namespace

const QStringList& sizeChoices()
{
    // The words a size is read by, typed or given to the batch command's --page: the program's
    // own, never captions, so that a caption changed never changes what a size means.
    static const QStringList items = {QStringLiteral("自動(A4縦)"), QStringLiteral("自動(A4横)"),
        QStringLiteral("自動(B4縦)"), QStringLiteral("自動(B4横)"), QStringLiteral("100"),
        QStringLiteral("110"), QStringLiteral("120"), QStringLiteral("130"), QStringLiteral("140"),
        QStringLiteral("90"), QStringLiteral("80"), QStringLiteral("70"), QStringLiteral("60"),
        QStringLiteral("50"), QStringLiteral("40")};
    return items;
}

bool sizeTextHasScale(const QString& sizeText)
{
    return isAutomatic(sizeText) || leadingNumber(sizeText) > 0;
}

std::optional<PaperChoice> automaticPaper(const QString& sizeText)
{
    // The first four choices: A4 (paper 9) and B4 (paper 12), portrait (1) and landscape (2).
    static const PaperChoice sheets[] = {{9, 1}, {9, 2}, {12, 1}, {12, 2}};
    for (int i = 0; i < 4; ++i)
        if (sizeText == sizeChoices().at(i))
            return sheets[i];
    return std::nullopt;
}

bool PageLayout::prepare(const HoleTable& table, const BoardExtent& extent, Surface& surface)
{
    const auto h = roundHalfEvenToInt16(surface.height());
    const auto w = roundHalfEvenToInt16(surface.width());
    if (!h || !w)
        return false;
    h_ = *h;
    w_ = *w;
    m_ = std::min(w_, h_);
    setPlacement(kLeft, h_, kBottom);

    float sx = 0;
    float sy = 0;
    if (isAutomatic(sizeText_)) {
        if (extent.maxX == 0 || extent.maxY == 0)
            return false;
        const int n = table.rowsWithDiameter();
        sx = static_cast<float>(static_cast<double>(w_) / extent.maxX);
        // With counts the legend has one line more: the totals.
        const int legendLines = n / 3 + (counts() ? 1 : 0);
        sy = static_cast<float>(
            (static_cast<double>(h_) - (kLegendPitch * legendLines + kBottomReserve)) / extent.maxY);
    } else {
        sx = sy = static_cast<float>(leadingNumber(sizeText_) / 100.0);
    }
    scale_ = static_cast<float>(kFit * static_cast<double>(sx <= sy ? sx : sy));
    return true;
}

std::optional<int16_t> PageLayout::penWidth(const HoleRow& row, const Surface& surface) const
{
    const float P = surface.pixelSize();
    // The hole's diameter in device pixels; a hole narrower than one device pixel before
    // scaling prints with a pen of about one pixel at the scale.
    double p = leadingNumber(row.diameter) * 56.7 / static_cast<double>(P);
    if (P > static_cast<float>(p))
        p = static_cast<double>(P / scale_);
    const double pen = std::floor(static_cast<double>(scale_) * p);
    if (!(pen <= 32767))
        return std::nullopt;
    // A pen below one pixel (very fine printers, very small scales) still draws.
    int16_t width = pen < 1 ? int16_t(1) : static_cast<int16_t>(pen);
    if (row.kind == HoleKind::Outline)
        width = 2; // outline rows draw with the outline pen on paper
    return width;
}

namespace {
int pixelsOfMillimetres(double mm, const Surface& surface)
{
    return static_cast<int>(std::ceil(mm * 56.7 / static_cast<double>(surface.pixelSize())));
}
} // namespace

int PageLayout::markMinimum(const Surface& surface) const
{
    // 1.2 mm on paper: a mark smaller than that cannot be told from the next one.
    return pixelsOfMillimetres(1.2, surface);
}

int PageLayout::legendMarkMinimum(const Surface& surface) const
{
    // Beside 16-point digits; a legend line is 7 mm high.
    return pixelsOfMillimetres(2.4, surface);
}

int32_t PageLayout::dotColumn(int c) const
{
    // 2 x m in 32 bits, so sheets wider than 16383 twips keep their third column.
    switch (c) {
    case 0: return 300;
    case 1: return static_cast<int32_t>(std::floor(m_ / 3.0 + 150));
    default: return static_cast<int32_t>(std::floor(int32_t(2) * m_ / 3.0 + 150));
    }
}

int32_t PageLayout::toleranceColumn(int c) const
{
    switch (c) {
    case 0: return 1300;
    case 1: return static_cast<int32_t>(std::floor(m_ / 3.0 + 1150));
    default: return static_cast<int32_t>(std::floor(int32_t(2) * m_ / 3.0 + 1150));
    }
}

namespace {
// Where a legend cell's texts go: the diameter at its place in 16 points, the tolerances, kind
// and count at their column in 12 points. A diameter longer than its place (three decimals)
// pushes the tolerance text to a space after its end, so that no sign is covered; texts wider
// than the cell get smaller fonts, down to 8 points.
struct CellTexts {
    float diameterPoints = 16;
    float tolerancePoints = 12;
    float toleranceX = 0;
};

CellTexts fitCell(const QString& diameter, const QString& tolerances, float diameterX, float toleranceX,
    float limit, Surface& s)
{
    constexpr float kSmallest = 8;
    CellTexts t;
    const float was = s.fontSize();
    for (float scale = 1;; scale -= 1.0f / 32) {
        t.diameterPoints = std::max(kSmallest, 16 * scale);
        t.tolerancePoints = std::max(kSmallest, 12 * scale);
        s.setFontSize(t.diameterPoints);
        const float diameterEnd = diameterX + s.textWidth(diameter);
        s.setFontSize(t.tolerancePoints);
        t.toleranceX = std::max(toleranceX, diameterEnd + s.textWidth(QStringLiteral(" ")));
        const bool smallest = t.diameterPoints == kSmallest && t.tolerancePoints == kSmallest;
        if (t.toleranceX + s.textWidth(tolerances) <= limit || smallest)
            break;
    }
    s.setFontSize(was);
    return t;
}
} // namespace

float PageLayout::cellLimit(int c) const
{
    // Short of the next column's mark (holes of up to 7 mm), or of the sheet's right margin.
    return c < 2 ? static_cast<float>(dotColumn(c + 1) - 200) : static_cast<float>(w_ - 300);
}

bool PageLayout::legendCell(int i, const HoleRow& row, Rgb color, Surface& s) const
{
    const int c = i % 3;
    s.cursor.x = static_cast<float>(dotColumn(c));
    const int legendLine = i / 3; // three cells a line
    s.cursor.y = static_cast<float>(kLegendPitch * legendLine + 300);
    hole(s, s.cursor.x, s.cursor.y, i, color, true);
    const QString tolerances = toleranceText(row) + countSuffix(i);
    const CellTexts fit = fitCell(
        row.diameter, tolerances, s.cursor.x + 300, static_cast<float>(toleranceColumn(c)), cellLimit(c), s);
    s.setFontSize(16);
    const float line = s.lineHeight();
    s.cursor.x += 300;
    s.cursor.y -= 200;
    float toleranceY = s.cursor.y;
    s.setFontSize(fit.diameterPoints);
    s.printLine(row.diameter);
    // One 16-point line down, and the tolerance text lifted back about level.
    toleranceY += line;
    s.cursor.x = fit.toleranceX;
    s.setFontSize(fit.tolerancePoints);
    s.cursor.y = toleranceY - 350;
    s.printLine(tolerances);
    return true;
}

QString pageOverflow(
    const HoleTable& table, const BoardExtent& extent, const QString& sizeText, const QSizeF& sheet)
{
    if (isAutomatic(sizeText))
        return QString();
    PageLayout layout(sizeText);
    ProbeSurface probe(sheet, 600);
    if (!layout.prepare(table, extent, probe))
        return QString();
    // The board's origin lies kLeft from the left edge and kBottom above the bottom one: what
    // the board needs of the sheet is that and its drawn size.
    const double scale = static_cast<double>(layout.scale());
    const double width = kLeft + extent.maxX * scale;
    const double height = kBottom + extent.maxY * scale;
    const auto mm = [](double twips) { return int(std::lround(twips / 56.7)); };
    if (width > sheet.width())
        return msg::boardDoesNotFit(false, mm(width), mm(sheet.width()));
    if (height > sheet.height())
        return msg::boardDoesNotFit(true, mm(height), mm(sheet.height()));
    return QString();
}

QString totalsLine(const HoleTotals& t)
{
    return msg::holeTotals(t.th, t.nth, t.other, t.all);
}

float BasicRandom::next()
{
    x_ = (x_ * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    return static_cast<float>(x_) / 16777216.0f;
}

Rgb paletteColor(int k)
{
    static constexpr Rgb kPalette[16] = {{0, 0, 0}, {0, 0, 128}, {0, 128, 0}, {0, 128, 128}, {128, 0, 0},
        {128, 0, 128}, {128, 128, 0}, {192, 192, 192}, {128, 128, 128}, {0, 0, 255}, {0, 255, 0},
        {0, 255, 255}, {255, 0, 0}, {255, 0, 255}, {255, 255, 0}, {255, 255, 255}};
    return kPalette[std::clamp(k, 0, 15)];
}

DrawResult printDrawing(const QString& path, const HoleTable& table, const BoardExtent& extent,
    const QString& sizeText, const PageFoot& foot, Surface& page, BasicRandom& random)
{
    return printDrawing(
        singleFileBoard(path, ReaderKind::Standard), table, extent, sizeText, foot, page, random);
}

DrawResult printDrawing(const Board& board, const HoleTable& table, const BoardExtent& extent,
    const QString& sizeText, const PageFoot& foot, Surface& page, BasicRandom& random,
    const DrawingOptions& options)
{
    PageLayout layout(sizeText);
    layout.setOptions(options);
    DrawResult drawn = drawBoard(board, table, extent, layout, page);
    if (drawn.ending != DrawResult::Ending::Complete)
        return drawn;
    if (options.counts) {
        // The totals on the line under the legend's last line, in black.
        const HoleTotals t = holeTotals(*options.counts, table);
        const int lines = (table.rowsWithDiameter() + 2) / 3;
        page.cursor.x = static_cast<float>(layout.dotColumn(0));
        page.cursor.y = static_cast<float>(kLegendPitch * lines + 300 - 200);
        page.setFontSize(12);
        page.setForeColor(Rgb {0, 0, 0});
        page.printLine(totalsLine(t));
    }

    if (!foot.logo.isNull())
        page.drawImage(foot.logo, 100, static_cast<float>(layout.height() - 2500));
    page.cursor.x = static_cast<float>(layout.shortSide() / 2.0);
    page.cursor.y = static_cast<float>(layout.height() - 1700);
    page.setFontSize(25);
    // A code that would run past the sheet's right margin gets a smaller font until it fits;
    // one that does not fit even at 8 points starts further left.
    const float limit = static_cast<float>(layout.width() - 300);
    while (page.fontSize() > 8 && page.cursor.x + page.textWidth(foot.productCode) > limit)
        page.setFontSize(page.fontSize() - 0.5f);
    if (page.cursor.x + page.textWidth(foot.productCode) > limit)
        page.cursor.x = std::max(300.0f, limit - page.textWidth(foot.productCode));
    // Single precision, as the generator's number is one: floor(r x 15).
    const Rgb color = paletteColor(static_cast<int>(std::floor(random.next() * 15.0f)));
    // For black-and-white printing a light colour is drawn darker, as the marks are.
    page.setForeColor(options.marks ? printableColor(color) : color);
    page.printLine(foot.productCode);
    return drawn;
}

} // namespace kivotrek
