#include "drawing/drillmap.h"

#include "common/fileio.h"
#include "common/messages.h"

#include "common/cp932.h"
#include "common/numbers.h"
#include "drawing/symbols.h"
#include "gerber/linecuts.h"
#include "common/linereader.h"

#include <QFile>
#include <QFileInfo>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <vector>

namespace kivotrek {

Rgb rowColor(uint32_t fillColor)
{
    QString hex = QString::number(fillColor, 16).toUpper();
    while (hex.size() < 6)
        hex.prepend(QLatin1Char('0'));
    const auto byte = [&hex](int from) { return static_cast<uint8_t>(hex.mid(from, 2).toUInt(nullptr, 16)); };
    Rgb c;
    c.b = byte(0);
    c.g = byte(2);
    c.r = byte(static_cast<int>(hex.size()) - 2);
    return c;
}

QString countText(const RowCount& count)
{
    return count.slotCount > 0 ? QStringLiteral("%1+%2").arg(count.holeCount).arg(count.slotCount)
                               : QString::number(count.holeCount);
}

QString Layout::countSuffix(int i) const
{
    if (!options_.counts || i < 0 || i >= HoleTable::kRows)
        return QString();
    return QStringLiteral(" ×") + countText((*options_.counts)[size_t(i)]);
}

int Layout::markSize(const Surface& surface, bool legend) const
{
    return std::max<int>(surface.penWidth(), legend ? legendMarkMinimum(surface) : markMinimum(surface));
}

void Layout::hole(Surface& surface, float x, float y, int i, Rgb color, bool legend) const
{
    if (!options_.marks || i < 0)
        surface.dot(x, y, color);
    else
        drawMark(surface, x, y, rowMark(i), markSize(surface, legend), color);
}

QString toleranceText(const HoleRow& row)
{
    return row.sign1 + row.tol1 + QLatin1Char(' ') + row.sign2 + row.tol2 + QLatin1Char(' ') + row.kind;
}

namespace {
// Current position and segment start, in converted units before placement.
struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

// Which of the draw, move and flash codes a line holds, found in one pass over its D's.
struct DCodes {
    bool d01 = false, d02 = false, d03 = false;
    explicit DCodes(const LineMarks& l)
    {
        const QByteArrayView line = l.line();
        const char* p = line.data();
        const qsizetype n = line.size();
        for (qsizetype i = l.first('D'); i >= 0 && i + 2 < n; ++i) {
            if (p[i] != 'D' || p[i + 1] != '0')
                continue;
            d01 |= p[i + 2] == '1';
            d02 |= p[i + 2] == '2';
            d03 |= p[i + 2] == '3';
        }
    }
};

// One line as the drawing takes it: the codes it holds and its coordinates already in surface
// units. Cutting a line needs only the extent and the scale, so it can run ahead of the
// drawing, on another thread.
struct Step {
    enum Flag : uint16_t {
        StepRepeat = 1, // "%SR": the line changes nothing
        D01 = 2,
        D02 = 4,
        D03 = 8,
        Tool = 16, // "G54": a tool selection, its D-code kept beside the step
        NoDCode = 32, // a tool selection without a D-code: the drawing ends
        BadCoordinates = 64, // a value that cannot be cut or converted: the drawing ends
        HasX = 128,
        HasY = 256,
    };
    uint16_t flags = 0;
    int32_t x = 0;
    int32_t y = 0;
    bool has(Flag f) const { return (flags & f) != 0; }
    // A tool selection whose D-code was cut: its D-code is kept beside the step.
    bool namesTool() const { return has(Tool) && !has(NoDCode); }
};

class Cutter {
public:
    Cutter(const BoardExtent& extent, const Layout& layout)
        : unitScale_(static_cast<double>(extent.unitScale)), scale_(static_cast<double>(layout.scale()))
    {
    }
    // Coordinates in the file's own units.
    Cutter() : unitScale_(1.0), scale_(1.0) { }

    // The step of one line; a tool selection's D-code goes to dcode.
    Step cut(QByteArrayView text, QString& dcode) const
    {
        Step s;
        const LineMarks l(text);
        if (l.contains("%SR")) {
            s.flags = Step::StepRepeat;
            return s;
        }
        const DCodes d(l);
        s.flags = (d.d01 ? Step::D01 : 0) | (d.d02 ? Step::D02 : 0) | (d.d03 ? Step::D03 : 0);
        if (l.contains("G54")) {
            s.flags |= Step::Tool;
            const auto cut = cutDCode(l);
            if (!cut) {
                s.flags |= Step::NoDCode;
                return s;
            }
            dcode = cp932::decode(*cut);
        }
        if (l.has('X') || l.has('Y')) {
            const CoordinateTexts t = cutCoordinateTexts(l);
            if (!convert(t.x, t.xText, Step::HasX, s.x, s) || !convert(t.y, t.yText, Step::HasY, s.y, s))
                s.flags |= Step::BadCoordinates;
        }
        return s;
    }

private:
    // A cut value in surface units: file units x unitScale x drawing scale, rounded half to even.
    bool convert(
        CoordinateTexts::Cut kind, QByteArrayView text, Step::Flag given, int32_t& out, Step& s) const
    {
        std::optional<int32_t> units;
        if (!cutValue(kind, text, units))
            return false;
        if (!units)
            return true; // not given: the previous value stays
        const auto v = roundHalfEvenToInt32(static_cast<double>(*units) * unitScale_ * scale_);
        if (!v)
            return false;
        out = *v;
        s.flags |= given;
        return true;
    }

    double unitScale_;
    double scale_;
};

// The pen and the position of a replay: what each step makes of its codes and coordinates (a
// tool selection, a flash, a pen-down segment), for the drawing and for the list of marks alike.
class PenWalk {
public:
    // onTool() takes a tool selection, onFlash(at) a flash, onSegment(from, to) a pen-down move;
    // each returns false to end the walk, as the step itself does with a line it cannot take.
    template <typename Tool, typename Flash, typename Segment>
    bool step(const Step& step, Tool onTool, Flash onFlash, Segment onSegment)
    {
        if (step.has(Step::StepRepeat))
            return true;
        if (step.has(Step::D01)) {
            pen_ = true;
            seg_ = cur_;
        }
        if (step.has(Step::D02))
            pen_ = false;
        if (step.has(Step::Tool)) {
            pen_ = false;
            if (step.has(Step::NoDCode) || !onTool())
                return false;
        }
        if (step.has(Step::BadCoordinates))
            return false;
        if (step.has(Step::HasX))
            cur_.x = step.x;
        if (step.has(Step::HasY))
            cur_.y = step.y;
        if (step.has(Step::D03)) {
            pen_ = false;
            if (!onFlash(cur_))
                return false;
        }
        if (pen_) {
            if (!onSegment(seg_, cur_))
                return false;
            seg_ = cur_;
        }
        if (step.has(Step::D02))
            pen_ = false;
        return true;
    }

private:
    Point cur_;
    Point seg_;
    bool pen_ = false;
};

// Draws the steps, in order, carrying the pen, the position and the colour between lines.
class Replay {
public:
    Replay(const HoleTable& table, const Layout& layout, Surface& surface, int firstRow = 0,
        int endRow = HoleTable::kRows)
        : table_(table), layout_(layout), s_(surface), firstRow_(std::max(0, firstRow)),
          endRow_(std::min(endRow, int(HoleTable::kRows)))
    {
    }

    // The colour of the rows the last tool selection chose.
    Rgb color() const { return color_; }
    // True when the drawing ended because the user cancelled it.
    bool cancelled() const { return cancelled_; }

    // One step; false when the drawing must end here.
    bool draw(const Step& step, const QString& dcode)
    {
        return walk_.step(
            step, [&] { return selectTool(dcode); },
            [&](Point at) {
                const auto p = layout_.place(at.x, at.y);
                if (p)
                    hole(float(p->first), float(p->second));
                return p.has_value() && !cancelled_;
            },
            [&](Point from, Point to) {
                const auto a = layout_.place(to.x, to.y);
                const auto b = layout_.place(from.x, from.y);
                if (a && b)
                    segment(*b, *a, from.x == runEnd_.x && from.y == runEnd_.y);
                runEnd_ = to;
                return a && b && !cancelled_;
            });
    }

    // A hole at a surface point, in the selected row's colour (or mark).
    void hole(float x, float y)
    {
        inRun_ = false;
        layout_.hole(s_, x, y, markRow_, color_);
        tick();
    }

private:
    // A pen-down move from a to b. With marks, a slot of a marked row is a thin line with the
    // row's mark where it starts: a move that goes on from the last one's end is the same slot.
    void segment(std::pair<int32_t, int32_t> a, std::pair<int32_t, int32_t> b, bool goesOn)
    {
        const auto [x1, y1] = a;
        const auto [x2, y2] = b;
        if (markRow_ < 0 || !layout_.marks()) {
            s_.line(float(x2), float(y2), float(x1), float(y1), color_);
        } else {
            const int16_t pen = s_.penWidth();
            s_.setPenWidth(int16_t(markStroke(layout_.markSize(s_))));
            s_.line(float(x2), float(y2), float(x1), float(y1), printableColor(color_));
            s_.setPenWidth(pen);
            if (!(inRun_ && goesOn))
                layout_.hole(s_, float(x1), float(y1), markRow_, color_);
        }
        inRun_ = true;
        tick();
    }

    void tick()
    {
        if (++drawn_ % kProgressEvery == 0 && layout_.options().progress)
            cancelled_ = !layout_.options().progress(drawn_);
    }

    bool selectTool(const QString& dcode)
    {
        inRun_ = false;
        // Every matching row applies, in order: with duplicates the last one's pen and colour stay.
        for (int i = firstRow_; i < endRow_; ++i) {
            const HoleRow& row = table_.row(i);
            if (row.dcode != dcode)
                continue;
            const auto width = layout_.penWidth(row, s_);
            if (!width)
                return false;
            s_.setPenWidth(*width);
            color_ = rowColor(row.color);
            const bool outline = row.kind == HoleTable::outlineKind();
            markRow_ = outline ? -1 : i;
            if (!outline && !layout_.legendCell(i, row, color_, s_))
                return false;
        }
        return true;
    }

    static constexpr qint64 kProgressEvery = 4096;

    const HoleTable& table_;
    const Layout& layout_;
    Surface& s_;
    int firstRow_;
    int endRow_;
    PenWalk walk_;
    Rgb color_ {0, 0, 0};
    int markRow_ = -1; // the row whose mark the holes take; none for the outline and before a tool
    bool inRun_ = false; // the last thing drawn was a pen-down move
    Point runEnd_; // where it ended
    qint64 drawn_ = 0;
    bool cancelled_ = false;
};

// A run of consecutive lines' steps, passed from the cutting thread to the drawing one.
struct Batch {
    static constexpr size_t kLines = 8192;
    qint64 firstLine = 1;
    std::vector<Step> steps;
    std::vector<QString> dcodes; // of the tool selections, in order
    bool last = false; // nothing follows
    bool unreadable = false; // with last: the file could not be opened or read to its end
    qint64 stoppedAt = 0; // with last: a line the reading could not take (too long), else 0
};
} // namespace

namespace {
// Opens a Gerber file to replay it: a regular file that is no binary file (every reader refuses
// one; so does the drawing).
bool openToDraw(QFile& file)
{
    if (!openToRead(file))
        return false;
    if (!holdsBinaryBytes(file))
        return true;
    file.close();
    return false;
}

// How a replay that read to the end of its lines ends: a line too long to take stops it there.
DrawResult endOfFile(const LineReader& reader)
{
    if (reader.tooLong())
        return {DrawResult::Ending::Stopped, reader.lineNumber() + 1};
    if (reader.failed())
        return {DrawResult::Ending::Unreadable, std::nullopt};
    return {DrawResult::Ending::Complete, std::nullopt};
}
} // namespace

QString drawingProblem(const DrawResult& result, const QString& path)
{
    // A board of several files names the file that ended the drawing.
    const QString& file = result.path.isEmpty() ? path : result.path;
    switch (result.ending) {
    case DrawResult::Ending::Complete:
    case DrawResult::Ending::Cancelled: return QString(); // the user knows
    case DrawResult::Ending::Stopped:
        return result.line ? msg::drawingStopped(*result.line) : msg::drawingStoppedSomewhere();
    case DrawResult::Ending::NoExtent: return file.isEmpty() ? msg::noFileRead() : msg::nothingToDraw(file);
    case DrawResult::Ending::Unreadable:
        if (file.isEmpty())
            return msg::noFileRead();
        // A file that opened now and failed while it was read says so; else why it did not open.
        if (!QFileInfo::exists(file) || !isRegularFile(file))
            return whyUnopenable(file);
        QFile f(file);
        return openToRead(f) && holdsBinaryBytes(f) ? msg::notDrillData(file) : msg::readError(file);
    }
    return QString();
}

namespace {
// A drawing of drill data that stops at the piece the file's line made.
DrawResult stoppedAt(SourceLine line)
{
    return {DrawResult::Ending::Stopped, line > 0 ? std::optional<qint64>(line) : std::nullopt};
}

// Millimetres of the file to surface units: micrometres at 0.0567 twips, then the layout's
// scale, as a cut Gerber coordinate is converted.
class FramePlacement {
public:
    FramePlacement(const DrillFrame& frame, const Layout& layout)
        : frame_(frame),
          scale_(static_cast<double>(frame.extent.unitScale) * static_cast<double>(layout.scale()))
    {
    }
    std::optional<int32_t> x(double mm) const { return at(frame_.unitsX(mm)); }
    std::optional<int32_t> y(double mm) const { return at(frame_.unitsY(mm)); }

private:
    std::optional<int32_t> at(std::optional<int32_t> units) const
    {
        if (!units)
            return std::nullopt;
        return roundHalfEvenToInt32(static_cast<double>(*units) * scale_);
    }
    const DrillFrame& frame_;
    double scale_;
};
} // namespace

DrawResult drawOutline(const std::vector<OutlineSegment>& outline, const DrillFrame& frame,
    const Layout& layout, Surface& surface)
{
    const DrawResult stopped {DrawResult::Ending::Stopped, std::nullopt, QString()};
    if (outline.empty())
        return {};
    HoleRow pen; // the outline pen: an outline row of no diameter
    pen.diameter = QStringLiteral("0");
    pen.kind = HoleTable::outlineKind();
    const auto width = layout.penWidth(pen, surface);
    if (!width)
        return stopped;
    surface.setPenWidth(*width);
    const FramePlacement at(frame, layout);
    const Rgb black {0, 0, 0};
    for (const OutlineSegment& s : outline) {
        const auto x1 = at.x(s.x1), y1 = at.y(s.y1), x2 = at.x(s.x2), y2 = at.y(s.y2);
        if (!x1 || !y1 || !x2 || !y2)
            return stoppedAt(s.line);
        const auto a = layout.place(*x2, *y2);
        const auto b = layout.place(*x1, *y1);
        if (!a || !b)
            return stoppedAt(s.line);
        surface.line(float(a->first), float(a->second), float(b->first), float(b->second), black);
    }
    return {};
}

DrawResult replayDrill(const DrillData& drill, const DrillFrame& frame, const HoleTable& table,
    const Layout& layout, Surface& surface, int firstRow, int rowCount)
{
    const FramePlacement at(frame, layout);
    const auto step = [&](uint16_t code, double x, double y, Step& s) {
        const auto sx = at.x(x);
        const auto sy = at.y(y);
        if (!sx || !sy)
            return false;
        s.flags = code | Step::HasX | Step::HasY;
        s.x = *sx;
        s.y = *sy;
        return true;
    };
    // Holes, then slots, in file order; a tool is selected where it changes, as a Gerber file's
    // replay selects it (drill files keep a tool's holes together, so that is once a tool).
    Replay replay(table, layout, surface, firstRow, firstRow + rowCount);
    int selected = -1;
    const auto select = [&](int tool) {
        if (tool == selected)
            return true;
        selected = tool;
        Step s;
        s.flags = Step::Tool;
        return replay.draw(s, drill.tools[size_t(tool)].code);
    };
    // A hole is a flash: a dot where the layout places it, in the selected rows' colour, as
    // the replay of a D03 step draws it, without the step.
    // Tools beyond the file's rows found no row in the table: their holes are not drawn.
    const auto inTable = [rowCount](int tool) { return tool < rowCount; };
    for (const DrillHit& h : drill.holes) {
        if (!inTable(h.tool))
            continue;
        if (!select(h.tool))
            return stoppedAt(h.line);
        const auto x = at.x(h.x);
        const auto y = at.y(h.y);
        const auto p = x && y ? layout.place(*x, *y) : std::nullopt;
        if (!p)
            return stoppedAt(h.line);
        replay.hole(float(p->first), float(p->second));
        if (replay.cancelled())
            return {DrawResult::Ending::Cancelled};
    }
    Step s;
    for (const DrillSlot& sl : drill.slotHoles) {
        if (!inTable(sl.tool))
            continue;
        if (!select(sl.tool) || !step(Step::D02, sl.x1, sl.y1, s) || !replay.draw(s, QString())
            || !step(Step::D01, sl.x2, sl.y2, s) || !replay.draw(s, QString()))
            return replay.cancelled() ? DrawResult {DrawResult::Ending::Cancelled} : stoppedAt(sl.line);
    }
    return {DrawResult::Ending::Complete, std::nullopt};
}

DrawResult listMarks(
    const QString& path, const HoleTable& table, const std::function<void(const DrillMark&)>& out)
{
    QFile file(path);
    if (!openToDraw(file))
        return {DrawResult::Ending::Unreadable, std::nullopt};
    LineReader reader(file);
    const Cutter cutter;
    QByteArrayView line;
    QString dcode;
    PenWalk walk; // the drawing's own rules, without a surface
    bool selected = false; // before the first tool selection nothing is a hole of a tool
    QString code;
    int row = -1;
    while (reader.next(line)) {
        const Step step = cutter.cut(line, dcode);
        const bool walked = walk.step(
            step,
            [&] {
                selected = true;
                code = dcode;
                row = -1; // a D-code of no row: drawn with the pen before it, but no row's hole
                for (int i = 0; i < HoleTable::kRows; ++i) {
                    if (table.row(i).dcode == dcode)
                        row = i; // with duplicates the last one's pen stays
                }
                return true;
            },
            [&](Point at) {
                if (selected)
                    out({false, row, code, at.x, at.y, at.x, at.y});
                return true;
            },
            [&](Point from, Point to) {
                if (selected)
                    out({true, row, code, from.x, from.y, to.x, to.y});
                return true;
            });
        if (!walked)
            return {DrawResult::Ending::Stopped, reader.lineNumber()};
    }
    return endOfFile(reader);
}

namespace {
// The row a tool's holes are drawn in: the last of the rows in the run that hold its code.
int lastMatchingRow(const HoleTable& table, const QString& code, int first, int count)
{
    int row = -1;
    for (int i = std::max(0, first); i < std::min(first + count, int(HoleTable::kRows)); ++i) {
        if (table.row(i).dcode == code)
            row = i;
    }
    return row;
}

bool countsHoles(const HoleTable& table, int row)
{
    return row >= 0 && table.row(row).kind != HoleTable::outlineKind();
}
} // namespace

DrawResult countHoles(const Board& board, const BoardData& data, const HoleTable& table, HoleCounts& counts)
{
    if (board.replaysGerber())
        return countHoles(board, table, counts); // its lines are walked again, as they are drawn
    counts = HoleCounts();
    // In the drawing's order (the outline, then each file's outline pieces, holes and slots),
    // up to the first piece the drawing cannot place in the frame: there it stops.
    const DrillFrame frame = boardFrame(data);
    const auto placeable = [&frame](double x, double y) { return frame.unitsX(x) && frame.unitsY(y); };
    const auto outlineStop = [&](const std::vector<OutlineSegment>& outline) -> std::optional<DrawResult> {
        for (const OutlineSegment& s : outline) {
            if (!placeable(s.x1, s.y1) || !placeable(s.x2, s.y2))
                return stoppedAt(s.line);
        }
        return std::nullopt;
    };
    if (data.outline) {
        if (auto stop = outlineStop(data.outline->outline)) {
            stop->path = board.outline;
            return *stop;
        }
    }
    for (size_t f = 0; f < data.drills.size() && f < board.files.size(); ++f) {
        const DrillData& d = data.drills[f];
        const BoardFile& file = board.files[f];
        // Per tool the count it adds to: its row's, none for a row of the outline kind, the
        // count without a row for a D-code no row holds (drawn with the pen before it); tools
        // beyond the file's rows are not drawn.
        std::vector<RowCount*> into(d.tools.size(), nullptr);
        for (size_t t = 0; t < d.tools.size() && int(t) < file.rowCount; ++t) {
            const int row = lastMatchingRow(table, d.tools[t].code, file.firstRow, file.rowCount);
            into[t] = row < 0 ? &counts.withoutRow : countsHoles(table, row) ? &counts[size_t(row)] : nullptr;
        }
        const auto counter = [&into](int tool) {
            return tool >= 0 && size_t(tool) < into.size() ? into[size_t(tool)] : nullptr;
        };
        const auto drawn = [&file](int tool) { return tool < file.rowCount; };
        std::optional<DrawResult> stop = outlineStop(d.outline);
        for (size_t i = 0; i < d.holes.size() && !stop; ++i) {
            const DrillHit& h = d.holes[i];
            if (!drawn(h.tool))
                continue;
            if (!placeable(h.x, h.y))
                stop = stoppedAt(h.line);
            else if (RowCount* n = counter(h.tool))
                ++n->holeCount;
        }
        for (size_t i = 0; i < d.slotHoles.size() && !stop; ++i) {
            const DrillSlot& sl = d.slotHoles[i];
            if (!drawn(sl.tool))
                continue;
            if (!placeable(sl.x1, sl.y1) || !placeable(sl.x2, sl.y2))
                stop = stoppedAt(sl.line);
            else if (RowCount* n = counter(sl.tool); n && !sl.joined)
                ++n->slotCount;
        }
        if (stop) {
            stop->path = file.path;
            return *stop;
        }
    }
    return {};
}

DrawResult countHoles(const Board& board, const HoleTable& table, HoleCounts& counts)
{
    counts = HoleCounts();
    if (board.isEmpty())
        return {DrawResult::Ending::NoExtent};
    if (board.replaysGerber()) {
        // A run of pen-down moves, one after the other in one row, is one slot.
        bool joined = false;
        int lastRow = -1;
        int32_t lastX = 0, lastY = 0;
        return listMarks(board.files[0].path, table, [&](const DrillMark& m) {
            // A D-code that no row holds counts apart: in none of the rows.
            RowCount* into = m.row < 0      ? &counts.withoutRow
                : countsHoles(table, m.row) ? &counts[size_t(m.row)]
                                            : nullptr;
            if (!into) {
                joined = false;
                return;
            }
            if (!m.slot) {
                ++into->holeCount;
                joined = false;
                return;
            }
            if (!(joined && m.row == lastRow && m.x1 == lastX && m.y1 == lastY))
                ++into->slotCount;
            joined = true;
            lastRow = m.row;
            lastX = m.x2;
            lastY = m.y2;
        });
    }
    BoardData data;
    QString unreadable;
    if (!loadBoard(board, data, &unreadable))
        return {DrawResult::Ending::Unreadable, std::nullopt, unreadable};
    return countHoles(board, data, table, counts);
}

HoleTotals holeTotals(const HoleCounts& counts, const HoleTable& table)
{
    HoleTotals t;
    for (int i = 0; i < HoleTable::kRows; ++i) {
        const qint64 n = counts[size_t(i)].holeCount + counts[size_t(i)].slotCount;
        const QString& kind = table.row(i).kind;
        if (kind == QLatin1String("TH"))
            t.th += n;
        else if (kind == QLatin1String("NTH"))
            t.nth += n;
        else
            t.other += n;
        t.all += n;
    }
    const qint64 withoutRow = counts.withoutRow.holeCount + counts.withoutRow.slotCount;
    t.other += withoutRow;
    t.all += withoutRow;
    return t;
}

Board singleFileBoard(const QString& path, ReaderKind reader)
{
    Board board;
    board.files.push_back({path, reader, 0, HoleTable::kRows});
    return board;
}

DrawResult drawBoard(
    const Board& board, const HoleTable& table, const BoardExtent& extent, Layout& layout, Surface& surface)
{
    if (board.isEmpty())
        return {DrawResult::Ending::NoExtent, std::nullopt, QString()};
    if (board.replaysGerber()) {
        if (!layout.prepare(table, extent, surface))
            return {DrawResult::Ending::NoExtent, std::nullopt, QString()};
        return replayDrillMap(board.files[0].path, table, extent, layout, surface);
    }
    // Read again, as a Gerber file is replayed again: the drawing shows the files as they are now.
    BoardData data;
    QString unreadable;
    if (!loadBoard(board, data, &unreadable))
        return {DrawResult::Ending::Unreadable, std::nullopt, unreadable};
    const DrillFrame frame = boardFrame(data);
    if (!layout.prepare(table, frame.extent, surface))
        return {DrawResult::Ending::NoExtent};
    return drawBoardData(board, data, frame, table, layout, surface);
}

DrawResult drawBoardData(const Board& board, const BoardData& data, const DrillFrame& frame,
    const HoleTable& table, const Layout& layout, Surface& surface)
{
    if (data.outline) {
        DrawResult r = drawOutline(data.outline->outline, frame, layout, surface);
        if (r.ending != DrawResult::Ending::Complete) {
            r.path = board.outline;
            return r;
        }
    }
    for (size_t i = 0; i < data.drills.size() && i < board.files.size(); ++i) {
        const BoardFile& f = board.files[i];
        DrawResult r = drawOutline(data.drills[i].outline, frame, layout, surface);
        if (r.ending == DrawResult::Ending::Complete)
            r = replayDrill(data.drills[i], frame, table, layout, surface, f.firstRow, f.rowCount);
        if (r.ending != DrawResult::Ending::Complete) {
            r.path = f.path;
            return r;
        }
    }
    return {};
}

DrawResult replayDrillMap(const QString& path, const HoleTable& table, const BoardExtent& extent,
    const Layout& layout, Surface& surface)
{
    QFile file(path);
    if (!openToDraw(file))
        return {DrawResult::Ending::Unreadable, std::nullopt};
    return replayDrillMap(file, table, extent, layout, surface);
}

DrawResult replayDrillMap(QIODevice& device, const HoleTable& table, const BoardExtent& extent,
    const Layout& layout, Surface& surface)
{
    LineReader reader(device);
    const Cutter cutter(extent, layout);
    Replay replay(table, layout, surface);
    QByteArrayView line;
    QString dcode;
    while (reader.next(line)) {
        if (!replay.draw(cutter.cut(line, dcode), dcode))
            return replay.cancelled() ? DrawResult {DrawResult::Ending::Cancelled}
                                      : DrawResult {DrawResult::Ending::Stopped, reader.lineNumber()};
    }
    return endOfFile(reader);
}

struct ReplayPipe::Queue {
    static constexpr size_t kMaxBatches = 4; // about 400 KB cut ahead at most

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Batch> batches;
    std::vector<Batch> spare; // drawn batches, kept for their memory
    int waiting = 0; // threads waiting for a change
    bool closed = false;

    // Queues the batch and gives back an empty one in its place; false when the pipe was closed.
    bool push(Batch& batch)
    {
        std::unique_lock<std::mutex> lock(mutex);
        waitUntil(lock, [this] { return closed || batches.size() < kMaxBatches; });
        if (closed)
            return false;
        batches.push_back(std::move(batch));
        batch = Batch();
        if (!spare.empty()) {
            batch = std::move(spare.back());
            spare.pop_back();
        }
        if (waiting > 0)
            changed.notify_all();
        return true;
    }
    // The next batch in place of the drawn one; false when none will come.
    bool pop(Batch& batch)
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (batch.steps.capacity() > 0) {
            batch.steps.clear();
            batch.dcodes.clear();
            batch.last = batch.unreadable = false;
            batch.stoppedAt = 0;
            spare.push_back(std::move(batch));
        }
        waitUntil(lock, [this] { return closed || !batches.empty(); });
        if (batches.empty())
            return false;
        batch = std::move(batches.front());
        batches.pop_front();
        if (waiting > 0)
            changed.notify_all();
        return true;
    }
    template <typename Ready> void waitUntil(std::unique_lock<std::mutex>& lock, Ready ready)
    {
        if (ready())
            return;
        ++waiting;
        changed.wait(lock, ready);
        --waiting;
    }
};

ReplayPipe::ReplayPipe() : queue_(std::make_unique<Queue>())
{
}

ReplayPipe::~ReplayPipe() = default;

void ReplayPipe::close()
{
    const std::lock_guard<std::mutex> lock(queue_->mutex);
    queue_->closed = true;
    queue_->changed.notify_all();
}

void ReplayPipe::cut(const QString& path, const BoardExtent& extent, const Layout& layout)
{
    Batch batch;
    QFile file(path);
    if (!openToDraw(file)) {
        batch.last = batch.unreadable = true;
        queue_->push(batch);
        return;
    }
    LineReader reader(file);
    const Cutter cutter(extent, layout);
    QByteArrayView line;
    QString dcode;
    batch.steps.reserve(Batch::kLines);
    while (reader.next(line)) {
        if (batch.steps.empty())
            batch.firstLine = reader.lineNumber();
        const Step step = cutter.cut(line, dcode);
        batch.steps.push_back(step);
        if (step.namesTool())
            batch.dcodes.push_back(dcode);
        if (step.has(Step::NoDCode) || step.has(Step::BadCoordinates)) {
            batch.last = true; // the drawing ends here at the latest
            queue_->push(batch);
            return;
        }
        if (batch.steps.size() == Batch::kLines) {
            if (!queue_->push(batch))
                return;
            batch.steps.reserve(Batch::kLines);
        }
    }
    batch.last = true;
    batch.unreadable = reader.failed();
    if (reader.tooLong())
        batch.stoppedAt = reader.lineNumber() + 1;
    queue_->push(batch);
}

DrawResult ReplayPipe::draw(const HoleTable& table, const Layout& layout, Surface& surface)
{
    Replay replay(table, layout, surface);
    DrawResult result {DrawResult::Ending::Unreadable, std::nullopt}; // if the pipe closes early
    const QString none;
    Batch batch;
    while (queue_->pop(batch)) {
        size_t tool = 0;
        bool stopped = false;
        for (size_t i = 0; i < batch.steps.size() && !stopped; ++i) {
            const Step& step = batch.steps[i];
            if (!replay.draw(step, step.namesTool() ? batch.dcodes[tool++] : none)) {
                result = replay.cancelled()
                    ? DrawResult {DrawResult::Ending::Cancelled}
                    : DrawResult {DrawResult::Ending::Stopped, batch.firstLine + static_cast<qint64>(i)};
                stopped = true;
            }
        }
        if (stopped)
            break;
        if (batch.last && batch.stoppedAt > 0) {
            result = {DrawResult::Ending::Stopped, batch.stoppedAt};
            break;
        }
        if (batch.last) {
            result = {batch.unreadable ? DrawResult::Ending::Unreadable : DrawResult::Ending::Complete,
                std::nullopt};
            break;
        }
    }
    close(); // the cutting side stops too when the drawing ended early
    return result;
}

} // namespace kivotrek
