#pragma once

// A board's layers (copper, mask, silk, paste, drawings) as the board view draws them under the
// holes: each in its colour, translucent, the first of the list on top. A grid over each layer
// finds what a view shows and what lies under the cursor without looking at the rest; a view
// of more objects than a frame can draw shows each layer's overview, made once.

#include "board/board.h"

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QTransform>
#include <memory>
#include <optional>
#include <vector>

namespace kivotrek {

struct LayerStyle {
    bool shown = false;
    QColor colour;
    int order = 0; // its place from the top: the smallest is drawn last, over the others
};

// The colour and whether a layer of the role is shown when the user has not said: the copper
// of the top and the bottom and the outline shown, the rest not.
LayerStyle defaultLayerStyle(const QString& role, std::optional<int> copper);

class LayerPainter {
public:
    LayerPainter();
    ~LayerPainter();

    // The layers to draw, their grids made here; the painter shares their pictures, so that a
    // drawing in the background outlives a board let go meanwhile.
    void setLayers(const std::vector<BoardLayer>* layers);
    size_t count() const { return grids_.size(); }

    // Draws the layers shown (styles[i] is layers[i]'s), the last first, into the image's area
    // (pixels) at the transform from board millimetres (y up) to the image's pixels. How many
    // objects were drawn one by one (an overview counts none).
    qint64 paint(QImage& image, const QTransform& toPixels, const QRect& area,
        const std::vector<LayerStyle>& styles, double opacity = 0.6);

    // What lies under a board point: the topmost shown layer with an object there, the object,
    // within the tolerance (millimetres) of a thin line.
    struct Hit {
        size_t layer = 0;
        size_t object = 0;
    };
    std::optional<Hit> objectAt(
        double x, double y, double tolerance, const std::vector<LayerStyle>& styles) const;

    // Above this many objects in sight of a layer its overview is drawn instead.
    static constexpr qint64 kDrawnObjects = 40000;

private:
    struct Layer;
    std::vector<std::unique_ptr<Layer>> grids_;
    QImage scratch_; // one layer's picture before it is laid on the others
};

// An object told in words for the status bar: 「パッド D12 円 Ø1.600」, 「配線 D10 Ø0.250」, 「領域」.
QString layerObjectText(const GerberImage& image, const ImageObject& object);

} // namespace kivotrek
