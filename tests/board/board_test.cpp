// Boards of several files: rows per file, the frame, the outline, the warnings, and the drawing.

#include "board/board.h"
#include "drawing/boarddrawing.h"
#include "drawing/drilldrawing.h"
#include "drawing/gerberreplay.h"
#include "drawing/holecounts.h"
#include "drawing/pagelayout.h"
#include "drawing/previewlayout.h"
#include "drawing/recordingsurface.h"
#include "samedrawing.h"
#include "settings/settingsfile.h"
#include "testutil.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace kivotrek;
using Op = RecordingSurface::Op;

namespace {
QString example(const char* name)
{
    return QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/") + QString::fromUtf8(name);
}

struct ReadBoard {
    Board board;
    HoleTable table;
    BoardExtent extent;
    test::Messages said;

    // The first file read, the others added, then the outline, as the menu commands run them.
    ReadBoard(const QStringList& drills, const QString& outline = QString())
    {
        for (int i = 0; i < drills.size(); ++i) {
            const ReaderKind reader = addedFileReader(drills[i]);
            if (i == 0)
                readBoardFile(board, reader, drills[i], table, extent, said.sink());
            else
                addBoardFile(board, reader, drills[i], table, extent, said.sink());
        }
        if (!outline.isEmpty())
            readBoardOutline(board, outline, table, extent, said.sink());
    }
    std::vector<Op> draw() const
    {
        RecordingSurface surface(6855, 6300);
        const DrawResult r = drawPreview(board, table, extent, surface);
        EXPECT_EQ(r.ending, DrawResult::Ending::Complete)
            << drawingProblem(r, board.mainPath()).toStdString();
        return surface.ops;
    }
};

const QByteArray kOutline100x80 =
    "%TF.FileFunction,Profile,NP*%\n%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.1*%\nD10*\n"
    "X0Y0D02*\nG01*\nX100000000Y0D01*\nX100000000Y80000000D01*\nX0Y80000000D01*\n"
    "X0Y0D01*\nM02*\n";
} // namespace

namespace {
// The sample board's plated and non-plated drill files, written by one CAD program both ways.
struct DrillFiles {
    const char* name;
    const char* plated;
    const char* nonPlated;
    const char* firstTool; // each file's first tool, as the table names it
};

class KiCadBoard : public testing::TestWithParam<DrillFiles> { };
} // namespace

TEST_P(KiCadBoard, PlatedAndNonPlatedWithTheOutline)
{
    const DrillFiles& files = GetParam();
    const ReadBoard b({example(files.plated), example(files.nonPlated)}, example("board-Edge_Cuts.gbr"));
    EXPECT_TRUE(b.said.texts.isEmpty()) << b.said.texts.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(b.board.files.size(), 2u);
    EXPECT_EQ(b.board.files[0].firstRow, 0);
    EXPECT_EQ(b.board.files[0].rowCount, 9);
    EXPECT_EQ(b.board.files[1].firstRow, 9);
    EXPECT_EQ(b.board.files[1].rowCount, 3);
    EXPECT_EQ(b.board.outline, example("board-Edge_Cuts.gbr"));
    // Both files start with the same tool: each keeps its own row.
    EXPECT_EQ(b.table.row(0).dcode, QLatin1String(files.firstTool));
    EXPECT_EQ(b.table.row(0).kind, HoleKind::Plated);
    EXPECT_EQ(b.table.row(9).dcode, QLatin1String(files.firstTool));
    EXPECT_EQ(b.table.row(9).diameter, QStringLiteral("2.00"));
    EXPECT_EQ(b.table.row(9).kind, HoleKind::NonPlated);
    EXPECT_EQ(b.board.fileOfRow(8), 0);
    EXPECT_EQ(b.board.fileOfRow(9), 1);
    EXPECT_EQ(b.board.fileOfRow(12), -1);
    // The frame is the outline's box: 100 by 80 mm at 0.0567 twips a micrometre.
    EXPECT_EQ(b.extent.maxX, 5670);
    EXPECT_EQ(b.extent.maxY, 4536);

    const std::vector<Op> ops = b.draw();
    // The outline in black with the outline pen: four lines and four corners of 3 mm radius.
    std::vector<Op> outline;
    for (const Op& op : ops) {
        if (op.kind == Op::Line && op.color == Rgb {0, 0, 0})
            outline.push_back(op);
    }
    EXPECT_GT(outline.size(), 8u);
    // Every hole of both files is drawn: 157 + 8, and a legend mark for each of the 12 rows.
    size_t dots = 0;
    for (const Op& op : ops)
        dots += op.kind == Op::Dot;
    EXPECT_EQ(dots, 157u + 8u + 12u);
    // The non-plated T1 draws in its own row's colour, not in the plated T1's.
    const Rgb nonPlated = rowColor(b.table.row(9).color);
    ASSERT_NE(nonPlated, rowColor(b.table.row(0).color));
    size_t inRow9 = 0;
    for (const Op& op : ops)
        inRow9 += op.kind == Op::Dot && op.color == nonPlated;
    EXPECT_EQ(inRow9, 2u + 1u); // two holes and the legend mark
}

INSTANTIATE_TEST_SUITE_P(DrillFiles, KiCadBoard,
    testing::Values(DrillFiles {"Excellon", "board-PTH.drl", "board-NPTH.drl", "T1"},
        DrillFiles {"GerberX2", "board-PTH-drl.gbr", "board-NPTH-drl.gbr", "D10"}),
    [](const testing::TestParamInfo<DrillFiles>& info) { return std::string(info.param.name); });

TEST(Board, GerberX2FilesDrawAsTheExcellonFilesOfTheSameBoard)
{
    const ReadBoard excellon(
        {example("board-PTH.drl"), example("board-NPTH.drl")}, example("board-Edge_Cuts.gbr"));
    const ReadBoard x2(
        {example("board-PTH-drl.gbr"), example("board-NPTH-drl.gbr")}, example("board-Edge_Cuts.gbr"));
    EXPECT_TRUE(x2.said.texts.isEmpty());
    EXPECT_EQ(x2.table.row(9).dcode, QStringLiteral("D10"));
    EXPECT_EQ(x2.table.row(0).dcode, QStringLiteral("D10"));
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(x2.table.row(i).diameter, excellon.table.row(i).diameter) << i;
        EXPECT_EQ(x2.table.row(i).kind, excellon.table.row(i).kind) << i;
    }
    EXPECT_TRUE(test::sameDrawing(excellon.draw(), x2.draw()));
}

TEST(Board, WithoutAnOutlineTheFrameHoldsEveryFilesHoles)
{
    const ReadBoard b({example("board-PTH.drl"), example("board-NPTH.drl")});
    // The NPTH holes reach from (104, -126) to (196, -54), 3.2 mm wide: 95.2 by 75.2 mm.
    EXPECT_EQ(b.extent.maxX, qRound(95200 * 0.0567));
    EXPECT_EQ(b.extent.maxY, qRound(75200 * 0.0567));
    EXPECT_TRUE(b.said.texts.isEmpty());
}

TEST(Board, WarningsForHolesOutsideOrOutOfScale)
{
    test::Scratch dir;
    const QString outline = dir.write(QStringLiteral("edge.gbr"), kOutline100x80);
    // Inside, on the edge, and less than 1 mm outside: no warning.
    const QString fine = dir.write(
        QStringLiteral("fine.drl"), "M48\nMETRIC\nT1C1.0\n%\nT1\nX10.0Y10.0\nX0Y40.0\nX100.9Y40.0\nM30\n");
    EXPECT_TRUE(ReadBoard({fine}, outline).said.texts.isEmpty());
    // Two holes more than 1 mm outside.
    const QString out = dir.write(
        QStringLiteral("out.drl"), "M48\nMETRIC\nT1C1.0\n%\nT1\nX10.0Y10.0\nX102.0Y40.0\nX50.0Y-5.0\nM30\n");
    EXPECT_EQ(ReadBoard({out}, outline).said.texts,
        QStringList {
            QStringLiteral("2個の穴が外形から1 mm以上外れています（最初はout.drlの X 102.000, Y 40.000 mm）。"
                           "ファイルの形式（桁数・単位）が正しいか確かめて下さい。")});
    // An inch file read as millimetres: holes over a board 25.4 times smaller.
    const QString small =
        dir.write(QStringLiteral("small.drl"), "M48\nMETRIC\nT1C1.0\n%\nT1\nX0.5Y0.5\nX3.5Y2.5\nM30\n");
    EXPECT_EQ(ReadBoard({small}, outline).said.texts,
        QStringList {
            QStringLiteral("穴の範囲（3.0 × 2.0 mm）が外形（100.0 × 80.0 mm）の33.3分の1しかありません。"
                           "ファイルの形式（桁数・単位）が正しいか確かめて下さい。")});
    const QString large =
        dir.write(QStringLiteral("large.drl"), "M48\nMETRIC\nT1C1.0\n%\nT1\nX0Y0\nX1524.0Y1270.0\nM30\n");
    EXPECT_EQ(ReadBoard({large}, outline).said.texts,
        QStringList {
            QStringLiteral("穴の範囲（1524.0 × 1270.0 mm）が外形（100.0 × 80.0 mm）の15.2倍あります。"
                           "ファイルの形式（桁数・単位）が正しいか確かめて下さい。")});
    // Past what a board holds (2.147 m from its origin): the read ends there, and says so.
    const QString beyond = dir.write(
        QStringLiteral("beyond.drl"), "M48\nMETRIC\nT1C1.0\n%\nT1\nX0Y0\nX2540.0Y2032.0\nX1Y1\nM30\n");
    const ReadBoard far({beyond}, outline);
    EXPECT_EQ(far.said.texts,
        QStringList {
            QStringLiteral("座標が扱える範囲（±2.1 m）を超えるため、7行目で読み込みを中止しました。")});
    EXPECT_EQ(far.board.data.drills[0].holes.size(), 1u);
    // An L-shaped board: a hole in the cut-away corner is outside, though inside the box.
    const QString lshape = dir.write(QStringLiteral("l.gbr"),
        "%TF.FileFunction,Profile,NP*%\n%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.1*%\nD10*\nX0Y0D02*\nG01*\n"
        "X100000000Y0D01*\nX100000000Y40000000D01*\nX50000000Y40000000D01*\nX50000000Y80000000D01*\n"
        "X0Y80000000D01*\nX0Y0D01*\nM02*\n");
    const QString corner =
        dir.write(QStringLiteral("c.drl"), "M48\nMETRIC\nT1C1.0\n%\nT1\nX10.0Y10.0\nX90.0Y70.0\nM30\n");
    EXPECT_EQ(ReadBoard({corner}, lshape).said.texts.size(), 1);
    // A mounting hole drawn in the outline layer as a cut-out (a circle round the hole, as many
    // CAD programs draw it): the hole lies on its own line, not outside the board.
    const QString cutOut = dir.write(QStringLiteral("cut.gbr"),
        kOutline100x80.chopped(5)
            + "G75*\nX51600000Y40000000D02*\nG03X51600000Y40000000I-1600000J0D01*\nM02*\n");
    const QString mounting =
        dir.write(QStringLiteral("m.drl"), "M48\nMETRIC\nT1C3.2\n%\nT1\nX50.0Y40.0\nX10.0Y10.0\nM30\n");
    EXPECT_TRUE(ReadBoard({mounting}, cutOut).said.texts.isEmpty())
        << ReadBoard({mounting}, cutOut).said.texts.join(QLatin1Char('\n')).toStdString();
    // An outline that is not closed is judged by its box alone.
    const QString open = dir.write(QStringLiteral("open.gbr"),
        "%TF.FileFunction,Profile,NP*%\n%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.1*%\nD10*\nX0Y0D02*\nG01*\n"
        "X100000000Y0D01*\nX100000000Y40000000D01*\nX50000000Y40000000D01*\nX50000000Y80000000D01*\n"
        "X0Y80000000D01*\nM02*\n");
    EXPECT_TRUE(ReadBoard({corner}, open).said.texts.isEmpty());
}

TEST(Board, FilesBeyondTheTableAndBoardsThatTakeNoMoreFiles)
{
    test::Scratch dir;
    QByteArray many = "M48\nMETRIC\n";
    for (int t = 1; t <= 60; ++t)
        many += "T" + QByteArray::number(t) + "C0." + QByteArray::number(t + 10) + "\n";
    many += "%\n";
    for (int t = 1; t <= 60; ++t)
        many += "T" + QByteArray::number(t) + "\nX" + QByteArray::number(t) + ".0Y1.0\n";
    many += "M30\n";
    const QString first = dir.write(QStringLiteral("many.drl"), many);
    const QString second = dir.write(QStringLiteral("five.drl"),
        "M48\nMETRIC\nT1C1.0\nT2C1.1\nT3C1.2\nT4C1.3\nT5C1.4\n%"
        "\nT1\nX1Y2\nT2\nX1Y3\nT3\nX1Y4\nT4\nX1Y5\nT5\nX1Y6\nM30\n");
    const ReadBoard b({first, second});
    EXPECT_EQ(b.board.files[1].firstRow, 60);
    EXPECT_EQ(b.board.files[1].rowCount, 3);
    // Its numbers have no point and no format says their digits: the defaults are said.
    EXPECT_EQ(b.said.texts,
        QStringList({QStringLiteral("穴種が63を超えたため、") + second
                + QStringLiteral("のT4から後は表に入りません。"),
            QStringLiteral("書式の指定がないため、METRIC 3.3（末尾ゼロ）とみなして読みました。")}));
    EXPECT_EQ(b.table.row(62).dcode, QStringLiteral("T3"));

    // A standard Gerber file is drawn by its own replay: nothing joins it.
    Board gerber;
    HoleTable table;
    BoardExtent extent;
    test::Messages said;
    readBoardFile(
        gerber, ReaderKind::Standard, test::dataPath("board_100x80.gbr"), table, extent, said.sink());
    const FileOutcome added = addBoardFile(gerber, ReaderKind::Excellon, second, table, extent, said.sink());
    EXPECT_EQ(added.ending, ReadEnding::Rejected);
    EXPECT_EQ(gerber.files.size(), 1u);
    EXPECT_EQ(said.texts.last(),
        QStringLiteral("標準ガーバ・274xガーバで読み込んだ図面にはファイルを追加できません。"
                       "Excellonドリルか Gerber X2 ドリル/外形の読み込みで読み直して下さい。"));

    // A file that cannot be read leaves the board as it was.
    ReadBoard kept({first, second});
    const FileOutcome gone = addBoardFile(
        kept.board, ReaderKind::Excellon, dir.path(QStringLiteral("gone.drl")), kept.table, extent, {});
    EXPECT_EQ(gone.ending, ReadEnding::Unreadable);
    EXPECT_EQ(kept.board.files.size(), 2u);
    EXPECT_EQ(kept.board.data.drills.size(), 2u);
    EXPECT_EQ(kept.table, b.table);
}

TEST(Board, ASavedTableLoadedAgainGivesTheSameDrawing)
{
    test::Scratch dir;
    for (const char* name : {"board-PTH.drl", "board-NPTH.drl", "board-Edge_Cuts.gbr"})
        QFile::copy(example(name), dir.path(QString::fromUtf8(name)));
    const QStringList drills = {
        dir.path(QStringLiteral("board-PTH.drl")), dir.path(QStringLiteral("board-NPTH.drl"))};
    const QString outline = dir.path(QStringLiteral("board-Edge_Cuts.gbr"));
    ReadBoard first(drills, outline);
    first.table.row(9).color = fillColor(0, 128, 0);
    first.table.row(10).sign1 = QStringLiteral("±");
    first.table.row(10).tol1 = QStringLiteral("0.05");
    const SaveResult saved = saveSettingsFile(first.table, QStringLiteral("KT-1"), first.board.mainPath());
    ASSERT_TRUE(saved.ok) << saved.error.toStdString();
    EXPECT_EQ(saved.path, dir.path(QStringLiteral("KIVOTREK.INI")));

    ReadBoard again(drills, outline);
    QString productCode;
    ASSERT_TRUE(loadSettings(settingsPath(again.board.mainPath()), again.table, productCode, nullptr));
    EXPECT_EQ(productCode, QStringLiteral("KT-1"));
    EXPECT_TRUE(test::sameDrawing(first.draw(), again.draw()));
}

namespace {
// Five tools with 3, 5, 7, 9 and 11 holes, the third with two slots as well (one of them a path
// of two pieces), written for each reader; positions on a 1 mm grid, all distinct.
constexpr int kTools = 5;
int holesOf(int t)
{
    return 3 + 2 * t;
}

QByteArray countsBoard(ReaderKind reader)
{
    QByteArray standard = "G90*\n", rs274x = "%FSLAX33Y33*%\n%MOMM*%\n", excellon = "M48\nMETRIC\n",
               x2 = "%TF.FileFunction,Plated,1,2,PTH*%\n%FSLAX46Y46*%\n%MOMM*%\n";
    for (int t = 0; t < kTools; ++t) {
        rs274x += "%ADD" + QByteArray::number(10 + t) + "C,0." + QByteArray::number(3 + t) + "*%\n";
        excellon += "T" + QByteArray::number(t + 1) + "C0." + QByteArray::number(3 + t) + "\n";
        x2 += "%ADD" + QByteArray::number(10 + t) + "C,0." + QByteArray::number(3 + t) + "*%\n";
    }
    excellon += "%\nG90\n";
    for (int t = 0; t < kTools; ++t) {
        const QByteArray d = QByteArray::number(10 + t);
        standard += "G54D" + d + "*\n";
        rs274x += "G54D" + d + "*\n";
        x2 += "D" + d + "*\n";
        excellon += "T" + QByteArray::number(t + 1) + "\n";
        for (int i = 0; i < holesOf(t); ++i) {
            const QByteArray x = QByteArray::number(i + 1), y = QByteArray::number(t + 1);
            standard += "X" + x + "000Y" + y + "000D03*\n";
            rs274x += "X" + x + "000Y" + y + "000D03*\n";
            x2 += "X" + x + "000000Y" + y + "000000D03*\n";
            excellon += "X" + x + ".0Y" + y + ".0\n";
        }
        if (t == 2) {
            standard +=
                "X1000Y20000D02*\nX5000Y20000D01*\nX5000Y22000D01*\nX9000Y20000D02*\nX9000Y25000D01*\n";
            rs274x += "X1000Y20000D02*\nX5000Y20000D01*\nX5000Y22000D01*\nX9000Y20000D02*\nX9000Y25000D01*\n";
            x2 += "X1000000Y20000000D02*\nX5000000Y20000000D01*\nX5000000Y22000000D01*\n"
                  "X9000000Y20000000D02*\nX9000000Y25000000D01*\n";
            excellon += "G00X1.0Y20.0\nM15\nG01X5.0Y20.0\nX5.0Y22.0\nM16\nG05\nX9.0Y20.0G85X9.0Y25.0\n";
        }
    }
    standard += "M02*\n";
    rs274x += "M02*\n";
    x2 += "M02*\n";
    excellon += "M30\n";
    if (reader == ReaderKind::Standard)
        return standard;
    if (reader == ReaderKind::Rs274x)
        return rs274x;
    return reader == ReaderKind::Excellon ? excellon : x2;
}

std::string readerName(const testing::TestParamInfo<ReaderKind>& info)
{
    return info.param.id();
}

class ReaderCounts : public testing::TestWithParam<ReaderKind> { };
} // namespace

TEST_P(ReaderCounts, CountWhatTheDrawingDraws)
{
    test::Scratch dir;
    Board board;
    HoleTable table;
    BoardExtent extent;
    const char* name = GetParam() == ReaderKind::Excellon ? "board.drl" : "board.gbr";
    readBoardFile(
        board, GetParam(), dir.write(QString::fromLatin1(name), countsBoard(GetParam())), table, extent, {});
    for (int t = 0; t < kTools; ++t)
        table.row(t).kind = t < 3 ? HoleKind::Plated : HoleKind::NonPlated;
    HoleCounts counts;
    ASSERT_EQ(countHoles(board, table, counts).ending, DrawResult::Ending::Complete);
    for (int t = 0; t < kTools; ++t) {
        EXPECT_EQ(counts[size_t(t)].holeCount, holesOf(t)) << t;
        EXPECT_EQ(counts[size_t(t)].slotCount, t == 2 ? 2 : 0) << t;
    }
    const HoleTotals totals = holeTotals(counts, table);
    EXPECT_EQ(totals.th, 3 + 5 + 7 + 2);
    EXPECT_EQ(totals.nth, 9 + 11);
    EXPECT_EQ(totals.other, 0);
    EXPECT_EQ(totals.all, 37);
    // An outline row counts nothing; the others keep theirs.
    table.row(2).kind = HoleKind::Outline;
    countHoles(board, table, counts);
    EXPECT_EQ(counts[2].holeCount + counts[2].slotCount, 0);
    EXPECT_EQ(holeTotals(counts, table).all, 37 - 9);
}

INSTANTIATE_TEST_SUITE_P(EveryReader, ReaderCounts,
    testing::Values(ReaderKind::Standard, ReaderKind::Rs274x, ReaderKind::Excellon, ReaderKind::GerberX2),
    readerName);

TEST(Counts, TwoFilesWithTheSameToolNamesCountApart)
{
    const ReadBoard b({example("board-PTH.drl"), example("board-NPTH.drl")}, example("board-Edge_Cuts.gbr"));
    HoleCounts counts;
    ASSERT_EQ(countHoles(b.board, b.table, counts).ending, DrawResult::Ending::Complete);
    EXPECT_EQ(counts[0].holeCount, 70); // the plated T1
    EXPECT_EQ(counts[9].holeCount, 2); // the non-plated T1
    const HoleTotals totals = holeTotals(counts, b.table);
    EXPECT_EQ(totals.th, 157);
    EXPECT_EQ(totals.nth, 8);
    EXPECT_EQ(totals.all, 165);
}

TEST(Counts, TheLegendWithCountsAndNothingElseChanged)
{
    const ReadBoard b({example("board-PTH.drl"), example("board-NPTH.drl")}, example("board-Edge_Cuts.gbr"));
    HoleCounts counts;
    countHoles(b.board, b.table, counts);
    DrawingOptions withCounts;
    withCounts.counts = counts;
    RecordingSurface plain(6855, 6300), counted(6855, 6300);
    drawPreview(b.board, b.table, b.extent, plain);
    drawPreview(b.board, b.table, b.extent, counted, withCounts);
    // The same drawing, element for element, but each legend text ends with its row's count,
    // and the legend's second and third columns move right (from 1650 and 3150 twips to 2350
    // and 4550) to leave the longer texts room.
    ASSERT_EQ(plain.ops.size(), counted.ops.size());
    int texts = 0;
    int moved = 0;
    for (size_t i = 0; i < plain.ops.size(); ++i) {
        const Op& a = plain.ops[i];
        const Op& c = counted.ops[i];
        EXPECT_EQ(a.kind, c.kind);
        const bool legendMark =
            a.kind == Op::Dot && i + 1 < plain.ops.size() && plain.ops[i + 1].kind == Op::Text;
        const bool inLegend = legendMark || a.kind == Op::Text;
        const float column = a.kind == Op::Text ? a.x1 - 200 : a.x1;
        const float shift = !inLegend ? 0.0f : column == 1650 ? 700.0f : column == 3150 ? 1400.0f : 0.0f;
        moved += shift > 0;
        EXPECT_EQ(a.x1 + shift, c.x1);
        EXPECT_EQ(a.y1, c.y1);
        if (a.kind == Op::Text) {
            ++texts;
            EXPECT_TRUE(c.text.startsWith(a.text + QStringLiteral(" ×"))) << c.text.toStdString();
        } else {
            EXPECT_EQ(a.text, c.text);
        }
    }
    EXPECT_EQ(texts, 12);
    EXPECT_EQ(moved, 2 * 8); // the mark and the text of eight cells in the columns that move
    const auto legend = counted.only(Op::Text);
    EXPECT_EQ(legend[0].text, QStringLiteral("0.30  TH ×70")); // no tolerances: two blanks, as always
    EXPECT_EQ(legend[9].text, QStringLiteral("2.00  NTH ×2"));
    RowCount withSlots;
    withSlots.holeCount = 24;
    withSlots.slotCount = 2;
    EXPECT_EQ(countText(withSlots), QStringLiteral("24+2"));

    // The page: the totals under the legend, and an automatic size leaves them a line.
    RecordingSurface page(11906, 16838, 2.4f, 240.0f);
    RecordingSurface pageCounted(11906, 16838, 2.4f, 240.0f);
    BasicRandom r1, r2;
    printDrawing(b.board, b.table, b.extent, QStringLiteral("自動(A4縦)"), {}, page, r1);
    printDrawing(b.board, b.table, b.extent, QStringLiteral("自動(A4縦)"), {}, pageCounted, r2, withCounts);
    QStringList pageTexts;
    for (const Op& op : pageCounted.only(Op::Text))
        pageTexts << op.text;
    EXPECT_TRUE(pageTexts.contains(QStringLiteral("穴数　TH 157　NTH 8　その他 0　合計 165")));
    EXPECT_EQ(page.only(Op::Text).size() + 1, pageCounted.only(Op::Text).size());
    EXPECT_EQ(page.only(Op::Dot).size(), pageCounted.only(Op::Dot).size());
}

namespace {
// Holes inside the 100 x 80 mm outline, the corners' near its edges: read ten times too large
// or too small, most of them fall outside.
const double kFitHoles[][2] = {{5, 5}, {95, 5}, {95, 75}, {5, 75}, {50, 40}, {12.5, 60.25}, {80.125, 20.5}};

// The holes written in a known format, whose statement is then left out of the file: digits
// before and after the point, and which zeros are written.
QByteArray written(bool inch, int integer, int decimals, bool leadingKept)
{
    QByteArray drl = "M48\n" + QByteArray(inch ? "INCH\n" : "") + "T1C" + QByteArray(inch ? "0.0315" : "0.8")
        + "\n%\nT1\n";
    for (const auto& h : kFitHoles) {
        for (int axis = 0; axis < 2; ++axis) {
            const double v = (inch ? h[axis] / 25.4 : h[axis]) * std::pow(10.0, decimals);
            QByteArray digits = QByteArray::number(qRound64(v)).rightJustified(integer + decimals, '0');
            if (leadingKept) {
                while (digits.endsWith('0') && digits.size() > 1)
                    digits.chop(1);
            } else {
                while (digits.startsWith('0') && digits.size() > 1)
                    digits.remove(0, 1);
            }
            drl += (axis == 0 ? "X" : "Y") + digits;
        }
        drl += "\n";
    }
    return drl + "M30\n";
}
} // namespace

TEST(Board, AFormatNoFileStatesIsFittedToTheOutline)
{
    test::Scratch dir;
    const QString outline = dir.write(QStringLiteral("board-Edge_Cuts.gbr"), kOutline100x80);
    // Inch 2.5 with leading zeros kept, its unit stated, its digits and zeros not.
    const QString inch = dir.write(QStringLiteral("inch.drl"), written(true, 2, 5, true));
    ReadBoard b({inch}, outline);
    ASSERT_EQ(b.board.files.size(), 1u);
    ASSERT_TRUE(b.board.files[0].fitted);
    EXPECT_TRUE(b.board.files[0].fitted->inch);
    EXPECT_EQ(b.board.files[0].fitted->zeros, CoordinateFormat::Zeros::Leading);
    EXPECT_EQ(b.said.texts,
        QStringList({QStringLiteral("書式の指定がないため、INCH 2.4（末尾ゼロ）とみなして読みました。"),
            QStringLiteral("書式の指定がないため、外形に合う INCH 2.4（先頭ゼロ）で読みました。")}));
    // The board holds the file as read in the fitted format: each hole where it was written.
    const BoardData& data = b.board.data;
    ASSERT_EQ(data.drills[0].holes.size(), std::size(kFitHoles));
    for (size_t i = 0; i < std::size(kFitHoles); ++i) {
        EXPECT_NEAR(data.drills[0].holes[i].x(), kFitHoles[i][0], 0.01) << i;
        EXPECT_NEAR(data.drills[0].holes[i].y(), kFitHoles[i][1], 0.01) << i;
    }
    EXPECT_TRUE(boardWarning(b.board, data).isEmpty());

    // Metric 3.3 with trailing zeros kept, no unit stated (read as inch, the sizes too): fitted
    // to metric, and the tool's row says its size in millimetres.
    const QString metric = dir.write(QStringLiteral("metric.drl"), written(false, 3, 3, false));
    ReadBoard m({metric}, outline);
    ASSERT_TRUE(m.board.files[0].fitted);
    EXPECT_FALSE(m.board.files[0].fitted->inch);
    EXPECT_EQ(m.said.texts.last(),
        QStringLiteral("書式の指定がないため、外形に合う METRIC 3.3（末尾ゼロ）で読みました。"));
    EXPECT_EQ(m.table.row(0).diameter, QStringLiteral("0.80"));
    EXPECT_NEAR(m.board.data.drills[0].holes[5].x(), 12.5, 1e-6);
    EXPECT_NEAR(m.board.data.drills[0].holes[6].y(), 20.5, 1e-6);

    // The outline first, then the drill file: the same fit, said once.
    Board outlineFirst;
    HoleTable table;
    BoardExtent extent;
    test::Messages said;
    readBoardFile(outlineFirst, ReaderKind::GerberX2, outline, table, extent, said.sink());
    addBoardFile(outlineFirst, ReaderKind::Excellon, metric, table, extent, said.sink());
    EXPECT_EQ(said.texts,
        QStringList(
            {QStringLiteral("書式の指定がないため、外形に合う METRIC 3.3（末尾ゼロ）で読みました。")}));
    EXPECT_EQ(outlineFirst.files[0].fitted, m.board.files[0].fitted);

    // A file that states its format is read by it, outline or not; one of decimal numbers too.
    const QString stated = dir.write(
        QStringLiteral("stated.drl"), "M48\nINCH,TZ,00.0000\nT1C0.0315\n%\nT1\nX05000Y10000\nM30\n");
    ReadBoard s({stated}, outline);
    EXPECT_FALSE(s.board.files[0].fitted);
    EXPECT_TRUE(s.said.texts.isEmpty()) << s.said.texts.join(QLatin1Char('\n')).toStdString();
}

TEST(Board, AGerberFileNamedAsAnOutlineIsTheOutline)
{
    // EasyEDA: Drill_PTH.DRL, Drill_NPTH.DRL and BoardOutline.GKO, an RS-274X file without
    // attributes whose lines are the board's edge.
    test::Scratch dir;
    const QString drill = dir.write(
        QStringLiteral("Drill_PTH.DRL"), "M48\nMETRIC\nT1C0.8\n%\nT1\nX10.0Y10.0\nX90.0Y70.0\nM30\n");
    const QByteArray edge = "%FSLAX24Y24*%\n%MOMM*%\n%ADD10C,0.2540*%\nD10*\nX0Y0D02*\nX1000000Y0D01*\n"
                            "X1000000Y800000D01*\nX0Y800000D01*\nX0Y0D01*\nM02*\n";
    for (const char* name : {"BoardOutline.GKO", "board.gm1", "board-Edge_Cuts.gbr", "Board_Contour.gbr"}) {
        SCOPED_TRACE(name);
        const QString gko = dir.write(QString::fromLatin1(name), edge);
        const ReadBoard b({drill, gko});
        EXPECT_EQ(b.board.files.size(), 1u);
        EXPECT_EQ(b.board.outline, gko);
        EXPECT_EQ(b.table.row(1).dcode, QStringLiteral("D")); // no row for its aperture
        EXPECT_TRUE(b.said.texts.isEmpty()) << b.said.texts.join(QLatin1Char('\n')).toStdString();
    }
    // Another name, or a file whose attributes say it holds holes, stays a drill file.
    const QString copper = dir.write(QStringLiteral("board.gtl"), edge);
    EXPECT_EQ(ReadBoard({drill, copper}).board.files.size(), 2u);
    const QString drillGerber = dir.write(QStringLiteral("outline-drl.gbr"),
        "%TF.FileFunction,Plated,1,2,PTH*%\n%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.8*%\nD10*\nX1000000Y1000000D03*"
        "\nM02*\n");
    EXPECT_EQ(ReadBoard({drill, drillGerber}).board.files.size(), 2u);
}

namespace {
// A board of one drill file of 0.5 mm holes and an outline of closed squares of `side` mm, each
// side drawn in `pieces` lines, `copies` of them along x every 2 sides.
struct SquaresBoard {
    Board board;
    BoardData data;
    SquaresBoard(int copies, double side, int pieces)
    {
        board.files.push_back({QStringLiteral("drill.drl"), ReaderKind::Excellon, 0, 1});
        DrillData drill;
        drill.tools.push_back(DrillTool {});
        drill.tools[0].diameter = 0.5;
        data.drills.push_back(drill);
        data.outline = DrillData {};
        for (int c = 0; c < copies; ++c)
            square(2 * side * c, 0, side, pieces);
    }
    void square(double x0, double y0, double side, int pieces)
    {
        const double corners[5][2] = {{0, 0}, {side, 0}, {side, side}, {0, side}, {0, 0}};
        for (int k = 0; k < 4; ++k) {
            for (int i = 0; i < pieces; ++i) {
                const auto at = [&](int j, int axis) {
                    return corners[k][axis] + (corners[k + 1][axis] - corners[k][axis]) * j / pieces;
                };
                data.outline->addOutline(
                    0, x0 + at(i, 0), y0 + at(i, 1), x0 + at(i + 1, 0), y0 + at(i + 1, 1));
            }
        }
    }
    void hole(double x, double y) { data.drills[0].addHole(0, 0, x, y); }
};
} // namespace

TEST(Board, TheOutlineWarningJudgesEveryHoleByTheShapeAndSaysWhenItCannot)
{
    // A 100 mm board of 4,000 lines and a closed 1 mm square 900 mm off (a damaged number):
    // 100,000 holes inside, three 5 mm outside the board's right edge but inside the box.
    SquaresBoard b(1, 100, 1000);
    b.square(0, 900, 1, 4);
    for (int i = 0; i < 100'000; ++i)
        b.hole(5 + 0.9 * (i % 100), 5 + 0.9 * (i / 100) * 0.1);
    for (int i = 0; i < 3; ++i)
        b.hole(105, 10 + i);
    EXPECT_EQ(boardWarning(b.board, b.data),
        QStringLiteral("3個の穴が外形から1 mm以上外れています（最初はdrill.drlの X 105.000, Y 10.000 mm）。"
                       "ファイルの形式（桁数・単位）が正しいか確かめて下さい。"));

    // 300 squares of 3 mm side by side (an outline stepped and repeated), 400 lines each: every
    // band of lines holds hundreds of them. 200,000 holes in the first square, one in the gap
    // after it and two beyond the last: too many lines to judge each hole by, and said.
    SquaresBoard crowded(300, 3, 100);
    for (int i = 0; i < 200'000; ++i)
        crowded.hole(0.5 + 0.005 * (i % 400), 0.5 + 0.005 * (i / 400));
    crowded.hole(4.5, 1.5);
    crowded.hole(1830, 1.5);
    crowded.hole(1830, 2);
    QElapsedTimer t;
    t.start();
    const QString warning = boardWarning(crowded.board, crowded.data);
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_TRUE(warning.endsWith(QStringLiteral(
        "\n外形の線が多数重なり合っているため、一部の穴は外形を囲む枠だけで外れを調べました。")))
        << warning.toStdString();
    EXPECT_TRUE(warning.contains(QStringLiteral("（最初はdrill.drlの X 1830.000, Y 1.500 mm）")))
        << warning.toStdString();
}

TEST(Board, TolerancesAsTheFileStatesThemReachTheLegendAndTheSettingsFile)
{
    // Allegro: ±1 mil is 0.025 mm, in no list of the table, and +2/-1 mils.
    test::Scratch dir;
    const QString drl = dir.write(QStringLiteral("allegro.drl"),
        ";LEADER: 12\n;HEADER:\n"
        ";T01 Holesize 1. = 12.000000 Tolerance = +1.000000/-1.000000 PLATED MILS Quantity = 1\n"
        ";T02 Holesize 2. = 36.000000 Tolerance = +2.000000/-1.000000 NON_PLATED MILS Quantity = 1\n"
        "%\nT01\nX010000Y010000\nT02\nX020000Y010000\nM30\n");
    ReadBoard read({drl});
    EXPECT_EQ(read.table.row(0).sign1 + read.table.row(0).tol1, QStringLiteral("±0.025"));
    EXPECT_EQ(
        read.table.row(1).sign1 + read.table.row(1).tol1 + read.table.row(1).sign2 + read.table.row(1).tol2,
        QStringLiteral("＋0.051－0.025"));
    // The legend says it as the file does.
    QStringList texts;
    for (const Op& op : read.draw()) {
        if (op.kind == Op::Text)
            texts << op.text;
    }
    EXPECT_TRUE(texts.join(QLatin1Char('|')).contains(QStringLiteral("±0.025")))
        << texts.join(QLatin1Char('|')).toStdString();
    // The settings file keeps the text, and gives it back.
    const SaveResult saved = saveSettingsFile(read.table, QString(), read.board.mainPath());
    ASSERT_TRUE(saved.ok) << saved.error.toStdString();
    HoleTable loaded;
    QString productCode;
    ASSERT_TRUE(loadSettings(saved.path, loaded, productCode, nullptr));
    EXPECT_EQ(loaded.row(0).tol1, QStringLiteral("0.025"));
    EXPECT_EQ(loaded.row(1).tol2, QStringLiteral("0.025"));
}

TEST(Board, TheAllegroSampleIsFittedToItsOutlineWhicheverComesFirst)
{
    // board-allegro.drl states no digits (no template, no format comment, no nc_param.txt); its
    // board is 100 x 80 mm from the origin. (The KiCad sample's outline is another board's, at
    // x 103 to 197 and y -130 to -50 mm: no format puts these holes inside it.)
    test::Scratch dir;
    const QString outline = dir.write(QStringLiteral("board-Edge_Cuts.gbr"), kOutline100x80);
    const QString allegro = test::example("board-allegro.drl");
    const ReadBoard drillFirst({allegro}, outline);
    ASSERT_TRUE(drillFirst.board.files[0].fitted);
    EXPECT_EQ(drillFirst.said.texts,
        QStringList({QStringLiteral("書式の指定がないため、INCH 2.4（末尾ゼロ）とみなして読みました。")}));
    Board outlineFirst;
    HoleTable table;
    BoardExtent extent;
    test::Messages said;
    readBoardFile(outlineFirst, ReaderKind::GerberX2, outline, table, extent, said.sink());
    addBoardFile(outlineFirst, ReaderKind::Excellon, allegro, table, extent, said.sink());
    EXPECT_EQ(said.texts,
        QStringList({QStringLiteral("書式の指定がないため、外形に合う INCH 2.4（末尾ゼロ）で読みました。")}));
    EXPECT_EQ(outlineFirst.files[0].fitted, drillFirst.board.files[0].fitted);
    EXPECT_EQ(extent.maxX, drillFirst.extent.maxX);
    const BoardData& data = drillFirst.board.data;
    EXPECT_EQ(data.drills[0].holes.size(), 80u);
    EXPECT_TRUE(boardWarning(drillFirst.board, data).isEmpty());
    // Beside the KiCad outline the holes are said to lie outside, whichever came first.
    const ReadBoard kicad({allegro}, test::example("board-Edge_Cuts.gbr"));
    ASSERT_EQ(kicad.said.texts.size(), 2);
    EXPECT_TRUE(kicad.said.texts[1].startsWith(QStringLiteral("80個の穴が外形から1 mm以上外れています")));
}
