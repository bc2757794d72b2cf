// What reaches paper reads: no legend text covers another or runs into the next column, the
// product code stays on the sheet; where the texts fit their places the page is as it was.

#include "drawing/gerberreplay.h"
#include "drawing/pagelayout.h"
#include "drawing/pagesurface.h"
#include "drawing/previewlayout.h"
#include "drawing/recordingsurface.h"
#include "drawing/symbols.h"
#include "testutil.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace kivotrek;
using Op = RecordingSurface::Op;

namespace {
constexpr float kA4W = 11906, kA4H = 16838;
constexpr float kPixel = 2.4f; // 600 dpi

struct Cell {
    const char* diameter;
    const char* sign1;
    const char* tol1;
    const char* sign2;
    const char* tol2;
    const char* kind;
};

// A table of the cells, each row's D-code selected by one flash.
struct LegendBoard {
    HoleTable table;
    BoardExtent extent {5670, 2835, 0.0567f};
    test::Scratch scratch;
    QString gerber;

    explicit LegendBoard(const std::vector<Cell>& cells)
    {
        QByteArray text;
        for (size_t i = 0; i < cells.size(); ++i) {
            HoleRow& r = table.row(int(i));
            r.dcode = QStringLiteral("D%1").arg(10 + i);
            r.diameter = QString::fromUtf8(cells[i].diameter);
            r.sign1 = QString::fromUtf8(cells[i].sign1);
            r.tol1 = QString::fromUtf8(cells[i].tol1);
            r.sign2 = QString::fromUtf8(cells[i].sign2);
            r.tol2 = QString::fromUtf8(cells[i].tol2);
            r.kind = HoleKind::named(QString::fromUtf8(cells[i].kind));
            text += "G54D" + QByteArray::number(10 + int(i)) + "*\nX" + QByteArray::number(int(i) * 1000)
                + "Y1000D03*\n";
        }
        gerber = scratch.write(QStringLiteral("b.gbr"), text);
    }
    std::vector<Op> texts(const QString& productCode = QString(), const DrawingOptions& options = {})
    {
        RecordingSurface page(kA4W, kA4H, kPixel, 400.0f);
        BasicRandom random;
        PageFoot foot;
        foot.productCode = productCode;
        printDrawing(singleFileBoard(gerber, ReaderKind::Standard), table, extent,
            QStringLiteral("自動(A4縦)"), foot, page, random, options);
        return page.only(Op::Text);
    }
};

float widthOf(const QString& text, float points)
{
    return textWidthTwips(text, points, 1440.0 / kPixel);
}
} // namespace

TEST(LegendFit, TolerancesStartAfterTheDiameterAndNeverRunIntoTheNextColumn)
{
    LegendBoard b({{"0.305", "＋", "0.1", "", "", ""}, {"0.914", "±", "0.1", "", "", "TH"},
        {"0.203", "", "", "", "", "TH"}, {"0.80", "±", "0.05", "", "", "TH"},
        {"1.20", "＋", "0.1", "－", "0.05", "NTH"}});
    const std::vector<Op> texts = b.texts();
    ASSERT_EQ(texts.size(), 2u * 5 + 1); // a diameter and a tolerance line per cell, the product code
    PageLayout layout(QStringLiteral("自動(A4縦)"));
    RecordingSurface probe(kA4W, kA4H, kPixel, 400.0f);
    ASSERT_TRUE(layout.prepare(b.table, b.extent, probe));
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const Op& diameter = texts[size_t(2 * i)];
        const Op& tolerance = texts[size_t(2 * i + 1)];
        EXPECT_EQ(diameter.text, b.table.row(i).diameter);
        // Every sign readable: a space between the diameter's end and the tolerance.
        const float diameterEnd = diameter.x1 + widthOf(diameter.text, diameter.fontSize);
        EXPECT_GE(tolerance.x1, diameterEnd + widthOf(QStringLiteral(" "), tolerance.fontSize) - 0.01f);
        EXPECT_LE(tolerance.x1 + widthOf(tolerance.text, tolerance.fontSize), layout.cellLimit(i % 3));
        // These fit the cell at the legend's own sizes.
        EXPECT_EQ(diameter.fontSize, 16.0f);
        EXPECT_EQ(tolerance.fontSize, 12.0f);
    }
    // Diameters of up to four characters keep their documented places.
    EXPECT_EQ(texts[7].x1, float(layout.toleranceColumn(0)));
    EXPECT_EQ(texts[9].x1, float(layout.toleranceColumn(1)));
    // Three decimals move the tolerance text right.
    EXPECT_GT(texts[1].x1, float(layout.toleranceColumn(0)));
    // No tolerance: the kind still stands apart from the diameter (not "0.203TH").
    EXPECT_GT(texts[5].x1, float(layout.toleranceColumn(2)));
}

TEST(LegendFit, ACellWiderThanItsColumnGetsSmallerFonts)
{
    LegendBoard b(
        {{"0.305 (0.3)", "＋", "0.05", "－", "0.05", "NTH ザグリ"}, {"0.80", "", "", "", "", "TH"}});
    const std::vector<Op> texts = b.texts();
    PageLayout layout(QStringLiteral("自動(A4縦)"));
    RecordingSurface probe(kA4W, kA4H, kPixel, 400.0f);
    ASSERT_TRUE(layout.prepare(b.table, b.extent, probe));
    const Op& diameter = texts[0];
    const Op& tolerance = texts[1];
    EXPECT_LT(tolerance.fontSize, 12.0f);
    EXPECT_GE(tolerance.fontSize, 8.0f);
    EXPECT_LT(diameter.fontSize, 16.0f);
    EXPECT_LE(tolerance.x1 + widthOf(tolerance.text, tolerance.fontSize), layout.cellLimit(0));
    // The row beside it is as it always was.
    EXPECT_EQ(texts[2].fontSize, 16.0f);
    EXPECT_EQ(texts[3].fontSize, 12.0f);
    EXPECT_EQ(texts[3].x1, float(layout.toleranceColumn(1)));
}

TEST(LegendFit, OnPaperAtSixHundredDotsPerInchTheSignsStandClear)
{
    // The legend's first cell, rendered: the tolerance's first ink lies right of the
    // diameter's last ink, with a gap.
    const auto render = [](const Cell& cell) {
        LegendBoard b({cell});
        QImage image(int(kA4W / kPixel), 600, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.setDotsPerMeterX(23622);
        image.setDotsPerMeterY(23622);
        {
            PageSurface page(image, QSizeF(kA4W, kA4H), 600);
            BasicRandom random;
            printDrawing(singleFileBoard(b.gerber, ReaderKind::Standard), b.table, b.extent,
                QStringLiteral("自動(A4縦)"), PageFoot(), page, random);
        }
        return image;
    };
    const auto inkedColumns = [](const QImage& image, int from) {
        std::vector<bool> ink(size_t(image.width()), false);
        for (int y = 0; y < image.height(); ++y)
            for (int x = from; x < image.width(); ++x)
                ink[size_t(x)] = ink[size_t(x)] || qGray(image.pixel(x, y)) < 128;
        return ink;
    };
    for (const Cell& cell : {Cell {"0.305", "＋", "0.1", "", "", ""}, Cell {"0.914", "±", "0.1", "", "", ""},
             Cell {"0.203", "", "", "", "", "TH"}}) {
        SCOPED_TRACE(cell.diameter);
        // The diameter alone, then the whole cell; right of the legend's mark (at 300 twips).
        const int textStart = int(500 / kPixel);
        const std::vector<bool> alone = inkedColumns(render({cell.diameter, "", "", "", "", ""}), textStart);
        const std::vector<bool> whole = inkedColumns(render(cell), textStart);
        int diameterEnd = 0;
        for (int x = 0; x < int(alone.size()); ++x)
            diameterEnd = alone[size_t(x)] ? x : diameterEnd;
        ASSERT_GT(diameterEnd, textStart);
        int next = diameterEnd + 1;
        while (next < int(whole.size()) && !whole[size_t(next)])
            ++next;
        ASSERT_LT(next, int(whole.size())) << "the tolerance is drawn";
        EXPECT_GE(next - diameterEnd, 8) << "at least part of a space between them";
    }
}

TEST(LegendFit, TheProductCodeStaysOnTheSheetAndPrintsDarkForSymbols)
{
    LegendBoard b({{"0.80", "", "", "", "", "TH"}});
    const Op shortCode = b.texts(QStringLiteral("KT-001")).back();
    EXPECT_EQ(shortCode.text, QStringLiteral("KT-001"));
    EXPECT_EQ(shortCode.fontSize, 25.0f);
    EXPECT_EQ(shortCode.x1, kA4W / 2);
    const QString longCode = QStringLiteral("KT-2026-12-0001-REV.C 多層基板 穴区分け図 最終版");
    const Op code = b.texts(longCode).back();
    EXPECT_LT(code.fontSize, 25.0f);
    EXPECT_LE(code.x1 + widthOf(longCode, code.fontSize), kA4W - 300);
    // Its colour as always, darkened as the marks' colours for black-and-white printing.
    BasicRandom random;
    const Rgb color = paletteColor(int(std::floor(random.next() * 15.0f)));
    EXPECT_EQ(shortCode.color, color);
    DrawingOptions marks;
    marks.marks = true;
    EXPECT_EQ(b.texts(QStringLiteral("KT-001"), marks).back().color, printableColor(color));
}

TEST(LegendFit, ThePreviewsLegendTextEndsBeforeTheNextCell)
{
    LegendBoard b(
        {{"0.305", "＋", "0.05", "－", "0.05", "NTH 大径ザグリ 2段"}, {"0.80", "±", "0.05", "", "", "TH"}});
    RecordingSurface picture(kPreviewWidthTwips, kPreviewHeightTwips, 15.0f, 150.0f);
    PreviewLayout layout;
    ASSERT_TRUE(layout.prepare(b.table, b.extent, picture));
    ASSERT_EQ(replayDrillMap(recordSteps(b.gerber), b.table, b.extent, layout, picture).ending,
        DrawResult::Ending::Complete);
    const std::vector<Op> texts = picture.only(Op::Text);
    ASSERT_EQ(texts.size(), 2u);
    const auto end = [](const Op& t) { return t.x1 + textWidthTwips(t.text, t.fontSize, 96.0); };
    EXPECT_LT(texts[0].fontSize, 7.0f);
    EXPECT_LE(end(texts[0]), 1650.0f - 120);
    EXPECT_EQ(texts[1].fontSize, 7.0f); // a text that fits stays as it was
    EXPECT_EQ(texts[1].text, QStringLiteral("0.80±0.05  TH"));
}

TEST(PaperFit, APercentageThatPutsTheBoardPastThePaperIsNamed)
{
    const QSizeF portrait(kA4W, kA4H), landscape(kA4H, kA4W);
    HoleTable table;
    const BoardExtent board {5670, 4536, 0.0567f}; // 100 x 80 mm
    EXPECT_TRUE(pageOverflow(table, board, QStringLiteral("100"), portrait).isEmpty());
    EXPECT_TRUE(pageOverflow(table, board, QStringLiteral("自動(A4縦)"), portrait).isEmpty());
    // 300 % of 0.83: 249 mm wide, 261 mm from the sheet's left edge, past A4 portrait's 210.
    EXPECT_EQ(pageOverflow(table, board, QStringLiteral("300"), portrait),
        QStringLiteral("基板が用紙に収まりません（幅 261 mm、用紙 210 mm）。"));
    // 150 x 40 mm at 200 %: within A4 landscape's 297 mm, not portrait's 210.
    const BoardExtent wide {8505, 2268, 0.0567f};
    EXPECT_EQ(pageOverflow(table, wide, QStringLiteral("200"), portrait),
        QStringLiteral("基板が用紙に収まりません（幅 261 mm、用紙 210 mm）。"));
    EXPECT_TRUE(pageOverflow(table, wide, QStringLiteral("200"), landscape).isEmpty());
    // A tall board runs past by its height: 332 mm and the 53 mm below it.
    const BoardExtent tall {2835, 22680, 0.0567f}; // 50 x 400 mm
    EXPECT_EQ(pageOverflow(table, tall, QStringLiteral("100"), portrait),
        QStringLiteral("基板が用紙に収まりません（高さ 385 mm、用紙 297 mm）。"));
}
