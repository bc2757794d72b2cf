#include "common/fileio.h"

#include "common/messages.h"

#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace kivotrek {

bool commitWhole(QSaveFile& file)
{
    if (!file.isOpen())
        return false;
    bool ok = file.error() == QFileDevice::NoError && file.flush();
    if (ok) {
        const int fd = file.handle();
        ok = fd >= 0 && ::fsync(fd) == 0;
    }
    if (!ok) {
        file.cancelWriting();
        file.commit(); // with writing cancelled, this only removes the temporary file
        return false;
    }
    return file.commit();
}

bool isRegularFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

bool openToRead(QFile& file)
{
    return isRegularFile(file.fileName()) && file.open(QIODevice::ReadOnly);
}

QString whyUnopenable(const QString& path)
{
    return !QFileInfo::exists(path) || isRegularFile(path) ? msg::cannotOpen(path)
                                                           : msg::notARegularFile(path);
}

namespace {
bool sameIdentity(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int firstInputLike(const struct stat& out, const QList<QByteArray>& inputs)
{
    for (int i = 0; i < inputs.size(); ++i) {
        struct stat in { };
        if (!inputs[i].isEmpty() && ::stat(inputs[i].constData(), &in) == 0 && sameIdentity(in, out))
            return i;
    }
    return -1;
}
} // namespace

int inputWrittenOver(const QByteArray& output, const QList<QByteArray>& inputs)
{
    struct stat out { };
    if (output.isEmpty() || ::stat(output.constData(), &out) != 0)
        return -1; // a file still to be made is nobody's input
    return firstInputLike(out, inputs);
}

int inputWrittenOver(const QString& output, const QStringList& inputs)
{
    QList<QByteArray> names;
    for (const QString& in : inputs)
        names << QFile::encodeName(in);
    return inputWrittenOver(QFile::encodeName(output), names);
}

int inputWrittenOver(int descriptor, const QList<QByteArray>& inputs)
{
    struct stat out { };
    if (::fstat(descriptor, &out) != 0 || !S_ISREG(out.st_mode))
        return -1; // a terminal, a pipe or a device is no input
    return firstInputLike(out, inputs);
}

bool holdsBinaryBytes(QIODevice& device)
{
    const QByteArray head = device.peek(4096);
    for (const char c : head) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\f' && u != '\r' && u != 0x1A)
            return true;
    }
    return false;
}

bool writeWholeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return commitWhole(file);
}

} // namespace kivotrek
