#pragma once

// A view of a held board to zoom, pan and inspect: the transform from the board's millimetres to
// the view's pixels, and the picture of what it shows (the board's holes at their true size
// when zoomed in, never smaller than a visible dot; the outline; the legend; a scale bar). A
// view of more holes than a frame can stamp shows an overview picture made once, so that every
// frame stays quick on a million holes.

#include "drawing/heldboard.h"
#include "drawing/layerpainter.h"
#include "drawing/layout.h"
#include "drawing/picturesurface.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <future>
#include <memory>
#include <optional>
#include <vector>

namespace kivotrek {

class ViewTransform {
public:
    double scale = 1.0; // view pixels per millimetre
    QPointF centre; // the board point (millimetres, y up) at the anchor
    QPointF anchor; // the view point (pixels, y down) where centre lies

    QPointF toView(double x, double y) const
    {
        return {anchor.x() + (x - centre.x()) * scale, anchor.y() - (y - centre.y()) * scale};
    }
    QPointF toBoard(const QPointF& p) const
    {
        return {centre.x() + (p.x() - anchor.x()) / scale, centre.y() - (p.y() - anchor.y()) / scale};
    }
    // The board rectangle (millimetres) that the view area shows.
    QRectF visible(const QRectF& area) const;
    // The whole frame in the area, a margin round it.
    void fit(const QRectF& frame, const QRectF& area);
    // Zooms by the factor about a view point: the board point under it stays under it. The
    // scale stays within what a board may need: at most kMaximumScale.
    void zoomAbout(const QPointF& viewPoint, double factor);
    // Pixels a millimetre at the closest: 4 micrometres a pixel, a 0.1 mm via 25 pixels wide.
    static constexpr double kMaximumScale = 250.0;
    // Moves the picture by the pixels.
    void pan(const QPointF& delta) { anchor += delta; }
};

// A length for the scale bar: 1, 2 or 5 times a power of ten millimetres, about the pixels long.
double scaleBarLength(double pixelsPerMillimetre, double aboutPixels = 120);

// What the picture shows beside the board itself.
struct ViewOverlay {
    std::optional<int> highlight; // a row whose holes stand out, the others dimmed
    std::optional<size_t> selectedHole; // ringed
    std::optional<std::pair<QPointF, QPointF>> measure; // a measured line, board millimetres
    // A drill check's finding: its places (board millimetres) with their radii, ringed in red
    // and joined by a line.
    std::vector<std::pair<QPointF, double>> finding;
};

// The picture of a view. Its stamps (one image of a mark per row and size) and its overview stay
// from frame to frame; setBoard or setTable makes them again.
class BoardViewRenderer {
public:
    BoardViewRenderer();
    ~BoardViewRenderer();

    // The board, its grid and the table (rows, diameters, colours) it is drawn with; the
    // renderer keeps pointers, the caller keeps them alive.
    void setBoard(const HeldBoard* board, const HoleGrid* grid, const HoleTable* table);
    // The table's diameters, colours or kinds changed.
    void tableChanged();
    void setOptions(const DrawingOptions& options);
    // How each of the board's layers is shown (styles[i] is board->layers[i]'s); setBoard sets
    // each role's default.
    void setLayerStyles(const std::vector<LayerStyle>& styles);
    const std::vector<LayerStyle>& layerStyles() const { return layerStyles_; }
    const LayerPainter& layers() const { return layers_; }
    // How many layer objects the last frame drew one by one.
    qint64 layerObjectsDrawn() const { return layerObjectsDrawn_; }
    // The layers are drawn once at a view's transform and kept: a frame at another zoom or pan
    // shows that picture moved and scaled at once, and is then stale until refreshLayers draws
    // them sharp at the last frame's transform (the view does so when the user pauses).
    bool layersStale() const { return layersStale_; }
    void refreshLayers();
    // The same in the background: startRefresh begins drawing them sharp at the last frame's
    // transform (nothing when they are not stale or a drawing runs); takeRefreshed lays a
    // finished one in, true when it did (the view paints again).
    void startRefresh();
    bool takeRefreshed();
    bool refreshing() const { return refresh_.valid(); }

    // Where the legend goes in a view of the size: a band across the top, or a column at the
    // left of a wide view; the scale bar a band under the board's area, so that it never covers
    // a hole (a mounting hole in the corner); the board's area is the rest.
    QRectF legendArea(const QSizeF& view) const;
    QRectF scaleBarArea(const QSizeF& view) const;
    QRectF boardArea(const QSizeF& view) const;
    // The row whose legend cell holds the view point, if any.
    std::optional<int> legendRowAt(const QSizeF& view, const QPointF& point) const;

    // Draws the view into the image (its device pixel ratio applied: the transform is in
    // logical pixels). How many holes were stamped one by one (0 when the overview served).
    qint64 render(QImage& image, const ViewTransform& t, const ViewOverlay& overlay);

    // A hole's drawn diameter in view pixels at the scale: its true size, at least a dot.
    double holePixels(int row, double scale) const;
    static constexpr double kMinimumDot = 3.0; // pixels: a hole stays visible however far out
    static constexpr double kMinimumMark = 9.0; // a symbol's pixels, as the preview draws it
    // Above this many holes in sight the overview is shown instead of stamping each.
    static constexpr qint64 kStampedHoles = 100000;

private:
    struct LegendCell {
        int row;
        QRectF box; // logical pixels
    };
    std::vector<LegendCell> legendCells(const QSizeF& view) const;
    void stampBoard(PictureSurface& surface, const ViewTransform& t, double dpr, const QRectF& area,
        const ViewOverlay& overlay, bool everyHole);
    bool overviewServes(const ViewTransform& t, const QRectF& area) const;
    void makeOverview(const QSizeF& view, double dpr, std::optional<int> highlight);
    Rgb colorOf(int row, const ViewOverlay& overlay) const;

    const HeldBoard* board_ = nullptr;
    const HoleGrid* grid_ = nullptr;
    const HoleTable* table_ = nullptr;
    DrawingOptions options_;
    std::unique_ptr<PictureSurface> surface_; // the size of the last picture
    QSize surfaceSize_;
    QImage overview_; // every hole at the overview's transform
    ViewTransform overviewTransform_;
    bool overviewValid_ = false;
    std::optional<int> overviewHighlight_; // the class the overview shows highlighted
    std::vector<uint8_t> usedRows_; // the rows that have holes or slotHoles, for the legend
    LayerPainter layers_;
    std::vector<LayerStyle> layerStyles_;
    qint64 layerObjectsDrawn_ = 0;
    struct LayerCache {
        QImage image; // the shown layers, translucent, on nothing
        ViewTransform transform;
        QRectF area;
        double dpr = 1;
        bool valid = false;
        qint64 drawn = 0; // objects drawn one by one
    } layerCache_;
    // One drawing of the layers at a time (the painter keeps its grids' marks while it draws):
    // the one in the background is waited for before another, and before the layers change.
    std::future<LayerCache> refresh_;
    void waitForRefresh();
    static LayerCache drawLayers(LayerPainter& layers, const std::vector<LayerStyle>& styles,
        const ViewTransform& t, const QRectF& area, double dpr, const QSize& size);
    bool layersStale_ = false;
    ViewTransform lastTransform_;
    QRectF lastArea_;
    double lastDpr_ = 1;
    QSize lastSize_;
    void drawLayerCache(const ViewTransform& t, const QRectF& area, double dpr, const QSize& size);
};

} // namespace kivotrek
