#pragma once

#include <QString>
#include <QStringList>

namespace kivotrek::cli {

// Exit statuses of kivotrek-cli.
enum Exit : int {
    kDone = 0,
    kStopped = 2, // read rejected or ended by a fault
    kUnreadable = 3, // a file could not be read
    kUsage = 64, // bad usage
};

int usageError(const QString& text);

int runRead(const QStringList& args);

} // namespace kivotrek::cli
