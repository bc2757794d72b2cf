// How often each batch command opens each of its input files, as KIVOTREK_TRACE_OPENS notes the
// opens: the sample board's drill files with its outline, and its standard file with its
// settings, through every command.

#include "testutil.h"

#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {

// Each command's options before the files, split at spaces; OUT.ext is an output in the scratch
// folder.
const char* const kCommands[] = {
    "read",
    "holes",
    "holes --csv",
    "report",
    "report --json",
    "render --preview -o OUT.svg",
    "render --preview -o OUT.png",
    "render --page 自動(A4縦) --dpi 100 -o OUT.pdf",
    "check",
};

struct Input {
    const char* name;
    QStringList arguments; // after the command's options
    QStringList files; // every file among them
    QString settings; // given with --settings to every command that takes it (all but holes)
};

QList<Input> inputs()
{
    const QString pth = test::example("board-PTH.drl");
    const QString npth = test::example("board-NPTH-drl.gbr");
    const QString outline = test::example("board-Edge_Cuts.gbr");
    const QString standard = test::example("board.gbr");
    return {
        {"sample board", {pth, npth, QStringLiteral("--outline"), outline}, {pth, npth, outline}, QString()},
        {"standard file", {standard}, {standard}, test::example("KIVOTREK.INI")},
    };
}

bool takesSettings(const char* command)
{
    return !QByteArray(command).startsWith("holes");
}

// The files a command is given: the input's, and its settings file where the command takes one.
QStringList filesOf(const char* command, const Input& input)
{
    QStringList files = input.files;
    if (!input.settings.isEmpty() && takesSettings(command))
        files << input.settings;
    return files;
}

struct TracedRun {
    int exitCode = -1;
    QByteArray out;
};

// The command with its opens traced into the log, or untraced for an empty log.
TracedRun run(const QStringList& args, const QString& log)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("KIVOTREK_TRACE_OPENS"));
    if (!log.isEmpty())
        env.insert(QStringLiteral("KIVOTREK_TRACE_OPENS"), log);
    p.setProcessEnvironment(env);
    p.start(QString::fromUtf8(KIVOTREK_CLI), args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitCode(), p.readAllStandardOutput()};
}

struct Opens {
    int exitCode = -1;
    QMap<QString, int> count; // by the file's canonical path
};

// Runs the command with its opens traced into a log of the scratch folder and counts the lines.
Opens opensOf(test::Scratch& dir, const char* command, const Input& input)
{
    static int runs = 0;
    const QString log = dir.path(QStringLiteral("opens-%1.log").arg(++runs));
    QStringList args;
    for (const QString& option : QString::fromUtf8(command).split(QLatin1Char(' ')))
        args << (option.startsWith(QLatin1String("OUT.")) ? dir.path(option) : option);
    if (!input.settings.isEmpty() && takesSettings(command))
        args << QStringLiteral("--settings") << input.settings;
    args << input.arguments;
    Opens opens;
    opens.exitCode = run(args, log).exitCode;
    for (const QByteArray& line : test::readAll(log).split('\n')) {
        if (line.isEmpty())
            continue;
        const QString path = QFile::decodeName(line);
        const QString canonical = QFileInfo(path).canonicalFilePath();
        ++opens.count[canonical.isEmpty() ? path : canonical];
    }
    return opens;
}

QString canonical(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

QString described(const QMap<QString, int>& count)
{
    QStringList parts;
    for (auto i = count.cbegin(); i != count.cend(); ++i)
        parts << QStringLiteral("%1 ×%2").arg(QFileInfo(i.key()).fileName()).arg(i.value());
    return parts.join(QStringLiteral(", "));
}

} // namespace

// Every command opens each of its inputs and nothing else, and the trace sees every open: the
// board's files, the outline, the settings file.
TEST(CliInputOpens, TheTraceNamesEachInputEveryCommandReads)
{
    test::Scratch dir;
    for (const Input& input : inputs()) {
        for (const char* command : kCommands) {
            SCOPED_TRACE(std::string(command) + " on the " + input.name);
            QSet<QString> files;
            for (const QString& f : filesOf(command, input))
                files << canonical(f);
            const Opens opens = opensOf(dir, command, input);
            EXPECT_EQ(opens.exitCode, std::string(command) == "check" ? 5 : 0);
            EXPECT_EQ(QSet<QString>(opens.count.keyBegin(), opens.count.keyEnd()), files)
                << described(opens.count).toStdString();
        }
    }
}

// A traced run prints what an untraced one prints, and its log holds whole lines, each the path
// of the one input; without the variable no log appears.
TEST(CliInputOpens, TracingLeavesTheCommandAsItIs)
{
    test::Scratch dir;
    const QString log = dir.path(QStringLiteral("opens.log"));
    const QStringList args {QStringLiteral("report"), test::example("board.gbr")};
    const TracedRun plain = run(args, QString());
    EXPECT_FALSE(QFileInfo::exists(log));
    const TracedRun traced = run(args, log);
    EXPECT_EQ(traced.exitCode, plain.exitCode);
    EXPECT_EQ(traced.out, plain.out);
    const QList<QByteArray> lines = test::readAll(log).split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines.back().isEmpty()); // whole lines
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i], QFile::encodeName(test::example("board.gbr")));
}

// The board reads each file once for all a command does with it; the look that chose its reader
// is that same open.
TEST(CliInputOpens, EachInputFileIsOpenedOncePerCommand)
{
    test::Scratch dir;
    for (const Input& input : inputs()) {
        for (const char* command : kCommands) {
            const Opens opens = opensOf(dir, command, input);
            QStringList again;
            for (auto i = opens.count.cbegin(); i != opens.count.cend(); ++i) {
                if (i.value() > 1)
                    again << QFileInfo(i.key()).fileName();
            }
            EXPECT_TRUE(again.isEmpty()) << command << " on the " << input.name << " opens "
                                         << again.join(QStringLiteral(", ")).toStdString()
                                         << " more than once: " << described(opens.count).toStdString();
        }
    }
}
