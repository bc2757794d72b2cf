#include "gerber/x2reader.h"

#include "common/fileio.h"
#include "common/linereader.h"
#include "common/messages.h"
#include "drill/arcpieces.h"
#include "drill/drillread.h"
#include "gerber/aperturemacro.h"
#include "gerber/gerbersyntax.h"

#include <QFile>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <vector>

namespace kivotrek {

namespace {
constexpr double kPi = 3.14159265358979323846;
// Step and repeat and aperture blocks multiply what they hold: a file may ask for so many holes,
// slot pieces and outline pieces in all.
constexpr size_t kMaxObjects = size_t(kMaxDrillObjects);

struct Point {
    double x = 0, y = 0;
};

// What a part of the file draws: the whole file, the inside of a step and repeat, an aperture block.
struct Objects {
    HoleList holes;
    std::vector<DrillSlot> routes;
    std::vector<OutlineSegment> outline;
    size_t size() const { return holes.size() + routes.size() + outline.size(); }
};

// A coordinate moved by d: false beyond what a board holds.
bool shifted(Nanometres& v, qint64 d)
{
    const qint64 moved = qint64(v) + d;
    if (moved < std::numeric_limits<Nanometres>::min() || moved > std::numeric_limits<Nanometres>::max())
        return false;
    v = Nanometres(moved);
    return true;
}

// A slot or an outline piece moved by (dx, dy) nanometres.
template <typename Segment> bool moved(Segment& s, qint64 dx, qint64 dy)
{
    return shifted(s.nx1, dx) && shifted(s.ny1, dy) && shifted(s.nx2, dx) && shifted(s.ny2, dy);
}

// The objects moved by (dx, dy) millimetres, appended; false, with nothing appended past the
// first, when one would lie beyond what a board holds.
bool appendMoved(const Objects& from, double dx, double dy, Objects& to)
{
    const auto ndx = nanometres(dx), ndy = nanometres(dy);
    if (!ndx || !ndy)
        return false;
    for (DrillHit h : from.holes) {
        if (!shifted(h.nx, *ndx) || !shifted(h.ny, *ndy))
            return false;
        to.holes.push_back(h);
    }
    for (DrillSlot s : from.routes) {
        if (!moved(s, *ndx, *ndy))
            return false;
        to.routes.push_back(s);
    }
    for (OutlineSegment s : from.outline) {
        if (!moved(s, *ndx, *ndy))
            return false;
        to.outline.push_back(s);
    }
    return true;
}

// Appends the piece; false for one beyond what a board holds (see holeAt).
template <typename Piece, typename List> bool append(List& into, const std::optional<Piece>& piece)
{
    if (piece)
        into.push_back(*piece);
    return piece.has_value();
}

struct Aperture {
    int number = 0;
    std::optional<double> diameter; // millimetres: a circle's, else the smaller side
    // An oval hole (an obround, or a macro of one line with round ends): its ends from the
    // flash point, in millimetres; a flash of it is a slot.
    std::optional<std::array<double, 4>> slot;
    QString kind; // from its .AperFunction: "TH", "NTH" or empty
    QString function;
    std::optional<std::pair<double, double>> tolerance; // +, - in millimetres
    int tool = -1; // index into the tools once a hole or slot uses it
    bool block = false; // an aperture block (%AB): a flash draws the block's objects
};

// The fields of an attribute: ".FileFunction,Plated,1,2,PTH" gives ".FileFunction", "Plated", ...
QStringList attributeFields(QByteArrayView text)
{
    return QString::fromLatin1(text.data(), text.size()).split(QLatin1Char(','));
}

class Reader : public GerberStatements<Reader, DrillData> {
    friend class GerberStatements<Reader, DrillData>;

public:
    Reader(const QString& name, GerberRole role, DrillData& out) : GerberStatements(out), name_(name)
    {
        if (role == GerberRole::Outline) {
            forcedOutline_ = true;
            out_.role = DrillData::Role::Outline;
        }
    }

    void expectHoles(size_t n) { main_.holes.reserve(n); }
    // One line of the file; false when the read must end (a 64th tool).
    bool line(QByteArrayView text, qint64 lineNo);
    void finish();

private:
    // How a statement that may repeat objects went.
    enum class Parsed { Ok, Bad, OverLimit };

    bool word(QByteArrayView w, qint64 lineNo);
    bool blockWord(QByteArrayView w, qint64 lineNo);
    bool operation(QByteArrayView w, qint64 lineNo);
    void attribute(QByteArrayView text);
    bool apertureDefinition(QByteArrayView w);
    Parsed stepAndRepeat(QByteArrayView w);
    // Ends the read at the line: the file asks for more objects than kMaxObjects.
    bool overLimit(qint64 lineNo);
    // A coordinate beyond what a board holds: the read ends at the line.
    bool outOfRange(qint64 lineNo);
    bool apertureBlock(QByteArrayView w, qint64 lineNo);
    bool ended() const { return ended_; }

    std::optional<double> coordinate(QByteArrayView text, bool isX) const
    {
        return format_.coordinate(text, isX);
    }
    static std::optional<double> decimal(QByteArrayView text) { return gerberDecimal(text); }
    double unitFactor() const { return format_.unitFactor(); }

    Objects& target() { return nesting_.empty() ? main_ : nesting_.back().objects; }
    bool room(size_t more) const;
    std::optional<int> toolOf(Aperture& a, qint64 lineNo);
    int aperture(int number) const;
    bool flash(Point at, qint64 lineNo);
    bool draw(Point from, Point to, std::optional<Point> centre, bool clockwise, qint64 lineNo);
    void arcPoints(Point from, Point to, Point centre, bool clockwise, std::vector<Point>& points) const;

    const QString name_;
    bool forcedOutline_ = false;

    bool ended_ = false;

    // State of the graphics.
    Point at_;
    bool region_ = false;
    int lastOperation_ = 0; // a coordinate without an operation repeats it (older files)
    bool drawing_ = false; // the last operation drew: the next draw continues its slot
    int current_ = -1; // index of the selected aperture
    Aperture* current() { return current_ < 0 ? nullptr : &apertures_[size_t(current_)]; }

    std::vector<Aperture> apertures_; // in order of definition
    std::map<int, size_t> apertureIndex_;
    // The tools as rows: apertures of the same drill (diameter, plating, function, tolerance)
    // are one, as the board's Excellon file has one tool for them.
    struct ToolKey {
        double diameter;
        QString kind, function;
        std::optional<std::pair<double, double>> tolerance;
        bool operator==(const ToolKey& o) const
        {
            return diameter == o.diameter && kind == o.kind && function == o.function
                && tolerance == o.tolerance;
        }
    };
    std::vector<std::optional<ToolKey>> toolKeys_; // per tool; none for an aperture of no size
    std::map<int, Objects> blocks_;
    size_t blockObjects_ = 0; // held in the blocks, counted against the object limit
    QString fileKind_;
    bool mixedPlating_ = false; // .FileFunction,MixedPlating: plated and non-plated holes
    // Aperture attributes in force for the next definitions.
    QString pendingKind_, pendingFunction_;
    std::optional<std::pair<double, double>> pendingTolerance_;

    struct Nesting {
        bool block = false; // an aperture block, else a step and repeat
        int aperture = 0;
        int nx = 1, ny = 1;
        double dx = 0, dy = 0;
        Objects objects;
        Point savedAt;
        qint64 openedAt = 0; // a block: the line of its %AB
    };
    std::vector<Nesting> nesting_;
    Objects main_;
    qint64 lastLine_ = 0;
    int toolsUsed_ = 0;
    std::map<int, int> toolOfNumber_; // a D-number keeps its row whatever it is defined as again
};

bool Reader::overLimit(qint64 lineNo)
{
    if (out_.ending != DrillData::Ending::LimitReached) // a coordinate out of range is said as one
        reachLimit(out_, DrillData::Limit::Objects, kMaxDrillObjects, lineNo);
    ended_ = true;
    return false;
}

bool Reader::outOfRange(qint64 lineNo)
{
    reachLimit(out_, DrillData::Limit::Range, 0, lineNo);
    ended_ = true;
    return false;
}

bool Reader::line(QByteArrayView text, qint64 lineNo)
{
    if (ended_)
        return true;
    lastLine_ = lineNo;
    bool tooLong = false;
    const bool ok = feed(text, lineNo, tooLong);
    if (tooLong) {
        const qint64 at = words_.pendingLine() ? words_.pendingLine() : lineNo;
        reachLimit(out_, DrillData::Limit::Length, LineReader::kMaxLineLength, at);
        ended_ = true;
        return false;
    }
    return ok;
}

bool Reader::blockWord(QByteArrayView w, qint64 lineNo)
{
    if (w.startsWith("FS")) {
        if (!format_.read(w))
            skip(lineNo);
    } else if (w.startsWith("MO")) {
        if (!format_.readUnit(w))
            skip(lineNo);
    } else if (w.startsWith("AD")) {
        if (!apertureDefinition(w))
            skip(lineNo);
    } else if (w.startsWith("SR")) {
        const Parsed p = stepAndRepeat(w);
        if (p == Parsed::OverLimit)
            return overLimit(lineNo);
        if (p == Parsed::Bad)
            skip(lineNo);
    } else if (w.startsWith("AB")) {
        if (!apertureBlock(w, lineNo))
            skip(lineNo);
    } else if (w.startsWith("TF") || w.startsWith("TA") || w.startsWith("TD") || w.startsWith("TO")) {
        attribute(w);
    } else if (w.startsWith("LP") || w.startsWith("LM") || w.startsWith("LR") || w.startsWith("LS")
        || w.startsWith("IP") || w.startsWith("IN") || w.startsWith("OF") || w.startsWith("SF")
        || w.startsWith("AS") || w.startsWith("IR") || w.startsWith("MI") || w.startsWith("LN")
        || w.startsWith("IJ") || w.startsWith("IO") || w.startsWith("KO") || w.startsWith("RO")
        || w.startsWith("PF")) {
        // Polarity, mirroring, image and layer names: a drill map shows the holes where they are.
    } else {
        skip(lineNo);
    }
    return true;
}

bool Reader::apertureDefinition(QByteArrayView w)
{
    // ADD10C,0.800000 / ADD11R,1.0X0.5 / ADD12O,1.0X2.0 / ADD13P,1.0X6 / ADD14MACRO,...
    int number = 0;
    QByteArray shape;
    std::vector<double> given; // in the file's unit
    if (!readApertureDefinition(w, number, shape, given))
        return false;
    std::vector<double> params = given;
    for (double& v : params)
        v *= unitFactor();
    Aperture a;
    a.number = number;
    if ((shape == "C" || shape == "P") && !params.empty()) { // a circle, or a polygon's outer diameter
        a.diameter = params[0];
    } else if (shape == "R" && params.size() >= 2) {
        a.diameter = std::min(params[0], params[1]);
    } else if (shape == "O" && params.size() >= 2) {
        // An obround is an oval hole: as wide as its smaller side, running along the longer.
        const double w = params[0], h = params[1];
        a.diameter = std::min(w, h);
        if (w > h)
            a.slot = std::array<double, 4> {-(w - h) / 2, 0, (w - h) / 2, 0};
        else if (h > w)
            a.slot = std::array<double, 4> {0, -(h - w) / 2, 0, (h - w) / 2};
    } else if (const ApertureMacro* m = macro(shape)) {
        const ApertureMacro::Shape made = m->instance(given);
        if (made.kind != ApertureMacro::Shape::Kind::Other)
            a.diameter = made.width * unitFactor();
        if (made.kind == ApertureMacro::Shape::Kind::Slot)
            a.slot = std::array<double, 4> {made.x1 * unitFactor(), made.y1 * unitFactor(),
                made.x2 * unitFactor(), made.y2 * unitFactor()};
    }
    a.kind = pendingKind_;
    a.function = pendingFunction_;
    a.tolerance = pendingTolerance_;
    if (const auto it = apertureIndex_.find(number); it != apertureIndex_.end()) {
        Aperture& old = apertures_[it->second];
        a.tool = old.tool; // a redefinition keeps its row
        old = a;
    } else {
        apertureIndex_[number] = apertures_.size();
        apertures_.push_back(a);
    }
    return true;
}

int Reader::aperture(int number) const
{
    const auto it = apertureIndex_.find(number);
    return it == apertureIndex_.end() ? -1 : int(it->second);
}

void Reader::attribute(QByteArrayView text)
{
    const QStringList f = attributeFields(text.sliced(2));
    const QString name = f.value(0);
    if (text.startsWith("TF")) {
        if (name != QLatin1String(".FileFunction"))
            return;
        out_.statesFunction = true;
        const QString what = f.value(1);
        if (what == QLatin1String("Plated"))
            fileKind_ = QStringLiteral("TH");
        else if (what == QLatin1String("NonPlated"))
            fileKind_ = QStringLiteral("NTH");
        else if (what == QLatin1String("Profile"))
            out_.role = DrillData::Role::Outline;
        mixedPlating_ = what == QLatin1String("MixedPlating");
        return;
    }
    if (text.startsWith("TA")) {
        if (name == QLatin1String(".AperFunction")) {
            // KiCad's mixed files name the plating first: "Plated,PTH,ViaDrill".
            pendingKind_.clear();
            QStringList function;
            for (int i = 1; i < f.size(); ++i) {
                if (f[i] == QLatin1String("Plated") || f[i] == QLatin1String("PTH"))
                    pendingKind_ = QStringLiteral("TH");
                else if (f[i] == QLatin1String("NonPlated") || f[i] == QLatin1String("NPTH"))
                    pendingKind_ = QStringLiteral("NTH");
                else
                    function << f[i];
            }
            pendingFunction_ = function.join(QLatin1Char(','));
        } else if (name == QLatin1String(".DrillTolerance") && f.size() >= 3) {
            bool okPlus = false, okMinus = false;
            const double plus = f[1].toDouble(&okPlus);
            const double minus = f[2].toDouble(&okMinus);
            if (okPlus && okMinus && std::isfinite(plus) && std::isfinite(minus))
                pendingTolerance_ =
                    std::make_pair(std::fabs(plus) * unitFactor(), std::fabs(minus) * unitFactor());
        }
        return;
    }
    if (text.startsWith("TD")) {
        if (name.isEmpty() || name == QLatin1String(".AperFunction")) {
            pendingKind_.clear();
            pendingFunction_.clear();
        }
        if (name.isEmpty() || name == QLatin1String(".DrillTolerance"))
            pendingTolerance_.reset();
    }
}

Reader::Parsed Reader::stepAndRepeat(QByteArrayView w)
{
    // A new statement closes the one before.
    if (!nesting_.empty() && !nesting_.back().block) {
        Nesting done = std::move(nesting_.back());
        nesting_.pop_back();
        Objects& to = target();
        if (!room(done.objects.size() * size_t(done.nx) * size_t(done.ny))) {
            if (room(done.objects.size()))
                appendMoved(done.objects, 0, 0, to); // what was read stays, once
            return Parsed::OverLimit;
        }
        // An empty repeat makes nothing: its millions of copies are not walked through.
        for (int j = 0; j < done.ny && done.objects.size() > 0; ++j) {
            for (int i = 0; i < done.nx; ++i) {
                if (!appendMoved(done.objects, i * done.dx, j * done.dy, to)) {
                    reachLimit(out_, DrillData::Limit::Range, 0, lastLine_);
                    return Parsed::OverLimit;
                }
            }
        }
    }
    if (w == "SR")
        return Parsed::Ok;
    // SRX3Y2I5.0J4.0
    const GerberRepeat r = readStepAndRepeat(w, qint64(kMaxObjects));
    if (r.read != GerberRepeat::Read::Ok)
        return r.read == GerberRepeat::Read::Bad ? Parsed::Bad : Parsed::OverLimit;
    Nesting n;
    n.nx = r.nx;
    n.ny = r.ny;
    n.dx = r.dx * unitFactor();
    n.dy = r.dy * unitFactor();
    if (n.nx == 1 && n.ny == 1)
        return Parsed::Ok; // one copy: nothing to repeat
    nesting_.push_back(std::move(n));
    return Parsed::Ok;
}

bool Reader::apertureBlock(QByteArrayView w, qint64 lineNo)
{
    if (w == "AB") {
        if (nesting_.empty() || !nesting_.back().block)
            return false;
        Nesting done = std::move(nesting_.back());
        nesting_.pop_back();
        at_ = done.savedAt;
        Objects& stored = blocks_[done.aperture];
        blockObjects_ = blockObjects_ - stored.size() + done.objects.size(); // a redefinition frees the old
        stored = std::move(done.objects);
        return true;
    }
    if (w.size() < 4 || w[2] != 'D')
        return false;
    int number = 0;
    for (qsizetype i = 3; i < w.size(); ++i) {
        if (!isGerberDigit(w[i]) || i > 11)
            return false;
        number = number * 10 + (w[i] - '0');
    }
    Nesting n;
    n.block = true;
    n.aperture = number;
    n.savedAt = at_;
    n.openedAt = lineNo;
    nesting_.push_back(std::move(n));
    // The block is an aperture of its own from here on.
    Aperture a;
    a.number = number;
    a.block = true;
    const auto it = apertureIndex_.find(number);
    if (it != apertureIndex_.end() && apertures_[it->second].tool < 0) {
        apertures_[it->second] = a;
        return true;
    }
    // A drill already flashed keeps its definition, which names its row at the end; the number
    // is the block's from here on.
    if (it != apertureIndex_.end() && current_ == int(it->second))
        current_ = int(apertures_.size());
    apertureIndex_[number] = apertures_.size();
    apertures_.push_back(a);
    return true;
}

bool Reader::room(size_t more) const
{
    // Every object held counts, the blocks' included: a few bytes of step and repeat in each of
    // many blocks would otherwise hold millions of objects a block.
    size_t held = main_.size() + blockObjects_;
    for (const Nesting& n : nesting_)
        held += n.objects.size();
    return held + more <= kMaxObjects;
}

std::optional<int> Reader::toolOf(Aperture& a, qint64 lineNo)
{
    if (a.tool >= 0)
        return a.tool;
    if (const auto it = toolOfNumber_.find(a.number); it != toolOfNumber_.end()) {
        a.tool = it->second; // defined again after a block took the number
        return a.tool;
    }
    std::optional<ToolKey> key;
    if (a.diameter)
        key = ToolKey {*a.diameter, a.kind, a.function, a.tolerance};
    for (size_t t = 0; key && t < toolKeys_.size(); ++t) {
        if (toolKeys_[t] == key) {
            a.tool = int(t); // another aperture of the same drill: its row
            toolOfNumber_[a.number] = a.tool;
            return a.tool;
        }
    }
    if (toolsUsed_ >= HoleTable::kRows && out_.role != DrillData::Role::Outline) {
        out_.ending = DrillData::Ending::TooManyTools;
        out_.stoppedAtLine = lineNo;
        return std::nullopt;
    }
    a.tool = toolsUsed_++;
    toolKeys_.push_back(key);
    toolOfNumber_[a.number] = a.tool;
    return a.tool;
}

bool Reader::flash(Point at, qint64 lineNo)
{
    Aperture* a = current();
    if (!a) {
        skip(lineNo);
        return true;
    }
    if (a->block) {
        const auto it = blocks_.find(a->number);
        if (it == blocks_.end()) {
            skip(lineNo);
            return true;
        }
        if (!room(it->second.size()))
            return overLimit(lineNo);
        if (!appendMoved(it->second, at.x, at.y, target()))
            return outOfRange(lineNo);
        return true;
    }
    if (!room(1))
        return overLimit(lineNo);
    const auto tool = toolOf(*a, lineNo);
    if (!tool)
        return false;
    if (a->slot && out_.role != DrillData::Role::Outline) { // an oval hole: a slot of one piece
        const std::array<double, 4>& e = *a->slot;
        if (!append(target().routes,
                slotAt(*tool, lineNo, at.x + e[0], at.y + e[1], at.x + e[2], at.y + e[3], false)))
            return outOfRange(lineNo);
        return true;
    }
    if (!append(target().holes, holeAt(*tool, lineNo, at.x, at.y)))
        return outOfRange(lineNo);
    return true;
}

void Reader::arcPoints(Point from, Point to, Point c, bool clockwise, std::vector<Point>& points) const
{
    const ArcPoint f {from.x, from.y}, t {to.x, to.y}, centre {c.x, c.y};
    double sweep = arcSweep(f, t, centre, clockwise);
    if (multiQuadrant_ == false && sweep > kPi / 2 + 1e-6)
        sweep = 0; // no single-quadrant arc: a straight line
    std::vector<ArcPoint> pieces;
    appendArcPoints(f, t, centre, clockwise, sweep, pieces);
    for (const ArcPoint& p : pieces)
        points.push_back({p.x, p.y});
}

bool Reader::draw(Point from, Point to, std::optional<Point> centre, bool clockwise, qint64 lineNo)
{
    std::vector<Point> points;
    if (centre)
        arcPoints(from, to, *centre, clockwise, points);
    else
        points.push_back(to);
    if (!room(points.size()))
        return overLimit(lineNo);
    Objects& out = target();
    if (region_ || out_.role == DrillData::Role::Outline) {
        // A region's edge, or the board's profile (an outline file draws with any aperture).
        if (!region_ && !current()) {
            skip(lineNo);
            return true;
        }
        Point a = from;
        for (const Point& b : points) {
            if (!append(out.outline, outlineAt(lineNo, a.x, a.y, b.x, b.y)))
                return outOfRange(lineNo);
            a = b;
        }
        return true;
    }
    Aperture* a = current();
    if (!a || a->block) {
        skip(lineNo);
        return true;
    }
    const auto tool = toolOf(*a, lineNo);
    if (!tool)
        return false;
    Point start = from;
    for (const Point& b : points) {
        if (!append(out.routes, slotAt(*tool, lineNo, start.x, start.y, b.x, b.y, drawing_)))
            return outOfRange(lineNo);
        drawing_ = true;
        start = b;
    }
    return true;
}

bool Reader::operation(QByteArrayView w, qint64 lineNo)
{
    GerberOperation o;
    if (!readGerberOperation(w, o)) {
        skip(lineNo);
        return true;
    }
    for (const int code : o.m) {
        if (code == 2 || code == 0 || code == 1)
            ended_ = code != 1;
        else
            skip(lineNo);
    }
    for (const int code : o.g) {
        if (modeCode(code))
            continue;
        switch (code) {
        case 36:
            region_ = true;
            drawing_ = false;
            break;
        case 37:
            region_ = false;
            drawing_ = false;
            break;
        default: skip(lineNo); return true;
        }
    }
    const auto& d = o.d;
    const auto &x = o.x, &y = o.y, &i = o.i, &j = o.j;
    if (ended_)
        return true;
    if (d && *d >= 10) { // a tool selection
        current_ = aperture(*d);
        drawing_ = false;
        if (current_ < 0)
            skip(lineNo); // an aperture never defined: its flashes cannot be holes
        return true;
    }
    if (d && (*d < 1 || *d > 3)) {
        skip(lineNo);
        return true;
    }
    const bool moves = x || y || i || j;
    if (!d && !moves)
        return true; // only modes
    const int op = d ? *d : lastOperation_;
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
            if (multiQuadrant_)
                centre = Point {from.x + ci, from.y + cj};
            else if (const auto c =
                         singleQuadrantCentre({from.x, from.y}, {to.x, to.y}, ci, cj, interpolation_ == 2))
                centre = Point {c->x, c->y};
        }
        return draw(from, to, centre, interpolation_ == 2, lineNo);
    }
    case 2: drawing_ = false; return true;
    case 3:
        drawing_ = false;
        if (region_) {
            skip(lineNo);
            return true;
        }
        return flash(to, lineNo);
    default: return true; // coordinates before any operation: a position
    }
}

bool Reader::word(QByteArrayView w, qint64 lineNo)
{
    if (isGerberComment(w)) {
        // A comment; "G04 #@! TF.FileFunction,..." carries an attribute.
        if (const auto carried = commentAttribute(w))
            attribute(*carried);
        return true;
    }
    return operation(w, lineNo);
}

void Reader::finish()
{
    if (const auto open = words_.finish(); open && !ended_)
        skip(*open); // the file ends inside a word or a block
    // Open step and repeats end with the file. An aperture block never closed is no aperture:
    // what it holds is drawn nowhere, so the line that opened it counts as a line not read
    // (unless a limit ended the read inside it).
    while (!nesting_.empty()) {
        if (nesting_.back().block) {
            if (out_.ending == DrillData::Ending::Complete)
                skip(nesting_.back().openedAt);
            nesting_.pop_back();
            continue;
        }
        if (stepAndRepeat("SR") == Parsed::OverLimit && out_.ending != DrillData::Ending::LimitReached)
            reachLimit(out_, DrillData::Limit::Objects, kMaxDrillObjects, lastLine_);
    }
    if (out_.role == DrillData::Role::Outline) {
        // Every draw is the outline; flashes are pads, not holes.
        for (const DrillSlot& s : main_.routes)
            main_.outline.push_back({s.nx1, s.ny1, s.nx2, s.ny2, s.line});
        out_.outline = std::move(main_.outline);
        out_.tools.clear();
        return;
    }
    // The tools in order of definition, as far as a hole or slot uses them; apertures of one
    // drill make one tool, named by the first of them.
    std::vector<const Aperture*> used;
    std::vector<bool> made(size_t(toolsUsed_), false);
    for (const Aperture& a : apertures_) {
        if (a.tool >= 0 && !made[size_t(a.tool)]) {
            made[size_t(a.tool)] = true;
            used.push_back(&a);
        }
    }
    std::vector<int> remap(size_t(toolsUsed_), 0);
    const QString byName = kindFromFileName(name_);
    out_.fileKind = mixedPlating_ ? QString() : !fileKind_.isEmpty() ? fileKind_ : byName;
    for (const Aperture* a : used) {
        remap[size_t(a->tool)] = int(out_.tools.size());
        DrillTool t;
        t.number = a->number;
        t.code = QStringLiteral("D") + QString::number(a->number);
        t.diameter = a->diameter;
        t.kind = !a->kind.isEmpty() ? a->kind : !fileKind_.isEmpty() ? fileKind_ : byName;
        t.kindStated = !a->kind.isEmpty();
        t.function = a->function;
        if (a->tolerance)
            fitTolerances(t, a->tolerance->first, a->tolerance->second);
        out_.tools.push_back(t);
    }
    for (DrillHit& h : main_.holes)
        h.tool = remap[size_t(h.tool)];
    for (DrillSlot& s : main_.routes)
        s.tool = remap[size_t(s.tool)];
    out_.holes = std::move(main_.holes);
    out_.slotHoles = std::move(main_.routes);
    out_.outline = std::move(main_.outline);
}
} // namespace

DrillData readGerberX2(QIODevice& device, const QString& name, const MessageSink& sink, GerberRole role)
{
    DrillData out;
    Reader reader(name, role, out);
    // About one hole a line of twenty bytes: room for them at once, not by doubling.
    reader.expectHoles(size_t(std::clamp<qint64>(device.size() / 20, 0, 4'000'000)));
    readDrillLines(
        device, name, sink, out,
        [&reader](QByteArrayView line, qint64 lineNo) { return reader.line(line, lineNo); },
        [&reader] { reader.finish(); });
    return out;
}

DrillData readGerberX2(const QString& path, const MessageSink& sink, GerberRole role)
{
    return readDrillPath(path, sink, [&](QIODevice& file) { return readGerberX2(file, path, sink, role); });
}

bool looksLikeGerberX2(const QString& path)
{
    return looksLikeGerberX2Head(inputHead(path, qint64(64) * 1024));
}

bool looksLikeGerberX2Head(const QByteArray& head)
{
    qsizetype end = 0;
    for (int lines = 0; lines < 100 && end >= 0; ++lines)
        end = head.indexOf('\n', end + 1);
    const QByteArrayView first = end < 0 ? QByteArrayView(head) : QByteArrayView(head).first(end);
    return first.contains("%MO") || first.contains("%TF") || first.contains("#@! TF")
        || first.contains("#@! %TF");
}

} // namespace kivotrek
