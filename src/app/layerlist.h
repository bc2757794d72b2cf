#pragma once

#include "board/board.h"
#include "drawing/layerpainter.h"

#include <QWidget>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;
class QPushButton;

namespace kivotrek {

// The board view's list of the package's layers: each shown or not (its check box), its colour
// (a double-click, or 色… chooses another) and its place (上へ / 下へ: the top of the list is
// drawn over the rest). What the user chose is remembered for each role (the copper of the top,
// the bottom mask, ...), the order of the roles too, and given to the next board's layers.
class LayerList : public QWidget {
    Q_OBJECT
public:
    explicit LayerList(QWidget* parent = nullptr);

    // The layers and the styles the view starts with; the remembered ones replace them.
    void setLayers(const std::vector<BoardLayer>& layers, std::vector<LayerStyle> styles);
    const std::vector<LayerStyle>& styles() const { return styles_; }
    bool isEmpty() const { return layers_.empty(); }

    // What was chosen for a role, if anything, over the default.
    static LayerStyle remembered(const QString& role, const LayerStyle& fallback);

signals:
    void stylesChanged();

private:
    void fill();
    void move(int by);
    void chooseColour();
    void remember(size_t layer) const;

    QTreeWidget* list_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    QPushButton* colour_ = nullptr;
    std::vector<BoardLayer> layers_;
    std::vector<LayerStyle> styles_;
    bool filling_ = false;
};

} // namespace kivotrek
