#pragma once

#include "drawing/surface.h"

#include <QStringList>
#include <vector>

namespace kivotrek {

// A surface that notes every operation, for checks of what a drawing does.
class RecordingSurface : public Surface {
public:
    struct Op {
        enum Kind { Clear, Dot, Line, Text, Image, Ring, Polygon } kind = Clear;
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        Rgb color {};
        int16_t width = 0;
        float fontSize = 0;
        QString text;
        std::vector<QPointF> points; // of a polygon
        bool filled = false; // a filled polygon
    };

    RecordingSurface(float width, float height, float pixelSize = 15.0f, float lineHeight = 150.0f)
        : width_(width), height_(height), pixel_(pixelSize), lineHeight_(lineHeight)
    {
    }

    void clear() override { ops.push_back(op(Op::Clear, 0, 0, 0, 0, {})); }
    float width() const override { return width_; }
    float height() const override { return height_; }
    void dot(float x, float y, Rgb c) override { ops.push_back(op(Op::Dot, x, y, x, y, c)); }
    void line(float x1, float y1, float x2, float y2, Rgb c) override
    {
        ops.push_back(op(Op::Line, x1, y1, x2, y2, c));
    }
    void ring(float x, float y, float radius, Rgb c) override
    {
        ops.push_back(op(Op::Ring, x, y, x + radius, y, c));
    }
    void polygon(const QPointF* points, int count, Rgb c, bool filled) override
    {
        Op o = op(Op::Polygon, 0, 0, 0, 0, c);
        o.points.assign(points, points + count);
        o.filled = filled;
        ops.push_back(o);
    }
    void drawImage(const QImage& p, float x, float y) override
    {
        const QSizeF size = pictureSizeTwips(p);
        ops.push_back(op(Op::Image, x, y, x + float(size.width()), y + float(size.height()), {}));
    }
    float pixelSize() const override { return pixel_; }

    std::vector<Op> ops;

    std::vector<Op> only(Op::Kind k) const
    {
        std::vector<Op> out;
        for (const Op& op : ops) {
            if (op.kind == k)
                out.push_back(op);
        }
        return out;
    }

protected:
    void drawText(float x, float y, const QString& t) override
    {
        Op o = op(Op::Text, x, y, x, y, foreColor());
        o.text = t;
        ops.push_back(o);
    }
    float lineHeight() const override { return lineHeight_; }

private:
    Op op(Op::Kind k, float x1, float y1, float x2, float y2, Rgb c) const
    {
        Op o;
        o.kind = k;
        o.x1 = x1;
        o.y1 = y1;
        o.x2 = x2;
        o.y2 = y2;
        o.color = c;
        o.width = penWidth();
        o.fontSize = fontSize();
        return o;
    }
    float width_, height_, pixel_, lineHeight_;
};

} // namespace kivotrek
