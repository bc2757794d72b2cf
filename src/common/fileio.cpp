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
    return !QFileInfo::exists(path) || isRegularFile(path) ? msg::cannotOpen(path) : msg::notARegularFile(path);
}

bool isSameFile(const QString& a, const QString& b)
{
    struct stat sa { };
    struct stat sb { };
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0
        && ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev
        && sa.st_ino == sb.st_ino;
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
