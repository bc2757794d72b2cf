#pragma once

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>

namespace kivotrek {

// Ends a QSaveFile that holds the whole new file: flushes its buffer and checks that every byte
// reached the disk, syncs the data, then renames it over the old file. On any failure the
// temporary file is removed and the old file stays as it was. (QSaveFile::commit alone does not
// see a failed flush of its last buffered bytes: a full disk would pass for a save.)
bool commitWhole(QSaveFile& file);

// True for a regular file (after links): not a pipe, a device or a folder. Files are read by
// name more than once (to read, then to draw), and opening a pipe may block.
bool isRegularFile(const QString& path);

// Opens the file for reading, only when it is a regular file: a pipe would block, or could be
// read only once.
bool openToRead(QFile& file);

// Why a file cannot be opened for reading, as the user is told: missing or closed to us, or not
// a regular file.
QString whyUnopenable(const QString& path);

// True when both names lead to one existing file (through links, hard ones too).
bool isSameFile(const QString& a, const QString& b);

// Writes the bytes as the whole new content of the file, through commitWhole.
bool writeWholeFile(const QString& path, const QByteArray& bytes);

} // namespace kivotrek
