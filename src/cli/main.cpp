// kivotrek-cli: the batch front end over the same core as the desktop program.

#include "cli/clicommon.h"
#include "cli/rawpaths.h"
#include "common/fileio.h"
#include "common/temporarypaths.h"
#include "drawing/pagelayout.h"

#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kivotrek::cli {

namespace {
// Each command's synopsis and description; %1 and %2 are the first and the last size choice.
struct CommandHelp {
    const char* name;
    const char* synopsis;
    const char* description;
};
const CommandHelp kCommands[] = {
    {"read", "kivotrek-cli read [READER] [--settings INI] FILE... [--outline FILE] [--board NAME]",
        "  read    reads a file as the program's read commands do and prints the result as\n"
        "          one JSON object; drawingStopsAtLine says where a drawing would stop.\n"
        "          A settings file that does not fit the files read (another board's\n"
        "          D-codes or diameters) is loaded all the same, each difference a line\n"
        "          of the messages (render and report: on stderr)\n"
        "          exit status: 0 complete, 2 rejected or stopped by a fault (a line that\n"
        "          cannot be read, a limit of the reader, more than 63 tools on a board,\n"
        "          a package of several boards without --board), 3 file unreadable or no\n"
        "          drill data, 64 bad usage\n"},
    {"holes", "kivotrek-cli holes [READER] [--csv] FILE... [--outline FILE] [--board NAME]",
        "  holes   lists every hole and slot in millimetres (file coordinates, y up) as\n"
        "          JSON, or as CSV with --csv; nothing when the files cannot be read.\n"
        "          exit status as for read\n"},
    {"render",
        "kivotrek-cli render [READER] [--settings INI] [--counts] [--symbols]\n"
        "                           --preview -o OUT FILE... [--outline FILE] [--board NAME]\n"
        "       kivotrek-cli render [READER] [--settings INI] [--counts] [--symbols]\n"
        "                           [--product-code TEXT] --page SIZE [--dpi N] -o OUT\n"
        "                           FILE... [--outline FILE] [--board NAME]",
        "  render  reads the file, loads the settings file if given, checks the hole table\n"
        "          and draws the preview picture into OUT (.bmp, .png or .svg); with --page\n"
        "          SIZE (a size choice: \"%1\" ... \"%2\", or a percentage) the printed\n"
        "          page instead, at N dots per inch (600), into OUT (.pdf, .svg or .png),\n"
        "          without the table check. --counts ends each legend cell with its\n"
        "          row's count (\"×156\", \"×24+2\" with slots) and prints the totals\n"
        "          under the legend on the page; --symbols draws each row's holes and\n"
        "          legend mark as a symbol of its own (filled or open circle, cross, X,\n"
        "          square, diamond, triangle, hexagon and their combinations, 63 in all)\n"
        "          that stays apart in black-and-white printing\n"
        "          exit status: 0 done, 1 a used row has no diameter (nothing written),\n"
        "          2 the read or the drawing stopped early (what was read and drawn is\n"
        "          written), 3 a file cannot be read or written, or OUT is one of the\n"
        "          inputs (nothing written), 64 bad usage\n"},
    {"report",
        "kivotrek-cli report [READER] [--settings INI] [--csv|--json] FILE...\n"
        "                           [--outline FILE] [--board NAME]",
        "  report  the drill table: each row's D-code, diameter, tolerances, kind, holes\n"
        "          and slots, and the totals, as CSV (UTF-8 with BOM, the default) or\n"
        "          JSON, after the settings file if given; nothing when the files cannot\n"
        "          be read. exit status as for read, and 2 when the drawing would stop\n"
        "          early (the counts of what is drawn)\n"},
    {"check",
        "kivotrek-cli check [READER] [--settings INI] [--min-spacing MM] [--min-edge MM]\n"
        "                           [--min-drill MM] [--slot-ratio R] [--csv|--json] FILE...\n"
        "                           [--outline FILE] [--board NAME]",
        "  check   the drill checks of the board, after the settings file if given:\n"
        "          holes stacked (centres within 0.01 mm) or overlapping, holes closer\n"
        "          than --min-spacing edge to edge (0.20), holes cut by the outline or\n"
        "          closer to it than --min-edge (0.25; only with an outline: a standard\n"
        "          or RS-274X file's drawn lines, or --outline), rows below --min-drill\n"
        "          (0.15) or whose diameter is not the file's own, slots shorter end to\n"
        "          end than --slot-ratio (2.0) times their width, and tools whose own\n"
        "          plating is not their file's. Each finding with its rows (from 1),\n"
        "          files, place, measured value and limit, as CSV (UTF-8 with BOM, the\n"
        "          default) or JSON; at most 100,000 findings. Where thousands of\n"
        "          slots or lines lie on one another the checks stop there and say so\n"
        "          (\"crowded\"; exit 2). exit status: 0 no finding, 5 findings, else\n"
        "          as for read\n"},
    {"settings", "kivotrek-cli settings show INI",
        "  settings show\n"
        "          prints the hole table and product code of a KIVOTREK.INI as JSON.\n"
        "          exit status: 0 done, 3 file unreadable, 64 bad usage\n"},
};

// After the READER paragraph, which the readers' table makes (readerNotes).
const char* const kFileNotes =
    "  FILE... several drill files and --outline FILE draw one board: the first\n"
    "          file read, the others added into the free rows, the outline last;\n"
    "          each file Excellon or Gerber X2 by its first lines unless a reader\n"
    "          is named. exit status: the worst of the files. A FILE that is a folder\n"
    "          or an archive (.zip, .7z, .rar, .tar, .tar.gz, .tar.bz2, .tar.xz) is a\n"
    "          package: each member's role is found (plated, non-plated drill file,\n"
    "          outline, not used) and the board built from it; --board NAME picks\n"
    "          one board of a package that holds several\n";

const char* const kCommonNotes =
    "  --      ends the options\n"
    "  --help  after a command: that command's usage; --version: the version\n"
    "  No output replaces an input: -o, or standard output redirected into a file,\n"
    "  naming a drill file, the outline, the settings file or the logo is refused\n"
    "  (exit 3). A failed write to standard output exits 3.\n";

QByteArray withSizes(const QString& text)
{
    const QStringList& sizes = sizeChoices();
    return QString(text).arg(sizes.first(), sizes.last()).toUtf8();
}
} // namespace

QByteArray usageText()
{
    QString text;
    for (const CommandHelp& c : kCommands)
        text += QString::fromUtf8(&c == kCommands ? "usage: " : "       ") + QString::fromUtf8(c.synopsis)
            + QLatin1Char('\n');
    text += QLatin1Char('\n') + readerNotes() + QString::fromUtf8(kFileNotes);
    for (const CommandHelp& c : kCommands)
        text += QString::fromUtf8(c.description);
    text += QString::fromUtf8(kCommonNotes);
    return withSizes(text);
}

// The usage of one command, or nothing for a name that is none.
QByteArray commandUsage(const QString& command)
{
    for (const CommandHelp& c : kCommands) {
        if (command == QLatin1String(c.name)) {
            QString text = QStringLiteral("usage: ") + QString::fromUtf8(c.synopsis) + QStringLiteral("\n\n");
            if (command != QLatin1String("settings"))
                text += readerNotes() + QString::fromUtf8(kFileNotes);
            text += QString::fromUtf8(c.description) + QString::fromUtf8(kCommonNotes);
            return withSizes(text);
        }
    }
    return QByteArray();
}

namespace {
int standardOutputError = 0; // errno of the first write to standard output that failed
// Standard output redirected into a regular file: its size before the command wrote to it, so
// that a write that fails half-way (a disk that fills up) leaves the file as it was.
std::optional<off_t> standardOutputStart;
} // namespace

void noteStandardOutput()
{
    struct stat info { };
    if (::fstat(STDOUT_FILENO, &info) == 0 && S_ISREG(info.st_mode))
        standardOutputStart = info.st_size;
}

void printOut(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size())
        && !standardOutputError)
        standardOutputError = errno ? errno : EIO;
}

int standardOutputStatus(int status)
{
    errno = 0;
    if (std::fflush(stdout) != 0 && !standardOutputError)
        standardOutputError = errno ? errno : EIO;
    if (!standardOutputError && std::ferror(stdout))
        standardOutputError = EIO;
    if (!standardOutputError)
        return status;
    // Nothing of the command is left in a file it could not write whole.
    struct stat info { };
    if (standardOutputStart && ::fstat(STDOUT_FILENO, &info) == 0 && info.st_size > *standardOutputStart)
        (void)::ftruncate(STDOUT_FILENO, *standardOutputStart);
    std::fprintf(
        stderr, "kivotrek-cli: cannot write to standard output: %s\n", std::strerror(standardOutputError));
    return kUnreadable;
}

int finish(int status)
{
#if defined(KIVOTREK_FULL_TEARDOWN)
    return status;
#else
    std::fflush(stdout);
    std::fflush(stderr);
    // No destructor runs: an unpacked package goes now.
    temporaryPaths::removeAll();
    std::_Exit(status);
#endif
}

int usageError(const QString& text)
{
    std::fprintf(stderr, "kivotrek-cli: %s\n%s", text.toLocal8Bit().constData(), usageText().constData());
    return kUsage;
}

} // namespace kivotrek::cli

namespace {
// The command line speaks for itself: Qt's own chatter (a missing runtime folder and the like)
// stays out of its output; real errors still show.
void quietQt(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}
} // namespace

int main(int argc, char** argv)
{
    using namespace kivotrek::cli;
    // Before any thread starts: Ctrl+C, a closed terminal or a kill leave no unpacked package
    // and no half-written output behind.
    kivotrek::temporaryPaths::removeOnSignals();
    noteStandardOutput();
    qInstallMessageHandler(quietQt);
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << argumentText(argv[i]);
    if (args.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const QString command = args.takeFirst();
    // What a look at a file opened to choose its reader is taken by its read, or closed here.
    const kivotrek::HeldInputsScope held;
    int status = kUsage;
    // "COMMAND --help" before "--": that command's usage.
    const qsizetype optionsEnd = args.indexOf(QStringLiteral("--"));
    const QStringList options = optionsEnd < 0 ? args : args.mid(0, optionsEnd);
    const bool help = options.contains(QStringLiteral("--help")) || options.contains(QStringLiteral("-h"));
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        printOut(usageText());
        status = kDone;
    } else if (command == QLatin1String("--version")) {
        printOut("kivotrek-cli " KIVOTREK_VERSION "\n");
        status = kDone;
    } else if (help && !commandUsage(command).isEmpty()) {
        printOut(commandUsage(command));
        status = kDone;
    } else if (command == QLatin1String("read")) {
        status = runRead(args);
    } else if (command == QLatin1String("settings")) {
        status = runSettings(args);
    } else if (command == QLatin1String("report")) {
        status = runReport(args);
    } else if (command == QLatin1String("check")) {
        status = runCheck(args);
    } else if (command == QLatin1String("holes")) {
        status = runHoles(args);
    } else if (command == QLatin1String("render")) {
        status = runRender(args, argc, argv);
    } else {
        return usageError(QStringLiteral("unknown command: ") + command);
    }
    return standardOutputStatus(status);
}
