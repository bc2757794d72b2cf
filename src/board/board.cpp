#include "board/board.h"

#include "common/messages.h"
#include "excellon/excellonreader.h"
#include "gerber/x2reader.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>

namespace kivotrek {

bool Board::replaysGerber() const
{
    return files.size() == 1 && outline.isEmpty()
        && readerOf(files[0].reader).scope == ReaderScope::WholeBoard;
}

int Board::nextFreeRow() const
{
    int next = 0;
    for (const BoardFile& f : files)
        next = std::max(next, f.firstRow + f.rowCount);
    return next;
}

QString Board::settingsAnchor() const
{
    if (package.isEmpty())
        return mainPath();
    return QFileInfo(package).isDir() ? QDir(package).filePath(QStringLiteral("KIVOTREK.INI")) : package;
}

QString Board::mainPath() const
{
    return files.empty() ? outline : files.front().path;
}

int Board::fileOfRow(int row) const
{
    for (size_t i = 0; i < files.size(); ++i) {
        if (row >= files[i].firstRow && row < files[i].firstRow + files[i].rowCount)
            return int(i);
    }
    return -1;
}

QStringList Board::paths() const
{
    QStringList all;
    for (const BoardFile& f : files)
        all << f.path;
    if (!outline.isEmpty())
        all << outline;
    return all;
}

namespace {
// The tools' rows from first on, as the file gives them: D-code, diameter, and the plating and
// tolerances where the file says them (what it does not say stays as it was). How many rows
// were filled; tools beyond the table's last row are named once.
int fillRows(const DrillData& data, int first, HoleTable& table, const QString& path, const MessageSink& sink)
{
    int filled = 0;
    for (size_t i = 0; i < data.tools.size(); ++i) {
        const DrillTool& t = data.tools[i];
        const int r = first + int(i);
        if (r >= HoleTable::kRows) {
            sink.warning(msg::noFreeRows(path, t.code), path);
            break;
        }
        HoleRow& row = table.row(r);
        row.dcode = t.code;
        row.diameter = t.diameter ? diameterText(*t.diameter) : QString();
        if (!t.kind.isEmpty())
            row.kind = HoleKind::named(t.kind); // the drill data names kinds as the table does
        // The tolerances as the file states them, in the list or not.
        if (!t.sign1.isEmpty()) {
            row.sign1 = t.sign1;
            row.tol1 = t.tol1;
        }
        if (!t.sign2.isEmpty()) {
            row.sign2 = t.sign2;
            row.tol2 = t.tol2;
        }
        ++filled;
    }
    return filled;
}

// Hands the file's holes to the caller's data, keeping the rest (tools, counts, ending) in the
// outcome: a board's holes are held once.
void hold(FileOutcome& o, std::optional<DrillData>& into)
{
    DrillData summary;
    summary.ending = o.data->ending;
    summary.role = o.data->role;
    summary.tools = o.data->tools;
    summary.skippedLines = o.data->skippedLines;
    summary.firstSkippedLine = o.data->firstSkippedLine;
    summary.stoppedAtLine = o.data->stoppedAtLine;
    summary.format = o.data->format;
    summary.statesFunction = o.data->statesFunction;
    into = std::move(*o.data);
    o.data = std::move(summary);
}

void hold(FileOutcome& o, std::vector<DrillData>& into)
{
    std::optional<DrillData> taken;
    hold(o, taken);
    into.push_back(std::move(*taken));
}

void takeEnding(const DrillData& data, FileOutcome& o)
{
    switch (data.ending) {
    case DrillData::Ending::Complete: break;
    case DrillData::Ending::TooManyTools:
    case DrillData::Ending::LimitReached:
        o.ending = ReadEnding::Fault;
        o.stoppedAtLine = data.stoppedAtLine;
        break;
    case DrillData::Ending::Unreadable: o.ending = ReadEnding::Unreadable; break;
    }
}

// Rows for the file's tools from first on; tools that find no row (a board of more than 63 tools)
// end the read as a fault, said once: their holes are in no row and not drawn.
int takeRows(const DrillData& data, int first, HoleTable& table, const QString& path, const MessageSink& sink,
    FileOutcome& o)
{
    const int rows = fillRows(data, first, table, path, sink);
    if (size_t(rows) < data.tools.size() && o.ending == ReadEnding::Complete)
        o.ending = ReadEnding::Fault;
    return rows;
}

// What a drill file's read says of its format: where it came from when nothing in the file
// states it (the fitted format is said by the fit).
void sayFormat(const DrillData& data, const QString& path, const MessageSink& sink)
{
    if (!sink || !data.format || !data.format->used)
        return;
    if (data.format->source == CoordinateFormat::Source::Assumed)
        sink.information(msg::formatAssumed(data.format->text()), path);
    else if (data.format->source == CoordinateFormat::Source::NcParam)
        sink.information(msg::formatFromNcParam(data.format->text()), path);
}

// What a fit did to a file's format.
enum class Fitting { None, Kept, Changed };
std::vector<Fitting> fitFormats(Board& board, BoardData& data, HoleTable& table);

// The frame and the warning once the board has changed; first the formats of files that state
// none are fitted to the outline. A format the fit changed is said, and the format of the file
// just added (newFile), fitted or not.
void boardChanged(
    Board& board, HoleTable& table, BoardExtent& extent, const MessageSink& sink, int newFile = -1)
{
    BoardData& data = board.data;
    const std::vector<Fitting> fitted = fitFormats(board, data, table);
    for (size_t f = 0; f < data.drills.size() && f < board.files.size(); ++f) {
        const bool added = int(f) == newFile;
        if (fitted[f] == Fitting::Changed || (added && fitted[f] == Fitting::Kept))
            sink.information(msg::formatFitted(board.files[f].fitted->text()), board.files[f].path);
        else if (added)
            sayFormat(data.drills[f], board.files[f].path, sink);
    }
    extent = boardFrame(data).extent;
    const QString warning = boardWarning(board, data);
    if (!warning.isEmpty())
        sink.warning(warning, board.outline);
}

} // namespace

// A Gerber drill file without attributes of its own whose name marks an outline is read again
// as the outline; what its first read had to say is said only when it stays a drill file.
DrillData readBoardDrill(ReaderKind reader, const QString& path, const MessageSink& sink)
{
    if (reader != ReaderKind::GerberX2 || !looksLikeOutlineName(path))
        return readDrillFile(reader, path, sink);
    std::vector<Diagnostic> said;
    DrillData data = readGerberX2(path, [&said](const Diagnostic& d) { said.push_back(d); });
    if (data.role == DrillData::Role::Drill && !data.statesFunction)
        return readGerberX2(path, sink, GerberRole::Outline);
    for (const Diagnostic& d : said)
        sink(d);
    return data;
}

namespace {
// A drill file read for the board, its stamp taken before it is opened (a file written while it
// is read is read again at its next use).
DrillData readAddedFile(ReaderKind reader, const QString& path, const MessageSink& sink, DrillData* read,
    const FileStamp* readStamp, FileStamp& stamp)
{
    stamp = readStamp ? *readStamp : stampOf(path);
    return read ? std::move(*read) : readBoardDrill(reader, path, sink);
}
} // namespace

FileStamp stampOf(const QString& path)
{
    const QFileInfo info(path);
    FileStamp s;
    s.exists = info.exists();
    if (s.exists) {
        s.size = info.size();
        s.modified = info.lastModified().toMSecsSinceEpoch();
    }
    return s;
}

DrillData readDrillFile(ReaderKind reader, const QString& path, const MessageSink& sink,
    const std::optional<CoordinateFormat>& fitted)
{
    const ReaderDescriptor& d = readerOf(reader);
    if (d.readDrill)
        return d.readDrill(path, sink, fitted);
    DrillData none; // a whole board's file is never one of several
    none.ending = DrillData::Ending::Unreadable;
    return none;
}

namespace {
// Names that mark an outline, the surest first: a keep-out layer or KiCad's edge cuts over a
// mechanical layer, a dimension or milling layer last.
struct OutlineName {
    const char* pattern;
    int rank;
};
constexpr OutlineName kOutlineNames[] = {{"*.gko", 9}, {"*edge_cuts*", 9}, {"*edge.cuts*", 9},
    {"*boardoutline*", 9}, {"*outline*", 8}, {"*.gm1", 7}, {"*.gml", 6}, {"*.oln", 6}, {"*profile*", 6},
    {"*contour*", 5}, {"ko", 5}, {"*.dim", 4}, {"*.mil", 3}};
} // namespace

QStringList outlineNamePatterns()
{
    QStringList patterns;
    for (const OutlineName& n : kOutlineNames)
        patterns << QString::fromLatin1(n.pattern);
    return patterns;
}

int outlineNameRank(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    for (const OutlineName& n : kOutlineNames) {
        const QRegularExpression re(
            QRegularExpression::wildcardToRegularExpression(QString::fromLatin1(n.pattern)),
            QRegularExpression::CaseInsensitiveOption);
        if (re.match(name).hasMatch())
            return n.rank;
    }
    return 0;
}

bool looksLikeOutlineName(const QString& path)
{
    return outlineNameRank(path) > 0;
}

FileOutcome readBoardFile(Board& board, ReaderKind reader, const QString& path, HoleTable& table,
    BoardExtent& extent, const MessageSink& sink, DrillData* read, const FileStamp* readStamp)
{
    board = Board();
    FileOutcome o;
    o.reader = reader;
    const ReaderDescriptor& d = readerOf(reader);
    if (d.scope == ReaderScope::WholeBoard) {
        const FileStamp stamp = stampOf(path);
        const ReadResult r = d.readWhole(path, table, extent, sink, board.data);
        o.ending = r.ending;
        o.stoppedAtLine = r.stoppedAtLine;
        int rows = 0; // the reader fills rows from the first on
        for (int i = 0; i < HoleTable::kRows; ++i) {
            if (table.row(i).isUsed())
                rows = i + 1;
        }
        board.files.push_back({path, reader, 0, rows});
        board.files.back().stamp = stamp;
        return o;
    }
    d.prepare(table, extent);
    FileStamp stamp;
    o.data = readAddedFile(reader, path, sink, read, readStamp, stamp);
    takeEnding(*o.data, o);
    if (o.data->role == DrillData::Role::Outline) {
        board.outline = path;
        board.outlineStamp = stamp;
        hold(o, board.data.outline);
    } else {
        const int rows = takeRows(*o.data, 0, table, path, sink, o);
        board.files.push_back({path, reader, 0, rows});
        board.files.back().stamp = stamp;
        sayFormat(*o.data, path, sink);
        hold(o, board.data.drills);
    }
    extent = boardFrame(board.data).extent;
    return o;
}

FileOutcome addBoardFile(Board& board, ReaderKind reader, const QString& path, HoleTable& table,
    BoardExtent& extent, const MessageSink& sink, DrillData* read, const FileStamp* readStamp)
{
    FileOutcome o;
    o.reader = reader;
    if (board.replaysGerber()) {
        sink.error(msg::cannotAddToGerberBoard(), path);
        o.ending = ReadEnding::Rejected;
        return o;
    }
    FileStamp stamp;
    o.data = readAddedFile(reader, path, sink, read, readStamp, stamp);
    takeEnding(*o.data, o);
    if (o.ending == ReadEnding::Unreadable)
        return o; // the board stays as it was
    int added = -1;
    if (o.data->role == DrillData::Role::Outline) {
        board.outline = path;
        board.outlineStamp = stamp;
        hold(o, board.data.outline);
    } else {
        const int first = board.nextFreeRow();
        const int rows = takeRows(*o.data, first, table, path, sink, o);
        added = int(board.files.size());
        board.files.push_back({path, reader, first, rows});
        board.files.back().stamp = stamp;
        hold(o, board.data.drills);
    }
    boardChanged(board, table, extent, sink, added);
    return o;
}

FileOutcome readBoardOutline(Board& board, const QString& path, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink, std::optional<DrillData> read)
{
    FileOutcome o;
    o.reader = ReaderKind::GerberX2;
    if (board.replaysGerber()) {
        sink.error(msg::cannotAddToGerberBoard(), path);
        o.ending = ReadEnding::Rejected;
        return o;
    }
    const FileStamp stamp = stampOf(path);
    o.data = read ? std::move(*read) : readGerberX2(path, sink, GerberRole::Outline);
    takeEnding(*o.data, o);
    if (o.ending == ReadEnding::Unreadable)
        return o;
    board.outline = path;
    board.outlineStamp = stamp;
    hold(o, board.data.outline);
    boardChanged(board, table, extent, sink);
    return o;
}

void removeBoardFile(Board& board, int file, HoleTable& table, BoardExtent& extent, const MessageSink& sink)
{
    if (file < 0 || file >= board.paths().size())
        return;
    if (size_t(file) >= board.files.size()) {
        board.outline.clear();
        board.outlineStamp = FileStamp();
        board.data.outline.reset();
    } else {
        const BoardFile gone = board.files[size_t(file)];
        board.files.erase(board.files.begin() + file);
        if (size_t(file) < board.data.drills.size())
            board.data.drills.erase(board.data.drills.begin() + file);
        table.removeRows(gone.firstRow, gone.rowCount);
        for (BoardFile& f : board.files) {
            if (f.firstRow > gone.firstRow)
                f.firstRow -= gone.rowCount;
        }
    }
    if (board.isEmpty()) {
        extent = BoardExtent {0, 0, kStandardUnitScale};
        board.data = BoardData();
        return;
    }
    if (board.replaysGerber())
        return; // a single Gerber file keeps the extent its read measured
    boardChanged(board, table, extent, sink);
}

QStringList changedFiles(const Board& board)
{
    QStringList changed;
    for (const BoardFile& f : board.files) {
        if (stampOf(f.path) != f.stamp)
            changed << f.path;
    }
    if (!board.outline.isEmpty() && stampOf(board.outline) != board.outlineStamp)
        changed << board.outline;
    return changed;
}

namespace {
// The rows a read made again, given the rows before it: a row whose D-code was there before
// takes back what it held (what the user typed), the others stay as the read made them. The
// D-codes that were there and are no longer, in their order.
QStringList keepTypedRows(const std::vector<HoleRow>& before, HoleTable& table, int first, int count)
{
    QStringList kept;
    for (int r = first; r < first + count && r < HoleTable::kRows; ++r) {
        HoleRow& row = table.row(r);
        for (const HoleRow& old : before) {
            if (old.dcode == row.dcode) {
                row = old;
                kept << old.dcode;
                break;
            }
        }
    }
    QStringList dropped;
    for (const HoleRow& old : before) {
        if (old.isUsed() && !kept.contains(old.dcode) && !dropped.contains(old.dcode))
            dropped << old.dcode;
    }
    return dropped;
}

std::vector<HoleRow> rowsOf(const HoleTable& table, int first, int count)
{
    std::vector<HoleRow> rows;
    for (int r = first; r < first + count && r < HoleTable::kRows; ++r)
        rows.push_back(table.row(r));
    return rows;
}

void sayReadAgain(const QString& path, const QStringList& dropped, const MessageSink& sink)
{
    sink.information(msg::fileReadAgain(path), path);
    if (!dropped.isEmpty())
        sink.warning(msg::codesDropped(path, dropped), path);
}

// A single standard or RS-274X file read again into the board.
int refreshGerber(Board& board, HoleTable& table, BoardExtent& extent, const MessageSink& sink)
{
    const BoardFile file = board.files.front();
    if (stampOf(file.path) == file.stamp)
        return 0;
    const std::vector<HoleRow> before = rowsOf(table, 0, file.rowCount);
    std::vector<Diagnostic> said;
    const MessageSink collect = [&said](const Diagnostic& d) { said.push_back(d); };
    Board again;
    HoleTable fresh = table;
    BoardExtent freshExtent = extent;
    const FileOutcome o = readBoardFile(again, file.reader, file.path, fresh, freshExtent, collect);
    if (o.ending == ReadEnding::Unreadable) {
        // Gone, or unreadable now: the board keeps what its read found, and says so once.
        board.files.front().stamp = again.files.front().stamp;
        sink.warning(msg::fileNoLongerReadable(file.path), file.path);
        return 1;
    }
    again.package = board.package;
    again.unpacked = board.unpacked;
    board = std::move(again);
    table = fresh;
    extent = freshExtent;
    const QStringList dropped = keepTypedRows(before, table, 0, board.files.front().rowCount);
    sayReadAgain(file.path, dropped, sink);
    for (const Diagnostic& d : said)
        sink(d);
    return 1;
}

// Puts the file's new tools in place of its rows: the rows after them move with their values,
// new rows come from a read's filling, rows the file's D-codes held before keep their values.
QStringList replaceFileRows(
    Board& board, size_t f, const DrillData& data, HoleTable& table, const MessageSink& sink)
{
    BoardFile& file = board.files[f];
    const std::vector<HoleRow> before = rowsOf(table, file.firstRow, file.rowCount);
    const int others = board.nextFreeRow() - file.rowCount;
    const int count = std::min<int>(int(data.tools.size()), HoleTable::kRows - others);
    // The rows after the file's, taken out and put back below its new rows.
    std::vector<HoleRow> after = rowsOf(table, file.firstRow + file.rowCount, HoleTable::kRows);
    table.removeRows(file.firstRow, HoleTable::kRows - file.firstRow);
    for (size_t i = 0; i < after.size() && file.firstRow + count + int(i) < HoleTable::kRows; ++i)
        table.row(file.firstRow + count + int(i)) = after[i];
    DrillData tools;
    tools.tools = data.tools;
    tools.tools.resize(size_t(count));
    fillRows(tools, file.firstRow, table, file.path, sink);
    if (count < int(data.tools.size()))
        sink.warning(msg::noFreeRows(file.path, data.tools[size_t(count)].code), file.path);
    QStringList dropped = keepTypedRows(before, table, file.firstRow, count);
    const int moved = count - file.rowCount;
    for (BoardFile& other : board.files) {
        if (other.firstRow > file.firstRow)
            other.firstRow += moved;
    }
    file.rowCount = count;
    return dropped;
}
} // namespace

int refreshBoard(Board& board, HoleTable& table, BoardExtent& extent, const MessageSink& sink)
{
    if (board.isEmpty())
        return 0;
    if (board.replaysGerber())
        return refreshGerber(board, table, extent, sink);
    int read = 0;
    for (size_t f = 0; f < board.files.size() && f < board.data.drills.size(); ++f) {
        BoardFile& file = board.files[f];
        const FileStamp now = stampOf(file.path);
        if (now == file.stamp)
            continue;
        ++read;
        file.stamp = now;
        std::vector<Diagnostic> said;
        const MessageSink collect = [&said](const Diagnostic& d) { said.push_back(d); };
        DrillData data = readDrillFile(file.reader, file.path, collect, file.fitted);
        if (data.ending == DrillData::Ending::Unreadable) {
            // Gone, or unreadable now: the board keeps what its read found, and says so once.
            sink.warning(msg::fileNoLongerReadable(file.path), file.path);
            continue;
        }
        const QStringList dropped = replaceFileRows(board, f, data, table, collect);
        sayReadAgain(file.path, dropped, sink);
        for (const Diagnostic& d : said)
            sink(d);
        board.data.drills[f] = std::move(data);
    }
    if (!board.outline.isEmpty()) {
        const FileStamp now = stampOf(board.outline);
        if (now != board.outlineStamp) {
            ++read;
            board.outlineStamp = now;
            std::vector<Diagnostic> said;
            DrillData outline = readGerberX2(
                board.outline, [&said](const Diagnostic& d) { said.push_back(d); }, GerberRole::Outline);
            if (outline.ending == DrillData::Ending::Unreadable) {
                sink.warning(msg::fileNoLongerReadable(board.outline), board.outline);
            } else {
                sayReadAgain(board.outline, {}, sink);
                for (const Diagnostic& d : said)
                    sink(d);
                board.data.outline = std::move(outline);
            }
        }
    }
    if (read > 0)
        boardChanged(board, table, extent, sink);
    return read;
}

namespace {
struct Box {
    double minX = std::numeric_limits<double>::infinity();
    double minY = minX;
    double maxX = -minX;
    double maxY = -minX;
    void take(double x, double y)
    {
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
    }
    bool empty() const { return !(minX <= maxX); }
    double width() const { return empty() ? 0 : maxX - minX; }
    double height() const { return empty() ? 0 : maxY - minY; }
};

Box holesBox(const BoardData& data)
{
    Box box;
    for (const DrillData& d : data.drills) {
        for (const DrillHit& h : d.holes)
            box.take(h.x(), h.y());
        for (const DrillSlot& s : d.slotHoles) {
            box.take(s.x1(), s.y1());
            box.take(s.x2(), s.y2());
        }
    }
    return box;
}

Box outlineBox(const std::vector<OutlineSegment>& segments)
{
    Box box;
    for (const OutlineSegment& s : segments) {
        box.take(s.x1(), s.y1());
        box.take(s.x2(), s.y2());
    }
    return box;
}

// The outline as a shape: whether a point lies inside it (even-odd, for closed outlines) and how
// far it is from the nearest line, both through horizontal bands so that a board of many holes
// and a detailed outline stays quick. The bands hold equal shares of the lines' ends, so that a
// few far points (a damaged number) do not crowd every line into one band.
//
// Damaged data can still put thousands of lines across every band (a step and repeat of an
// outline): past a budget of lines looked at, or of lines kept in bands, a point is judged by
// the outline's box alone, as for an outline that is not closed: a hole outside the box is
// still found, and a board is never held up by its warning.
class OutlineShape {
public:
    explicit OutlineShape(const std::vector<OutlineSegment>& segments) : segments_(segments)
    {
        box_ = outlineBox(segments);
        std::vector<double> ends;
        ends.reserve(2 * segments.size());
        for (const OutlineSegment& s : segments) {
            if (std::isfinite(s.y1()) && std::isfinite(s.y2())) {
                ends.push_back(s.y1());
                ends.push_back(s.y2());
            }
        }
        std::sort(ends.begin(), ends.end());
        for (size_t b = 1; b < kBands && !ends.empty(); ++b) {
            const double edge = ends[ends.size() * b / kBands];
            if (edges_.empty() || edge > edges_.back())
                edges_.push_back(edge);
        }
        bands_.resize(edges_.size() + 1);
        size_t kept = 0;
        for (size_t i = 0; i < segments.size() && closable_; ++i) {
            const OutlineSegment& s = segments[i];
            const size_t first = band(std::min(s.y1(), s.y2())), last = band(std::max(s.y1(), s.y2()));
            kept += last - first + 1;
            if (kept > kMaxKept) {
                closable_ = false; // judged by the box
                break;
            }
            for (size_t b = first; b <= last; ++b)
                bands_[b].push_back(i);
        }
        // Closed when every end meets the end of another line (within 10 micrometres).
        QHash<QPair<qint64, qint64>, int> meetings;
        for (const OutlineSegment& s : segments) {
            ++meetings[qMakePair(qRound64(s.x1() * 100), qRound64(s.y1() * 100))];
            ++meetings[qMakePair(qRound64(s.x2() * 100), qRound64(s.y2() * 100))];
        }
        closed_ = !segments.empty();
        for (const int n : meetings)
            closed_ = closed_ && n % 2 == 0;
    }

    // False once the budget ran out or the lines did not fit the bands: some points were judged
    // by the box alone.
    bool wholly() const { return closable_ && looked_ <= budget_; }

    bool closedOutline() const { return closed_; }

    // A budget of lines looked at for judging so many points, from now on.
    void allow(size_t points)
    {
        budget_ = kBudgetFloor + kBudgetPerThing * qint64(segments_.size() + points);
        looked_ = 0;
    }

    // More than the margin outside the outline: outside the closed shape and farther than the
    // margin from its lines; for an outline that is not closed, outside its box by the margin.
    bool outside(double x, double y, double margin) const
    {
        if (x < box_.minX - margin || x > box_.maxX + margin || y < box_.minY - margin
            || y > box_.maxY + margin)
            return true;
        if (!closed_ || !closable_ || looked_ > budget_)
            return false;
        if (inside(x, y))
            return false;
        for (size_t b = band(y - margin); b <= band(y + margin); ++b) {
            looked_ += bands_[b].size();
            for (const size_t i : bands_[b]) {
                if (distance(segments_[i], x, y) <= margin)
                    return false;
            }
        }
        return true;
    }

private:
    static constexpr size_t kBands = 512;
    static constexpr size_t kMaxKept = size_t(1) << 25; // lines in bands, counted once a band
    static constexpr qint64 kBudgetFloor = qint64(1) << 24; // lines looked at
    static constexpr qint64 kBudgetPerThing = 64;

    size_t band(double y) const
    {
        return size_t(std::upper_bound(edges_.begin(), edges_.end(), y) - edges_.begin());
    }
    bool inside(double x, double y) const
    {
        bool in = false;
        const std::vector<size_t>& lines = bands_[band(y)];
        looked_ += qint64(lines.size());
        for (const size_t i : lines) {
            const OutlineSegment& s = segments_[i];
            if ((s.y1() > y) != (s.y2() > y)
                && x < s.x1() + (y - s.y1()) * (s.x2() - s.x1()) / (s.y2() - s.y1()))
                in = !in;
        }
        return in;
    }
    static double distance(const OutlineSegment& s, double x, double y)
    {
        const double dx = s.x2() - s.x1(), dy = s.y2() - s.y1();
        const double length2 = dx * dx + dy * dy;
        double t = length2 > 0 ? ((x - s.x1()) * dx + (y - s.y1()) * dy) / length2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        const double ex = x - (s.x1() + t * dx), ey = y - (s.y1() + t * dy);
        return std::sqrt(ex * ex + ey * ey);
    }

    const std::vector<OutlineSegment>& segments_;
    Box box_;
    std::vector<double> edges_; // the bands' lower edges but the first's
    std::vector<std::vector<size_t>> bands_;
    bool closed_ = false;
    bool closable_ = true; // false: too many lines for the bands
    qint64 budget_ = kBudgetFloor;
    mutable qint64 looked_ = 0;
};

QString millimetres(double v)
{
    return QString::number(v, 'f', 1);
}
} // namespace

DrillFrame boardFrame(const BoardData& data)
{
    if (data.outline && !data.outline->outline.empty()) {
        const Box box = outlineBox(data.outline->outline);
        return frameOfBox(box.minX, box.minY, box.maxX, box.maxY);
    }
    return drillFrame(data.drills);
}

QString boardWarning(const Board& board, const BoardData& data)
{
    if (!data.outline || data.outline->outline.empty())
        return QString();
    const Box holes = holesBox(data);
    if (holes.empty())
        return QString();
    const Box outline = outlineBox(data.outline->outline);
    const double holesSize = std::max(holes.width(), holes.height());
    const double outlineSize = std::max(outline.width(), outline.height());
    if (holesSize > 0 && outlineSize > 0) {
        const double ratio = holesSize / outlineSize;
        if (ratio > 10 || ratio < 0.1)
            return msg::holesOutOfScale(millimetres(holes.width()), millimetres(holes.height()),
                millimetres(outline.width()), millimetres(outline.height()),
                ratio > 1 ? millimetres(ratio) : QString(), ratio > 1 ? QString() : millimetres(1 / ratio));
    }
    constexpr double kMargin = 1.0; // millimetres
    OutlineShape shape(data.outline->outline);
    size_t points = 0;
    for (const DrillData& drill : data.drills)
        points += drill.holes.size() + drill.slotHoles.size();
    shape.allow(points);
    qint64 outside = 0;
    QString firstFile;
    double firstX = 0, firstY = 0;
    for (size_t f = 0; f < data.drills.size() && f < board.files.size(); ++f) {
        const DrillData& drill = data.drills[f];
        // Measured from the hole's edge: a hole drawn in the outline layer as a cut-out (a
        // circle round a mounting hole, as many CAD programs draw one) lies on its own line.
        const auto note = [&](int tool, double x, double y) {
            const double radius = tool >= 0 && size_t(tool) < drill.tools.size()
                ? drill.tools[size_t(tool)].diameter.value_or(0) / 2
                : 0;
            if (!shape.outside(x, y, kMargin + radius))
                return;
            if (outside++ == 0) {
                firstFile = QFileInfo(board.files[f].path).fileName();
                firstX = x;
                firstY = y;
            }
        };
        for (const DrillHit& h : drill.holes)
            note(h.tool, h.x(), h.y());
        for (const DrillSlot& s : drill.slotHoles) {
            if (!s.joined)
                note(s.tool, s.x1(), s.y1());
        }
    }
    // An outline of damaged data too crowded to judge every hole by: said, whatever was found.
    QString crowded = shape.wholly() || !shape.closedOutline() ? QString() : msg::outlineTooCrowded();
    if (outside == 0)
        return crowded;
    const QString found = msg::holesOutsideOutline(
        outside, firstFile, QString::number(firstX, 'f', 3), QString::number(firstY, 'f', 3));
    return crowded.isEmpty() ? found : found + QLatin1Char('\n') + crowded;
}

namespace {
// The formats a drill file that states none may be in: Excellon's defaults first (inch 2.4,
// metric 3.3), then the others fabricators meet; in the file's unit where it names one, with its
// zeros where it names them or its numbers show them, else with either.
std::vector<CoordinateFormat> candidateFormats(const CoordinateFormat& read)
{
    static const int kInch[][2] = {{2, 4}, {2, 3}, {2, 5}, {3, 3}};
    static const int kMetric[][2] = {{3, 3}, {3, 2}, {4, 2}, {4, 3}, {2, 4}};
    std::vector<CoordinateFormat> all;
    const auto add = [&](bool inch, const int(&digits)[2]) {
        for (const auto zeros : {CoordinateFormat::Zeros::Trailing, CoordinateFormat::Zeros::Leading}) {
            if (read.zerosStated && zeros != read.zeros)
                continue;
            // Numbers that begin with a zero were written with their leading zeros, numbers that
            // end with one with their trailing zeros: where only one shows, that is the mode.
            if (!read.zerosStated && read.leadingZerosWritten != read.trailingZerosWritten
                && (zeros == CoordinateFormat::Zeros::Leading) != read.leadingZerosWritten)
                continue;
            CoordinateFormat f = read;
            f.inch = inch;
            f.integer = digits[0];
            f.decimals = digits[1];
            f.zeros = zeros;
            f.source = CoordinateFormat::Source::Fitted;
            all.push_back(f);
        }
    };
    for (const bool inch : {read.inch, !read.inch}) {
        if (read.unitStated && inch != read.inch)
            continue;
        if (inch) {
            for (const auto& d : kInch)
                add(true, d);
        } else {
            for (const auto& d : kMetric)
                add(false, d);
        }
    }
    return all;
}

// How well a reading of a drill file fits the outline: how many of its holes lie inside (within
// 1 mm of it, from their edges, as the warning measures), then how near its holes' box is to the
// outline's.
struct Fit {
    qint64 inside = -1;
    double distance = 0;
    bool betterThan(const Fit& o) const
    {
        return inside != o.inside ? inside > o.inside : distance < o.distance;
    }
};

Fit fitOf(const DrillData& drill, const OutlineShape& shape, const Box& outline)
{
    Fit fit;
    fit.inside = 0;
    Box holes;
    const auto take = [&](int tool, double x, double y) {
        const double radius = tool >= 0 && size_t(tool) < drill.tools.size()
            ? drill.tools[size_t(tool)].diameter.value_or(0) / 2
            : 0;
        if (std::isfinite(x) && std::isfinite(y) && !shape.outside(x, y, 1.0 + radius))
            ++fit.inside;
        holes.take(x, y);
    };
    for (const DrillHit& h : drill.holes)
        take(h.tool, h.x(), h.y());
    for (const DrillSlot& s : drill.slotHoles) {
        if (!s.joined)
            take(s.tool, s.x1(), s.y1());
    }
    fit.distance = holes.empty() ? 0
                                 : std::fabs(holes.minX - outline.minX) + std::fabs(holes.minY - outline.minY)
            + std::fabs(holes.maxX - outline.maxX) + std::fabs(holes.maxY - outline.maxY);
    if (!std::isfinite(fit.distance))
        fit.distance = std::numeric_limits<double>::max();
    return fit;
}

// The drill files of the board whose numbers no statement formats (Excellon's; a Gerber file
// states its format) are read again in each candidate format, and kept in the one that fits the
// outline best (none when no reading puts a hole inside it): per file, whether the fit kept the
// format it was read in or changed it.
std::vector<Fitting> fitFormats(Board& board, BoardData& data, HoleTable& table)
{
    std::vector<Fitting> changed(board.files.size(), Fitting::None);
    if (!data.outline || data.outline->outline.empty())
        return changed;
    OutlineShape shape(data.outline->outline);
    const Box outline = outlineBox(data.outline->outline);
    for (size_t f = 0; f < board.files.size() && f < data.drills.size(); ++f) {
        BoardFile& file = board.files[f];
        DrillData& drill = data.drills[f];
        const std::optional<CoordinateFormat>& read = drill.format;
        if (!read || !read->used
            || (read->source != CoordinateFormat::Source::Assumed
                && read->source != CoordinateFormat::Source::Fitted))
            continue;
        std::optional<DrillData> best;
        Fit bestFit;
        for (const CoordinateFormat& candidate : candidateFormats(*read)) {
            // From the bytes the read kept; a file too large to keep is read again.
            DrillData d = drill.text.isEmpty() ? readExcellon(file.path, {}, candidate)
                                               : readExcellonText(drill.text, file.path, {}, candidate);
            if (d.ending == DrillData::Ending::Unreadable)
                break;
            shape.allow(d.holes.size() + d.slotHoles.size()); // each reading judged alike
            const Fit fit = fitOf(d, shape, outline);
            if (!best || fit.betterThan(bestFit)) {
                bestFit = fit;
                best = std::move(d);
            }
        }
        if (!best || bestFit.inside <= 0 || !best->format)
            continue;
        changed[f] = *best->format == *read ? Fitting::Kept : Fitting::Changed;
        if (file.fitted && *file.fitted == *best->format)
            continue;
        // A fit in the other unit reads the tools' sizes in it too: their rows say so.
        if (best->format->inch != read->inch) {
            for (size_t t = 0; t < best->tools.size() && int(t) < file.rowCount; ++t) {
                const std::optional<double>& d = best->tools[t].diameter;
                table.row(file.firstRow + int(t)).diameter = d ? diameterText(*d) : QString();
            }
        }
        file.fitted = *best->format;
        best->text = std::move(drill.text);
        drill = std::move(*best);
    }
    return changed;
}
} // namespace

} // namespace kivotrek
