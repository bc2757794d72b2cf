#pragma once

// What every Gerber reader shares: the file's words and extended blocks split out of its lines,
// and its coordinate format (FS, MO, G70/G71) that turns a coordinate's digits into millimetres.

#include "common/linereader.h"
#include "gerber/aperturemacro.h"

#include <QByteArray>
#include <QByteArrayView>
#include <algorithm>
#include <map>
#include <optional>
#include <vector>

namespace kivotrek {

inline bool isGerberDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A data block's word ("X100Y200D01", "G04 text") or an extended block's ("FSLAX46Y46",
// "ADD10C,0.5") as it ends with "*"; words and blocks run across lines.
class GerberWords {
public:
    enum class Event {
        Word, // a word outside a block
        BlockWord, // a word inside a %...% block
        BlockEdge, // a "%" opened or closed a block
        Unended, // a word that never ended with "*" before a "%": not read
    };
    enum class Fed {
        Ok,
        Stopped, // the handler said so
        TooLong, // a word or block longer than a line may be: the read ends
    };

    // Splits one line; handle(Event, QByteArrayView word, qint64 lineOfWord) returns false to stop.
    template <typename Handler> Fed line(QByteArrayView text, qint64 lineNo, Handler&& handle);
    // The file's end: a word or block it leaves open (its line), if any, then forgotten.
    std::optional<qint64> finish()
    {
        std::optional<qint64> open;
        if (!pending_.isEmpty())
            open = pendingLine_;
        pending_.clear();
        return open;
    }
    bool inBlock() const { return inBlock_; }
    qint64 pendingLine() const { return pendingLine_; }

private:
    // The word being gathered is a comment (G04): a percent sign in it is text.
    bool commentPending() const
    {
        return !inBlock_
            && (pending_.startsWith("G04")
                || (pending_.startsWith("G4") && (pending_.size() == 2 || !isGerberDigit(pending_[2]))));
    }

    QByteArray pending_;
    qint64 pendingLine_ = 0;
    bool inBlock_ = false;
    bool commentPercent_ = false; // a comment with a percent sign just ended on this line
};

// The coordinate format of a file: digits after the point, which zeros are left out, absolute
// or incremental, and the unit.
struct GerberFormat {
    std::optional<int> xDecimals, yDecimals; // none until a format statement
    int xDigits = 0, yDigits = 0;
    bool trailing = false;
    bool incremental = false;
    bool inch = true; // a file that never says keeps the old default

    // FSLAX46Y46, FSTAX24Y24, FSLIX33Y33; older files add N2G2D2M2 counts. False for one that
    // cannot be read (the format stays as it was).
    bool read(QByteArrayView statement);
    // MOMM, MOIN: false for another.
    bool readUnit(QByteArrayView statement);
    double unitFactor() const { return inch ? 25.4 : 1.0; }
    // A coordinate's digits (or a decimal number, which some programs write) in millimetres;
    // none for one that cannot be read.
    std::optional<double> coordinate(QByteArrayView text, bool isX) const;
};

// A data block's letters with their numbers, "G01X100Y-200I5J0D01": the coordinates as written,
// the codes in order.
struct GerberOperation {
    std::optional<QByteArrayView> x, y, i, j;
    std::optional<int> d;
    std::vector<int> g, m;
};
// False for a word that is not one: a letter no operation has, or a code that is no number.
bool readGerberOperation(QByteArrayView w, GerberOperation& out);

// A comment word (G04, or G4 followed by no digit).
bool isGerberComment(QByteArrayView w);
// The attribute a comment carries, "G04 #@! TF.FileFunction,Profile,NP" (and Eagle's
// "G04 #@! %TF..."): "TF.FileFunction,Profile,NP"; none for a comment without one.
std::optional<QByteArrayView> commentAttribute(QByteArrayView w);

// The centre of a single-quadrant arc (G74): I and J are unsigned, so it is the one of four
// that makes an arc of at most 90 degrees with the closest radii; none where none does.
struct GerberPoint {
    double x = 0, y = 0;
};
std::optional<GerberPoint> singleQuadrantCentre(
    GerberPoint from, GerberPoint to, double i, double j, bool clockwise);

// A decimal number as written ("0.800000", "-1.5e-2"); none for one that is not.
std::optional<double> gerberDecimal(QByteArrayView text);

// An aperture's definition, "ADD10C,0.8" / "ADD14NAME,1X2": its D-number, the name of its shape
// or macro and its parameters as written; false for one that cannot be read.
bool readApertureDefinition(
    QByteArrayView w, int& number, QByteArray& shape, std::vector<double>& parameters);

// A step and repeat, "SRX3Y2I5.0J4.0": the copies across and up and their distances as written.
struct GerberRepeat {
    enum class Read { Ok, Bad, TooMany };
    Read read = Read::Ok;
    int nx = 1, ny = 1;
    double dx = 0, dy = 0;
};
// TooMany: more copies than the most objects a file may make.
GerberRepeat readStepAndRepeat(QByteArrayView w, qint64 mostObjects);

// What the Gerber readers share: the file's words, its format, the macros it defines, and the
// lines they skip, each counted once into out's skippedLines and firstSkippedLine. Reader derives
// from it with word(w, line) and blockWord(w, line), false to end the read, and ended().
template <typename Reader, typename Out> class GerberStatements {
protected:
    explicit GerberStatements(Out& out) : out_(out) { }

    // One line's words to the reader; false where a word ended the read. TooLong: a word or
    // block longer than a line may be, not read.
    bool feed(QByteArrayView text, qint64 lineNo, bool& tooLong)
    {
        bool ok = true;
        auto& reader = static_cast<Reader&>(*this);
        const auto handle = [&](GerberWords::Event e, QByteArrayView w, qint64 at) {
            switch (e) {
            case GerberWords::Event::Word: ok = reader.word(w, at); break;
            case GerberWords::Event::BlockWord: ok = macroWord(w, at) || reader.blockWord(w, at); break;
            case GerberWords::Event::BlockEdge: blockCommand_.clear(); break;
            case GerberWords::Event::Unended: skip(at); break;
            }
            return ok && !reader.ended();
        };
        tooLong = words_.line(text, lineNo, handle) == GerberWords::Fed::TooLong;
        return ok && !tooLong;
    }

    void skip(qint64 lineNo)
    {
        if (lineNo == lastSkipped_)
            return; // a line is counted once however many of its words fail
        lastSkipped_ = lineNo;
        ++out_.skippedLines;
        // The end of the file may skip an earlier line: a block it finds still open.
        if (!out_.firstSkippedLine || lineNo < *out_.firstSkippedLine)
            out_.firstSkippedLine = lineNo;
    }

    // A G code of the modes every reader keeps (interpolation, quadrant mode, unit, absolute or
    // incremental, the old D-code prefixes): true when it was one.
    bool modeCode(int code)
    {
        switch (code) {
        case 1:
        case 10:
        case 11:
        case 12: interpolation_ = 1; return true;
        case 2: interpolation_ = 2; return true;
        case 3: interpolation_ = 3; return true;
        case 74: multiQuadrant_ = false; return true;
        case 75: multiQuadrant_ = true; return true;
        case 70: format_.inch = true; return true;
        case 71: format_.inch = false; return true;
        case 90: format_.incremental = false; return true;
        case 91: format_.incremental = true; return true;
        case 54:
        case 55: return true; // tool selection and flash preparation say nothing more
        default: return false;
        }
    }

    // The operation's end point (from x, y: each coordinate given replaces or, incremental, moves
    // it) and its arc offsets I, J; false where one cannot be read.
    bool coordinates(const GerberOperation& o, double& x, double& y, double& i, double& j) const
    {
        const auto take = [this](
                              const std::optional<QByteArrayView>& text, bool isX, double& into, bool moves) {
            if (!text)
                return true;
            const auto v = format_.coordinate(*text, isX);
            if (!v)
                return false;
            into = moves && format_.incremental ? into + *v : *v;
            return true;
        };
        i = j = 0;
        return take(o.x, true, x, true) && take(o.y, false, y, true) && take(o.i, true, i, false)
            && take(o.j, false, j, false);
    }

    const ApertureMacro* macro(const QByteArray& name) const
    {
        const auto it = macros_.find(name);
        return it == macros_.end() ? nullptr : &it->second;
    }

    Out& out_;
    GerberWords words_;
    GerberFormat format_;
    int interpolation_ = 1; // 1 linear, 2 clockwise, 3 counter-clockwise
    bool multiQuadrant_ = false;

private:
    // A word of a block: a macro's definition (its name, then its statements) is taken here;
    // true when the word was one of it.
    bool macroWord(QByteArrayView w, qint64 lineNo)
    {
        if (blockCommand_.isEmpty()) {
            blockCommand_ = w.first(std::min<qsizetype>(2, w.size())).toByteArray();
            if (blockCommand_ == "AM") {
                macro_ = &(macros_[w.sliced(2).trimmed().toByteArray()] = ApertureMacro());
                return true;
            }
        }
        if (blockCommand_ != "AM")
            return false;
        if (!macro_ || !macro_->add(w))
            skip(lineNo);
        return true;
    }

    QByteArray blockCommand_; // the first two letters of the block's first word ("AM", "FS", ...)
    std::map<QByteArray, ApertureMacro> macros_;
    ApertureMacro* macro_ = nullptr; // the macro being defined
    qint64 lastSkipped_ = 0;
};

template <typename Handler>
GerberWords::Fed GerberWords::line(QByteArrayView text, qint64 lineNo, Handler&& handle)
{
    // A word or block that never ends would gather the whole file: it has the line's cap.
    if (pending_.size() + text.size() > LineReader::kMaxLineLength)
        return Fed::TooLong;
    const char* p = text.data();
    const qsizetype n = text.size();
    // The common line: whole words ending in "*", no block.
    if (!inBlock_ && pending_.isEmpty() && !text.contains('%')) {
        qsizetype start = 0;
        for (qsizetype i = 0; i < n; ++i) {
            if (p[i] != '*')
                continue;
            qsizetype a = start, b = i;
            while (a < b && (p[a] == ' ' || p[a] == '\t' || p[a] == '\r'))
                ++a;
            if (a < b && !handle(Event::Word, QByteArrayView(p + a, b - a), lineNo))
                return Fed::Stopped;
            start = i + 1;
        }
        for (qsizetype i = start; i < n; ++i) {
            if (p[i] != '\r' && p[i] != ' ' && p[i] != '\t') {
                pending_.append(p + i, n - i);
                pendingLine_ = lineNo;
                break;
            }
        }
        return Fed::Ok;
    }
    commentPercent_ = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        if (c == '%' && commentPending()) {
            // Eagle writes attributes as comments that hold a percent sign: it opens no block.
            pending_.append(c);
            continue;
        }
        if (c == '%' && commentPercent_) {
            commentPercent_ = false; // the comment's closing percent sign, after its "*"
            continue;
        }
        if (c == '%') {
            if (inBlock_ && !pending_.isEmpty() && !handle(Event::BlockWord, pending_, pendingLine_))
                return Fed::Stopped;
            if (!inBlock_ && !pending_.isEmpty() && !handle(Event::Unended, pending_, pendingLine_))
                return Fed::Stopped;
            pending_.clear();
            inBlock_ = !inBlock_;
            if (!handle(Event::BlockEdge, QByteArrayView(), lineNo))
                return Fed::Stopped;
        } else if (c == '*') {
            commentPercent_ = !inBlock_ && commentPending() && pending_.contains('%');
            const QByteArray word = std::move(pending_);
            pending_.clear();
            if (!handle(inBlock_ ? Event::BlockWord : Event::Word, word, pendingLine_))
                return Fed::Stopped;
        } else if (c == '\r' || c == '\n' || ((c == ' ' || c == '\t') && pending_.isEmpty())) {
            continue;
        } else {
            commentPercent_ = false;
            if (pending_.isEmpty())
                pendingLine_ = lineNo;
            pending_.append(c);
        }
    }
    return Fed::Ok;
}

} // namespace kivotrek
