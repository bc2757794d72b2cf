#pragma once

// Each drill check and each limit the checks are held against, described once. The batch
// command's options, names and JSON, the check window's boxes and the limits it remembers are
// made from these two tables: a new check is its own code (drillchecks.*), its captions and a
// line here.

#include "checks/drillchecks.h"

#include <QString>
#include <vector>

namespace kivotrek {

// What a measured value or a limit is in, which says how it is written and what it may be.
enum class CheckUnit {
    Millimetres, // from 0; three decimals and " mm"
    Ratio, // above 0; two decimals, no unit
    None, // nothing is measured: the finding's detail says what was found
};

struct CheckDescriptor {
    CheckKind kind;
    const char* key; // "stacked": the batch command's name of the check and its count in the JSON
    QString (*caption)(); // "同じ位置の穴": what the window's list and the CSV call it
    CheckUnit unit; // of the value measured and of the limit
};

struct LimitDescriptor {
    const char* key; // "minSpacing": the JSON's name of it and the name of the window's box
    const char* option; // "--min-spacing": the batch command's option
    const char* settingsKey; // "checks/minSpacing": where the window remembers it
    double defaultValue;
    QString (*caption)(); // "穴の間隔（縁から縁）": the label of the window's box
    double CheckLimits::*field; // where the checks read it
    CheckUnit unit;
};

// One per CheckKind, in its order: the lists', the CSV's and the JSON's counts'.
const std::vector<CheckDescriptor>& checkDescriptors();
// In the order of the window's boxes, the batch command's options and the JSON's limits.
const std::vector<LimitDescriptor>& limitDescriptors();

const CheckDescriptor& checkDescriptor(CheckKind kind);

// "stacked", "overlap", "outline-cut", "spacing", "edge", "min-drill", "tool-size",
// "slot-ratio", "plating": the batch command's names.
const char* checkName(CheckKind kind);
// What the lists call it: "同じ位置の穴", ...
QString checkTitle(CheckKind kind);

} // namespace kivotrek
