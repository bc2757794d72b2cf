// Any bytes, read as a copper, mask or silk layer and drawn as the board view draws it: the
// picture's objects stay within what the image holds, and its grid, its drawing and the look
// under a point never read beyond them.

#include "drawing/layerpainter.h"

#include "guiapplication.h"

#include <QBuffer>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kivotrek;
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    auto image = std::make_shared<GerberImage>(readGerberImage(file, QStringLiteral("fuzz.gbr")));
    if (file.isOpen())
        std::abort(); // every file is closed on every way out
    for (const ImageObject& o : image->objects) {
        if (o.kind == ImageObject::Kind::Region && size_t(o.first) + o.count > image->points.size())
            std::abort();
        if (o.kind != ImageObject::Kind::Region
            && (o.aperture < 0 || size_t(o.aperture) >= image->apertures.size()))
            std::abort();
        layerObjectText(*image, o);
    }
    if (image->objects.empty() != !image->box.has_value())
        std::abort();
    std::vector<BoardLayer> layers(1);
    layers[0].role = QStringLiteral("copper-top");
    layers[0].image = image;
    LayerPainter painter;
    painter.setLayers(&layers);
    const std::vector<LayerStyle> styles {{true, Qt::red, 0}};
    QImage picture(64, 48, QImage::Format_RGB32);
    if (image->box) {
        // The whole picture fitted, then a corner of it close up.
        const ImageBox& b = *image->box;
        const double w = std::max(1e-3, (double(b.right) - b.left) / 1e6),
                     h = std::max(1e-3, (double(b.top) - b.bottom) / 1e6);
        const double k = std::min(64 / w, 48 / h);
        painter.paint(
            picture, QTransform(k, 0, 0, -k, -b.left / 1e6 * k, b.top / 1e6 * k), picture.rect(), styles);
        painter.paint(picture,
            QTransform(k * 50, 0, 0, -k * 50, -b.left / 1e6 * k * 50, b.top / 1e6 * k * 50), picture.rect(),
            styles);
        painter.objectAt(b.left / 1e6, b.bottom / 1e6, 0.1, styles);
        painter.objectAt((double(b.left) + b.right) / 2e6, (double(b.bottom) + b.top) / 2e6, 0.1, styles);
    }
    return 0;
}
