#include "common/cp932.h"

#include <gtest/gtest.h>

using namespace kivotrek;

TEST(Cp932, ToleranceSignsAndKindRoundTrip)
{
    EXPECT_EQ(cp932::encode(QStringLiteral("±")), QByteArray("\x81\x7D"));
    EXPECT_EQ(cp932::encode(QStringLiteral("－")), QByteArray("\x81\x7C")); // U+FF0D
    EXPECT_EQ(cp932::encode(QStringLiteral("＋")), QByteArray("\x81\x7B"));
    EXPECT_EQ(cp932::encode(QStringLiteral("外形"))->size(), 4);
    EXPECT_EQ(cp932::decode("\x81\x7C"), QString(QChar(0xFF0D)));
    EXPECT_EQ(cp932::decode("\x81\x7D\x81\x7B"), QStringLiteral("±＋"));
    EXPECT_EQ(cp932::decode("D10"), QStringLiteral("D10"));
}

TEST(Cp932, UnencodableTextIsRefused)
{
    EXPECT_FALSE(cp932::encode(QStringLiteral("€")));
    EXPECT_FALSE(cp932::encode(QStringLiteral("D10 😀")));
    EXPECT_EQ(cp932::encode(QString()), QByteArray());
}
