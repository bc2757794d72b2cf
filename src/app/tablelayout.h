#pragma once

#include "app/twips.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QStringList>

class QWidget;

namespace kivotrek {

// Where the fields of the hole table go. The design layout in twips is the least each field
// gets; where the font needs more (a larger desktop font, a wide Japanese glyph, the style's
// own frame and arrow), fields widen and lines grow so that every value of every list shows in
// full, and the columns, headings and window widen with them.
class TableLayout {
public:
    enum Field { DCode, Diameter, Sign1, Value1, Sign2, Value2, Kind, Swatch, Count, kFields };

    // Measures the texts with the widgets' font and style.
    TableLayout(
        const Twips& tw, const QStringList& signs, const QStringList& values, const QStringList& kinds);

    // Field f of row i, in its tab page.
    QRect field(int i, Field f) const;
    // The headings of column c (0 to 2) over the diameter, the two tolerances and the kind.
    QRect diameterHeading(int c) const;
    QRect toleranceHeading(int c, int which) const;
    QRect kindHeading(int c) const;

    // The tab control, the line of totals under it, and the window's client area.
    QRect tabControl() const;
    QRect totals() const;
    // The font of the counts beside the swatches: smaller than the fields', so that the table
    // keeps within a screen of 1280 pixels.
    static QFont countFont();
    // The background of the read-only fields and the headings: the system's window colour, not
    // the client area's green.
    static QColor fieldBackground();
    QSize client() const;
    // Height of the one-line boxes of the top strip.
    int boxHeight() const { return boxHeight_; }

private:
    int columnLeft(int c) const { return firstColumn_ + c * columnPitch_; }

    Twips tw_;
    int left_[kFields] = {};
    int width_[kFields] = {};
    int fieldHeight_ = 0;
    int boxHeight_ = 0;
    int linePitch_ = 0;
    int firstLine_ = 0;
    int headingTop_ = 0;
    int headingHeight_ = 0;
    int firstColumn_ = 0;
    int columnPitch_ = 0;
};

} // namespace kivotrek
