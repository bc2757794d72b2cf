#pragma once

// The checks a fabrication engineer runs on drill data before drilling: holes stacked on one
// another, holes too close, holes cut by or too near the board's edge, drills below the smallest
// the house drills, rows whose diameter is not the file's own, slots too short for their width,
// and a tool whose plating is not its file's. A board of a million holes is checked through
// uniform grids, never by comparing every pair.

#include "board/board.h"
#include "drawing/drawresult.h"
#include "gerber/boardextent.h"
#include "table/holetable.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace kivotrek {

// What the checks hold a board against. Each limit's default, option, remembered key and caption
// are its descriptor's (checkregistry.h).
struct CheckLimits {
    CheckLimits(); // each limit at its descriptor's default
    double minSpacing = 0; // millimetres between the edges of two holes
    double minEdge = 0; // millimetres between a hole's edge and the outline
    double minDrill = 0; // the smallest drill diameter, millimetres
    double slotRatio = 0; // a slot's length (end to end) over its width, at least
};

// Two holes whose centres lie this close (millimetres) are one hole drilled twice.
constexpr double kStackedDistance = 0.01;
// The most findings a check lists: past them it stops and says so.
constexpr qint64 kMaxFindings = 100'000;

// In the order the lists show them: what breaks a drill or the board first.
enum class CheckKind {
    Stacked, // two holes at one place (centres within kStackedDistance)
    Overlap, // two holes whose edges overlap
    OutlineCut, // a hole the outline runs through
    Spacing, // two holes closer than the limit, edge to edge
    Edge, // a hole closer to the outline than the limit
    MinDrill, // a row's diameter below the smallest drill
    ToolSize, // a row's diameter is not the file's own size of the tool
    SlotRatio, // a slot shorter than the ratio times its width
    Plating, // a tool's own plating is not its file's
};
constexpr int kCheckKinds = 9;

// Their names, captions and units: checkregistry.h.

struct Finding {
    CheckKind kind = CheckKind::Stacked;
    std::array<int, 2> rows {-1, -1}; // the rows (from 0) of one or two holes; -1 for none
    std::array<int, 2> files {-1, -1}; // the board's drill files of them; -1 for none
    std::optional<std::array<double, 2>> at; // the (first) hole's centre, millimetres, y up
    std::optional<std::array<double, 2>> other; // the second hole's centre, or the outline's nearest point
    std::optional<double> value; // what was measured
    std::optional<double> limit; // what it was held against
    QString detail; // for plating: the tool's and the file's kinds ("TH" / "NTH")

    int rowCount() const { return rows[1] >= 0 ? 2 : rows[0] >= 0 ? 1 : 0; }
};

struct CheckReport {
    std::vector<Finding> findings; // ordered by kind, then rows, then place
    std::array<qint64, kCheckKinds> counts {}; // per kind
    bool truncated = false; // the checks stopped before the end: see crowded
    bool crowded = false; // stopped where too many things lie on one another, else at kMaxFindings
    bool hasOutline = false; // the edge checks ran
    DrawResult ending; // where the board's drawing stops: the checks saw what it draws
    qint64 total() const;
};

// A board's holes, slots and outline in millimetres, with what each row is.
struct CheckedBoard {
    struct Hole {
        double x = 0, y = 0;
        float radius = 0;
        int16_t row = -1;
        int16_t file = 0;
    };
    struct Slot {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        float radius = 0;
        int16_t row = -1;
        int16_t file = 0;
        int32_t path = 0; // the pieces of one routed slot share it
    };
    struct Line {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    };
    struct Row {
        bool used = false; // holes or slots of it are drilled
        std::optional<double> diameter; // the table's, else the file's
        std::optional<double> fileSize; // the file's own size of the tool, where it has one
        std::optional<double> tableSize; // the table's number
        QString toolKind; // the tool's own plating, where the file states it per tool
        QString fileKind; // what its file as a whole is
        int file = -1;
        std::optional<std::array<double, 2>> first; // its first hole or slot
    };
    std::vector<Hole> holes;
    std::vector<Slot> slotPieces;
    std::vector<Line> outline;
    std::array<Row, HoleTable::kRows> rows;
    QStringList files; // the drill files' names
    DrawResult ending;
};

// The board as the table names its rows now: a drill file's holes and slots with their rows'
// diameters (the table's, else the file's tool size) and its outline file's and regions' lines;
// a standard or RS-274X file's flashes as holes and its drawn lines as the outline. Rows of the
// outline kind ("外形") are not drilled. From what the board holds.
CheckedBoard checkedBoard(const Board& board, const HoleTable& table, const BoardExtent& extent);

CheckReport runChecks(const CheckedBoard& board, const CheckLimits& limits);

// The D-codes of the drilled rows that have no diameter, in the table nor in the file: their
// holes are checked as points.
QStringList rowsWithoutDiameter(const CheckedBoard& board, const HoleTable& table);

// A finding's rows as the lists write them: "行3 T1" or "行3 T1 / 行5 T2"; named by the table.
QString findingRows(const Finding& f, const HoleTable& table);
// The findings as CSV, as the drill table is written (UTF-8 with BOM, CRLF, texts of the files
// kept from running as formulas): 種類, 行, Dコード, ファイル, X, Y, X2, Y2, 値, 限度.
QByteArray findingsCsv(const CheckReport& report, const HoleTable& table, const QStringList& files);

} // namespace kivotrek
