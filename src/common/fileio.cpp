#include "common/fileio.h"

#include "common/messages.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kivotrek {

WriteResult commitWhole(QSaveFile& file)
{
    if (!file.isOpen())
        return WriteResult::failed(file.errorString());
    QString reason;
    if (file.error() != QFileDevice::NoError) {
        reason = file.errorString();
    } else if (!file.flush()) {
        // A short write of the buffer leaves no reason; the rest, tried once more, fails with
        // the system's ("No space left on device").
        file.flush();
        reason = file.errorString();
    } else if (const int fd = file.handle(); fd < 0 || ::fsync(fd) != 0) {
        reason = QString::fromLocal8Bit(std::strerror(fd < 0 ? EBADF : errno));
    }
    if (!reason.isEmpty()) {
        file.cancelWriting();
        file.commit(); // with writing cancelled, this only removes the temporary file
        return WriteResult::failed(reason);
    }
    if (!file.commit())
        return WriteResult::failed(file.errorString());
    return {true, QString()};
}

bool isRegularFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

void noteInputOpened(const QString& path)
{
    static const QByteArray log = qgetenv("KIVOTREK_TRACE_OPENS");
    if (log.isEmpty())
        return;
    // Opened for each line, appended in one write: threads that open files at once (the drawing
    // reads beside the cutting) each give whole lines.
    const int fd = ::open(log.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const QByteArray line = QFile::encodeName(path) + '\n';
    // A trace that cannot be written leaves the command as it is.
    [[maybe_unused]] const ssize_t written = ::write(fd, line.constData(), static_cast<size_t>(line.size()));
    ::close(fd);
}

namespace {
// A file a look opened, held for its read.
struct HeldInput {
    QString path;
    int descriptor = -1;
    struct stat status = {}; // as it was opened
    QByteArray head;
    bool wholeFile = false; // the head is every byte of the file
};

constexpr size_t kMaxHeldInputs = 16;

std::mutex& heldMutex()
{
    static std::mutex m;
    return m;
}

std::vector<HeldInput>& heldInputs()
{
    static std::vector<HeldInput> held;
    return held;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
        && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// The held file of the path, taken out of the list, when the path still names it as it was.
// The caller owns the descriptor; -1 for none.
int takeHeld(const QString& path)
{
    std::lock_guard<std::mutex> lock(heldMutex());
    std::vector<HeldInput>& held = heldInputs();
    for (auto i = held.begin(); i != held.end(); ++i) {
        if (i->path != path)
            continue;
        const int fd = i->descriptor;
        const struct stat then = i->status;
        held.erase(i);
        struct stat now = {};
        if (::stat(QFile::encodeName(path).constData(), &now) != 0 || !sameFile(then, now)
            || ::lseek(fd, 0, SEEK_SET) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }
    return -1;
}

// Reads up to `bytes` from the descriptor's position on.
QByteArray readUpTo(int fd, qint64 bytes)
{
    QByteArray out(static_cast<qsizetype>(bytes), Qt::Uninitialized);
    qint64 got = 0;
    while (got < bytes) {
        const ssize_t n = ::read(fd, out.data() + got, static_cast<size_t>(bytes - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    out.truncate(static_cast<qsizetype>(got));
    return out;
}
} // namespace

QByteArray inputHead(const QString& path, qint64 bytes)
{
    bytes = std::max<qint64>(bytes, 0);
    {
        std::lock_guard<std::mutex> lock(heldMutex());
        for (HeldInput& h : heldInputs()) {
            if (h.path != path)
                continue;
            struct stat now = {};
            if (::stat(QFile::encodeName(path).constData(), &now) != 0 || !sameFile(h.status, now))
                break; // changed since: looked at again below
            if (h.head.size() < bytes && !h.wholeFile) {
                if (::lseek(h.descriptor, h.head.size(), SEEK_SET) != h.head.size())
                    return QByteArray();
                const QByteArray more = readUpTo(h.descriptor, bytes - h.head.size());
                h.wholeFile = more.size() < bytes - h.head.size();
                h.head += more;
            }
            return h.head.left(static_cast<qsizetype>(bytes));
        }
    }
    if (const int stale = takeHeld(path); stale >= 0)
        ::close(stale);
    if (!isRegularFile(path))
        return QByteArray();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    noteInputOpened(path);
    HeldInput h;
    h.path = path;
    h.descriptor = fd;
    if (::fstat(fd, &h.status) != 0 || !S_ISREG(h.status.st_mode)) {
        ::close(fd);
        return QByteArray();
    }
    // A look reads the readers' usual share of the start at once, so that the next look needs
    // no read of its own.
    const qint64 wanted = std::max<qint64>(bytes, qint64(64) * 1024);
    h.head = readUpTo(fd, wanted);
    h.wholeFile = h.head.size() < wanted;
    QByteArray head = h.head.left(static_cast<qsizetype>(bytes));
    std::lock_guard<std::mutex> lock(heldMutex());
    std::vector<HeldInput>& held = heldInputs();
    if (held.size() >= kMaxHeldInputs) {
        ::close(held.front().descriptor);
        held.erase(held.begin());
    }
    held.push_back(std::move(h));
    return head;
}

void releaseHeldInputs()
{
    std::lock_guard<std::mutex> lock(heldMutex());
    for (const HeldInput& h : heldInputs())
        ::close(h.descriptor);
    heldInputs().clear();
}

bool openToRead(QFile& file)
{
    if (!isRegularFile(file.fileName()))
        return false;
    if (const int fd = takeHeld(file.fileName()); fd >= 0) {
        if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            return true;
        ::close(fd);
    }
    if (!file.open(QIODevice::ReadOnly))
        return false;
    noteInputOpened(file.fileName());
    return true;
}

QString unreadableReason(const QString& path)
{
    if (QFileInfo::exists(path) && !isRegularFile(path))
        return QString();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        noteInputOpened(path);
        return QString();
    }
    return file.errorString();
}

QString whyUnopenable(const QString& path)
{
    if (!QFileInfo::exists(path) || isRegularFile(path))
        return msg::cannotOpen(path, unreadableReason(path));
    return msg::notARegularFile(path);
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

bool writeAll(QIODevice& device, const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = device.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            // A file's buffer that went out short failed without a reason; its rest, tried once
            // more, fails with one.
            if (auto* file = qobject_cast<QFileDevice*>(&device))
                file->flush();
            return false;
        }
        done += n;
    }
    return true;
}

WriteResult writeWholeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return WriteResult::failed(file.errorString());
    if (!writeAll(file, bytes)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        file.commit();
        return WriteResult::failed(reason);
    }
    return commitWhole(file);
}

namespace {
constexpr qsizetype kStreamChunk = qsizetype(1) << 20;
}

StreamedFile::StreamedFile(const QString& path) : file_(path)
{
}

StreamedFile::~StreamedFile()
{
    discard();
}

bool StreamedFile::begin()
{
    if (!file_.open(QIODevice::WriteOnly)) {
        failure_ = file_.errorString();
        return false;
    }
    buffer_.reserve(kStreamChunk);
    return QIODevice::open(QIODevice::WriteOnly);
}

qint64 StreamedFile::writeData(const char* data, qint64 length)
{
    if (!failure_.isEmpty())
        return -1;
    buffer_.append(data, qsizetype(length));
    if (buffer_.size() >= kStreamChunk && !writeBuffer())
        return -1;
    return length;
}

bool StreamedFile::writeBuffer()
{
    if (!file_.isOpen()) {
        failure_ = file_.errorString();
        return false;
    }
    if (!writeAll(file_, buffer_)) {
        failure_ = file_.errorString();
        if (failure_.isEmpty())
            failure_ = QString::fromLocal8Bit(std::strerror(ENOSPC));
        return false;
    }
    buffer_.clear();
    return true;
}

WriteResult StreamedFile::commit()
{
    if (failure_.isEmpty())
        writeBuffer();
    QIODevice::close();
    if (!failure_.isEmpty()) {
        discard();
        return WriteResult::failed(failure_);
    }
    return commitWhole(file_);
}

void StreamedFile::discard()
{
    QIODevice::close();
    buffer_.clear();
    if (file_.isOpen()) {
        file_.cancelWriting();
        file_.commit(); // with writing cancelled, this only removes the temporary file
    }
}

} // namespace kivotrek
