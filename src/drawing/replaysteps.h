#pragma once

// The replay that draws steps (tool selections, flashes, pen-down moves; see
// gerber/gerbersteps.h) with a layout, carrying the pen, the position and the colour. The
// Gerber replay and the drawing of drill data share it.

#include "drawing/layout.h"
#include "drawing/symbols.h"
#include "gerber/gerbersteps.h"

#include <QByteArrayView>
#include <QString>

namespace kivotrek::steps {

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
            const bool outline = row.kind == HoleKind::Outline;
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
