#include "gerber/gerberimage.h"

#include "common/fileio.h"
#include "common/linereader.h"
#include "common/messages.h"
#include "drill/arcpieces.h"
#include "gerber/aperturemacro.h"
#include "gerber/gerbersyntax.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace kivotrek {

namespace {
constexpr double kPi = 3.14159265358979323846;

struct Point {
    double x = 0, y = 0; // millimetres
};

Point turned(Point p, double degrees)
{
    if (degrees == 0)
        return p;
    const double a = degrees * kPi / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    return {p.x * c - p.y * s, p.x * s + p.y * c};
}

// A circle's sides: chords within a micrometre of it, 8 to 256.
int circleSides(double radius)
{
    constexpr double kChordError = 0.001;
    if (!(radius > kChordError))
        return 8;
    const double n = std::ceil(kPi / std::acos(1.0 - kChordError / radius));
    return int(std::clamp(n, 8.0, 256.0));
}

using Shape = std::vector<Point>;

Shape circle(Point c, double diameter)
{
    Shape s;
    const int n = circleSides(diameter / 2);
    for (int k = 0; k < n; ++k) {
        const double a = 2 * kPi * k / n;
        s.push_back({c.x + diameter / 2 * std::cos(a), c.y + diameter / 2 * std::sin(a)});
    }
    return s;
}

// A rectangle of the sides about the centre, turned by the degrees about the origin.
Shape rectangle(Point centre, double w, double h, double degrees = 0)
{
    Shape s {{centre.x - w / 2, centre.y - h / 2}, {centre.x + w / 2, centre.y - h / 2},
        {centre.x + w / 2, centre.y + h / 2}, {centre.x - w / 2, centre.y + h / 2}};
    for (Point& p : s)
        p = turned(p, degrees);
    return s;
}

Shape obround(double w, double h)
{
    if (w == h)
        return circle({}, w);
    Shape s;
    const double r = std::min(w, h) / 2;
    const int n = circleSides(r) / 2 + 1;
    // The two round ends, each a half circle, joined by the straight sides.
    const bool wide = w > h;
    const Point a = wide ? Point {-(w / 2 - r), 0} : Point {0, -(h / 2 - r)};
    const Point b = wide ? Point {w / 2 - r, 0} : Point {0, h / 2 - r};
    const double start = wide ? -kPi / 2 : 0;
    for (int k = 0; k <= n; ++k) {
        const double t = start + kPi * k / n;
        s.push_back({b.x + r * std::cos(t), b.y + r * std::sin(t)});
    }
    for (int k = 0; k <= n; ++k) {
        const double t = start + kPi + kPi * k / n;
        s.push_back({a.x + r * std::cos(t), a.y + r * std::sin(t)});
    }
    return s;
}

Shape polygon(Point c, double diameter, int vertices, double degrees)
{
    Shape s;
    for (int k = 0; k < vertices; ++k) {
        const double a = (degrees + 360.0 * k / vertices) * kPi / 180.0;
        s.push_back({c.x + diameter / 2 * std::cos(a), c.y + diameter / 2 * std::sin(a)});
    }
    return s;
}

// How flashes and draws are laid: mirrored, then turned, then scaled about the flash point.
struct ApertureTransform {
    bool mirrorX = false, mirrorY = false;
    double rotation = 0, scale = 1;
    bool identity() const { return !mirrorX && !mirrorY && rotation == 0 && scale == 1; }
    Point apply(Point p) const
    {
        if (mirrorX)
            p.x = -p.x;
        if (mirrorY)
            p.y = -p.y;
        p = turned(p, rotation);
        return {p.x * scale, p.y * scale};
    }
    bool operator<(const ApertureTransform& o) const
    {
        return std::tie(mirrorX, mirrorY, rotation, scale)
            < std::tie(o.mirrorX, o.mirrorY, o.rotation, o.scale);
    }
};

struct Nesting {
    bool block = false; // an aperture block, else a step and repeat
    int aperture = 0;
    int nx = 1, ny = 1;
    double dx = 0, dy = 0;
    std::vector<ImageObject> objects;
    std::vector<ImagePoint> points;
    Point savedAt;
    qint64 openedAt = 0;
};

class ImageReader : public GerberStatements<ImageReader, GerberImage> {
    friend class GerberStatements<ImageReader, GerberImage>;

public:
    explicit ImageReader(GerberImage& out) : GerberStatements(out) { }
    bool line(QByteArrayView text, qint64 lineNo);
    void finish();

private:
    bool blockWord(QByteArrayView w, qint64 lineNo);
    bool word(QByteArrayView w, qint64 lineNo);
    bool operation(QByteArrayView w, qint64 lineNo);
    bool defineAperture(QByteArrayView w);
    bool stepAndRepeat(QByteArrayView w, qint64 lineNo);
    bool apertureBlock(QByteArrayView w, qint64 lineNo);
    bool closeRepeat(Nesting& done, qint64 lineNo, Point shift = {});
    bool flash(Point at, qint64 lineNo);
    bool draw(Point from, Point to, std::optional<Point> centre, bool clockwise, qint64 lineNo);
    bool closeContour(qint64 lineNo);
    bool ended() const { return ended_; }
    bool stop(qint64 lineNo); // a limit: the read ends at the line

    std::vector<ImageObject>& objects() { return nesting_.empty() ? out_.objects : nesting_.back().objects; }
    std::vector<ImagePoint>& points() { return nesting_.empty() ? out_.points : nesting_.back().points; }
    bool room(size_t objects, size_t points) const;
    // The aperture a flash or draw uses now: the current one under the transform.
    int laidAperture();
    void finishAperture(ImageAperture& a, const std::vector<std::pair<bool, Shape>>& shapes,
        const ApertureTransform& t) const;

    bool ended_ = false;
    Point at_;
    bool region_ = false;
    bool clear_ = false;
    int lastOperation_ = 0;
    int current_ = -1; // index of the selected aperture
    ApertureTransform transform_;
    std::map<int, int> byNumber_;
    // How each aperture was defined (its shapes in millimetres), to lay it again under a transform.
    std::vector<std::vector<std::pair<bool, Shape>>> shapes_;
    std::map<std::pair<int, ApertureTransform>, int> transformed_;
    std::map<int, std::pair<std::vector<ImageObject>, std::vector<ImagePoint>>> blocks_;
    size_t blockObjects_ = 0, blockPoints_ = 0;
    std::vector<Nesting> nesting_;
    QString pendingFunction_;
    std::vector<ImagePoint> contour_; // the region's contour being drawn
    qint64 contourLine_ = 0;
    qint64 lastLine_ = 0;
};

bool ImageReader::stop(qint64 lineNo)
{
    if (!out_.stoppedAtLine)
        out_.stoppedAtLine = lineNo;
    ended_ = true;
    return false;
}

bool ImageReader::room(size_t objects, size_t points) const
{
    size_t heldObjects = out_.objects.size() + blockObjects_, heldPoints = out_.points.size() + blockPoints_;
    for (const Nesting& n : nesting_) {
        heldObjects += n.objects.size();
        heldPoints += n.points.size();
    }
    return heldObjects + objects <= size_t(kMaxImageObjects)
        && heldPoints + points <= size_t(kMaxImagePoints);
}

bool ImageReader::line(QByteArrayView text, qint64 lineNo)
{
    if (ended_)
        return false;
    lastLine_ = lineNo;
    bool tooLong = false;
    const bool ok = feed(text, lineNo, tooLong);
    if (tooLong)
        return stop(words_.pendingLine() ? words_.pendingLine() : lineNo);
    return ok && !ended_;
}

bool ImageReader::blockWord(QByteArrayView w, qint64 lineNo)
{
    if (w.startsWith("FS")) {
        if (!format_.read(w))
            skip(lineNo);
    } else if (w.startsWith("MO")) {
        if (!format_.readUnit(w))
            skip(lineNo);
    } else if (w.startsWith("AD")) {
        if (!defineAperture(w))
            skip(lineNo);
    } else if (w.startsWith("SR")) {
        return stepAndRepeat(w, lineNo);
    } else if (w.startsWith("AB")) {
        return apertureBlock(w, lineNo);
    } else if (w.startsWith("LP")) {
        if (w == "LPD" || w == "LPC")
            clear_ = w == "LPC";
        else
            skip(lineNo);
    } else if (w.startsWith("LM")) {
        if (w == "LMN" || w == "LMX" || w == "LMY" || w == "LMXY") {
            transform_.mirrorX = w.contains('X');
            transform_.mirrorY = w.contains('Y');
        } else {
            skip(lineNo);
        }
    } else if (w.startsWith("LR") || w.startsWith("LS")) {
        const auto v = gerberDecimal(w.sliced(2));
        if (!v || (w.startsWith("LS") && !(*v > 0 && *v < 1e6)) || std::fabs(*v) > 1e6)
            skip(lineNo);
        else
            (w.startsWith("LR") ? transform_.rotation : transform_.scale) = *v;
    } else if (w.startsWith("TF")) {
        const QString text = QString::fromLatin1(w.data() + 2, w.size() - 2);
        if (text.startsWith(QLatin1String(".FileFunction,")))
            out_.fileFunction = text.mid(14);
    } else if (w.startsWith("TA")) {
        const QString text = QString::fromLatin1(w.data() + 2, w.size() - 2);
        if (text.startsWith(QLatin1String(".AperFunction,")))
            pendingFunction_ = text.mid(14);
    } else if (w.startsWith("TD")) {
        if (w == "TD" || w.startsWith("TD.AperFunction"))
            pendingFunction_.clear();
    } else if (w.startsWith("TO") || w.startsWith("IP") || w.startsWith("IN") || w.startsWith("LN")
        || w.startsWith("OF") || w.startsWith("SF") || w.startsWith("AS") || w.startsWith("IR")
        || w.startsWith("MI") || w.startsWith("IJ") || w.startsWith("IO") || w.startsWith("KO")
        || w.startsWith("RO") || w.startsWith("PF")) {
        // Names, object attributes, and image statements of old files that no CAD program
        // writes with another value than the default.
    } else {
        skip(lineNo);
    }
    return true;
}

bool ImageReader::defineAperture(QByteArrayView w)
{
    // ADD10C,0.8 / ADD11R,1.0X0.5 / ADD12O,1.0X2.0 / ADD13P,1.0X6X0 / ADD14NAME,1X2
    int number = 0;
    QByteArray name;
    std::vector<double> given;
    if (!readApertureDefinition(w, number, name, given))
        return false;
    for (const double v : given) {
        if (std::fabs(v) > 1e5)
            return false; // larger than any board: damage
    }
    const double unit = format_.unitFactor();
    const auto param = [&](size_t k) { return k < given.size() ? given[k] * unit : 0.0; };
    ImageAperture a;
    a.number = number;
    a.function = pendingFunction_;
    std::vector<std::pair<bool, Shape>> shapes;
    if (name == "C" && !given.empty()) {
        a.shape = ImageAperture::Shape::Circle;
        a.width = a.height = param(0);
        a.hole = param(1);
        shapes.push_back({false, circle({}, a.width)});
    } else if ((name == "R" || name == "O") && given.size() >= 2) {
        a.shape = name == "R" ? ImageAperture::Shape::Rectangle : ImageAperture::Shape::Obround;
        a.width = param(0);
        a.height = param(1);
        a.hole = param(2);
        shapes.push_back(
            {false, name == "R" ? rectangle({}, a.width, a.height) : obround(a.width, a.height)});
    } else if (name == "P" && given.size() >= 2) {
        a.shape = ImageAperture::Shape::Polygon;
        a.width = param(0);
        a.vertices = int(std::lround(given[1]));
        if (a.vertices < 3 || a.vertices > 12)
            return false;
        a.height = a.width;
        a.hole = param(3);
        shapes.push_back({false, polygon({}, a.width, a.vertices, given.size() > 2 ? given[2] : 0)});
    } else if (const ApertureMacro* m = macro(name)) {
        a.shape = ImageAperture::Shape::Macro;
        a.macro = name;
        std::vector<ApertureMacro::Primitive> made;
        if (!m->primitives(given, made))
            return false;
        for (const ApertureMacro::Primitive& p : made) {
            std::vector<double> v = p.modifiers;
            for (double& x : v)
                x *= unit;
            const auto at = [&](size_t k) { return k < v.size() ? v[k] : 0.0; };
            const auto raw = [&](size_t k) { return k < p.modifiers.size() ? p.modifiers[k] : 0.0; };
            const bool clear = raw(0) == 0; // exposure off takes the primitive out
            switch (p.code) {
            case 1: { // exposure, diameter, centre x, y[, rotation]
                Shape s = circle(turned({at(2), at(3)}, raw(4)), at(1));
                shapes.push_back({clear, s});
                break;
            }
            case 2:
            case 20: { // exposure, width, start x, y, end x, y, rotation
                const Point s {at(2), at(3)}, e {at(4), at(5)};
                const double len = std::hypot(e.x - s.x, e.y - s.y);
                const double angle = std::atan2(e.y - s.y, e.x - s.x) * 180.0 / kPi;
                Shape r = rectangle({len / 2, 0}, len, at(1), angle);
                // The rectangle about the start, along the line, then turned with the macro.
                for (Point& q : r)
                    q = turned({q.x + s.x, q.y + s.y}, raw(6));
                shapes.push_back({clear, r});
                break;
            }
            case 21: // exposure, width, height, centre x, y, rotation
                shapes.push_back({clear, rectangle({at(3), at(4)}, at(1), at(2), raw(5))});
                break;
            case 22: // exposure, width, height, lower-left x, y, rotation
                shapes.push_back(
                    {clear, rectangle({at(3) + at(1) / 2, at(4) + at(2) / 2}, at(1), at(2), raw(5))});
                break;
            case 4: { // exposure, n, x0, y0, ..., xn, yn, rotation
                const long n = std::lround(raw(1));
                if (n < 1 || n > 100000 || 2 * size_t(n) + 5 > v.size())
                    return false;
                const size_t points = size_t(n) + 1;
                Shape s;
                for (size_t k = 0; k < points; ++k)
                    s.push_back(turned({at(2 + 2 * k), at(3 + 2 * k)}, raw(4 + 2 * (points - 1))));
                shapes.push_back({clear, s});
                break;
            }
            case 5: { // exposure, vertices, centre x, y, diameter, rotation
                const int n = int(std::lround(raw(1)));
                if (n < 3 || n > 12)
                    return false;
                // The vertices start on the x axis, about the centre, before the macro's turn.
                Shape s = polygon({}, at(4), n, 0);
                for (Point& q : s)
                    q = turned({q.x + at(2), q.y + at(3)}, raw(5));
                shapes.push_back({clear, s});
                break;
            }
            case 6: { // centre x, y, outer diameter, ring thickness, gap, rings, cross thickness, length,
                      // rotation
                const Point c {at(0), at(1)};
                double d = at(2);
                const double thick = at(3), gap = at(4);
                const int rings = std::clamp(int(std::lround(raw(5))), 0, 100);
                for (int k = 0; k < rings && d > 0 && thick > 0; ++k) {
                    Shape outer = circle(c, d);
                    for (Point& q : outer)
                        q = turned(q, raw(8));
                    shapes.push_back({false, outer});
                    if (d - 2 * thick > 0) {
                        Shape inner = circle(c, d - 2 * thick);
                        for (Point& q : inner)
                            q = turned(q, raw(8));
                        shapes.push_back({true, inner});
                    }
                    d -= 2 * (thick + gap);
                }
                shapes.push_back({false, rectangle(turned(c, raw(8)), at(7), at(6), raw(8))});
                shapes.push_back({false, rectangle(turned(c, raw(8)), at(6), at(7), raw(8))});
                break;
            }
            case 7: { // centre x, y, outer diameter, inner diameter, gap, rotation
                const Point c {at(0), at(1)};
                Shape outer = circle(c, at(2)), inner = circle(c, at(3));
                for (Point& q : outer)
                    q = turned(q, raw(5));
                for (Point& q : inner)
                    q = turned(q, raw(5));
                shapes.push_back({false, outer});
                shapes.push_back({true, inner});
                shapes.push_back({true, rectangle(turned(c, raw(5)), at(2) * 1.01, at(4), raw(5))});
                shapes.push_back({true, rectangle(turned(c, raw(5)), at(4), at(2) * 1.01, raw(5))});
                break;
            }
            default: return false;
            }
        }
    } else {
        return false;
    }
    if (a.hole > 0)
        shapes.push_back({true, circle({}, a.hole)});
    finishAperture(a, shapes, {});
    const auto found = byNumber_.find(number);
    if (found != byNumber_.end()) {
        out_.apertures[size_t(found->second)] = std::move(a); // defined again: the new shape
        shapes_[size_t(found->second)] = std::move(shapes);
        for (auto it = transformed_.begin(); it != transformed_.end();)
            it = it->first.first == found->second ? transformed_.erase(it) : std::next(it);
        return true;
    }
    byNumber_[number] = int(out_.apertures.size());
    out_.apertures.push_back(std::move(a));
    shapes_.push_back(std::move(shapes));
    return true;
}

void ImageReader::finishAperture(
    ImageAperture& a, const std::vector<std::pair<bool, Shape>>& shapes, const ApertureTransform& t) const
{
    a.contours.clear();
    const bool plainCircle =
        a.shape == ImageAperture::Shape::Circle && a.hole <= 0 && !t.mirrorX && !t.mirrorY;
    double reach = 0;
    for (const auto& [clear, shape] : shapes) {
        ImageAperture::Contour c;
        c.clear = clear;
        for (const Point& p : shape) {
            const Point q = t.apply(p);
            if (!clear)
                reach = std::max(reach, std::hypot(q.x, q.y));
            c.points.push_back({nanometres(q.x).value_or(0), nanometres(q.y).value_or(0)});
        }
        if (!plainCircle)
            a.contours.push_back(std::move(c));
    }
    if (plainCircle)
        reach = a.width * t.scale / 2;
    a.reach = nanometres(std::min(reach, 1e5)).value_or(0);
    const double stroke = a.shape == ImageAperture::Shape::Circle ? a.width : std::min(a.width, a.height);
    a.strokeWidth = nanometres(std::min(stroke * t.scale, 1e5)).value_or(0);
}

int ImageReader::laidAperture()
{
    if (current_ < 0 || transform_.identity())
        return current_;
    const auto key = std::make_pair(current_, transform_);
    if (const auto it = transformed_.find(key); it != transformed_.end())
        return it->second;
    ImageAperture a = out_.apertures[size_t(current_)];
    finishAperture(a, shapes_[size_t(current_)], transform_);
    const int index = int(out_.apertures.size());
    out_.apertures.push_back(std::move(a));
    shapes_.push_back(shapes_[size_t(current_)]);
    transformed_[key] = index;
    return index;
}

bool ImageReader::closeRepeat(Nesting& done, qint64 lineNo, Point shift)
{
    const size_t copies = size_t(done.nx) * size_t(done.ny);
    if (done.objects.empty())
        return true;
    if (!room(done.objects.size() * copies, done.points.size() * copies))
        return stop(lineNo);
    std::vector<ImageObject>& to = objects();
    std::vector<ImagePoint>& toPoints = points();
    for (int j = 0; j < done.ny; ++j) {
        for (int i = 0; i < done.nx; ++i) {
            const auto dx = nanometres(shift.x + i * done.dx), dy = nanometres(shift.y + j * done.dy);
            if (!dx || !dy)
                return stop(lineNo);
            const auto base = uint32_t(toPoints.size());
            for (ImagePoint p : done.points) {
                const qint64 x = qint64(p.x) + *dx, y = qint64(p.y) + *dy;
                if (std::abs(x) > std::numeric_limits<Nanometres>::max()
                    || std::abs(y) > std::numeric_limits<Nanometres>::max())
                    return stop(lineNo);
                toPoints.push_back({Nanometres(x), Nanometres(y)});
            }
            for (ImageObject o : done.objects) {
                const qint64 v[4] = {
                    qint64(o.x1) + *dx, qint64(o.y1) + *dy, qint64(o.x2) + *dx, qint64(o.y2) + *dy};
                for (const qint64 c : v) {
                    if (std::abs(c) > std::numeric_limits<Nanometres>::max())
                        return stop(lineNo);
                }
                o.x1 = Nanometres(v[0]);
                o.y1 = Nanometres(v[1]);
                o.x2 = Nanometres(v[2]);
                o.y2 = Nanometres(v[3]);
                if (o.kind == ImageObject::Kind::Region)
                    o.first += base;
                to.push_back(o);
            }
        }
    }
    return true;
}

bool ImageReader::stepAndRepeat(QByteArrayView w, qint64 lineNo)
{
    if (!nesting_.empty() && !nesting_.back().block) {
        Nesting done = std::move(nesting_.back());
        nesting_.pop_back();
        if (!closeRepeat(done, lineNo))
            return false;
    }
    if (w == "SR")
        return true;
    const GerberRepeat r = readStepAndRepeat(w, kMaxImageObjects);
    if (r.read == GerberRepeat::Read::TooMany)
        return stop(lineNo);
    if (r.read == GerberRepeat::Read::Bad) {
        skip(lineNo);
        return true;
    }
    Nesting n;
    n.nx = r.nx;
    n.ny = r.ny;
    n.dx = r.dx * format_.unitFactor();
    n.dy = r.dy * format_.unitFactor();
    if (n.nx * n.ny > 1)
        nesting_.push_back(std::move(n));
    return true;
}

bool ImageReader::apertureBlock(QByteArrayView w, qint64 lineNo)
{
    if (w == "AB") {
        if (nesting_.empty() || !nesting_.back().block) {
            skip(lineNo);
            return true;
        }
        Nesting done = std::move(nesting_.back());
        nesting_.pop_back();
        at_ = done.savedAt;
        auto& stored = blocks_[done.aperture];
        blockObjects_ = blockObjects_ - stored.first.size() + done.objects.size();
        blockPoints_ = blockPoints_ - stored.second.size() + done.points.size();
        stored = {std::move(done.objects), std::move(done.points)};
        return true;
    }
    int number = 0;
    if (w.size() < 4 || w[2] != 'D' || w.size() > 12) {
        skip(lineNo);
        return true;
    }
    for (qsizetype i = 3; i < w.size(); ++i) {
        if (!isGerberDigit(w[i])) {
            skip(lineNo);
            return true;
        }
        number = number * 10 + (w[i] - '0');
    }
    Nesting n;
    n.block = true;
    n.aperture = number;
    n.savedAt = at_;
    n.openedAt = lineNo;
    nesting_.push_back(std::move(n));
    ImageAperture a;
    a.number = number;
    a.shape = ImageAperture::Shape::Block;
    const auto found = byNumber_.find(number);
    if (found != byNumber_.end()) {
        out_.apertures[size_t(found->second)] = a;
        shapes_[size_t(found->second)].clear();
    } else {
        byNumber_[number] = int(out_.apertures.size());
        out_.apertures.push_back(a);
        shapes_.emplace_back();
    }
    return true;
}

bool ImageReader::flash(Point at, qint64 lineNo)
{
    if (current_ < 0) {
        skip(lineNo);
        return true;
    }
    const ImageAperture& a = out_.apertures[size_t(current_)];
    if (a.shape == ImageAperture::Shape::Block) {
        const auto it = blocks_.find(a.number);
        if (it == blocks_.end()) {
            skip(lineNo);
            return true;
        }
        Nesting copy;
        copy.objects = it->second.first;
        copy.points = it->second.second;
        if (clear_) { // a block laid clear turns each of its objects' polarity
            for (ImageObject& o : copy.objects)
                o.clear = !o.clear;
        }
        return closeRepeat(copy, lineNo, at);
    }
    const auto x = nanometres(at.x), y = nanometres(at.y);
    if (!x || !y)
        return stop(lineNo);
    if (!room(1, 0))
        return stop(lineNo);
    ImageObject o;
    o.kind = ImageObject::Kind::Flash;
    o.clear = clear_;
    o.aperture = laidAperture();
    o.line = sourceLine(lineNo);
    o.x1 = o.x2 = *x;
    o.y1 = o.y2 = *y;
    objects().push_back(o);
    return true;
}

bool ImageReader::draw(Point from, Point to, std::optional<Point> centre, bool clockwise, qint64 lineNo)
{
    std::vector<ArcPoint> pieces;
    if (centre) {
        double sweep = arcSweep({from.x, from.y}, {to.x, to.y}, {centre->x, centre->y}, clockwise);
        if (!multiQuadrant_ && sweep > kPi / 2 + 1e-6)
            sweep = 0;
        appendArcPoints({from.x, from.y}, {to.x, to.y}, {centre->x, centre->y}, clockwise, sweep, pieces);
    } else {
        pieces.push_back({to.x, to.y});
    }
    if (region_) {
        if (!room(1, pieces.size() + 1))
            return stop(lineNo);
        if (contour_.empty()) {
            const auto x = nanometres(from.x), y = nanometres(from.y);
            if (!x || !y)
                return stop(lineNo);
            contour_.push_back({*x, *y});
            contourLine_ = lineNo;
        }
        for (const ArcPoint& p : pieces) {
            const auto x = nanometres(p.x), y = nanometres(p.y);
            if (!x || !y)
                return stop(lineNo);
            contour_.push_back({*x, *y});
        }
        return true;
    }
    if (current_ < 0 || out_.apertures[size_t(current_)].shape == ImageAperture::Shape::Block) {
        skip(lineNo);
        return true;
    }
    if (!room(pieces.size(), 0))
        return stop(lineNo);
    const int aperture = laidAperture();
    Point a = from;
    for (const ArcPoint& p : pieces) {
        const auto x1 = nanometres(a.x), y1 = nanometres(a.y), x2 = nanometres(p.x), y2 = nanometres(p.y);
        if (!x1 || !y1 || !x2 || !y2)
            return stop(lineNo);
        ImageObject o;
        o.kind = ImageObject::Kind::Line;
        o.clear = clear_;
        o.aperture = aperture;
        o.line = sourceLine(lineNo);
        o.x1 = *x1;
        o.y1 = *y1;
        o.x2 = *x2;
        o.y2 = *y2;
        objects().push_back(o);
        a = {p.x, p.y};
    }
    return true;
}

bool ImageReader::closeContour(qint64 lineNo)
{
    if (contour_.size() < 3) {
        contour_.clear();
        return true;
    }
    if (!room(1, contour_.size()))
        return stop(lineNo);
    std::vector<ImagePoint>& to = points();
    ImageObject o;
    o.kind = ImageObject::Kind::Region;
    o.clear = clear_;
    o.line = sourceLine(contourLine_);
    o.first = uint32_t(to.size());
    o.count = uint32_t(contour_.size());
    o.x1 = o.x2 = contour_.front().x;
    o.y1 = o.y2 = contour_.front().y;
    for (const ImagePoint& p : contour_) {
        o.x1 = std::min(o.x1, p.x);
        o.y1 = std::min(o.y1, p.y);
        o.x2 = std::max(o.x2, p.x);
        o.y2 = std::max(o.y2, p.y);
    }
    to.insert(to.end(), contour_.begin(), contour_.end());
    objects().push_back(o);
    contour_.clear();
    return true;
}

bool ImageReader::word(QByteArrayView w, qint64 lineNo)
{
    if (isGerberComment(w)) {
        // "G04 #@! TF.FileFunction,Copper,L1,Top": an attribute written as a comment.
        const auto attribute = commentAttribute(w);
        return attribute ? blockWord(*attribute, lineNo) : true;
    }
    return operation(w, lineNo);
}

std::optional<Point> quadrant(Point from, Point to, double i, double j, bool clockwise)
{
    const auto c = singleQuadrantCentre({from.x, from.y}, {to.x, to.y}, i, j, clockwise);
    return c ? std::optional<Point>(Point {c->x, c->y}) : std::nullopt;
}

bool ImageReader::operation(QByteArrayView w, qint64 lineNo)
{
    GerberOperation o;
    if (!readGerberOperation(w, o)) {
        skip(lineNo);
        return true;
    }
    for (const int code : o.m) {
        if (code == 0 || code == 2) {
            ended_ = true;
            return true;
        }
        if (code != 1)
            skip(lineNo);
    }
    for (const int code : o.g) {
        if (modeCode(code))
            continue;
        switch (code) {
        case 36:
            region_ = true;
            contour_.clear();
            break;
        case 37:
            if (!closeContour(lineNo))
                return false;
            region_ = false;
            break;
        default: skip(lineNo); return true;
        }
    }
    if (o.d && *o.d >= 10) {
        const auto it = byNumber_.find(*o.d);
        current_ = it == byNumber_.end() ? -1 : it->second;
        if (current_ < 0)
            skip(lineNo);
        return true;
    }
    if (o.d && (*o.d < 1 || *o.d > 3)) {
        skip(lineNo);
        return true;
    }
    const bool moves = o.x || o.y || o.i || o.j;
    if (!o.d && !moves)
        return true;
    const int op = o.d ? *o.d : lastOperation_;
    lastOperation_ = op;
    Point to = at_;
    double ci = 0, cj = 0;
    if (!coordinates(o, to.x, to.y, ci, cj)) {
        skip(lineNo);
        return true;
    }
    const Point from = at_;
    at_ = to;
    switch (op) {
    case 1: {
        std::optional<Point> centre;
        if (interpolation_ != 1) {
            centre = multiQuadrant_ ? std::optional<Point>(Point {from.x + ci, from.y + cj})
                                    : quadrant(from, to, ci, cj, interpolation_ == 2);
            if (!centre) {
                skip(lineNo);
                return true;
            }
        }
        return draw(from, to, centre, interpolation_ == 2, lineNo);
    }
    case 2:
        if (region_)
            return closeContour(lineNo); // a new contour of the region begins
        return true;
    case 3:
        if (region_) {
            skip(lineNo);
            return true;
        }
        return flash(to, lineNo);
    default: return true;
    }
}

void ImageReader::finish()
{
    if (const auto open = words_.finish(); open && !ended_)
        skip(*open);
    if (region_ && !ended_)
        closeContour(lastLine_);
    while (!nesting_.empty()) {
        Nesting done = std::move(nesting_.back());
        nesting_.pop_back();
        if (done.block) {
            if (!out_.stoppedAtLine)
                skip(done.openedAt); // a block never closed is no aperture
            continue;
        }
        if (!ended_ && !closeRepeat(done, lastLine_))
            break;
    }
    nesting_.clear();
    // What the picture covers.
    for (const ImageObject& o : out_.objects) {
        const ImageBox b = out_.boxOf(o);
        if (!out_.box) {
            out_.box = b;
            continue;
        }
        ImageBox& all = *out_.box;
        all.left = std::min(all.left, b.left);
        all.bottom = std::min(all.bottom, b.bottom);
        all.right = std::max(all.right, b.right);
        all.top = std::max(all.top, b.top);
    }
}

Nanometres clampedAdd(Nanometres v, qint64 d)
{
    return Nanometres(std::clamp<qint64>(
        qint64(v) + d, std::numeric_limits<Nanometres>::min(), std::numeric_limits<Nanometres>::max()));
}
} // namespace

ImageBox GerberImage::boxOf(const ImageObject& o) const
{
    ImageBox b {std::min(o.x1, o.x2), std::min(o.y1, o.y2), std::max(o.x1, o.x2), std::max(o.y1, o.y2)};
    if (o.kind == ImageObject::Kind::Region || o.aperture < 0 || size_t(o.aperture) >= apertures.size())
        return b;
    const ImageAperture& a = apertures[size_t(o.aperture)];
    const qint64 r =
        o.kind == ImageObject::Kind::Flash || !a.round() ? qint64(a.reach) : qint64(a.strokeWidth) / 2;
    return {clampedAdd(b.left, -r), clampedAdd(b.bottom, -r), clampedAdd(b.right, r), clampedAdd(b.top, r)};
}

GerberImage readGerberImage(QIODevice& device, const QString& name)
{
    GerberImage out;
    if (holdsBinaryBytes(device)) {
        device.close();
        out.error = msg::notDrillData(name);
        return out;
    }
    ImageReader reader(out);
    LineReader lines(device);
    QByteArrayView text;
    while (lines.next(text)) {
        if (!reader.line(text, lines.lineNumber()))
            break;
    }
    if (lines.tooLong() && !out.stoppedAtLine)
        out.stoppedAtLine = lines.lineNumber() + 1;
    device.close();
    reader.finish();
    return out;
}

GerberImage readGerberImage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        GerberImage out;
        out.error = msg::cannotOpen(path);
        return out;
    }
    return readGerberImage(file, path);
}

} // namespace kivotrek
