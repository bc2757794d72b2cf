// kivotrek-cli holes: every hole and slot of a drill file in millimetres, y up, unshifted.

#include "cli/clicommon.h"
#include "cli/jsonwriter.h"
#include "cli/rawpaths.h"
#include "cli/readers.h"
#include "drawing/drilltable.h"
#include "drawing/gerberreplay.h"
#include "drawing/holecounts.h"

#include <QFileInfo>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kivotrek::cli {

namespace {
struct Mark {
    bool slot = false;
    int file = 0; // index into the board's drill files
    int row = 0; // -1: a D-code that no row holds
    QString code; // for a mark without a row: its D-code
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

} // namespace

int runHoles(const QStringList& args)
{
    ReaderChoice choice;
    bool csv = false;
    BoardArguments given;
    const auto csvFlag = [&csv](const QString& a) {
        if (a != QLatin1String("--csv"))
            return false;
        csv = true;
        return true;
    };
    if (const int bad = parseFileArguments("holes", args, choice, given, csvFlag))
        return bad;
    if (const int refused = refuseOutputOverInput(QString(), given))
        return refused;

    HoleTable table;
    BoardExtent extent;
    const MessageSink toStderr = [](const QString& m) {
        std::fprintf(stderr, "%s\n", m.toLocal8Bit().constData());
    };
    ReadOutcome r = readBoard(choice, given, table, extent, toStderr);

    const auto drawingStops = [&r](std::optional<qint64> line) {
        if (r.status != kDone)
            return;
        if (line)
            std::fprintf(
                stderr, "kivotrek-cli: the drawing stops at line %lld\n", static_cast<long long>(*line));
        else
            std::fprintf(stderr, "kivotrek-cli: the drawing stops: a hole or slot cannot be drawn\n");
        r.status = kStopped;
    };
    if (!r.board.replaysGerber()) { // the drill files' holes are listed whole; the drawing may stop early
        HoleCounts counts;
        const DrawResult drawn = countHoles(r.board, r.data, table, counts);
        if (drawn.ending == DrawResult::Ending::Stopped)
            drawingStops(drawn.line);
    }
    std::vector<Mark> marks;
    for (size_t f = 0; f < r.board.files.size(); ++f) {
        const BoardFile& file = r.board.files[f];
        const FileOutcome& read = r.files[size_t(r.givenFile[f])];
        if (read.data && f < r.data.drills.size()) {
            const DrillData& data = r.data.drills[f];
            // A tool's row is its file's first row and the tool's place; tools beyond the table
            // have no row and are not drawn.
            const auto row = [&file](int tool) { return tool < file.rowCount ? file.firstRow + tool : -1; };
            for (const DrillHit& h : data.holes) {
                if (row(h.tool) >= 0)
                    marks.push_back({false, int(f), row(h.tool), QString(), h.x, h.y, h.x, h.y});
            }
            for (const DrillSlot& sl : data.slotHoles) {
                if (row(sl.tool) >= 0)
                    marks.push_back({true, int(f), row(sl.tool), QString(), sl.x1, sl.y1, sl.x2, sl.y2});
            }
        } else if (read.ending != ReadEnding::Unreadable) {
            // File units to millimetres as the drawing takes them: twips per unit over 56.7 twips
            // per millimetre. The readers' scales are 0.567 times a power of ten (a
            // single-precision 0.0567 for 0.001 mm): the unit is that power of ten, exactly.
            const double perUnit = static_cast<double>(extent.unitScale) / 56.7;
            const double mm = perUnit > 0 ? std::pow(10.0, std::round(std::log10(perUnit))) : 0.0;
            const DrawResult walked = listMarks(file.path, table, [&](const DrillMark& m) {
                marks.push_back({m.slot, int(f), m.row, m.code, m.x1 * mm, m.y1 * mm, m.x2 * mm, m.y2 * mm});
            });
            if (walked.ending == DrawResult::Ending::Stopped)
                drawingStops(walked.line);
        }
    }
    // A board of several files names each mark's file; one file's lists stay as they were.
    const bool named = given.isBoard();

    if (csv) {
        QByteArray out =
            named ? "type,row,code,diameter,x,y,x2,y2,file\n" : "type,row,code,diameter,x,y,x2,y2\n";
        for (const Mark& m : marks) {
            const HoleRow* row = m.row >= 0 ? &table.row(m.row) : nullptr;
            const auto d = row ? rowDiameter(*row) : std::nullopt;
            out += (m.slot ? "slot," : "hole,") + (row ? QByteArray::number(m.row) : QByteArray()) + ','
                + csvField(row ? row->dcode : m.code) + ',' + (d ? number(*d) : QByteArray()) + ','
                + number(m.x1) + ',' + number(m.y1) + ','
                + (m.slot ? number(m.x2) + ',' + number(m.y2) : QByteArray(","))
                + (named ? ',' + QByteArray::number(m.file) : QByteArray()) + '\n';
        }
        printOut(out);
        return r.status;
    }
    JsonWriter json;
    json.beginObject();
    json.key("path").value(given.files.front());
    json.key("reader").value(QString::fromLatin1(readerName(r.reader)));
    if (named) {
        json.key("files").beginArray();
        for (const int g : r.givenFile)
            json.value(given.files[g]);
        json.endArray();
    }
    for (const bool slotList : {false, true}) {
        json.key(slotList ? "slots" : "holes").beginArray();
        for (const Mark& m : marks) {
            if (m.slot != slotList)
                continue;
            const HoleRow* row = m.row >= 0 ? &table.row(m.row) : nullptr;
            json.beginObject();
            if (named)
                json.key("file").value(static_cast<long long>(m.file));
            json.key("row");
            if (row)
                json.value(static_cast<long long>(m.row));
            else
                json.null();
            json.key("code").value(row ? row->dcode : m.code);
            json.key("diameter");
            if (const auto d = row ? rowDiameter(*row) : std::nullopt)
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
