#include "drawing/pdfmarks.h"

#include <QRegularExpression>
#include <charconv>
#include <cstdio>
#include <zlib.h>

namespace kivotrek {

namespace {
constexpr qsizetype kChunk = qsizetype(1) << 16;

// A number as the operators take it: at most two decimals, no trailing zeros.
void appendNumber(QByteArray& out, double v)
{
    char buf[48];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    char* end = r.ptr;
    while (end > buf && end[-1] == '0')
        --end;
    if (end > buf && end[-1] == '.')
        --end;
    if (end == buf || (end - buf == 1 && buf[0] == '-'))
        out += '0';
    else
        out.append(buf, end - buf);
    out += ' ';
}

void appendColor(QByteArray& out, Rgb c)
{
    char buf[40];
    const int n = std::snprintf(buf, sizeof buf, "%.3g %.3g %.3g ", c.r / 255.0, c.g / 255.0, c.b / 255.0);
    out.append(buf, n);
}

QByteArray offsetEntry(qint64 offset)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%010lld 00000 n \n", static_cast<long long>(offset));
    return QByteArray(buf, 20);
}
} // namespace

struct PdfMarks::Deflater {
    z_stream z {};
    bool open = false;
    ~Deflater()
    {
        if (open)
            deflateEnd(&z);
    }
};

PdfMarks::PdfMarks(double dpi, double heightPoints, const QString& folder)
    : zip_(std::make_unique<Deflater>()), dpi_(dpi), height_(heightPoints), folder_(folder)
{
}

PdfMarks::~PdfMarks() = default;

void PdfMarks::start()
{
    file_ = std::make_unique<QTemporaryFile>(folder_ + QStringLiteral("/.kivotrek-page-XXXXXX"));
    if (!file_->open())
        failure_ = file_->errorString();
    if (deflateInit(&zip_->z, Z_DEFAULT_COMPRESSION) != Z_OK)
        failure_ = QStringLiteral("out of memory");
    else
        zip_->open = true;
    // The page's own contents leave the graphics state they found: back to it (the stream put
    // before them saved it), then the writer's device pixels, y down.
    text_ += "Q\nq\n";
    const double scale = 72.0 / dpi_;
    appendNumber(text_, scale);
    text_ += "0 0 ";
    appendNumber(text_, -scale);
    text_ += "0 ";
    appendNumber(text_, height_);
    text_ += "cm\n1 J 1 j\n";
}

void PdfMarks::add(const char* text)
{
    text_ += text;
    if (text_.size() >= kChunk)
        deflateOut(false);
}

void PdfMarks::deflateOut(bool finish)
{
    if (!failure_.isEmpty() || !zip_->open) {
        text_.clear();
        return;
    }
    z_stream& z = zip_->z;
    z.next_in = reinterpret_cast<Bytef*>(text_.data());
    z.avail_in = uInt(text_.size());
    char out[1 << 16];
    int status = Z_OK;
    do {
        z.next_out = reinterpret_cast<Bytef*>(out);
        z.avail_out = sizeof out;
        status = deflate(&z, finish ? Z_FINISH : Z_NO_FLUSH);
        const qint64 n = qint64(sizeof out - z.avail_out);
        if (n > 0 && file_->write(out, n) != n) {
            failure_ = file_->errorString();
            break;
        }
        compressed_ += n;
    } while (z.avail_out == 0 || (finish && status != Z_STREAM_END));
    text_.clear();
}

void PdfMarks::strokeColor(Rgb c)
{
    if (haveStroke_ && stroke_ == c)
        return;
    appendColor(text_, c);
    text_ += "RG\n";
    stroke_ = c;
    haveStroke_ = true;
}

void PdfMarks::fillColor(Rgb c)
{
    if (haveFill_ && fill_ == c)
        return;
    appendColor(text_, c);
    text_ += "rg\n";
    fill_ = c;
    haveFill_ = true;
}

void PdfMarks::lineWidth(double w)
{
    if (haveWidth_ && width_ == w)
        return;
    appendNumber(text_, w);
    text_ += "w\n";
    width_ = w;
    haveWidth_ = true;
}

void PdfMarks::point(double x, double y)
{
    appendNumber(text_, x);
    appendNumber(text_, y);
}

void PdfMarks::dot(double x, double y, double diameter, Rgb color)
{
    if (count_++ == 0)
        start();
    // A segment of no length with round ends is a filled circle as wide as the line.
    strokeColor(color);
    lineWidth(diameter);
    point(x, y);
    text_ += "m ";
    point(x, y);
    add("l S\n");
}

void PdfMarks::line(double x1, double y1, double x2, double y2, double width, Rgb color)
{
    if (count_++ == 0)
        start();
    strokeColor(color);
    lineWidth(width);
    point(x1, y1);
    text_ += "m ";
    point(x2, y2);
    add("l S\n");
}

void PdfMarks::ring(double x, double y, double radius, double width, Rgb color)
{
    if (count_++ == 0)
        start();
    strokeColor(color);
    lineWidth(width);
    // Four quarter arcs as Bézier curves.
    const double k = 0.5522847498 * radius;
    point(x + radius, y);
    text_ += "m ";
    const double quarters[4][6] = {{x + radius, y + k, x + k, y + radius, x, y + radius},
        {x - k, y + radius, x - radius, y + k, x - radius, y},
        {x - radius, y - k, x - k, y - radius, x, y - radius},
        {x + k, y - radius, x + radius, y - k, x + radius, y}};
    for (const auto& q : quarters) {
        for (int i = 0; i < 6; i += 2)
            point(q[i], q[i + 1]);
        text_ += "c ";
    }
    add("S\n");
}

void PdfMarks::polygon(const QPointF* points, int count, double width, Rgb color, bool filled)
{
    if (count < 2)
        return;
    if (count_++ == 0)
        start();
    if (filled)
        fillColor(color);
    else {
        strokeColor(color);
        lineWidth(width);
    }
    for (int i = 0; i < count; ++i) {
        point(points[i].x(), points[i].y());
        text_ += i == 0 ? "m " : "l ";
    }
    add(filled ? "h f*\n" : "h S\n");
}

WriteResult PdfMarks::joinTo(const QByteArray& document, QIODevice& out)
{
    if (count_ == 0)
        return writeAll(out, document) ? WriteResult {true, QString()}
                                       : WriteResult::failed(out.errorString());
    text_ += "Q\n";
    deflateOut(true);
    if (!failure_.isEmpty())
        return WriteResult::failed(failure_);
    if (!file_->flush() || !file_->seek(0))
        return WriteResult::failed(file_->errorString());

    // The page, its contents, and the document's trailer as Qt's writer lays them out.
    static const QRegularExpression pageObject(
        QStringLiteral("\\n(\\d+) 0 obj\\n<<\\n/Type /Page\\n((?:(?!endobj)[\\s\\S])*)>>\\nendobj"));
    static const QRegularExpression contents(QStringLiteral("/Contents (\\d+) 0 R"));
    static const QRegularExpression trailer(
        QStringLiteral("trailer\\n<<\\n/Size (\\d+) ?\\n/Info (\\d+) 0 R\\n/Root (\\d+) 0 "
                       "R\\n>>\\nstartxref\\n(\\d+) ?\\n%%EOF\\n?$"));
    const QString text = QString::fromLatin1(document);
    const QRegularExpressionMatch page = pageObject.match(text);
    const QRegularExpressionMatch end = trailer.match(text);
    const QRegularExpressionMatch own = contents.match(page.captured(2));
    if (!page.hasMatch() || !end.hasMatch() || !own.hasMatch())
        return WriteResult::failed(QStringLiteral("the PDF page could not be joined to its marks"));

    // Three new objects after the document's: a stream before the page's own contents that
    // saves the graphics state, the marks after them, and the marks' length.
    const qint64 size = end.captured(1).toLongLong();
    const qint64 before = size, marks = size + 1, length = size + 2;
    if (!writeAll(out, document))
        return WriteResult::failed(out.errorString());
    qint64 offset = document.size();
    const qint64 beforeAt = offset;
    QByteArray head =
        QByteArray::number(before) + " 0 obj\n<<\n/Length 2\n>>\nstream\nq\n\nendstream\nendobj\n";
    const qint64 marksAt = beforeAt + head.size();
    head += QByteArray::number(marks) + " 0 obj\n<<\n/Length " + QByteArray::number(length)
        + " 0 R\n/Filter /FlateDecode\n>>\nstream\n";
    if (!writeAll(out, head))
        return WriteResult::failed(out.errorString());
    offset += head.size();
    while (!file_->atEnd()) {
        const QByteArray chunk = file_->read(1 << 20);
        if (chunk.isEmpty() || !writeAll(out, chunk))
            return WriteResult::failed(chunk.isEmpty() ? file_->errorString() : out.errorString());
        offset += chunk.size();
    }
    QByteArray tail = "\nendstream\nendobj\n";
    const qint64 lengthAt = offset + tail.size();
    tail += QByteArray::number(length) + " 0 obj\n" + QByteArray::number(compressed_) + "\nendobj\n";
    const qint64 pageAt = offset + tail.size();
    const QByteArray number = page.captured(1).toLatin1();
    QString dictionary = page.captured(2);
    dictionary.replace(own.capturedStart(), own.capturedLength(),
        QStringLiteral("/Contents [%1 0 R %2 0 R %3 0 R]").arg(before).arg(own.captured(1)).arg(marks));
    tail += number + " 0 obj\n<<\n/Type /Page\n" + dictionary.toLatin1() + ">>\nendobj\n";
    const qint64 xrefAt = offset + tail.size();
    tail += "xref\n" + number + " 1\n" + offsetEntry(pageAt) + QByteArray::number(before) + " 3\n"
        + offsetEntry(beforeAt) + offsetEntry(marksAt) + offsetEntry(lengthAt);
    tail += "trailer\n<<\n/Size " + QByteArray::number(size + 3) + "\n/Info " + end.captured(2).toLatin1()
        + " 0 R\n/Root " + end.captured(3).toLatin1() + " 0 R\n/Prev " + end.captured(4).toLatin1()
        + "\n>>\nstartxref\n" + QByteArray::number(xrefAt) + "\n%%EOF\n";
    if (!writeAll(out, tail))
        return WriteResult::failed(out.errorString());
    return {true, QString()};
}

} // namespace kivotrek
