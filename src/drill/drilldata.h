#pragma once

// What a drill file holds once read, whatever its format (Excellon, Gerber): its tools, holes
// and slots, and any outline, in whole nanometres (file coordinates, y up, unshifted). The
// drawing, the board and the batch command take them from there, in millimetres.

#include "common/largeblocks.h"
#include "table/holetable.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace kivotrek {

struct DrillTool {
    int number = 0; // T01 and T1 are tool 1; D10 is 10
    QString code; // as the file first writes it: "T1", "T01", "D10"
    std::optional<double> diameter; // millimetres
    QString kind; // "TH", "NTH" or empty, from the file's attributes or its name
    bool kindStated = false; // the kind is the tool's own (an attribute or a comment of the tool)
    QString sign1, tol1, sign2, tol2; // from the file's tolerances, where they fit the lists
    QString function; // what the file says the holes are for ("ViaDrill", "ComponentDrill", ...)
};

// The file's line that made a hole, a slot or an outline piece, for the messages of a drawing
// that stops there (a line beyond 32 bits keeps the largest number).
using SourceLine = int32_t;
inline SourceLine sourceLine(qint64 lineNo)
{
    return SourceLine(std::min<qint64>(lineNo, std::numeric_limits<SourceLine>::max()));
}

// A coordinate as a board holds it: whole nanometres in 32 bits, ±2.147 m, whatever the file's
// unit (0.0001 inch is 2,540 nm, 0.001 mm is 1,000 nm).
using Nanometres = int32_t;
// The millimetres of a coordinate (correctly rounded: 1,231,900 nm is the double nearest 1.2319).
inline double toMillimetres(Nanometres v)
{
    return static_cast<double>(v) / 1e6;
}
// Millimetres to the nearest whole nanometre; none for a value beyond 32 bits or no number: a
// coordinate the board cannot hold.
// (Inline: it is called for every coordinate a drill file gives.)
inline std::optional<Nanometres> nanometres(double millimetres)
{
    const double scaled = millimetres * 1e6;
    if (!(std::fabs(scaled) < 4503599627370496.0)) // 2^52: far beyond 32 bits, or no number
        return std::nullopt;
    // Rounded to the nearest whole number, half to even, as nearbyint does, without its call:
    // added to 1.5 x 2^52, where a double's step is 1, and taken off again.
    constexpr double kRound = 6755399441055744.0;
    const double v = (scaled + kRound) - kRound;
    if (!(v >= double(std::numeric_limits<Nanometres>::min())
            && v <= double(std::numeric_limits<Nanometres>::max())))
        return std::nullopt; // beyond 32 bits, or no number
    return Nanometres(v);
}

struct DrillHit;
struct DrillSlot;
struct OutlineSegment;

struct DrillHit {
    int32_t tool = 0; // index into DrillData::tools
    SourceLine line = 0;
    Nanometres nx = 0, ny = 0;
    double x() const { return toMillimetres(nx); }
    double y() const { return toMillimetres(ny); }
};
static_assert(sizeof(DrillHit) == 16, "a hole stays 16 bytes");

struct DrillSlot {
    int32_t tool = 0;
    SourceLine line = 0;
    Nanometres nx1 = 0, ny1 = 0, nx2 = 0, ny2 = 0;
    bool joined = false; // continues the slot before it (a routed path, an arc in pieces)
    double x1() const { return toMillimetres(nx1); }
    double y1() const { return toMillimetres(ny1); }
    double x2() const { return toMillimetres(nx2); }
    double y2() const { return toMillimetres(ny2); }
};

// A board's holes: hundreds of thousands in a large file.
using HoleList = std::vector<DrillHit, LargeBlockAllocator<DrillHit>>;

// A line of the board's outline (arcs come in short pieces).
struct OutlineSegment {
    Nanometres nx1 = 0, ny1 = 0, nx2 = 0, ny2 = 0;
    SourceLine line = 0;
    double x1() const { return toMillimetres(nx1); }
    double y1() const { return toMillimetres(ny1); }
    double x2() const { return toMillimetres(nx2); }
    double y2() const { return toMillimetres(ny2); }
};

// A hole, a slot piece, an outline piece at millimetres; none for a coordinate beyond what a
// board holds.
std::optional<DrillHit> holeAt(int tool, qint64 lineNo, double x, double y);
std::optional<DrillSlot> slotAt(
    int tool, qint64 lineNo, double x1, double y1, double x2, double y2, bool joined);
std::optional<OutlineSegment> outlineAt(qint64 lineNo, double x1, double y1, double x2, double y2);

// The most holes, slot pieces and outline pieces a file may ask for, step and repeat, aperture
// blocks and repeated holes included (a panel of fifty 100,000-hole boards): a file asking for
// more is damaged, not a board, and would fill the memory.
constexpr qint64 kMaxDrillObjects = 5'000'000;

// How a drill file's numbers without a decimal point are read: the unit, the digits before and
// after the implied point, which zeros are written, and where that came from.
struct CoordinateFormat {
    enum class Zeros {
        Leading, // leading zeros kept, trailing ones left out: read from the left (LZ)
        Trailing, // trailing zeros kept: read from the right (TZ)
        All, // every digit written
    };
    enum class Source {
        Decimal, // the numbers have decimal points: no format is needed
        File, // the file states its digits (a template or a format comment)
        NcParam, // Allegro's nc_param.txt beside the file
        Assumed, // nothing states them: the usual defaults
        Fitted, // nothing states them: the format whose holes lie inside the board's outline
    };
    bool inch = true;
    int integer = 2;
    int decimals = 4;
    Zeros zeros = Zeros::Trailing;
    Source source = Source::Assumed;
    bool unitStated = false; // the file names its unit
    bool zerosStated = false; // the file names its zeros
    bool used = false; // numbers without a point were read with it
    // What the numbers show: one of two digits or more began (or ended) with a zero.
    bool leadingZerosWritten = false;
    bool trailingZerosWritten = false;

    friend bool operator==(const CoordinateFormat& a, const CoordinateFormat& b)
    {
        return a.inch == b.inch && a.integer == b.integer && a.decimals == b.decimals && a.zeros == b.zeros;
    }
    // As the messages name it: "INCH 2.4（先頭ゼロ）".
    QString text() const;
};

struct DrillData {
    enum class Ending {
        Complete, // read to its end
        TooManyTools, // a 64th tool: the read ends at its line
        LimitReached, // a limit of the reader (limit says which): the read ends at its line
        Unreadable, // the file could not be opened, is no regular file, or is binary
    };
    enum class Limit {
        None,
        Objects, // more than kMaxDrillObjects holes, slot pieces and outline pieces
        Length, // a line (or a word running over lines) longer than the line reader's cap
        Repeats, // a repeat of holes beyond its count
        Range, // a coordinate beyond what a board holds (±2.147 m)
    };
    // What the file is for: holes, or the board's outline (a Gerber profile file).
    enum class Role { Drill, Outline };
    Ending ending = Ending::Complete;
    Role role = Role::Drill;
    std::vector<DrillTool> tools; // in order of first appearance
    HoleList holes;
    std::vector<DrillSlot> slotHoles;
    std::vector<OutlineSegment> outline; // a profile's lines, or a drill file's region edges
    qint64 skippedLines = 0; // lines no rule could read
    std::optional<qint64> firstSkippedLine;
    std::optional<qint64> stoppedAtLine; // for TooManyTools and LimitReached
    Limit limit = Limit::None; // for LimitReached
    qint64 limitValue = 0; // the limit passed: how many objects or repeats
    QString reason; // for Unreadable: why, as the user was told
    // An Excellon file whose numbers without a point no statement formats (up to 64 MiB): its
    // bytes, so that a format fitted to the board's outline reads them again without opening
    // the file. Empty otherwise.
    QByteArray text;
    // An Excellon file's coordinate format; none for Gerber files, which state theirs.
    std::optional<CoordinateFormat> format;
    bool statesFunction = false; // a Gerber file's .FileFunction attribute was read
    // What the file as a whole is: "TH" (plated), "NTH" (non-plated) by its attributes, else by
    // its name; empty for a file of both or one that does not say.
    QString fileKind;

    // Slots as a user counts them: a routed path is one slot however many pieces it has.
    qint64 slotCount() const;

    // A hole, a slot piece, an outline piece at millimetres: false, with the read ended at the
    // line as a limit of the reader, for a coordinate beyond what a board holds.
    bool addHole(int tool, qint64 lineNo, double x, double y);
    bool addSlot(int tool, qint64 lineNo, double x1, double y1, double x2, double y2, bool joined = false);
    bool addOutline(qint64 lineNo, double x1, double y1, double x2, double y2);
};

// The text of a diameter in millimetres: rounded to three decimals, a trailing zero dropped
// down to two (0.8 -> "0.80", 0.381 -> "0.381", 0.8001 -> "0.80").
QString diameterText(double millimetres);

// A tolerance value as the lists write it: no trailing zeros ("0.1", "0.05", "0").
QString toleranceText(double millimetres);

// Sets the tool's tolerances as the file states them, to the micrometre: "±" when both are
// equal, else "＋" plus and "－" minus, whether or not the value is one of the table's choices.
void fitTolerances(DrillTool& tool, double plusMillimetres, double minusMillimetres);

// "TH" or "NTH" when the file's name says it (-PTH, -NPTH, plated, unplated), else empty.
QString kindFromFileName(const QString& path);

} // namespace kivotrek
