#include "excellon/excellonreader.h"

#include "common/fileio.h"
#include "common/linereader.h"
#include "common/messages.h"
#include "drill/arcpieces.h"
#include "drill/drillread.h"
#include "excellon/cannedshapes.h"
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
    Reader(const QString& name, DrillData& out, const std::optional<CoordinateFormat>& outside,
        const MessageSink& sink)
        : name_(name), out_(out), outside_(outside), sink_(sink)
    {
    }

    // False when the read ends at this line (a 64th tool).
    bool line(QByteArrayView raw, qint64 lineNo);
    void finish();

private:
    enum class Units { Unknown, Metric, Inch };
    enum class Zeros { Unknown, Leading, Trailing }; // the zeros that are kept

    void comment(const QString& text);
    bool keyword(QByteArrayView line, qint64 lineNo);
    void startPattern();
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
    struct Block;
    bool parse(const Words& words, Block& b) const;
    bool body(const Block& b, qint64 lineNo, bool& stop);
    // A distance written as a coordinate (a repeat's step, a radius, a diameter): 0 for a letter
    // without digits ("M02XY001"); none for a number that cannot be read.
    std::optional<double> distance(const Word* w);
    double toolDiameter(double otherwise) const;
    // What the holes and slots of out_ hold from a point on: the part a pattern or a canned cycle made.
    struct Range {
        size_t firstHole = 0, endHole = 0, firstSlot = 0, endSlot = 0;
    };
    Range rangeFrom(size_t hole, size_t slot) const
    {
        return {hole, out_.holes.size(), slot, out_.slotHoles.size()};
    }
    // Copies of a range, each moved by the offset and mirrored or swapped about (zeroX, zeroY) first.
    struct Copy {
        double zeroX = 0, zeroY = 0, dx = 0, dy = 0;
        bool mirrorX = false, mirrorY = false, swap = false;
    };
    static bool empty(const Range& r) { return r.firstHole == r.endHole && r.firstSlot == r.endSlot; }
    bool room(const Range& r, qint64 copies, qint64 lineNo, bool& stop);
    bool copy(const Range& r, const Copy& c, qint64 lineNo);
    bool addPath(const std::vector<ArcPoint>& points, ArcPoint from, bool joined, qint64 lineNo);
    bool circle(ArcPoint centre, double radius, bool clockwise, qint64 lineNo);
    bool repeatPattern(const Block& b, qint64 lineNo, bool& stop);
    bool repeatCycle(const Block& b, qint64 lineNo, bool& stop);
    bool arc(const Block& b, double nx, double ny, qint64 lineNo, bool& stop);
    bool corner(double x, double y, qint64 lineNo, bool& stop);

    QString name_;
    DrillData& out_;
    std::optional<CoordinateFormat> outside_;
    const MessageSink& sink_;
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
    int format_ = 2; // FMAT,1 or FMAT,2: the M codes of the two differ
    bool skipLine_ = false; // the line has a word that changes the drilling and is not followed
    // Arcs: the radius (A) or the centre's offset (I, J) holds for the arcs after it.
    std::optional<double> arcRadius_;
    std::optional<std::pair<double, double>> arcOffset_;
    // Step and repeat: M25 (or M31) opens a group; each M01 closes the pattern it has grown to
    // (copies included); each M02 copies that pattern moved from the copy before; M08 ends it.
    struct Pattern {
        bool open = false;
        bool closed = false;
        size_t firstHole = 0, firstSlot = 0; // where the group begins
        Range pattern; // what the last M01 closed
        double zeroX = 0, zeroY = 0; // the work zero at M25, which copies mirror about (moved)
        double offsetX = 0, offsetY = 0; // the offsets of the M02 lines so far
    } pattern_;
    // The last canned cycle (G82, G83, G84, G85), which P repeats.
    std::optional<Range> lastCycle_;
    // Blocks that belong to a command before them: G82 and G83 give their corners in the two
    // blocks after, M97, M98 and M99 their position in the next.
    enum class Pending { None, DualInLine, CircularPackage, Position };
    Pending pending_ = Pending::None;
    qint64 pendingLine_ = 0;
    std::vector<ArcPoint> corners_;
    double pitch_ = 0, rowSpacing_ = 0;
    std::optional<qint64> cannedTextLine_; // the first M97 / M98
    QString cannedTextCode_;
    bool longMessage_ = false; // an M45 message runs on while its lines end with a backslash
};

// A body line's words, sorted: the coordinates, the words that qualify them, its G and M codes
// in order.
struct Reader::Block {
    const Word* x = nullptr;
    const Word* y = nullptr;
    const Word* x2 = nullptr; // after G84, G85, G87: the second point (G84: the diameter)
    const Word* y2 = nullptr;
    const Word* a = nullptr; // a radius
    const Word* i = nullptr; // an arc's centre
    const Word* j = nullptr;
    const Word* r = nullptr; // a repeat count
    const Word* p = nullptr; // a canned cycle's repeat count
    std::array<int, 4> g {};
    int gCount = 0;
    std::array<int, 6> m {};
    int mCount = 0;
    bool coordinates() const { return x || y; }
    bool hasM(int code) const { return std::find(m.begin(), m.begin() + mCount, code) != m.begin() + mCount; }
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

bool Reader::keyword(QByteArrayView line, qint64 lineNo)
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
    if (line == "%" && sawBody_ && !inHeader_) {
        startPattern(); // in the body "%" begins a pattern, as M25 does
        return true;
    }
    if (line == "%" || line == "M95") {
        inHeader_ = false;
        sawBody_ = true;
        return true;
    }
    if (startsWord("FMAT")) { // FMAT,1: the older machines' codes (M02 ends the program, M26 repeats)
        format_ = line.endsWith(",1") ? 1 : 2;
        return true;
    }
    if (startsWord("ICI")) { // incremental input of every coordinate of the body
        incremental_ = !line.endsWith(",OFF");
        return true;
    }
    if (line.startsWith("CAN_TEXT_OFF"))
        return true; // moves canned text, which is not drawn
    if (line.startsWith("M45")) { // a long operator message, over lines that end with a backslash
        longMessage_ = line.endsWith('\\');
        return true;
    }
    if (line.startsWith("M97") || line.startsWith("M98")) {
        // Canned text: the machine drills the letters from the position in the next block. The
        // letters are not drawn (the file does not give their shapes); that is said once.
        if (!cannedTextLine_) {
            cannedTextLine_ = lineNo;
            cannedTextCode_ = QString::fromLatin1(line.first(3).toByteArray());
        }
        pending_ = Pending::Position;
        return true;
    }
    if (line.startsWith("M99")) { // a stored pattern from a file of the machine's: not drawn, said
        skip(lineNo);
        pending_ = Pending::Position;
        return true;
    }
    if (startsWord("M96"))
        return true; // a spindle group
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
    // Operator messages: "M47,TEXT".
    if (line.startsWith("M47"))
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

    Block b;
    if (!parse(words, b))
        return false;
    skipLine_ = false;
    const bool read = body(b, lineNo, stop);
    if (read && skipLine_)
        skip(lineNo);
    return read;
}

namespace {
// The M codes of FMAT,1 as the same commands of FMAT,2 are numbered: M02 ends the program, M00
// stops for inspection, M01 is the optional stop, M24 ends a pattern, M26 repeats it, M27 ends
// the step and repeat, M21 / M22 / M23 mirror and swap a copy, M70 is inch.
int formatTwoCode(int code)
{
    switch (code) {
    case 2: return 0;
    case 0: return 9;
    case 1: return 6;
    case 24: return 1;
    case 26: return 2;
    case 27: return 8;
    case 21: return 80;
    case 22: return 90;
    case 23: return 70;
    case 70: return 72;
    default: return code;
    }
}
constexpr double kTau = 6.28318530717958647692;
} // namespace

bool Reader::parse(const Words& words, Block& b) const
{
    bool second = false; // after G84, G85 or G87 X and Y are its second point
    for (const Word& w : words) {
        switch (w.letter) {
        case 'X': (second ? b.x2 : b.x) = &w; break;
        case 'Y': (second ? b.y2 : b.y) = &w; break;
        case 'A': b.a = &w; break;
        case 'I': b.i = &w; break;
        case 'J': b.j = &w; break;
        case 'R': b.r = &w; break;
        case 'P': b.p = &w; break;
        case 'G': {
            const auto code = wholeNumber(w.digits);
            if (!code || b.gCount == int(b.g.size()))
                return false;
            b.g[size_t(b.gCount++)] = *code;
            second = second || *code == 84 || *code == 85 || *code == 87;
            break;
        }
        case 'M': {
            const auto code = wholeNumber(w.digits);
            if (!code || b.mCount == int(b.m.size()))
                return false;
            b.m[size_t(b.mCount++)] = format_ == 1 ? formatTwoCode(*code) : *code;
            break;
        }
        // Feeds, speeds, depths (Z, and U of a step slot), a block number: nothing to draw.
        case 'F':
        case 'S':
        case 'B':
        case 'H':
        case 'Z':
        case 'U':
        case 'N': break;
        default: return false;
        }
    }
    return true;
}

std::optional<double> Reader::distance(const Word* w)
{
    if (!w)
        return 0.0;
    if (w->digits.count == 0 && w->size == 0)
        return 0.0;
    return coordinate(*w);
}

double Reader::toolDiameter(double otherwise) const
{
    if (current_ < 0)
        return otherwise;
    const auto& d = out_.tools[size_t(current_)].diameter;
    return d && *d > 0 ? *d : otherwise;
}

void Reader::startPattern()
{
    pattern_ = Pattern {};
    pattern_.open = true;
    pattern_.firstHole = out_.holes.size();
    pattern_.firstSlot = out_.slotHoles.size();
    pattern_.zeroX = offsetX_;
    pattern_.zeroY = offsetY_;
}

bool Reader::room(const Range& r, qint64 copies, qint64 lineNo, bool& stop)
{
    // Copies count against the holes a file may make by repeats: nested patterns double what
    // they copy at every level.
    const qint64 each = qint64(r.endHole - r.firstHole + r.endSlot - r.firstSlot);
    if (copies > 0 && each > 0
        && (copies > kMaxDrillObjects / each || repeated_ + copies * each > kMaxDrillObjects)) {
        reachLimit(out_, DrillData::Limit::Repeats, kMaxDrillObjects, lineNo);
        stop = true;
        return false;
    }
    repeated_ += copies * each;
    return true;
}

bool Reader::copy(const Range& r, const Copy& c, qint64 lineNo)
{
    const auto place = [&c](double x, double y) {
        double u = x - c.zeroX, v = y - c.zeroY;
        if (c.mirrorX)
            u = -u;
        if (c.mirrorY)
            v = -v;
        if (c.swap)
            std::swap(u, v);
        return ArcPoint {c.zeroX + c.dx + u, c.zeroY + c.dy + v};
    };
    // By index: the lists grow while they are copied.
    for (size_t k = r.firstHole; k < r.endHole; ++k) {
        const DrillHit h = out_.holes[k];
        const ArcPoint q = place(h.x(), h.y());
        if (!out_.addHole(h.tool, lineNo, q.x, q.y))
            return false;
    }
    for (size_t k = r.firstSlot; k < r.endSlot; ++k) {
        const DrillSlot s = out_.slotHoles[k];
        const ArcPoint a = place(s.x1(), s.y1());
        const ArcPoint e = place(s.x2(), s.y2());
        if (!out_.addSlot(s.tool, lineNo, a.x, a.y, e.x, e.y, s.joined && k > r.firstSlot))
            return false;
    }
    routing_ = false;
    return true;
}

bool Reader::addPath(const std::vector<ArcPoint>& points, ArcPoint from, bool joined, qint64 lineNo)
{
    ArcPoint a = from;
    for (const ArcPoint& e : points) {
        if (!out_.addSlot(current_, lineNo, a.x, a.y, e.x, e.y, joined))
            return false;
        joined = true;
        a = e;
    }
    return true;
}

bool Reader::circle(ArcPoint centre, double radius, bool clockwise, qint64 lineNo)
{
    // A closed path around the centre, the tool's centre on the radius: one routed path.
    const ArcPoint start {centre.x + radius, centre.y};
    std::vector<ArcPoint> points;
    appendArcPoints(start, start, centre, clockwise, kTau, points);
    return addPath(points, start, false, lineNo);
}

bool Reader::repeatPattern(const Block& b, qint64 lineNo, bool& stop)
{
    if (!pattern_.closed) {
        skipLine_ = true; // a repeat of no pattern: the machine has nothing to repeat
        return true;
    }
    if (!b.coordinates() && !b.r) {
        // "M02" alone clears the offsets: the next repeats start again from the pattern's place.
        pattern_.offsetX = pattern_.offsetY = 0;
        return true;
    }
    int count = 1;
    if (b.r) {
        const auto n = wholeNumber(b.r->digits);
        if (!n)
            return false;
        count = *n;
    }
    const auto dx = distance(b.x);
    const auto dy = distance(b.y);
    if (!dx || !dy)
        return false;
    if (!room(pattern_.pattern, count, lineNo, stop))
        return true;
    if (empty(pattern_.pattern)) { // nothing to copy, however often: only the offsets add up
        pattern_.offsetX += count * *dx;
        pattern_.offsetY += count * *dy;
        return true;
    }
    // Each copy is moved from the copy before it: the offsets add up.
    Copy c;
    c.zeroX = pattern_.zeroX;
    c.zeroY = pattern_.zeroY;
    c.mirrorX = b.hasM(80);
    c.mirrorY = b.hasM(90);
    c.swap = b.hasM(70);
    for (int k = 0; k < count; ++k) {
        pattern_.offsetX += *dx;
        pattern_.offsetY += *dy;
        c.dx = pattern_.offsetX;
        c.dy = pattern_.offsetY;
        if (!copy(pattern_.pattern, c, lineNo)) {
            stop = true;
            return true;
        }
    }
    return true;
}

bool Reader::repeatCycle(const Block& b, qint64 lineNo, bool& stop)
{
    // P<n>X<dx>Y<dy>: n more of the last canned cycle, each moved by (dx, dy) from the one before.
    const auto n = wholeNumber(b.p->digits);
    if (!n)
        return false;
    const auto dx = distance(b.x);
    const auto dy = distance(b.y);
    if (!dx || !dy)
        return false;
    if (!lastCycle_) {
        skipLine_ = true;
        return true;
    }
    const Range r = *lastCycle_;
    if (!room(r, *n, lineNo, stop) || empty(r))
        return true;
    Copy c;
    for (int k = 1; k <= *n; ++k) {
        c.dx = k * *dx;
        c.dy = k * *dy;
        if (!copy(r, c, lineNo)) {
            stop = true;
            return true;
        }
    }
    lastCycle_ = rangeFrom(r.firstHole, r.firstSlot);
    return true;
}

bool Reader::arc(const Block& b, double nx, double ny, qint64 lineNo, bool& stop)
{
    // G02 (clockwise) or G03 to the point, about the centre the radius A or the offset I, J
    // gives (either holds for the arcs after it).
    if (b.a) {
        const auto r = distance(b.a);
        if (!r)
            return false;
        arcRadius_ = std::fabs(*r);
        arcOffset_.reset();
    }
    if (b.i || b.j) {
        const auto i = distance(b.i);
        const auto j = distance(b.j);
        if (!i || !j)
            return false;
        arcOffset_ = std::make_pair(*i, *j);
        arcRadius_.reset();
    }
    const ArcPoint from {x_, y_}, to {nx, ny};
    const bool clockwise = routMotion_ == 2;
    std::optional<ArcPoint> centre;
    if (arcRadius_)
        centre = arcCentreByRadius(from, to, *arcRadius_, clockwise);
    else if (arcOffset_)
        centre = arcCentreByOffset(from, to, arcOffset_->first, arcOffset_->second);
    const bool cut = toolDown_ && current_ >= 0;
    if (!centre) {
        // No radius or centre that fits: the position moves, nothing is cut, the line is said.
        if (cut && (from.x != to.x || from.y != to.y))
            skipLine_ = true;
        routing_ = false;
        x_ = nx;
        y_ = ny;
        return true;
    }
    if (cut) {
        std::vector<ArcPoint> points;
        appendArcPoints(from, to, *centre, clockwise, arcSweep(from, to, *centre, clockwise), points);
        if (!addPath(points, from, routing_, lineNo))
            stop = true;
    }
    routing_ = cut;
    x_ = nx;
    y_ = ny;
    return true;
}

bool Reader::corner(double x, double y, qint64 lineNo, bool& stop)
{
    corners_.push_back({x, y});
    x_ = x;
    y_ = y;
    if (corners_.size() < 2)
        return true;
    const Pending kind = pending_;
    pending_ = Pending::None;
    const auto pins = kind == Pending::DualInLine
        ? dualInLinePins(corners_[0], corners_[1], pitch_, rowSpacing_)
        : circularPackagePins(corners_[0], corners_[1]);
    if (!pins) {
        skip(pendingLine_); // corners that make no package the machine drills
        return true;
    }
    const size_t firstHole = out_.holes.size(), firstSlot = out_.slotHoles.size();
    for (const ArcPoint& p : *pins) {
        if (current_ >= 0 && !out_.addHole(current_, lineNo, p.x, p.y)) {
            stop = true;
            return true;
        }
    }
    lastCycle_ = rangeFrom(firstHole, firstSlot);
    return true;
}

bool Reader::body(const Block& b, qint64 lineNo, bool& stop)
{
    // The blocks a command before asked for: its corners or its position, never holes.
    if (pending_ != Pending::None) {
        if (b.coordinates() && b.gCount == 0 && b.mCount == 0 && !b.r && !b.p) {
            double nx = 0, ny = 0;
            if (!move(b.x, b.y, nx, ny))
                return false;
            if (pending_ == Pending::Position) {
                pending_ = Pending::None;
                x_ = nx;
                y_ = ny;
                return true;
            }
            return corner(nx, ny, lineNo, stop);
        }
        if (pending_ != Pending::Position)
            skip(pendingLine_); // a package whose corners never came
        pending_ = Pending::None;
    }

    // What the codes of the line ask for.
    bool end = false, repeat = false, endPattern = false, endStepRepeat = false, startsPattern = false;
    bool positionOnly = false; // the table moves there, nothing is drilled
    bool unknown = false;
    bool dwell = false;
    int cycle = 0; // G32, G33, G82, G83, G84, G85, G87
    bool drillHere = false; // G38, G48: a hole at the point, in any mode
    for (int k = 0; k < b.mCount; ++k) {
        switch (b.m[size_t(k)]) {
        case 0:
        case 30: end = true; break; // end of program: its X, Y only park the table
        case 1: endPattern = true; break;
        case 2: repeat = true; break;
        case 6: // optional stop
        case 9: positionOnly = true; break; // stop for inspection
        case 8: endStepRepeat = true; break;
        case 14:
        case 15:
            toolDown_ = true;
            routing_ = false;
            break;
        case 16:
        case 17: toolDown_ = false; break;
        case 18: // tool tip check
        case 50: // vision step and repeat markers
        case 51:
        case 52:
        case 60: // reference scaling, peck drilling: the operator's values, not the file's
        case 61:
        case 62:
        case 63: positionOnly = positionOnly || b.coordinates(); break;
        case 19: // binary map code: holes of a layout the file does not give
            skipLine_ = true;
            positionOnly = true;
            break;
        case 25:
        case 31: startsPattern = true; break;
        case 70: // swap, mirror X, mirror Y: of a repeat's copy only
        case 80:
        case 90:
            if (!b.hasM(2))
                positionOnly = positionOnly || b.coordinates();
            break;
        case 71: units_ = Units::Metric; break;
        case 72: units_ = Units::Inch; break;
        case 95:
            inHeader_ = false;
            sawBody_ = true;
            break;
        default: unknown = true; break;
        }
    }
    for (int k = 0; k < b.gCount; ++k) {
        const int code = b.g[size_t(k)];
        switch (code) {
        case 90: incremental_ = false; break;
        case 91: incremental_ = true; break;
        case 5:
        case 81: rout_ = false; break; // drill mode
        case 0:
            rout_ = true;
            routMotion_ = 0;
            break;
        case 1:
        case 2:
        case 3:
            rout_ = true;
            routMotion_ = code;
            break;
        case 4: dwell = true; break; // its X is a time
        case 92:
        case 93: { // zero set: later absolute coordinates are from here
            const auto zx = distance(b.x);
            const auto zy = distance(b.y);
            if (!zx || !zy)
                return false;
            offsetX_ = *zx;
            offsetY_ = *zy;
            return true;
        }
        case 32:
        case 33:
        case 82:
        case 83:
        case 84:
        case 85:
        case 87: cycle = code; break;
        case 38: // vision: a hole in the middle of the target
        case 48: drillHere = true; break;
        case 35: // vision: the pads it measures at; its correction is the machine's
        case 36:
        case 45:
        case 46: positionOnly = true; break;
        case 39: // vision calibration holes: their number is the machine's setting
            skipLine_ = true;
            positionOnly = true;
            break;
        case 41:
        case 42:
            // Cutter compensation: the offset is the machine's setting, not the file's; the path
            // is drawn as programmed and the line said.
            skipLine_ = true;
            break;
        case 7: // feed and speed override
        case 34: // vision tool
        case 37:
        case 47:
        case 40: // compensation off
        case 80: break; // canned cycle off
        default: unknown = true; break;
        }
    }
    if (dwell)
        return true;
    if (startsPattern)
        startPattern();
    if (repeat) {
        const bool read = repeatPattern(b, lineNo, stop);
        if (endStepRepeat)
            pattern_ = Pattern {};
        ended_ = ended_ || end;
        return read;
    }
    if (endPattern && pattern_.open) {
        // The pattern is all the group holds now, copies included; its repeats start from it.
        pattern_.closed = true;
        pattern_.pattern = rangeFrom(pattern_.firstHole, pattern_.firstSlot);
        pattern_.offsetX = pattern_.offsetY = 0;
    }
    if (endStepRepeat)
        pattern_ = Pattern {};
    if (end) {
        ended_ = true;
        return true;
    }
    if (cycle == 82 || cycle == 83) {
        // A package: its pitch and row spacing here (0.100 and 0.300 inch unless given), its two
        // corners in the next two blocks.
        pitch_ = 2.54;
        rowSpacing_ = 7.62;
        if (cycle == 82 && b.x) {
            const auto v = distance(b.x);
            if (!v)
                return false;
            pitch_ = std::fabs(*v);
        }
        if (cycle == 82 && b.y) {
            const auto v = distance(b.y);
            if (!v)
                return false;
            rowSpacing_ = std::fabs(*v);
        }
        pending_ = cycle == 82 ? Pending::DualInLine : Pending::CircularPackage;
        pendingLine_ = lineNo;
        corners_.clear();
        return true;
    }
    if (b.p && !b.r)
        return repeatCycle(b, lineNo, stop);
    if (!b.coordinates() && !b.r)
        return true;

    double nx = 0, ny = 0;
    if (!move(b.x, b.y, nx, ny))
        return false;
    if (unknown || positionOnly) {
        // A command not known (or one that only moves the table) with coordinates: the position
        // moves, no hole is made; a command not known is said.
        skipLine_ = skipLine_ || unknown;
        routing_ = false;
        x_ = nx;
        y_ = ny;
        return true;
    }
    if (cycle == 85 || cycle == 87) {
        // X..Y..G85X..Y..: a slot drilled from the first point to the second; G87 routs it in
        // passes (Z and U their depths).
        x_ = nx;
        y_ = ny;
        double ex = 0, ey = 0;
        if (!move(b.x2, b.y2, ex, ey))
            return false;
        const size_t firstHole = out_.holes.size(), firstSlot = out_.slotHoles.size();
        if (current_ >= 0 && !out_.addSlot(current_, lineNo, nx, ny, ex, ey))
            stop = true; // a coordinate beyond what a board holds
        if (cycle == 85)
            lastCycle_ = rangeFrom(firstHole, firstSlot);
        routing_ = false;
        x_ = ex;
        y_ = ey;
        return true;
    }
    if (cycle == 84 || cycle == 32 || cycle == 33) {
        // G84: X..Y..G84X<diameter>, a round hole drilled hit by hit around its edge with the
        // tool (0.125 inch when it has no size), no smaller than twice the tool. G32 / G33: a
        // round hole of radius A routed around the point, clockwise or not, its edge on the
        // radius. Each is drawn as the ring the tool's centre runs on, at the tool's width.
        x_ = nx;
        y_ = ny;
        routing_ = false;
        double radius = 0, tool = 0;
        if (cycle == 84) {
            const auto d = b.x2 ? distance(b.x2) : std::nullopt;
            if (!d)
                return false;
            tool = toolDiameter(0.125 * kMillimetresPerInch);
            if (std::fabs(*d) < 2 * tool) {
                skipLine_ = true; // the machine refuses it
                return true;
            }
            radius = std::fabs(*d) / 2;
        } else {
            if (b.a) {
                const auto a = distance(b.a);
                if (!a)
                    return false;
                arcRadius_ = std::fabs(*a);
            }
            if (!arcRadius_) {
                skipLine_ = true;
                return true;
            }
            radius = *arcRadius_;
            tool = toolDiameter(0);
        }
        const double path = radius - tool / 2;
        if (!(path > 0)) {
            skipLine_ = true;
            return true;
        }
        const size_t firstHole = out_.holes.size(), firstSlot = out_.slotHoles.size();
        if (current_ >= 0 && !circle({nx, ny}, path, cycle == 32, lineNo))
            stop = true;
        if (cycle == 84)
            lastCycle_ = rangeFrom(firstHole, firstSlot);
        return true;
    }
    if (rout_ && !drillHere) {
        if (routMotion_ == 2 || routMotion_ == 3)
            return arc(b, nx, ny, lineNo, stop);
        const bool cut = routMotion_ == 1 && toolDown_ && current_ >= 0;
        if (cut && !out_.addSlot(current_, lineNo, x_, y_, nx, ny, routing_))
            stop = true;
        routing_ = cut;
        x_ = nx;
        y_ = ny;
        return true;
    }
    if (b.r) { // R<n>X<dx>Y<dy>: n more holes, each moved by (dx, dy) from the one before
        // Real files repeat a hole a few hundred times at most; a count in the millions is no
        // repeat but damage, and would fill the memory with holes: the read ends there.
        constexpr int kMaxRepeat = 10000;
        const auto count = wholeNumber(b.r->digits);
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
        const double dx = b.x ? coordinate(*b.x).value_or(0) : 0;
        const double dy = b.y ? coordinate(*b.y).value_or(0) : 0;
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
    if (longMessage_) { // the lines of an M45 message up to one that does not end with a backslash
        longMessage_ = text.endsWith('\\');
        return true;
    }
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
        if (!coordinates && keyword(text, lineNo))
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
    if (pending_ == Pending::DualInLine || pending_ == Pending::CircularPackage)
        skip(pendingLine_); // a package whose corners never came
    pending_ = Pending::None;
    if (cannedTextLine_)
        sink_.warning(msg::cannedTextNotDrawn(*cannedTextLine_, cannedTextCode_), name_, *cannedTextLine_);
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
    Reader reader(name, out, outside, sink);
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
