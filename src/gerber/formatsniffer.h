#pragma once

#include <QString>

namespace kivotrek {

// Whether a Gerber file is RS-274X: a format statement (%FS) in its first lines (the first
// 100 lines or 64 KiB). A file that cannot be read counts as standard; the reader says why.
bool looksLikeRs274x(const QString& path);

// Which reader a file given without a command calls for (the command line, the desktop's
// "open with"): Excellon when its first lines look like Excellon (M48, METRIC / INCH, a tool
// definition T..C..), today's Gerber when they carry a unit statement or file attributes
// (%MO, %TF), RS-274X when a format statement comes first, standard otherwise.
enum class ReaderKind { Standard, Rs274x, Excellon, GerberX2 };
ReaderKind detectReader(const QString& path);

} // namespace kivotrek
