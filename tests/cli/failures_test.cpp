// kivotrek-cli never reports success where something failed or was lost: an output never
// replaces an input, standard output is checked, a limit or a stopped drawing is said.

#include "cli/clirun.h"
#include "testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <cctype>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using namespace kivotrek;
using test::cli;
using test::CliRun;

namespace {
const QString kExamples = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/");

QString example(const char* name)
{
    return kExamples + QString::fromUtf8(name);
}

QString inputAsOutput(const QString& name)
{
    return name + QStringLiteral("は読み込むファイルです。別の名前を指定して下さい。");
}
} // namespace

TEST(CliOutputs, NeverReplaceAnInput)
{
    test::Scratch dir;
    const QByteArray drill = test::readAll(example("board-PTH.drl"));
    const QByteArray npth = test::readAll(example("board-NPTH-drl.gbr"));
    const QByteArray outline = test::readAll(example("board-Edge_Cuts.gbr"));
    const QByteArray ini = test::readAll(example("KIVOTREK.INI"));
    const QString drillPng = dir.write(QStringLiteral("drill.png"), drill);
    const QString npthSvg = dir.write(QStringLiteral("npth.svg"), npth);
    const QString outlinePdf = dir.write(QStringLiteral("outline.pdf"), outline);
    const QString iniBmp = dir.write(QStringLiteral("settings.bmp"), ini);
    const QString link = dir.path(QStringLiteral("link.svg"));
    ASSERT_EQ(::symlink("drill.png", QFile::encodeName(link).constData()), 0);
    const QString board = dir.write(QStringLiteral("board.gbr"), test::readAll(example("board.gbr")));
    ASSERT_TRUE(QDir::setCurrent(dir.path(QString())));

    const QString preview = QStringLiteral("--preview");
    struct Case {
        const char* what;
        QStringList args;
        QString named; // the output as the message names it
    };
    const QStringList boardFiles {drillPng, npthSvg, QStringLiteral("--outline"), outlinePdf};
    const std::vector<Case> cases {
        {"the drill file", {QStringLiteral("--excellon"), preview, QStringLiteral("-o"), drillPng, drillPng},
            drillPng},
        {"a second drill file", QStringList {preview, QStringLiteral("-o"), npthSvg} + boardFiles, npthSvg},
        {"the outline, as a page",
            QStringList {QStringLiteral("--page"), QStringLiteral("100"), QStringLiteral("-o"), outlinePdf}
                + boardFiles,
            outlinePdf},
        {"the settings file",
            {QStringLiteral("--settings"), iniBmp, preview, QStringLiteral("-o"), iniBmp, board}, iniBmp},
        {"a link to the drill file",
            {QStringLiteral("--excellon"), preview, QStringLiteral("-o"), link, drillPng}, link},
        {"./name against the absolute path",
            {QStringLiteral("--excellon"), preview, QStringLiteral("-o"), QStringLiteral("./drill.png"),
                drillPng},
            QStringLiteral("./drill.png")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CliRun r = cli(QStringList {QStringLiteral("render")} + c.args);
        EXPECT_EQ(r.exitCode, 3);
        EXPECT_EQ(QString::fromUtf8(r.err).trimmed(), inputAsOutput(c.named));
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_EQ(test::readAll(drillPng), drill);
    EXPECT_EQ(test::readAll(npthSvg), npth);
    EXPECT_EQ(test::readAll(outlinePdf), outline);
    EXPECT_EQ(test::readAll(iniBmp), ini);
    // A new name is written, as always.
    EXPECT_EQ(cli({QStringLiteral("render"), QStringLiteral("--excellon"), preview, QStringLiteral("-o"),
                      QStringLiteral("new.png"), drillPng})
                  .exitCode,
        0);

    // Standard output appended to an input: refused before it is read, the file as it was.
    const QString drl = dir.write(QStringLiteral("board.drl"), drill);
    for (const QStringList& args :
        {QStringList {QStringLiteral("holes"), drl}, QStringList {QStringLiteral("read"), drl},
            QStringList {QStringLiteral("report"), QStringLiteral("--settings"), drl, board},
            QStringList {QStringLiteral("settings"), QStringLiteral("show"), drl}}) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        const CliRun r = cli(args, drl);
        EXPECT_EQ(r.exitCode, 3);
        EXPECT_EQ(QString::fromUtf8(r.err).trimmed(), inputAsOutput(drl));
    }
    EXPECT_EQ(test::readAll(drl), drill);
}

TEST(CliOutputs, TheLogoIsAnInputOfThePage)
{
    // The program's own folder holds the logo: a copy of the program beside an image.bmp.
    test::Scratch dir;
    const QString program = dir.path(QStringLiteral("kivotrek-cli"));
    ASSERT_TRUE(QFile::copy(QString::fromUtf8(KIVOTREK_CLI), program));
    const QByteArray logo = test::readAll(example("image.bmp"));
    const QString logoPath = dir.write(QStringLiteral("image.bmp"), logo);
    const QString link = dir.path(QStringLiteral("logo.png"));
    ASSERT_EQ(::symlink(QFile::encodeName(logoPath).constData(), QFile::encodeName(link).constData()), 0);
    QProcess p;
    p.start(program,
        {QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("100"), QStringLiteral("-o"),
            link, example("board.gbr")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 3);
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()).trimmed(), inputAsOutput(link));
    EXPECT_EQ(test::readAll(logoPath), logo);
}

TEST(CliOutputs, AFailedWriteToStandardOutputExitsThree)
{
    const QString drill = example("board-PTH.drl");
    for (const QStringList& args :
        {QStringList {QStringLiteral("holes"), QStringLiteral("--excellon"), drill},
            QStringList {
                QStringLiteral("holes"), QStringLiteral("--csv"), QStringLiteral("--excellon"), drill},
            QStringList {QStringLiteral("read"), example("board.gbr")},
            QStringList {QStringLiteral("report"), QStringLiteral("--excellon"), drill},
            QStringList {QStringLiteral("settings"), QStringLiteral("show"), example("KIVOTREK.INI")},
            QStringList {QStringLiteral("--help")}}) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        QProcess p;
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(QString::fromUtf8(KIVOTREK_CLI), args);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 3);
        EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()).trimmed(),
            QStringLiteral("kivotrek-cli: cannot write to standard output: No space left on device"));
    }
}

TEST(CliLimits, ALimitIsAFaultAndTheDrawingOfWhatWasReadIsWritten)
{
    // One flash asked for 6,000,000 times, before a second tool.
    test::Scratch dir;
    const QString x2 = dir.write(QStringLiteral("panel.gbr"),
        "%FSLAX46Y46*%\n%MOMM*%\n%TF.FileFunction,Plated,1,2,PTH*%\n%ADD10C,0.5*%\n%ADD11C,0.9*%\nD10*\n"
        "X0Y0D03*\nX10000000Y5000000D03*\n%SRX3000Y2000I1J1*%\nX0Y0D03*\n%SR*%\nD11*\nX5000000Y5000000D03*"
        "\nM02*\n");
    const QString message = QStringLiteral(
        "穴・長穴・外形の線の数が上限の5,000,000個を超えるため、9行目で読み込みを中止しました。");
    const QString reader = QStringLiteral("--x2");
    CliRun r = cli({QStringLiteral("read"), reader, x2});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.json.value(QStringLiteral("ending")).toString(), QStringLiteral("fault"));
    EXPECT_EQ(r.json.value(QStringLiteral("stoppedAtLine")).toInt(), 9);
    EXPECT_EQ(r.json.value(QStringLiteral("messages")).toArray(), QJsonArray({message}));
    EXPECT_EQ(r.json.value(QStringLiteral("rows")).toArray().size(), 1); // D11 was never reached
    EXPECT_EQ(cli({QStringLiteral("holes"), reader, x2}).exitCode, 2);
    EXPECT_EQ(cli({QStringLiteral("report"), reader, x2}).exitCode, 2);
    const QString svg = dir.path(QStringLiteral("panel.svg"));
    r = cli({QStringLiteral("render"), reader, QStringLiteral("--page"), QStringLiteral("自動(A4縦)"),
        QStringLiteral("-o"), svg, x2});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(QString::fromUtf8(r.err).trimmed(), message);
    EXPECT_EQ(test::readAll(svg).count("<circle"), 2 + 1); // the two holes read, and the legend's mark
}

TEST(CliLimits, ABoardOfMoreThan63ToolsIsAFault)
{
    // Eight copies of a file of nine tools: the eighth file's tools find no row.
    test::Scratch dir;
    const QByteArray drill = test::readAll(example("board-PTH.drl"));
    QStringList files;
    for (int i = 1; i <= 8; ++i)
        files << dir.write(QStringLiteral("copy%1.drl").arg(i), drill);
    const QString message = QStringLiteral("穴種が63を超えたため、") + files.last()
        + QStringLiteral("のT1から後は表に入りません。");
    CliRun r = cli(QStringList {QStringLiteral("read")} + files);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.json.value(QStringLiteral("ending")).toString(), QStringLiteral("fault"));
    EXPECT_TRUE(r.json.value(QStringLiteral("messages")).toArray().contains(message));
    EXPECT_EQ(r.json.value(QStringLiteral("rows")).toArray().size(), 63);
    const QJsonObject totals = r.json.value(QStringLiteral("totals")).toObject();
    EXPECT_EQ(totals.value(QStringLiteral("all")).toInt(), 7 * 157);
    for (const char* command : {"holes", "report"})
        EXPECT_EQ(cli(QStringList {QString::fromLatin1(command)} + files).exitCode, 2) << command;
    const QString svg = dir.path(QStringLiteral("board.svg"));
    r = cli(QStringList {QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("自動(A4縦)"),
                QStringLiteral("-o"), svg}
        + files);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(QString::fromUtf8(r.err).contains(message)) << r.err.constData();
    // The holes of the 63 rows are drawn, those without a row are not (a legend mark per row).
    EXPECT_EQ(test::readAll(svg).count("<circle"), 7 * 157 + 63);
}

TEST(CliCounts, CountsSayWhereTheDrawingStops)
{
    // The RS-274X reader skips the step it cannot read on line 5, the drawing stops there.
    test::Scratch dir;
    const QString gerber = dir.write(QStringLiteral("skip.gbr"),
        "%FSLAX23Y23*%\n%ADD10C,0.800*%\nG54D10*\nX1000Y1000D03*\nX74500Y3600 0D03*\nX2000Y2000D03*\nM02*\n");
    const QString rs = QStringLiteral("--rs274x");
    const QString stops = QStringLiteral("5行目のデータを描画できないため、描画を中止しました。");
    CliRun r = cli({QStringLiteral("read"), rs, gerber});
    EXPECT_EQ(r.exitCode, 0); // the read's own rule: complete
    EXPECT_EQ(r.json.value(QStringLiteral("ending")).toString(), QStringLiteral("complete"));
    EXPECT_EQ(r.json.value(QStringLiteral("drawingStopsAtLine")).toInt(), 5);
    EXPECT_EQ(r.json.value(QStringLiteral("messages")).toArray(), QJsonArray({stops}));
    EXPECT_EQ(r.json.value(QStringLiteral("totals")).toObject().value(QStringLiteral("all")).toInt(), 1);
    r = cli({QStringLiteral("report"), rs, gerber});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(QString::fromUtf8(r.err).trimmed(), stops);
    EXPECT_TRUE(r.out.contains("\r\n1,D10,skip.gbr,0.80,,,,1,0\r\n")) << r.out.constData();
    // A drawing that completes says so with null.
    r = cli({QStringLiteral("read"), QStringLiteral("--auto"), example("board-PTH.drl")});
    EXPECT_TRUE(r.json.value(QStringLiteral("drawingStopsAtLine")).isNull());
    EXPECT_TRUE(r.json.contains(QStringLiteral("drawingStopsAtLine")));

    // A drill file's hole 3,000 km away is past what a board holds (2.147 m): the read ends at
    // its line as a limit of the reader; what came before is counted and drawn.
    const QString far = dir.write(QStringLiteral("far.gbr"),
        "%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.5*%\nD10*\nX0Y0D03*\nX3000000000000Y0D03*\nX1000000Y0D03*\nM02*"
        "\n");
    const QString beyond =
        QStringLiteral("座標が扱える範囲（±2.1 m）を超えるため、6行目で読み込みを中止しました。");
    r = cli({QStringLiteral("read"), QStringLiteral("--x2"), far});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.json.value(QStringLiteral("ending")).toString(), QStringLiteral("fault"));
    EXPECT_EQ(r.json.value(QStringLiteral("stoppedAtLine")).toInt(), 6);
    EXPECT_EQ(r.json.value(QStringLiteral("messages")).toArray(), QJsonArray({beyond}));
    EXPECT_EQ(r.json.value(QStringLiteral("totals")).toObject().value(QStringLiteral("all")).toInt(), 1);
    EXPECT_EQ(cli({QStringLiteral("report"), QStringLiteral("--x2"), far}).exitCode, 2);
    r = cli({QStringLiteral("render"), QStringLiteral("--x2"), QStringLiteral("--page"),
        QStringLiteral("100"), QStringLiteral("-o"), dir.path(QStringLiteral("far.svg")), far});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(QString::fromUtf8(r.err).trimmed(), beyond);
    EXPECT_TRUE(QFileInfo::exists(dir.path(QStringLiteral("far.svg"))));
    // 2 m away is still on the board: read whole and drawn.
    r = cli({QStringLiteral("read"), QStringLiteral("--x2"),
        dir.write(QStringLiteral("wide.gbr"),
            "%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.5*%\nD10*\nX0Y0D03*\nX2000000000Y0D03*\nM02*\n")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.json.value(QStringLiteral("drawingStopsAtLine")).isNull());
}

TEST(CliCounts, HolesOfAnApertureWithoutARowCountInNoRow)
{
    // 65 apertures: D73 and D74 find no row; their flashes are drawn with D72's pen (the rule
    // for a D-code no row holds) but are no holes of D72.
    test::Scratch dir;
    QByteArray text = "%FSLAX23Y23*%\n";
    for (int d = 10; d < 75; ++d)
        text += "%ADD" + QByteArray::number(d) + "C,0.500*%\n";
    text +=
        "G54D72*\nX1000Y1000D03*\nG54D73*\nX2000Y1000D03*\nX3000Y1000D03*\nG54D74*\nX4000Y1000D03*\nM02*\n";
    const QString gerber = dir.write(QStringLiteral("many.gbr"), text);
    const QString rs = QStringLiteral("--rs274x");
    CliRun r = cli({QStringLiteral("read"), rs, gerber});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.json.value(QStringLiteral("messages")).toArray(),
        QJsonArray({QStringLiteral("穴種が63を超えたため、") + gerber
            + QStringLiteral("のD73から後は表に入りません。")}));
    const QJsonArray rows = r.json.value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 63);
    EXPECT_EQ(rows[62].toObject().value(QStringLiteral("dcode")).toString(), QStringLiteral("D72"));
    EXPECT_EQ(rows[62].toObject().value(QStringLiteral("holes")).toInt(), 1);
    const QJsonObject totals = r.json.value(QStringLiteral("totals")).toObject();
    EXPECT_EQ(totals.value(QStringLiteral("other")).toInt(), 4);
    EXPECT_EQ(totals.value(QStringLiteral("all")).toInt(), 4);

    r = cli({QStringLiteral("holes"), rs, gerber});
    EXPECT_EQ(r.exitCode, 0);
    const QJsonArray holes = r.json.value(QStringLiteral("holes")).toArray();
    ASSERT_EQ(holes.size(), 4);
    EXPECT_EQ(holes[0].toObject().value(QStringLiteral("row")).toInt(), 62);
    for (int i = 1; i < 4; ++i) {
        const QJsonObject h = holes[i].toObject();
        EXPECT_TRUE(h.value(QStringLiteral("row")).isNull());
        EXPECT_TRUE(h.value(QStringLiteral("diameter")).isNull());
        EXPECT_EQ(h.value(QStringLiteral("code")).toString(),
            i < 3 ? QStringLiteral("D73") : QStringLiteral("D74"));
    }
    r = cli({QStringLiteral("holes"), rs, QStringLiteral("--csv"), gerber});
    EXPECT_TRUE(r.out.contains("\nhole,,D73,,2,1,,\n")) << r.out.constData();
}

namespace {
class CliReaders : public testing::TestWithParam<const char*> { };
} // namespace

TEST_P(CliReaders, RefuseABinaryFile)
{
    test::Scratch dir;
    // The first 3 KB of a picture named .drl.
    const QString drl =
        dir.write(QStringLiteral("picture.drl"), test::readAll(example("image.bmp")).left(3000));
    const CliRun r = cli({QStringLiteral("read"), QString::fromLatin1(GetParam()), drl});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.json.value(QStringLiteral("ending")).toString(), QStringLiteral("unreadable"));
    EXPECT_EQ(r.json.value(QStringLiteral("messages")).toArray(),
        QJsonArray({drl + QStringLiteral("は穴データのファイルではないため、読み込めません。")}));
    // Nor is anything drawn of it.
    const QString page = dir.path(QStringLiteral("p.png"));
    EXPECT_EQ(cli({QStringLiteral("render"), QString::fromLatin1(GetParam()), QStringLiteral("--page"),
                      QStringLiteral("100"), QStringLiteral("-o"), page, drl})
                  .exitCode,
        3);
    EXPECT_FALSE(QFile::exists(page));
}

INSTANTIATE_TEST_SUITE_P(EveryReader, CliReaders,
    testing::Values("--standard", "--rs274x", "--excellon", "--x2", "--auto"),
    [](const testing::TestParamInfo<const char*>& info) {
        std::string name = info.param + 2; // without the dashes
        name[0] = char(std::toupper(static_cast<unsigned char>(name[0])));
        return name;
    });

TEST(CliInputs, AFormulaInAFileStaysTextInTheCsv)
{
    test::Scratch dir;
    const QString gerber =
        dir.write(QStringLiteral("f.gbr"), "%FSLAX23Y23*%\n%ADD10C,=2+5*%\nG54D10*\nX1000Y-1000D03*\nM02*\n");
    const CliRun report = cli({QStringLiteral("report"), QStringLiteral("--rs274x"), gerber});
    EXPECT_TRUE(report.out.contains("\r\n1,D10,f.gbr,'=2+5*,,,,1,0\r\n")) << report.out.constData();
    // The program's own numbers keep their sign.
    const CliRun holes =
        cli({QStringLiteral("holes"), QStringLiteral("--rs274x"), QStringLiteral("--csv"), gerber});
    EXPECT_TRUE(holes.out.contains("\nhole,0,D10,,1,-1,,\n")) << holes.out.constData();
}
