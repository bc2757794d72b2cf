#pragma once

#include <QImage>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <functional>

namespace kivotrek {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
    friend bool operator!=(Rgb a, Rgb b) { return !(a == b); }
};

// What the drill map is drawn on: the preview picture, a printer page, an SVG document, or a
// recording for tests. Positions and sizes are twips from the top-left corner, y downwards;
// pen widths are device pixels; font sizes are points.
class Surface {
public:
    virtual ~Surface() = default;

    virtual void clear() = 0;
    virtual float width() const = 0;
    virtual float height() const = 0;

    int16_t penWidth() const { return penWidth_; }
    void setPenWidth(int16_t w) { penWidth_ = w < 1 ? int16_t(1) : w; }

    // Where the next printLine starts: the top-left corner of its text, in twips.
    struct Cursor {
        float x = 0.0f;
        float y = 0.0f;
    } cursor;

    // A filled round spot as wide as the pen, centred on (x, y).
    virtual void dot(float x, float y, Rgb color) = 0;
    // A straight segment as thick as the pen, with round ends.
    virtual void line(float x1, float y1, float x2, float y2, Rgb color) = 0;
    // An open circle of the radius (twips) centred on (x, y), its line as thick as the pen.
    virtual void ring(float x, float y, float radius, Rgb color) = 0;
    // A closed figure through the points (twips): filled, or its edges as thick as the pen
    // with round corners.
    virtual void polygon(const QPointF* points, int count, Rgb color, bool filled) = 0;

    float fontSize() const { return fontSize_; }
    void setFontSize(float points) { fontSize_ = points; }

    // Draws the text with its top-left corner at the current position in the fore colour,
    // then moves to the start of the next text line.
    void printLine(const QString& text)
    {
        drawText(cursor.x, cursor.y, text);
        cursor.x = 0.0f;
        cursor.y += lineHeight();
    }

    Rgb foreColor() const { return foreColor_; }
    void setForeColor(Rgb c) { foreColor_ = c; }

    // Draws a picture at its own (physical) size with its top-left corner at (x, y).
    virtual void drawImage(const QImage& picture, float x, float y) = 0;

    // Size of one device pixel in twips.
    virtual float pixelSize() const = 0;

    virtual float lineHeight() const = 0; // twips, for the current font size
    // How wide the text is drawn in the current font size, in twips.
    virtual float textWidth(const QString& text) const;

    // Draws what draw() draws, centred on (x, y) in twips and no farther than reach device
    // pixels from it. A surface may draw it once as a stamp and place the stamp again for the
    // same key: a picture does, on its pixel grid, so that every mark of a class looks alike
    // and a million marks cost no more than a million dots. Others draw it every time.
    virtual void stamp(
        float x, float y, quint64 key, int reach, const std::function<void(Surface&, float, float)>& draw)
    {
        (void)key;
        (void)reach;
        draw(*this, x, y);
    }
    // Places the stamp of the key when there is one already; false otherwise.
    virtual bool placeStamp(float x, float y, quint64 key)
    {
        (void)x;
        (void)y;
        (void)key;
        return false;
    }

protected:
    virtual void drawText(float x, float y, const QString& text) = 0;

private:
    int16_t penWidth_ = 1;
    float fontSize_ = 9.0f;
    Rgb foreColor_ {};
};

// A picture's own size in twips, from its resolution (96 dpi when it names none).
QSizeF pictureSizeTwips(const QImage& picture);

// The font of drawn texts, and the height of one of its lines in twips at a resolution.
QFont drawingFont(float points);
float lineHeightTwips(float points, double dpi);
float textWidthTwips(const QString& text, float points, double dpi);

// A polygon's corner in the float twips that every other drawing call takes, so that a corner
// and a line's end given alike fall on the same spot. Out of line on purpose: GCC 12 vectorizes
// an inline pair of double-float-double conversions (x and y) into none at all at -O2 and -O3,
// though not under the sanitizers, and the same page came out a little apart between builds.
float roundedToFloat(double value);

} // namespace kivotrek
