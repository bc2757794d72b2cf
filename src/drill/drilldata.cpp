#include "drill/drilldata.h"

#include "common/messages.h"

#include <QFileInfo>
#include <cmath>

namespace kivotrek {

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
