#pragma once

// The frame both readers share: line by line from an open device, and the ways out. Every way
// out closes the device and leaves maxX and maxY in twips. With a tally, each line's step is
// walked as it is read, and a read that stops early walks the rest of the file before the
// device closes: the file is read once for both. With a record, the same steps are recorded
// for the drawing.

#include "common/fileio.h"
#include "common/linereader.h"
#include "common/messages.h"
#include "common/messagesink.h"
#include "gerber/boardextent.h"
#include "gerber/gerbersteps.h"
#include "gerber/marktally.h"
#include "gerber/readresult.h"
#include "gerber/steprecord.h"

#include <QFile>
#include <functional>
#include <optional>

namespace kivotrek {

class ReadSession {
public:
    ReadSession(QIODevice& device, const QString& name, BoardExtent& extent, const MessageSink& sink,
        MarkTally* marks, StepRecord* record = nullptr)
        : device_(device), name_(name), reader_(device), tracker_(extent), sink_(sink), marks_(marks),
          record_(record)
    {
        if (record_)
            record_->reserveFor(device.size());
    }

    // A file no Gerber file is like (see holdsBinaryBytes) ends the read before its first line.
    std::optional<ReadResult> refuseBinary()
    {
        if (!holdsBinaryBytes(device_))
            return std::nullopt;
        if (marks_)
            marks_->giveUp();
        if (record_)
            record_->fail(msg::notDrillData(name_));
        device_.close();
        tracker_.convertToTwips();
        sayError(msg::notDrillData(name_));
        return ReadResult {ReadEnding::Unreadable, std::nullopt};
    }

    bool next()
    {
        const bool got = reader_.next(line);
        walked_ = !got; // past the last line there is nothing left to walk
        return got;
    }
    // The current line's step, cut by the reader (in file units, by steps::Cutter()), with the
    // D-code of a tool selection: walked by the tally.
    void walk(const steps::Step& step, const QString& dcode)
    {
        walked_ = true;
        if (marks_)
            marks_->step(step, dcode, lineNumber());
        if (record_)
            record_->add(step, dcode, lineNumber());
    }
    qint64 lineNumber() const { return reader_.lineNumber(); }

    // Ends the read early at the current line with a message: an error, or a warning where the
    // read stops at a limit of the table (what was read stays).
    ReadResult stop(ReadEnding ending, const QString& message, Severity severity = Severity::Error)
    {
        return stopAt(ending, message, lineNumber(), severity);
    }

    // The end of the file: the negative-value warning, then the extent in twips. A line beyond
    // the line reader's cap ends the read as a line that cannot be read.
    ReadResult finish()
    {
        walkTheRest();
        if (reader_.tooLong()) {
            const qint64 line = lineNumber() + 1;
            return stopAt(ReadEnding::Fault, msg::lineUnreadable(line), line, Severity::Error);
        }
        device_.close();
        if (reader_.failed()) {
            tracker_.convertToTwips();
            if (record_)
                record_->fail(msg::readError(name_, device_.errorString()));
            sayError(msg::readError(name_, device_.errorString()));
            return {ReadEnding::Unreadable, std::nullopt};
        }
        // The data is not to be used: said as an error, though the read counts as done.
        if (tracker_.sawNegative())
            sayError(msg::negativeCoordinates());
        tracker_.convertToTwips();
        return {ReadEnding::Complete, std::nullopt};
    }

    // A warning at the current line of the file.
    void say(const QString& text) const { sink_.warning(text, name_, lineOrNone(lineNumber())); }
    // An error of the file as a whole.
    void sayError(const QString& text) const { sink_.error(text, name_); }

    QByteArrayView line;
    FilePosition pos;
    ExtentTracker& tracker() { return tracker_; }

private:
    ReadResult stopAt(ReadEnding ending, const QString& message, qint64 line, Severity severity)
    {
        walkTheRest();
        device_.close();
        tracker_.convertToTwips();
        sink_(Diagnostic {severity, name_, lineOrNone(line), message});
        return {ending, line};
    }
    static std::optional<qint64> lineOrNone(qint64 line)
    {
        return line > 0 ? std::optional<qint64>(line) : std::nullopt;
    }

    // The tally walks from the current line (unless the reader walked it) to the end of the file,
    // or to where the drawing would stop.
    void walkTheRest()
    {
        const auto wanted = [this] {
            return (marks_ && marks_->walking()) || (record_ && record_->recording());
        };
        const auto take = [this](const steps::Step& step, const QString& dcode) {
            if (marks_)
                marks_->step(step, dcode, lineNumber());
            if (record_)
                record_->add(step, dcode, lineNumber());
        };
        const steps::Cutter cutter;
        QString dcode;
        if (!walked_ && wanted() && lineNumber() > 0 && !reader_.tooLong())
            take(cutter.cut(line, dcode), dcode);
        while (wanted() && reader_.next(line))
            take(cutter.cut(line, dcode), dcode);
        if (marks_)
            marks_->end(reader_);
        if (record_)
            record_->end(reader_);
        walked_ = true;
    }

    QIODevice& device_;
    QString name_;
    LineReader reader_;
    ExtentTracker tracker_;
    const MessageSink& sink_;
    MarkTally* marks_;
    StepRecord* record_;
    bool walked_ = false; // the current line's step went to the tally
};

// Opens the file and runs a device read on it; a file that cannot be opened is said so.
inline ReadResult readFile(const QString& path, BoardExtent& extent, const MessageSink& sink,
    const std::function<ReadResult(QIODevice&)>& read)
{
    // A pipe or a device would block or be read only once (the drawing reads the file again).
    QFile file(path);
    if (!openToRead(file)) {
        ExtentTracker(extent).convertToTwips();
        sink.error(whyUnopenable(path), path);
        return {ReadEnding::Unreadable, std::nullopt};
    }
    return read(file);
}

} // namespace kivotrek
