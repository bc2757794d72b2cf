#pragma once

// The frame both readers share: open, line by line, and the ways out. Every way out closes
// the file and leaves MaxX and MaxY in twips.

#include "common/messages.h"
#include "common/messagesink.h"
#include "gerber/boardextent.h"
#include "gerber/linereader.h"
#include "gerber/readresult.h"

#include <QFile>
#include <optional>

namespace kivotrek {

class ReadSession {
public:
    ReadSession(const QString& path, BoardExtent& extent, const MessageSink& sink)
        : path_(path), file_(path), tracker_(extent), sink_(sink)
    {
    }

    // Nothing when the file opened; otherwise the read is over.
    std::optional<ReadResult> open()
    {
        if (file_.open(QIODevice::ReadOnly)) {
            reader_.emplace(file_);
            return std::nullopt;
        }
        tracker_.convertToTwips();
        say(msg::cannotOpen(path_));
        return ReadResult {ReadEnding::Unreadable, std::nullopt};
    }

    bool next() { return reader_->next(line); }
    qint64 lineNumber() const { return reader_->lineNumber(); }

    // Ends the read early at the current line with a message.
    ReadResult stop(ReadEnding ending, const QString& message)
    {
        file_.close();
        tracker_.convertToTwips();
        say(message);
        return {ending, lineNumber()};
    }

    // The end of the file: the negative-value warning, then the extent in twips.
    ReadResult finish()
    {
        file_.close();
        if (reader_->failed()) {
            tracker_.convertToTwips();
            say(msg::readError(path_));
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

    QByteArray line;
    FilePosition pos;
    ExtentTracker& tracker() { return tracker_; }

private:
    QString path_;
    QFile file_;
    ExtentTracker tracker_;
    const MessageSink& sink_;
    std::optional<LineReader> reader_;
};

} // namespace kivotrek
