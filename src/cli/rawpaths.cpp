#include "cli/rawpaths.h"

#include "common/filenames.h"
#include "common/temporarypaths.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace kivotrek::cli {

namespace {
QHash<QString, QByteArray>& rawArguments()
{
    static QHash<QString, QByteArray> arguments;
    return arguments;
}

// The links to arguments kept as bytes, and the arguments they stand for.
struct Links {
    std::unique_ptr<TemporaryFolder> folder;
    QHash<QString, QString> argumentOf; // link -> argument
    QHash<QString, QString> linkOf; // argument -> link
};
Links& links()
{
    static Links l;
    return l;
}
} // namespace

QString argumentText(const char* raw)
{
    const QByteArray bytes(raw);
    if (isUtf8Name(bytes))
        return QFile::decodeName(bytes);
    QString text = displayName(bytes);
    // Two names of other bytes shown alike (code page 932 maps a few characters twice) stay apart.
    const auto taken = rawArguments().constFind(text);
    if (taken != rawArguments().constEnd() && *taken != bytes) {
        text.clear();
        for (const char c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            text += b >= 0x20 && b < 0x7F ? QString(QLatin1Char(c))
                                          : QStringLiteral("\\x")
                    + QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        }
    }
    rawArguments().insert(text, bytes);
    return text;
}

QByteArray nativeName(const QString& argument)
{
    const auto raw = rawArguments().constFind(argument);
    return raw == rawArguments().constEnd() ? QFile::encodeName(argument) : *raw;
}

QString readablePath(const QString& argument)
{
    const auto raw = rawArguments().constFind(argument);
    if (raw == rawArguments().constEnd())
        return argument;
    Links& l = links();
    if (const auto known = l.linkOf.constFind(argument); known != l.linkOf.constEnd())
        return *known;
    if (!l.folder)
        l.folder = std::make_unique<TemporaryFolder>();
    if (!l.folder->isValid())
        return argument;
    // An absolute target: the link lives elsewhere. Each in a folder of its own, so that two
    // arguments of one name in other folders keep theirs.
    QByteArray target = *raw;
    if (!target.startsWith('/')) {
        char here[4096];
        if (!::getcwd(here, sizeof here))
            return argument;
        target = QByteArray(here) + '/' + target;
    }
    const QString folder = l.folder->path() + QStringLiteral("/%1").arg(l.linkOf.size() + 1);
    const QString name = argument.section(QLatin1Char('/'), -1);
    QString link = folder + QLatin1Char('/') + (name.isEmpty() ? QStringLiteral("file") : name);
    if (!QDir().mkpath(folder) || ::symlink(target.constData(), QFile::encodeName(link).constData()) != 0)
        return argument;
    l.linkOf.insert(argument, link);
    l.argumentOf.insert(link, argument);
    return link;
}

QString shownPaths(const QString& text)
{
    const Links& l = links();
    if (l.argumentOf.isEmpty())
        return text;
    QString shown = text;
    for (auto it = l.argumentOf.constBegin(); it != l.argumentOf.constEnd(); ++it)
        shown.replace(it.key(), it.value());
    return shown;
}

OutputPath::OutputPath(const QString& argument) : writePath_(argument)
{
    const auto raw = rawArguments().constFind(argument);
    if (raw == rawArguments().constEnd())
        return;
    const qsizetype slash = raw->lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : raw->left(slash);
    name_ = raw->mid(slash + 1);
    folder_ = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0)
        return; // writing to the decoded name fails, and says so
    temporary_ = ".kivotrek-cli-" + QByteArray::number(::getpid()) + ".part";
    writePath_ = QStringLiteral("/proc/self/fd/%1/").arg(folder_) + QString::fromLatin1(temporary_);
}

OutputPath::~OutputPath()
{
    if (folder_ < 0)
        return;
    if (!finished_)
        ::unlinkat(folder_, temporary_.constData(), 0);
    ::close(folder_);
}

bool OutputPath::finish()
{
    if (folder_ < 0)
        return true;
    finished_ = ::renameat(folder_, temporary_.constData(), folder_, name_.constData()) == 0;
    if (!finished_) {
        const int error = errno; // the rename's reason, for the message
        ::unlinkat(folder_, temporary_.constData(), 0); // the process may end without unwinding
        errno = error;
    }
    return finished_;
}

} // namespace kivotrek::cli
