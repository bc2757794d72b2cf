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
#include <cstdint>
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
    // One line's step: 16 bytes a hole.
    struct Entry {
        uint16_t flags = 0; // steps::Step::Flag
        uint16_t code = 0; // a tool selection's D-code, an index into codes()
        int32_t x = 0, y = 0; // file units, where flags say so
        SourceLine line = 0;
    };
    static_assert(sizeof(Entry) == 16, "a recorded step stays 16 bytes");

    // One line's step in file units (steps::Cutter()), with the D-code a tool selection names.
    void add(const steps::Step& step, const QString& dcode, qint64 lineNumber);
    bool recording() const { return ending_ == Ending::Recording; }
    // The end of the file, after its last line.
    void end(const LineReader& reader);
    // The file could not be opened or read, or was refused: a walk finds it unreadable.
    void fail(const QString& reason);
    // Room for the steps of a file of so many bytes (a recorded line takes three at least), so
    // that the record never moves while it grows: memory the steps do not fill is never touched.
    void reserveFor(qint64 bytes);

    Ending ending() const { return ending_; }
    // The line past the cap, for TooLong.
    qint64 tooLongLine() const { return tooLongLine_; }
    // Why the file could not be read, for Unreadable.
    const QString& reason() const { return reason_; }
    const std::vector<Entry, LargeBlockAllocator<Entry>>& entries() const { return entries_; }
    const QStringList& codes() const { return codes_; }
    // The step of an entry with its coordinates as they are in the file.
    static steps::Step step(const Entry& e);

private:
    // Past this many D-codes (far beyond any real file) the record ends: every walk stops there.
    static constexpr int kMaxCodes = 1 << 16;

    std::vector<Entry, LargeBlockAllocator<Entry>> entries_;
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
