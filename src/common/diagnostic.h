#pragma once

#include <QString>
#include <optional>

namespace kivotrek {

// How much a diagnostic matters to the user: information (a file read again, the format a read
// assumed), a warning (the read went on, but its result needs a look: a limit reached, D-codes
// dropped, tools beyond the table, holes outside the outline), or an error (the read, the
// drawing or the command failed: a file that cannot be opened, a line that ends the read).
enum class Severity { Information, Warning, Error };

// One thing a reader, the board or the drawing tells the user: its severity, the file it
// concerns (empty when none) and the file's line where it is known, and the text as the user
// reads it (a message of messages.h, whole: the batch command prints only the text).
struct Diagnostic {
    Severity severity = Severity::Warning;
    QString file;
    std::optional<qint64> line; // 1-based
    QString text;
};

} // namespace kivotrek
