#include "common/linereader.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
QList<QByteArray> linesOf(const QByteArray& data, bool anyLineEnd = false)
{
    QByteArray copy = data;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    LineReader r(buf);
    if (anyLineEnd) {
        r.endLinesAtAnyLineEnd();
        r.keepUnterminatedLastLine();
    }
    QList<QByteArray> out;
    QByteArray line;
    while (r.next(line))
        out << line;
    EXPECT_EQ(r.lineNumber(), out.size());
    EXPECT_FALSE(r.failed());
    return out;
}
} // namespace

TEST(LineReader, SplitsOnLineFeedOnly)
{
    EXPECT_EQ(linesOf("G54D10*\nX1Y2D03*\n"), QList<QByteArray>({"G54D10*", "X1Y2D03*"}));
    EXPECT_EQ(linesOf("A*\r\nB*\r\n"), QList<QByteArray>({"A*\r", "B*\r"})); // CR stays
    EXPECT_EQ(linesOf("\n\n"), QList<QByteArray>({"", ""}));
}

TEST(LineReader, DropsALastLineWithoutLineFeed)
{
    EXPECT_EQ(linesOf("G54D10*\nM02*"), QList<QByteArray>({"G54D10*"}));
    EXPECT_TRUE(linesOf("no line feed at all").isEmpty());
    EXPECT_TRUE(linesOf("").isEmpty());
    // Carriage returns alone end no line: the whole file is one line, delivered only with its LF.
    EXPECT_EQ(linesOf("A*\rB*\rC*\r\n"), QList<QByteArray>({"A*\rB*\rC*\r"}));
    EXPECT_TRUE(linesOf("A*\rB*\r").isEmpty());
}

TEST(LineReader, AByteOrderMarkIsPassedOver)
{
    EXPECT_EQ(linesOf("\xEF\xBB\xBFG54D10*\nX1Y2D03*\n"), QList<QByteArray>({"G54D10*", "X1Y2D03*"}));
    EXPECT_EQ(linesOf("\xEF\xBB\xBF\n"), QList<QByteArray>({""}));
    // Only at the start of the file.
    EXPECT_EQ(linesOf("A*\n\xEF\xBB\xBF"
                      "B*\n"),
        QList<QByteArray>({"A*",
            "\xEF\xBB\xBF"
            "B*"}));
}

TEST(LineReader, AnyLineEndForTheDrillReaders)
{
    const QList<QByteArray> three {"M48", "T1C0.8", "X1Y1"};
    for (const char* end : {"\n", "\r", "\r\n", "\n\r"}) {
        const QByteArray e(end);
        EXPECT_EQ(linesOf("M48" + e + "T1C0.8" + e + "X1Y1" + e, true), three) << e.toHex().constData();
        EXPECT_EQ(linesOf("M48" + e + "T1C0.8" + e + "X1Y1", true), three) << e.toHex().constData();
        // Empty lines stay lines: the line numbers of messages are the editor's.
        EXPECT_EQ(linesOf("M48" + e + e + "X1Y1" + e, true), QList<QByteArray>({"M48", "", "X1Y1"}));
    }
    // Mixed: CR LF then a lone CR, and LF CR LF (a line end and an empty line).
    EXPECT_EQ(linesOf("A\r\nB\rC\n\r\nD", true), QList<QByteArray>({"A", "B", "C", "", "D"}));
    // A CR LF split by the read buffer is one line end.
    QByteArray data = QByteArray(64 * 1024 - 1, 'X') + "\r\nY\r\n";
    const QList<QByteArray> split = linesOf(data, true);
    ASSERT_EQ(split.size(), 2);
    EXPECT_EQ(split[1], QByteArray("Y"));
    // Many short CR lines in one buffer: each found without scanning the rest again.
    QByteArray many;
    for (int i = 0; i < 200000; ++i)
        many += "X" + QByteArray::number(i) + "\r";
    EXPECT_EQ(linesOf(many, true).size(), 200000);
}

TEST(LineReader, LinesAcrossBufferBoundaries)
{
    QByteArray data;
    QList<QByteArray> expected;
    for (int i = 0; i < 20000; ++i) {
        QByteArray l = "X" + QByteArray::number(i * 7) + "Y" + QByteArray::number(i) + "D03*";
        expected << l;
        data += l + '\n';
    }
    const QByteArray longLine(200000, 'Z'); // longer than the read buffer
    expected << longLine;
    data += longLine + '\n';
    data += '\0';
    data += "\n";
    expected << QByteArray(1, '\0');
    EXPECT_EQ(linesOf(data), expected);
}

TEST(LineReader, ALineBeyondTheCapEndsTheReading)
{
    QByteArray data = "G54D10*\nX1Y1D03*\n" + QByteArray(100, 'X') + "\nX2Y2D03*\n";
    QBuffer buf(&data);
    buf.open(QIODevice::ReadOnly);
    LineReader r(buf, 64);
    QByteArray line;
    EXPECT_TRUE(r.next(line));
    EXPECT_TRUE(r.next(line));
    EXPECT_FALSE(r.next(line)); // line 3 is longer than 64 bytes
    EXPECT_TRUE(r.tooLong());
    EXPECT_EQ(r.lineNumber(), 2);
    EXPECT_FALSE(r.next(line)); // and nothing after it
}
