#pragma once

#include <QtGlobal>
#include <optional>

namespace kivotrek {

// How a read of a Gerber file ended.
enum class ReadEnding {
    Complete, // reached the end of the file
    Rejected, // a line the reader refuses ("J", %FSNA, %FSTA)
    Fault, // a line that could not be read, or a 64th hole kind (standard reader)
    Unreadable, // the file could not be opened or read
};

struct ReadResult {
    ReadEnding ending = ReadEnding::Complete;
    std::optional<qint64> stoppedAtLine; // 1-based, for Rejected and Fault
};

} // namespace kivotrek
