#include "excellon/excellonreader.h"

#include "common/fileio.h"
#include "common/messages.h"
#include "gerber/linereader.h"
#include "table/holetable.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <unordered_map>

namespace kivotrek {

QString diameterText(double millimetres)
{
    QString text = QString::number(std::round(millimetres * 1000.0) / 1000.0, 'f', 3);
    if (text.endsWith(QLatin1Char('0')))
        text.chop(1); // three decimals, or two where the third is a zero
    return text;
}

namespace {
constexpr double kMillimetresPerInch = 25.4;

// A tolerance value as the lists write it: no trailing zeros ("0.1", "0.05", "0").
QString toleranceText(double millimetres)
{
    QString text = QString::number(std::round(millimetres * 1000.0) / 1000.0, 'f', 3);
    while (text.contains(QLatin1Char('.')) && (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.'))))
        text.chop(1);
    return text;
}

// One letter and the number text after it, as Excellon words are written: "X-12.5", "T01", "C0.8".
struct Word {
    char letter = 0;
    QByteArray value;
};

// The words of a line; nothing when a character fits no word (the line cannot be read).
std::optional<std::vector<Word>> wordsOf(QByteArrayView line)
{
    std::vector<Word> words;
    qsizetype i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c < 'A' || c > 'Z')
            return std::nullopt;
        Word w;
        w.letter = c;
        ++i;
        const qsizetype start = i;
        if (i < line.size() && (line[i] == '+' || line[i] == '-'))
            ++i;
        while (i < line.size() && ((line[i] >= '0' && line[i] <= '9') || line[i] == '.'))
            ++i;
        w.value = line.sliced(start, i - start).toByteArray();
        words.push_back(std::move(w));
    }
    return words;
}

// Tool numbers: "01" and "1" are one tool.
std::optional<int> toolNumber(const QByteArray& digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    bool ok = false;
    const int n = digits.toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

class Reader {
public:
    Reader(const QString& name, ExcellonDrill& out) : name_(name), out_(out) { }

    // False when the read ends at this line (a 64th tool).
    bool line(QByteArrayView raw, qint64 lineNo);
    void finish();

private:
    enum class Units { Unknown, Metric, Inch };
    enum class Zeros { Unknown, Leading, Trailing }; // the zeros that are kept

    void comment(const QString& text);
    bool keyword(const QByteArray& line);
    bool words(const std::vector<Word>& words, qint64 lineNo, bool& stop);
    std::optional<double> coordinate(const QByteArray& text);
    std::optional<double> size(const QByteArray& text) const;
    double toMillimetres(double v) const { return units() == Units::Inch ? v * kMillimetresPerInch : v; }
    Units units() const { return units_ != Units::Unknown ? units_ : commentUnits_ != Units::Unknown ? commentUnits_ : Units::Inch; }
    // The tool's index, made on its first appearance; nothing past the 63rd.
    std::optional<int> tool(int number, const QByteArray& code, qint64 lineNo);
    void skip(qint64 lineNo);
    bool move(const Word* x, const Word* y, double& nx, double& ny);

    QString name_;
    ExcellonDrill& out_;
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
    double x_ = 0, y_ = 0; // millimetres
    double offsetX_ = 0, offsetY_ = 0; // G93
    int current_ = -1; // index of the selected tool
    QString fileKind_; // from the file's attributes
    QString pendingKind_; // from a tool attribute, for the next tool definition
    bool ended_ = false; // M30 / M00
    bool inHeader_ = false;
};

void Reader::skip(qint64 lineNo)
{
    ++out_.skippedLines;
    if (!out_.firstSkippedLine)
        out_.firstSkippedLine = lineNo;
}

std::optional<int> Reader::tool(int number, const QByteArray& code, qint64 lineNo)
{
    const auto it = toolIndex_.find(number);
    if (it != toolIndex_.end())
        return it->second;
    if (out_.tools.size() >= size_t(HoleTable::kRows)) {
        out_.ending = ExcellonDrill::Ending::TooManyTools;
        out_.stoppedAtLine = lineNo;
        return std::nullopt;
    }
    ExcellonTool t;
    t.number = number;
    t.code = QStringLiteral("T") + QString::fromLatin1(code);
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

void Reader::comment(const QString& text)
{
    // Attributes: "; #@! TF.FileFunction,Plated,1,2,PTH", "; #@! TA.AperFunction,NonPlated,...".
    if (text.contains(QLatin1String("TF.FileFunction"))) {
        if (text.contains(QLatin1String(",NonPlated")))
            fileKind_ = QStringLiteral("NTH");
        else if (text.contains(QLatin1String(",Plated")))
            fileKind_ = QStringLiteral("TH");
        return;
    }
    if (text.contains(QLatin1String("TA.AperFunction"))) {
        if (text.contains(QLatin1String(",NonPlated")))
            pendingKind_ = QStringLiteral("NTH");
        else if (text.contains(QLatin1String(",Plated")))
            pendingKind_ = QStringLiteral("TH");
        return;
    }
    // Altium: ";TYPE=PLATED", ";TYPE=NON_PLATED".
    static const QRegularExpression type(QStringLiteral("^\\s*TYPE\\s*=\\s*(NON_PLATED|PLATED)"),
        QRegularExpression::CaseInsensitiveOption);
    if (const auto m = type.match(text); m.hasMatch()) {
        fileKind_ = m.captured(1).toUpper() == QLatin1String("PLATED") ? QStringLiteral("TH") : QStringLiteral("NTH");
        return;
    }
    // KiCad's decimal files: ";FORMAT={-:-/ absolute / metric / decimal}".
    static const QRegularExpression decimalFormat(QStringLiteral("^\\s*FORMAT\\s*=\\s*\\{[^}]*decimal"),
        QRegularExpression::CaseInsensitiveOption);
    if (decimalFormat.match(text).hasMatch())
        decimalComment_ = true;
    // KiCad: ";FORMAT={3:3/ absolute / metric / keep zeros}"; Altium: ";FILE_FORMAT=2:5";
    // Siemens: "; Format : 2.4 / Absolute / Inch".
    static const QRegularExpression format(
        QStringLiteral("^\\s*(?:FILE_FORMAT\\s*=|FORMAT\\s*=\\s*\\{|Format\\s*:)\\s*(\\d)\\s*[:.]\\s*(\\d)(.*)$"),
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
        QStringLiteral("^\\s*T(\\d+)\\s+Holesize\\s+\\S+\\s*=\\s*([\\d.]+)\\s+Tolerance\\s*=\\s*\\+?\\s*([\\d.]+)\\s*/\\s*-?\\s*"
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
        ExcellonTool& t = out_.tools[size_t(*index)];
        t.diameter = m.captured(2).toDouble() * factor;
        const QString plating = m.captured(5).toUpper();
        if (plating == QLatin1String("PLATED"))
            t.kind = QStringLiteral("TH");
        else if (plating == QLatin1String("NON_PLATED"))
            t.kind = QStringLiteral("NTH");
        // The tolerances, where they fit the lists of the table.
        const QString plus = toleranceText(m.captured(3).toDouble() * factor);
        const QString minus = toleranceText(m.captured(4).toDouble() * factor);
        const QStringList values = HoleTable::valueChoices(*index);
        if (plus == minus && values.contains(plus)) {
            t.sign1 = QStringLiteral("±");
            t.tol1 = plus;
        } else {
            if (values.contains(plus)) {
                t.sign1 = QStringLiteral("＋");
                t.tol1 = plus;
            }
            if (values.contains(minus)) {
                t.sign2 = QStringLiteral("－");
                t.tol2 = minus;
            }
        }
    }
}

bool Reader::keyword(const QByteArray& line)
{
    // Header and parameter lines: words of letters, maybe with a comma and values.
    const auto startsWord = [&line](const char* word) {
        const qsizetype n = qsizetype(qstrlen(word));
        return line.startsWith(word) && (line.size() == n || line[n] == ',' || line[n] == '=' || line[n] == ' ');
    };
    if (line == "M48") {
        inHeader_ = true;
        return true;
    }
    if (line == "%" || line == "M95") {
        inHeader_ = false;
        return true;
    }
    if (startsWord("METRIC") || startsWord("INCH")) {
        units_ = line.startsWith("METRIC") ? Units::Metric : Units::Inch;
        for (const QByteArray& part : line.split(',').mid(1)) {
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
    // Header parameters: VER,1  FMAT,2  ICI,OFF  ATC,ON  DETECT,ON  OM48  TCST,OFF ...
    static const QRegularExpression parameter(QStringLiteral("^[A-Z][A-Z0-9]*[A-Z]+[0-9]*(\\s*[,=].*)?$"));
    if (line.size() >= 2 && line[0] >= 'A' && line[0] <= 'Z' && line[1] >= 'A' && line[1] <= 'Z'
        && parameter.match(QString::fromLatin1(line)).hasMatch())
        return true;
    return false;
}

std::optional<double> Reader::coordinate(const QByteArray& text)
{
    if (text.isEmpty())
        return std::nullopt;
    const bool negative = text.startsWith('-');
    const QByteArray digits = (text.startsWith('-') || text.startsWith('+')) ? text.mid(1) : text;
    if (digits.isEmpty())
        return std::nullopt;
    double value = 0;
    if (digits.contains('.') || decimalComment_ || sawPoint_) {
        // A decimal file writes whole numbers without a point ("X100Y-50"): they are whole units.
        bool ok = false;
        value = digits.toDouble(&ok);
        if (!ok)
            return std::nullopt;
        if (digits.contains('.'))
            sawPoint_ = true;
    } else {
        // Implied decimals: the template, else the format comment, else the usual defaults.
        const auto digitsOf = [this]() -> std::pair<int, int> {
            if (template_)
                return *template_;
            if (commentFormat_)
                return *commentFormat_;
            return units() == Units::Metric ? std::make_pair(3, 3) : std::make_pair(2, 4);
        };
        const auto [integer, decimals] = digitsOf();
        bool ok = false;
        const double whole = digits.toDouble(&ok);
        if (!ok)
            return std::nullopt;
        if (zeros_ == Zeros::Leading) // read from the left: the missing digits are trailing zeros
            value = whole * std::pow(10.0, double(integer + decimals - int(digits.size()))) / std::pow(10.0, double(decimals));
        else
            value = whole / std::pow(10.0, double(decimals));
    }
    return toMillimetres(negative ? -value : value);
}

std::optional<double> Reader::size(const QByteArray& text) const
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !(v >= 0) || !std::isfinite(v))
        return std::nullopt;
    return toMillimetres(v);
}

bool Reader::move(const Word* x, const Word* y, double& nx, double& ny)
{
    nx = x_;
    ny = y_;
    if (x) {
        const auto v = coordinate(x->value);
        if (!v)
            return false;
        nx = incremental_ ? x_ + *v : offsetX_ + *v;
    }
    if (y) {
        const auto v = coordinate(y->value);
        if (!v)
            return false;
        ny = incremental_ ? y_ + *v : offsetY_ + *v;
    }
    return true;
}

bool Reader::words(const std::vector<Word>& words, qint64 lineNo, bool& stop)
{
    // Tool lines: T01, T1C0.8, T01F00S00C0.03150, T1C.015F095S3.
    if (words.front().letter == 'T') {
        const auto number = toolNumber(words.front().value);
        if (!number)
            return false;
        const Word* c = nullptr;
        for (const Word& w : words) {
            if (w.letter == 'C')
                c = &w;
            else if (w.letter != 'T' && w.letter != 'F' && w.letter != 'S' && w.letter != 'B' && w.letter != 'H'
                && w.letter != 'Z' && w.letter != 'N' && w.letter != 'D')
                return false;
        }
        if (*number == 0 && !c) {
            current_ = -1; // T0 unloads
            return true;
        }
        const auto index = tool(*number, words.front().value, lineNo);
        if (!index) {
            stop = true;
            return true;
        }
        ExcellonTool& t = out_.tools[size_t(*index)];
        if (c) {
            const auto d = size(c->value);
            if (!d)
                return false;
            t.diameter = *d;
            if (!pendingKind_.isEmpty())
                t.kind = pendingKind_;
            pendingKind_.clear();
        }
        if (!c || !inHeader_)
            current_ = *index;
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
            bool ok = false;
            const int code = w.value.toInt(&ok);
            if (!ok)
                return false;
            if (code == 85)
                slot = true;
            else
                g = code;
            break;
        }
        case 'M': {
            bool ok = false;
            const int code = w.value.toInt(&ok);
            if (!ok)
                return false;
            switch (code) {
            case 30:
            case 0: ended_ = true; break; // end of program
            case 15: toolDown_ = true; break;
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
            offsetX_ = x ? coordinate(x->value).value_or(0) : 0;
            offsetY_ = y ? coordinate(y->value).value_or(0) : 0;
            return true;
        }
        case 40:
        case 41:
        case 42:
        case 80:
        case 2:
        case 3: break; // compensation, canned cycles off, arcs: the position still moves
        default: break;
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
        if (current_ >= 0)
            out_.slotHoles.push_back({current_, nx, ny, ex, ey});
        x_ = ex;
        y_ = ey;
        return true;
    }
    if (rout_) {
        if (routMotion_ == 1 && toolDown_ && current_ >= 0)
            out_.slotHoles.push_back({current_, x_, y_, nx, ny});
        x_ = nx;
        y_ = ny;
        return true;
    }
    if (repeat) { // R<n>X<dx>Y<dy>: n more holes, each moved by (dx, dy) from the one before
        bool ok = false;
        const int n = repeat->value.toInt(&ok);
        if (!ok || n < 0)
            return false;
        const double dx = x ? coordinate(x->value).value_or(0) : 0;
        const double dy = y ? coordinate(y->value).value_or(0) : 0;
        for (int k = 0; k < n; ++k) {
            x_ += dx;
            y_ += dy;
            if (current_ >= 0)
                out_.holes.push_back({current_, x_, y_});
        }
        return true;
    }
    x_ = nx;
    y_ = ny;
    if (current_ >= 0)
        out_.holes.push_back({current_, x_, y_});
    return true;
}

bool Reader::line(QByteArrayView raw, qint64 lineNo)
{
    if (ended_)
        return true;
    QByteArray text = raw.toByteArray();
    while (!text.isEmpty() && (text.endsWith('\r') || text.endsWith(' ') || text.endsWith('\t')))
        text.chop(1);
    text = text.trimmed();
    if (text.isEmpty())
        return true;
    if (text.startsWith(';')) {
        comment(QString::fromLatin1(text.mid(1)));
        return true;
    }
    // "( ... )" comments inside a line.
    for (qsizetype open = text.indexOf('('); open >= 0; open = text.indexOf('(')) {
        const qsizetype close = text.indexOf(')', open);
        text.remove(open, close < 0 ? text.size() - open : close - open + 1);
    }
    text = text.trimmed().toUpper();
    if (text.isEmpty())
        return true;
    if (keyword(text))
        return true;
    const auto parsed = wordsOf(text);
    if (!parsed || parsed->empty()) {
        skip(lineNo);
        return true;
    }
    bool stop = false;
    if (!words(*parsed, lineNo, stop))
        skip(lineNo);
    return !stop;
}

void Reader::finish()
{
    // Plated or not: the tool's own attribute, else the file's, else the file's name.
    QString byName;
    const QString file = QFileInfo(name_).fileName().toLower();
    if (file.contains(QLatin1String("npth")) || file.contains(QLatin1String("unplated"))
        || file.contains(QLatin1String("nonplated")) || file.contains(QLatin1String("non-plated")))
        byName = QStringLiteral("NTH");
    else if (file.contains(QLatin1String("pth")) || file.contains(QLatin1String("plated")))
        byName = QStringLiteral("TH");
    for (ExcellonTool& t : out_.tools) {
        if (t.kind.isEmpty())
            t.kind = !fileKind_.isEmpty() ? fileKind_ : byName;
    }
}

bool looksBinary(QIODevice& device)
{
    const QByteArray head = device.peek(4096);
    int control = 0;
    for (char c : head) {
        const auto u = static_cast<unsigned char>(c);
        if (u == 0)
            return true;
        if (u < 0x20 && u != '\n' && u != '\r' && u != '\t' && u != '\f')
            ++control;
    }
    return control * 10 > head.size();
}
} // namespace

ExcellonDrill readExcellon(QIODevice& device, const QString& name, const MessageSink& sink)
{
    ExcellonDrill out;
    const auto say = [&sink](const QString& text) {
        if (sink)
            sink(text);
    };
    if (looksBinary(device)) {
        device.close();
        out.ending = ExcellonDrill::Ending::Unreadable;
        say(msg::binaryDrillFile(name));
        return out;
    }
    LineReader lines(device);
    lines.keepUnterminatedLastLine();
    Reader reader(name, out);
    QByteArrayView line;
    bool stopped = false;
    while (!stopped && lines.next(line))
        stopped = !reader.line(line, lines.lineNumber());
    device.close();
    reader.finish();
    if (stopped) {
        say(msg::tooManyHoleKinds(out.stoppedAtLine.value_or(lines.lineNumber())));
        return out;
    }
    if (lines.tooLong()) {
        ++out.skippedLines;
        if (!out.firstSkippedLine)
            out.firstSkippedLine = lines.lineNumber() + 1;
    } else if (lines.failed()) {
        out.ending = ExcellonDrill::Ending::Unreadable;
        say(msg::readError(name));
        return out;
    }
    if (out.skippedLines > 0)
        say(msg::linesSkipped(out.skippedLines, *out.firstSkippedLine));
    if (out.holes.empty() && out.slotHoles.empty())
        say(msg::noHoles(name));
    return out;
}

ExcellonDrill readExcellon(const QString& path, const MessageSink& sink)
{
    const bool regular = isRegularFile(path);
    QFile file(path);
    if (!regular || !file.open(QIODevice::ReadOnly)) {
        if (sink)
            sink(regular || !QFileInfo::exists(path) ? msg::cannotOpen(path) : msg::notARegularFile(path));
        ExcellonDrill out;
        out.ending = ExcellonDrill::Ending::Unreadable;
        return out;
    }
    return readExcellon(file, path, sink);
}

bool looksLikeExcellon(const QString& path)
{
    QFile file(path);
    if (!isRegularFile(path) || !file.open(QIODevice::ReadOnly))
        return false;
    static const QRegularExpression toolDefinition(QStringLiteral("^T\\d+[A-Z0-9.]*C[\\d.]"));
    const QList<QByteArray> lines = file.read(16 * 1024).split('\n');
    for (qsizetype i = 0; i < lines.size() && i < 40; ++i) {
        const QByteArray l = lines[i].trimmed().toUpper();
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
