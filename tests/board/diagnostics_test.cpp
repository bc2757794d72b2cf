// What the readers and the board tell the user, with its weight, file and line: a read that
// fails is an error, a read that goes on past something worth a look a warning, a note on how a
// file was read information.

#include "board/board.h"
#include "testutil.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
struct Read {
    Board board;
    HoleTable table;
    BoardExtent extent;
    test::Diagnostics said;
};
} // namespace

TEST(Diagnostics, GerberReadsSayTheirErrorsAndWarningsWithFileAndLine)
{
    {
        Read r;
        const QString path = test::dataPath("job_comment.gbr");
        readBoardFile(r.board, ReaderKind::Standard, path, r.table, r.extent, r.said.sink());
        EXPECT_EQ(r.said.said,
            QStringList({QStringLiteral("error ") + path
                + QStringLiteral(":3 ステップ＆リピート及び、円弧（ＩＪ）は使用できません。")}));
    }
    {
        Read r;
        const QString path = test::dataPath("negative.gbr");
        readBoardFile(r.board, ReaderKind::Standard, path, r.table, r.extent, r.said.sink());
        EXPECT_EQ(r.said.said,
            QStringList({QStringLiteral("error ") + path
                + QStringLiteral(" ガーバデータ内に－(マイナス）が在ります。このデータは使用できません")}));
    }
    {
        // A 64th hole kind ends the read at its line: a limit, what came before stays.
        test::Scratch dir;
        QByteArray kinds;
        for (int d = 10; d < 74; ++d)
            kinds += "G54D" + QByteArray::number(d) + "*\nX1000Y1000D03*\n";
        const QString path = dir.write(QStringLiteral("many.gbr"), kinds + "M02*\n");
        Read r;
        readBoardFile(r.board, ReaderKind::Standard, path, r.table, r.extent, r.said.sink());
        EXPECT_EQ(r.said.said,
            QStringList({QStringLiteral("warning ") + path
                + QStringLiteral(":127 穴種が63を超えたため、127行目で読み込みを中止しました。")}));
    }
    {
        Read r;
        const QString path = test::dataPath("no-such-file.gbr");
        readBoardFile(r.board, ReaderKind::Rs274x, path, r.table, r.extent, r.said.sink());
        EXPECT_EQ(r.said.said,
            QStringList({QStringLiteral("error ") + path + QLatin1Char(' ') + path
                + QStringLiteral("を開けませんでした。") + test::reason(ENOENT)}));
    }
}

TEST(Diagnostics, DrillReadsSayWhatWentWrongAndHowTheyReadTheFile)
{
    test::Scratch dir;
    // A line no rule reads, numbers of no stated format: a warning at the line, then a note.
    const QString drill =
        dir.write(QStringLiteral("board.drl"), "M48\nINCH\nT1C0.035\n%\nT1\nX01000Y01000\nQQQ\nM30\n");
    Read r;
    readBoardFile(r.board, ReaderKind::Excellon, drill, r.table, r.extent, r.said.sink());
    EXPECT_EQ(r.said.said,
        QStringList({QStringLiteral("warning ") + drill
                + QStringLiteral(":7 読み込めない行が1行あったため、読み飛ばしました（最初は7行目）。"),
            QStringLiteral("information ") + drill
                + QStringLiteral(" 書式の指定がないため、INCH 2.4（末尾ゼロ）とみなして読みました。")}));

    // A file that cannot be opened is an error of that file; the board stays as it was.
    r.said.said.clear();
    const QString gone = dir.path(QStringLiteral("gone.drl"));
    addBoardFile(r.board, ReaderKind::Excellon, gone, r.table, r.extent, r.said.sink());
    EXPECT_EQ(r.said.said,
        QStringList({QStringLiteral("error ") + gone + QLatin1Char(' ') + gone
            + QStringLiteral("を開けませんでした。") + test::reason(ENOENT)}));
    EXPECT_EQ(r.board.files.size(), 1u);

    // Holes outside the outline (far from any format's reading): a warning of the outline file.
    r.said.said.clear();
    const QString outline = dir.write(QStringLiteral("board-Edge_Cuts.gbr"),
        "%FSLAX46Y46*%\n%MOMM*%\n%TF.FileFunction,Profile,NP*%\n%ADD10C,0.100*%\nD10*\n"
        "X500000000Y500000000D02*\nX505000000Y500000000D01*\nX505000000Y505000000D01*\n"
        "X500000000Y505000000D01*\nX500000000Y500000000D01*\nM02*\n");
    readBoardOutline(r.board, outline, r.table, r.extent, r.said.sink());
    ASSERT_EQ(r.said.said.size(), 1) << r.said.said.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(r.said.said[0].startsWith(QStringLiteral("warning ") + outline + QLatin1Char(' ')))
        << r.said.said[0].toStdString();
}

TEST(Diagnostics, AFileReadAgainIsInformationAndTheDCodesItDroppedAWarning)
{
    test::Scratch dir;
    const QString path = dir.write(
        QStringLiteral("b.drl"), "M48\nMETRIC\nT1C0.8\nT2C1.0\n%\nT1\nX1.0Y1.0\nT2\nX2.0Y2.0\nM30\n");
    Read r;
    readBoardFile(r.board, ReaderKind::Excellon, path, r.table, r.extent, {});
    ASSERT_TRUE(QFile::remove(path));
    dir.write(QStringLiteral("b.drl"), "M48\nMETRIC\nT2C1.0\n%\nT2\nX2.0Y2.0\nX3.0Y3.0\nM30\n");
    ASSERT_EQ(refreshBoard(r.board, r.table, r.extent, r.said.sink()), 1);
    EXPECT_EQ(r.said.said,
        QStringList({QStringLiteral("information ") + path + QLatin1Char(' ') + path
                + QStringLiteral("は読み込んだ後に変更されていたため、読み直しました。"),
            QStringLiteral("warning ") + path + QLatin1Char(' ') + path
                + QStringLiteral("を読み直すと、T1がなくなっていました。その行は表から外しました。")}));

    // Gone since: the board keeps what it had, and says so as a warning.
    r.said.said.clear();
    ASSERT_TRUE(QFile::remove(path));
    refreshBoard(r.board, r.table, r.extent, r.said.sink());
    EXPECT_EQ(r.said.said,
        QStringList({QStringLiteral("warning ") + path + QLatin1Char(' ') + path
            + QStringLiteral("は読み込んだ後に読めなくなりました。読み込んだときの内容のまま表示します。")}));
}

TEST(Diagnostics, TheTableCheckSaysEachRowItCannotDrawAsAnError)
{
    HoleTable table;
    table.row(0).dcode = QStringLiteral("D10");
    table.row(1).dcode = QStringLiteral("D11");
    table.row(1).diameter = QStringLiteral("abc");
    test::Diagnostics said;
    EXPECT_FALSE(table.check(said.sink()));
    EXPECT_EQ(said.said,
        QStringList({QStringLiteral("error  D10の穴径が未入力です。"),
            QStringLiteral("error  行2（D11）の穴径「abc」を数値として読めません。")}));
}
