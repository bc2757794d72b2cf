#include "common/temporarypaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <set>
#include <thread>
#include <unistd.h>

namespace kivotrek::temporaryPaths {

namespace {
// Never destroyed: a folder held by a static object is forgotten after the other statics went.
std::mutex& lock()
{
    static auto* m = new std::mutex;
    return *m;
}
std::set<QByteArray>& noted()
{
    static auto* paths = new std::set<QByteArray>;
    return *paths;
}

void removePath(const QByteArray& path)
{
    const QString name = QFile::decodeName(path);
    const QFileInfo info(name);
    if (info.isDir() && !info.isSymLink())
        QDir(name).removeRecursively();
    else
        ::unlink(path.constData());
}
} // namespace

void note(const QByteArray& path)
{
    const std::lock_guard<std::mutex> guard(lock());
    noted().insert(path);
}

void forget(const QByteArray& path)
{
    const std::lock_guard<std::mutex> guard(lock());
    noted().erase(path);
}

void removeAll()
{
    const std::lock_guard<std::mutex> guard(lock());
    for (const QByteArray& path : noted())
        removePath(path);
    noted().clear();
}

void removeOnSignals()
{
    sigset_t watched;
    sigemptyset(&watched);
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&watched, s);
    // Blocked here, and so in every thread started from now on: only the watcher takes them.
    if (pthread_sigmask(SIG_BLOCK, &watched, nullptr) != 0)
        return;
    std::thread([watched] {
        int received = 0;
        if (sigwait(&watched, &received) != 0)
            return;
        // The lock is taken for good: nothing is noted after the paths have gone.
        lock().lock();
        for (const QByteArray& path : noted())
            removePath(path);
        // Ended as the signal ends a process, so that the caller sees which one it was.
        std::signal(received, SIG_DFL);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, received);
        pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
        ::raise(received);
        ::_exit(128 + received);
    }).detach();
}

} // namespace kivotrek::temporaryPaths

namespace kivotrek {

TemporaryFolder::TemporaryFolder()
{
    if (dir_.isValid())
        temporaryPaths::note(QFile::encodeName(dir_.path()));
}

TemporaryFolder::~TemporaryFolder()
{
    if (dir_.isValid())
        temporaryPaths::forget(QFile::encodeName(dir_.path()));
}

} // namespace kivotrek
