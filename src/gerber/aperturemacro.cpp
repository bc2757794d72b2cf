#include "gerber/aperturemacro.h"

#include <QList>
#include <cmath>
#include <optional>

namespace kivotrek {

namespace {
constexpr double kPi = 3.14159265358979323846;

// Recursive descent over expression := term (('+' | '-') term)*, term := factor (('x' | 'X' |
// '/') factor)*, factor := ('+' | '-') factor | '(' expression ')' | number | '$' digits.
class Expression {
public:
    Expression(QByteArrayView text, const std::vector<double>& variables) : text_(text), variables_(variables)
    {
    }
    bool read(double& value)
    {
        const auto v = expression(0);
        skipBlanks();
        if (!v || at_ != text_.size() || !std::isfinite(*v))
            return false;
        value = *v;
        return true;
    }

private:
    static constexpr int kDepth = 64; // parentheses deeper than any real file

    void skipBlanks()
    {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t'))
            ++at_;
    }
    bool take(char c)
    {
        skipBlanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    std::optional<double> expression(int depth)
    {
        auto v = term(depth);
        while (v) {
            if (take('+')) {
                const auto r = term(depth);
                v = r ? std::optional<double>(*v + *r) : std::nullopt;
            } else if (take('-')) {
                const auto r = term(depth);
                v = r ? std::optional<double>(*v - *r) : std::nullopt;
            } else {
                break;
            }
        }
        return v;
    }
    std::optional<double> term(int depth)
    {
        auto v = factor(depth);
        while (v) {
            if (take('x') || take('X')) {
                const auto r = factor(depth);
                v = r ? std::optional<double>(*v * *r) : std::nullopt;
            } else if (take('/')) {
                const auto r = factor(depth);
                v = r && *r != 0 ? std::optional<double>(*v / *r) : std::nullopt;
            } else {
                break;
            }
        }
        return v;
    }
    std::optional<double> factor(int depth)
    {
        if (depth > kDepth)
            return std::nullopt;
        if (take('-')) {
            const auto v = factor(depth + 1);
            return v ? std::optional<double>(-*v) : std::nullopt;
        }
        if (take('+'))
            return factor(depth + 1);
        if (take('(')) {
            const auto v = expression(depth + 1);
            return v && take(')') ? v : std::nullopt;
        }
        skipBlanks();
        if (take('$')) {
            const qsizetype start = at_;
            int n = 0;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9' && at_ - start < 6)
                n = n * 10 + (text_[at_++] - '0');
            if (at_ == start || n < 1)
                return std::nullopt;
            return size_t(n) <= variables_.size() ? variables_[size_t(n) - 1] : 0.0;
        }
        const qsizetype start = at_;
        while (at_ < text_.size() && ((text_[at_] >= '0' && text_[at_] <= '9') || text_[at_] == '.'))
            ++at_;
        if (at_ == start)
            return std::nullopt;
        bool ok = false;
        const double v = QByteArray(text_.data() + start, at_ - start).toDouble(&ok);
        return ok ? std::optional<double>(v) : std::nullopt;
    }

    QByteArrayView text_;
    qsizetype at_ = 0;
    const std::vector<double>& variables_;
};

struct Point {
    double x = 0, y = 0;
};

// A point turned about the origin by the angle in degrees, counter-clockwise.
Point turned(Point p, double degrees)
{
    if (degrees == 0)
        return p;
    const double a = degrees * kPi / 180.0;
    return {p.x * std::cos(a) - p.y * std::sin(a), p.x * std::sin(a) + p.y * std::cos(a)};
}

bool near(Point a, Point b, double tolerance)
{
    return std::hypot(a.x - b.x, a.y - b.y) <= tolerance;
}
} // namespace

bool evaluateMacroExpression(QByteArrayView text, const std::vector<double>& variables, double& value)
{
    return Expression(text, variables).read(value);
}

bool ApertureMacro::add(QByteArrayView word)
{
    const QByteArray text = word.toByteArray().trimmed();
    if (text.isEmpty() || text.startsWith('0'))
        return true; // a comment ("0 text"), or nothing
    Statement s;
    if (text.startsWith('$')) {
        const qsizetype equals = text.indexOf('=');
        if (equals < 2)
            return false;
        bool ok = false;
        s.variable = text.mid(1, equals - 1).trimmed().toInt(&ok);
        if (!ok || s.variable < 1 || s.variable > 9999)
            return false;
        s.assignment = true;
        s.fields.push_back(text.mid(equals + 1));
    } else {
        for (const QByteArray& f : text.split(','))
            s.fields.push_back(f.trimmed());
    }
    if (statements_.size() >= 1024)
        return false; // a macro longer than any drill file's: not kept
    statements_.push_back(std::move(s));
    return true;
}

bool ApertureMacro::primitives(const std::vector<double>& parameters, std::vector<Primitive>& out) const
{
    std::vector<double> variables = parameters;
    for (const Statement& s : statements_) {
        if (s.assignment) {
            double v = 0;
            if (!evaluateMacroExpression(s.fields.front(), variables, v))
                return false;
            if (size_t(s.variable) > variables.size())
                variables.resize(size_t(s.variable), 0.0);
            variables[size_t(s.variable) - 1] = v;
            continue;
        }
        Primitive p;
        for (const QByteArray& f : s.fields) {
            double v = 0;
            if (!evaluateMacroExpression(f, variables, v))
                return false;
            p.modifiers.push_back(v);
        }
        p.code = int(std::lround(p.modifiers.front()));
        p.modifiers.erase(p.modifiers.begin());
        out.push_back(std::move(p));
    }
    return true;
}

ApertureMacro::Shape ApertureMacro::instance(const std::vector<double>& parameters) const
{
    Shape other;
    std::vector<Primitive> made;
    if (!primitives(parameters, made))
        return other;
    struct Circle {
        double diameter;
        Point centre;
    };
    std::vector<Circle> circles;
    std::optional<std::pair<Point, Point>> line; // its ends
    double lineWidth = 0;
    int lines = 0;
    for (const Primitive& p : made) {
        // The modifiers with the code first, as the file writes them.
        std::vector<double> m {double(p.code)};
        m.insert(m.end(), p.modifiers.begin(), p.modifiers.end());
        const int code = p.code;
        if (m.size() < 2 || m[1] == 0)
            return other; // a shape that clears: no drill makes one
        switch (code) {
        case 1: // circle: exposure, diameter, centre x, centre y[, rotation]
            if (m.size() < 5)
                return other;
            circles.push_back({m[2], turned({m[3], m[4]}, m.size() > 5 ? m[5] : 0)});
            break;
        case 2:
        case 20: // vector line: exposure, width, start x, y, end x, y, rotation
            if (m.size() < 8)
                return other;
            ++lines;
            lineWidth = m[2];
            line = std::make_pair(turned({m[3], m[4]}, m[7]), turned({m[5], m[6]}, m[7]));
            break;
        case 21: { // centre line: exposure, width, height, centre x, y, rotation
            if (m.size() < 7)
                return other;
            ++lines;
            // Along its longer side, as wide as the shorter.
            const double w = m[2], h = m[3];
            const Point c {m[4], m[5]};
            lineWidth = std::min(w, h);
            const Point a = w >= h ? Point {c.x - w / 2, c.y} : Point {c.x, c.y - h / 2};
            const Point b = w >= h ? Point {c.x + w / 2, c.y} : Point {c.x, c.y + h / 2};
            line = std::make_pair(turned(a, m[6]), turned(b, m[6]));
            break;
        }
        default: return other; // an outline, a polygon, a moiré, a thermal
        }
    }
    Shape shape;
    if (lines == 0 && circles.size() == 1) {
        shape.kind = Shape::Kind::Round;
        shape.width = circles.front().diameter;
        return shape;
    }
    if (lines != 1 || lineWidth <= 0)
        return other;
    // A line with round ends: each circle as wide as the line sits on one of its ends, and both
    // ends have one.
    const double tolerance = std::max(1e-6, lineWidth * 1e-4);
    bool atFirst = false, atSecond = false;
    for (const Circle& c : circles) {
        if (std::fabs(c.diameter - lineWidth) > tolerance)
            return other;
        const bool first = near(c.centre, line->first, tolerance);
        const bool second = near(c.centre, line->second, tolerance);
        if (!first && !second)
            return other;
        atFirst = atFirst || first;
        atSecond = atSecond || second;
    }
    if (!atFirst || !atSecond)
        return other;
    shape.kind = near(line->first, line->second, tolerance) ? Shape::Kind::Round : Shape::Kind::Slot;
    shape.width = lineWidth;
    shape.x1 = line->first.x;
    shape.y1 = line->first.y;
    shape.x2 = line->second.x;
    shape.y2 = line->second.y;
    return shape;
}

} // namespace kivotrek
