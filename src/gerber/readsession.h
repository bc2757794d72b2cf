#pragma once

// The frame both readers share: line by line from an open device, and the ways out. Every way
// out closes the device and leaves MaxX and MaxY in twips.

#include "common/messages.h"
#include "common/messagesink.h"
#include "gerber/boardextent.h"
#include "gerber/linereader.h"
#include "gerber/readresult.h"

#include <QFile>
#include <functional>

namespace kivotrek {

class ReadSession {
public:
    ReadSession(QIODevice& device, const QString& name, BoardExtent& extent, const MessageSink& sink)
        : device_(device), name_(name), reader_(device), tracker_(extent), sink_(sink)
    {
    }

    bool next() { return reader_.next(line); }
    qint64 lineNumber() const { return reader_.lineNumber(); }

    // Ends the read early at the current line with a message.
    ReadResult stop(ReadEnding ending, const QString& message)
    {
        device_.close();
        tracker_.convertToTwips();
        say(message);
        return {ending, lineNumber()};
    }

    // The end of the file: the negative-value warning, then the extent in twips.
    ReadResult finish()
    {
        device_.close();
        if (reader_.failed()) {
            tracker_.convertToTwips();
            say(msg::readError(name_));
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ExtentTracker(extent).convertToTwips();
        if (sink)
            sink(msg::cannotOpen(path));
        return {ReadEnding::Unreadable, std::nullopt};
    }
    return read(file);
}

} // namespace kivotrek
