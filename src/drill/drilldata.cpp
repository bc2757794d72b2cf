#include "drill/drilldata.h"

#include "common/messages.h"

#include <QFileInfo>
#include <cmath>
#include <limits>

namespace kivotrek {

namespace {
// The read ends at the line: a coordinate beyond what a board holds.
bool outOfRange(DrillData& out, qint64 lineNo)
{
    out.ending = DrillData::Ending::LimitReached;
    out.limit = DrillData::Limit::Range;
    out.limitValue = 0;
    out.stoppedAtLine = lineNo;
    return false;
}
} // namespace

std::optional<DrillHit> holeAt(int tool, qint64 lineNo, double x, double y)
{
    const auto nx = nanometres(x), ny = nanometres(y);
    if (!nx || !ny)
        return std::nullopt;
    return DrillHit {tool, sourceLine(lineNo), *nx, *ny};
}

std::optional<DrillSlot> slotAt(
    int tool, qint64 lineNo, double x1, double y1, double x2, double y2, bool joined)
{
    const auto a = nanometres(x1), b = nanometres(y1), c = nanometres(x2), d = nanometres(y2);
    if (!a || !b || !c || !d)
        return std::nullopt;
    return DrillSlot {tool, sourceLine(lineNo), *a, *b, *c, *d, joined};
}

std::optional<OutlineSegment> outlineAt(qint64 lineNo, double x1, double y1, double x2, double y2)
{
    const auto a = nanometres(x1), b = nanometres(y1), c = nanometres(x2), d = nanometres(y2);
    if (!a || !b || !c || !d)
        return std::nullopt;
    return OutlineSegment {*a, *b, *c, *d, sourceLine(lineNo)};
}

namespace {
// Appends the piece, or ends the read at the line when it lies beyond what a board holds.
template <typename Piece, typename List>
bool append(DrillData& out, List& into, const std::optional<Piece>& piece, qint64 lineNo)
{
    if (!piece)
        return outOfRange(out, lineNo);
    into.push_back(*piece);
    return true;
}
} // namespace

bool DrillData::addHole(int tool, qint64 lineNo, double x, double y)
{
    return append(*this, holes, holeAt(tool, lineNo, x, y), lineNo);
}

bool DrillData::addSlot(int tool, qint64 lineNo, double x1, double y1, double x2, double y2, bool joined)
{
    return append(*this, slotHoles, slotAt(tool, lineNo, x1, y1, x2, y2, joined), lineNo);
}

bool DrillData::addOutline(qint64 lineNo, double x1, double y1, double x2, double y2)
{
    return append(*this, outline, outlineAt(lineNo, x1, y1, x2, y2), lineNo);
}

qint64 DrillData::slotCount() const
{
    qint64 n = 0;
    for (const DrillSlot& s : slotHoles)
        n += s.joined ? 0 : 1;
    return n;
}

QString diameterText(double millimetres)
{
    QString text = QString::number(std::round(millimetres * 1000.0) / 1000.0, 'f', 3);
    if (text.endsWith(QLatin1Char('0')))
        text.chop(1); // three decimals, or two where the third is a zero
    return text;
}

QString toleranceText(double millimetres)
{
    QString text = QString::number(std::round(millimetres * 1000.0) / 1000.0, 'f', 3);
    while (text.contains(QLatin1Char('.'))
        && (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.'))))
        text.chop(1);
    return text;
}

void fitTolerances(DrillTool& t, double plusMillimetres, double minusMillimetres)
{
    // As the file states them, to the micrometre: the table's list of values is a help for
    // typing, not a limit (Allegro's "+1/-1 MILS" is 0.025 mm, in no list).
    if (!std::isfinite(plusMillimetres) || !std::isfinite(minusMillimetres))
        return;
    const QString plus = toleranceText(std::fabs(plusMillimetres));
    const QString minus = toleranceText(std::fabs(minusMillimetres));
    if (plus == minus) {
        t.sign1 = HoleTable::plusMinusSign();
        t.tol1 = plus;
        return;
    }
    t.sign1 = HoleTable::plusSign();
    t.tol1 = plus;
    t.sign2 = HoleTable::minusSign();
    t.tol2 = minus;
}

QString CoordinateFormat::text() const
{
    return msg::formatText(inch, integer, decimals, int(zeros));
}

QString kindFromFileName(const QString& path)
{
    const QString file = QFileInfo(path).fileName().toLower();
    if (file.contains(QLatin1String("npth")) || file.contains(QLatin1String("unplated"))
        || file.contains(QLatin1String("nonplated")) || file.contains(QLatin1String("non-plated")))
        return QStringLiteral("NTH");
    if (file.contains(QLatin1String("pth")) || file.contains(QLatin1String("plated")))
        return QStringLiteral("TH");
    return QString();
}

} // namespace kivotrek
