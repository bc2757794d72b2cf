// Copper, mask and silk layers read as the pictures they make: apertures and their holes,
// macros with parts taken out, draws and arcs, regions, polarity, step and repeat, blocks and
// the aperture transforms, written after the Gerber format's description.

#include "gerber/gerberimage.h"
#include "testutil.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
GerberImage image(const QByteArray& text)
{
    QByteArray bytes = text;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return readGerberImage(buffer, QStringLiteral("layer.gbr"));
}

const QByteArray kHead = "%FSLAX46Y46*%\n%MOMM*%\n";
} // namespace

TEST(GerberImage, StandardAperturesTheirHolesAndTheirReach)
{
    const GerberImage g = image(kHead
        + "%TA.AperFunction,ViaPad*%\n%ADD10C,0.6*%\n%TD*%\n%ADD11C,1.0X0.4*%\n%ADD12R,2.0X1.0*%\n"
          "%ADD13O,1.0X3.0*%\n%ADD14P,2.0X6X30*%\n"
          "D10*\nX1000000Y1000000D03*\nD11*\nX2000000Y1000000D03*\nD12*\nX3000000Y1000000D03*\n"
          "D13*\nX4000000Y1000000D03*\nD14*\nX5000000Y1000000D03*\nM02*\n");
    ASSERT_EQ(g.apertures.size(), 5u);
    ASSERT_EQ(g.objects.size(), 5u);
    EXPECT_EQ(g.skippedLines, 0);
    // A plain circle is drawn as one; a hole makes it a ring of two contours.
    EXPECT_TRUE(g.apertures[0].round());
    EXPECT_EQ(g.apertures[0].function, QStringLiteral("ViaPad"));
    EXPECT_EQ(g.apertures[0].reach, 300000);
    EXPECT_EQ(g.apertures[0].strokeWidth, 600000);
    ASSERT_EQ(g.apertures[1].contours.size(), 2u);
    EXPECT_FALSE(g.apertures[1].contours[0].clear);
    EXPECT_TRUE(g.apertures[1].contours[1].clear);
    EXPECT_TRUE(g.apertures[1].function.isEmpty()); // TD ended the attribute
    // A rectangle's corners, half its diagonal away.
    ASSERT_EQ(g.apertures[2].contours.size(), 1u);
    EXPECT_EQ(g.apertures[2].contours[0].points,
        (std::vector<ImagePoint> {
            {-1000000, -500000}, {1000000, -500000}, {1000000, 500000}, {-1000000, 500000}}));
    EXPECT_EQ(g.apertures[2].reach, 1118034); // hypot(1, 0.5) mm
    EXPECT_EQ(g.apertures[2].strokeWidth, 1000000);
    EXPECT_EQ(g.apertures[3].reach, 1500000); // the obround's round end, 1.5 mm up
    // The hexagon's first vertex at 30 degrees.
    ASSERT_EQ(g.apertures[4].contours[0].points.size(), 6u);
    EXPECT_EQ(g.apertures[4].contours[0].points[0], (ImagePoint {866025, 500000}));
    ASSERT_TRUE(g.box.has_value());
    EXPECT_EQ(g.box->left, 700000);
    EXPECT_EQ(g.box->right, 6000000);
    EXPECT_EQ(g.box->bottom, -500000); // the obround reaches 1.5 mm below its flash
    EXPECT_EQ(g.box->top, 2500000);
}

TEST(GerberImage, DrawsArcsRegionsAndPolarityInTheOrderWritten)
{
    const GerberImage g = image(kHead
        + "%TF.FileFunction,Copper,L1,Top*%\n%ADD10C,0.2*%\n"
          "D10*\nX0Y0D02*\nG01*\nX10000000Y0D01*\n"
          // A full circle of radius 5 in multi-quadrant mode.
          "G75*\nG03*\nX10000000Y0I-5000000J0D01*\nG01*\n"
          // A region of two contours, then a clear square over it.
          "G36*\nX0Y0D02*\nX4000000Y0D01*\nX4000000Y4000000D01*\nX0Y0D01*\n"
          "X6000000Y0D02*\nX8000000Y0D01*\nX8000000Y2000000D01*\nX6000000Y0D01*\nG37*\n"
          "%LPC*%\nG36*\nX1000000Y1000000D02*\nX2000000Y1000000D01*\nX2000000Y2000000D01*\n"
          "X1000000Y2000000D01*\nX1000000Y1000000D01*\nG37*\n%LPD*%\nM02*\n");
    EXPECT_EQ(g.fileFunction, QStringLiteral("Copper,L1,Top"));
    EXPECT_EQ(g.skippedLines, 0);
    ASSERT_GE(g.objects.size(), 6u);
    EXPECT_EQ(g.objects[0].kind, ImageObject::Kind::Line);
    EXPECT_EQ(g.objects[0].x2, 10000000);
    // The circle in chords within 5 micrometres, ending where it began.
    size_t lines = 0;
    for (const ImageObject& o : g.objects)
        lines += o.kind == ImageObject::Kind::Line;
    const size_t chords = lines - 1;
    EXPECT_GT(chords, 60u);
    EXPECT_LT(chords, 1024u);
    const ImageObject& lastChord = g.objects[lines - 1];
    EXPECT_EQ(lastChord.x2, 10000000);
    EXPECT_EQ(lastChord.y2, 0);
    // Three regions: the triangle and the small triangle dark, the square clear.
    std::vector<const ImageObject*> regions;
    for (const ImageObject& o : g.objects)
        if (o.kind == ImageObject::Kind::Region)
            regions.push_back(&o);
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_FALSE(regions[0]->clear);
    EXPECT_EQ(regions[0]->count, 4u);
    EXPECT_EQ(regions[1]->x1, 6000000);
    EXPECT_TRUE(regions[2]->clear);
    EXPECT_EQ(regions[2]->y2, 2000000);
    EXPECT_EQ(g.points.size(), 13u);
    // The circle reaches 5 mm up and 0.1 mm more for the aperture (its chords within 5 um).
    EXPECT_NEAR(g.box->top, 5100000, 5000);
    EXPECT_LE(g.box->top, 5100000);
}

TEST(GerberImage, MacrosLayTheirPartsAndTakeOutThoseOfExposureOff)
{
    const GerberImage g = image(kHead
        + "%AMDONUT*1,1,$1,0,0*1,0,$2,0,0*%\n"
          "%AMTHERMAL*7,0,0,2.0,1.4,0.2,0*%\n"
          "%AMROUNDRECT*21,1,$1,$2,0,0,0*1,1,0.5,$3,0*%\n"
          "%AMOUTLINE*4,1,3,0,0,1,0,1,1,0,0,90*%\n"
          "%ADD10DONUT,1.0X0.5*%\n%ADD11THERMAL*%\n%ADD12ROUNDRECT,2X1X0.75*%\n%ADD13OUTLINE*%\n"
          "%ADD14NOSUCHMACRO,1*%\n"
          "D10*\nX0Y0D03*\nD11*\nX0Y0D03*\nD12*\nX0Y0D03*\nD13*\nX0Y0D03*\nM02*\n");
    ASSERT_EQ(g.apertures.size(), 4u); // a macro never defined makes no aperture
    EXPECT_EQ(g.skippedLines, 1);
    EXPECT_EQ(g.firstSkippedLine, 11);
    const auto& donut = g.apertures[0];
    EXPECT_EQ(donut.shape, ImageAperture::Shape::Macro);
    EXPECT_EQ(donut.macro, QByteArray("DONUT"));
    ASSERT_EQ(donut.contours.size(), 2u);
    EXPECT_TRUE(donut.contours[1].clear);
    EXPECT_EQ(donut.reach, 500000);
    // The thermal: the ring, its inside and the two gaps taken out.
    ASSERT_EQ(g.apertures[1].contours.size(), 4u);
    EXPECT_FALSE(g.apertures[1].contours[0].clear);
    EXPECT_TRUE(g.apertures[1].contours[3].clear);
    EXPECT_EQ(g.apertures[1].reach, 1000000);
    // A rectangle and a circle laid on it; the circle centre at (0.75, 0).
    EXPECT_EQ(g.apertures[2].contours.size(), 2u);
    EXPECT_EQ(g.apertures[2].reach, 1118034);
    // The outline turned by 90 degrees: (1, 0) comes to (0, 1), (1, 1) to (-1, 1).
    const auto& outline = g.apertures[3].contours.at(0).points;
    ASSERT_EQ(outline.size(), 4u);
    EXPECT_EQ(outline[1], (ImagePoint {0, 1000000}));
    EXPECT_EQ(outline[2], (ImagePoint {-1000000, 1000000}));
}

TEST(GerberImage, StepAndRepeatBlocksAndTransformsRepeatWhatTheyHold)
{
    const GerberImage g = image(kHead
        + "%ADD10C,0.5*%\n%ADD11R,1X0.5*%\n"
          // Three by two copies, 10 mm and 5 mm apart, of a flash and a region.
          "%SRX3Y2I10J5*%\nD10*\nX0Y0D03*\nG36*\nX1000000Y0D02*\nX2000000Y0D01*\nX2000000Y1000000D01*\n"
          "X1000000Y0D01*\nG37*\n%SR*%\n"
          // A block of two flashes, flashed twice, once clear.
          "%ABD20*%\nD10*\nX0Y0D03*\nX1000000Y0D03*\n%AB*%\nD20*\nX50000000Y0D03*\n%LPC*%\nX60000000Y0D03*\n"
          "%LPD*%\n"
          // The rectangle turned by 90 degrees and mirrored in X.
          "%LMX*%\n%LR90*%\nD11*\nX70000000Y0D03*\nM02*\n");
    EXPECT_EQ(g.skippedLines, 0);
    ASSERT_EQ(g.objects.size(), 12u + 4u + 1u);
    // The copies in rows: the last one of the repeat 20 mm right and 5 mm up.
    EXPECT_EQ(g.objects[10].kind, ImageObject::Kind::Flash);
    EXPECT_EQ(g.objects[10].x1, 20000000);
    EXPECT_EQ(g.objects[10].y1, 5000000);
    const ImageObject& lastRegion = g.objects[11];
    ASSERT_EQ(lastRegion.kind, ImageObject::Kind::Region);
    EXPECT_EQ(g.points.at(lastRegion.first), (ImagePoint {21000000, 5000000}));
    EXPECT_EQ(g.points.size(), 6u * 4u);
    // The block's flashes at its two places; the clear one's turned.
    EXPECT_EQ(g.objects[12].x1, 50000000);
    EXPECT_EQ(g.objects[13].x1, 51000000);
    EXPECT_FALSE(g.objects[13].clear);
    EXPECT_TRUE(g.objects[14].clear);
    EXPECT_TRUE(g.objects[15].clear);
    // The turned rectangle is an aperture of its own, half a millimetre wide and 1 mm high.
    const ImageAperture& turned = g.apertures.at(size_t(g.objects[16].aperture));
    ASSERT_EQ(turned.contours.size(), 1u);
    for (const ImagePoint& p : turned.contours[0].points) {
        EXPECT_LE(std::abs(p.x), 250001);
        EXPECT_LE(std::abs(p.y), 500001);
    }
    EXPECT_EQ(g.apertures.size(), 3u + 1u); // D10, D11, the block D20 and D11 turned
}

TEST(GerberImage, InchIncrementalAndQuadrantArcs)
{
    const GerberImage g = image("%FSLIX24Y24*%\n%MOIN*%\n%ADD10C,0.01*%\nD10*\nX0Y0D02*\nG01X10000D01*\n"
                                "G74*\nG02X10000Y-10000I0J10000D01*\nM02*\n");
    EXPECT_EQ(g.skippedLines, 0);
    ASSERT_GE(g.objects.size(), 3u);
    EXPECT_EQ(g.objects[0].x2, 25400000); // 1 inch
    EXPECT_EQ(g.apertures[0].strokeWidth, 254000);
    // A quarter circle clockwise about (1, 0) inch, from (1, 0) ... its end 1 inch down and right.
    const ImageObject& last = g.objects.back();
    EXPECT_EQ(last.x2, 50800000);
    EXPECT_EQ(last.y2, -25400000);
}

TEST(GerberImage, DamagedAndOverLargeFilesEndClearly)
{
    // A repeat of more copies than a layer may hold ends the read where it stands; what was
    // read before it stays.
    GerberImage g =
        image(kHead + "%ADD10C,0.5*%\nD10*\nX0Y0D03*\n%SRX5000Y5000I1J1*%\nX0Y0D03*\n%SR*%\nM02*\n");
    EXPECT_EQ(g.stoppedAtLine, 6);
    EXPECT_EQ(g.objects.size(), 1u);
    // 2,000 by 2,000 copies of two flashes: 8,000,000 objects, refused when the repeat closes.
    g = image(kHead + "%ADD10C,0.5*%\nD10*\n%SRX2000Y2000I1J1*%\nX0Y0D03*\nX1Y0D03*\n%SR*%\nM02*\n");
    EXPECT_EQ(g.stoppedAtLine, 8);
    EXPECT_TRUE(g.objects.empty());
    // Words the format has no meaning for are skipped lines, never objects.
    g = image(kHead + "%ADD10C,0.5*%\nD10*\nX0Y0D07*\nQ5*\nX1Y1D03*\nD99*\nX2Y2D03*\nM02*\n");
    EXPECT_EQ(g.objects.size(), 1u); // D99 was never defined: its flash is no object
    EXPECT_EQ(g.skippedLines, 4);
    EXPECT_EQ(g.firstSkippedLine, 5);
    // Nothing of a picture or a binary file.
    g = image(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    EXPECT_EQ(g.error, QStringLiteral("layer.gbrは穴データのファイルではないため、読み込めません。"));
    EXPECT_TRUE(g.objects.empty());
    // A file that is not there.
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("none.gbr"));
    EXPECT_EQ(readGerberImage(missing).error, missing + QStringLiteral("を開けませんでした。"));
}
