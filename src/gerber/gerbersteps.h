#pragma once

// A Gerber file's lines as every drawing takes them: each line cut into a step (a tool
// selection, a flash, a pen-down move, with its coordinates), and the walk of the pen and the
// position from step to step. The Gerber readers walk the steps to count holes as they read;
// the drawing walks them to draw.

#include "common/cp932.h"
#include "common/numbers.h"
#include "gerber/linecuts.h"

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <cstdint>

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
    // Coordinates in surface units: the extent's unit scale (twips per file unit) times the
    // drawing's scale.
    Cutter(float unitScale, float scale)
        : unitScale_(static_cast<double>(unitScale)), scale_(static_cast<double>(scale)), fileUnits_(false)
    {
    }
    // Coordinates in the file's own units.
    Cutter() : unitScale_(1.0), scale_(1.0), fileUnits_(true) { }

    // The step of one line; a tool selection's D-code goes to dcode.
    Step cut(QByteArrayView text, QString& dcode) const { return cut(LineMarks(text), dcode); }
    // Inlined where it is called: a step handed back from a call is stored in pieces and read
    // whole, which stalls the processor on every line.
    Q_ALWAYS_INLINE Step cut(const LineMarks& l, QString& dcode) const
    {
        Step s;
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
        if (fileUnits_) { // a whole number times 1, rounded: itself
            out = *units;
            s.flags |= given;
            return true;
        }
        const auto v = roundHalfEvenToInt32(static_cast<double>(*units) * unitScale_ * scale_);
        if (!v)
            return false;
        out = *v;
        s.flags |= given;
        return true;
    }

    double unitScale_;
    double scale_;
    bool fileUnits_;
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

} // namespace kivotrek::steps
