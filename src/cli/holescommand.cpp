// kivotrek-cli holes: every hole and slot of a drill file in millimetres, y up, unshifted.

#include "cli/clicommon.h"
#include "cli/jsonwriter.h"
#include "cli/rawpaths.h"
#include "cli/readers.h"
#include "drawing/drillmap.h"

#include <QFileInfo>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kivotrek::cli {

namespace {
struct Mark {
    bool slot = false;
    int row = 0;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// The row's diameter as a number of millimetres; nothing where the row has none.
std::optional<double> rowDiameter(const HoleRow& row)
{
    if (row.diameter.trimmed().isEmpty())
        return std::nullopt;
    bool ok = false;
    const double d = row.diameter.trimmed().toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

QByteArray number(double v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QByteArray(buf, int(r.ptr - buf));
}

// A CSV field: quoted when it holds a comma, a quote or a line break.
QByteArray csvField(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r'))
        return bytes;
    bytes.replace("\"", "\"\"");
    return '"' + bytes + '"';
}
} // namespace

int runHoles(const QStringList& args)
{
    ReaderChoice choice;
    bool csv = false;
    QString path;
    const auto csvFlag = [&csv](const QString& a) {
        if (a != QLatin1String("--csv"))
            return false;
        csv = true;
        return true;
    };
    if (const int bad = parseFileArguments("holes", args, choice, path, csvFlag))
        return bad;

    HoleTable table;
    BoardExtent extent;
    const MessageSink toStderr = [](const QString& m) { std::fprintf(stderr, "%s\n", m.toLocal8Bit().constData()); };
    const QString readable = readablePath(path);
    ReadOutcome r = readFile(choice.resolve(readable), readable, table, extent, toStderr);

    std::vector<Mark> marks;
    if (r.drill) {
        for (const DrillHit& h : r.drill->holes)
            marks.push_back({false, h.tool, h.x, h.y, h.x, h.y});
        for (const DrillSlot& s : r.drill->slotHoles)
            marks.push_back({true, s.tool, s.x1, s.y1, s.x2, s.y2});
    } else if (r.status != kUnreadable) {
        // File units to millimetres as the drawing takes them: twips per unit over 56.7 twips per
        // millimetre. The readers' scales are 0.567 times a power of ten (a single-precision
        // 0.0567 for 0.001 mm): the unit is that power of ten, exactly.
        const double perUnit = static_cast<double>(extent.unitScale) / 56.7;
        const double mm = perUnit > 0 ? std::pow(10.0, std::round(std::log10(perUnit))) : 0.0;
        const DrawResult walked = listMarks(readable, table, [&](const DrillMark& m) {
            marks.push_back({m.slot, m.row, m.x1 * mm, m.y1 * mm, m.x2 * mm, m.y2 * mm});
        });
        if (walked.ending == DrawResult::Ending::Stopped && r.status == kDone) {
            std::fprintf(stderr, "kivotrek-cli: the drawing stops at line %lld\n",
                static_cast<long long>(walked.line.value_or(0)));
            r.status = kStopped;
        }
    }

    if (csv) {
        QByteArray out = "type,row,code,diameter,x,y,x2,y2\n";
        for (const Mark& m : marks) {
            const HoleRow& row = table.row(m.row);
            const auto d = rowDiameter(row);
            out += (m.slot ? "slot," : "hole,") + QByteArray::number(m.row) + ',' + csvField(row.dcode) + ','
                + (d ? number(*d) : QByteArray()) + ',' + number(m.x1) + ',' + number(m.y1) + ','
                + (m.slot ? number(m.x2) + ',' + number(m.y2) : QByteArray(",")) + '\n';
        }
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        return r.status;
    }
    JsonWriter json;
    json.beginObject();
    json.key("path").value(path);
    json.key("reader").value(QString::fromLatin1(readerName(r.reader)));
    for (const bool slotList : {false, true}) {
        json.key(slotList ? "slots" : "holes").beginArray();
        for (const Mark& m : marks) {
            if (m.slot != slotList)
                continue;
            const HoleRow& row = table.row(m.row);
            json.beginObject();
            json.key("row").value(static_cast<long long>(m.row));
            json.key("code").value(row.dcode);
            json.key("diameter");
            if (const auto d = rowDiameter(row))
                json.value(*d);
            else
                json.null();
            if (slotList) {
                json.key("x1").value(m.x1);
                json.key("y1").value(m.y1);
                json.key("x2").value(m.x2);
                json.key("y2").value(m.y2);
            } else {
                json.key("x").value(m.x1);
                json.key("y").value(m.y1);
            }
            json.endObject();
        }
        json.endArray();
    }
    json.endObject();
    json.print();
    return r.status;
}

} // namespace kivotrek::cli
