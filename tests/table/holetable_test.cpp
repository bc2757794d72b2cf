#include "table/holetable.h"
#include "testutil.h"

#include <gtest/gtest.h>

using namespace kivotrek;

TEST(HoleTable, StartsWithFreeRowsAndPageColours)
{
    HoleTable t;
    for (int i = 0; i < HoleTable::kRows; ++i) {
        EXPECT_EQ(t.row(i).dcode, QStringLiteral("D"));
        EXPECT_FALSE(t.row(i).isUsed());
        EXPECT_TRUE(
            t.row(i).diameter.isEmpty() && t.row(i).sign1.isEmpty() && t.row(i).kind == HoleKind::None);
    }
    EXPECT_EQ(t.row(0).color, fillColor(0, 0, 0));
    EXPECT_EQ(t.row(1).color, 0x0000FFu); // red in the low byte
    EXPECT_EQ(t.row(3).color, fillColor(64, 0, 0)); // page 1 differs at k = 3
    EXPECT_EQ(t.row(24).color, fillColor(255, 255, 0));
    EXPECT_EQ(t.row(45).color, fillColor(255, 255, 0));
    EXPECT_EQ(t.row(20).color, fillColor(0, 0, 64));
    EXPECT_EQ(t.row(41).color, fillColor(0, 0, 64));
    EXPECT_EQ(t.row(55).color, fillColor(255, 128, 0)); // k = 13
}

TEST(HoleTable, ChoiceLists)
{
    EXPECT_EQ(HoleTable::signChoices(),
        QStringList({QStringLiteral("±"), QStringLiteral("－"), QStringLiteral("＋")}));
    EXPECT_EQ(HoleTable::signChoices()[1].at(0).unicode(), 0xFF0D);
    const QStringList nine = HoleTable::valueChoices(41);
    ASSERT_EQ(nine.size(), 9);
    EXPECT_EQ(nine.join(QLatin1Char(' ')), QStringLiteral("0.1 0.05 0.01 0.02 0.03 0.04 0.07 0.08 0"));
    EXPECT_EQ(HoleTable::valueChoices(0), nine);
    EXPECT_EQ(HoleTable::valueChoices(42), nine.mid(0, 8));
    EXPECT_EQ(HoleTable::valueChoices(62).size(), 8);
    EXPECT_EQ(HoleTable::kindChoices(),
        QStringList({QStringLiteral("TH"), QStringLiteral("NTH"), QStringLiteral("外形")}));
}

TEST(HoleTable, EachKindHasANameOfItsOwnAndACaptionOnlyShown)
{
    // Names and captions, one from the other both ways.
    const struct {
        HoleKind::Value kind;
        const char* name;
    } kinds[] = {{HoleKind::None, ""}, {HoleKind::Plated, "TH"}, {HoleKind::NonPlated, "NTH"},
        {HoleKind::Outline, "外形"}};
    for (const auto& k : kinds) {
        const HoleKind kind(k.kind);
        EXPECT_EQ(kind.name(), QString::fromUtf8(k.name));
        EXPECT_EQ(HoleKind::named(kind.name()), kind) << k.name;
        EXPECT_EQ(HoleKind::captioned(kind.caption()), kind) << k.name;
        EXPECT_NE(kind, HoleKind::Typed);
    }
    // The table's list: the three kinds' captions, in order.
    QList<HoleKind> listed;
    for (const QString& caption : HoleTable::kindChoices())
        listed << HoleKind::captioned(caption);
    EXPECT_EQ(listed, QList<HoleKind>({HoleKind::Plated, HoleKind::NonPlated, HoleKind::Outline}));

    // Anything else is kept as typed, to the letter: no kind of its own.
    const HoleKind lower = HoleKind::named(QStringLiteral("th"));
    EXPECT_EQ(lower, HoleKind::Typed);
    EXPECT_EQ(lower.name() + lower.caption(), QStringLiteral("thth"));
    EXPECT_EQ(HoleKind::captioned(QStringLiteral("外形 ")).name(), QStringLiteral("外形 "));
    EXPECT_NE(HoleKind::named(QStringLiteral("VIA")), HoleKind::named(QStringLiteral("via")));
}

TEST(HoleTable, DataClearKeepsTolerancesKindsAndColours)
{
    HoleTable t;
    HoleRow& r = t.row(7);
    r = {QStringLiteral("D17"), QStringLiteral("0.8"), QStringLiteral("±"), QStringLiteral("0.1"),
        QStringLiteral("－"), QStringLiteral("0.05"), HoleKind::NonPlated, 0x123456u};
    t.clear();
    EXPECT_EQ(r.dcode, QStringLiteral("D"));
    EXPECT_TRUE(r.diameter.isEmpty());
    EXPECT_EQ(r.sign1 + r.tol1 + r.sign2 + r.tol2 + r.kind.name(), QStringLiteral("±0.1－0.05NTH"));
    EXPECT_EQ(r.color, 0x123456u);
}

TEST(HoleTable, CheckNamesEveryUsedRowWithoutDiameterInOrder)
{
    HoleTable t;
    test::Messages m;
    EXPECT_TRUE(t.check(m.sink()));
    t.row(0).dcode = QStringLiteral("D12");
    t.row(1).dcode = QStringLiteral("D10");
    t.row(1).diameter = QStringLiteral(" 0.8"); // blanks before the number
    t.row(2).dcode = QString(); // a cleared D-code is a free row
    t.row(5).dcode = QStringLiteral("D11");
    t.row(62).dcode = QStringLiteral("D99");
    EXPECT_FALSE(t.check(m.sink()));
    EXPECT_EQ(m.texts,
        QStringList({QStringLiteral("D12の穴径が未入力です。"), QStringLiteral("D11の穴径が未入力です。"),
            QStringLiteral("D99の穴径が未入力です。")}));
}

TEST(HoleTable, CheckNamesEveryDiameterThatIsNoNumber)
{
    // The drawing takes the number at the start of a diameter: text, a decimal comma or a blank
    // would reach the legend as it is and draw the smallest hole.
    HoleTable t;
    const char* diameters[] = {
        "abc", "0,2", "0.8", "1.5*%", "", " ", "０.８", "0．8", "1e-1", "-0.1", "0，2"};
    for (int i = 0; i < 11; ++i) {
        t.row(i).dcode = QStringLiteral("T%1").arg(i + 1);
        t.row(i).diameter = QString::fromUtf8(diameters[i]);
    }
    test::Messages m;
    EXPECT_FALSE(t.check(m.sink()));
    EXPECT_EQ(m.texts,
        QStringList({QStringLiteral("行1（T1）の穴径「abc」を数値として読めません。"),
            QStringLiteral("行2（T2）の穴径「0,2」を数値として読めません。"),
            QStringLiteral("T5の穴径が未入力です。"),
            QStringLiteral("行6（T6）の穴径「 」を数値として読めません。"),
            QStringLiteral("行7（T7）の穴径「０.８」を数値として読めません。"),
            QStringLiteral("行11（T11）の穴径「0，2」を数値として読めません。")}));
    // Printing asks for no diameter, but still refuses those that are no numbers.
    test::Messages printing;
    EXPECT_FALSE(t.checkNumbers(printing.sink()));
    EXPECT_EQ(printing.texts.size(), 5);
    t.row(0).diameter = QStringLiteral("0.8");
    for (const int i : {1, 5, 6, 10})
        t.row(i).dcode = QStringLiteral("D");
    EXPECT_TRUE(t.checkNumbers({}));
    EXPECT_FALSE(t.check({})); // T5 still has none
}

TEST(HoleTable, RowsWithDiameterStopsAtFirstEmpty)
{
    HoleTable t;
    EXPECT_EQ(t.rowsWithDiameter(), 0);
    for (int i = 0; i < 4; ++i)
        t.row(i).diameter = QStringLiteral("1");
    t.row(9).diameter = QStringLiteral("1");
    EXPECT_EQ(t.rowsWithDiameter(), 4);
    for (int i = 0; i < HoleTable::kRows; ++i)
        t.row(i).diameter = QStringLiteral("1");
    EXPECT_EQ(t.rowsWithDiameter(), 63);
}

TEST(DCodeFiller, FillsRowsInOrderOfFirstNaming)
{
    HoleTable t;
    DCodeFiller f(t);
    EXPECT_EQ(f.add(QStringLiteral("D10")), DCodeFiller::Result::Added);
    EXPECT_EQ(f.add(QStringLiteral("D11")), DCodeFiller::Result::Added);
    EXPECT_EQ(f.add(QStringLiteral("D10")), DCodeFiller::Result::Present);
    EXPECT_EQ(f.add(QStringLiteral("D12")), DCodeFiller::Result::Added);
    EXPECT_EQ(f.add(QStringLiteral("D")), DCodeFiller::Result::Present); // the free row holds "D"
    EXPECT_EQ(f.add(QStringLiteral("D010")), DCodeFiller::Result::Added); // not D10
    EXPECT_EQ(f.add(QStringLiteral("d11")), DCodeFiller::Result::Added); // case-sensitive
    EXPECT_EQ(t.row(0).dcode + t.row(1).dcode + t.row(2).dcode, QStringLiteral("D10D11D12"));
    EXPECT_EQ(t.row(5).dcode, QStringLiteral("D"));
}

TEST(DCodeFiller, SixtyThirdGoesToRow62AndSixtyFourthFindsNoRow)
{
    HoleTable t;
    DCodeFiller f(t);
    const QString diameter = QStringLiteral("0.80");
    for (int i = 0; i < 63; ++i)
        ASSERT_EQ(f.add(QStringLiteral("D%1").arg(10 + i), &diameter), DCodeFiller::Result::Added);
    EXPECT_EQ(t.row(62).dcode, QStringLiteral("D72"));
    EXPECT_EQ(t.row(62).diameter, diameter);
    EXPECT_EQ(f.add(QStringLiteral("D72")), DCodeFiller::Result::Present);
    EXPECT_EQ(f.add(QStringLiteral("D73")), DCodeFiller::Result::Full);
    EXPECT_EQ(f.add(QStringLiteral("D")), DCodeFiller::Result::Full); // no free row left to match
}

TEST(HoleTable, TypedSignsBecomeTheListsSigns)
{
    EXPECT_EQ(HoleTable::listSign(QStringLiteral("-")), QStringLiteral("－"));
    EXPECT_EQ(HoleTable::listSign(QString(QChar(0x2212))), QStringLiteral("－"));
    EXPECT_EQ(HoleTable::listSign(QString(QChar(0x2010))), QStringLiteral("－"));
    EXPECT_EQ(HoleTable::listSign(QStringLiteral("+")), QStringLiteral("＋"));
    for (const QString& kept : HoleTable::signChoices())
        EXPECT_EQ(HoleTable::listSign(kept), kept);
    EXPECT_EQ(HoleTable::listSign(QString()), QString());
}

TEST(HoleTable, RemovedRowsTakeTheRowsAfterThemUp)
{
    HoleTable t;
    for (int i = 0; i < 5; ++i) {
        t.row(i).dcode = QStringLiteral("T%1").arg(i + 1);
        t.row(i).sign1 = QStringLiteral("±");
    }
    t.row(3).color = fillColor(1, 2, 3);
    t.removeRows(1, 2);
    EXPECT_EQ(t.row(0).dcode, QStringLiteral("T1"));
    EXPECT_EQ(t.row(1).dcode, QStringLiteral("T4"));
    EXPECT_EQ(t.row(1).color, fillColor(1, 2, 3)); // with all its values
    EXPECT_EQ(t.row(2).dcode, QStringLiteral("T5"));
    EXPECT_FALSE(t.row(3).isUsed());
    HoleRow freed;
    freed.color = HoleTable::initialColor(61);
    EXPECT_TRUE(t.row(61) == freed);
    EXPECT_EQ(t.row(62).color, HoleTable::initialColor(62));
    HoleTable same = t;
    same.removeRows(70, 3); // nothing past the table
    EXPECT_TRUE(same == t);
}
