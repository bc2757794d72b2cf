#include "drawing/drilldrawing.h"

#include "drawing/replaysteps.h"

namespace kivotrek {

using namespace steps;

namespace {
// Millimetres of the file to surface units: micrometres at 0.0567 twips, then the layout's
// scale, as a cut Gerber coordinate is converted.
class FramePlacement {
public:
    FramePlacement(const DrillFrame& frame, const Layout& layout)
        : frame_(frame),
          scale_(static_cast<double>(frame.extent.unitScale) * static_cast<double>(layout.scale()))
    {
    }
    std::optional<int32_t> x(double mm) const { return at(frame_.unitsX(mm)); }
    std::optional<int32_t> y(double mm) const { return at(frame_.unitsY(mm)); }

private:
    std::optional<int32_t> at(std::optional<int32_t> units) const
    {
        if (!units)
            return std::nullopt;
        return roundHalfEvenToInt32(static_cast<double>(*units) * scale_);
    }
    const DrillFrame& frame_;
    double scale_;
};
} // namespace

DrawResult drawOutline(const std::vector<OutlineSegment>& outline, const DrillFrame& frame,
    const Layout& layout, Surface& surface)
{
    DrawResult stopped {DrawResult::Ending::Stopped, std::nullopt, QString()};
    if (outline.empty())
        return {};
    HoleRow pen; // the outline pen: an outline row of no diameter
    pen.diameter = QStringLiteral("0");
    pen.kind = HoleKind::Outline;
    const auto width = layout.penWidth(pen, surface);
    if (!width)
        return stopped;
    surface.setPenWidth(*width);
    const FramePlacement at(frame, layout);
    const Rgb black {0, 0, 0};
    for (const OutlineSegment& s : outline) {
        const auto x1 = at.x(s.x1()), y1 = at.y(s.y1()), x2 = at.x(s.x2()), y2 = at.y(s.y2());
        if (!x1 || !y1 || !x2 || !y2)
            return stoppedAt(s.line);
        const auto a = layout.place(*x2, *y2);
        const auto b = layout.place(*x1, *y1);
        if (!a || !b)
            return stoppedAt(s.line);
        surface.line(float(a->first), float(a->second), float(b->first), float(b->second), black);
    }
    return {};
}

DrawResult replayDrill(const DrillData& drill, const DrillFrame& frame, const HoleTable& table,
    const Layout& layout, Surface& surface, int firstRow, int rowCount)
{
    const FramePlacement at(frame, layout);
    const auto step = [&](uint16_t code, double x, double y, Step& s) {
        const auto sx = at.x(x);
        const auto sy = at.y(y);
        if (!sx || !sy)
            return false;
        s.flags = code | Step::HasX | Step::HasY;
        s.x = *sx;
        s.y = *sy;
        return true;
    };
    // Holes, then slots, in file order; a tool is selected where it changes, as a Gerber file's
    // replay selects it (drill files keep a tool's holes together, so that is once a tool).
    Replay replay(table, layout, surface, firstRow, firstRow + rowCount);
    int selected = -1;
    const auto select = [&](int tool) {
        if (tool == selected)
            return true;
        selected = tool;
        Step s;
        s.flags = Step::Tool;
        return replay.draw(s, drill.tools[size_t(tool)].code);
    };
    // A hole is a flash: a dot where the layout places it, in the selected rows' colour, as
    // the replay of a D03 step draws it, without the step.
    // Tools beyond the file's rows found no row in the table: their holes are not drawn.
    const auto inTable = [rowCount](int tool) { return tool < rowCount; };
    for (const DrillHit& h : drill.holes) {
        if (!inTable(h.tool))
            continue;
        if (!select(h.tool))
            return stoppedAt(h.line);
        const auto x = at.x(h.x());
        const auto y = at.y(h.y());
        const auto p = x && y ? layout.place(*x, *y) : std::nullopt;
        if (!p)
            return stoppedAt(h.line);
        replay.hole(float(p->first), float(p->second));
        if (replay.cancelled())
            return {DrawResult::Ending::Cancelled};
    }
    Step s;
    for (const DrillSlot& sl : drill.slotHoles) {
        if (!inTable(sl.tool))
            continue;
        if (!select(sl.tool) || !step(Step::D02, sl.x1(), sl.y1(), s) || !replay.draw(s, QString())
            || !step(Step::D01, sl.x2(), sl.y2(), s) || !replay.draw(s, QString()))
            return replay.cancelled() ? DrawResult {DrawResult::Ending::Cancelled} : stoppedAt(sl.line);
    }
    return {DrawResult::Ending::Complete, std::nullopt};
}

} // namespace kivotrek
