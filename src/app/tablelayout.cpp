#include "app/tablelayout.h"

#include "common/captions.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <algorithm>

namespace kivotrek {

namespace {
// QComboBox keeps the option it draws with to itself.
struct ProbeCombo : QComboBox {
    using QComboBox::initStyleOption;
};

// Room a line edit takes besides its text: QLineEdit's fixed inner margin of 2 pixels on each
// side, one for the cursor, and its frame.
int lineEditOverhead(const QLineEdit& edit)
{
    const int frame =
        edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &edit) : 0;
    return 2 * 2 + 1 + 2 * frame;
}

int widest(const QFontMetrics& fm, const QStringList& texts)
{
    int w = 0;
    for (const QString& t : texts)
        w = std::max(w, fm.horizontalAdvance(t));
    return w;
}
} // namespace

TableLayout::TableLayout(
    const Twips& tw, const QStringList& signs, const QStringList& values, const QStringList& kinds)
    : tw_(tw)
{
    const QFontMetrics fm(QApplication::font());
    // What the style keeps of an editable combo box for its frame and arrow, asked of a plain box
    // with the editable option (an editable probe would make a completer and its model too).
    ProbeCombo probe;
    probe.resize(200, probe.sizeHint().height());
    QStyleOptionComboBox option;
    probe.initStyleOption(&option);
    option.editable = true;
    const QRect edit =
        probe.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &probe);
    QLineEdit inner; // a box's line edit has no frame of its own
    inner.setFrame(false);
    const int comboOverhead = 200 - edit.width() + lineEditOverhead(inner);
    const QLineEdit box;
    const int boxOverhead = lineEditOverhead(box);

    const auto combo = [&](int designTwips, const QStringList& items) {
        return std::max(tw.px(designTwips), widest(fm, items) + comboOverhead);
    };
    width_[DCode] = std::max(tw.px(480), fm.horizontalAdvance(QStringLiteral("D000")) + boxOverhead);
    width_[Diameter] = std::max(tw.px(495), fm.horizontalAdvance(QStringLiteral("00.000")) + boxOverhead);
    width_[Sign1] = width_[Sign2] = combo(390, signs);
    width_[Value1] = width_[Value2] = combo(390, values);
    width_[Kind] = combo(615, kinds);
    width_[Swatch] = tw.px(135);
    // A row's holes and slots: "12345+67" shows whole; a larger count gets a smaller font.
    width_[Count] = QFontMetrics(countFont()).horizontalAdvance(QStringLiteral("12345+67")) + 2;

    // Fields side by side: a tolerance's sign and value close together, a wider gap between groups.
    const int tight = 1;
    const int gap = std::max(tw.px(90), 4);
    int x = 0;
    const int gapBefore[kFields] = {0, 0, gap, tight, gap, tight, gap, gap, 3};
    for (int f = 0; f < kFields; ++f) {
        x += gapBefore[f];
        left_[f] = x;
        x += width_[f];
    }
    columnPitch_ = std::max(tw.px(3600), x + tw.px(225));

    // Heights: at least the design's, and never less than the style needs to show the font's
    // ascent and descent (the Japanese fallback font reaches lower than the Latin one).
    const int textHeight =
        std::max(fm.height(), fm.boundingRect(msg::outlineKind() + QStringLiteral("_gjy")).height());
    fieldHeight_ = std::max({tw.px(300), probe.sizeHint().height(), box.sizeHint().height(), textHeight + 6});
    boxHeight_ = std::max({tw.px(270), box.sizeHint().height(), textHeight + 6});
    linePitch_ = std::max(tw.px(360), fieldHeight_ + 3);
    headingHeight_ = std::max(tw.px(255), textHeight + 2);
    // Below the tab strip: the headings, then seven lines of rows.
    headingTop_ = tw.px(600);
    firstLine_ = std::max(tw.px(960), headingTop_ + headingHeight_ + 4);
    firstColumn_ = tw.px(240);
}

QRect TableLayout::field(int i, Field f) const
{
    const int k = i % 21;
    const int c = k % 3;
    const int l = k / 3;
    const int top = firstLine_ + linePitch_ * l;
    if (f == Swatch) {
        const int h = width_[Swatch];
        return {columnLeft(c) + left_[f], top + (fieldHeight_ - h) / 2, h, h};
    }
    return {columnLeft(c) + left_[f], top, width_[f], fieldHeight_};
}

QRect TableLayout::diameterHeading(int c) const
{
    return {columnLeft(c) + left_[Diameter], headingTop_, width_[Diameter], headingHeight_};
}

QRect TableLayout::toleranceHeading(int c, int which) const
{
    const Field sign = which == 0 ? Sign1 : Sign2;
    const Field value = which == 0 ? Value1 : Value2;
    return {
        columnLeft(c) + left_[sign], headingTop_, left_[value] + width_[value] - left_[sign], headingHeight_};
}

QRect TableLayout::kindHeading(int c) const
{
    return {columnLeft(c) + left_[Kind], headingTop_, width_[Kind], headingHeight_};
}

QRect TableLayout::tabControl() const
{
    const int width = std::max(tw_.px(11055), firstColumn_ + 3 * columnPitch_);
    const int height = std::max(tw_.px(3615), firstLine_ + 7 * linePitch_ + tw_.px(120));
    return {tw_.px(120), tw_.px(720), width, height};
}

QColor TableLayout::fieldBackground()
{
    return QApplication::palette().color(QPalette::Window);
}

QFont TableLayout::countFont()
{
    QFont f = QApplication::font();
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * 0.8);
    else
        f.setPixelSize(std::max(1, f.pixelSize() * 4 / 5));
    return f;
}

QRect TableLayout::totals() const
{
    const QRect tab = tabControl();
    return {tab.left() + tw_.px(120), tab.bottom() + 1 + tw_.px(60), tab.width() - tw_.px(240), boxHeight_};
}

QSize TableLayout::client() const
{
    const QRect tab = tabControl();
    return {std::max(tw_.px(11310), tab.right() + 1 + tw_.px(135)),
        std::max(tw_.px(4890), totals().bottom() + 1 + tw_.px(300))};
}

} // namespace kivotrek
