#include "cli/clirun.h"
#include "drawing/picturesurface.h"
#include "drawing/previewlayout.h"
#include "gerber/standardreader.h"
#include "settings/settingsfile.h"
#include "testutil.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QXmlStreamReader>
#include <cstdio>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>

using namespace kivotrek;
using test::cli;
using test::CliRun;

TEST(CliRead, CompleteStandardRead)
{
    const QString path = test::dataPath("board_100x80.gbr");
    const CliRun r = cli({QStringLiteral("read"), path});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.endsWith("}\n"));
    EXPECT_TRUE(r.out.contains("\"unitScale\":0.0567,")) << r.out.constData(); // the float's shortest text
    EXPECT_EQ(r.json.value(QStringLiteral("path")).toString(), path);
    EXPECT_EQ(r.json.value(QStringLiteral("reader")).toString(), QStringLiteral("standard"));
    EXPECT_EQ(r.json.value(QStringLiteral("ending")).toString(), QStringLiteral("complete"));
    EXPECT_TRUE(r.json.value(QStringLiteral("stoppedAtLine")).isNull());
    EXPECT_TRUE(r.json.value(QStringLiteral("messages")).toArray().isEmpty());
    EXPECT_EQ(r.json.value(QStringLiteral("maxX")).toInt(), 5670);
    EXPECT_EQ(r.json.value(QStringLiteral("maxY")).toInt(), 4536);
    const QJsonArray rows = r.json.value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[2].toObject(),
        QJsonObject({{QStringLiteral("index"), 2}, {QStringLiteral("dcode"), QStringLiteral("D12")},
            {QStringLiteral("diameter"), QString()}, {QStringLiteral("holes"), 1},
            {QStringLiteral("slots"), 0}}));
}

TEST(CliRead, Rs274xRead)
{
    const CliRun r =
        cli({QStringLiteral("read"), QStringLiteral("--rs274x"), test::dataPath("rs274x_basic.gbr")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("\"unitScale\":0.00567,")) << r.out.constData();
    EXPECT_EQ(r.json.value(QStringLiteral("reader")).toString(), QStringLiteral("rs274x"));
    EXPECT_EQ(r.json.value(QStringLiteral("rows"))
                  .toArray()[0]
                  .toObject()
                  .value(QStringLiteral("diameter"))
                  .toString(),
        QStringLiteral("0.80"));
}

TEST(CliRead, StoppedReadsExitTwo)
{
    const CliRun rejected = cli({QStringLiteral("read"), test::dataPath("job_comment.gbr")});
    EXPECT_EQ(rejected.exitCode, 2);
    EXPECT_EQ(rejected.json.value(QStringLiteral("ending")).toString(), QStringLiteral("rejected"));
    EXPECT_EQ(rejected.json.value(QStringLiteral("stoppedAtLine")).toInt(), 3);
    EXPECT_EQ(rejected.json.value(QStringLiteral("messages")).toArray()[0].toString(),
        QStringLiteral("ステップ＆リピート及び、円弧（ＩＪ）は使用できません。"));

    const CliRun fault = cli({QStringLiteral("read"), test::dataPath("g54_no_d.gbr")});
    EXPECT_EQ(fault.exitCode, 2);
    EXPECT_EQ(fault.json.value(QStringLiteral("ending")).toString(), QStringLiteral("fault"));
    EXPECT_EQ(fault.json.value(QStringLiteral("rows")).toArray().size(), 1);
}

TEST(CliRead, UnreadableExitsThreeAndBadUsageSixtyFour)
{
    const CliRun gone = cli({QStringLiteral("read"), QStringLiteral("/nonexistent/a.gbr")});
    EXPECT_EQ(gone.exitCode, 3);
    EXPECT_EQ(gone.json.value(QStringLiteral("ending")).toString(), QStringLiteral("unreadable"));
    EXPECT_EQ(gone.json.value(QStringLiteral("unitScale")).toDouble(), 0.0567);

    for (const QStringList& args : {QStringList(), QStringList({QStringLiteral("read")}),
             QStringList({QStringLiteral("read"), QStringLiteral("--bogus"), QStringLiteral("a.gbr")}),
             QStringList({QStringLiteral("read"), QStringLiteral("--standard"), QStringLiteral("a.gbr"),
                 QStringLiteral("b.gbr")}),
             QStringList({QStringLiteral("read"), QStringLiteral("--rs274x"), QStringLiteral("a.gbr"),
                 QStringLiteral("--outline"), QStringLiteral("b.gbr")}),
             QStringList({QStringLiteral("read"), QStringLiteral("a.drl"), QStringLiteral("--outline")}),
             QStringList({QStringLiteral("draw")})}) {
        const CliRun r = cli(args);
        EXPECT_EQ(r.exitCode, 64) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_FALSE(r.err.isEmpty());
    }
}

namespace {
int countOf(const QByteArray& doc, const char* element)
{
    QXmlStreamReader xml(doc);
    int n = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String(element))
            ++n;
    }
    EXPECT_FALSE(xml.hasError());
    return n;
}
} // namespace

TEST(CliRender, PreviewAsPngBmpAndSvg)
{
    test::Scratch dir;
    const QString gerber = test::dataPath("rs274x_drawable.gbr");
    const QString png = dir.path(QStringLiteral("p.png"));
    CliRun r = cli({QStringLiteral("render"), QStringLiteral("--rs274x"), QStringLiteral("--preview"),
        QStringLiteral("-o"), png, gerber});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
    EXPECT_EQ(QImage(png).size(), QSize(457, 420));

    const QString bmp = dir.path(QStringLiteral("p.bmp"));
    r = cli({QStringLiteral("render"), QStringLiteral("--rs274x"), QStringLiteral("--preview"),
        QStringLiteral("-o"), bmp, gerber});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(QImageReader(bmp).format(), QByteArray("bmp"));
    EXPECT_EQ(
        QImage(bmp).convertToFormat(QImage::Format_RGB32), QImage(png).convertToFormat(QImage::Format_RGB32));

    const QString svg = dir.path(QStringLiteral("p.svg"));
    r = cli({QStringLiteral("render"), QStringLiteral("--rs274x"), QStringLiteral("--preview"),
        QStringLiteral("-o"), svg, gerber});
    EXPECT_EQ(r.exitCode, 0);
    QFile f(svg);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray doc = f.readAll();
    EXPECT_EQ(countOf(doc, "circle"), 4 + 4); // four flashes, four legend dots
    EXPECT_EQ(countOf(doc, "line"), 4); // the outline
    EXPECT_EQ(countOf(doc, "text"), 4);
}

TEST(CliRender, LongFilePreviewEqualsTheInProcessDrawing)
{
    // Many batches of cut lines through the command line's two threads, then its PNG and BMP
    // writers: the same pixels as one thread drawing the same file.
    QByteArray gerber = "G90*\nG54D10*\nX0Y0D02*\nX100000Y0D01*\nX100000Y80000D01*\nX0Y80000D01*\nX0Y0D01*\n";
    for (int tool = 11; tool <= 13; ++tool) {
        gerber += "G54D" + QByteArray::number(tool) + "*\n";
        for (int i = 0; i < 6000; ++i)
            gerber += "X" + QByteArray::number((i * 37 + tool * 1000) % 100000) + "Y"
                + QByteArray::number((i * 53 + tool * 700) % 80000) + "D03*\n";
    }
    gerber += "M02*\n";
    test::Scratch dir;
    const QString path = dir.write(QStringLiteral("long.gbr"), gerber);
    HoleTable table;
    BoardExtent extent;
    ASSERT_EQ(readStandardGerber(path, table, extent, [](const QString&) {}).ending, ReadEnding::Complete);
    const char* diameters[] = {"0", "0.8", "1.2", "3.0"};
    for (int i = 0; i < 4; ++i) {
        table.row(i).diameter = QString::fromLatin1(diameters[i]);
        table.row(i).color = fillColor(40 * i, 255 - 50 * i, 90);
    }
    table.row(0).kind = HoleKind::Outline;
    ASSERT_TRUE(saveSettingsFile(table, QString(), path).ok);

    PictureSurface expected(kPreviewWidthTwips, kPreviewHeightTwips, 96.0);
    ASSERT_EQ(drawPreview(path, table, extent, expected).ending, DrawResult::Ending::Complete);
    for (const char* suffix : {"png", "bmp"}) {
        const QString out = dir.path(QStringLiteral("p.") + QLatin1String(suffix));
        const CliRun r = cli({QStringLiteral("render"), QStringLiteral("--settings"), settingsPath(path),
            QStringLiteral("--preview"), QStringLiteral("-o"), out, path});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(QImage(out).convertToFormat(QImage::Format_RGB32), expected.image()) << suffix;
    }
}

TEST(CliRender, IncompleteTableWritesNothing)
{
    test::Scratch dir;
    const QString out = dir.path(QStringLiteral("p.png"));
    const CliRun r = cli({QStringLiteral("render"), QStringLiteral("--preview"), QStringLiteral("-o"), out,
        test::dataPath("board_100x80.gbr")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(QString::fromUtf8(r.err),
        QStringLiteral("D10の穴径が未入力です。\nD11の穴径が未入力です。\nD12の穴径が未入力です。\n"));
    EXPECT_FALSE(QFile::exists(out));
}

TEST(CliRender, StoppedDrawingIsWrittenAndNamesTheLine)
{
    test::Scratch dir;
    const QString out = dir.path(QStringLiteral("p.svg"));
    // Its first line is a comment with an X: the drawing ends there.
    const CliRun r = cli({QStringLiteral("render"), QStringLiteral("--rs274x"), QStringLiteral("--preview"),
        QStringLiteral("-o"), out, test::dataPath("rs274x_basic.gbr")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("line 1")) << r.err.constData();
    EXPECT_TRUE(QFile::exists(out));
}

TEST(CliRender, BadUsageAndUnreadableFiles)
{
    const QString gerber = test::dataPath("rs274x_drawable.gbr");
    for (const QStringList& args :
        {QStringList({QStringLiteral("render"), QStringLiteral("-o"), QStringLiteral("/tmp/x.png"), gerber}),
            QStringList({QStringLiteral("render"), QStringLiteral("--preview"), gerber}),
            QStringList({QStringLiteral("render"), QStringLiteral("--preview"), QStringLiteral("-o"),
                QStringLiteral("/tmp/x.gif"), gerber}),
            QStringList({QStringLiteral("render"), QStringLiteral("--preview"), QStringLiteral("-o")})})
        EXPECT_EQ(cli(args).exitCode, 64) << args.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(cli({QStringLiteral("render"), QStringLiteral("--preview"), QStringLiteral("-o"),
                      QStringLiteral("/tmp/x.png"), QStringLiteral("/nonexistent.gbr")})
                  .exitCode,
        3);
    EXPECT_EQ(cli({QStringLiteral("render"), QStringLiteral("--rs274x"), QStringLiteral("--preview"),
                      QStringLiteral("-o"), QStringLiteral("/nonexistent/dir/x.png"), gerber})
                  .exitCode,
        3);
}

TEST(CliSettings, ShowAndRenderWithSettings)
{
    const CliRun shown = cli({QStringLiteral("settings"), QStringLiteral("show"),
        QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/KIVOTREK.INI")});
    EXPECT_EQ(shown.exitCode, 0) << shown.err.constData();
    const QJsonArray rows = shown.json.value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 63);
    const QJsonObject row0 = rows[0].toObject();
    EXPECT_EQ(row0.value(QStringLiteral("dcode")).toString(), QStringLiteral("D10"));
    EXPECT_EQ(row0.value(QStringLiteral("kind")).toString(), QStringLiteral("外形"));
    EXPECT_EQ(row0.keys(),
        QStringList({QStringLiteral("color"), QStringLiteral("dcode"), QStringLiteral("diameter"),
            QStringLiteral("index"), QStringLiteral("kind"), QStringLiteral("sign1"), QStringLiteral("sign2"),
            QStringLiteral("tol1"), QStringLiteral("tol2")}));
    EXPECT_EQ(rows[1].toObject().value(QStringLiteral("color")).toInteger(), 0x0000FF); // red: 0x00BBGGRR
    EXPECT_FALSE(shown.json.value(QStringLiteral("productCode")).toString().isEmpty());

    test::Scratch dir;
    const QString out = dir.path(QStringLiteral("board.png"));
    const CliRun drawn = cli({QStringLiteral("render"), QStringLiteral("--settings"),
        QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/KIVOTREK.INI"), QStringLiteral("--preview"),
        QStringLiteral("-o"), out, QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board.gbr")});
    EXPECT_EQ(drawn.exitCode, 0) << drawn.err.constData();
    EXPECT_TRUE(QFile::exists(out));

    const CliRun missing =
        cli({QStringLiteral("settings"), QStringLiteral("show"), QStringLiteral("/nonexistent.ini")});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_EQ(QString::fromUtf8(missing.err).trimmed(),
        QStringLiteral("設定ファイル/nonexistent.iniを読み込めませんでした。") + test::reason(ENOENT));
    EXPECT_EQ(cli({QStringLiteral("settings"), QStringLiteral("list")}).exitCode, 64);
    EXPECT_EQ(cli({QStringLiteral("render"), QStringLiteral("--settings"), QStringLiteral("/nonexistent.ini"),
                      QStringLiteral("--preview"), QStringLiteral("-o"), out,
                      QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board.gbr")})
                  .exitCode,
        3);
}

TEST(CliRender, PrintedPageAsPdfSvgAndPng)
{
    test::Scratch dir;
    const QString gerber = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board.gbr");
    const QString ini = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/KIVOTREK.INI");
    const QString pdf = dir.path(QStringLiteral("page.pdf"));
    CliRun r = cli({QStringLiteral("render"), QStringLiteral("--settings"), ini, QStringLiteral("--page"),
        QStringLiteral("自動(A4縦)"), QStringLiteral("-o"), pdf, gerber});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_TRUE(bytes.contains("/MediaBox [0 0 595")) << "an A4 page";
    EXPECT_TRUE(bytes.contains("/FontDescriptor")) << "the legend's text is text, in an embedded font";

    // No table check on paper: the bare board prints with empty diameters.
    const QString svg = dir.path(QStringLiteral("page.svg"));
    r = cli({QStringLiteral("render"), QStringLiteral("--product-code"), QStringLiteral("KT-001"),
        QStringLiteral("--page"), QStringLiteral("自動(B4横)"), QStringLiteral("--dpi"),
        QStringLiteral("300"), QStringLiteral("-o"), svg, gerber});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    QFile s(svg);
    ASSERT_TRUE(s.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(s.readAll());
    QString viewBox;
    QString lastText;
    QString lastFill;
    QString circleRadius;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("svg"))
            viewBox = xml.attributes().value(QLatin1String("viewBox")).toString();
        if (xml.name() == QLatin1String("circle") && circleRadius.isEmpty())
            circleRadius = xml.attributes().value(QLatin1String("r")).toString();
        if (xml.name() == QLatin1String("text")) {
            lastFill = xml.attributes().value(QLatin1String("fill")).toString();
            lastText = xml.readElementText();
        }
    }
    const QStringList box = viewBox.split(QLatin1Char(' '));
    ASSERT_EQ(box.size(), 4);
    EXPECT_NEAR(box[2].toDouble(), 364 * 1440 / 25.4, 1); // JIS B4 landscape
    EXPECT_NEAR(box[3].toDouble(), 257 * 1440 / 25.4, 1);
    EXPECT_EQ(lastText, QStringLiteral("KT-001"));
    EXPECT_EQ(lastFill, QStringLiteral("#00ff00")); // palette entry 10: the first page of a run
    EXPECT_EQ(circleRadius, QStringLiteral("9.6")); // pen floor(P) = 4 pixels of 4.8 twips

    const QString png = dir.path(QStringLiteral("page.png"));
    r = cli({QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("100"),
        QStringLiteral("--dpi"), QStringLiteral("72"), QStringLiteral("-o"), png, gerber});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QImage(png).size(), QSize(595, 842)); // other sizes print on A4 portrait

    EXPECT_EQ(cli({QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("100"),
                      QStringLiteral("-o"), dir.path(QStringLiteral("x.bmp")), gerber})
                  .exitCode,
        64);
    EXPECT_EQ(cli({QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("100"),
                      QStringLiteral("--dpi"), QStringLiteral("abc"), QStringLiteral("-o"), pdf, gerber})
                  .exitCode,
        64);
    EXPECT_EQ(cli({QStringLiteral("render"), QStringLiteral("--preview"), QStringLiteral("--page"),
                      QStringLiteral("100"), QStringLiteral("-o"), pdf, gerber})
                  .exitCode,
        64);
}

namespace {
// The texts of an SVG document, in order; fails the test when it is not well-formed XML.
QStringList svgTexts(const QString& path)
{
    QXmlStreamReader xml(test::readAll(path));
    QStringList texts;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("text"))
            texts << xml.readElementText();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return texts;
}
} // namespace

TEST(CliRender, SettingsCarryTheProductCodeAndTheOptionWins)
{
    test::Scratch dir;
    const QString gerber = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board.gbr");
    const QString ini = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/KIVOTREK.INI");
    HoleTable table;
    QString stored;
    ASSERT_TRUE(loadSettings(ini, table, stored, nullptr));
    ASSERT_FALSE(stored.isEmpty());
    const QString svg = dir.path(QStringLiteral("page.svg"));
    CliRun r = cli({QStringLiteral("render"), QStringLiteral("--settings"), ini, QStringLiteral("--page"),
        QStringLiteral("自動(A4縦)"), QStringLiteral("-o"), svg, gerber});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(svgTexts(svg).last(), stored);
    r = cli({QStringLiteral("render"), QStringLiteral("--settings"), ini, QStringLiteral("--product-code"),
        QStringLiteral("KT-9"), QStringLiteral("--page"), QStringLiteral("自動(A4縦)"), QStringLiteral("-o"),
        svg, gerber});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(svgTexts(svg).last(), QStringLiteral("KT-9"));

    // A control character in a text cannot go into XML: the document stays well-formed.
    r = cli({QStringLiteral("render"), QStringLiteral("--product-code"),
        QStringLiteral("A\x01"
                       "B&<"),
        QStringLiteral("--page"), QStringLiteral("100"), QStringLiteral("-o"), svg, gerber});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(svgTexts(svg).last(), QStringLiteral("A\uFFFDB&<"));
}

TEST(CliRender, PageSizesPipesDashDashAndEndlessLines)
{
    test::Scratch dir;
    const QString gerber = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board.gbr");
    const QString pdf = dir.path(QStringLiteral("page.pdf"));
    // Neither a size choice nor a number: bad usage, nothing written.
    for (const char* size : {"abc", "0", "-5", "自動", "nan"}) {
        const CliRun r = cli({QStringLiteral("render"), QStringLiteral("--page"), QString::fromUtf8(size),
            QStringLiteral("-o"), pdf, gerber});
        EXPECT_EQ(r.exitCode, 64) << size;
        EXPECT_TRUE(r.err.contains("--page needs a size choice")) << r.err.constData();
    }
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(cli({QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("75.5"),
                      QStringLiteral("--dpi"), QStringLiteral("72"), QStringLiteral("-o"), pdf, gerber})
                  .exitCode,
        0);

    // "--" ends the options: a file whose name starts with a dash.
    const QString dashed = dir.write(QStringLiteral("-board.gbr"), test::readAll(gerber));
    QDir::setCurrent(dir.path(QString()));
    CliRun r = cli({QStringLiteral("read"), QStringLiteral("--"), QStringLiteral("-board.gbr")});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.json.value(QStringLiteral("path")).toString(), QStringLiteral("-board.gbr"));
    r = cli({QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("100"),
        QStringLiteral("--dpi"), QStringLiteral("72"), QStringLiteral("-o"), pdf, QStringLiteral("--"),
        QStringLiteral("-board.gbr")});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(cli({QStringLiteral("read"), QStringLiteral("-board.gbr")}).exitCode, 64);

    // A pipe is read once only: refused with a message, for it could not be drawn.
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.setStandardInputFile(gerber);
    p.setStandardInputFile(QString()); // a pipe, not the file
    p.start(QString::fromUtf8(KIVOTREK_CLI),
        {QStringLiteral("render"), QStringLiteral("--preview"), QStringLiteral("-o"),
            dir.path(QStringLiteral("p.png")), QStringLiteral("/dev/stdin")});
    ASSERT_TRUE(p.waitForStarted());
    p.write(test::readAll(gerber));
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 3);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError())
                    .contains(QStringLiteral("は通常のファイルではないため、読み込めません。")));
    EXPECT_FALSE(QFile::exists(dir.path(QStringLiteral("p.png"))));

    // A line without end: the read and the drawing stop there, in bounded memory.
    const QString endless = dir.path(QStringLiteral("endless.gbr"));
    test::writeEndlessThirdLine(endless);
    r = cli({QStringLiteral("read"), endless});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.json.value(QStringLiteral("stoppedAtLine")).toInt(), 3);
    r = cli({QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("100"),
        QStringLiteral("--dpi"), QStringLiteral("72"), QStringLiteral("-o"), pdf, endless});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("drawing stopped at line 3")) << r.err.constData();
}

TEST(CliRender, NamesThatAreNoUtf8StayTheirBytes)
{
    // A Shift-JIS name from an old archive: b<0x83 0x8A>.gbr, written and read by its bytes.
    test::Scratch dir;
    const QByteArray folder = QFile::encodeName(dir.path(QString()));
    const QByteArray input = folder + "/b\x83\x8a.gbr";
    const QByteArray output = folder + "/o\x83\x8a.png";
    {
        QFile source(QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board.gbr"));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        FILE* f = std::fopen(input.constData(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
        std::fclose(f);
    }
    // The shell passes the bytes as they are; QProcess would pass UTF-8.
    const auto run = [](const QByteArray& script) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("CLI"), QString::fromUtf8(KIVOTREK_CLI));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromLatin1(script)});
        EXPECT_TRUE(p.waitForFinished(30000));
        return std::make_pair(p.exitCode(), p.readAllStandardOutput());
    };
    const QByteArray folderArg = "'" + folder + "'";
    auto [status, out] = run("\"$CLI\" read \"$(printf '%s/b\\203\\212.gbr' " + folderArg + ")\"");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(out.contains("\"ending\":\"complete\"")) << out.constData();
    std::tie(status, out) = run("\"$CLI\" render --preview -o \"$(printf '%s/o\\203\\212.png' " + folderArg
        + ")\" \"$(printf '%s/b\\203\\212.gbr' " + folderArg + ")\"");
    EXPECT_EQ(status, 1); // no diameters: the table check, nothing written
    std::tie(status, out) = run("\"$CLI\" render --page 100 --dpi 72 -o \"$(printf '%s/o\\203\\212.png' "
        + folderArg + ")\" \"$(printf '%s/b\\203\\212.gbr' " + folderArg + ")\"");
    EXPECT_EQ(status, 0);
    struct stat st { };
    EXPECT_EQ(::stat(output.constData(), &st), 0) << "the output has the name's own bytes";
    EXPECT_GT(st.st_size, 0);
    // No temporary file is left beside them (Qt cannot list such names: readdir can).
    QList<QByteArray> names;
    if (DIR* d = ::opendir(folder.constData())) {
        while (const dirent* e = ::readdir(d)) {
            if (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0)
                names << QByteArray(e->d_name);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, QList<QByteArray>({"b\x83\x8a.gbr", "o\x83\x8a.png"}));
}

TEST(CliExcellon, ReadHolesAndRender)
{
    const QString pth = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-PTH.drl");
    CliRun r = cli({QStringLiteral("read"), QStringLiteral("--auto"), pth});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.json.value(QStringLiteral("reader")).toString(), QStringLiteral("excellon"));
    EXPECT_EQ(r.json.value(QStringLiteral("ending")).toString(), QStringLiteral("complete"));
    EXPECT_EQ(r.json.value(QStringLiteral("skippedLines")).toInt(), 0);
    EXPECT_TRUE(r.json.value(QStringLiteral("firstSkippedLine")).isNull());
    const QJsonArray rows = r.json.value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 9);
    EXPECT_EQ(rows[0].toObject(),
        QJsonObject({{QStringLiteral("index"), 0}, {QStringLiteral("dcode"), QStringLiteral("T1")},
            {QStringLiteral("diameter"), QStringLiteral("0.30")}, {QStringLiteral("holes"), 70},
            {QStringLiteral("slots"), 0}, {QStringLiteral("kind"), QStringLiteral("TH")},
            {QStringLiteral("function"), QStringLiteral("ComponentDrill")}, {QStringLiteral("file"), 0}}));

    // A line no rule reads is skipped and named; the rest is kept.
    test::Scratch dir;
    const QString odd =
        dir.write(QStringLiteral("odd.drl"), "M48\nMETRIC\nT1C0.8\n%\nT1\nX1.0Y1.0\n?!\nX2.0Y2.0\nM30\n");
    r = cli({QStringLiteral("read"), QStringLiteral("--excellon"), odd});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.json.value(QStringLiteral("skippedLines")).toInt(), 1);
    EXPECT_EQ(r.json.value(QStringLiteral("firstSkippedLine")).toInt(), 7);

    r = cli({QStringLiteral("holes"), QStringLiteral("--excellon"), odd});
    EXPECT_EQ(r.exitCode, 0);
    const QJsonArray holes = r.json.value(QStringLiteral("holes")).toArray();
    ASSERT_EQ(holes.size(), 2);
    EXPECT_EQ(holes[1].toObject(),
        QJsonObject({{QStringLiteral("row"), 0}, {QStringLiteral("code"), QStringLiteral("T1")},
            {QStringLiteral("diameter"), 0.8}, {QStringLiteral("x"), 2.0}, {QStringLiteral("y"), 2.0}}));
    EXPECT_TRUE(r.json.value(QStringLiteral("slots")).toArray().isEmpty());
    r = cli({QStringLiteral("holes"), QStringLiteral("--csv"), QStringLiteral("--auto"), odd});
    EXPECT_EQ(
        r.out, QByteArray("type,row,code,diameter,x,y,x2,y2\nhole,0,T1,0.8,1,1,,\nhole,0,T1,0.8,2,2,,\n"));

    // A Gerber file's holes as the drawing sees them, in millimetres: flashes and pen-down moves.
    r = cli({QStringLiteral("holes"), test::dataPath("rs274x_drawable.gbr"), QStringLiteral("--rs274x")});
    EXPECT_EQ(r.exitCode, 0);
    const QJsonArray gerberHoles = r.json.value(QStringLiteral("holes")).toArray();
    ASSERT_EQ(gerberHoles.size(), 4);
    EXPECT_EQ(gerberHoles[0].toObject().value(QStringLiteral("x")).toDouble(), 10.0);
    EXPECT_EQ(gerberHoles[0].toObject().value(QStringLiteral("diameter")).toDouble(), 1.0);
    EXPECT_EQ(r.json.value(QStringLiteral("slots")).toArray().size(), 4); // the outline's four sides

    // Drawn with its own rows; two readers at once is bad usage.
    const QString png = dir.path(QStringLiteral("pth.png"));
    r = cli({QStringLiteral("render"), QStringLiteral("--excellon"), QStringLiteral("--preview"),
        QStringLiteral("-o"), png, pth});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_FALSE(QImage(png).isNull());
    EXPECT_EQ(
        cli({QStringLiteral("read"), QStringLiteral("--excellon"), QStringLiteral("--rs274x"), pth}).exitCode,
        64);

    // The printed page of an Excellon file, in the frame of its holes.
    const QString svg = dir.path(QStringLiteral("npth.svg"));
    r = cli({QStringLiteral("render"), QStringLiteral("--auto"), QStringLiteral("--page"),
        QStringLiteral("自動(A4縦)"), QStringLiteral("--dpi"), QStringLiteral("72"), QStringLiteral("-o"),
        svg, QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-NPTH.drl")});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(test::readAll(svg).count("<circle"), 8 + 3); // eight holes and three legend marks
}

TEST(CliBoard, SeveralDrillFilesAndAnOutline)
{
    const QString pth = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-PTH-drl.gbr");
    const QString npth = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-NPTH.drl");
    const QString edge = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-Edge_Cuts.gbr");
    CliRun r = cli({QStringLiteral("read"), pth, npth, QStringLiteral("--outline"), edge});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.json.value(QStringLiteral("reader")).toString(), QStringLiteral("x2"));
    EXPECT_EQ(r.json.value(QStringLiteral("maxX")).toInt(), 5670);
    EXPECT_EQ(r.json.value(QStringLiteral("outline")).toString(), edge);
    const QJsonArray files = r.json.value(QStringLiteral("files")).toArray();
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[0].toObject().value(QStringLiteral("path")).toString(), pth);
    EXPECT_EQ(files[0].toObject().value(QStringLiteral("reader")).toString(), QStringLiteral("x2"));
    EXPECT_EQ(files[0].toObject().value(QStringLiteral("rows")).toArray(), QJsonArray({0, 8}));
    EXPECT_EQ(files[1].toObject().value(QStringLiteral("reader")).toString(), QStringLiteral("excellon"));
    EXPECT_EQ(files[1].toObject().value(QStringLiteral("rows")).toArray(), QJsonArray({9, 11}));
    const QJsonArray rows = r.json.value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 12);
    EXPECT_EQ(
        rows[0].toObject().value(QStringLiteral("function")).toString(), QStringLiteral("ComponentDrill"));
    EXPECT_EQ(rows[9].toObject().value(QStringLiteral("dcode")).toString(), QStringLiteral("T1"));
    EXPECT_EQ(rows[9].toObject().value(QStringLiteral("file")).toInt(), 1);
    // Counts: each row's holes and slots, and the totals by kind.
    EXPECT_EQ(rows[0].toObject().value(QStringLiteral("holes")).toInt(), 70);
    EXPECT_EQ(rows[9].toObject().value(QStringLiteral("holes")).toInt(), 2);
    EXPECT_EQ(rows[9].toObject().value(QStringLiteral("slots")).toInt(), 0);
    EXPECT_EQ(r.json.value(QStringLiteral("totals")).toObject(),
        QJsonObject({{QStringLiteral("th"), 157}, {QStringLiteral("nth"), 8}, {QStringLiteral("other"), 0},
            {QStringLiteral("all"), 165}}));

    // One file alone says it has no outline and which rows it filled.
    r = cli({QStringLiteral("read"), QStringLiteral("--auto"), pth});
    EXPECT_TRUE(r.json.value(QStringLiteral("outline")).isNull());
    EXPECT_EQ(
        r.json.value(QStringLiteral("files")).toArray()[0].toObject().value(QStringLiteral("rows")).toArray(),
        QJsonArray({0, 8}));

    // holes: every file's holes with the index of its file.
    r = cli({QStringLiteral("holes"), pth, npth, QStringLiteral("--outline"), edge});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.json.value(QStringLiteral("files")).toArray(), QJsonArray({pth, npth}));
    const QJsonArray holes = r.json.value(QStringLiteral("holes")).toArray();
    ASSERT_EQ(holes.size(), 157 + 8);
    EXPECT_EQ(holes[0].toObject().value(QStringLiteral("file")).toInt(), 0);
    const QJsonObject last = holes.last().toObject();
    EXPECT_EQ(last.value(QStringLiteral("file")).toInt(), 1);
    EXPECT_EQ(last.value(QStringLiteral("row")).toInt(), 11);
    EXPECT_EQ(last.value(QStringLiteral("x")).toDouble(), 150.0);
    EXPECT_EQ(last.value(QStringLiteral("y")).toDouble(), -54.0);
    r = cli({QStringLiteral("holes"), QStringLiteral("--csv"), pth, npth});
    EXPECT_TRUE(r.out.startsWith("type,row,code,diameter,x,y,x2,y2,file\n"));
    EXPECT_TRUE(r.out.endsWith("hole,11,T3,2.5,150,-54,,,1\n")) << r.out.right(80).constData();

    // The exit status is the worst of the files; the others are still read.
    test::Scratch dir;
    r = cli({QStringLiteral("read"), pth, dir.path(QStringLiteral("gone.drl")), QStringLiteral("--outline"),
        edge});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.json.value(QStringLiteral("ending")).toString(), QStringLiteral("unreadable"));
    EXPECT_EQ(r.json.value(QStringLiteral("files"))
                  .toArray()[1]
                  .toObject()
                  .value(QStringLiteral("ending"))
                  .toString(),
        QStringLiteral("unreadable"));
    EXPECT_EQ(r.json.value(QStringLiteral("outline")).toString(), edge);

    // A warning is a message, not a failure.
    const QString far =
        dir.write(QStringLiteral("far.drl"), "M48\nMETRIC\nT1C1.0\n%\nT1\nX150.0Y-90.0\nX300.0Y-90.0\nM30\n");
    r = cli({QStringLiteral("read"), far, QStringLiteral("--outline"), edge});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.json.value(QStringLiteral("messages")).toArray().size(), 1);

    // render draws the whole board, preview and page.
    const QString png = dir.path(QStringLiteral("board.png"));
    r = cli({QStringLiteral("render"), pth, npth, QStringLiteral("--outline"), edge,
        QStringLiteral("--preview"), QStringLiteral("-o"), png});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    const QImage image(png);
    ASSERT_FALSE(image.isNull());
    const QString svg = dir.path(QStringLiteral("page.svg"));
    r = cli({QStringLiteral("render"), QStringLiteral("--x2"), pth, QStringLiteral("--outline"), edge,
        QStringLiteral("--page"), QStringLiteral("自動(A4縦)"), QStringLiteral("-o"), svg});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_GT(test::readAll(svg).count("<circle"), 100);
}

TEST(CliReport, TheDrillTableAsCsvAndJson)
{
    const QString gbr = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board.gbr");
    const QString ini = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/KIVOTREK.INI");
    CliRun r = cli({QStringLiteral("report"), QStringLiteral("--settings"), ini, gbr});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    // UTF-8 with a byte order mark and CRLF, as spreadsheet programs in Japanese locales take it;
    // the outline row (D10, 外形) is not a hole class.
    EXPECT_TRUE(r.out.startsWith("\xEF\xBB\xBF"
        + QStringLiteral("行,Dコード,ファイル,穴径,公差1,公差2,TH/NTH,穴数,長穴数\r\n"
                         "2,D11,board.gbr,0.30,±0.05,,TH,70,0\r\n")
              .toUtf8()))
        << r.out.left(200).constData();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\r\n9,D18,board.gbr,1.30,＋0.1,－0,TH,3,0\r\n").toUtf8()));
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("\r\n合計,,,,,,,165,0\r\n").toUtf8()));
    EXPECT_EQ(r.out.count("\r\n"), 1 + 12 + 1);

    r = cli({QStringLiteral("report"), QStringLiteral("--json"), QStringLiteral("--settings"), ini, gbr});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.json.value(QStringLiteral("totals")).toObject(),
        QJsonObject({{QStringLiteral("th"), 157}, {QStringLiteral("nth"), 8}, {QStringLiteral("other"), 0},
            {QStringLiteral("all"), 165}}));
    const QJsonArray rows = r.json.value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 12);
    EXPECT_EQ(rows[0].toObject().value(QStringLiteral("row")).toInt(), 2);
    EXPECT_EQ(rows[0].toObject().value(QStringLiteral("tolerance1")).toString(), QStringLiteral("±0.05"));
    EXPECT_EQ(rows[0].toObject().value(QStringLiteral("file")).toString(), QStringLiteral("board.gbr"));

    // A board of several files, counted per file.
    r = cli({QStringLiteral("report"), QStringLiteral("--json"),
        QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-PTH.drl"),
        QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-NPTH-drl.gbr")});
    EXPECT_EQ(r.json.value(QStringLiteral("totals")).toObject().value(QStringLiteral("all")).toInt(), 165);
    const QJsonArray boardRows = r.json.value(QStringLiteral("rows")).toArray();
    EXPECT_EQ(boardRows.first().toObject().value(QStringLiteral("file")).toString(),
        QStringLiteral("board-PTH.drl"));
    EXPECT_EQ(boardRows.last().toObject().value(QStringLiteral("file")).toString(),
        QStringLiteral("board-NPTH-drl.gbr"));

    test::Scratch dir;
    EXPECT_EQ(
        cli({QStringLiteral("report"), QStringLiteral("--csv"), QStringLiteral("--json"), gbr}).exitCode, 64);
    EXPECT_EQ(cli({QStringLiteral("report"), QStringLiteral("--settings")}).exitCode, 64);
    EXPECT_EQ(cli({QStringLiteral("report"), QStringLiteral("--settings"),
                      dir.path(QStringLiteral("none.ini")), gbr})
                  .exitCode,
        3);
    EXPECT_EQ(cli({QStringLiteral("report"), dir.path(QStringLiteral("gone.gbr"))}).exitCode, 3);
}

TEST(CliRender, CountsInTheLegendOnlyWhenAskedFor)
{
    test::Scratch dir;
    const QString gbr = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board.gbr");
    const QString ini = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/KIVOTREK.INI");
    const QString plain = dir.path(QStringLiteral("plain.svg"));
    const QString counted = dir.path(QStringLiteral("counted.svg"));
    for (const QString& svg : {plain, counted}) {
        QStringList args = {QStringLiteral("render"), QStringLiteral("--settings"), ini,
            QStringLiteral("--page"), QStringLiteral("自動(A4縦)"), QStringLiteral("-o"), svg, gbr};
        if (svg == counted)
            args.insert(1, QStringLiteral("--counts"));
        const CliRun r = cli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    }
    const QString withCounts = QString::fromUtf8(test::readAll(counted));
    const QString without = QString::fromUtf8(test::readAll(plain));
    EXPECT_TRUE(withCounts.contains(QStringLiteral("±0.05  TH ×70<"))) << withCounts.left(3000).toStdString();
    EXPECT_TRUE(withCounts.contains(QStringLiteral(">穴数　TH 157　NTH 8　その他 0　合計 165<")));
    EXPECT_FALSE(without.contains(QStringLiteral("×")));
    EXPECT_FALSE(without.contains(QStringLiteral("穴数")));

    // The preview of a board of several files, counted per file.
    const QString png = dir.path(QStringLiteral("p.svg"));
    const CliRun r = cli({QStringLiteral("render"), QStringLiteral("--counts"), QStringLiteral("--preview"),
        QStringLiteral("-o"), png, QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-PTH.drl"),
        QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-NPTH.drl")});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(test::readAll(png).contains(QStringLiteral("2.00  NTH ×2<").toUtf8()));
}

TEST(CliRender, SymbolsOnlyWhenAskedFor)
{
    test::Scratch dir;
    const QString pth = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-PTH.drl");
    const QString plain = dir.path(QStringLiteral("plain.svg"));
    const QString marked = dir.path(QStringLiteral("marked.svg"));
    for (const QString& svg : {plain, marked}) {
        QStringList args = {QStringLiteral("render"), QStringLiteral("--excellon"), QStringLiteral("--page"),
            QStringLiteral("自動(A4縦)"), QStringLiteral("-o"), svg, pth};
        if (svg == marked)
            args.insert(1, QStringLiteral("--symbols"));
        const CliRun r = cli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    }
    // Row 1's holes are open circles, row 4's squares; without the option every hole a dot.
    const QByteArray withMarks = test::readAll(marked);
    const QByteArray without = test::readAll(plain);
    EXPECT_EQ(
        withMarks.count("fill=\"none\" stroke="), (25 + 1) + (10 + 1) + (5 + 1) + (4 + 1) + (3 + 1) + (4 + 1))
        << "rings and open figures of rows 1, 4 to 8 and their legend cells";
    EXPECT_EQ(without.count("fill=\"none\""), 0);
    EXPECT_EQ(without.count("<polygon"), 0);

    const QString preview = dir.path(QStringLiteral("p.png"));
    const CliRun r = cli({QStringLiteral("render"), QStringLiteral("--symbols"), QStringLiteral("--excellon"),
        QStringLiteral("--preview"), QStringLiteral("-o"), preview, pth});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_FALSE(QImage(preview).isNull());
}

TEST(CliSettings, SettingsThatDoNotFitTheFilesAreTold)
{
    // The sample folder's settings file was written for board.gbr's D10 to D22.
    const QString drl = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-PTH.drl");
    const QString ini = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/KIVOTREK.INI");
    CliRun r =
        cli({QStringLiteral("read"), QStringLiteral("--auto"), QStringLiteral("--settings"), ini, drl});
    EXPECT_EQ(r.exitCode, 0);
    const QJsonArray messages = r.json.value(QStringLiteral("messages")).toArray();
    ASSERT_EQ(messages.size(), 1 + 9 + 4);
    EXPECT_EQ(messages[0].toString(),
        QStringLiteral("設定ファイル") + ini + QStringLiteral("は読み込んだファイルと合いません："));
    EXPECT_EQ(messages[1].toString(), QStringLiteral("行1 T1：Dコード T1 → D10"));
    EXPECT_EQ(messages[10].toString(), QStringLiteral("行10 D19：ファイルにないDコード"));
    // Loaded all the same, as the settings say.
    EXPECT_EQ(r.json.value(QStringLiteral("rows"))
                  .toArray()[0]
                  .toObject()
                  .value(QStringLiteral("dcode"))
                  .toString(),
        QStringLiteral("D10"));
    r = cli({QStringLiteral("report"), QStringLiteral("--auto"), QStringLiteral("--settings"), ini, drl});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("行9 T9：Dコード T9 → D18\n")))
        << r.err.constData();
    // Over its own board it fits, and nothing is said.
    r = cli({QStringLiteral("read"), QStringLiteral("--settings"), ini,
        QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board.gbr")});
    EXPECT_TRUE(r.json.value(QStringLiteral("messages")).toArray().isEmpty());
    EXPECT_EQ(cli({QStringLiteral("read"), QStringLiteral("--settings")}).exitCode, 64);
}

TEST(CliRender, APageWhoseBoardRunsPastThePaperSaysSo)
{
    test::Scratch dir;
    const QString gbr = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board.gbr");
    const QString pdf = dir.path(QStringLiteral("big.pdf"));
    CliRun r = cli({QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("300"),
        QStringLiteral("-o"), pdf, gbr});
    // The page is written as asked; a script learns from the status that it is cut.
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(QString::fromUtf8(r.err).trimmed(),
        QStringLiteral("基板が用紙に収まりません（幅 261 mm、用紙 210 mm）。"));
    EXPECT_TRUE(test::readAll(pdf).startsWith("%PDF-"));
    // The same for a picture of the page.
    const QString png = dir.path(QStringLiteral("big.png"));
    r = cli({QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("300"),
        QStringLiteral("--dpi"), QStringLiteral("72"), QStringLiteral("-o"), png, gbr});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(test::readAll(png).startsWith("\x89PNG"));
    r = cli({QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("100"), QStringLiteral("-o"),
        pdf, gbr});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
}

TEST(CliHoles, ALongListComesWholeAndInOrder)
{
    // 70,000 pen-down moves and flashes between them: the slots are kept aside (past 65,536 in
    // a temporary file) while the holes are listed first, then listed in file order.
    QByteArray gerber = "G54D10*\nX0Y0D02*\n";
    constexpr int kMarks = 70000;
    for (int i = 1; i <= kMarks; ++i)
        gerber += "X" + QByteArray::number(i) + "Y0D01*\nX" + QByteArray::number(i) + "Y5D03*\nX"
            + QByteArray::number(i) + "Y0D02*\n";
    test::Scratch dir;
    const QString path = dir.write(QStringLiteral("long.gbr"), gerber);
    CliRun r = cli({QStringLiteral("holes"), QStringLiteral("--standard"), path});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    const QJsonArray holes = r.json.value(QStringLiteral("holes")).toArray();
    const QJsonArray slotList = r.json.value(QStringLiteral("slots")).toArray();
    ASSERT_EQ(holes.size(), kMarks);
    ASSERT_EQ(slotList.size(), kMarks);
    for (const int i : {0, 65535, 65536, kMarks - 1}) {
        EXPECT_EQ(holes[i].toObject().value(QStringLiteral("x")).toDouble(), (i + 1) * 0.001) << i;
        EXPECT_EQ(slotList[i].toObject().value(QStringLiteral("x1")).toDouble(), i * 0.001) << i;
        EXPECT_EQ(slotList[i].toObject().value(QStringLiteral("x2")).toDouble(), (i + 1) * 0.001) << i;
        EXPECT_EQ(slotList[i].toObject().value(QStringLiteral("code")).toString(), QStringLiteral("D10"))
            << i;
    }
    // The CSV in file order, a line each.
    r = cli({QStringLiteral("holes"), QStringLiteral("--standard"), QStringLiteral("--csv"), path});
    EXPECT_EQ(r.out.count('\n'), 1 + 2 * kMarks);
    EXPECT_TRUE(r.out.endsWith("hole,0,D10,,70,0.005,,\n")) << r.out.right(100).constData();
}

TEST(CliRead, TheFormatOfAnExcellonFileAndWhereItCameFrom)
{
    test::Scratch dir;
    const QString outline = dir.write(QStringLiteral("board.gko"),
        "%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.1*%\nD10*\nX0Y0D02*\nG01*\nX100000000Y0D01*"
        "\nX100000000Y80000000D01*\n"
        "X0Y80000000D01*\nX0Y0D01*\nM02*\n");
    // Metric 3.3, trailing zeros kept, no unit, digits or zeros stated.
    const QString drill = dir.write(
        QStringLiteral("board.drl"), "M48\nT1C0.8\n%\nT1\nX5000Y5000\nX95000Y75000\nX50000Y40000\nM30\n");
    CliRun r = cli({QStringLiteral("read"), drill, QStringLiteral("--outline"), outline});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    const QJsonArray files = r.json.value(QStringLiteral("files")).toArray();
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files[0].toObject().value(QStringLiteral("format")).toObject(),
        QJsonObject({{QStringLiteral("units"), QStringLiteral("metric")}, {QStringLiteral("integer"), 3},
            {QStringLiteral("decimals"), 3}, {QStringLiteral("zeros"), QStringLiteral("trailing")},
            {QStringLiteral("source"), QStringLiteral("fitted")}}));
    EXPECT_TRUE(r.json.value(QStringLiteral("messages"))
                    .toArray()
                    .contains(QStringLiteral(
                        "書式の指定がないため、外形に合う METRIC 3.3（末尾ゼロ）で読みました。")));
    EXPECT_EQ(r.json.value(QStringLiteral("rows")).toArray()[0].toObject().value(QStringLiteral("diameter")),
        QStringLiteral("0.80"));
    // Alone, the defaults, said so; a file of decimal numbers needs no format.
    r = cli({QStringLiteral("read"), QStringLiteral("--auto"), drill});
    EXPECT_EQ(r.json.value(QStringLiteral("files"))
                  .toArray()[0]
                  .toObject()
                  .value(QStringLiteral("format"))
                  .toObject()
                  .value(QStringLiteral("source")),
        QStringLiteral("assumed"));
    EXPECT_EQ(r.json.value(QStringLiteral("messages")).toArray(),
        QJsonArray({QStringLiteral("書式の指定がないため、INCH 2.4（末尾ゼロ）とみなして読みました。")}));
    r = cli({QStringLiteral("read"), QStringLiteral("--auto"), test::example("board-PTH.drl")});
    EXPECT_EQ(r.json.value(QStringLiteral("files")).toArray()[0].toObject().value(QStringLiteral("format")),
        QJsonObject({{QStringLiteral("units"), QStringLiteral("metric")},
            {QStringLiteral("integer"), QJsonValue()}, {QStringLiteral("decimals"), QJsonValue()},
            {QStringLiteral("zeros"), QJsonValue()}, {QStringLiteral("source"), QStringLiteral("decimal")}}));
    // Gerber files state their own format.
    r = cli({QStringLiteral("read"), QStringLiteral("--auto"), test::example("board-PTH-drl.gbr")});
    EXPECT_TRUE(r.json.value(QStringLiteral("files"))
                    .toArray()[0]
                    .toObject()
                    .value(QStringLiteral("format"))
                    .isNull());
}

TEST(CliUsage, EachCommandsHelpTheVersionAndAReaderByDefault)
{
    CliRun r = cli({QStringLiteral("--version")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QByteArray("kivotrek-cli 3.0.1\n"));
    r = cli({QStringLiteral("read"), QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith("usage: kivotrek-cli read [READER]")) << r.out.constData();
    EXPECT_FALSE(r.out.contains("kivotrek-cli holes"));
    EXPECT_TRUE(r.out.contains("--standard or --rs274x"));
    r = cli({QStringLiteral("render"), QStringLiteral("--help")});
    EXPECT_TRUE(r.out.contains("自動(A4縦)")) << r.out.constData();
    // After "--" it is a file's name.
    EXPECT_EQ(cli({QStringLiteral("read"), QStringLiteral("--"), QStringLiteral("--help")}).exitCode, 3);

    // Without a reader option a file is read as the desktop program reads a file it is given: a
    // KiCad drill file as Excellon, by read, report and render alike.
    const QString pth = test::example("board-PTH.drl");
    r = cli({QStringLiteral("read"), pth});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.json.value(QStringLiteral("reader")).toString(), QStringLiteral("excellon"));
    r = cli({QStringLiteral("report"), pth});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("T1,board-PTH.drl,0.30")) << r.out.constData();
    test::Scratch dir;
    r = cli({QStringLiteral("render"), QStringLiteral("--preview"), QStringLiteral("-o"),
        dir.path(QStringLiteral("p.png")), pth});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    // The original read, named: it stops at the first coordinate; report then writes no table.
    r = cli({QStringLiteral("report"), QStringLiteral("--standard"), pth});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.isEmpty()) << r.out.constData();
    r = cli({QStringLiteral("holes"), QStringLiteral("--standard"), pth});
    EXPECT_TRUE(r.out.isEmpty()) << r.out.constData();
}

TEST(CliUsage, EveryReadersOptionItsHelpAndItsMistakesAsScriptsKnowThem)
{
    // The READER paragraph, made from the readers' table, as every version printed it.
    const QByteArray readerNotes =
        "  READER  --auto (the default: as the desktop program chooses for a file it is\n"
        "          given: Excellon, Gerber X2, RS-274X or standard by its first lines),\n"
        "          --standard (standard Gerber F4.3), --rs274x, --excellon (an Excellon\n"
        "          drill file), --x2 (today's Gerber drill and outline files). Scripts of\n"
        "          the original two reads pass --standard or --rs274x\n"
        "  FILE... several drill files";
    EXPECT_TRUE(cli({QStringLiteral("--help")}).out.contains("\n\n" + readerNotes));
    EXPECT_TRUE(cli({QStringLiteral("holes"), QStringLiteral("--help")}).out.contains("\n\n" + readerNotes));

    // Each option names its reader, and the JSON says it by its id.
    const QString gerber = test::example("board.gbr");
    for (const char* id : {"standard", "rs274x", "excellon", "x2"}) {
        const CliRun r = cli({QStringLiteral("read"), QStringLiteral("--") + QLatin1String(id), gerber});
        EXPECT_EQ(r.json.value(QStringLiteral("reader")).toString(), QLatin1String(id)) << r.err.constData();
    }
    EXPECT_EQ(cli({QStringLiteral("read"), QStringLiteral("--auto"), gerber})
                  .json.value(QStringLiteral("reader"))
                  .toString(),
        QStringLiteral("standard"));

    // Two readers, or a whole board's reader for several files: bad usage, in these words.
    CliRun r = cli({QStringLiteral("read"), QStringLiteral("--x2"), QStringLiteral("--auto"), gerber});
    EXPECT_EQ(r.exitCode, 64);
    EXPECT_TRUE(r.err.startsWith(
        "kivotrek-cli: read: give one reader: --standard, --rs274x, --excellon, --x2 or --auto\nusage: "))
        << r.err.constData();
    r = cli({QStringLiteral("holes"), QStringLiteral("--rs274x"), gerber, QStringLiteral("--outline"),
        test::example("board-Edge_Cuts.gbr")});
    EXPECT_EQ(r.exitCode, 64);
    EXPECT_TRUE(r.err.startsWith("kivotrek-cli: holes: --standard and --rs274x read one file alone; give "
                                 "--excellon, --x2 or --auto for several files or an outline\nusage: "))
        << r.err.constData();
}

TEST(CliPackage, AFolderOrAnArchiveIsReadAsAPackage)
{
    test::Scratch dir;
    const QString folder = dir.path(QStringLiteral("kicad"));
    QDir().mkpath(folder);
    for (const char* name : {"board-PTH.drl", "board-NPTH.drl", "board-Edge_Cuts.gbr", "board.gbr"})
        QFile::copy(test::example(name), folder + QLatin1Char('/') + QLatin1String(name));
    CliRun r = cli({QStringLiteral("read"), folder});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    const QJsonObject package = r.json.value(QStringLiteral("package")).toObject();
    EXPECT_EQ(package.value(QStringLiteral("path")).toString(), folder);
    const QJsonArray members = package.value(QStringLiteral("members")).toArray();
    ASSERT_EQ(members.size(), 4);
    EXPECT_EQ(members[2].toObject(),
        QJsonObject({{QStringLiteral("name"), QStringLiteral("board-PTH.drl")},
            {QStringLiteral("role"), QStringLiteral("plated")},
            {QStringLiteral("why"), QStringLiteral("X2 属性 Plated")}}));
    EXPECT_EQ(members[3].toObject().value(QStringLiteral("role")).toString(), QStringLiteral("unused"));
    // Beside the files, every layer with its role on the board: the standard Gerber file says none.
    const QJsonArray layers = r.json.value(QStringLiteral("layers")).toArray();
    ASSERT_EQ(layers.size(), 3);
    EXPECT_EQ(layers[0].toObject(),
        QJsonObject({{QStringLiteral("file"), QStringLiteral("board-Edge_Cuts.gbr")},
            {QStringLiteral("role"), QStringLiteral("outline")}, {QStringLiteral("copper"), QJsonValue()},
            {QStringLiteral("why"), QStringLiteral("X2 属性 Profile")}}));
    EXPECT_EQ(layers[2].toObject().value(QStringLiteral("role")).toString(), QStringLiteral("drill"));
    const QJsonArray files = r.json.value(QStringLiteral("files")).toArray();
    ASSERT_EQ(files.size(), 3);
    EXPECT_EQ(
        files[0].toObject().value(QStringLiteral("member")).toString(), QStringLiteral("board-PTH.drl"));
    EXPECT_EQ(files[1].toObject().value(QStringLiteral("role")).toString(), QStringLiteral("nonPlated"));
    EXPECT_EQ(files[2].toObject().value(QStringLiteral("role")).toString(), QStringLiteral("outline"));
    EXPECT_EQ(
        r.json.value(QStringLiteral("outline")).toString(), folder + QStringLiteral("/board-Edge_Cuts.gbr"));
    EXPECT_EQ(r.json.value(QStringLiteral("totals")).toObject().value(QStringLiteral("all")).toInt(), 165);
    // report and holes take it alike.
    r = cli({QStringLiteral("report"), QStringLiteral("--json"), folder});
    EXPECT_EQ(r.json.value(QStringLiteral("totals")).toObject().value(QStringLiteral("all")).toInt(), 165);

    // Two boards in one folder: refused with their names, then one chosen.
    QFile lid(folder + QStringLiteral("/lid-PTH.drl"));
    ASSERT_TRUE(lid.open(QIODevice::WriteOnly));
    lid.write("M48\nMETRIC\nT1C0.8\n%\nT1\nX120.0Y-100.0\nM30\n");
    lid.close();
    r = cli({QStringLiteral("read"), folder});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.json.value(QStringLiteral("ending")).toString(), QStringLiteral("rejected"));
    EXPECT_EQ(r.json.value(QStringLiteral("messages")).toArray().first().toString(),
        folder
            + QStringLiteral(
                "には複数の基板（board、lid）の穴のファイルがあります。基板をひとつ選んで下さい。"));
    r = cli({QStringLiteral("read"), QStringLiteral("--board"), QStringLiteral("lid"), folder});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.json.value(QStringLiteral("files"))
                  .toArray()[0]
                  .toObject()
                  .value(QStringLiteral("member"))
                  .toString(),
        QStringLiteral("lid-PTH.drl"));
    // A name that is no board of it is bad usage, said with the boards it has; nothing printed.
    r = cli({QStringLiteral("read"), QStringLiteral("--board"), QStringLiteral("panel"), folder});
    EXPECT_EQ(r.exitCode, 64);
    EXPECT_TRUE(r.out.isEmpty()) << r.out.constData();
    EXPECT_EQ(QString::fromUtf8(r.err).trimmed(),
        QStringLiteral("kivotrek-cli: ") + folder
            + QStringLiteral("に基板「panel」はありません（board、lid）。"));
    // A package refused before it is read names no reader.
    r = cli({QStringLiteral("read"), folder});
    EXPECT_TRUE(r.json.value(QStringLiteral("reader")).isNull());
    // A damaged archive is unreadable.
    const QString zip = dir.write(QStringLiteral("board.zip"), QByteArray("PK\x03\x04 damaged", 12));
    r = cli({QStringLiteral("read"), zip});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(r.json.value(QStringLiteral("messages"))
                    .toArray()
                    .first()
                    .toString()
                    .startsWith(QStringLiteral("board.zipはアーカイブとして読めません。")));
}
