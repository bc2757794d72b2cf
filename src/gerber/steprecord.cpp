#include "gerber/steprecord.h"

#include "common/fileio.h"
#include "common/messages.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <utility>

namespace kivotrek {

using steps::Step;

namespace {
const uint8_t* takeNumber(const uint8_t* p, uint64_t& v)
{
    v = 0;
    for (int shift = 0;; shift += 7) {
        const uint8_t b = *p++;
        v |= uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            return p;
    }
}

int64_t unzigzag(uint64_t v)
{
    return int64_t(v >> 1) ^ -int64_t(v & 1);
}

template <typename T> uint8_t* putWhole(uint8_t* p, T v)
{
    for (size_t i = 0; i < sizeof(T); ++i)
        *p++ = uint8_t(uint64_t(v) >> (8 * i));
    return p;
}

template <typename T> const uint8_t* takeWhole(const uint8_t* p, T& v)
{
    uint64_t u = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        u |= uint64_t(*p++) << (8 * i);
    v = T(u);
    return p;
}
} // namespace

StepRecord::StepRecord(StepRecord&& other) noexcept
{
    *this = std::move(other);
}

StepRecord& StepRecord::operator=(StepRecord&& other) noexcept
{
    if (this == &other)
        return *this;
    freeLargeBlock(bytes_, capacity_);
    bytes_ = std::exchange(other.bytes_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    count_ = std::exchange(other.count_, 0);
    x_ = std::exchange(other.x_, 0);
    y_ = std::exchange(other.y_, 0);
    line_ = std::exchange(other.line_, 0);
    codes_ = std::move(other.codes_);
    index_ = std::move(other.index_);
    pen_ = std::exchange(other.pen_, false);
    ending_ = std::exchange(other.ending_, Ending::Recording);
    tooLongLine_ = std::exchange(other.tooLongLine_, 0);
    reason_ = std::move(other.reason_);
    return *this;
}

StepRecord::~StepRecord()
{
    freeLargeBlock(bytes_, capacity_);
}

void StepRecord::grow(size_t atLeast)
{
    const size_t capacity = std::max(atLeast, std::max<size_t>(capacity_ * 2, 4096));
    auto* bytes = static_cast<uint8_t*>(allocateLargeBlock(capacity));
    if (size_ > 0)
        std::memcpy(bytes, bytes_, size_);
    freeLargeBlock(bytes_, capacity_);
    bytes_ = bytes;
    capacity_ = capacity;
}

void StepRecord::push(const Entry& e)
{
    if (capacity_ - size_ < kLongestStep)
        grow(size_ + kLongestStep);
    uint8_t* p = bytes_ + size_;
    if ((e.flags & ~kShortFlags) == 0 && e.line >= line_) {
        p = putShort(p, e.flags, e.x, e.y, e.line);
    } else {
        *p++ = kWhole;
        p = putWhole(p, e.flags);
        p = putWhole(p, e.code);
        p = putWhole(p, e.x);
        p = putWhole(p, e.y);
        p = putWhole(p, e.line);
        if (e.flags & Step::HasX)
            x_ = e.x;
        if (e.flags & Step::HasY)
            y_ = e.y;
        line_ = e.line;
    }
    size_ = size_t(p - bytes_);
    ++count_;
}

void StepRecord::Iterator::decode()
{
    if (at_ == end_)
        return;
    const uint8_t* p = at_;
    const uint8_t first = *p++;
    if (first == kWhole) {
        p = takeWhole(p, entry_.flags);
        p = takeWhole(p, entry_.code);
        p = takeWhole(p, entry_.x);
        p = takeWhole(p, entry_.y);
        p = takeWhole(p, entry_.line);
        if (entry_.flags & Step::HasX)
            x_ = entry_.x;
        if (entry_.flags & Step::HasY)
            y_ = entry_.y;
    } else {
        entry_.flags = flagsOf(first);
        entry_.code = 0;
        uint64_t v = 1;
        if (!(first & kNextLine))
            p = takeNumber(p, v);
        entry_.line = SourceLine(entry_.line + v);
        entry_.x = entry_.y = 0;
        if (entry_.flags & Step::HasX) {
            p = takeNumber(p, v);
            x_ = int32_t(int64_t(x_) + unzigzag(v));
            entry_.x = x_;
        }
        if (entry_.flags & Step::HasY) {
            p = takeNumber(p, v);
            y_ = int32_t(int64_t(y_) + unzigzag(v));
            entry_.y = y_;
        }
    }
    next_ = p;
}

void StepRecord::addOther(const Step& step, const QString& dcode, qint64 lineNumber)
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
                push(e);
                ending_ = Ending::Complete;
                return;
            }
            found = index_.insert(dcode, int(codes_.size()));
            codes_ << dcode;
        }
        e.code = uint16_t(*found);
    }
    push(e);
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
    constexpr qint64 kMostReserved = qint64(1) << 30; // 1 GiB of address space
    const size_t wanted = size_t(std::clamp<qint64>(bytes, 0, kMostReserved)) + kLongestStep;
    if (wanted > capacity_)
        grow(wanted);
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
