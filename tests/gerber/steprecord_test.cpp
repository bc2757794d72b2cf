#include "gerber/steprecord.h"

#include <QBuffer>
#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace kivotrek;
using steps::Step;

namespace {
Step stepOf(uint16_t flags, int32_t x = 0, int32_t y = 0)
{
    Step s;
    s.flags = flags;
    s.x = x;
    s.y = y;
    return s;
}
} // namespace

// Every step comes back from the record as it went in, whether it is kept short (a flash or a
// move by its distance from the one before) or whole: far jumps both ways across the 32-bit
// range, lines far apart, tool selections, a coordinate given alone.
TEST(StepRecord, EveryStepComesBackAsItWentIn)
{
    StepRecord record;
    std::vector<StepRecord::Entry> expected;
    QStringList codes;
    qint64 line = 1;
    const auto add = [&](const Step& s, const QString& code = QString()) {
        record.add(s, code, line);
        StepRecord::Entry e;
        e.flags = s.flags;
        e.x = s.has(Step::HasX) ? s.x : 0;
        e.y = s.has(Step::HasY) ? s.y : 0;
        e.line = sourceLine(line);
        if (s.namesTool()) {
            if (!codes.contains(code))
                codes << code;
            e.code = uint16_t(codes.indexOf(code));
        }
        expected.push_back(e);
    };
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    add(stepOf(Step::Tool), QStringLiteral("D10"));
    ++line;
    add(stepOf(Step::D03 | Step::HasX | Step::HasY, 1000, 2000));
    ++line;
    add(stepOf(Step::D03 | Step::HasX, 1001)); // X alone
    line += 70000; // far below
    add(stepOf(Step::D03 | Step::HasY, 0, -5));
    ++line;
    add(stepOf(Step::D02 | Step::HasX | Step::HasY, kMax, kMin)); // across the whole range
    ++line;
    add(stepOf(Step::D01 | Step::HasX | Step::HasY, kMin, kMax));
    ++line;
    add(stepOf(Step::Tool), QStringLiteral("D11"));
    ++line;
    add(stepOf(Step::Tool), QStringLiteral("D10")); // a code named before keeps its index
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> near(-3000, 3000);
    std::uniform_int_distribution<int32_t> anywhere(kMin, kMax);
    int32_t x = 0, y = 0;
    for (int i = 0; i < 5000; ++i) {
        line += (i % 17 == 0) ? 1 + i : 1;
        x = (i % 101 == 0) ? anywhere(random) : int32_t(x + near(random) / 2);
        y = (i % 97 == 0) ? anywhere(random) : int32_t(y + near(random) / 2);
        add(stepOf((i % 3 == 0 ? Step::D01 : Step::D03) | Step::HasX | Step::HasY, x, y));
    }
    const std::vector<StepRecord::Entry> got(record.entries().begin(), record.entries().end());
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_EQ(record.entries().size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].flags, expected[i].flags);
        EXPECT_EQ(got[i].code, expected[i].code);
        EXPECT_EQ(got[i].x, expected[i].x);
        EXPECT_EQ(got[i].y, expected[i].y);
        EXPECT_EQ(got[i].line, expected[i].line);
    }
    EXPECT_EQ(record.codes(), (QStringList {QStringLiteral("D10"), QStringLiteral("D11")}));
    // A flash on the next line, near the last, takes a few bytes.
    EXPECT_LT(record.byteSize(), expected.size() * 6);
    // Moved, the record is the same; the one it came from is empty.
    StepRecord moved = std::move(record);
    EXPECT_EQ(moved.entries().size(), expected.size());
    EXPECT_TRUE(record.entries().empty()); // NOLINT(bugprone-use-after-move): moved from on purpose
    EXPECT_EQ(std::vector<StepRecord::Entry>(moved.entries().begin(), moved.entries().end()).back().x,
        expected.back().x);
}

// A file's steps read from a device: a flash of a file of a million lines is kept in about a
// third of the 16 bytes a whole step takes.
TEST(StepRecord, AFileOfFlashesIsKeptInAFewBytesAStep)
{
    QByteArray text = "G54D10*\n";
    for (int i = 0; i < 100000; ++i)
        text += "X" + QByteArray::number(100000 + (i % 300) * 2540) + "Y"
            + QByteArray::number(50000 + (i / 300) * 2540) + "D03*\n";
    text += "M02*\n";
    QBuffer device(&text);
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    const StepRecord record = recordSteps(device, QStringLiteral("board.gbr"));
    EXPECT_EQ(record.ending(), StepRecord::Ending::Complete);
    ASSERT_EQ(record.entries().size(), 100001u);
    EXPECT_LT(record.byteSize(), size_t(100001) * 6);
    int32_t lastX = 0;
    size_t flashes = 0;
    for (const StepRecord::Entry& e : record.entries()) {
        if (e.flags & Step::D03) {
            ++flashes;
            lastX = e.x;
        }
    }
    EXPECT_EQ(flashes, 100000u);
    EXPECT_EQ(lastX, 100000 + (99999 % 300) * 2540);
}
