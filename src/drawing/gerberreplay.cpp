#include "drawing/gerberreplay.h"

#include "common/fileio.h"
#include "common/linereader.h"
#include "drawing/replaysteps.h"

#include <QFile>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace kivotrek {

using namespace steps;

namespace {
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

DrawResult listMarks(
    const QString& path, const HoleTable& table, const std::function<void(const DrillMark&)>& out)
{
    QFile file(path);
    if (!openToDraw(file))
        return {DrawResult::Ending::Unreadable, std::nullopt};
    return listMarks(file, table, out);
}

DrawResult listMarks(
    QIODevice& device, const HoleTable& table, const std::function<void(const DrillMark&)>& out)
{
    LineReader reader(device);
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
    const Cutter cutter(extent.unitScale, layout.scale());
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
    const Cutter cutter(extent.unitScale, layout.scale());
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
