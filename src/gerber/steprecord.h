#pragma once

// A Gerber file's lines as the drawing takes them, held from the file's one read: every line
// that does something (a tool selection, a flash, a move, a coordinate; a line of nothing while
// the pen is down draws a dot) as a step in the file's units beside its line number, and the
// D-codes its tool selections name, each once. The preview, the page, the counts, the board
// view and the checks walk the record; the file is not opened again.

#include "common/largeblocks.h"
#include "common/linereader.h"
#include "drill/drilldata.h"
#include "gerber/gerbersteps.h"

#include <QHash>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <vector>

namespace kivotrek {

class StepRecord {
public:
    enum class Ending {
        Recording, // the file is still being read
        Complete, // every line recorded, or up to a line every walk stops at
        TooLong, // a line past the line reader's cap: every walk stops there
        Unreadable, // the file could not be opened, was refused, or failed while it was read
    };
    // One line's step, as a walk of the record gives it.
    struct Entry {
        uint16_t flags = 0; // steps::Step::Flag
        uint16_t code = 0; // a tool selection's D-code, an index into codes()
        int32_t x = 0, y = 0; // file units, where flags say so (0 where they do not)
        SourceLine line = 0;
    };

    // The entries in the order of the file, each made from its bytes as the walk reaches it.
    // A step is kept in a few bytes: a flash or a move of the next line by its distance from
    // the last position (about 5 bytes; 17 at most, for a tool selection or a far jump).
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = Entry;
        using difference_type = std::ptrdiff_t;
        using pointer = const Entry*;
        using reference = const Entry&;
        Iterator() = default;
        Iterator(const uint8_t* at, const uint8_t* end) : at_(at), end_(end) { decode(); }
        const Entry& operator*() const { return entry_; }
        const Entry* operator->() const { return &entry_; }
        Iterator& operator++()
        {
            at_ = next_;
            decode();
            return *this;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.at_ == b.at_; }
        friend bool operator!=(const Iterator& a, const Iterator& b) { return a.at_ != b.at_; }

    private:
        void decode();
        const uint8_t* at_ = nullptr;
        const uint8_t* end_ = nullptr;
        const uint8_t* next_ = nullptr;
        Entry entry_;
        int32_t x_ = 0, y_ = 0; // the last coordinates given, which the next ones are kept from
    };
    struct Entries {
        const uint8_t* first;
        const uint8_t* last;
        size_t count;
        Iterator begin() const { return Iterator(first, last); }
        Iterator end() const { return Iterator(last, last); }
        size_t size() const { return count; }
        bool empty() const { return count == 0; }
    };

    StepRecord() = default;
    StepRecord(StepRecord&& other) noexcept;
    StepRecord& operator=(StepRecord&& other) noexcept;
    StepRecord(const StepRecord&) = delete;
    StepRecord& operator=(const StepRecord&) = delete;
    ~StepRecord();

    // One line's step in file units (steps::Cutter()), with the D-code a tool selection names.
    void add(const steps::Step& step, const QString& dcode, qint64 lineNumber)
    {
        // A flash or a move, most of a file, is kept here; anything else below.
        const SourceLine line = sourceLine(lineNumber);
        if ((step.flags & ~kShortFlags) == 0 && step.flags != 0 && ending_ == Ending::Recording
            && capacity_ - size_ >= kLongestStep && line >= line_) {
            addShort(step, line);
            return;
        }
        addOther(step, dcode, lineNumber);
    }
    bool recording() const { return ending_ == Ending::Recording; }
    // The end of the file, after its last line.
    void end(const LineReader& reader);
    // The file could not be opened or read, or was refused: a walk finds it unreadable.
    void fail(const QString& reason);
    // Room for the steps of a file of so many bytes (a recorded step takes about as many bytes as
    // its line, at most), so that the record seldom moves while it grows: memory the steps do
    // not fill is never touched.
    void reserveFor(qint64 bytes);

    Ending ending() const { return ending_; }
    // The line past the cap, for TooLong.
    qint64 tooLongLine() const { return tooLongLine_; }
    // Why the file could not be read, for Unreadable.
    const QString& reason() const { return reason_; }
    Entries entries() const { return {bytes_, bytes_ + size_, count_}; }
    // The bytes the steps take.
    size_t byteSize() const { return size_; }
    const QStringList& codes() const { return codes_; }
    // The step of an entry with its coordinates as they are in the file.
    static steps::Step step(const Entry& e);

private:
    // Past this many D-codes (far beyond any real file) the record ends: every walk stops there.
    static constexpr int kMaxCodes = 1 << 16;

    // How a step is kept. The first byte of a short step: bit 7 clear; bits 0 to 4 its codes and
    // which coordinates it gives (D01, D02, D03, X, Y); bit 5 set when it is on the line after
    // the step before. Then, as needed, the line's distance from the step before's, and each
    // coordinate given as its distance from the last one given, zigzagged (small either way),
    // 7 bits a byte. Any other step (a tool selection, a line the walks stop at) is kept whole:
    // 0x80, then flags, code, x, y and line, little-endian.
    static constexpr uint8_t kWhole = 0x80;
    static constexpr uint8_t kNextLine = 0x20;
    static constexpr uint16_t kShortFlags =
        steps::Step::D01 | steps::Step::D02 | steps::Step::D03 | steps::Step::HasX | steps::Step::HasY;
    static constexpr size_t kLongestStep = 17;
    static uint8_t shortBits(uint16_t flags) { return uint8_t(((flags >> 1) & 7) | ((flags >> 4) & 24)); }
    static uint16_t flagsOf(uint8_t bits) { return uint16_t(((bits & 7) << 1) | ((bits & 24) << 4)); }
    static uint8_t* putNumber(uint8_t* p, uint64_t v)
    {
        while (v >= 0x80) {
            *p++ = uint8_t(v | 0x80);
            v >>= 7;
        }
        *p++ = uint8_t(v);
        return p;
    }
    static uint64_t zigzag(int64_t d) { return (uint64_t(d) << 1) ^ uint64_t(d >> 63); }

    // A short step at p (flags of kShortFlags alone, a line not before the last): where it ends.
    uint8_t* putShort(uint8_t* p, uint16_t flags, int32_t x, int32_t y, SourceLine line)
    {
        const bool nextLine = line == line_ + 1;
        *p++ = uint8_t(shortBits(flags) | (nextLine ? kNextLine : 0));
        if (!nextLine)
            p = putNumber(p, line - line_);
        if (flags & steps::Step::HasX) {
            p = putNumber(p, zigzag(int64_t(x) - x_));
            x_ = x;
        }
        if (flags & steps::Step::HasY) {
            p = putNumber(p, zigzag(int64_t(y) - y_));
            y_ = y;
        }
        line_ = line;
        return p;
    }
    void addShort(const steps::Step& step, SourceLine line)
    {
        using steps::Step;
        size_ = size_t(putShort(bytes_ + size_, step.flags, step.x, step.y, line) - bytes_);
        ++count_;
        if (step.flags & (Step::D02 | Step::D03))
            pen_ = false;
        else if (step.flags & Step::D01)
            pen_ = true;
    }
    void addOther(const steps::Step& step, const QString& dcode, qint64 lineNumber);
    void push(const Entry& e);
    void grow(size_t atLeast);

    // The steps, one after the other: a first byte that tells how the rest is kept.
    uint8_t* bytes_ = nullptr;
    size_t size_ = 0, capacity_ = 0, count_ = 0;
    int32_t x_ = 0, y_ = 0; // the last coordinates given
    SourceLine line_ = 0; // the line of the last step
    QStringList codes_;
    QHash<QString, int> index_;
    bool pen_ = false; // the pen is down after the last step
    Ending ending_ = Ending::Recording;
    qint64 tooLongLine_ = 0;
    QString reason_;
};

} // namespace kivotrek

namespace kivotrek {

// The steps of a Gerber file alone, without a read of its table (a file drawn with a table
// made elsewhere: the tests' and the benchmarks' files). The device is closed at the end.
StepRecord recordSteps(QIODevice& device, const QString& name);
StepRecord recordSteps(const QString& path);

} // namespace kivotrek
