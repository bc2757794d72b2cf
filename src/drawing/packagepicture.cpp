#include "drawing/packagepicture.h"

#include "drawing/layerpainter.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kivotrek {

namespace {
using Role = PackageMember::Role;

bool isDrillRole(Role r)
{
    return r == Role::Plated || r == Role::NonPlated || r == Role::Drill;
}

void extend(QRectF& box, const QRectF& more)
{
    box = box.isNull() ? more : box.united(more);
}
} // namespace

PackagePicture::PackagePicture() = default;
PackagePicture::~PackagePicture() = default;

QColor PackagePicture::holeColour(Role role)
{
    switch (role) {
    case Role::Plated: return QColor(150, 0, 0);
    case Role::NonPlated: return QColor(0, 70, 200);
    default: return QColor(0, 0, 0);
    }
}

const GerberImage* PackagePicture::imageOf(const PackageMember& m, size_t index)
{
    auto it = images_.find(index);
    if (it == images_.end())
        it = images_.emplace(index, std::make_shared<const GerberImage>(readGerberImage(m.path))).first;
    return it->second->objects.empty() ? nullptr : it->second.get();
}

const DrillData* PackagePicture::drillOf(const PackageMember& m, size_t index)
{
    if (m.read)
        return &m.read->data; // as the package read it
    auto it = drills_.find(index);
    if (it == drills_.end())
        it = drills_
                 .emplace(index,
                     std::make_shared<const DrillData>(readBoardDrill(addedFileReader(m.path), m.path, {})))
                 .first;
    return it->second.get();
}

QImage PackagePicture::draw(const Package& package, const std::vector<Role>& roles, const QSize& size)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    // What it shows: the drill files, the outline, the copper of both sides.
    std::vector<std::pair<const DrillData*, Role>> drills;
    std::vector<BoardLayer> layers;
    std::vector<LayerStyle> styles;
    QRectF frame, layerFrame;
    const auto boxOf = [](const ImageBox& b) {
        return QRectF(QPointF(b.left / 1e6, b.bottom / 1e6), QPointF(b.right / 1e6, b.top / 1e6))
            .normalized();
    };
    for (size_t i = 0; i < package.members.size() && i < roles.size(); ++i) {
        const PackageMember& m = package.members[i];
        if (isDrillRole(roles[i])) {
            const DrillData* d = drillOf(m, i);
            if (!d)
                continue;
            drills.emplace_back(d, roles[i]);
            for (const DrillHit& h : d->holes)
                extend(frame, QRectF(h.x(), h.y(), 0, 0));
            for (const DrillSlot& s : d->slotHoles)
                extend(frame, QRectF(QPointF(s.x1(), s.y1()), QPointF(s.x2(), s.y2())).normalized());
            continue;
        }
        const bool outline = roles[i] == Role::Outline;
        const bool copper =
            m.layer == QLatin1String("copper-top") || m.layer == QLatin1String("copper-bottom");
        if (!outline && !(copper && roles[i] == Role::Unused))
            continue;
        const GerberImage* image = imageOf(m, i);
        if (!image || !image->box)
            continue;
        BoardLayer l;
        l.name = m.name;
        l.role = outline ? QStringLiteral("outline") : m.layer;
        l.image = images_[i];
        LayerStyle s = defaultLayerStyle(l.role, m.copperLayer);
        s.shown = true;
        // The outline on top and dark; the copper under it.
        s.order = outline ? -1 : int(layers.size());
        if (outline) {
            s.colour = QColor(0, 0, 0);
            extend(frame, boxOf(*image->box));
        }
        extend(layerFrame, boxOf(*image->box));
        layers.push_back(std::move(l));
        styles.push_back(s);
    }
    if (frame.isNull())
        frame = layerFrame;
    if (frame.isNull())
        return picture;
    // The frame fitted with a margin, y up.
    const double margin = 6;
    const double w = std::max(frame.width(), 1e-3), h = std::max(frame.height(), 1e-3);
    const double k = std::min((size.width() - 2 * margin) / w, (size.height() - 2 * margin) / h);
    const double left = (size.width() - w * k) / 2, top = (size.height() - h * k) / 2;
    const QTransform toPixels(k, 0, 0, -k, left - frame.left() * k, top + frame.bottom() * k);
    LayerPainter painter;
    painter.setLayers(&layers);
    painter.paint(picture, toPixels, picture.rect(), styles, 0.55);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    for (const auto& drill : drills) {
        const DrillData* data = drill.first;
        const Role role = drill.second;
        p.setBrush(holeColour(role));
        const auto radiusOf = [&](int tool) {
            const auto& d =
                size_t(tool) < data->tools.size() ? data->tools[size_t(tool)].diameter : std::nullopt;
            return std::max(1.2, d.value_or(0.5) / 2 * k);
        };
        for (const DrillHit& hit : data->holes) {
            const double r = radiusOf(hit.tool);
            p.drawEllipse(toPixels.map(QPointF(hit.x(), hit.y())), r, r);
        }
        for (const DrillSlot& s : data->slotHoles) {
            p.setPen(QPen(holeColour(role), 2 * radiusOf(s.tool), Qt::SolidLine, Qt::RoundCap));
            p.drawLine(toPixels.map(QPointF(s.x1(), s.y1())), toPixels.map(QPointF(s.x2(), s.y2())));
            p.setPen(Qt::NoPen);
        }
    }
    return picture;
}

} // namespace kivotrek
