#pragma once

// The frame both readers share: line by line from an open device, and the ways out. Every way
// out closes the device and leaves maxX and maxY in twips.

#include "common/fileio.h"
#include "common/linereader.h"
#include "common/messages.h"
#include "common/messagesink.h"
#include "gerber/boardextent.h"
#include "gerber/readresult.h"

#include <QFile>
#include <functional>
#include <optional>

namespace kivotrek {

class ReadSession {
public:
    ReadSession(QIODevice& device, const QString& name, BoardExtent& extent, const MessageSink& sink)
        : device_(device), name_(name), reader_(device), tracker_(extent), sink_(sink)
    {
    }

    // A file no Gerber file is like (see holdsBinaryBytes) ends the read before its first line.
    std::optional<ReadResult> refuseBinary()
    {
        if (!holdsBinaryBytes(device_))
            return std::nullopt;
        device_.close();
        tracker_.convertToTwips();
        say(msg::notDrillData(name_));
        return ReadResult {ReadEnding::Unreadable, std::nullopt};
    }

    bool next() { return reader_.next(line); }
    qint64 lineNumber() const { return reader_.lineNumber(); }

    // Ends the read early at the current line with a message.
    ReadResult stop(ReadEnding ending, const QString& message)
    {
        return stopAt(ending, message, lineNumber());
    }

    // The end of the file: the negative-value warning, then the extent in twips. A line beyond
    // the line reader's cap ends the read as a line that cannot be read.
    ReadResult finish()
    {
        if (reader_.tooLong()) {
            const qint64 line = lineNumber() + 1;
            return stopAt(ReadEnding::Fault, msg::lineUnreadable(line), line);
        }
        device_.close();
        if (reader_.failed()) {
            tracker_.convertToTwips();
            say(msg::readError(name_, device_.errorString()));
            return {ReadEnding::Unreadable, std::nullopt};
        }
        if (tracker_.sawNegative())
            say(msg::negativeCoordinates());
        tracker_.convertToTwips();
        return {ReadEnding::Complete, std::nullopt};
    }

    void say(const QString& text) const
    {
        if (sink_)
            sink_(text);
    }

    QByteArrayView line;
    FilePosition pos;
    ExtentTracker& tracker() { return tracker_; }

private:
    ReadResult stopAt(ReadEnding ending, const QString& message, qint64 line)
    {
        device_.close();
        tracker_.convertToTwips();
        say(message);
        return {ending, line};
    }

    QIODevice& device_;
    QString name_;
    LineReader reader_;
    ExtentTracker tracker_;
    const MessageSink& sink_;
};

// Opens the file and runs a device read on it; a file that cannot be opened is said so.
inline ReadResult readFile(const QString& path, BoardExtent& extent, const MessageSink& sink,
    const std::function<ReadResult(QIODevice&)>& read)
{
    // A pipe or a device would block or be read only once (the drawing reads the file again).
    QFile file(path);
    if (!openToRead(file)) {
        ExtentTracker(extent).convertToTwips();
        if (sink)
            sink(whyUnopenable(path));
        return {ReadEnding::Unreadable, std::nullopt};
    }
    return read(file);
}

} // namespace kivotrek
