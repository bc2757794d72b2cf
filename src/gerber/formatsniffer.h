#pragma once

#include <QByteArray>
#include <QString>

namespace kivotrek {

// Whether a Gerber file is RS-274X: a format statement (%FS) in its first lines (the first
// 100 lines or 64 KiB). A file that cannot be read counts as standard; the reader says why.
bool looksLikeRs274x(const QString& path);
// The same of the file's first bytes (64 KiB of them are looked at).
bool looksLikeRs274xHead(const QByteArray& head);

} // namespace kivotrek
