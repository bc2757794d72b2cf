#pragma once

#include "gerber/linecuts.h"

#include <cstdint>

namespace kivotrek {

// The board's size as the drawing needs it. maxX and maxY hold file units while a reader
// runs and drawing units (twips) once it has finished; unitScale is twips per file unit.
struct BoardExtent {
    int32_t maxX = 0;
    int32_t maxY = 0;
    float unitScale = 0.0f; // single precision: 5000 units at 0.0567 give 283, not 284
};

// Twips per file unit of a standard F4.3 file (0.001 mm).
constexpr float kStandardUnitScale = 0.0567f;

// Extent bookkeeping of one read.
class ExtentTracker {
public:
    explicit ExtentTracker(BoardExtent& extent) : extent_(extent) { }

    // After every processed line: raise maxX/maxY, note negative coordinates.
    void update(const FilePosition& pos);

    bool sawNegative() const { return negative_; }

    // maxX and maxY from file units to twips: unitScale times the value in double precision,
    // rounded half to even. A result beyond 32 bits saturates (only absurd boards get there)
    // so the drawing never sees file units.
    void convertToTwips();

private:
    BoardExtent& extent_;
    bool negative_ = false;
};

} // namespace kivotrek
