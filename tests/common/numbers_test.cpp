#include "common/numbers.h"
#include "gerber/boardextent.h"

#include <gtest/gtest.h>
#include <limits>

using namespace kivotrek;

TEST(ParseDecimal, AcceptsTheDecimalGrammar)
{
    EXPECT_EQ(parseDecimal("1250"), 1250.0);
    EXPECT_EQ(parseDecimal("001250"), 1250.0);
    EXPECT_EQ(parseDecimal("  -300 "), -300.0);
    EXPECT_EQ(parseDecimal("+7"), 7.0);
    EXPECT_EQ(parseDecimal("12.5"), 12.5);
    EXPECT_EQ(parseDecimal(".5"), 0.5);
    EXPECT_EQ(parseDecimal("5."), 5.0);
    EXPECT_EQ(parseDecimal("1E3"), 1000.0);
    EXPECT_EQ(parseDecimal("2.5e-1"), 0.25);
    EXPECT_EQ(parseDecimal("1e+2"), 100.0);
}

TEST(ParseDecimal, RefusesEverythingElse)
{
    for (const char* bad : {"", " ", "-", "+", ".", "1.2.3", "12a", "0x10", "1e", "1e+", "--1", "1 2", "1,5",
             "inf", "nan", "1E400", "\r", "5\r", "1\t"})
        EXPECT_FALSE(parseDecimal(QByteArrayView(bad, qsizetype(strlen(bad))))) << bad;
}

TEST(ToFileUnits, RoundsDownTowardsMinusInfinity)
{
    EXPECT_EQ(toFileUnits("12.7"), 12);
    EXPECT_EQ(toFileUnits("-12.3"), -13);
    EXPECT_EQ(toFileUnits("-12"), -12);
    EXPECT_EQ(toFileUnits("2147483647"), 2147483647);
    EXPECT_EQ(toFileUnits("2147483647.9"), 2147483647);
    EXPECT_EQ(toFileUnits("-2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_FALSE(toFileUnits("2147483648"));
    EXPECT_FALSE(toFileUnits("-2147483648.5"));
}

TEST(ToFileUnits, TheWholeNumberShortcutAgreesWithTheRule)
{
    // The definition: parseDecimal, then floorToInt32.
    const auto rule = [](const QByteArray& t) -> std::optional<int32_t> {
        const auto v = parseDecimal(t);
        return v ? floorToInt32(*v) : std::nullopt;
    };
    EXPECT_EQ(toFileUnits("0"), 0);
    EXPECT_EQ(toFileUnits("12345678"), 12345678);
    EXPECT_EQ(toFileUnits("999999999"), 999999999);
    EXPECT_EQ(toFileUnits("-000000001"), -1);
    EXPECT_EQ(toFileUnits("+90817263"), 90817263);
    // Every byte in every place of numbers of one to nine digits, with and without a sign.
    for (const QByteArray& sign : {QByteArray(), QByteArray("-"), QByteArray("+")}) {
        for (int length = 1; length <= 9; ++length) {
            const QByteArray base = sign + QByteArray("908172635").left(length);
            for (int at = int(sign.size()); at < base.size(); ++at) {
                for (int byte = 0; byte < 256; ++byte) {
                    QByteArray t = base;
                    t[at] = char(byte);
                    ASSERT_EQ(toFileUnits(t), rule(t)) << t.toHex().constData();
                }
            }
        }
    }
    // Random texts of digits and the other characters of a number.
    uint32_t seed = 12345;
    const char alphabet[] = "0123456789012345678901234567890123456789+-. e:/";
    for (int k = 0; k < 200000; ++k) {
        seed = seed * 1103515245u + 12345u;
        QByteArray t;
        for (int n = int(seed >> 28); n > 0; --n) {
            seed = seed * 1103515245u + 12345u;
            t += alphabet[(seed >> 16) % (sizeof(alphabet) - 1)];
        }
        ASSERT_EQ(toFileUnits(t), rule(t)) << t.constData();
    }
}

TEST(RoundHalfEven, HalvesGoToEven)
{
    EXPECT_EQ(roundHalfEvenToInt32(283.5), 284);
    EXPECT_EQ(roundHalfEvenToInt32(282.5), 282);
    EXPECT_EQ(roundHalfEvenToInt32(-3.5), -4);
    EXPECT_EQ(roundHalfEvenToInt32(-2.5), -2);
    EXPECT_EQ(roundHalfEvenToInt32(2.4999), 2);
    EXPECT_FALSE(roundHalfEvenToInt32(2147483647.5));
    EXPECT_EQ(roundHalfEvenToInt16(6300.0f), 6300);
    EXPECT_EQ(roundHalfEvenToInt16(32767.4), 32767);
    EXPECT_FALSE(roundHalfEvenToInt16(32767.5));
    // The lower ends: a half that rounds to the even limit still fits.
    EXPECT_EQ(roundHalfEvenToInt32(-2147483648.5), std::numeric_limits<int32_t>::min());
    EXPECT_FALSE(roundHalfEvenToInt32(-2147483649.5));
    EXPECT_EQ(roundHalfEvenToInt16(-32768.5), -32768);
    EXPECT_FALSE(roundHalfEvenToInt16(-32769.5));
    EXPECT_FALSE(roundHalfEvenToInt32(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(roundHalfEvenToInt32(-std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(roundHalfEvenToInt16(std::numeric_limits<double>::quiet_NaN()));
}

TEST(ExtentConversion, UsesTheSinglePrecisionScale)
{
    // 0.0567 as a float is 0.056699998676776886: 5000 units give 283.4999934, not 283.5.
    BoardExtent e {5000, 100000, kStandardUnitScale};
    ExtentTracker t(e);
    t.convertToTwips();
    EXPECT_EQ(e.maxX, 283);
    EXPECT_EQ(e.maxY, 5670);
}

TEST(ExtentConversion, SaturatesInsteadOfLeavingFileUnits)
{
    BoardExtent e {2000000000, 10, 5.67f};
    ExtentTracker t(e);
    t.convertToTwips();
    EXPECT_EQ(e.maxX, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(e.maxY, 57);
}

TEST(LeadingNumber, NumberAtTheStart)
{
    EXPECT_EQ(leadingNumber(QStringLiteral("0.8")), 0.8);
    EXPECT_EQ(leadingNumber(QStringLiteral(" 1.25*")), 1.25);
    EXPECT_EQ(leadingNumber(QStringLiteral("-2mm")), -2.0);
    EXPECT_EQ(leadingNumber(QStringLiteral("1e1x")), 10.0);
    EXPECT_EQ(leadingNumber(QStringLiteral("3e")), 3.0);
    EXPECT_EQ(leadingNumber(QStringLiteral(".5")), 0.5);
    EXPECT_EQ(leadingNumber(QStringLiteral("")), 0.0);
    EXPECT_EQ(leadingNumber(QStringLiteral("φ0.8")), 0.0);
}
