#include "excellon/excellonreader.h"

#include "common/fileio.h"
#include "common/linereader.h"
#include "common/messages.h"
#include "drill/drillread.h"
#include "table/holetable.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <sys/stat.h>
#include <tuple>
#include <unordered_map>

namespace kivotrek {

namespace {
constexpr double kMillimetresPerInch = 25.4;

// A number as written: sign, digits, at most one point. Its digits as a whole number and how
// many of them follow the point. No member initializers: a line's words are made for every hole.
struct Digits {
    bool negative;
    bool sign; // written with + or -
    bool point;
    int64_t mantissa;
    int count; // digits in all; 0: no number
    int decimals; // digits after the point
};

// One letter and the number after it, as Excellon words are written: "X-12.5", "T01", "C0.8".
struct Word {
    char letter;
    const char* text; // the number's text, in the line being read
    int size;
    Digits digits;
    QByteArrayView value() const { return QByteArrayView(text, size); }
};

struct Words {
    static constexpr int kMax = 16;
    std::array<Word, kMax> items;
    int count = 0;
    const Word* begin() const { return items.data(); }
    const Word* end() const { return items.data() + count; }
    const Word& front() const { return items[0]; }
};

// The words of a line, their numbers read in the same pass; false when a character fits no
// word (the line cannot be read as it is).
bool wordsOf(QByteArrayView line, Words& words)
{
    words.count = 0;
    const char* p = line.data();
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n) {
        const char c = p[i];
        if (c < 'A' || c > 'Z' || words.count == Words::kMax)
            return false;
        Word& w = words.items[size_t(words.count++)];
        w.letter = c;
        ++i;
        w.text = p + i;
        Digits& d = w.digits;
        d.negative = d.sign = d.point = false;
        d.mantissa = 0;
        d.count = d.decimals = 0;
        if (i < n && (p[i] == '+' || p[i] == '-')) {
            d.sign = true;
            d.negative = p[i] == '-';
            ++i;
        }
        // The whole part, then the fraction: tight loops, for every coordinate of the file.
        const char* q = p + i;
        const char* const e = p + n;
        const char* const first = q;
        uint64_t m = 0; // unsigned: a number too long to be one wraps before it is refused
        while (q < e && static_cast<unsigned char>(*q - '0') < 10)
            m = m * 10 + uint64_t(*q++ - '0');
        int count = int(q - first);
        if (q < e && *q == '.') {
            d.point = true;
            const char* const fraction = ++q;
            while (q < e && static_cast<unsigned char>(*q - '0') < 10)
                m = m * 10 + uint64_t(*q++ - '0');
            d.decimals = int(q - fraction);
            count += d.decimals;
        }
        if (count > 18)
            return false; // beyond 64 bits: no coordinate has so many digits
        d.mantissa = int64_t(m);
        d.count = count;
        i = q - p;
        w.size = int(p + i - w.text);
    }
    return true;
}

// A whole number of digits ("01", "85"); nothing for anything else.
std::optional<int> wholeNumber(const Digits& d)
{
    if (d.count == 0 || d.count > 9 || d.point || d.sign)
        return std::nullopt;
    return int(d.mantissa);
}
std::optional<int> wholeNumber(QByteArrayView digits)
{
    Words words;
    const QByteArray word = "N" + digits.toByteArray();
    if (!wordsOf(word, words) || words.count != 1 || words.front().size != digits.size())
        return std::nullopt;
    return wholeNumber(words.front().digits);
}

// mantissa x 10^exponent, correctly rounded: both factors are exact doubles.
double scaled(int64_t mantissa, int exponent)
{
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12,
        1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const double m = static_cast<double>(mantissa);
    if (exponent >= 0)
        return exponent <= 22 ? m * kPowers[exponent] : m * std::pow(10.0, exponent);
    return -exponent <= 22 ? m / kPowers[-exponent] : m / std::pow(10.0, -exponent);
}

// Tool numbers: "01" and "1" are one tool.
std::optional<int> toolNumber(QByteArrayView digits)
{
    return wholeNumber(digits);
}
std::optional<int> toolNumber(const Word& w)
{
    return wholeNumber(w.digits);
}

class Reader {
public:
    Reader(const QString& name, DrillData& out, const std::optional<CoordinateFormat>& outside)
        : name_(name), out_(out), outside_(outside)
    {
    }

    // False when the read ends at this line (a 64th tool).
    bool line(QByteArrayView raw, qint64 lineNo);
    void finish();

private:
    enum class Units { Unknown, Metric, Inch };
    enum class Zeros { Unknown, Leading, Trailing }; // the zeros that are kept

    void comment(const QString& text);
    bool keyword(QByteArrayView line);
    bool words(const Words& words, qint64 lineNo, bool& stop);
    std::optional<double> coordinate(const Word& w);
    std::optional<double> size(const Word& w) const;
    double toMillimetres(double v) const { return units() == Units::Inch ? v * kMillimetresPerInch : v; }
    Units units() const
    {
        if (units_ != Units::Unknown)
            return units_;
        if (commentUnits_ != Units::Unknown)
            return commentUnits_;
        if (const CoordinateFormat* o = outside())
            return o->inch ? Units::Inch : Units::Metric;
        return Units::Inch;
    }
    // A format from outside the file (Allegro's nc_param.txt, or one fitted to the board's
    // outline), where the file states none of its own: nc_param.txt is Allegro's only.
    const CoordinateFormat* outside() const
    {
        if (!outside_ || template_ || commentFormat_)
            return nullptr;
        return outside_->source == CoordinateFormat::Source::NcParam && !allegro_ ? nullptr : &*outside_;
    }
    // The digits before and after the implied point, and the zeros that are kept.
    std::pair<int, int> digits() const;
    Zeros zeros() const;
    // The tool's index, made on its first appearance; nothing past the 63rd.
    std::optional<int> tool(int number, QByteArrayView code, qint64 lineNo);
    void skip(qint64 lineNo);
    bool move(const Word* x, const Word* y, double& nx, double& ny);

    QString name_;
    DrillData& out_;
    std::optional<CoordinateFormat> outside_;
    bool allegro_ = false; // Allegro's comment header
    bool sawImplied_ = false; // a number without a point was read as a coordinate
    bool leadingZeroSeen_ = false; // such a number of two digits or more began with a zero
    bool trailingZeroSeen_ = false; // or ended with one
    std::unordered_map<int, int> toolIndex_;
    Units units_ = Units::Unknown;
    Units commentUnits_ = Units::Unknown;
    Zeros zeros_ = Zeros::Unknown;
    std::optional<std::pair<int, int>> template_; // integer and decimal digits
    std::optional<std::pair<int, int>> commentFormat_;
    bool decimalComment_ = false; // the format comment says the coordinates are decimal
    bool sawPoint_ = false; // a coordinate had a decimal point: the file is decimal
    bool incremental_ = false;
    bool rout_ = false; // after G00 / G01: coordinates move the tool, they do not drill
    int routMotion_ = 0; // 0 G00 (move), 1 G01 (cut)
    bool toolDown_ = false; // M15 .. M16/M17
    bool routing_ = false; // the last rout cut ends where the next one starts: one slot
    double x_ = 0, y_ = 0; // millimetres
    double offsetX_ = 0, offsetY_ = 0; // G93
    int current_ = -1; // index of the selected tool
    QString fileKind_; // from the file's attributes
    bool mixedPlating_ = false; // the file's attributes say it holds plated and non-plated holes
    QString pendingKind_; // from a tool attribute, for the next tool definition
    QString pendingFunction_; // what the holes are for, from the same attribute ("ViaDrill")
    QString sectionKind_; // from ";TYPE=", for the tool definitions after it
    bool ended_ = false; // M30 / M00
    bool inHeader_ = false;
    bool sawBody_ = false; // the header ended, or a hole or tool selection came
    qint64 repeated_ = 0; // holes made by repeats so far
};

void Reader::skip(qint64 lineNo)
{
    ++out_.skippedLines;
    if (!out_.firstSkippedLine)
        out_.firstSkippedLine = lineNo;
}

std::optional<int> Reader::tool(int number, QByteArrayView code, qint64 lineNo)
{
    const auto it = toolIndex_.find(number);
    if (it != toolIndex_.end())
        return it->second;
    if (out_.tools.size() >= size_t(HoleTable::kRows)) {
        out_.ending = DrillData::Ending::TooManyTools;
        out_.stoppedAtLine = lineNo;
        return std::nullopt;
    }
    DrillTool t;
    t.number = number;
    t.code = QStringLiteral("T") + QString::fromLatin1(code.toByteArray());
    out_.tools.push_back(t);
    const int index = int(out_.tools.size()) - 1;
    toolIndex_.emplace(number, index);
    return index;
}

// "000.000" after METRIC / INCH: the digits on each side of the point.
std::optional<std::pair<int, int>> digitTemplate(const QByteArray& text)
{
    static const QRegularExpression re(QStringLiteral("^0+\\.?0*$"));
    if (!re.match(QString::fromLatin1(text)).hasMatch())
        return std::nullopt;
    const qsizetype point = text.indexOf('.');
    if (point < 0)
        return std::nullopt; // digits without a point say nothing of where it lies
    return std::make_pair(int(point), int(text.size() - point - 1));
}

bool isAllegroComment(const QString& text)
{
    // ";LEADER: 12", ";HEADER:", ";CODE  : ASCII", ";FILE  : x.drl for ... layers", ";T01 Holesize ..."
    static const QRegularExpression header(
        QStringLiteral("^\\s*(?:(?:LEADER|HEADER|CODE|FILE)\\s*:|T\\d+\\s+Holesize\\b)"),
        QRegularExpression::CaseInsensitiveOption);
    return header.match(text).hasMatch();
}

void Reader::comment(const QString& text)
{
    if (!allegro_ && isAllegroComment(text))
        allegro_ = true;
    // Attributes: "; #@! TF.FileFunction,Plated,1,2,PTH", "; #@! TA.AperFunction,NonPlated,...".
    if (text.contains(QLatin1String("TF.FileFunction"))) {
        if (text.contains(QLatin1String(",NonPlated")))
            fileKind_ = QStringLiteral("NTH");
        else if (text.contains(QLatin1String(",Plated")))
            fileKind_ = QStringLiteral("TH");
        mixedPlating_ = text.contains(QLatin1String(",MixedPlating"));
        return;
    }
    if (text.contains(QLatin1String("TA.AperFunction"))) {
        // "TA.AperFunction,Plated,PTH,ViaDrill": the fields after the plating say what for.
        QStringList fields = text.mid(text.indexOf(QLatin1String("TA.AperFunction"))).split(QLatin1Char(','));
        fields.removeFirst();
        fields.removeIf([](const QString& f) {
            return f == QLatin1String("Plated") || f == QLatin1String("NonPlated")
                || f == QLatin1String("PTH") || f == QLatin1String("NPTH");
        });
        pendingFunction_ = fields.join(QLatin1Char(',')).trimmed();
        if (text.contains(QLatin1String(",NonPlated")))
            pendingKind_ = QStringLiteral("NTH");
        else if (text.contains(QLatin1String(",Plated")))
            pendingKind_ = QStringLiteral("TH");
        return;
    }
    // Altium: ";TYPE=PLATED", ";TYPE=NON_PLATED".
    static const QRegularExpression type(
        QStringLiteral("^\\s*TYPE\\s*=\\s*(NON_PLATED|PLATED)"), QRegularExpression::CaseInsensitiveOption);
    if (const auto m = type.match(text); m.hasMatch()) {
        // It names the tools defined after it: Altium lists the plated tools, then ";TYPE=NON_PLATED"
        // and the others.
        sectionKind_ =
            m.captured(1).toUpper() == QLatin1String("PLATED") ? QStringLiteral("TH") : QStringLiteral("NTH");
        return;
    }
    // KiCad's decimal files: ";FORMAT={-:-/ absolute / metric / decimal}".
    static const QRegularExpression decimalFormat(
        QStringLiteral("^\\s*FORMAT\\s*=\\s*\\{[^}]*decimal"), QRegularExpression::CaseInsensitiveOption);
    if (decimalFormat.match(text).hasMatch())
        decimalComment_ = true;
    // KiCad: ";FORMAT={3:3/ absolute / metric / keep zeros}"; Altium: ";FILE_FORMAT=2:5";
    // Siemens: "; Format : 2.4 / Absolute / Inch".
    static const QRegularExpression format(
        QStringLiteral(
            "^\\s*(?:FILE_FORMAT\\s*=|FORMAT\\s*=\\s*\\{|Format\\s*:)\\s*(\\d)\\s*[:.]\\s*(\\d)(.*)$"),
        QRegularExpression::CaseInsensitiveOption);
    if (const auto m = format.match(text); m.hasMatch()) {
        commentFormat_ = std::make_pair(m.captured(1).toInt(), m.captured(2).toInt());
        const QString rest = m.captured(3).toLower();
        if (rest.contains(QLatin1String("metric")))
            commentUnits_ = Units::Metric;
        else if (rest.contains(QLatin1String("inch")))
            commentUnits_ = Units::Inch;
        if (rest.contains(QLatin1String("suppress leading")))
            zeros_ = zeros_ == Zeros::Unknown ? Zeros::Trailing : zeros_;
        else if (rest.contains(QLatin1String("suppress trailing")))
            zeros_ = zeros_ == Zeros::Unknown ? Zeros::Leading : zeros_;
        return;
    }
    // Allegro: ";T01 Holesize 1. = 8.000000 Tolerance = +3.000000/-3.000000 PLATED MILS Quantity = 1873".
    static const QRegularExpression allegro(
        QStringLiteral("^\\s*T(\\d+)\\s+Holesize\\s+\\S+\\s*=\\s*([\\d.]+)\\s+Tolerance\\s*=\\s*\\+?\\s*(["
                       "\\d.]+)\\s*/\\s*-?\\s*"
                       "([\\d.]+)\\s+(NON_PLATED|PLATED|OPTIONAL)\\s+(MILS|MM|INCH|INCHES)"),
        QRegularExpression::CaseInsensitiveOption);
    if (const auto m = allegro.match(text); m.hasMatch()) {
        const QString unit = m.captured(6).toUpper();
        const double factor = unit == QLatin1String("MILS") ? 0.0254
            : unit == QLatin1String("MM")                   ? 1.0
                                                            : kMillimetresPerInch;
        const QByteArray digits = m.captured(1).toLatin1();
        const auto number = toolNumber(digits);
        if (!number)
            return;
        const auto index = tool(*number, digits, 0);
        if (!index)
            return;
        DrillTool& t = out_.tools[size_t(*index)];
        t.diameter = m.captured(2).toDouble() * factor;
        const QString plating = m.captured(5).toUpper();
        if (plating == QLatin1String("PLATED"))
            t.kind = QStringLiteral("TH");
        else if (plating == QLatin1String("NON_PLATED"))
            t.kind = QStringLiteral("NTH");
        t.kindStated = !t.kind.isEmpty();
        // The tolerances as the file states them.
        fitTolerances(t, m.captured(3).toDouble() * factor, m.captured(4).toDouble() * factor);
    }
}

bool Reader::keyword(QByteArrayView line)
{
    // Header and parameter lines: words of letters, maybe with a comma and values.
    const auto startsWord = [&line](const char* word) {
        const qsizetype n = qsizetype(qstrlen(word));
        return line.startsWith(word)
            && (line.size() == n || line[n] == ',' || line[n] == '=' || line[n] == ' ');
    };
    if (line == "M48") {
        inHeader_ = true;
        return true;
    }
    if (line == "%" || line == "M95") {
        inHeader_ = false;
        sawBody_ = true;
        return true;
    }
    if (startsWord("METRIC") || startsWord("INCH")) {
        units_ = line.startsWith("METRIC") ? Units::Metric : Units::Inch;
        for (const QByteArray& part : line.toByteArray().split(',').mid(1)) {
            const QByteArray p = part.trimmed();
            if (p == "LZ")
                zeros_ = Zeros::Leading;
            else if (p == "TZ")
                zeros_ = Zeros::Trailing;
            else if (const auto t = digitTemplate(p))
                template_ = t;
        }
        return true;
    }
    if (startsWord("M71") || startsWord("M72")) { // metric / inch, maybe ",TZ"
        units_ = line.startsWith("M71") ? Units::Metric : Units::Inch;
        if (line.contains(",LZ"))
            zeros_ = Zeros::Leading;
        else if (line.contains(",TZ"))
            zeros_ = Zeros::Trailing;
        return true;
    }
    // Operator messages and canned text: "M47,TEXT", "M97,TEXT", "M98,TEXT".
    if (line.startsWith("M47") || line.startsWith("M97") || line.startsWith("M98"))
        return true;
    // Header parameters: VER,1  FMAT,2  ICI,OFF  ATC,ON  DETECT,ON  OM48  TCST,OFF ... In the body
    // such a word is no Excellon and counts as a line that cannot be read.
    static const QRegularExpression parameter(QStringLiteral("^[A-Z][A-Z0-9]*[A-Z]+[0-9]*(\\s*[,=].*)?$"));
    if ((inHeader_ || !sawBody_) && line.size() >= 2 && line[0] >= 'A' && line[0] <= 'Z' && line[1] >= 'A'
        && line[1] <= 'Z' && parameter.match(QString::fromLatin1(line.toByteArray())).hasMatch())
        return true;
    return false;
}

std::optional<double> Reader::coordinate(const Word& w)
{
    const Digits* d = &w.digits;
    if (d->count == 0 || w.size != d->count + int(d->point) + int(d->sign))
        return std::nullopt;
    double value = 0;
    if (d->point || decimalComment_ || sawPoint_) {
        // A decimal file writes whole numbers without a point ("X100Y-50"): they are whole units.
        value = scaled(d->mantissa, -d->decimals);
        if (d->point)
            sawPoint_ = true;
    } else {
        const auto [integer, decimals] = digits();
        // Leading zeros kept: read from the left, the missing digits are trailing zeros.
        const int exponent = zeros() == Zeros::Leading ? integer + decimals - d->count - decimals : -decimals;
        value = scaled(d->mantissa, exponent);
        sawImplied_ = true;
        // Which zeros the writer kept shows in the numbers themselves.
        if (d->count >= 2) {
            const char* digitsText = w.text + (d->sign ? 1 : 0);
            leadingZeroSeen_ = leadingZeroSeen_ || digitsText[0] == '0';
            trailingZeroSeen_ = trailingZeroSeen_ || digitsText[d->count - 1] == '0';
        }
    }
    return toMillimetres(d->negative ? -value : value);
}

std::pair<int, int> Reader::digits() const
{
    // The template, else the format comment, else a format from outside, else the defaults.
    if (template_)
        return *template_;
    if (commentFormat_)
        return *commentFormat_;
    if (const CoordinateFormat* o = outside())
        return {o->integer, o->decimals};
    return units() == Units::Metric ? std::make_pair(3, 3) : std::make_pair(2, 4);
}

Reader::Zeros Reader::zeros() const
{
    if (zeros_ != Zeros::Unknown)
        return zeros_;
    if (const CoordinateFormat* o = outside())
        return o->zeros == CoordinateFormat::Zeros::Leading ? Zeros::Leading : Zeros::Trailing;
    return Zeros::Unknown; // read from the right, as when trailing zeros are kept
}

std::optional<double> Reader::size(const Word& w) const
{
    const Digits* d = &w.digits;
    if (d->count == 0 || d->negative)
        return std::nullopt;
    return toMillimetres(scaled(d->mantissa, -d->decimals));
}

bool Reader::move(const Word* x, const Word* y, double& nx, double& ny)
{
    nx = x_;
    ny = y_;
    if (x) {
        const auto v = coordinate(*x);
        if (!v)
            return false;
        nx = incremental_ ? x_ + *v : offsetX_ + *v;
    }
    if (y) {
        const auto v = coordinate(*y);
        if (!v)
            return false;
        ny = incremental_ ? y_ + *v : offsetY_ + *v;
    }
    return true;
}

bool Reader::words(const Words& words, qint64 lineNo, bool& stop)
{
    // Tool lines: T01, T1C0.8, T01F00S00C0.03150, T1C.015F095S3.
    if (words.front().letter == 'T') {
        const auto number = toolNumber(words.front());
        if (!number)
            return false;
        const Word* c = nullptr;
        for (const Word& w : words) {
            if (w.letter == 'C')
                c = &w;
            else if (w.letter != 'T' && w.letter != 'F' && w.letter != 'S' && w.letter != 'B'
                && w.letter != 'H' && w.letter != 'Z' && w.letter != 'N' && w.letter != 'D')
                return false;
        }
        if (*number == 0 && !c && toolIndex_.find(0) == toolIndex_.end()) {
            current_ = -1; // T0 unloads, unless the file gave it a size: then it is a tool
            return true;
        }
        const auto index = tool(*number, words.front().value(), lineNo);
        if (!index) {
            stop = true;
            return true;
        }
        DrillTool& t = out_.tools[size_t(*index)];
        if (c) {
            const auto d = size(*c);
            if (!d)
                return false;
            t.diameter = *d;
            if (!pendingKind_.isEmpty())
                t.kind = pendingKind_;
            else if (!sectionKind_.isEmpty())
                t.kind = sectionKind_;
            t.kindStated = !t.kind.isEmpty();
            pendingKind_.clear();
            t.function = pendingFunction_;
            pendingFunction_.clear();
        }
        if (!c || !inHeader_) {
            current_ = *index;
            sawBody_ = sawBody_ || !inHeader_;
        }
        return true;
    }

    const Word* x = nullptr;
    const Word* y = nullptr;
    const Word* x2 = nullptr;
    const Word* y2 = nullptr;
    const Word* repeat = nullptr;
    bool slot = false;
    std::optional<int> g;
    for (const Word& w : words) {
        switch (w.letter) {
        case 'X': (slot ? x2 : x) = &w; break;
        case 'Y': (slot ? y2 : y) = &w; break;
        case 'R': repeat = &w; break;
        case 'G': {
            const auto parsed = wholeNumber(w.digits);
            if (!parsed)
                return false;
            const int code = *parsed;
            if (code == 85)
                slot = true;
            else
                g = code;
            break;
        }
        case 'M': {
            const auto parsed = wholeNumber(w.digits);
            if (!parsed)
                return false;
            const int code = *parsed;
            switch (code) {
            case 30:
            case 0: ended_ = true; break; // end of program
            case 15:
                toolDown_ = true;
                routing_ = false;
                break;
            case 16:
            case 17: toolDown_ = false; break;
            case 71: units_ = Units::Metric; break;
            case 72: units_ = Units::Inch; break;
            default: break; // tool changes, stops, end of pattern: nothing to draw
            }
            break;
        }
        default: return false;
        }
    }
    if (g) {
        switch (*g) {
        case 90: incremental_ = false; break;
        case 91: incremental_ = true; break;
        case 5:
        case 81: rout_ = false; break; // drill mode
        case 0:
            rout_ = true;
            routMotion_ = 0;
            break;
        case 1:
            rout_ = true;
            routMotion_ = 1;
            break;
        case 93: { // zero set: later absolute coordinates are from here
            offsetX_ = x ? coordinate(*x).value_or(0) : 0;
            offsetY_ = y ? coordinate(*y).value_or(0) : 0;
            return true;
        }
        default: break; // compensation (G40-G42), canned cycles off (G80), arcs: the position still moves
        }
    }
    if (!x && !y && !repeat)
        return true;

    double nx = 0, ny = 0;
    if (!move(x, y, nx, ny))
        return false;
    if (slot) { // X..Y..G85X..Y..: a slot from the first point to the second
        x_ = nx;
        y_ = ny;
        double ex = 0, ey = 0;
        if (!move(x2, y2, ex, ey))
            return false;
        if (current_ >= 0 && !out_.addSlot(current_, lineNo, nx, ny, ex, ey))
            stop = true; // a coordinate beyond what a board holds
        x_ = ex;
        y_ = ey;
        return true;
    }
    if (rout_) {
        const bool cut = routMotion_ == 1 && toolDown_ && current_ >= 0;
        if (cut && !out_.addSlot(current_, lineNo, x_, y_, nx, ny, routing_))
            stop = true;
        routing_ = cut;
        x_ = nx;
        y_ = ny;
        return true;
    }
    if (repeat) { // R<n>X<dx>Y<dy>: n more holes, each moved by (dx, dy) from the one before
        // Real files repeat a hole a few hundred times at most; a count in the millions is no
        // repeat but damage, and would fill the memory with holes: the read ends there.
        constexpr int kMaxRepeat = 10000;
        const auto count = wholeNumber(repeat->digits);
        if (!count)
            return false;
        if (*count > kMaxRepeat || repeated_ + *count > kMaxDrillObjects) {
            reachLimit(
                out_, DrillData::Limit::Repeats, *count > kMaxRepeat ? kMaxRepeat : kMaxDrillObjects, lineNo);
            stop = true;
            return true;
        }
        const int n = *count;
        repeated_ += n;
        const double dx = x ? coordinate(*x).value_or(0) : 0;
        const double dy = y ? coordinate(*y).value_or(0) : 0;
        for (int k = 0; k < n && !stop; ++k) {
            x_ += dx;
            y_ += dy;
            if (current_ >= 0 && !out_.addHole(current_, lineNo, x_, y_))
                stop = true;
        }
        return true;
    }
    x_ = nx;
    y_ = ny;
    if (current_ >= 0 && !out_.addHole(current_, lineNo, x_, y_))
        stop = true;
    return true;
}

bool Reader::line(QByteArrayView raw, qint64 lineNo)
{
    if (ended_)
        return true;
    QByteArrayView text = raw.trimmed(); // blanks, tabs and a carriage return
    if (text.isEmpty())
        return true;
    if (text.front() == ';') {
        comment(QString::fromLatin1(text.sliced(1).toByteArray()));
        return true;
    }
    // Most lines are plain upper-case words, read where they lie; a line with "( ... )" comments
    // or lower-case letters is read again from a cleaned copy.
    Words parsed;
    QByteArray cleaned;
    for (int pass = 0; pass < 2; ++pass) {
        const bool coordinates = text.front() == 'X' || text.front() == 'Y'; // most lines: no keyword
        if (!coordinates && keyword(text))
            return true;
        if (wordsOf(text, parsed) && parsed.count > 0)
            break;
        if (pass == 1) {
            skip(lineNo);
            return true;
        }
        cleaned = text.toByteArray();
        for (qsizetype open = cleaned.indexOf('('); open >= 0; open = cleaned.indexOf('(')) {
            const qsizetype close = cleaned.indexOf(')', open);
            cleaned.remove(open, close < 0 ? cleaned.size() - open : close - open + 1);
        }
        cleaned = cleaned.trimmed().toUpper();
        if (cleaned.isEmpty())
            return true;
        if (cleaned == text) {
            skip(lineNo);
            return true;
        }
        text = cleaned;
    }
    bool stop = false;
    if (!words(parsed, lineNo, stop))
        skip(lineNo);
    return !stop;
}

void Reader::finish()
{
    // How the numbers without a point were read, and where that came from.
    CoordinateFormat f;
    f.inch = units() == Units::Inch;
    std::tie(f.integer, f.decimals) = digits();
    f.zeros = CoordinateFormat::Zeros::Trailing;
    if (zeros() == Zeros::Leading)
        f.zeros = CoordinateFormat::Zeros::Leading;
    else if (zeros_ == Zeros::Unknown && outside() && outside()->zeros == CoordinateFormat::Zeros::All)
        f.zeros = CoordinateFormat::Zeros::All;
    using Source = CoordinateFormat::Source;
    f.source = sawPoint_ || decimalComment_ ? Source::Decimal
        : template_ || commentFormat_       ? Source::File
        : outside()                         ? outside()->source
                                            : Source::Assumed;
    f.unitStated = units_ != Units::Unknown || commentUnits_ != Units::Unknown;
    f.zerosStated = zeros_ != Zeros::Unknown;
    f.used = sawImplied_ && f.source != Source::Decimal;
    f.leadingZerosWritten = leadingZeroSeen_;
    f.trailingZerosWritten = trailingZeroSeen_;
    out_.format = f;
    // Plated or not: the tool's own attribute, else the file's, else the file's name.
    const QString byName = kindFromFileName(name_);
    out_.fileKind = mixedPlating_ ? QString() : !fileKind_.isEmpty() ? fileKind_ : byName;
    for (DrillTool& t : out_.tools) {
        if (t.kind.isEmpty())
            t.kind = !fileKind_.isEmpty() ? fileKind_ : byName;
    }
}

} // namespace

DrillData readExcellon(QIODevice& device, const QString& name, const MessageSink& sink,
    const std::optional<CoordinateFormat>& outside)
{
    DrillData out;
    // About one hole a line of a dozen bytes: room for them at once, not by doubling.
    out.holes.reserve(size_t(std::clamp<qint64>(device.size() / 12, 0, 4'000'000)));
    Reader reader(name, out, outside);
    readDrillLines(
        device, name, sink, out,
        [&reader](QByteArrayView line, qint64 lineNo) { return reader.line(line, lineNo); },
        [&reader] { reader.finish(); });
    return out;
}

namespace {
std::optional<CoordinateFormat> parseNcParam(const QString& path);

// nc_param.txt of the folder, looked for once while the folder keeps its names: a package of
// thousands of drill files would otherwise list its folder once for each of them. The file
// itself is read each time (it is small), so that a change written into it is seen.
std::optional<CoordinateFormat> ncParamBeside(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    struct stat info { };
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0)
        return std::nullopt;
    struct Known {
        qint64 seconds = 0;
        qint64 nanoseconds = 0;
        QString file; // empty: none in the folder
    };
    static std::mutex lock;
    static QHash<QString, Known> known;
    QString file;
    {
        const std::lock_guard<std::mutex> guard(lock);
        const auto found = known.constFind(folder);
        if (found != known.constEnd() && found->seconds == qint64(info.st_mtim.tv_sec)
            && found->nanoseconds == qint64(info.st_mtim.tv_nsec)) {
            file = found->file;
        } else {
            if (known.size() > 4096)
                known.clear();
            const QDir dir(folder);
            const QStringList names =
                dir.entryList({QStringLiteral("nc_param.txt")}, QDir::Files | QDir::Readable, QDir::Name);
            file = names.isEmpty() ? QString() : dir.filePath(names.first());
            known.insert(folder, {qint64(info.st_mtim.tv_sec), qint64(info.st_mtim.tv_nsec), file});
        }
    }
    return file.isEmpty() ? std::nullopt : parseNcParam(file);
}
} // namespace

DrillData readExcellon(
    const QString& path, const MessageSink& sink, const std::optional<CoordinateFormat>& fitted)
{
    // Allegro keeps the format of its drill files in nc_param.txt beside them.
    const std::optional<CoordinateFormat> outside = fitted ? fitted : ncParamBeside(path);
    return readDrillPath(path, sink, [&](QIODevice& file) {
        DrillData d = readExcellon(file, path, sink, outside);
        // Where nothing states how its numbers are written, a format fitted to the board's
        // outline reads the file again in other formats: its bytes are kept for that (a file of
        // a usual size), taken from the same open, so that the fit never opens it.
        constexpr qint64 kKept = qint64(64) << 20;
        const bool unformatted = d.format && d.format->used
            && (d.format->source == CoordinateFormat::Source::Assumed
                || d.format->source == CoordinateFormat::Source::Fitted);
        if (unformatted && d.ending != DrillData::Ending::Unreadable && file.size() <= kKept && file.seek(0))
            d.text = file.readAll();
        return d;
    });
}

DrillData readExcellonText(const QByteArray& text, const QString& name, const MessageSink& sink,
    const std::optional<CoordinateFormat>& outside)
{
    QByteArray bytes = text; // shared, not copied
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return readExcellon(buffer, name, sink, outside);
}

std::optional<CoordinateFormat> readNcParam(const QString& folder)
{
    const QDir dir(folder);
    const QStringList found =
        dir.entryList({QStringLiteral("nc_param.txt")}, QDir::Files | QDir::Readable, QDir::Name);
    if (found.isEmpty())
        return std::nullopt;
    return parseNcParam(dir.filePath(found.first()));
}

namespace {
std::optional<CoordinateFormat> parseNcParam(const QString& path)
{
    QFile file(path);
    if (!openToRead(file) || file.size() > qint64(64) * 1024 || holdsBinaryBytes(file))
        return std::nullopt;
    std::optional<int> integer, decimals;
    std::optional<bool> inch, leadSuppressed, trailSuppressed;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QList<QByteArray> words = raw.simplified().toUpper().split(' ');
        if (words.size() < 2)
            continue;
        const QByteArray& key = words[0];
        const QByteArray& value = words[1];
        bool ok = false;
        const int n = value.toInt(&ok);
        if (key == "INTEGER-PLACES" && ok && n >= 0 && n <= 9)
            integer = n;
        else if (key == "DECIMAL-PLACES" && ok && n >= 0 && n <= 9)
            decimals = n;
        else if (key == "OUTPUT-UNITS" && (value == "ENGLISH" || value == "METRIC"))
            inch = value == "ENGLISH";
        else if (key == "SUPPRESS-LEAD-ZEROES" && (value == "YES" || value == "NO"))
            leadSuppressed = value == "YES";
        else if (key == "SUPPRESS-TRAIL-ZEROES" && (value == "YES" || value == "NO"))
            trailSuppressed = value == "YES";
    }
    if (!integer || !decimals || *integer + *decimals == 0)
        return std::nullopt;
    CoordinateFormat f;
    f.source = CoordinateFormat::Source::NcParam;
    f.integer = *integer;
    f.decimals = *decimals;
    f.inch = inch.value_or(true);
    f.unitStated = inch.has_value();
    f.zerosStated = leadSuppressed.has_value() || trailSuppressed.has_value();
    // Leading zeros left out: the number is read from the right; trailing ones: from the left.
    f.zeros = leadSuppressed.value_or(false) ? CoordinateFormat::Zeros::Trailing
        : trailSuppressed.value_or(false)    ? CoordinateFormat::Zeros::Leading
                                             : CoordinateFormat::Zeros::All;
    return f;
}
} // namespace

bool looksLikeExcellon(const QString& path)
{
    return looksLikeExcellonHead(inputHead(path, qint64(16) * 1024));
}

bool looksLikeExcellonHead(QByteArray head)
{
    static const QRegularExpression toolDefinition(QStringLiteral("^T\\d+[A-Z0-9.]*C[\\d.]"));
    // The first lines as the reader takes them: after a byte order mark, any line end.
    head.truncate(qint64(16) * 1024);
    if (head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    const QList<QByteArray> lines =
        head.replace("\r\n", "\n").replace("\n\r", "\n").replace('\r', '\n').split('\n');
    for (qsizetype i = 0; i < lines.size() && i < 40; ++i) {
        const QByteArray l = lines[i].trimmed().toUpper();
        if (l.startsWith(';') && isAllegroComment(QString::fromLatin1(l.mid(1))))
            return true; // Allegro's comment header, without M48
        if (l.isEmpty() || l.startsWith(';'))
            continue;
        if (l.startsWith('%') && l.size() > 1)
            return false; // an RS-274X parameter block comes first
        if (l == "M48" || l.startsWith("METRIC") || l.startsWith("INCH")
            || toolDefinition.match(QString::fromLatin1(l)).hasMatch())
            return true;
    }
    return false;
}

} // namespace kivotrek
