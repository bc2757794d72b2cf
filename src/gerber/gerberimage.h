#pragma once

// A Gerber layer (copper, solder mask, silk, paste, a drawing) as the picture it makes: what it
// lays down (dark) and takes away again (clear), in the order the file writes it, in whole
// nanometres (file coordinates, y up). Apertures C, R, O, P and macros, holes in apertures,
// draws and arcs, regions, step and repeat, aperture blocks, polarity and the aperture
// transforms (LM, LR, LS) are followed, as RS-274X and Gerber X2 write them.

#include "drill/drilldata.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace kivotrek {

struct ImagePoint {
    Nanometres x = 0, y = 0;
    friend bool operator==(const ImagePoint& a, const ImagePoint& b) { return a.x == b.x && a.y == b.y; }
};

struct ImageAperture {
    enum class Shape : uint8_t { Circle, Rectangle, Obround, Polygon, Macro, Block };
    int number = 0; // D10 is 10
    Shape shape = Shape::Circle;
    QByteArray macro; // the macro's name
    // As defined, in millimetres: a circle's diameter (width), a rectangle's or an obround's
    // sides, a polygon's outer diameter (width) and vertices; the hole, if any.
    double width = 0, height = 0, hole = 0;
    int vertices = 0;
    QString function; // its .AperFunction ("SMDPad,CuDef", "ViaPad", "Conductor"), if stated
    // The picture about the flash point: each contour laid down or taken out of the aperture,
    // in order (a macro's exposure-off primitive, the hole). A circle without a hole and without
    // a transform is drawn as a circle: it has no contours.
    struct Contour {
        bool clear = false;
        std::vector<ImagePoint> points;
    };
    std::vector<Contour> contours;
    Nanometres reach = 0; // how far the picture reaches from the flash point
    // The width a draw with it has: a circle's diameter, a rectangle's smaller side.
    Nanometres strokeWidth = 0;
    bool round() const { return shape == Shape::Circle && contours.empty(); }
};

struct ImageObject {
    enum class Kind : uint8_t { Flash, Line, Region };
    Kind kind = Kind::Flash;
    bool clear = false; // takes away what is under it (LPC)
    int32_t aperture = -1; // a flash's or a line's; none for a region
    SourceLine line = 0;
    // A flash at (x1, y1); a line from (x1, y1) to (x2, y2); a region's box.
    Nanometres x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    uint32_t first = 0, count = 0; // a region's contour: points[first .. first + count)
};

struct ImageBox {
    Nanometres left = 0, bottom = 0, right = 0, top = 0;
};

struct GerberImage {
    std::vector<ImageAperture> apertures;
    std::vector<ImageObject> objects;
    std::vector<ImagePoint> points; // the regions' contours
    std::optional<ImageBox> box; // what the picture covers; none for an empty one
    QString fileFunction; // ".FileFunction,Copper,L1,Top" without its name: "Copper,L1,Top"
    qint64 skippedLines = 0;
    std::optional<qint64> firstSkippedLine;
    // The read ended before the file did: a limit (objects, a coordinate out of range, a line
    // too long) at the line. What was read before stays.
    std::optional<qint64> stoppedAtLine;
    QString error; // the file could not be read at all (said to the user)

    // An object's box, its aperture's reach included.
    ImageBox boxOf(const ImageObject& o) const;
};

// Objects, region points and step and repeat copies a layer may make: a panel of copper, not
// a file asking for the memory.
constexpr qint64 kMaxImageObjects = 5'000'000;
constexpr qint64 kMaxImagePoints = 20'000'000;

GerberImage readGerberImage(QIODevice& device, const QString& name);
GerberImage readGerberImage(const QString& path);

} // namespace kivotrek
