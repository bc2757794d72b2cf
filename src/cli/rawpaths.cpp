#include "cli/rawpaths.h"

#include <QFile>
#include <QHash>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kivotrek::cli {

namespace {
QHash<QString, QByteArray>& rawArguments()
{
    static QHash<QString, QByteArray> arguments;
    return arguments;
}
} // namespace

QString argumentText(const char* raw)
{
    const QByteArray bytes(raw);
    QString text = QFile::decodeName(bytes);
    if (QFile::encodeName(text) != bytes)
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
    // Not blocking on a pipe: the readers refuse anything but a regular file by its descriptor.
    const int fd = ::open(raw->constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return argument;
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
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
