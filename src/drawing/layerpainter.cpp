#include "drawing/layerpainter.h"

#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

namespace kivotrek {

namespace {
constexpr uint32_t kSmoothedPoints = 2000;

double mm(Nanometres v)
{
    return double(v) / 1e6;
}

QPolygonF polygonOf(const ImagePoint* points, size_t n)
{
    QPolygonF p;
    p.reserve(qsizetype(n));
    for (size_t i = 0; i < n; ++i)
        p.append(QPointF(mm(points[i].x), mm(points[i].y)));
    return p;
}

QPolygonF polygonOf(const std::vector<ImagePoint>& points)
{
    return polygonOf(points.data(), points.size());
}

bool insidePolygon(const ImagePoint* points, size_t n, double x, double y, double dx = 0, double dy = 0)
{
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const double xi = mm(points[i].x) + dx, yi = mm(points[i].y) + dy;
        const double xj = mm(points[j].x) + dx, yj = mm(points[j].y) + dy;
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    return inside;
}

double segmentDistance(double px, double py, double x1, double y1, double x2, double y2)
{
    const double dx = x2 - x1, dy = y2 - y1;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - x1) * dx + (py - y1) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(px - (x1 + t * dx), py - (y1 + t * dy));
}

// The convex hull of the points (a draw with a rectangle or polygon: the aperture swept along it).
QPolygonF hull(std::vector<QPointF> pts)
{
    std::sort(pts.begin(), pts.end(), [](const QPointF& a, const QPointF& b) {
        return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
    });
    const auto cross = [](const QPointF& o, const QPointF& a, const QPointF& b) {
        return (a.x() - o.x()) * (b.y() - o.y()) - (a.y() - o.y()) * (b.x() - o.x());
    };
    std::vector<QPointF> h(pts.size() * 2);
    size_t k = 0;
    for (size_t i = 0; i < pts.size(); ++i) {
        while (k >= 2 && cross(h[k - 2], h[k - 1], pts[i]) <= 0)
            --k;
        h[k++] = pts[i];
    }
    for (size_t i = pts.size() - 1, t = k + 1; i > 0; --i) {
        while (k >= t && cross(h[k - 2], h[k - 1], pts[i - 1]) <= 0)
            --k;
        h[k++] = pts[i - 1];
    }
    QPolygonF out;
    for (size_t i = 0; i + 1 < k; ++i)
        out.append(h[i]);
    return out;
}
} // namespace

namespace {
// The layers that have a style, from the top down.
std::vector<size_t> orderOf(const std::vector<LayerStyle>& styles, size_t layers)
{
    std::vector<size_t> order;
    for (size_t i = 0; i < std::min(styles.size(), layers); ++i)
        order.push_back(i);
    std::stable_sort(
        order.begin(), order.end(), [&](size_t a, size_t b) { return styles[a].order < styles[b].order; });
    return order;
}
} // namespace

LayerStyle defaultLayerStyle(const QString& role, std::optional<int> copper)
{
    // Colours a fabrication engineer knows from the viewers: red top copper, blue bottom,
    // inner layers in their own hues, green mask, white-grey silk shown dark on the white view.
    if (role == QLatin1String("copper-top"))
        return {true, QColor(200, 52, 52)};
    if (role == QLatin1String("copper-bottom"))
        return {true, QColor(40, 90, 210)};
    if (role == QLatin1String("copper-inner")) {
        static const QColor kInner[] = {QColor(214, 160, 30), QColor(150, 60, 180), QColor(30, 160, 150),
            QColor(190, 100, 40), QColor(110, 140, 40), QColor(200, 80, 140)};
        return {false, kInner[size_t(std::max(0, copper.value_or(2) - 2)) % std::size(kInner)]};
    }
    if (role == QLatin1String("outline"))
        return {true, QColor(60, 60, 60)};
    if (role.startsWith(QLatin1String("mask")))
        return {false, role.endsWith(QLatin1String("top")) ? QColor(30, 150, 70) : QColor(20, 120, 110)};
    if (role.startsWith(QLatin1String("silk")))
        return {false, role.endsWith(QLatin1String("top")) ? QColor(110, 110, 40) : QColor(110, 70, 110)};
    if (role.startsWith(QLatin1String("paste")))
        return {false, QColor(150, 150, 160)};
    return {false, QColor(120, 100, 80)};
}

struct LayerPainter::Layer {
    std::shared_ptr<const GerberImage> shared; // kept while the painter draws it
    const GerberImage* image = nullptr;
    double left = 0, bottom = 0, cell = 1;
    int columns = 1, rows = 1;
    std::vector<uint32_t> start; // each cell's objects: ids[start[c] .. start[c + 1])
    std::vector<uint32_t> ids;
    std::vector<uint32_t> large; // objects over many cells, looked at wherever the view is
    // Apertures whose picture takes a part out of itself (a hole, a thermal): one path each.
    std::vector<std::optional<QPainterPath>> paths;
    std::vector<uint32_t> seen; // the query that last took each object
    uint32_t query = 0;
    QImage overview;
    QTransform overviewTransform; // millimetres to the overview's pixels
    QColor overviewColour;

    int columnOf(double x) const { return std::clamp(int(std::floor((x - left) / cell)), 0, columns - 1); }
    int rowOf(double y) const { return std::clamp(int(std::floor((y - bottom) / cell)), 0, rows - 1); }

    void build(const GerberImage& g)
    {
        image = &g;
        if (!g.box)
            return;
        left = mm(g.box->left);
        bottom = mm(g.box->bottom);
        const double w = std::max(1e-3, mm(g.box->right) - left), h = std::max(1e-3, mm(g.box->top) - bottom);
        const double cells = std::clamp(double(g.objects.size()) / 4.0, 1.0, 1'000'000.0);
        cell = std::max(std::sqrt(w * h / cells), 0.05);
        const auto eachCell = [&](const ImageObject& o, auto take) {
            const ImageBox b = g.boxOf(o);
            const int c0 = columnOf(mm(b.left)), c1 = columnOf(mm(b.right));
            const int r0 = rowOf(mm(b.bottom)), r1 = rowOf(mm(b.top));
            if ((int64_t(c1 - c0) + 1) * (int64_t(r1 - r0) + 1) > 64)
                return false;
            for (int r = r0; r <= r1; ++r)
                for (int c = c0; c <= c1; ++c)
                    take(size_t(r) * size_t(columns) + size_t(c));
            return true;
        };
        // The cells grow until the objects take at most eight places each on average: a layer
        // of large pads in small cells would otherwise hold each many times over.
        for (int round = 0;; ++round) {
            columns = std::max(1, int(std::ceil(w / cell)));
            rows = std::max(1, int(std::ceil(h / cell)));
            start.assign(size_t(columns) * size_t(rows) + 1, 0);
            for (const ImageObject& o : g.objects)
                eachCell(o, [&](size_t c) { ++start[c + 1]; });
            size_t placed = 0;
            for (size_t c = 1; c < start.size(); ++c)
                placed += start[c];
            if (placed <= 8 * g.objects.size() + 1024 || round == 8)
                break;
            cell *= 2;
        }
        for (size_t c = 1; c < start.size(); ++c)
            start[c] += start[c - 1];
        ids.resize(start.back());
        std::vector<uint32_t> fill(start.begin(), start.end() - 1);
        for (size_t i = 0; i < g.objects.size(); ++i) {
            if (!eachCell(g.objects[i], [&](size_t c) { ids[fill[c]++] = uint32_t(i); }))
                large.push_back(uint32_t(i));
        }
        seen.assign(g.objects.size(), 0);
        paths.resize(g.apertures.size());
        for (size_t a = 0; a < g.apertures.size(); ++a) {
            const auto& contours = g.apertures[a].contours;
            if (std::none_of(contours.begin(), contours.end(), [](const auto& c) { return c.clear; }))
                continue;
            QPainterPath path;
            for (const auto& c : contours) {
                QPainterPath part;
                part.addPolygon(polygonOf(c.points));
                part.closeSubpath();
                path = c.clear ? path.subtracted(part) : path.united(part);
            }
            paths[a] = path;
        }
    }

    // The objects whose cells meet the rectangle (millimetres), in the order written; none past
    // the limit, with the count it reached.
    size_t objectsIn(const QRectF& r, size_t limit, std::vector<uint32_t>& out)
    {
        out.clear();
        if (!image || !image->box)
            return 0;
        if (r.right() < left || r.bottom() < bottom || r.left() > mm(image->box->right)
            || r.top() > mm(image->box->top))
            return 0;
        const int c0 = columnOf(r.left()), c1 = columnOf(r.right());
        const int r0 = rowOf(r.top()), r1 = rowOf(r.bottom()); // the rect's top is its smaller y
        size_t reached = large.size();
        for (int row = std::min(r0, r1); row <= std::max(r0, r1); ++row)
            reached += start[size_t(row) * size_t(columns) + size_t(c1) + 1]
                - start[size_t(row) * size_t(columns) + size_t(c0)];
        if (reached > limit)
            return reached;
        if (++query == 0) {
            std::fill(seen.begin(), seen.end(), 0);
            query = 1;
        }
        const auto take = [&](uint32_t id) {
            if (seen[id] != query) {
                seen[id] = query;
                out.push_back(id);
            }
        };
        for (const uint32_t id : large)
            take(id);
        for (int row = std::min(r0, r1); row <= std::max(r0, r1); ++row) {
            const size_t base = size_t(row) * size_t(columns);
            for (uint32_t k = start[base + size_t(c0)]; k < start[base + size_t(c1) + 1]; ++k)
                take(ids[k]);
        }
        std::sort(out.begin(), out.end());
        return out.size();
    }

    void draw(QPainter& p, const QTransform& toPixels, const std::vector<uint32_t>& which,
        const QColor& colour) const
    {
        const GerberImage& g = *image;
        p.setTransform(toPixels);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        std::vector<QLineF> lines;
        double linesWidth = -1;
        bool linesClear = false;
        const auto flushLines = [&] {
            if (lines.empty())
                return;
            p.setCompositionMode(
                linesClear ? QPainter::CompositionMode_Clear : QPainter::CompositionMode_SourceOver);
            p.setPen(QPen(colour, linesWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLines(lines.data(), int(lines.size()));
            p.setPen(Qt::NoPen);
            lines.clear();
        };
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        for (const uint32_t id : which) {
            const ImageObject& o = g.objects[id];
            const ImageAperture* a = o.aperture >= 0 ? &g.apertures[size_t(o.aperture)] : nullptr;
            if (o.kind == ImageObject::Kind::Line && a && a->round()) {
                const double w = std::max(mm(a->strokeWidth), 1e-6);
                if (w != linesWidth || o.clear != linesClear)
                    flushLines();
                linesWidth = w;
                linesClear = o.clear;
                lines.emplace_back(mm(o.x1), mm(o.y1), mm(o.x2), mm(o.y2));
                continue;
            }
            flushLines();
            p.setCompositionMode(
                o.clear ? QPainter::CompositionMode_Clear : QPainter::CompositionMode_SourceOver);
            switch (o.kind) {
            case ImageObject::Kind::Region: {
                // A plane's contour of many thousand points is filled without smoothing its
                // edges: several times quicker, and its edges are pixels apart at any zoom.
                p.setRenderHint(QPainter::Antialiasing, o.count < kSmoothedPoints);
                p.drawPolygon(polygonOf(g.points.data() + o.first, o.count), Qt::OddEvenFill);
                p.setRenderHint(QPainter::Antialiasing, true);
                break;
            }
            case ImageObject::Kind::Flash: {
                if (!a)
                    break;
                const double x = mm(o.x1), y = mm(o.y1);
                if (a->round()) {
                    const double r = mm(a->reach);
                    p.drawEllipse(QPointF(x, y), r, r);
                    break;
                }
                p.setTransform(QTransform::fromTranslate(x, y) * toPixels);
                if (paths[size_t(o.aperture)]) {
                    p.drawPath(*paths[size_t(o.aperture)]);
                } else {
                    for (const auto& c : a->contours)
                        p.drawPolygon(polygonOf(c.points));
                }
                p.setTransform(toPixels);
                break;
            }
            case ImageObject::Kind::Line: {
                if (!a)
                    break;
                // The aperture swept from one end to the other.
                std::vector<QPointF> pts;
                for (const auto& c : a->contours) {
                    if (c.clear)
                        continue;
                    for (const ImagePoint& q : c.points) {
                        pts.emplace_back(mm(q.x) + mm(o.x1), mm(q.y) + mm(o.y1));
                        pts.emplace_back(mm(q.x) + mm(o.x2), mm(q.y) + mm(o.y2));
                    }
                }
                if (pts.size() >= 3)
                    p.drawPolygon(hull(std::move(pts)));
                break;
            }
            }
        }
        flushLines();
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    void makeOverview(const QColor& colour)
    {
        const GerberImage& g = *image;
        const double w = mm(g.box->right) - left, h = mm(g.box->top) - bottom;
        const double k = std::min(2048.0 / std::max(w, h), 200.0);
        overview = QImage(std::max(1, int(std::ceil(w * k))), std::max(1, int(std::ceil(h * k))),
            QImage::Format_ARGB32_Premultiplied);
        overview.fill(Qt::transparent);
        overviewTransform = QTransform(k, 0, 0, -k, -left * k, mm(g.box->top) * k);
        std::vector<uint32_t> all(g.objects.size());
        for (size_t i = 0; i < all.size(); ++i)
            all[i] = uint32_t(i);
        QPainter p(&overview);
        p.setRenderHint(QPainter::Antialiasing, true);
        draw(p, overviewTransform, all, colour);
        overviewColour = colour;
    }
};

LayerPainter::LayerPainter() = default;
LayerPainter::~LayerPainter() = default;

void LayerPainter::setLayers(const std::vector<BoardLayer>* layers)
{
    grids_.clear();
    if (!layers)
        return;
    for (const BoardLayer& l : *layers) {
        auto grid = std::make_unique<Layer>();
        grid->shared = l.image;
        if (l.image)
            grid->build(*l.image);
        grids_.push_back(std::move(grid));
    }
}

qint64 LayerPainter::paint(QImage& image, const QTransform& toPixels, const QRect& area,
    const std::vector<LayerStyle>& styles, double opacity)
{
    if (grids_.empty() || area.isEmpty())
        return 0;
    const QRectF visible = toPixels.inverted().mapRect(QRectF(area));
    if (scratch_.size() != image.size())
        scratch_ = QImage(image.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter target(&image);
    target.setClipRect(area);
    target.setOpacity(opacity);
    qint64 drawn = 0;
    std::vector<uint32_t> which;
    const std::vector<size_t> fromTop = orderOf(styles, grids_.size());
    for (auto it = fromTop.rbegin(); it != fromTop.rend(); ++it) {
        const size_t i = *it;
        if (!styles[i].shown)
            continue;
        Layer& layer = *grids_[i];
        const size_t n = layer.objectsIn(visible, size_t(kDrawnObjects), which);
        if (n == 0)
            continue;
        // Only the part of the scratch picture that the layer covers is cleared and laid.
        const QRect covered = toPixels
                                  .mapRect(QRectF(QPointF(layer.left, layer.bottom),
                                      QPointF(mm(layer.image->box->right), mm(layer.image->box->top))))
                                  .toAlignedRect()
                                  .adjusted(-2, -2, 2, 2)
                                  .intersected(area);
        if (covered.isEmpty())
            continue;
        {
            QPainter p(&scratch_);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.fillRect(covered, Qt::transparent);
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
            p.setClipRect(covered);
            p.setRenderHint(QPainter::Antialiasing, true);
            if (n > size_t(kDrawnObjects)) {
                if (layer.overview.isNull() || layer.overviewColour != styles[i].colour)
                    layer.makeOverview(styles[i].colour);
                p.setRenderHint(QPainter::SmoothPixmapTransform, true);
                p.setTransform(layer.overviewTransform.inverted() * toPixels);
                p.drawImage(QPointF(0, 0), layer.overview);
            } else {
                layer.draw(p, toPixels, which, styles[i].colour);
                drawn += qint64(which.size());
            }
        }
        target.drawImage(covered.topLeft(), scratch_, covered);
    }
    return drawn;
}

std::optional<LayerPainter::Hit> LayerPainter::objectAt(
    double x, double y, double tolerance, const std::vector<LayerStyle>& styles) const
{
    for (const size_t i : orderOf(styles, grids_.size())) {
        if (!styles[i].shown || !grids_[i]->image || !grids_[i]->image->box)
            continue;
        const Layer& layer = *grids_[i];
        const GerberImage& g = *layer.image;
        if (x < layer.left - tolerance || y < layer.bottom - tolerance || x > mm(g.box->right) + tolerance
            || y > mm(g.box->top) + tolerance)
            continue;
        const size_t c = size_t(layer.rowOf(y)) * size_t(layer.columns) + size_t(layer.columnOf(x));
        std::vector<uint32_t> candidates(
            layer.ids.begin() + layer.start[c], layer.ids.begin() + layer.start[c + 1]);
        candidates.insert(candidates.end(), layer.large.begin(), layer.large.end());
        std::sort(candidates.begin(), candidates.end(), std::greater<>());
        for (const uint32_t id : candidates) {
            const ImageObject& o = g.objects[id];
            const ImageAperture* a = o.aperture >= 0 ? &g.apertures[size_t(o.aperture)] : nullptr;
            bool under = false;
            switch (o.kind) {
            case ImageObject::Kind::Region:
                under = insidePolygon(g.points.data() + o.first, o.count, x, y);
                break;
            case ImageObject::Kind::Flash:
                if (a && a->round()) {
                    under = std::hypot(x - mm(o.x1), y - mm(o.y1)) <= mm(a->reach) + tolerance;
                } else if (a) {
                    for (const auto& k : a->contours) {
                        if (insidePolygon(k.points.data(), k.points.size(), x, y, mm(o.x1), mm(o.y1)))
                            under = !k.clear;
                    }
                }
                break;
            case ImageObject::Kind::Line:
                under = a
                    && segmentDistance(x, y, mm(o.x1), mm(o.y1), mm(o.x2), mm(o.y2))
                        <= mm(a->strokeWidth) / 2 + tolerance;
                break;
            }
            if (!under)
                continue;
            if (o.clear)
                break; // taken away here: nothing of this layer lies under the point
            return Hit {i, id};
        }
    }
    return std::nullopt;
}

QString layerObjectText(const GerberImage& image, const ImageObject& o)
{
    if (o.kind == ImageObject::Kind::Region)
        return QStringLiteral("領域");
    if (o.aperture < 0 || size_t(o.aperture) >= image.apertures.size())
        return QString();
    const ImageAperture& a = image.apertures[size_t(o.aperture)];
    const auto size = [](double v) { return QString::number(v, 'f', 3); };
    QString shape;
    switch (a.shape) {
    case ImageAperture::Shape::Circle: shape = QStringLiteral("円 Ø") + size(a.width); break;
    case ImageAperture::Shape::Rectangle:
        shape = QStringLiteral("矩形 ") + size(a.width) + QStringLiteral("×") + size(a.height);
        break;
    case ImageAperture::Shape::Obround:
        shape = QStringLiteral("長円 ") + size(a.width) + QStringLiteral("×") + size(a.height);
        break;
    case ImageAperture::Shape::Polygon:
        shape = QString::number(a.vertices) + QStringLiteral("角形 Ø") + size(a.width);
        break;
    case ImageAperture::Shape::Macro: shape = QStringLiteral("マクロ ") + QString::fromLatin1(a.macro); break;
    case ImageAperture::Shape::Block: shape = QStringLiteral("ブロック"); break;
    }
    QString text =
        (o.kind == ImageObject::Kind::Flash ? QStringLiteral("パッド D") : QStringLiteral("配線 D"))
        + QString::number(a.number) + QLatin1Char(' ') + shape;
    if (a.hole > 0)
        text += QStringLiteral(" 穴Ø") + size(a.hole);
    if (!a.function.isEmpty())
        text += QStringLiteral("（") + a.function + QStringLiteral("）");
    return text;
}

} // namespace kivotrek
