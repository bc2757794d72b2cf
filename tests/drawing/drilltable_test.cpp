#include "drawing/drilltable.h"

#include <gtest/gtest.h>

using namespace kivotrek;

TEST(DrillTableCsv, TextsThatLookLikeFormulasAreWrittenAsText)
{
    // From a settings file or an aperture definition: nothing a spreadsheet would run.
    HoleTable table;
    HoleRow& a = table.row(0);
    a.dcode = QStringLiteral("D10");
    a.diameter = QStringLiteral("=1+1");
    a.sign1 = QStringLiteral("+");
    a.tol1 = QStringLiteral("0.1");
    a.sign2 = QStringLiteral("-");
    a.tol2 = QStringLiteral("0.05");
    a.kind = HoleKind::named(QStringLiteral("@SUM(A1)"));
    HoleRow& b = table.row(1);
    b.dcode = QStringLiteral("\tD11");
    b.diameter = QStringLiteral("\r=2,3"); // a CR and a comma: the apostrophe, then the quotes
    b.sign1 = QStringLiteral("＋"); // the lists' own signs are full width: no formula
    b.tol1 = QStringLiteral("0.1");
    b.kind = HoleKind::Plated;
    HoleCounts counts;
    counts[0] = {12, 3};
    counts[1] = {5, 0};
    Board board;
    board.files.push_back({QStringLiteral("/boards/a/board-PTH.drl"), ReaderKind::Excellon, 0, 1});
    const QByteArray csv = drillTableCsv(table, counts, board);
    // The first row names its file; the second belongs to none.
    const QByteArray expected = "\xEF\xBB\xBF"
        + QStringLiteral("行,Dコード,ファイル,穴径,公差1,公差2,TH/NTH,穴数,長穴数\r\n").toUtf8()
        + "1,D10,board-PTH.drl,'=1+1,'+0.1,'-0.05,'@SUM(A1),12,3\r\n" + "2,'\tD11,,\"'\r=2,3\","
        + QStringLiteral("＋0.1").toUtf8() + ",,TH,5,0\r\n" + QStringLiteral("合計,,,,,,,17,3\r\n").toUtf8();
    EXPECT_EQ(csv, expected);
    EXPECT_EQ(csvField(QStringLiteral("0.80")), QByteArray("0.80"));
    EXPECT_EQ(csvField(QString()), QByteArray());
}
