#include "drawing/svgsurface.h"

#include <QBuffer>
#include <charconv>

namespace kivotrek {

namespace {
QByteArray num(double v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<float>(v));
    return QByteArray(buf, static_cast<qsizetype>(r.ptr - buf));
}

QByteArray hex(Rgb c)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return QByteArray(buf);
}

QByteArray escaped(const QString& text)
{
    // XML 1.0 carries tab, line feed, carriage return and characters from U+0020 up, less
    // lone surrogates and U+FFFE/U+FFFF: anything else (a control byte in an aperture text or a
    // product code) becomes U+FFFD, so that the document stays well-formed.
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            clean += text[i];
            clean += text[++i];
        } else if ((c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || QChar::isSurrogate(c) || c == 0xFFFE
            || c == 0xFFFF) {
            clean += QChar(QChar::ReplacementCharacter);
        } else {
            clean += text[i];
        }
    }
    return clean.toHtmlEscaped().toUtf8();
}
} // namespace

SvgSurface::SvgSurface(float widthTwips, float heightTwips, double dpi, QIODevice* out)
    : width_(widthTwips), height_(heightTwips), dpi_(dpi), out_(out)
{
    if (out_)
        writeOut(head());
}

void SvgSurface::clear()
{
    // Only what has not gone out yet: a streamed drawing is cleared before it is drawn.
    body_.clear();
}

void SvgSurface::add(const QByteArray& element)
{
    body_ += element;
    if (out_ && body_.size() >= kChunk) {
        writeOut(body_);
        body_.clear();
    }
}

void SvgSurface::writeOut(const QByteArray& bytes)
{
    written_ = written_ && out_->write(bytes) == bytes.size();
}

bool SvgSurface::finish()
{
    if (!out_)
        return true;
    writeOut(body_ + tail());
    body_.clear();
    return written_;
}

QByteArray SvgSurface::head() const
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\""
        + num(width_ / 1440.0) + "in\" height=\"" + num(height_ / 1440.0) + "in\" viewBox=\"0 0 "
        + num(width_) + ' ' + num(height_) + "\" font-family=\"Noto Sans CJK JP, sans-serif\">\n";
}

QByteArray SvgSurface::tail()
{
    return "</svg>\n";
}

void SvgSurface::dot(float x, float y, Rgb color)
{
    add("<circle cx=\"" + num(x) + "\" cy=\"" + num(y) + "\" r=\"" + num(penWidth() * pixelSize() / 2.0)
        + "\" fill=\"" + hex(color) + "\"/>\n");
}

void SvgSurface::line(float x1, float y1, float x2, float y2, Rgb color)
{
    add("<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) + "\" y2=\"" + num(y2)
        + "\" stroke=\"" + hex(color) + "\" stroke-width=\"" + num(penWidth() * double(pixelSize()))
        + "\" stroke-linecap=\"round\"/>\n");
}

void SvgSurface::ring(float x, float y, float radius, Rgb color)
{
    add("<circle cx=\"" + num(x) + "\" cy=\"" + num(y) + "\" r=\"" + num(radius)
        + "\" fill=\"none\" stroke=\"" + hex(color) + "\" stroke-width=\""
        + num(penWidth() * double(pixelSize())) + "\"/>\n");
}

void SvgSurface::polygon(const QPointF* points, int count, Rgb color, bool filled)
{
    if (count < 2)
        return;
    QByteArray list;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            list += ' ';
        list += num(points[i].x()) + ',' + num(points[i].y());
    }
    if (filled)
        add("<polygon points=\"" + list + "\" fill=\"" + hex(color) + "\"/>\n");
    else
        add("<polygon points=\"" + list + "\" fill=\"none\" stroke=\"" + hex(color) + "\" stroke-width=\""
            + num(penWidth() * double(pixelSize())) + "\" stroke-linejoin=\"round\"/>\n");
}

void SvgSurface::drawText(float x, float y, const QString& text)
{
    add("<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" font-size=\"" + num(fontSize() * 20.0) + "\" fill=\""
        + hex(foreColor()) + "\" dominant-baseline=\"text-before-edge\">" + escaped(text) + "</text>\n");
}

float SvgSurface::lineHeight() const
{
    return lineHeightTwips(fontSize(), dpi_);
}

void SvgSurface::drawImage(const QImage& picture, float x, float y)
{
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    picture.save(&buf, "PNG");
    const QSizeF size = pictureSizeTwips(picture);
    add("<image x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(size.width()) + "\" height=\""
        + num(size.height()) + "\" href=\"data:image/png;base64," + png.toBase64() + "\"/>\n");
}

QByteArray SvgSurface::document() const
{
    return head() + body_ + tail();
}

} // namespace kivotrek
