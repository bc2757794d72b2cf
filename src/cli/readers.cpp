#include "cli/readers.h"

#include "cli/clicommon.h"
#include "cli/rawpaths.h"
#include "common/fileio.h"
#include "common/messages.h"
#include "package/package.h"

#include <QFile>
#include <cstdio>
#include <optional>
#include <unistd.h>
#include <vector>

namespace kivotrek::cli {

bool ReaderChoice::take(const QString& a)
{
    if (a == QLatin1String("--auto")) {
        automatic = true;
        ++given;
        return true;
    }
    for (const ReaderDescriptor& d : readerDescriptors()) {
        if (a == QLatin1String(d.option)) {
            kind = d.kind;
            ++given;
            return true;
        }
    }
    return false;
}

ReaderKind ReaderChoice::resolve(const QString& path) const
{
    return named() ? kind : detectReader(path);
}

const char* readerName(ReaderKind kind)
{
    return kind.id();
}

namespace {
// "a, b, c or d"
QString listed(const QStringList& items, const QString& last)
{
    if (items.size() < 2)
        return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QLatin1Char(' ') + last
        + QLatin1Char(' ') + items.back();
}

QStringList options(std::optional<ReaderScope> scope)
{
    QStringList all;
    for (const ReaderDescriptor& d : readerDescriptors()) {
        if (!scope || d.scope == *scope)
            all << QLatin1String(d.option);
    }
    return all;
}

// Fills lines of at most 80 characters, the first after the label, the others indented as far.
QString wrapped(const QString& label, const QString& text)
{
    constexpr int kWidth = 80;
    const QString indent(label.size(), QLatin1Char(' '));
    QString out, line = label;
    bool lineHasWord = false;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (lineHasWord && line.size() + 1 + word.size() > kWidth) {
            out += line + QLatin1Char('\n');
            line = indent;
            lineHasWord = false;
        }
        line += (lineHasWord ? QStringLiteral(" ") : QString()) + word;
        lineHasWord = true;
    }
    return out + line + QLatin1Char('\n');
}
} // namespace

QString readerNotes()
{
    QStringList names; // in the order a file's first lines are asked in
    for (const ReaderDescriptor* d : recognitionOrder())
        names << QLatin1String(d->name);
    QStringList each;
    for (const ReaderDescriptor& d : readerDescriptors()) {
        each << QLatin1String(d.option)
                + (*d.optionHelp ? QStringLiteral(" (") + QLatin1String(d.optionHelp) + QLatin1Char(')')
                                 : QString());
    }
    return wrapped(QStringLiteral("  READER  "),
        QStringLiteral("--auto (the default: as the desktop program chooses for a file it is given: ")
            + listed(names, QStringLiteral("or")) + QStringLiteral(" by its first lines), ")
            + each.join(QStringLiteral(", "))
            + QStringLiteral(". Scripts of the original two reads pass --standard or --rs274x"));
}

const char* endingName(ReadEnding ending)
{
    switch (ending) {
    case ReadEnding::Complete: return "complete";
    case ReadEnding::Rejected: return "rejected";
    case ReadEnding::Fault: return "fault";
    case ReadEnding::Unreadable: return "unreadable";
    }
    return "complete";
}

int parseFileArguments(const char* command, const QStringList& args, ReaderChoice& reader,
    BoardArguments& files, const std::function<bool(const QString&)>& flag)
{
    bool optionsEnded = false; // after "--" every argument is a file
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!optionsEnded && a == QLatin1String("--"))
            optionsEnded = true;
        else if (!optionsEnded && (reader.take(a) || (flag && flag(a))))
            continue;
        else if (!optionsEnded && a == QLatin1String("--outline")) {
            if (i + 1 >= args.size() || !files.outline.isEmpty())
                return usageError(QStringLiteral("--outline needs one file"));
            files.outline = args[++i];
        } else if (!optionsEnded && a == QLatin1String("--board")) {
            if (i + 1 >= args.size() || !files.board.isEmpty())
                return usageError(QStringLiteral("--board needs one name"));
            files.board = args[++i];
        } else if (!optionsEnded && a.startsWith(QLatin1Char('-')) && a.size() > 1)
            return usageError(QStringLiteral("unknown option: ") + a);
        else
            files.files << a;
    }
    return checkFileArguments(command, reader, files);
}

int takeSettingsOption(const QStringList& args, QString& settings, QStringList& rest)
{
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--")) {
            rest << args.mid(i);
            break;
        }
        if (args[i] == QLatin1String("--settings")) {
            if (i + 1 >= args.size() || !settings.isEmpty())
                return usageError(QStringLiteral("--settings needs one file"));
            settings = args[++i];
            continue;
        }
        rest << args[i];
    }
    return 0;
}

int checkFileArguments(const char* command, const ReaderChoice& reader, const BoardArguments& files)
{
    const QString name = QString::fromLatin1(command);
    if (reader.given > 1)
        return usageError(name + QStringLiteral(": give one reader: ")
            + listed(options(std::nullopt) << QStringLiteral("--auto"), QStringLiteral("or")));
    if (files.files.isEmpty())
        return usageError(name + QStringLiteral(": no file given"));
    if (files.isBoard() && reader.named() && readerOf(reader.kind).scope == ReaderScope::WholeBoard)
        return usageError(name + QLatin1String(": ")
            + listed(options(ReaderScope::WholeBoard), QStringLiteral("and"))
            + QStringLiteral(" read one file alone; give ")
            + listed(options(ReaderScope::DrillFile) << QStringLiteral("--auto"), QStringLiteral("or"))
            + QStringLiteral(" for several files or an outline"));
    return 0;
}

int refuseOutputOverInput(const QString& output, const BoardArguments& files, const QStringList& others)
{
    QStringList inputs = files.files + others;
    if (!files.outline.isEmpty())
        inputs << files.outline;
    QList<QByteArray> names;
    for (const QString& in : inputs)
        names << (in.isEmpty() ? QByteArray() : nativeName(in));
    const int written = output.isEmpty() ? inputWrittenOver(STDOUT_FILENO, names)
                                         : inputWrittenOver(nativeName(output), names);
    if (written < 0)
        return 0;
    // Standard output has no name of its own: the input it would replace names it.
    const QString shown = output.isEmpty() ? inputs[written] : output;
    std::fprintf(stderr, "%s\n", msg::inputAsOutput(shown).toLocal8Bit().constData());
    return kUnreadable;
}

int ReadOutcome::boardFileOf(int given) const
{
    for (size_t f = 0; f < givenFile.size(); ++f) {
        if (givenFile[f] == given)
            return int(f);
    }
    return -1;
}

namespace {
// The exit status for an output that is a member of the package, after saying so; 0 when none is.
int refuseOutputOverMembers(const QString& output, const Package& package, const QString& given)
{
    QList<QByteArray> names;
    for (const PackageMember& m : package.members)
        names << QFile::encodeName(m.path);
    const int written = output.isEmpty() ? inputWrittenOver(STDOUT_FILENO, names)
                                         : inputWrittenOver(nativeName(output), names);
    if (written < 0)
        return 0;
    const QString shown =
        output.isEmpty() ? given + QLatin1Char('/') + package.members[size_t(written)].name : output;
    std::fprintf(stderr, "%s\n", msg::inputAsOutput(shown).toLocal8Bit().constData());
    return kUnreadable;
}

// A package given as the one FILE: its members' roles found, the board of several chosen
// (--board), the board built.
void readPackage(ReadOutcome& o, const BoardArguments& files, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink, const QString& output)
{
    const QString given = files.files.front();
    const auto fail = [&](const QString& text, int status, const char* ending) {
        if (sink && !text.isEmpty())
            sink(text);
        o.status = status;
        o.ending = ending;
        o.refused = true;
    };
    QString error;
    o.package = Package::open(readablePath(given), &error);
    if (!o.package)
        return fail(error, kUnreadable, "unreadable");
    if (const int refused = refuseOutputOverMembers(output, *o.package, given)) {
        o.status = o.stopNow = refused;
        o.refused = true;
        return;
    }
    const QStringList boards = o.package->boards();
    if (!boards.isEmpty() && files.board.isEmpty())
        return fail(msg::packageOfSeveralBoards(given, boards), kStopped, "rejected");
    if (!files.board.isEmpty() && !o.package->chooseBoard(files.board)) {
        // A name that is no board of the package is a mistake of the command line.
        std::fprintf(stderr, "kivotrek-cli: %s\n",
            msg::packageHasNoSuchBoard(given, files.board, o.package->boardNames())
                .toLocal8Bit()
                .constData());
        o.status = o.stopNow = kUsage;
        o.refused = true;
        return;
    }
    const BuiltBoard built = buildBoard(*o.package, o.board, table, extent, sink);
    if (!built.ok)
        return fail(QString(), kStopped, "rejected");
    o.board.package = given;
    int worst = 0;
    for (const PackageFile& f : built.files) {
        const PackageMember& m = o.package->members[size_t(f.member)];
        const int rank = f.outcome.ending == ReadEnding::Unreadable ? 3
            : f.outcome.ending == ReadEnding::Complete              ? 0
                                                                    : 2;
        if (rank > worst) {
            worst = rank;
            o.ending = endingName(f.outcome.ending);
            o.stoppedAtLine = f.outcome.stoppedAtLine;
            o.status = rank;
        }
        if (o.files.empty())
            o.reader = f.outcome.reader;
        if (m.role != PackageMember::Role::Outline && o.board.files.size() > o.givenFile.size())
            o.givenFile.push_back(int(o.files.size()));
        o.files.push_back(f.outcome);
        o.shown << given + QLatin1Char('/') + m.name;
        o.members.push_back(f.member);
    }
}
} // namespace

ReadOutcome readBoard(const ReaderChoice& choice, const BoardArguments& files, HoleTable& table,
    BoardExtent& extent, const MessageSink& given, const QString& output)
{
    // What the readers say names the files as the user gave them.
    const MessageSink sink = [&given](const QString& text) {
        if (given)
            given(shownPaths(text));
    };
    ReadOutcome o;
    if (files.files.size() == 1 && files.outline.isEmpty()
        && isPackagePath(readablePath(files.files.front()))) {
        readPackage(o, files, table, extent, sink, output);
        return o;
    }
    if (!files.board.isEmpty()) {
        std::fprintf(stderr, "kivotrek-cli: --board names a board of a package (a folder or an archive)\n");
        o.status = o.stopNow = kUsage;
        o.refused = true;
        return o;
    }
    // A board of several files takes each file as the desktop's add command does: Excellon, or
    // today's Gerber for any Gerber file; a named reader applies to all of them.
    const auto readerFor = [&](const QString& path) {
        if (!files.isBoard())
            return choice.resolve(path);
        if (choice.named())
            return choice.kind;
        return addedFileReader(path);
    };
    int worst = -1;
    const auto take = [&](const FileOutcome& f) {
        const int rank = f.ending == ReadEnding::Unreadable ? 3 : f.ending == ReadEnding::Complete ? 0 : 2;
        if (rank > worst) {
            worst = rank;
            o.ending = endingName(f.ending);
            o.stoppedAtLine = f.stoppedAtLine;
            o.status = rank;
        }
    };
    std::vector<ReaderKind> readers;
    for (const QString& given : files.files)
        readers.push_back(readerFor(readablePath(given)));
    // A board of drill files: the files after the first are read beside it, on a thread of their
    // own, each with its stamp taken before it is opened; the board takes them in their order,
    // and what each read said is said then, as a read in turn would have said it.
    struct ReadBeside {
        DrillData data;
        FileStamp stamp;
        std::vector<Diagnostic> said;
    };
    std::vector<ReadBeside> beside(size_t(files.files.size()));
    std::optional<JoiningThread> besideThread;
    if (files.files.size() > 1 && readerOf(readers.front()).scope == ReaderScope::DrillFile) {
        besideThread.emplace([&] {
            for (size_t i = 1; i < beside.size(); ++i) {
                ReadBeside& r = beside[i];
                const QString path = readablePath(files.files[int(i)]);
                r.stamp = stampOf(path);
                r.data = readBoardDrill(readers[i], path, [&r](const Diagnostic& d) { r.said.push_back(d); });
            }
        });
    }
    for (int i = 0; i < files.files.size(); ++i) {
        const QString path = readablePath(files.files[i]);
        const ReaderKind reader = readers[size_t(i)];
        if (i == 0) {
            o.reader = reader;
            o.files.push_back(readBoardFile(o.board, reader, path, table, extent, sink));
        } else if (besideThread) {
            besideThread->join();
            ReadBeside& r = beside[size_t(i)];
            for (const Diagnostic& d : r.said)
                sink(d);
            o.files.push_back(addBoardFile(o.board, reader, path, table, extent, sink, &r.data, &r.stamp));
        } else {
            o.files.push_back(addBoardFile(o.board, reader, path, table, extent, sink));
        }
        if (o.board.files.size() > o.givenFile.size())
            o.givenFile.push_back(i);
        o.shown << files.files[i];
        o.members.push_back(-1);
        take(o.files.back());
    }
    if (!files.outline.isEmpty()) {
        o.outline = readBoardOutline(o.board, readablePath(files.outline), table, extent, sink);
        take(*o.outline);
    }
    return o;
}

} // namespace kivotrek::cli
