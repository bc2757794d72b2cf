// kivotrek-cli: the batch front end over the same core as the desktop program.

#include "cli/clicommon.h"

#include <QStringList>
#include <cstdio>

namespace kivotrek::cli {

const char* const kUsageText =
    "usage: kivotrek-cli read [--rs274x] GERBER\n"
    "\n"
    "  read    reads a Gerber file as the program's read commands do (standard F4.3,\n"
    "          or RS-274X with --rs274x) and prints the result as one JSON object.\n"
    "\n"
    "exit status: 0 done, 2 read rejected or stopped by a fault, 3 file unreadable,\n"
    "             64 bad usage\n";

int usageError(const QString& text)
{
    std::fprintf(stderr, "kivotrek-cli: %s\n%s", text.toLocal8Bit().constData(), kUsageText);
    return kUsage;
}

} // namespace kivotrek::cli

int main(int argc, char** argv)
{
    using namespace kivotrek::cli;
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const QString command = args.takeFirst();
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        std::fputs(kUsageText, stdout);
        return kDone;
    }
    if (command == QLatin1String("read"))
        return runRead(args);
    return usageError(QStringLiteral("unknown command: ") + command);
}
