#include "drawing/boardview.h"

#include "drawing/symbols.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>
#include <cmath>

namespace kivotrek {

QRectF ViewTransform::visible(const QRectF& area) const
{
    const QPointF a = toBoard(area.topLeft()), b = toBoard(area.bottomRight());
    return QRectF(QPointF(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
        QPointF(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

void ViewTransform::fit(const QRectF& frame, const QRectF& area)
{
    constexpr double kMargin = 16; // pixels round the board
    const double w = std::max(frame.width(), 1e-3), h = std::max(frame.height(), 1e-3);
    const double sx = std::max(area.width() - 2 * kMargin, 1.0) / w;
    const double sy = std::max(area.height() - 2 * kMargin, 1.0) / h;
    scale = std::clamp(std::min(sx, sy), 1e-6, kMaximumScale);
    centre = frame.center();
    anchor = area.center();
}

void ViewTransform::zoomAbout(const QPointF& viewPoint, double factor)
{
    const QPointF held = toBoard(viewPoint);
    scale = std::clamp(scale * factor, 1e-6, kMaximumScale);
    // The held point stays under the view point.
    centre = held;
    anchor = viewPoint;
}

double scaleBarLength(double pixelsPerMillimetre, double aboutPixels)
{
    if (!(pixelsPerMillimetre > 0))
        return 0;
    const double wanted = aboutPixels / pixelsPerMillimetre;
    const double power = std::pow(10.0, std::floor(std::log10(wanted)));
    for (const double step : {5.0, 2.0, 1.0}) {
        if (step * power <= wanted)
            return step * power;
    }
    return power;
}

namespace {
constexpr double kCellHeight = 18; // logical pixels of a legend line
constexpr double kCellWidth = 210;
constexpr double kFontPixels = 12;
constexpr double kScaleBand = 32; // logical pixels of the scale bar's band under the board

Rgb dimmed(Rgb c)
{
    const auto mix = [](uint8_t v) { return uint8_t(v + (255 - v) * 4 / 5); };
    return {mix(c.r), mix(c.g), mix(c.b)};
}

} // namespace

BoardViewRenderer::BoardViewRenderer() = default;
BoardViewRenderer::~BoardViewRenderer()
{
    waitForRefresh();
}

void BoardViewRenderer::waitForRefresh()
{
    if (refresh_.valid())
        refresh_.wait();
    refresh_ = {};
}

void BoardViewRenderer::setLayerStyles(const std::vector<LayerStyle>& styles)
{
    waitForRefresh();
    layerStyles_ = styles;
    layerCache_.valid = false;
}

void BoardViewRenderer::setBoard(const HeldBoard* board, const HoleGrid* grid, const HoleTable* table)
{
    board_ = board;
    grid_ = grid;
    table_ = table;
    waitForRefresh();
    layers_.setLayers(board ? &board->layers : nullptr);
    layerCache_ = {};
    layersStale_ = false;
    layerStyles_.clear();
    if (board) {
        for (const BoardLayer& l : board->layers) {
            layerStyles_.push_back(defaultLayerStyle(l.role, l.copper));
            layerStyles_.back().order = int(layerStyles_.size()) - 1;
        }
    }
    tableChanged();
}

void BoardViewRenderer::tableChanged()
{
    overviewValid_ = false;
    usedRows_.clear();
    if (!table_)
        return;
    for (int i = 0; i < HoleTable::kRows; ++i) {
        if (table_->row(i).isUsed())
            usedRows_.push_back(uint8_t(i));
    }
}

void BoardViewRenderer::setOptions(const DrawingOptions& options)
{
    options_ = options;
    overviewValid_ = false;
}

std::vector<BoardViewRenderer::LegendCell> BoardViewRenderer::legendCells(const QSizeF& view) const
{
    std::vector<LegendCell> cells;
    if (usedRows_.empty())
        return cells;
    const bool column = view.width() > 1.6 * view.height();
    const int perLine = column ? 1 : std::max(1, int(view.width() / kCellWidth));
    for (size_t k = 0; k < usedRows_.size(); ++k) {
        const int line = int(k) / perLine, place = int(k) % perLine;
        cells.push_back({usedRows_[k],
            QRectF(4 + place * kCellWidth, 4 + line * kCellHeight, kCellWidth - 8, kCellHeight)});
    }
    return cells;
}

QRectF BoardViewRenderer::legendArea(const QSizeF& view) const
{
    const std::vector<LegendCell> cells = legendCells(view);
    if (cells.empty())
        return QRectF();
    if (view.width() > 1.6 * view.height())
        return QRectF(0, 0, kCellWidth, view.height());
    const double bottom = cells.back().box.bottom() + 4;
    return QRectF(0, 0, view.width(), std::min(bottom, view.height() / 3));
}

QRectF BoardViewRenderer::scaleBarArea(const QSizeF& view) const
{
    // Beside the legend's column, or across the whole width under a legend band.
    const QRectF legend = legendArea(view);
    const double left = !legend.isEmpty() && legend.height() >= view.height() - 1 ? legend.right() : 0;
    const double height = std::min(kScaleBand, view.height() / 4);
    return QRectF(left, view.height() - height, view.width() - left, height);
}

QRectF BoardViewRenderer::boardArea(const QSizeF& view) const
{
    const QRectF legend = legendArea(view);
    const double bottom = scaleBarArea(view).top();
    if (legend.isEmpty())
        return QRectF(QPointF(0, 0), QPointF(view.width(), bottom));
    if (legend.height() >= view.height() - 1) // a column at the left
        return QRectF(QPointF(legend.right(), 0), QPointF(view.width(), bottom));
    return QRectF(QPointF(0, legend.bottom()), QPointF(view.width(), bottom));
}

std::optional<int> BoardViewRenderer::legendRowAt(const QSizeF& view, const QPointF& point) const
{
    if (!legendArea(view).contains(point))
        return std::nullopt;
    for (const LegendCell& c : legendCells(view)) {
        if (c.box.contains(point))
            return c.row;
    }
    return std::nullopt;
}

double BoardViewRenderer::holePixels(int row, double scale) const
{
    const double minimum = options_.marks ? kMinimumMark : kMinimumDot;
    const std::optional<double> d = table_ ? rowDiameter(*table_, row) : std::nullopt;
    return std::max(minimum, d ? *d * scale : 0.0);
}

Rgb BoardViewRenderer::colorOf(int row, const ViewOverlay& overlay) const
{
    Rgb c {128, 128, 128}; // a D-code that no row holds
    if (row >= 0 && row < HoleTable::kRows && table_) {
        c = table_->row(row).kind == HoleKind::Outline ? Rgb {0, 0, 0} : rowColor(table_->row(row).color);
        if (options_.marks)
            c = printableColor(c);
    }
    return overlay.highlight && *overlay.highlight != row ? dimmed(c) : c;
}

void BoardViewRenderer::stampBoard(PictureSurface& surface, const ViewTransform& t, double dpr,
    const QRectF& area, const ViewOverlay& overlay, bool everyHole)
{
    if (!board_)
        return;
    const auto device = [&](double x, double y) { return t.toView(x, y) * dpr; };
    // The outline: thin black lines.
    surface.setPenWidth(int16_t(std::max(1.0, std::round(dpr))));
    for (const HeldBoard::Line& l : board_->outline) {
        const QPointF a = device(l.x1, l.y1), b = device(l.x2, l.y2);
        surface.line(float(a.x()), float(a.y()), float(b.x()), float(b.y()), Rgb {0, 0, 0});
    }
    // Each row's pen and colour once a frame, not once a hole (the last: a D-code of no row).
    std::array<int16_t, HoleTable::kRows + 1> pens {};
    std::array<Rgb, HoleTable::kRows + 1> colours {};
    for (int r = 0; r <= HoleTable::kRows; ++r) {
        const int row = r == HoleTable::kRows ? -1 : r;
        pens[size_t(r)] = int16_t(std::clamp(std::lround(holePixels(row, t.scale) * dpr), 1L, 32767L));
        colours[size_t(r)] = colorOf(row, overlay);
    }
    const auto slotOf = [](uint8_t row) {
        return row < HoleTable::kRows ? size_t(row) : size_t(HoleTable::kRows);
    };
    // Slots at their width (with symbols: a thin line and the row's mark where it starts).
    const auto thin = int16_t(std::max(1.0, std::round(dpr)));
    for (const HeldBoard::Slot& s : board_->slotHoles) {
        const QPointF a = device(s.x1, s.y1), b = device(s.x2, s.y2);
        const size_t r = slotOf(s.row);
        const bool outlineRow = r < size_t(HoleTable::kRows) && table_->row(int(r)).kind == HoleKind::Outline;
        surface.setPenWidth(options_.marks || outlineRow ? thin : pens[r]);
        surface.line(float(a.x()), float(a.y()), float(b.x()), float(b.y()), colours[r]);
        if (options_.marks && !outlineRow && !s.joined && r < size_t(HoleTable::kRows))
            drawMark(surface, float(a.x()), float(a.y()), rowMark(int(r)), pens[r], colours[r]);
    }
    // The holes in sight (all of them for the overview), each at its drawn size; the transform
    // written out, as it runs for every hole.
    const double k = t.scale * dpr;
    const double ox = (t.anchor.x() - t.centre.x() * t.scale) * dpr;
    const double oy = (t.anchor.y() + t.centre.y() * t.scale) * dpr;
    const auto stamp = [&](uint32_t, const HeldBoard::Hole& h) {
        const size_t r = slotOf(h.row);
        const auto x = float(ox + h.x * k), y = float(oy - h.y * k);
        if (options_.marks && r < size_t(HoleTable::kRows)) {
            drawMark(surface, x, y, rowMark(int(r)), pens[r], colours[r]);
        } else {
            surface.setPenWidth(pens[r]);
            surface.dot(x, y, colours[r]);
        }
        return true;
    };
    if (everyHole) {
        HeldBoard::Hole h;
        for (uint32_t i = 0; i < board_->holes.size(); ++i) {
            if (board_->holes.at(i, h))
                stamp(i, h);
        }
        return;
    }
    // Holes whose circle may reach into the view: the largest drawn radius grows the region.
    double reach = 0;
    for (const uint8_t row : usedRows_)
        reach = std::max(reach, holePixels(row, t.scale));
    reach = std::max(reach, holePixels(-1, t.scale)) / t.scale;
    grid_->forEachIn(*board_, t.visible(area).adjusted(-reach, -reach, reach, reach), stamp);
}

bool BoardViewRenderer::overviewServes(const ViewTransform& t, const QRectF& area) const
{
    return grid_ && grid_->countIn(t.visible(area)) > kStampedHoles;
}

void BoardViewRenderer::makeOverview(const QSizeF& view, double dpr, std::optional<int> highlight)
{
    // The whole frame at twice the fitted scale (at most 4,096 pixels a side).
    const QRectF area = boardArea(view);
    const double k = std::min(2.0 * dpr, 4096.0 / std::max(area.width(), area.height()));
    const QSize size(std::max(1, int(area.width() * k)), std::max(1, int(area.height() * k)));
    overviewTransform_.fit(board_->frame, QRectF(QPointF(0, 0), QSizeF(size)));
    PictureSurface surface(size.width(), size.height(), 1440.0);
    surface.clear();
    ViewOverlay overlay;
    overlay.highlight = highlight;
    stampBoard(surface, overviewTransform_, 1.0, QRectF(QPointF(0, 0), QSizeF(size)), overlay, true);
    overview_ = surface.image();
    // White is no hole: the layers under the holes show through it (a board without layers
    // keeps the opaque picture, quicker to lay).
    if (layers_.count() > 0)
        overview_ = overview_.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < overview_.height() && layers_.count() > 0; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(overview_.scanLine(y));
        for (int x = 0; x < overview_.width(); ++x) {
            if (line[x] == 0xffffffffu)
                line[x] = 0;
        }
    }
    overviewValid_ = true;
    overviewHighlight_ = highlight;
}

BoardViewRenderer::LayerCache BoardViewRenderer::drawLayers(LayerPainter& layers,
    const std::vector<LayerStyle>& styles, const ViewTransform& t, const QRectF& area, double dpr,
    const QSize& size)
{
    LayerCache c;
    c.image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    c.image.fill(Qt::transparent);
    const QTransform toPixels(t.scale * dpr, 0, 0, -t.scale * dpr,
        (t.anchor.x() - t.centre.x() * t.scale) * dpr, (t.anchor.y() + t.centre.y() * t.scale) * dpr);
    const QRect pixels = QRectF(area.topLeft() * dpr, area.size() * dpr).toAlignedRect();
    c.drawn = layers.paint(c.image, toPixels, pixels, styles);
    c.transform = t;
    c.area = area;
    c.dpr = dpr;
    c.valid = true;
    return c;
}

void BoardViewRenderer::drawLayerCache(
    const ViewTransform& t, const QRectF& area, double dpr, const QSize& size)
{
    waitForRefresh();
    layerCache_ = drawLayers(layers_, layerStyles_, t, area, dpr, size);
    layerObjectsDrawn_ = layerCache_.drawn;
}

void BoardViewRenderer::refreshLayers()
{
    if (!layersStale_ || !board_)
        return;
    drawLayerCache(lastTransform_, lastArea_, lastDpr_, lastSize_);
    layersStale_ = false;
}

void BoardViewRenderer::startRefresh()
{
    if (!layersStale_ || !board_ || refresh_.valid())
        return;
    refresh_ = std::async(std::launch::async,
        [this, styles = layerStyles_, t = lastTransform_, area = lastArea_, dpr = lastDpr_,
            size = lastSize_] { return drawLayers(layers_, styles, t, area, dpr, size); });
}

bool BoardViewRenderer::takeRefreshed()
{
    if (!refresh_.valid() || refresh_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return false;
    layerCache_ = refresh_.get();
    layerObjectsDrawn_ = layerCache_.drawn;
    return true;
}

qint64 BoardViewRenderer::render(QImage& image, const ViewTransform& t, const ViewOverlay& overlay)
{
    const double dpr = image.devicePixelRatio();
    const QSizeF view = QSizeF(image.size()) / dpr;
    if (!surface_ || surfaceSize_ != image.size()) {
        surface_ = std::make_unique<PictureSurface>(image.width(), image.height(), 1440.0); // a twip a pixel
        surfaceSize_ = image.size();
        overviewValid_ = false;
    }
    PictureSurface& s = *surface_;
    s.clear();
    const QRectF area = boardArea(view);
    const bool overview = board_ && overviewServes(t, area);
    const bool anyLayer =
        std::any_of(layerStyles_.begin(), layerStyles_.end(), [](const LayerStyle& l) { return l.shown; });
    layersStale_ = false;
    if (board_ && layers_.count() > 0 && anyLayer) { // the layers first, under the holes
        lastTransform_ = t;
        lastArea_ = area;
        lastDpr_ = dpr;
        lastSize_ = image.size();
        const LayerCache& c = layerCache_;
        if (!c.valid || c.dpr != dpr || c.image.size() != image.size())
            drawLayerCache(t, area, dpr, image.size());
        const bool same = c.transform.scale == t.scale && c.transform.centre == t.centre
            && c.transform.anchor == t.anchor && c.area == area;
        // The kept picture, moved and scaled from where it was drawn to where the board is now.
        const double k = t.scale / c.transform.scale;
        const QPointF from = c.transform.toView(0, 0), to = t.toView(0, 0);
        QPainter p(&s.pixels());
        p.setClipRect(QRectF(area.topLeft() * dpr, area.size() * dpr));
        p.setTransform(QTransform::fromTranslate(-from.x() * dpr, -from.y() * dpr)
            * QTransform::fromScale(k, k) * QTransform::fromTranslate(to.x() * dpr, to.y() * dpr));
        p.drawImage(QPointF(0, 0), c.image);
        layersStale_ = !same;
    }
    qint64 stamped = 0;
    if (board_ && !overview) {
        stamped = grid_->countIn(t.visible(area));
        stampBoard(s, t, dpr, area, overlay, false);
    }
    // The legend's marks, over its band.
    const QRectF legend = legendArea(view);
    const std::vector<LegendCell> cells = legendCells(view);
    if (!legend.isEmpty()) {
        const QPointF to = legend.topLeft() * dpr;
        s.setPenWidth(1);
        for (int y = int(to.y()); y < int(legend.bottom() * dpr); ++y) { // a light band under the cells
            s.line(float(to.x()), float(y), float(legend.right() * dpr), float(y), Rgb {244, 244, 244});
        }
        for (const LegendCell& c : cells) {
            if (c.box.bottom() > legend.bottom())
                break;
            const QPointF m = QPointF(c.box.left() + 8, c.box.center().y()) * dpr;
            const int size = int(std::lround((options_.marks ? 11 : 9) * dpr));
            if (options_.marks)
                drawMark(s, float(m.x()), float(m.y()), rowMark(c.row), size, colorOf(c.row, overlay));
            else {
                s.setPenWidth(int16_t(size));
                s.dot(float(m.x()), float(m.y()), colorOf(c.row, overlay));
            }
        }
    }
    image.fill(Qt::white);
    QPainter p(&image);
    p.drawImage(QRectF(QPointF(0, 0), view), s.image());
    if (overview) {
        if (!overviewValid_ || overviewHighlight_ != overlay.highlight)
            makeOverview(view, dpr, overlay.highlight);
        const QRectF shown = t.visible(area);
        const QPointF a = overviewTransform_.toView(shown.left(), shown.bottom());
        const QPointF b = overviewTransform_.toView(shown.right(), shown.top());
        p.save();
        p.setClipRect(area);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawImage(area, overview_, QRectF(a, b));
        p.restore();
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    // The legend's texts: D-code, diameter, tolerances and kind, and the count with counts.
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(int(kFontPixels));
    p.setFont(font);
    const QFontMetricsF fm(font);
    for (const LegendCell& c : cells) {
        if (c.box.bottom() > legend.bottom())
            break;
        const HoleRow& row = table_->row(c.row);
        QString text = row.dcode + QLatin1Char(' ') + row.diameter + QLatin1Char(' ') + toleranceText(row);
        if (options_.counts)
            text += QStringLiteral(" ×")
                + QString::number((*options_.counts)[size_t(c.row)].holeCount
                    + (*options_.counts)[size_t(c.row)].slotCount);
        p.setPen(overlay.highlight && *overlay.highlight != c.row ? QColor(160, 160, 160) : QColor(0, 0, 0));
        const QRectF textBox(c.box.left() + 20, c.box.top(), c.box.width() - 20, c.box.height());
        p.drawText(
            textBox, Qt::AlignLeft | Qt::AlignVCenter, fm.elidedText(text, Qt::ElideRight, textBox.width()));
    }
    p.setClipRect(area);
    // The selected hole, ringed.
    if (overlay.selectedHole && board_ && *overlay.selectedHole < board_->holes.size()) {
        const HeldBoard::Hole h = board_->holes[*overlay.selectedHole];
        const double r = holePixels(h.row, t.scale) / 2 + 4;
        p.setPen(QPen(QColor(255, 0, 128), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(t.toView(h.x, h.y), r, r);
    }
    // A finding: its holes ringed in red, a pair joined.
    if (!overlay.finding.empty()) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(230, 0, 0), 2, Qt::DashLine));
        for (size_t i = 1; i < overlay.finding.size(); ++i)
            p.drawLine(t.toView(overlay.finding[i - 1].first.x(), overlay.finding[i - 1].first.y()),
                t.toView(overlay.finding[i].first.x(), overlay.finding[i].first.y()));
        // On a white halo: the ring reads over a red hole as well.
        for (const QColor& pen : {QColor(255, 255, 255), QColor(230, 0, 0)}) {
            p.setPen(QPen(pen, pen.red() == 255 && pen.green() == 255 ? 5 : 2));
            for (const auto& [at, radius] : overlay.finding) {
                const double r = std::max(radius * t.scale + 5, 8.0);
                p.drawEllipse(t.toView(at.x(), at.y()), r, r);
            }
        }
    }
    // The measured line with its ends.
    if (overlay.measure) {
        const QPointF a = t.toView(overlay.measure->first.x(), overlay.measure->first.y());
        const QPointF b = t.toView(overlay.measure->second.x(), overlay.measure->second.y());
        p.setPen(QPen(QColor(0, 90, 200), 2, Qt::DashLine));
        p.drawLine(a, b);
        p.setPen(QPen(QColor(0, 90, 200), 2));
        for (const QPointF& e : {a, b})
            p.drawEllipse(e, 4, 4);
    }
    // The scale bar in its band under the board's area: the band covers what a hole at the
    // area's edge spills over it, and the bar covers no hole.
    p.setClipping(false);
    const QRectF band = scaleBarArea(view);
    p.fillRect(band, QColor(244, 244, 244));
    const double length = scaleBarLength(t.scale);
    if (length > 0 && band.height() >= 24) {
        const double pixels = length * t.scale;
        const QPointF start(band.left() + 14, band.center().y());
        const QString label = QString::number(length, 'g', 6) + QStringLiteral(" mm");
        p.setPen(QPen(QColor(0, 0, 0), 2));
        p.drawLine(start, start + QPointF(pixels, 0));
        p.drawLine(start + QPointF(0, -5), start + QPointF(0, 5));
        p.drawLine(start + QPointF(pixels, -5), start + QPointF(pixels, 5));
        // The length beside the bar, on the same line.
        const double textLeft = start.x() + pixels + 8;
        p.drawText(QRectF(textLeft, band.top(), std::max(band.right() - textLeft, 1.0), band.height()),
            Qt::AlignLeft | Qt::AlignVCenter, label);
    }
    return stamped;
}

} // namespace kivotrek
