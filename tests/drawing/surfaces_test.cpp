#include "drawing/bitmapexport.h"
#include "drawing/picturesurface.h"
#include "drawing/svgsurface.h"
#include "testutil.h"

#include <QFile>
#include <QImageReader>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
int countColor(const QImage& img, QRgb c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixel(x, y) == c;
    return n;
}
} // namespace

TEST(PictureSurface, PreviewSizeAndRoundDots)
{
    PictureSurface s(6855, 6300, 96);
    EXPECT_EQ(s.image().size(), QSize(457, 420));
    EXPECT_EQ(s.width(), 6855.0f);
    EXPECT_EQ(s.pixelSize(), 15.0f);
    EXPECT_EQ(countColor(s.image(), qRgb(255, 255, 255)), 457 * 420);

    s.dot(6320, 1214, {255, 0, 0}); // pixel (421.3, 80.9)
    EXPECT_EQ(s.image().pixel(421, 80), qRgb(255, 0, 0));
    EXPECT_EQ(countColor(s.image(), qRgb(255, 0, 0)), 1);

    s.setPenWidth(5);
    s.dot(1507.5f, 1507.5f, {0, 0, 255}); // centre of pixel (100, 100)
    const QRgb blue = qRgb(0, 0, 255);
    int across = 0;
    for (int x = 90; x < 110; ++x)
        across += s.image().pixel(x, 100) == blue;
    EXPECT_EQ(across, 5);
    EXPECT_EQ(s.image().pixel(98, 98), qRgb(255, 255, 255)); // corner of the square is not in the disc
    EXPECT_EQ(s.image().pixel(99, 99), blue);
    EXPECT_EQ(countColor(s.image(), blue), 21);

    s.setPenWidth(4); // even widths centre on a pixel corner
    s.dot(3000, 3000, {0, 255, 0});
    EXPECT_EQ(countColor(s.image(), qRgb(0, 255, 0)), 12);

    s.clear();
    EXPECT_EQ(countColor(s.image(), qRgb(255, 255, 255)), 457 * 420);
    EXPECT_EQ(s.penWidth(), 4); // the pen stays from one drawing to the next
}

TEST(PictureSurface, LinesAndText)
{
    PictureSurface s(6855, 6300, 96);
    s.setPenWidth(3);
    s.line(150, 3000, 6150, 3000, {0, 0, 0});
    EXPECT_EQ(s.image().pixel(200, 200), qRgb(0, 0, 0));
    EXPECT_EQ(s.image().pixel(200, 196), qRgb(255, 255, 255));
    s.cursor.x = 150;
    s.cursor.y = 30;
    s.setFontSize(7);
    s.printLine(QStringLiteral("0.8＋0.1 －0.05 TH"));
    EXPECT_EQ(s.cursor.x, 0.0f);
    EXPECT_NEAR(s.cursor.y, 30 + 7 * 20 * 1.2, 7 * 20 * 0.4); // one line of 7-point text, in twips
    int ink = 0;
    for (int y = 2; y < 14; ++y)
        for (int x = 10; x < 120; ++x)
            ink += qGray(s.image().pixel(x, y)) < 128;
    EXPECT_GT(ink, 40);
}

TEST(BitmapExport, WritesABmpUnderExactlyTheName)
{
    PictureSurface s(6855, 6300, 96);
    s.setPenWidth(7);
    s.dot(3000, 3000, {12, 34, 56});
    test::Scratch dir;
    const QString path = dir.path(QStringLiteral("drawing")); // no extension added
    ASSERT_TRUE(saveBitmap(s.image(), path));
    QImageReader reader(path);
    EXPECT_EQ(reader.format(), QByteArray("bmp"));
    const QImage back = reader.read();
    ASSERT_EQ(back.size(), QSize(457, 420));
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), s.image());
    // Replacing an existing file; an unwritable place fails.
    ASSERT_TRUE(saveBitmap(s.image(), path));
    EXPECT_FALSE(saveBitmap(s.image(), QStringLiteral("/nonexistent/dir/x.bmp")));
}

TEST(BitmapExport, PngIsAnExactPaletteImageUpTo256Colours)
{
    PictureSurface s(6855, 6300, 96);
    s.setPenWidth(9);
    s.dot(3000, 3000, {12, 34, 56});
    s.dot(100, 100, {255, 0, 0}); // cut by the picture's corner
    test::Scratch dir;
    const QString path = dir.path(QStringLiteral("drawing.png"));
    ASSERT_TRUE(savePicture(s.image(), path, "PNG"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_GT(bytes.size(), 33 + 12);
    EXPECT_EQ(bytes.left(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(bytes.mid(12, 4), QByteArray("IHDR"));
    EXPECT_EQ(bytes.at(24), 8); // bit depth
    EXPECT_EQ(bytes.at(25), 3); // palette
    EXPECT_EQ(bytes.right(12), QByteArray("\0\0\0\0IEND\xAE\x42\x60\x82", 12)); // IEND and its CRC

    QImageReader reader(path);
    const QImage back = reader.read();
    ASSERT_FALSE(back.isNull()) << reader.errorString().toStdString(); // the reader checks every CRC
    EXPECT_EQ(back.colorCount(), 3);
    EXPECT_EQ(back.dotsPerMeterX(), 3780); // 96 dpi
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), s.image());

    // More colours than a palette holds: written in full colour, still exact.
    QImage gradient(300, 2, QImage::Format_RGB32);
    for (int x = 0; x < 300; ++x) {
        gradient.setPixel(x, 0, qRgb(x % 256, x / 256, 7));
        gradient.setPixel(x, 1, qRgb(0, 0, 0));
    }
    ASSERT_TRUE(savePicture(gradient, path, "PNG"));
    const QImage many(path);
    EXPECT_EQ(many.convertToFormat(QImage::Format_RGB32), gradient);
    EXPECT_FALSE(savePicture(gradient, QStringLiteral("/nonexistent/dir/x.png"), "PNG"));
}

TEST(SvgSurface, MapsOperationsToElementsInTwips)
{
    SvgSurface s(6855, 6300, 96);
    s.setPenWidth(5);
    s.dot(6320, 1214, {255, 0, 0});
    s.setPenWidth(2);
    s.line(150, 6150, 6320, 6150, {0, 0, 255});
    s.cursor.x = 350;
    s.cursor.y = 30;
    s.setFontSize(7);
    s.printLine(QStringLiteral("0.8 <TH> & 外形"));
    QXmlStreamReader xml(s.document());
    QStringList seen;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        const QString name = xml.name().toString();
        seen << name;
        if (name == QLatin1String("svg")) {
            EXPECT_EQ(a.value(QLatin1String("viewBox")), QLatin1String("0 0 6855 6300"));
        } else if (name == QLatin1String("circle")) {
            EXPECT_EQ(a.value(QLatin1String("cx")), QLatin1String("6320"));
            EXPECT_EQ(a.value(QLatin1String("cy")), QLatin1String("1214"));
            EXPECT_EQ(a.value(QLatin1String("r")), QLatin1String("37.5")); // 5 px x 15 twips / 2
            EXPECT_EQ(a.value(QLatin1String("fill")), QLatin1String("#ff0000"));
        } else if (name == QLatin1String("line")) {
            EXPECT_EQ(a.value(QLatin1String("stroke-width")), QLatin1String("30"));
            EXPECT_EQ(a.value(QLatin1String("stroke")), QLatin1String("#0000ff"));
            EXPECT_EQ(a.value(QLatin1String("stroke-linecap")), QLatin1String("round"));
            EXPECT_EQ(a.value(QLatin1String("x2")), QLatin1String("6320"));
        } else if (name == QLatin1String("text")) {
            EXPECT_EQ(a.value(QLatin1String("x")), QLatin1String("350"));
            EXPECT_EQ(a.value(QLatin1String("y")), QLatin1String("30"));
            EXPECT_EQ(a.value(QLatin1String("font-size")), QLatin1String("140"));
            EXPECT_EQ(a.value(QLatin1String("fill")), QLatin1String("#000000"));
            EXPECT_EQ(a.value(QLatin1String("dominant-baseline")), QLatin1String("text-before-edge"));
            EXPECT_EQ(xml.readElementText(), QStringLiteral("0.8 <TH> & 外形"));
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(seen,
        QStringList({QStringLiteral("svg"), QStringLiteral("circle"), QStringLiteral("line"),
            QStringLiteral("text")}));
    s.clear();
    EXPECT_FALSE(s.document().contains("<circle"));
}
