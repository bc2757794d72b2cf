#include "gerber/steprecord.h"

#include "common/fileio.h"
#include "common/messages.h"

#include <QFile>
#include <algorithm>

namespace kivotrek {

using steps::Step;

void StepRecord::add(const Step& step, const QString& dcode, qint64 lineNumber)
{
    if (ending_ != Ending::Recording || step.has(Step::StepRepeat))
        return; // a step and repeat changes nothing
    // A line of nothing draws only while the pen is down (a dot where it stands).
    if (step.flags == 0 && !pen_)
        return;
    Entry e;
    e.flags = step.flags;
    e.x = step.has(Step::HasX) ? step.x : 0;
    e.y = step.has(Step::HasY) ? step.y : 0;
    e.line = sourceLine(lineNumber);
    if (step.namesTool()) {
        auto found = index_.constFind(dcode);
        if (found == index_.constEnd()) {
            if (codes_.size() >= kMaxCodes) {
                // Recorded as a tool selection without a D-code: every walk stops at this line.
                e.flags = uint16_t(Step::Tool | Step::NoDCode);
                entries_.push_back(e);
                ending_ = Ending::Complete;
                return;
            }
            found = index_.insert(dcode, int(codes_.size()));
            codes_ << dcode;
        }
        e.code = uint16_t(*found);
    }
    entries_.push_back(e);
    // Every walk stops at a tool selection without a D-code or a coordinate it cannot take.
    if (step.has(Step::NoDCode) || step.has(Step::BadCoordinates)) {
        ending_ = Ending::Complete;
        return;
    }
    if (step.has(Step::D01))
        pen_ = true;
    if (step.has(Step::D02) || step.has(Step::Tool) || step.has(Step::D03))
        pen_ = false;
}

void StepRecord::end(const LineReader& reader)
{
    if (ending_ != Ending::Recording)
        return;
    if (reader.tooLong()) {
        ending_ = Ending::TooLong;
        tooLongLine_ = reader.lineNumber() + 1;
    } else if (reader.failed()) {
        ending_ = Ending::Unreadable; // what was read before stays recorded, as it was drawn
    } else {
        ending_ = Ending::Complete;
    }
}

void StepRecord::fail(const QString& reason)
{
    // What was read before a failure stays recorded, as a drawing of the file drew it.
    ending_ = Ending::Unreadable;
    reason_ = reason;
}

void StepRecord::reserveFor(qint64 bytes)
{
    constexpr qint64 kMostReserved = qint64(1) << 26; // 1 GiB of address space
    if (bytes > 0)
        entries_.reserve(size_t(std::min(bytes / 3 + 1, kMostReserved)));
}

Step StepRecord::step(const Entry& e)
{
    Step s;
    s.flags = e.flags;
    s.x = e.x;
    s.y = e.y;
    return s;
}

StepRecord recordSteps(QIODevice& device, const QString& name)
{
    StepRecord record;
    if (holdsBinaryBytes(device)) {
        device.close();
        record.fail(msg::notDrillData(name));
        return record;
    }
    record.reserveFor(device.size());
    LineReader reader(device);
    const steps::Cutter cutter;
    QByteArrayView line;
    QString dcode;
    while (record.recording() && reader.next(line))
        record.add(cutter.cut(line, dcode), dcode, reader.lineNumber());
    record.end(reader);
    if (reader.failed())
        record.fail(msg::readError(name, device.errorString()));
    device.close();
    return record;
}

StepRecord recordSteps(const QString& path)
{
    QFile file(path);
    if (!openToRead(file)) {
        StepRecord record;
        record.fail(whyUnopenable(path));
        return record;
    }
    return recordSteps(file, path);
}

} // namespace kivotrek
