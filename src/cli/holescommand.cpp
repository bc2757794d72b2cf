// kivotrek-cli holes: every hole and slot of a drill file in millimetres, y up, unshifted.

#include "cli/clicommon.h"
#include "cli/jsonwriter.h"
#include "cli/rawpaths.h"
#include "cli/readers.h"
#include "drawing/drilltable.h"
#include "drawing/gerberreplay.h"
#include "drawing/heldboard.h"
#include "drawing/holecounts.h"

#include <QDataStream>
#include <QFileInfo>
#include <QTemporaryFile>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace kivotrek::cli {

namespace {
struct Mark {
    bool slot = false;
    int file = 0; // index into the board's drill files
    int row = 0; // -1: a D-code that no row holds
    QString code; // for a mark without a row: its D-code
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

QByteArray number(double v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QByteArray(buf, int(r.ptr - buf));
}

// Standard output in pieces of 64 KiB.
class ChunkedOut {
public:
    QByteArray& text() { return text_; }
    void maybePrint()
    {
        if (text_.size() >= (qsizetype(1) << 16))
            print();
    }
    void print()
    {
        printOut(text_);
        text_.clear();
    }

private:
    QByteArray text_;
};

void writeMark(JsonWriter& json, const Mark& m, const HoleTable& table, bool named)
{
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
    if (const auto d = row ? rowDiameter(table, m.row) : std::nullopt)
        json.value(*d);
    else
        json.null();
    if (m.slot) {
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

void writeCsvLine(QByteArray& out, const Mark& m, const HoleTable& table, bool named)
{
    const HoleRow* row = m.row >= 0 ? &table.row(m.row) : nullptr;
    const auto d = row ? rowDiameter(table, m.row) : std::nullopt;
    out += (m.slot ? "slot," : "hole,") + (row ? QByteArray::number(m.row) : QByteArray()) + ','
        + csvField(row ? row->dcode : m.code) + ',' + (d ? number(*d) : QByteArray()) + ',' + number(m.x1)
        + ',' + number(m.y1) + ',' + (m.slot ? number(m.x2) + ',' + number(m.y2) : QByteArray(","))
        + (named ? ',' + QByteArray::number(m.file) : QByteArray()) + '\n';
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
    ReadOutcome r = readBoard(choice, given, table, extent, stderrSink());
    if (r.stopNow)
        return r.stopNow;
    if (r.readNothing())
        return r.status; // no list of a read that failed

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
        const DrawResult drawn = countHoles(r.board, table, counts);
        if (drawn.ending == DrawResult::Ending::Stopped)
            drawingStops(drawn.line);
    }
    // A board of several files names each mark's file; one file's lists stay as they were.
    const bool named = given.isBoard() || r.package;

    // Every mark of the board in file order, each drill file's holes before its slots. A
    // Gerber file's marks come as its lines are walked, as the drawing walks them.
    const auto forEachMark = [&](const std::function<void(const Mark&)>& take, bool sayStop = true) {
        for (size_t f = 0; f < r.board.files.size(); ++f) {
            const BoardFile& file = r.board.files[f];
            const FileOutcome& read = r.files[size_t(r.givenFile[f])];
            if (!r.board.replaysGerber() && f < r.board.data.drills.size()) {
                const DrillData& data = r.board.data.drills[f];
                // A tool's row is its file's first row and the tool's place; tools beyond the
                // table have no row and are not drawn.
                const auto row = [&file](
                                     int tool) { return tool < file.rowCount ? file.firstRow + tool : -1; };
                for (const DrillHit& h : data.holes) {
                    if (row(h.tool) >= 0)
                        take({false, int(f), row(h.tool), QString(), h.x(), h.y(), h.x(), h.y()});
                }
                for (const DrillSlot& sl : data.slotHoles) {
                    if (row(sl.tool) >= 0)
                        take({true, int(f), row(sl.tool), QString(), sl.x1(), sl.y1(), sl.x2(), sl.y2()});
                }
            } else if (read.ending != ReadEnding::Unreadable && r.board.data.gerberSteps) {
                // File units to millimetres as the drawing takes them: twips per unit over 56.7
                // twips per millimetre. The readers' scales are 0.567 times a power of ten (a
                // single-precision 0.0567 for 0.001 mm): the unit is that power of ten, exactly.
                const double perUnit = static_cast<double>(extent.unitScale) / 56.7;
                const double mm = perUnit > 0 ? std::pow(10.0, std::round(std::log10(perUnit))) : 0.0;
                const DrawResult walked =
                    listMarks(*r.board.data.gerberSteps, table, [&](const DrillMark& m) {
                        take({m.slot, int(f), m.row, m.code, m.x1 * mm, m.y1 * mm, m.x2 * mm, m.y2 * mm});
                    });
                if (walked.ending == DrawResult::Ending::Stopped && sayStop)
                    drawingStops(walked.line);
            }
        }
    };

    if (csv) {
        ChunkedOut out;
        out.text() = named ? "type,row,code,diameter,x,y,x2,y2,file\n" : "type,row,code,diameter,x,y,x2,y2\n";
        forEachMark([&](const Mark& m) {
            writeCsvLine(out.text(), m, table, named);
            out.maybePrint();
        });
        out.print();
        return r.status;
    }
    JsonWriter json;
    json.streamToStandardOutput();
    json.beginObject();
    json.key("path").value(given.files.front());
    json.key("reader").value(QString::fromLatin1(readerName(r.reader)));
    if (named) {
        json.key("files").beginArray();
        for (const int g : r.givenFile)
            json.value(r.shown[g]);
        json.endArray();
    }
    // The holes, then the slots: those of the drill files are listed again from their data,
    // those of a Gerber file from a second walk of its steps.
    json.key("holes").beginArray();
    forEachMark([&](const Mark& m) {
        if (!m.slot)
            writeMark(json, m, table, named);
    });
    json.endArray();
    json.key("slots").beginArray();
    if (r.board.replaysGerber()) {
        forEachMark(
            [&](const Mark& m) {
                if (m.slot)
                    writeMark(json, m, table, named);
            },
            false);
    } else {
        for (size_t f = 0; f < r.board.files.size() && f < r.board.data.drills.size(); ++f) {
            const BoardFile& file = r.board.files[f];
            for (const DrillSlot& sl : r.board.data.drills[f].slotHoles) {
                if (sl.tool < file.rowCount)
                    writeMark(json,
                        {true, int(f), file.firstRow + sl.tool, QString(), sl.x1(), sl.y1(), sl.x2(),
                            sl.y2()},
                        table, named);
            }
        }
    }
    json.endArray();
    json.endObject();
    json.print();
    return r.status;
}

} // namespace kivotrek::cli
