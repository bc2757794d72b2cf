// What kivotrek-cli writes when it fails: nothing. On exit 1, 3 or 64 no output file appears and
// an old one stays as it was, standard output redirected into a file included; a package's
// members are inputs like the files given; an interrupted read leaves no unpacked archive.

#include "cli/clirun.h"
#include "package/archivewriter.h"
#include "testutil.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <string>

using namespace kivotrek;
using test::cli;
using test::CliRun;

namespace {
// A KiCad board as a folder: its plated and non-plated drill files and its outline.
QString kicadFolder(test::Scratch& dir, const QString& name)
{
    const QString folder = dir.path(name);
    QDir().mkpath(folder);
    for (const char* file : {"board-PTH.drl", "board-NPTH.drl", "board-Edge_Cuts.gbr"})
        QFile::copy(test::example(file), folder + QLatin1Char('/') + QLatin1String(file));
    return folder;
}

// The command with standard output appended to a file, as a shell's ">>" does.
CliRun cliInto(const QStringList& args, const QString& file)
{
    return cli(args, file);
}
} // namespace

TEST(CliNothingOnFailure, NoOutputOfAnyKindAppearsAndAnOldOneStays)
{
    test::Scratch dir;
    const QString missing = dir.path(QStringLiteral("gone.drl"));
    // Two boards in one folder: refused until one is named.
    const QString twoBoards = kicadFolder(dir, QStringLiteral("two"));
    dir.write(QStringLiteral("two/lid-PTH.drl"), "M48\nMETRIC\nT1C0.8\n%\nT1\nX120.0Y-100.0\nM30\n");
    const QString oneBoard = kicadFolder(dir, QStringLiteral("one"));
    // A used row without a diameter: the preview's table check fails.
    const QString noDiameter = dir.write(QStringLiteral("nodiameter.gbr"), "G54D10*\nX1000Y1000D03*\nM02*\n");
    struct Failure {
        const char* what;
        QStringList input;
        int status;
        bool previewOnly; // a failure of the preview's table check
    };
    const Failure failures[] = {
        {"unreadable input", {missing}, 3, false},
        {"package refused", {twoBoards}, 2, false},
        {"no such board", {QStringLiteral("--board"), QStringLiteral("panel"), oneBoard}, 64, false},
        {"board of files", {QStringLiteral("--board"), QStringLiteral("x"), test::example("board-PTH.drl")},
            64, false},
        {"table check", {noDiameter}, 1, true},
    };
    struct Output {
        const char* suffix;
        QStringList command; // -o OUT follows, or standard output when stdoutOnly
        bool toStandardOutput;
    };
    const Output outputs[] = {
        {"bmp", {QStringLiteral("render"), QStringLiteral("--preview")}, false},
        {"png", {QStringLiteral("render"), QStringLiteral("--preview")}, false},
        {"svg", {QStringLiteral("render"), QStringLiteral("--preview")}, false},
        {"pdf", {QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("自動(A4横)")}, false},
        {"png",
            {QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("100"),
                QStringLiteral("--dpi"), QStringLiteral("72")},
            false},
        {"svg", {QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("100")}, false},
        {"csv", {QStringLiteral("report")}, true},
        {"csv", {QStringLiteral("holes"), QStringLiteral("--csv")}, true},
        {"json", {QStringLiteral("holes")}, true},
        {"csv", {QStringLiteral("check")}, true},
    };
    for (const Failure& f : failures) {
        for (const Output& o : outputs) {
            const bool preview = o.command.contains(QStringLiteral("--preview"));
            if (f.previewOnly && !preview)
                continue;
            SCOPED_TRACE(
                std::string(f.what) + ": " + o.command.join(QLatin1Char(' ')).toStdString() + " " + o.suffix);
            for (const bool old : {false, true}) {
                const QString out = dir.path(QStringLiteral("out.") + QLatin1String(o.suffix));
                QFile::remove(out);
                if (old)
                    dir.write(QStringLiteral("out.") + QLatin1String(o.suffix), "old");
                const CliRun r = o.toStandardOutput
                    ? cliInto(o.command + f.input, out)
                    : cli(o.command + QStringList {QStringLiteral("-o"), out} + f.input);
                EXPECT_EQ(r.exitCode, f.status) << r.err.constData();
                EXPECT_FALSE(r.err.isEmpty()); // the reason is said
                if (old) {
                    EXPECT_EQ(test::readAll(out), QByteArray("old"));
                } else if (o.toStandardOutput) {
                    EXPECT_TRUE(test::readAll(out).isEmpty()) << test::readAll(out).left(200).constData();
                } else {
                    EXPECT_FALSE(QFile::exists(out));
                }
            }
        }
    }
}

TEST(CliNothingOnFailure, APageAndAPreviewOfAnArchiveAlike)
{
    test::Scratch dir;
    // The board as an archive: its files live in a temporary folder for the whole command.
    const QString zip = dir.path(QStringLiteral("board.zip"));
    test::Members members;
    for (const char* file : {"board-PTH.drl", "board-NPTH.drl", "board-Edge_Cuts.gbr"})
        members.push_back({file, test::readAll(test::example(file))});
    ASSERT_TRUE(test::writeArchive(zip, "zip", members));
    for (const QString& kind : {QStringLiteral("pdf"), QStringLiteral("png"), QStringLiteral("svg")}) {
        const QString out = dir.path(QStringLiteral("page.") + kind);
        const CliRun r =
            cli({QStringLiteral("render"), QStringLiteral("--page"), QStringLiteral("自動(A4横)"),
                QStringLiteral("--dpi"), QStringLiteral("72"), QStringLiteral("-o"), out, zip});
        EXPECT_EQ(r.exitCode, 0) << kind.toStdString() << r.err.constData();
        EXPECT_GT(QFileInfo(out).size(), 2000) << kind.toStdString();
        // Each of the 165 holes is on the page, as in the preview.
        if (kind == QLatin1String("svg")) {
            EXPECT_GE(test::readAll(out).count("<circle"), 165);
        }
    }
    CliRun r = cli({QStringLiteral("render"), QStringLiteral("--preview"), QStringLiteral("-o"),
        dir.path(QStringLiteral("p.png")), zip});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    // --board in every command that takes a package: the one board by its name.
    for (const QString& command : {QStringLiteral("read"), QStringLiteral("holes"), QStringLiteral("report"),
             QStringLiteral("check")}) {
        r = cli({command, QStringLiteral("--board"), QStringLiteral("board"), zip});
        EXPECT_NE(r.exitCode, 64) << command.toStdString() << r.err.constData();
        EXPECT_FALSE(r.out.isEmpty());
    }
    r = cli({QStringLiteral("render"), QStringLiteral("--board"), QStringLiteral("board"),
        QStringLiteral("--preview"), QStringLiteral("-o"), dir.path(QStringLiteral("b.png")), zip});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    r = cli({QStringLiteral("report"), QStringLiteral("--board"), QStringLiteral("lid"), zip});
    EXPECT_EQ(r.exitCode, 64);
    EXPECT_EQ(QString::fromUtf8(r.err).trimmed(),
        QStringLiteral("kivotrek-cli: ") + zip + QStringLiteral("に基板「lid」はありません（board）。"));
}

TEST(CliNothingOnFailure, AMemberOfAPackageIsAnInput)
{
    test::Scratch dir;
    const QString folder = kicadFolder(dir, QStringLiteral("kicad"));
    const QString pth = folder + QStringLiteral("/board-PTH.drl");
    const QByteArray before = test::readAll(pth);
    // holes --csv DIR >> DIR/board-PTH.drl
    for (const QStringList& args : {QStringList {QStringLiteral("holes"), QStringLiteral("--csv"), folder},
             QStringList {QStringLiteral("read"), folder}, QStringList {QStringLiteral("report"), folder},
             QStringList {QStringLiteral("check"), folder}}) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        const CliRun r = cli(args, pth);
        EXPECT_EQ(r.exitCode, 3);
        EXPECT_EQ(QString::fromUtf8(r.err).trimmed(),
            pth + QStringLiteral("は読み込むファイルです。別の名前を指定して下さい。"));
        EXPECT_EQ(test::readAll(pth), before);
    }
    // Every member, used or not: a drill map the customer sent along.
    const QString map = dir.write(QStringLiteral("kicad/board-drl_map.svg"), "<svg/>");
    const CliRun r = cli({QStringLiteral("render"), QStringLiteral("--preview"), QStringLiteral("-o"),
        folder + QStringLiteral("/./board-drl_map.svg"), folder});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(QString::fromUtf8(r.err).trimmed(),
        folder + QStringLiteral("/./board-drl_map.svgは読み込むファイルです。別の名前を指定して下さい。"));
    EXPECT_EQ(test::readAll(map), QByteArray("<svg/>"));
}

TEST(CliNothingOnFailure, NamesThatAreNoUtf8AreShownAsTheUserGaveThem)
{
    test::Scratch dir;
    const QByteArray folder = QFile::encodeName(dir.path(QString()));
    // 基板_上面.drl in code page 932, and a name of no encoding.
    const QByteArray board = folder + "/\x8a\xee\x94\xc2_\x8f\xe3\x96\xca.drl";
    const QByteArray junk = folder + "/\xff\xfe.drl";
    for (const auto& [name, content] : {std::pair {board, test::readAll(test::example("board-PTH.drl"))},
             std::pair {junk, QByteArray("\x01\x02")}}) {
        FILE* f = std::fopen(name.constData(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(content.constData(), 1, size_t(content.size()), f);
        std::fclose(f);
    }
    const auto run = [&](const QByteArray& command, const QByteArray& file) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("CLI"), QString::fromUtf8(KIVOTREK_CLI));
        // The shell passes the bytes as they are (QProcess would pass UTF-8): printf makes them of
        // octal escapes.
        QByteArray escaped;
        for (const char c : file)
            escaped += '\\' + QByteArray::number(static_cast<unsigned char>(c), 8).rightJustified(3, '0');
        env.insert(QStringLiteral("FILE"), QString::fromLatin1(escaped));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
                QStringLiteral("\"$CLI\" %1 \"$(printf \"$FILE\")\"").arg(QString::fromLatin1(command))});
        EXPECT_TRUE(p.waitForFinished(30000));
        return std::make_tuple(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError()));
    };
    auto [status, out, err] = run("report", board);
    EXPECT_EQ(status, 0) << err.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("\n1,T1,基板_上面.drl,0.30,"))) << out.toStdString();
    std::tie(status, out, err) = run("check --json", board);
    EXPECT_TRUE(out.contains(QStringLiteral("\"基板_上面.drl\""))) << out.toStdString();
    std::tie(status, out, err) = run("read", junk);
    EXPECT_EQ(status, 3);
    const QJsonObject read = QJsonDocument::fromJson(out.toUtf8()).object();
    EXPECT_EQ(read.value(QStringLiteral("messages")).toArray(),
        QJsonArray(
            {dir.path(QStringLiteral("\\xFF\\xFE.drlは穴データのファイルではないため、読み込めません。"))}));
    EXPECT_EQ(read.value(QStringLiteral("path")).toString(), dir.path(QStringLiteral("\\xFF\\xFE.drl")));
    ::unlink(board.constData());
    ::unlink(junk.constData());
}

TEST(CliNothingOnFailure, AnInterruptedReadLeavesNoUnpackedArchive)
{
    test::Scratch dir;
    // A board of two million holes in an archive: unpacked, then read for a while.
    QByteArray big = "M48\nMETRIC\nT1C0.300\n%\nT1\n";
    big.reserve(40 << 20);
    for (int i = 0; i < 2'000'000; ++i)
        big += "X" + QByteArray::number(i % 2000 * 0.1, 'f', 1) + "Y"
            + QByteArray::number(i / 2000 * 0.1, 'f', 1) + "\n";
    big += "M30\n";
    const QString zip = dir.path(QStringLiteral("big.zip"));
    ASSERT_TRUE(test::writeArchive(zip, "zip", {{"board-PTH.drl", big}}));
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const QString temp = dir.path(QStringLiteral("tmp%1").arg(signal));
        QDir().mkpath(temp);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), temp);
        p.setProcessEnvironment(env);
        p.start(QString::fromUtf8(KIVOTREK_CLI), {QStringLiteral("read"), zip});
        ASSERT_TRUE(p.waitForStarted());
        // Once the archive is unpacked (its member whole in the temporary folder), the signal.
        QElapsedTimer waited;
        waited.start();
        bool unpacked = false;
        while (!unpacked && waited.elapsed() < 20000 && p.state() == QProcess::Running) {
            for (QDirIterator it(
                     temp, {QStringLiteral("board-PTH.drl")}, QDir::Files, QDirIterator::Subdirectories);
                 it.hasNext();)
                unpacked = unpacked || QFileInfo(it.next()).size() == big.size();
            QThread::msleep(5);
        }
        ASSERT_TRUE(unpacked) << "the read ended before it could be interrupted";
        ::kill(pid_t(p.processId()), signal);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::CrashExit); // ended by the signal, as it would be
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
        EXPECT_EQ(
            QDir(temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }
}
