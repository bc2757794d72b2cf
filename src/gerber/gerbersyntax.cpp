#include "gerber/gerbersyntax.h"

#include "drill/arcpieces.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kivotrek {

std::optional<double> gerberDecimal(QByteArrayView text)
{
    bool ok = false;
    const double v = QByteArray(text.data(), text.size()).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

bool isGerberComment(QByteArrayView w)
{
    return w.startsWith("G04") || (w.startsWith("G4") && (w.size() == 2 || !isGerberDigit(w[2])));
}

std::optional<QByteArrayView> commentAttribute(QByteArrayView w)
{
    const qsizetype mark = w.indexOf("#@!");
    if (mark < 0)
        return std::nullopt;
    QByteArrayView rest = w.sliced(mark + 3).trimmed();
    if (rest.startsWith('%'))
        rest = rest.sliced(1).trimmed();
    if (rest.startsWith("TF") || rest.startsWith("TA") || rest.startsWith("TD") || rest.startsWith("TO"))
        return rest;
    return std::nullopt;
}

std::optional<GerberPoint> singleQuadrantCentre(
    GerberPoint from, GerberPoint to, double i, double j, bool clockwise)
{
    constexpr double kQuarter = 3.14159265358979323846 / 2;
    std::optional<GerberPoint> best;
    double bestError = 0;
    for (const double si : {1.0, -1.0}) {
        for (const double sj : {1.0, -1.0}) {
            const GerberPoint c {from.x + si * std::fabs(i), from.y + sj * std::fabs(j)};
            const double sweep = arcSweep({from.x, from.y}, {to.x, to.y}, {c.x, c.y}, clockwise);
            if (sweep > kQuarter + 1e-6 && !(from.x == to.x && from.y == to.y))
                continue;
            const double error =
                std::fabs(std::hypot(from.x - c.x, from.y - c.y) - std::hypot(to.x - c.x, to.y - c.y));
            if (!best || error < bestError) {
                best = c;
                bestError = error;
            }
        }
    }
    return best;
}

bool readGerberOperation(QByteArrayView w, GerberOperation& out)
{
    qsizetype k = 0;
    const qsizetype n = w.size();
    while (k < n) {
        const char letter = w[k++];
        if (letter == ' ' || letter == '\t' || letter == '\r')
            continue;
        const qsizetype start = k;
        while (k < n && (isGerberDigit(w[k]) || w[k] == '-' || w[k] == '+' || w[k] == '.'))
            ++k;
        const QByteArrayView number = w.sliced(start, k - start);
        switch (letter) {
        case 'X': out.x = number; break;
        case 'Y': out.y = number; break;
        case 'I': out.i = number; break;
        case 'J': out.j = number; break;
        case 'D':
        case 'G':
        case 'M': {
            if (number.isEmpty() || number.size() > 9
                || !std::all_of(number.begin(), number.end(), isGerberDigit))
                return false;
            int code = 0;
            for (char c : number)
                code = code * 10 + (c - '0');
            if (letter == 'D')
                out.d = code;
            else
                (letter == 'G' ? out.g : out.m).push_back(code);
            break;
        }
        default: return false;
        }
    }
    return true;
}

bool readApertureDefinition(QByteArrayView w, int& number, QByteArray& shape, std::vector<double>& parameters)
{
    qsizetype i = 2;
    if (i >= w.size() || w[i] != 'D')
        return false;
    ++i;
    number = 0;
    int digits = 0;
    while (i < w.size() && isGerberDigit(w[i]) && digits < 9) {
        number = number * 10 + (w[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || i >= w.size() || isGerberDigit(w[i]))
        return false;
    const QByteArrayView rest = w.sliced(i);
    const qsizetype comma = rest.indexOf(',');
    shape = (comma < 0 ? rest : rest.first(comma)).toByteArray();
    parameters.clear();
    if (comma >= 0) {
        for (const QByteArray& p : rest.sliced(comma + 1).toByteArray().split('X')) {
            const auto v = gerberDecimal(p);
            if (!v)
                return false;
            parameters.push_back(*v);
        }
    }
    return true;
}

GerberRepeat readStepAndRepeat(QByteArrayView w, qint64 mostObjects)
{
    GerberRepeat r;
    qsizetype i = 2;
    const auto bad = [&r](GerberRepeat::Read why) {
        r.read = why;
        return r;
    };
    while (i < w.size()) {
        const char letter = w[i++];
        const qsizetype start = i;
        while (i < w.size() && (isGerberDigit(w[i]) || w[i] == '.' || w[i] == '-' || w[i] == '+'))
            ++i;
        const auto v = gerberDecimal(w.sliced(start, i - start));
        if (!v)
            return bad(GerberRepeat::Read::Bad);
        switch (letter) {
        case 'X':
        case 'Y':
            if (*v < 1 || *v != std::floor(*v))
                return bad(GerberRepeat::Read::Bad);
            if (*v > double(mostObjects))
                return bad(GerberRepeat::Read::TooMany);
            (letter == 'X' ? r.nx : r.ny) = int(*v);
            break;
        case 'I': r.dx = *v; break;
        case 'J': r.dy = *v; break;
        default: return bad(GerberRepeat::Read::Bad);
        }
    }
    if (double(r.nx) * double(r.ny) > double(mostObjects))
        return bad(GerberRepeat::Read::TooMany);
    return r;
}

bool GerberFormat::read(QByteArrayView w)
{
    std::optional<int> xi, xd, yi, yd;
    bool trailingZeros = trailing, incrementalCoordinates = incremental;
    for (qsizetype i = 2; i < w.size(); ++i) {
        const char c = w[i];
        if (c == 'L' || c == 'D')
            trailingZeros = false;
        else if (c == 'T')
            trailingZeros = true;
        else if (c == 'A')
            incrementalCoordinates = false;
        else if (c == 'I')
            incrementalCoordinates = true;
        else if ((c == 'X' || c == 'Y') && i + 2 < w.size() && isGerberDigit(w[i + 1])
            && isGerberDigit(w[i + 2])) {
            (c == 'X' ? xi : yi) = w[i + 1] - '0';
            (c == 'X' ? xd : yd) = w[i + 2] - '0';
            i += 2;
        } else if ((c == 'N' || c == 'G' || c == 'M') && i + 1 < w.size() && isGerberDigit(w[i + 1])) {
            ++i;
        } else {
            return false;
        }
    }
    if (!xd || !yd)
        return false;
    trailing = trailingZeros;
    incremental = incrementalCoordinates;
    xDigits = *xi + *xd;
    yDigits = *yi + *yd;
    xDecimals = xd;
    yDecimals = yd;
    return true;
}

bool GerberFormat::readUnit(QByteArrayView w)
{
    if (w == "MOMM")
        inch = false;
    else if (w == "MOIN")
        inch = true;
    else
        return false;
    return true;
}

std::optional<double> GerberFormat::coordinate(QByteArrayView text, bool isX) const
{
    const auto& decimals = isX ? xDecimals : yDecimals;
    if (text.isEmpty())
        return std::nullopt;
    if (text.contains('.')) { // not the format, but some programs write it
        const auto v = gerberDecimal(text);
        return v ? std::optional<double>(*v * unitFactor()) : std::nullopt;
    }
    if (!decimals)
        return std::nullopt; // no format statement yet
    qsizetype i = 0;
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        ++i;
    }
    int64_t value = 0;
    int digits = 0;
    for (; i < text.size(); ++i) {
        if (!isGerberDigit(text[i]) || digits >= 18)
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    int exponent = -*decimals;
    if (trailing) {
        const int all = isX ? xDigits : yDigits;
        exponent += std::max(0, all - digits);
    }
    // value x 10^exponent, correctly rounded: both factors are exact doubles.
    double v = double(value);
    if (exponent >= 0)
        v *= std::pow(10.0, exponent);
    else
        v /= std::pow(10.0, -exponent);
    return (negative ? -v : v) * unitFactor();
}

} // namespace kivotrek
