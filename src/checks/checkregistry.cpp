#include "checks/checkregistry.h"

#include "common/captions.h"

namespace kivotrek {

const std::vector<CheckDescriptor>& checkDescriptors()
{
    using U = CheckUnit;
    static const std::vector<CheckDescriptor> checks = {
        {CheckKind::Stacked, "stacked", msg::checkStackedTitle, U::Millimetres},
        {CheckKind::Overlap, "overlap", msg::checkOverlapTitle, U::Millimetres},
        {CheckKind::OutlineCut, "outline-cut", msg::checkOutlineCutTitle, U::Millimetres},
        {CheckKind::Spacing, "spacing", msg::checkSpacingTitle, U::Millimetres},
        {CheckKind::Edge, "edge", msg::checkEdgeTitle, U::Millimetres},
        {CheckKind::MinDrill, "min-drill", msg::checkMinDrillTitle, U::Millimetres},
        {CheckKind::ToolSize, "tool-size", msg::checkToolSizeTitle, U::Millimetres},
        {CheckKind::SlotRatio, "slot-ratio", msg::checkSlotRatioTitle, U::Ratio},
        {CheckKind::Plating, "plating", msg::checkPlatingTitle, U::None},
    };
    return checks;
}

const std::vector<LimitDescriptor>& limitDescriptors()
{
    using U = CheckUnit;
    static const std::vector<LimitDescriptor> limits = {
        {"minSpacing", "--min-spacing", "checks/minSpacing", 0.20, msg::checkSpacingLabel,
            &CheckLimits::minSpacing, U::Millimetres},
        {"minEdge", "--min-edge", "checks/minEdge", 0.25, msg::checkEdgeLabel, &CheckLimits::minEdge,
            U::Millimetres},
        {"minDrill", "--min-drill", "checks/minDrill", 0.15, msg::checkDrillLabel, &CheckLimits::minDrill,
            U::Millimetres},
        {"slotRatio", "--slot-ratio", "checks/slotRatio", 2.0, msg::checkRatioLabel, &CheckLimits::slotRatio,
            U::Ratio},
    };
    return limits;
}

CheckLimits::CheckLimits()
{
    for (const LimitDescriptor& d : limitDescriptors())
        this->*d.field = d.defaultValue;
}

const CheckDescriptor& checkDescriptor(CheckKind kind)
{
    // The table is in the order of the kinds (its test says so).
    return checkDescriptors().at(size_t(kind));
}

const char* checkName(CheckKind kind)
{
    return checkDescriptor(kind).key;
}

QString checkTitle(CheckKind kind)
{
    return checkDescriptor(kind).caption();
}

} // namespace kivotrek
