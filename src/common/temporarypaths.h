#pragma once

// What must not outlive the process: an archive unpacked into a temporary folder, an output
// written under a temporary name. Each is noted while it exists; the process removes every one
// when it ends early (Ctrl+C, a terminal closed, a kill), and before a quick exit that runs no
// destructors.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace kivotrek::temporaryPaths {

// A path (the system's bytes) to remove, a folder with everything in it, when the process ends
// early; forget() it once it has gone the usual way.
void note(const QByteArray& path);
void forget(const QByteArray& path);
// Removes every noted path now.
void removeAll();

// Call first in main, before any thread starts: SIGINT, SIGTERM and SIGHUP are taken by a thread
// of their own, which removes every noted path and then ends the process as the signal would
// have (its status says which signal).
void removeOnSignals();

} // namespace kivotrek::temporaryPaths

namespace kivotrek {

// A private temporary folder (QTemporaryDir) that is removed with the object, and also when the
// process ends early.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    bool isValid() const { return dir_.isValid(); }
    QString errorString() const { return dir_.errorString(); }
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

} // namespace kivotrek
