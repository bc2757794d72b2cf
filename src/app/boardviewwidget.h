#pragma once

#include "drawing/boardview.h"

#include <QWidget>

class QTimer;
#include <optional>

namespace kivotrek {

// The board view of the preview window: the mouse wheel zooms about the cursor, the left or
// middle button pans, a double-click on empty space or Home fits the board, + and − zoom about
// the centre, the arrow keys pan. Hovering tells the board position and the hole under the
// cursor; a click on a hole or a legend cell highlights its class (Esc clears); Shift-drag, or
// a drag in measuring mode, measures from one point or hole to another.
class BoardViewWidget : public QWidget {
    Q_OBJECT
public:
    explicit BoardViewWidget(QWidget* parent = nullptr);

    // The board to show: held data, its grid and the table; the widget keeps pointers. fit
    // shows the whole board (a new board); otherwise the view stays where it is. What was
    // selected, highlighted, measured or ringed is cleared.
    void setBoard(const HeldBoard* board, const HoleGrid* grid, const HoleTable* table, bool fit);
    void tableChanged(); // diameters, colours or kinds
    void setOptions(const DrawingOptions& options);

    ViewTransform& transform() { return transform_; }
    const ViewOverlay& overlay() const { return overlay_; }
    BoardViewRenderer& renderer() { return renderer_; }
    void fitBoard();
    void highlightRow(std::optional<int> row);
    // Shows a drill check's finding: zoomed to its places (board millimetres, with their radii),
    // each ringed, its text in the status bar. Esc clears it.
    void showFinding(const std::vector<std::pair<QPointF, double>>& places, const QString& text);
    void setMeasuring(bool on) { measuring_ = on; }
    // How the board's layers are shown (see BoardViewRenderer::setLayerStyles).
    void setLayerStyles(const std::vector<LayerStyle>& styles);
    // What the view shows now, at its size (the view's own PNG save).
    QImage picture();

    // The texts of the status bar: where the cursor is and what lies under it; a measurement.
    static QString holeText(const HeldBoard& board, const HoleTable& table, const HitMark& mark);
    static QString measureText(const HeldBoard& board, const HoleTable& table, const QPointF& from,
        const std::optional<HitMark>& fromMark, const QPointF& to, const std::optional<HitMark>& toMark);

signals:
    void statusChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::optional<HitMark> markUnder(const QPointF& viewPoint) const;
    void fitShown(); // fits what the view follows: the board, or a finding
    void tellPosition(const QPointF& viewPoint);

    const HeldBoard* board_ = nullptr;
    const HoleGrid* grid_ = nullptr;
    const HoleTable* table_ = nullptr;
    BoardViewRenderer renderer_;
    ViewTransform transform_;
    ViewOverlay overlay_;
    bool followsSize_ = true; // fitted and not moved since: a new size fits again
    std::optional<QRectF> fitArea_; // what is fitted: a finding's places, else the whole board
    bool measuring_ = false;
    enum class Drag { None, Pan, Measure } drag_ = Drag::None;
    bool panning_ = false; // the drag has left the click's slop
    QPointF pressedAt_, lastAt_;
    std::optional<HitMark> measureFrom_;
    QTimer* sharpen_ = nullptr; // draws the layers sharp once the user pauses
    QTimer* collect_ = nullptr; // looks for the sharp layers drawn in the background
};

} // namespace kivotrek
