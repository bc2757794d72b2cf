#include "drawing/gerberreplay.h"

#include "common/numbers.h"
#include "drawing/replaysteps.h"

namespace kivotrek {

using namespace steps;

DrawResult endOfSteps(const StepRecord& steps)
{
    switch (steps.ending()) {
    case StepRecord::Ending::TooLong: return {DrawResult::Ending::Stopped, steps.tooLongLine()};
    case StepRecord::Ending::Unreadable: {
        DrawResult r {DrawResult::Ending::Unreadable, std::nullopt};
        r.reason = steps.reason();
        return r;
    }
    default: return {DrawResult::Ending::Complete, std::nullopt};
    }
}

namespace {
// A file that could not be read at all draws nothing.
bool unreadable(const StepRecord& steps)
{
    return steps.ending() == StepRecord::Ending::Unreadable && steps.entries().empty();
}
} // namespace

DrawResult listMarks(
    const StepRecord& steps, const HoleTable& table, const std::function<void(const DrillMark&)>& out)
{
    if (unreadable(steps))
        return endOfSteps(steps);
    PenWalk walk; // the drawing's own rules, without a surface
    bool selected = false; // before the first tool selection nothing is a hole of a tool
    QString code;
    int row = -1;
    for (const StepRecord::Entry& e : steps.entries()) {
        const bool walked = walk.step(
            StepRecord::step(e),
            [&] {
                selected = true;
                code = steps.codes()[e.code];
                row = -1; // a D-code of no row: drawn with the pen before it, but no row's hole
                for (int i = 0; i < HoleTable::kRows; ++i) {
                    if (table.row(i).dcode == code)
                        row = i; // with duplicates the last one's pen stays
                }
                return true;
            },
            [&](Point at) {
                if (selected)
                    out({false, row, code, at.x, at.y, at.x, at.y});
                return true;
            },
            [&](Point from, Point to) {
                if (selected)
                    out({true, row, code, from.x, from.y, to.x, to.y});
                return true;
            });
        if (!walked)
            return {DrawResult::Ending::Stopped, qint64(e.line)};
    }
    return endOfSteps(steps);
}

DrawResult replayDrillMap(const StepRecord& steps, const HoleTable& table, const BoardExtent& extent,
    const Layout& layout, Surface& surface)
{
    if (unreadable(steps))
        return endOfSteps(steps);
    // File units to surface units: the extent's unit scale times the drawing's scale, rounded
    // half to even; a value past 32 bits is a coordinate the drawing cannot take.
    const double unitScale = static_cast<double>(extent.unitScale);
    const double scale = static_cast<double>(layout.scale());
    const auto convert = [&](int32_t units, int32_t& out) {
        const auto v = roundHalfEvenToInt32(static_cast<double>(units) * unitScale * scale);
        if (v)
            out = *v;
        return v.has_value();
    };
    Replay replay(table, layout, surface);
    const QString none;
    for (const StepRecord::Entry& e : steps.entries()) {
        Step step = StepRecord::step(e);
        if ((step.has(Step::HasX) && !convert(e.x, step.x))
            || (step.has(Step::HasY) && !convert(e.y, step.y)))
            step.flags |= Step::BadCoordinates;
        if (!replay.draw(step, step.namesTool() ? steps.codes()[e.code] : none))
            return replay.cancelled() ? DrawResult {DrawResult::Ending::Cancelled}
                                      : DrawResult {DrawResult::Ending::Stopped, qint64(e.line)};
    }
    return endOfSteps(steps);
}

} // namespace kivotrek
