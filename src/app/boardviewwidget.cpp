#include "app/boardviewwidget.h"

#include "common/messages.h"
#include "package/layerroles.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>

namespace kivotrek {

namespace {
QString mm(double v)
{
    return QString::number(v, 'f', 3);
}
constexpr double kClickSlop = 4; // pixels a press may move and still be a click
} // namespace

BoardViewWidget::BoardViewWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("boardView"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(240, 200);
    sharpen_ = new QTimer(this);
    sharpen_->setSingleShot(true);
    sharpen_->setInterval(120);
    // The sharp layers are drawn beside the window's thread: it goes on zooming and panning
    // meanwhile, and paints them when they are ready.
    collect_ = new QTimer(this);
    collect_->setInterval(15);
    connect(sharpen_, &QTimer::timeout, this, [this] {
        renderer_.startRefresh();
        if (renderer_.refreshing())
            collect_->start();
    });
    connect(collect_, &QTimer::timeout, this, [this] {
        if (renderer_.takeRefreshed()) {
            collect_->stop();
            update();
        }
    });
}

void BoardViewWidget::setLayerStyles(const std::vector<LayerStyle>& styles)
{
    renderer_.setLayerStyles(styles);
    update();
}

void BoardViewWidget::setBoard(const HeldBoard* board, const HoleGrid* grid, const HoleTable* table, bool fit)
{
    board_ = board;
    grid_ = grid;
    table_ = table;
    renderer_.setBoard(board, grid, table);
    // Its files or D-codes changed: what the overlay marks may be gone or in another row. A
    // finding's ring goes with its holes (the checks, open, run again on the new board).
    overlay_ = ViewOverlay();
    if (fit)
        fitBoard();
    else if (followsSize_)
        fitShown();
    update();
}

void BoardViewWidget::tableChanged()
{
    renderer_.tableChanged();
    update();
}

void BoardViewWidget::setOptions(const DrawingOptions& options)
{
    renderer_.setOptions(options);
    update();
}

void BoardViewWidget::showFinding(const std::vector<std::pair<QPointF, double>>& places, const QString& text)
{
    overlay_ = ViewOverlay();
    overlay_.finding = places;
    if (!places.empty()) {
        // The places with room round them: 2 mm, or four times the largest hole's radius.
        // (QRectF::united drops a rectangle of no size: the corners by hand.)
        QPointF low = places.front().first, high = low;
        double margin = 2.0;
        for (const auto& [at, radius] : places) {
            low = QPointF(std::min(low.x(), at.x()), std::min(low.y(), at.y()));
            high = QPointF(std::max(high.x(), at.x()), std::max(high.y(), at.y()));
            margin = std::max(margin, 4 * radius);
        }
        const QRectF area(low, high);
        fitArea_ = area.adjusted(-margin, -margin, margin, margin);
        followsSize_ = true; // the window laid out or resized, the finding stays in the middle
        fitShown();
    }
    emit statusChanged(text);
    update();
}

void BoardViewWidget::fitBoard()
{
    fitArea_.reset();
    followsSize_ = true; // until the user zooms or pans, a new size fits the board again
    fitShown();
}

void BoardViewWidget::fitShown()
{
    if (board_ && width() > 0 && height() > 0)
        transform_.fit(fitArea_.value_or(board_->frame), renderer_.boardArea(QSizeF(size())));
    update();
}

void BoardViewWidget::highlightRow(std::optional<int> row)
{
    overlay_.highlight = row;
    if (!row)
        overlay_.selectedHole.reset();
    update();
}

QImage BoardViewWidget::picture()
{
    const double dpr = devicePixelRatioF();
    QImage image(QSize(int(width() * dpr), int(height() * dpr)), QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    renderer_.render(image, transform_, overlay_);
    return image;
}

void BoardViewWidget::paintEvent(QPaintEvent*)
{
    const QImage image = picture();
    QPainter p(this);
    p.drawImage(QPointF(0, 0), image);
    if (renderer_.layersStale())
        sharpen_->start(); // again from now: while the user zooms, the kept picture serves
}

void BoardViewWidget::resizeEvent(QResizeEvent* event)
{
    // A board as fitted fills the window again; one zoomed into or panned keeps its centre.
    if (followsSize_) {
        fitShown();
    } else {
        const QPointF shift = QPointF(event->size().width() - event->oldSize().width(),
                                  event->size().height() - event->oldSize().height())
            / 2;
        transform_.pan(shift);
    }
    QWidget::resizeEvent(event);
}

void BoardViewWidget::wheelEvent(QWheelEvent* event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0) {
        transform_.zoomAbout(event->position(), std::pow(1.25, steps));
        followsSize_ = false;
        update();
    }
    event->accept();
}

std::optional<HitMark> BoardViewWidget::markUnder(const QPointF& viewPoint) const
{
    if (!board_ || !grid_ || !table_ || !renderer_.boardArea(QSizeF(size())).contains(viewPoint))
        return std::nullopt;
    const QPointF at = transform_.toBoard(viewPoint);
    // A hole is found where it is drawn: at least its minimum dot, plus a pixel or two.
    const double minimum = (BoardViewRenderer::kMinimumDot / 2 + 2) / transform_.scale;
    return markAt(*board_, *grid_, *table_, at.x(), at.y(), minimum);
}

void BoardViewWidget::tellPosition(const QPointF& viewPoint)
{
    if (!board_ || !renderer_.boardArea(QSizeF(size())).contains(viewPoint)) {
        emit statusChanged(QString());
        return;
    }
    const QPointF at = transform_.toBoard(viewPoint);
    QString text = msg::viewPosition(mm(at.x()), mm(at.y()));
    if (const auto mark = markUnder(viewPoint)) {
        text += QStringLiteral("　") + holeText(*board_, *table_, *mark);
    } else if (const auto hit = renderer_.layers().objectAt(
                   at.x(), at.y(), 2.0 / transform_.scale, renderer_.layerStyles())) {
        // The layer under the cursor and what of it lies there: a pad's aperture and size.
        const BoardLayer& layer = board_->layers[hit->layer];
        text += QStringLiteral("　")
            + msg::layerUnderCursor(layerRoleText(layer.role), QFileInfo(layer.name).fileName(),
                layerObjectText(*layer.image, layer.image->objects[hit->object]));
    }
    emit statusChanged(text);
}

QString BoardViewWidget::holeText(const HeldBoard& board, const HoleTable& table, const HitMark& mark)
{
    int row = HeldBoard::kNoRow;
    int file = 0;
    if (mark.slot) {
        row = board.slotHoles[mark.index].row;
        file = board.slotHoles[mark.index].file;
    } else {
        row = board.holes[mark.index].row;
        file = board.holes[mark.index].file;
    }
    const QString name = board.files.value(file);
    if (row == HeldBoard::kNoRow)
        return msg::viewHoleWithoutRow(name, mm(mark.x), mm(mark.y));
    const HoleRow& r = table.row(row);
    return msg::viewHole(
        mark.slot, row + 1, r.dcode, r.diameter, toleranceText(r), name, mm(mark.x), mm(mark.y));
}

QString BoardViewWidget::measureText(const HeldBoard& board, const HoleTable& table, const QPointF& from,
    const std::optional<HitMark>& fromMark, const QPointF& to, const std::optional<HitMark>& toMark)
{
    const double dx = to.x() - from.x(), dy = to.y() - from.y();
    const double centres = std::hypot(dx, dy);
    // Between two holes also from edge to edge: their true radii off the distance.
    std::optional<double> edges;
    if (fromMark && toMark && !fromMark->slot && !toMark->slot) {
        const auto radius = [&](const HitMark& m) {
            return rowDiameter(table, board.holes[m.index].row).value_or(0) / 2;
        };
        edges = centres - radius(*fromMark) - radius(*toMark);
    }
    return msg::viewMeasure(mm(centres), edges ? mm(*edges) : QString(), mm(dx), mm(dy));
}

void BoardViewWidget::mousePressEvent(QMouseEvent* event)
{
    pressedAt_ = lastAt_ = event->position();
    panning_ = false;
    const bool measure =
        (event->button() == Qt::LeftButton) && (measuring_ || (event->modifiers() & Qt::ShiftModifier));
    if (measure) {
        drag_ = Drag::Measure;
        measureFrom_ = markUnder(pressedAt_);
        const QPointF at =
            measureFrom_ ? QPointF(measureFrom_->x, measureFrom_->y) : transform_.toBoard(pressedAt_);
        overlay_.measure = std::make_pair(at, at);
        update();
    } else if (event->button() == Qt::LeftButton || event->button() == Qt::MiddleButton) {
        drag_ = Drag::Pan;
    }
    event->accept();
}

void BoardViewWidget::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    if (drag_ == Drag::Pan) {
        // A hand that trembles while it clicks a hole does not pan: the board stays as fitted
        // and follows the window. Past the click's slop the drag pans from where it began.
        if (std::hypot(at.x() - pressedAt_.x(), at.y() - pressedAt_.y()) <= kClickSlop && !panning_)
            return;
        panning_ = true;
        transform_.pan(at - lastAt_);
        followsSize_ = false;
        update();
    } else if (drag_ == Drag::Measure && overlay_.measure) {
        const auto mark = markUnder(at);
        const QPointF end = mark ? QPointF(mark->x, mark->y) : transform_.toBoard(at);
        overlay_.measure->second = end;
        emit statusChanged(measureText(*board_, *table_, overlay_.measure->first, measureFrom_, end, mark));
        update();
    } else {
        tellPosition(at);
    }
    lastAt_ = at;
}

void BoardViewWidget::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    const bool click = std::hypot(at.x() - pressedAt_.x(), at.y() - pressedAt_.y()) <= kClickSlop;
    if (drag_ == Drag::Measure && overlay_.measure && board_) {
        const auto mark = markUnder(at);
        if (click && !mark)
            overlay_.measure.reset(); // a click is no measurement
        else
            emit statusChanged(measureText(
                *board_, *table_, overlay_.measure->first, measureFrom_, overlay_.measure->second, mark));
    } else if (drag_ == Drag::Pan && click && event->button() == Qt::LeftButton) {
        // A click: a legend cell or a hole highlights its class.
        if (const auto row = renderer_.legendRowAt(QSizeF(size()), at)) {
            overlay_.selectedHole.reset();
            overlay_.highlight = *row;
        } else if (const auto mark = markUnder(at); mark && board_) {
            const int row = mark->slot ? board_->slotHoles[mark->index].row : board_->holes[mark->index].row;
            overlay_.selectedHole = mark->slot ? std::nullopt : std::optional<size_t>(mark->index);
            overlay_.highlight = row == HeldBoard::kNoRow ? std::nullopt : std::optional<int>(row);
            emit statusChanged(holeText(*board_, *table_, *mark));
        }
    }
    drag_ = Drag::None;
    update();
    event->accept();
}

void BoardViewWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && !markUnder(event->position()))
        fitBoard(); // empty space: the whole board
    event->accept();
}

void BoardViewWidget::keyPressEvent(QKeyEvent* event)
{
    const QPointF centre = renderer_.boardArea(QSizeF(size())).center();
    constexpr double kPanStep = 60;
    switch (event->key()) {
    case Qt::Key_Home: fitBoard(); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: transform_.zoomAbout(centre, 1.25); break;
    case Qt::Key_Minus: transform_.zoomAbout(centre, 1 / 1.25); break;
    case Qt::Key_Left: transform_.pan(QPointF(kPanStep, 0)); break;
    case Qt::Key_Right: transform_.pan(QPointF(-kPanStep, 0)); break;
    case Qt::Key_Up: transform_.pan(QPointF(0, kPanStep)); break;
    case Qt::Key_Down: transform_.pan(QPointF(0, -kPanStep)); break;
    case Qt::Key_Escape:
        overlay_ = ViewOverlay();
        emit statusChanged(QString());
        break;
    default: QWidget::keyPressEvent(event); return;
    }
    if (event->key() != Qt::Key_Home && event->key() != Qt::Key_Escape)
        followsSize_ = false;
    update();
    event->accept();
}

} // namespace kivotrek
