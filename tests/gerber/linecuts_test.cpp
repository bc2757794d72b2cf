#include "gerber/linecuts.h"

#include <gtest/gtest.h>

using namespace kivotrek;

TEST(DCodeCut, FromFirstDToFirstStar)
{
    EXPECT_EQ(cutDCode("G54D10*"), QByteArrayView("D10"));
    EXPECT_EQ(cutDCode("G54D010*"), QByteArrayView("D010"));
    EXPECT_EQ(cutDCode("G54D10*\r"), QByteArrayView("D10"));
    EXPECT_FALSE(cutDCode("G54*")); // no D
    EXPECT_FALSE(cutDCode("G54D10")); // no star
    EXPECT_FALSE(cutDCode("*G54D10")); // star before D
    EXPECT_EQ(cutDCode("G54D*"), QByteArrayView("D"));
}

namespace {
struct Case {
    const char* line;
    bool ok;
    int32_t x, y;
};
} // namespace

TEST(CoordinateCut, TheSixCases)
{
    const Case cases[] = {
        {"X1250Y-300D03*", true, 1250, -300}, // X to Y, Y to D
        {"X1250Y-300*", true, 1250, -300}, // X to Y, Y to *
        {"Y500D02*", true, 7, 500}, // X unchanged, Y to D
        {"Y500*", true, 7, 500}, // X unchanged, Y to *
        {"X700D01*", true, 700, 9}, // X to D, Y unchanged
        {"X700*", true, 700, 9}, // X to *, Y unchanged
        {"G01*", true, 7, 9}, // neither: nothing changes
        {"%FSLAX24Y24*%", true, 24, 24}, // a format statement is a coordinate line too
        {"X001250Y0045D03*\r", true, 1250, 45}, {"X12.5Y3.9*", true, 12, 3},
        {"X100", false, 0, 0}, // X with no Y, D or star
        {"Y100", false, 0, 0}, {"D03X100*", false, 0, 0}, // X runs to the D before it
        {"Y5X6*", false, 0, 0}, // X runs to the Y before it
        {"XY5*", false, 0, 0}, // empty X
        {"X1Y2Z*", false, 0, 0}, // not a number
        {"X99999999999Y0*", false, 0, 0}, // beyond 32 bits
    };
    for (const Case& c : cases) {
        FilePosition pos {7, 9};
        EXPECT_EQ(cutCoordinatesStrict(c.line, pos), c.ok) << c.line;
        if (c.ok) {
            EXPECT_EQ(pos.x, c.x) << c.line;
            EXPECT_EQ(pos.y, c.y) << c.line;
        }
    }
}

TEST(CoordinateCut, StrictTakesXBeforeYFails)
{
    FilePosition pos {7, 9};
    EXPECT_FALSE(cutCoordinatesStrict("X100YabcD03*", pos));
    EXPECT_EQ(pos.x, 100);
    EXPECT_EQ(pos.y, 9);
}

TEST(CoordinateCut, LenientKeepsTheValueThatFails)
{
    FilePosition pos {7, 9};
    cutCoordinatesLenient("XabcY300D03*", pos);
    EXPECT_EQ(pos.x, 7);
    EXPECT_EQ(pos.y, 300);
    cutCoordinatesLenient("%ADD11R,1.000X0.500*%", pos); // X runs to the D before it
    EXPECT_EQ(pos.x, 7);
    cutCoordinatesLenient("X100Y", pos); // Y has no end marker
    EXPECT_EQ(pos.x, 100);
    EXPECT_EQ(pos.y, 300);
}

TEST(LineMarks, FindsTheSameFirstPositionsAsASearch)
{
    // Lines of every length around the 16-byte steps, with markers, digits and high bytes.
    const QByteArray alphabet =
        QByteArray("XYDGJ*%0123456789-+.,ABC\r ") + char(0x81) + char(0xFF) + char(0x40) + char(0x3F);
    uint32_t seed = 7;
    for (int round = 0; round < 5000; ++round) {
        seed = seed * 1103515245u + 12345u;
        const int length = int(seed >> 16) % 70;
        QByteArray line;
        for (int i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            line += alphabet.at(int(seed >> 16) % alphabet.size());
        }
        const LineMarks marks(line);
        for (char c : {'J', 'X', 'Y', 'D', 'G', '*', '%', 'A', '0'})
            ASSERT_EQ(marks.first(c), line.indexOf(c)) << line.toStdString() << " " << c;
        for (const char* m : {"G54", "D01", "D03", "%SR", "%FSLA", "%ADD"})
            ASSERT_EQ(marks.contains(m), line.contains(m)) << line.toStdString() << " " << m;
    }
}
