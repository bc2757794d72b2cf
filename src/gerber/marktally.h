#pragma once

// The holes and slots of a Gerber file counted by D-code while the file is read, as the drawing
// walks it: after the first tool selection every flash is a hole, and a run of pen-down moves,
// each going on from the end of the last, is one slot. A table's counts are then made from the
// tally without reading the file again; which row a D-code's holes go to is the table's, and is
// looked up only then (a settings file may still change the D-codes).

#include "common/linereader.h"
#include "gerber/gerbersteps.h"

#include <QHash>
#include <QString>
#include <optional>
#include <vector>

namespace kivotrek {

class MarkTally {
public:
    enum class Ending {
        Walking, // the file is still being read
        Complete, // every line walked to the end of the file
        Stopped, // at a line the drawing cannot take (a tool selection without a D-code, a
                 // coordinate that cannot be cut), or a line past the line reader's cap
        Unreadable, // the file failed while it was read
        NotTaken, // not every line was walked (a refused file, a tally past its bounds): the
                  // counts come from a replay of the file
    };
    struct Code {
        QString dcode;
        qint64 holes = 0;
        qint64 slotRuns = 0; // runs of pen-down moves, each once
    };
    // A run of pen-down moves that goes on from a slot of one D-code into a slot of another:
    // one slot, not two, when both D-codes end in the same row (the run's second part was
    // counted as a slot of its own in the codes).
    struct Join {
        int from = 0;
        int to = 0;
    };

    // One line's step in file units (steps::Cutter()), with the D-code a tool selection names;
    // lineNumber is the line's, from 1.
    void step(const steps::Step& step, const QString& dcode, qint64 lineNumber);
    bool walking() const { return ending_ == Ending::Walking; }
    // The end of the file, after its last line was walked.
    void end(const LineReader& reader);
    // Not every line is walked: the tally cannot serve.
    void giveUp() { ending_ = Ending::NotTaken; }

    Ending ending() const { return ending_; }
    // Every line was walked (to the end, or to where the drawing stops): the tally gives the
    // counts.
    bool counted() const
    {
        return ending_ == Ending::Complete || ending_ == Ending::Stopped || ending_ == Ending::Unreadable;
    }
    std::optional<qint64> stoppedAtLine() const { return stoppedAtLine_; }
    const std::vector<Code>& codes() const { return codes_; }
    const std::vector<Join>& joins() const { return joins_; }

private:
    int codeIndex(const QString& dcode);

    // Bounds of what a tally keeps, far beyond any real file: past them the file is replayed.
    static constexpr int kMaxCodes = 1 << 16;
    static constexpr size_t kMaxJoins = size_t(1) << 20;

    steps::PenWalk walk_;
    Ending ending_ = Ending::Walking;
    std::optional<qint64> stoppedAtLine_;
    std::vector<Code> codes_;
    QHash<QString, int> index_;
    std::vector<Join> joins_;
    int code_ = -1; // the selected D-code's index; none before the first tool selection
    bool lastWasSlot_ = false; // the last mark was a pen-down move
    int lastCode_ = -1; // its D-code
    steps::Point lastEnd_; // where it ended
};

} // namespace kivotrek
