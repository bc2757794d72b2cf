#include "gerber/marktally.h"

namespace kivotrek {

using steps::Point;

int MarkTally::codeIndex(const QString& dcode)
{
    if (code_ >= 0 && codes_[size_t(code_)].dcode == dcode)
        return code_; // the same tool again
    const auto found = index_.constFind(dcode);
    if (found != index_.constEnd())
        return *found;
    if (int(codes_.size()) >= kMaxCodes)
        return -1;
    const int i = int(codes_.size());
    codes_.push_back({dcode});
    index_.insert(dcode, i);
    return i;
}

void MarkTally::step(const steps::Step& step, const QString& dcode, qint64 lineNumber)
{
    if (ending_ != Ending::Walking)
        return;
    bool bounded = true;
    const bool walked = walk_.step(
        step,
        [&] {
            code_ = codeIndex(dcode);
            bounded = code_ >= 0;
            return bounded;
        },
        [&](Point) {
            if (code_ >= 0) {
                ++codes_[size_t(code_)].holes;
                lastWasSlot_ = false;
            }
            return true;
        },
        [&](Point from, Point to) {
            if (code_ < 0)
                return true;
            const bool goesOn = lastWasSlot_ && from.x == lastEnd_.x && from.y == lastEnd_.y;
            if (!goesOn || lastCode_ != code_) {
                ++codes_[size_t(code_)].slotRuns;
                if (goesOn) {
                    joins_.push_back({lastCode_, code_});
                    bounded = joins_.size() <= kMaxJoins;
                }
            }
            lastWasSlot_ = true;
            lastCode_ = code_;
            lastEnd_ = to;
            return bounded;
        });
    if (!bounded) {
        giveUp();
    } else if (!walked) {
        ending_ = Ending::Stopped;
        stoppedAtLine_ = lineNumber;
    }
}

void MarkTally::end(const LineReader& reader)
{
    if (ending_ != Ending::Walking)
        return;
    if (reader.tooLong()) {
        ending_ = Ending::Stopped;
        stoppedAtLine_ = reader.lineNumber() + 1;
    } else {
        ending_ = reader.failed() ? Ending::Unreadable : Ending::Complete;
    }
}

} // namespace kivotrek
