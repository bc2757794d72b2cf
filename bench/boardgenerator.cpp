#include "boardgenerator.h"

#include "settings/settingsfile.h"

#include <QFile>

namespace kivotrek::bench {

namespace {
constexpr int kTools = 10;
constexpr int kWidth = 300000; // 300 x 200 mm in 0.001 mm
constexpr int kHeight = 200000;

// A small linear congruential generator: the same board every time.
struct Lcg {
    uint64_t x = 12345;
    int below(int n)
    {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<int>((x >> 33) % static_cast<uint64_t>(n));
    }
};

bool writeBody(QFile& f, int flashes)
{
    QByteArray out;
    out.reserve(1 << 20);
    auto flush = [&]() {
        const bool ok = f.write(out) == out.size();
        out.clear();
        return ok;
    };
    // The outline with the first tool, then the holes of each tool.
    out += "G54D10*\nX0Y0D02*\nX" + QByteArray::number(kWidth) + "Y0D01*\nX" + QByteArray::number(kWidth)
        + "Y" + QByteArray::number(kHeight) + "D01*\nX0Y" + QByteArray::number(kHeight) + "D01*\nX0Y0D01*\n";
    Lcg rng;
    for (int t = 0; t < kTools; ++t) {
        out += "G54D" + QByteArray::number(11 + t) + "*\n";
        const int count = flashes / kTools + (t < flashes % kTools ? 1 : 0);
        for (int i = 0; i < count; ++i) {
            out += 'X';
            out += QByteArray::number(1000 + rng.below(kWidth - 2000));
            out += 'Y';
            out += QByteArray::number(1000 + rng.below(kHeight - 2000));
            out += "D03*\n";
            if (out.size() > (1 << 20) - 64 && !flush())
                return false;
        }
    }
    out += "M02*\n";
    return flush();
}

QString diameter(int tool)
{
    return QString::number(0.3 + 0.2 * tool, 'f', 2);
}
} // namespace

bool writeStandardBoard(const QString& path, int flashes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write("G04 benchmark board, F4.3*\nG90*\n");
    return writeBody(f, flashes);
}

bool writeRs274xBoard(const QString& path, int flashes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray head = "G04 benchmark board, 274x format*\n%FSLAX23Y23*%\n%MOMM*%\n%ADD10C,0.200*%\n";
    for (int t = 0; t < kTools; ++t)
        head += "%ADD" + QByteArray::number(11 + t) + "C," + diameter(t).toLatin1() + "0*%\n";
    f.write(head);
    return writeBody(f, flashes);
}

bool writeExcellonBoard(const QString& path, int hits)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    // As KiCad writes it: metric, decimal, y below 0, a plated file.
    QByteArray out = "M48\n; DRILL file {benchmark board}\n; FORMAT={-:-/ absolute / metric / decimal}\n"
                     "; #@! TF.FileFunction,Plated,1,2,PTH\nFMAT,2\nMETRIC\n";
    for (int t = 0; t < kTools; ++t)
        out += "T" + QByteArray::number(t + 1) + "C" + diameter(t).toLatin1() + "0\n";
    out += "%\nG90\nG05\n";
    Lcg rng;
    const auto mm = [](int micrometres) {
        QByteArray text = QByteArray::number(micrometres / 1000) + '.';
        const QByteArray fraction = QByteArray::number(micrometres % 1000);
        return text + QByteArray(3 - fraction.size(), '0') + fraction;
    };
    for (int t = 0; t < kTools; ++t) {
        out += "T" + QByteArray::number(t + 1) + "\n";
        const int count = hits / kTools + (t < hits % kTools ? 1 : 0);
        for (int i = 0; i < count; ++i) {
            out += "X" + mm(1000 + rng.below(kWidth - 2000)) + "Y-" + mm(1000 + rng.below(kHeight - 2000))
                + "\n";
            if (out.size() > (1 << 20) - 64) {
                if (f.write(out) != out.size())
                    return false;
                out.clear();
            }
        }
    }
    out += "T0\nM30\n";
    return f.write(out) == out.size();
}

bool writeX2Board(const QString& path, int flashes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    // As KiCad writes a non-plated Gerber drill file: X2 attributes, 4.6 mm, y below 0.
    QByteArray out = "%TF.GenerationSoftware,benchmark*%\n%TF.FileFunction,NonPlated,1,2,NPTH,Drill*%\n"
                     "%FSLAX46Y46*%\n%MOMM*%\n%LPD*%\nG01*\n";
    for (int t = 0; t < kTools; ++t)
        out += "%TA.AperFunction,MechanicalDrill*%\n%ADD" + QByteArray::number(10 + t) + "C,"
            + diameter(t).toLatin1() + "0000*%\n%TD*%\n";
    Lcg rng;
    rng.x = 777; // other holes than the plated file's
    for (int t = 0; t < kTools; ++t) {
        out += "D" + QByteArray::number(10 + t) + "*\n";
        const int count = flashes / kTools + (t < flashes % kTools ? 1 : 0);
        for (int i = 0; i < count; ++i) {
            out += 'X';
            out += QByteArray::number(qint64(1000 + rng.below(kWidth - 2000)) * 1000);
            out += "Y-";
            out += QByteArray::number(qint64(1000 + rng.below(kHeight - 2000)) * 1000);
            out += "D03*\n";
            if (out.size() > (1 << 20) - 64) {
                if (f.write(out) != out.size())
                    return false;
                out.clear();
            }
        }
    }
    out += "M02*\n";
    return f.write(out) == out.size();
}

bool writeOutline(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    // The board's edge, 300 x 200 mm with corners of 5 mm radius, as KiCad writes Edge_Cuts.
    const auto n = [](int micrometres) { return QByteArray::number(qint64(micrometres) * 1000); };
    const int r = 5000, w = kWidth, h = -kHeight;
    QByteArray out = "%TF.GenerationSoftware,benchmark*%\n%TF.FileFunction,Profile,NP*%\n%FSLAX46Y46*%\n"
                     "%MOMM*%\n%LPD*%\n%TA.AperFunction,Profile*%\n%ADD10C,0.100000*%\n%TD*%\nD10*\nG75*\n";
    out += "X" + n(r) + "Y" + n(h) + "D02*\nG01*\nX" + n(w - r) + "Y" + n(h) + "D01*\n";
    out += "G03*\nX" + n(w) + "Y" + n(h + r) + "I0J" + n(r) + "D01*\nG01*\nX" + n(w) + "Y" + n(-r) + "D01*\n";
    out += "G03*\nX" + n(w - r) + "Y0I-" + n(r) + "J0D01*\nG01*\nX" + n(r) + "Y0D01*\n";
    out += "G03*\nX0Y-" + n(r) + "I0J-" + n(r) + "D01*\nG01*\nX0Y" + n(h + r) + "D01*\n";
    out += "G03*\nX" + n(r) + "Y" + n(h) + "I" + n(r) + "J0D01*\nM02*\n";
    return f.write(out) == out.size();
}

bool writeBoardSettings(const QString& gerberPath)
{
    HoleTable table;
    table.row(0).dcode = QStringLiteral("D10");
    table.row(0).diameter = QStringLiteral("0.20");
    table.row(0).kind = HoleKind::Outline;
    for (int t = 0; t < kTools; ++t) {
        HoleRow& r = table.row(1 + t);
        r.dcode = QStringLiteral("D%1").arg(11 + t);
        r.diameter = diameter(t);
        r.sign1 = QStringLiteral("±");
        r.tol1 = QStringLiteral("0.05");
        r.kind = t < 8 ? HoleKind::Plated : HoleKind::NonPlated;
    }
    return saveSettingsFile(table, QStringLiteral("BENCH-01"), gerberPath).ok;
}

ViewTransform benchFrame(const ViewTransform& fitted, int i, const double (&zooms)[10])
{
    ViewTransform t = fitted;
    t.zoomAbout(QPointF(200 + (i * 97) % 900, 150 + (i * 53) % 550), zooms[i % 10]);
    t.pan(QPointF((i % 7) * 23 - 60, (i % 5) * 31 - 60));
    return t;
}

} // namespace kivotrek::bench
