#pragma once

// The drawing steps every drawing goes through, whatever its source: a Gerber file's lines cut
// into steps (tool selection, flash, pen-down move), the pen and position they carry, and the
// replay that draws them with a layout. The Gerber replay and the drawing of drill data share
// them.

#include "common/cp932.h"
#include "common/numbers.h"
#include "drawing/layout.h"
#include "drawing/symbols.h"
#include "gerber/linecuts.h"

#include <QByteArrayView>
#include <QString>

namespace kivotrek::steps {

// Current position and segment start, in converted units before placement.
struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

// Which of the draw, move and flash codes a line holds, found in one pass over its D's.
struct DCodes {
    bool d01 = false, d02 = false, d03 = false;
    explicit DCodes(const LineMarks& l)
    {
        const QByteArrayView line = l.line();
        const char* p = line.data();
        const qsizetype n = line.size();
        for (qsizetype i = l.first('D'); i >= 0 && i + 2 < n; ++i) {
            if (p[i] != 'D' || p[i + 1] != '0')
                continue;
            d01 |= p[i + 2] == '1';
            d02 |= p[i + 2] == '2';
            d03 |= p[i + 2] == '3';
        }
    }
};

// One line as the drawing takes it: the codes it holds and its coordinates already in surface
// units. Cutting a line needs only the extent and the scale, so it can run ahead of the
// drawing, on another thread.
struct Step {
    enum Flag : uint16_t {
        StepRepeat = 1, // "%SR": the line changes nothing
        D01 = 2,
        D02 = 4,
        D03 = 8,
        Tool = 16, // "G54": a tool selection, its D-code kept beside the step
        NoDCode = 32, // a tool selection without a D-code: the drawing ends
        BadCoordinates = 64, // a value that cannot be cut or converted: the drawing ends
        HasX = 128,
        HasY = 256,
    };
    uint16_t flags = 0;
    int32_t x = 0;
    int32_t y = 0;
    bool has(Flag f) const { return (flags & f) != 0; }
    // A tool selection whose D-code was cut: its D-code is kept beside the step.
    bool namesTool() const { return has(Tool) && !has(NoDCode); }
};

class Cutter {
public:
    Cutter(const BoardExtent& extent, const Layout& layout)
        : unitScale_(static_cast<double>(extent.unitScale)), scale_(static_cast<double>(layout.scale()))
    {
    }
    // Coordinates in the file's own units.
    Cutter() : unitScale_(1.0), scale_(1.0) { }

    // The step of one line; a tool selection's D-code goes to dcode.
    Step cut(QByteArrayView text, QString& dcode) const
    {
        Step s;
        const LineMarks l(text);
        if (l.contains("%SR")) {
            s.flags = Step::StepRepeat;
            return s;
        }
        const DCodes d(l);
        s.flags = (d.d01 ? Step::D01 : 0) | (d.d02 ? Step::D02 : 0) | (d.d03 ? Step::D03 : 0);
        if (l.contains("G54")) {
            s.flags |= Step::Tool;
            const auto cut = cutDCode(l);
            if (!cut) {
                s.flags |= Step::NoDCode;
                return s;
            }
            dcode = cp932::decode(*cut);
        }
        if (l.has('X') || l.has('Y')) {
            const CoordinateTexts t = cutCoordinateTexts(l);
            if (!convert(t.x, t.xText, Step::HasX, s.x, s) || !convert(t.y, t.yText, Step::HasY, s.y, s))
                s.flags |= Step::BadCoordinates;
        }
        return s;
    }

private:
    // A cut value in surface units: file units x unitScale x drawing scale, rounded half to even.
    bool convert(
        CoordinateTexts::Cut kind, QByteArrayView text, Step::Flag given, int32_t& out, Step& s) const
    {
        std::optional<int32_t> units;
        if (!cutValue(kind, text, units))
            return false;
        if (!units)
            return true; // not given: the previous value stays
        const auto v = roundHalfEvenToInt32(static_cast<double>(*units) * unitScale_ * scale_);
        if (!v)
            return false;
        out = *v;
        s.flags |= given;
        return true;
    }

    double unitScale_;
    double scale_;
};

// The pen and the position of a replay: what each step makes of its codes and coordinates (a
// tool selection, a flash, a pen-down segment), for the drawing and for the list of marks alike.
class PenWalk {
public:
    // onTool() takes a tool selection, onFlash(at) a flash, onSegment(from, to) a pen-down move;
    // each returns false to end the walk, as the step itself does with a line it cannot take.
    template <typename Tool, typename Flash, typename Segment>
    bool step(const Step& step, Tool onTool, Flash onFlash, Segment onSegment)
    {
        if (step.has(Step::StepRepeat))
            return true;
        if (step.has(Step::D01)) {
            pen_ = true;
            seg_ = cur_;
        }
        if (step.has(Step::D02))
            pen_ = false;
        if (step.has(Step::Tool)) {
            pen_ = false;
            if (step.has(Step::NoDCode) || !onTool())
                return false;
        }
        if (step.has(Step::BadCoordinates))
            return false;
        if (step.has(Step::HasX))
            cur_.x = step.x;
        if (step.has(Step::HasY))
            cur_.y = step.y;
        if (step.has(Step::D03)) {
            pen_ = false;
            if (!onFlash(cur_))
                return false;
        }
        if (pen_) {
            if (!onSegment(seg_, cur_))
                return false;
            seg_ = cur_;
        }
        if (step.has(Step::D02))
            pen_ = false;
        return true;
    }

private:
    Point cur_;
    Point seg_;
    bool pen_ = false;
};

// Draws the steps, in order, carrying the pen, the position and the colour between lines.
class Replay {
public:
    Replay(const HoleTable& table, const Layout& layout, Surface& surface, int firstRow = 0,
        int endRow = HoleTable::kRows)
        : table_(table), layout_(layout), s_(surface), firstRow_(std::max(0, firstRow)),
          endRow_(std::min(endRow, int(HoleTable::kRows)))
    {
    }

    // The colour of the rows the last tool selection chose.
    Rgb color() const { return color_; }
    // True when the drawing ended because the user cancelled it.
    bool cancelled() const { return cancelled_; }

    // One step; false when the drawing must end here.
    bool draw(const Step& step, const QString& dcode)
    {
        return walk_.step(
            step, [&] { return selectTool(dcode); },
            [&](Point at) {
                const auto p = layout_.place(at.x, at.y);
                if (p)
                    hole(float(p->first), float(p->second));
                return p.has_value() && !cancelled_;
            },
            [&](Point from, Point to) {
                const auto a = layout_.place(to.x, to.y);
                const auto b = layout_.place(from.x, from.y);
                if (a && b)
                    segment(*b, *a, from.x == runEnd_.x && from.y == runEnd_.y);
                runEnd_ = to;
                return a && b && !cancelled_;
            });
    }

    // A hole at a surface point, in the selected row's colour (or mark).
    void hole(float x, float y)
    {
        inRun_ = false;
        layout_.hole(s_, x, y, markRow_, color_);
        tick();
    }

private:
    // A pen-down move from a to b. With marks, a slot of a marked row is a thin line with the
    // row's mark where it starts: a move that goes on from the last one's end is the same slot.
    void segment(std::pair<int32_t, int32_t> a, std::pair<int32_t, int32_t> b, bool goesOn)
    {
        const auto [x1, y1] = a;
        const auto [x2, y2] = b;
        if (markRow_ < 0 || !layout_.marks()) {
            s_.line(float(x2), float(y2), float(x1), float(y1), color_);
        } else {
            const int16_t pen = s_.penWidth();
            s_.setPenWidth(int16_t(markStroke(layout_.markSize(s_))));
            s_.line(float(x2), float(y2), float(x1), float(y1), printableColor(color_));
            s_.setPenWidth(pen);
            if (!(inRun_ && goesOn))
                layout_.hole(s_, float(x1), float(y1), markRow_, color_);
        }
        inRun_ = true;
        tick();
    }

    void tick()
    {
        if (++drawn_ % kProgressEvery == 0 && layout_.options().progress)
            cancelled_ = !layout_.options().progress(drawn_);
    }

    bool selectTool(const QString& dcode)
    {
        inRun_ = false;
        // Every matching row applies, in order: with duplicates the last one's pen and colour stay.
        for (int i = firstRow_; i < endRow_; ++i) {
            const HoleRow& row = table_.row(i);
            if (row.dcode != dcode)
                continue;
            const auto width = layout_.penWidth(row, s_);
            if (!width)
                return false;
            s_.setPenWidth(*width);
            color_ = rowColor(row.color);
            const bool outline = row.kind == HoleTable::outlineKind();
            markRow_ = outline ? -1 : i;
            if (!outline && !layout_.legendCell(i, row, color_, s_))
                return false;
        }
        return true;
    }

    static constexpr qint64 kProgressEvery = 4096;

    const HoleTable& table_;
    const Layout& layout_;
    Surface& s_;
    int firstRow_;
    int endRow_;
    PenWalk walk_;
    Rgb color_ {0, 0, 0};
    int markRow_ = -1; // the row whose mark the holes take; none for the outline and before a tool
    bool inRun_ = false; // the last thing drawn was a pen-down move
    Point runEnd_; // where it ended
    qint64 drawn_ = 0;
    bool cancelled_ = false;
};

} // namespace kivotrek::steps
