// Any input, read by either reader, ends cleanly with a consistent table and extent.

#include "board/readers.h"
#include "excellon/excellonreader.h"
#include "gerber/formatsniffer.h"
#include "gerber/rs274xreader.h"
#include "gerber/standardreader.h"
#include "gerber/x2reader.h"
#include "testutil.h"

#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>

using namespace kivotrek;

namespace {
enum class GerberReader { Standard, Rs274x };

ReadResult readGerber(
    GerberReader reader, const QString& path, HoleTable& table, BoardExtent& extent, const MessageSink& sink)
{
    return reader == GerberReader::Standard ? readStandardGerber(path, table, extent, sink)
                                            : readRs274xGerber(path, table, extent, sink);
}

std::string gerberReaderName(const testing::TestParamInfo<GerberReader>& info)
{
    return info.param == GerberReader::Standard ? "Standard" : "Rs274x";
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

// Each Gerber reader on its own: one failing reader does not hide the other.
class GerberRobustness : public testing::TestWithParam<GerberReader> {
protected:
    // Random bytes are no drill data: refused as such; Gerber-like noise is read.
    void read(const QString& path, bool randomBytes)
    {
        HoleTable table;
        BoardExtent extent;
        QStringList messages;
        const MessageSink sink = [&](const QString& m) { messages << m; };
        const ReadResult r = readGerber(GetParam(), path, table, extent, sink);
        if (randomBytes && r.ending == ReadEnding::Unreadable) {
            ASSERT_EQ(messages,
                QStringList({path + QStringLiteral("は穴データのファイルではないため、読み込めません。")}));
            return;
        }
        ASSERT_NE(r.ending, ReadEnding::Unreadable);
        ASSERT_GE(extent.maxX, 0);
        ASSERT_GE(extent.maxY, 0);
        ASSERT_LE(messages.size(), 64); // the digit-count warning can repeat per line
        bool freeSeen = false;
        for (int i = 0; i < HoleTable::kRows; ++i) {
            if (table.row(i).dcode == QStringLiteral("D"))
                freeSeen = true;
            else
                ASSERT_FALSE(freeSeen) << "used rows must have no gap";
        }
        if (r.ending == ReadEnding::Complete)
            ASSERT_FALSE(r.stoppedAtLine);
        else
            ASSERT_TRUE(r.stoppedAtLine);
    }
};
} // namespace

TEST_P(GerberRobustness, EveryPrefixOfValidFiles)
{
    test::Scratch s;
    for (const char* name : {"board_100x80.gbr", "rs274x_basic.gbr", "crlf.gbr"}) {
        const QByteArray data = fileBytes(test::dataPath(name));
        for (qsizetype n = 0; n <= data.size(); ++n) {
            read(s.write(QStringLiteral("prefix.gbr"), data.left(n)), false);
            if (HasFatalFailure())
                return;
        }
    }
}

TEST_P(GerberRobustness, RandomBytesAndGerberLikeNoise)
{
    QRandomGenerator rng(12345);
    test::Scratch s;
    const QByteArray alphabet = "XYDGJ0123456789-+.*%ADCFSLNTR,\r\n E";
    for (int round = 0; round < 300; ++round) {
        QByteArray data;
        const int size = rng.bounded(2000);
        for (int i = 0; i < size; ++i) {
            if (round % 2)
                data += char(rng.bounded(256));
            else
                data += alphabet.at(rng.bounded(alphabet.size()));
        }
        read(s.write(QStringLiteral("noise.gbr"), data), round % 2);
        if (HasFatalFailure())
            return;
    }
}

TEST_P(GerberRobustness, ALineThatNeverEndsStopsTheRead)
{
    // Beyond the 64 MiB cap: the read ends there with the fault message instead of buffering
    // the whole file (or /dev/zero for ever).
    test::Scratch s;
    const QString path = s.path(QStringLiteral("endless.gbr"));
    test::writeEndlessThirdLine(path);
    HoleTable table;
    BoardExtent extent;
    test::Messages said;
    const ReadResult r = readGerber(GetParam(), path, table, extent, said.sink());
    EXPECT_EQ(r.ending, ReadEnding::Fault);
    EXPECT_EQ(r.stoppedAtLine, 3);
    EXPECT_EQ(said.texts,
        QStringList({QStringLiteral("3行目のデータを読み込めないため、読み込みを中止しました。")}));
}

TEST_P(GerberRobustness, PassAByteOrderMarkOver)
{
    // The standard and RS-274X readers keep their line feeds, and pass a byte order mark over.
    test::Scratch s;
    const bool standard = GetParam() == GerberReader::Standard;
    const QString path = s.write(QStringLiteral("bom.gbr"),
        standard ? "\xEF\xBB\xBFG54D10*\nX1000Y2000D03*\n"
                 : "\xEF\xBB\xBF%FSLAX23Y23*%\n%ADD10C,0.800*%\nX1000Y2000D03*\n");
    HoleTable table;
    BoardExtent extent;
    EXPECT_EQ(readGerber(GetParam(), path, table, extent, {}).ending, ReadEnding::Complete);
    EXPECT_EQ(table.row(0).dcode, QStringLiteral("D10"));
    EXPECT_EQ(extent.maxY, 113);
    if (!standard) {
        EXPECT_EQ(extent.unitScale, 0.0567f);
        EXPECT_EQ(table.row(0).diameter, QStringLiteral("0.80"));
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, GerberRobustness,
    testing::Values(GerberReader::Standard, GerberReader::Rs274x), gerberReaderName);

TEST(Robustness, HugeFileWithoutALineFeedReadsNothing)
{
    test::Scratch s;
    const QByteArray chunk(1 << 20, 'X');
    const QString path = s.path(QStringLiteral("nolf.gbr"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 20; ++i)
            f.write(chunk);
    }
    HoleTable table;
    BoardExtent extent;
    const ReadResult r = readStandardGerber(path, table, extent, {});
    EXPECT_EQ(r.ending, ReadEnding::Complete);
    EXPECT_EQ(extent.maxX, 0);
}

TEST(Robustness, DirectoryIsUnreadable)
{
    HoleTable table;
    BoardExtent extent;
    QStringList messages;
    const ReadResult r = readStandardGerber(
        QString::fromUtf8(KIVOTREK_TEST_DATA), table, extent, [&](const QString& m) { messages << m; });
    EXPECT_EQ(r.ending, ReadEnding::Unreadable);
    EXPECT_EQ(messages.size(), 1);
}

namespace {
enum class DrillReader { Excellon, GerberX2 };

DrillData readDrill(DrillReader reader, const QString& path, const MessageSink& sink)
{
    return reader == DrillReader::GerberX2 ? readGerberX2(path, sink) : readExcellon(path, sink);
}

std::string drillReaderName(const testing::TestParamInfo<DrillReader>& info)
{
    return info.param == DrillReader::Excellon ? "Excellon" : "GerberX2";
}

class DrillRobustness : public testing::TestWithParam<DrillReader> { };
} // namespace

TEST_P(DrillRobustness, ALineThatNeverEndsEndsTheReadAsALimit)
{
    // The Excellon and Gerber X2 readers skip a line they cannot read, but one beyond the cap
    // ends the read: the rest of the file was never read, and that is said.
    test::Scratch s;
    const QString path = s.path(QStringLiteral("endless.drl"));
    test::writeEndlessThirdLine(path, "M48\nMETRIC\n", "T1C0.8\nX1Y1\nM30\n");
    test::Messages said;
    const DrillData d = readDrill(GetParam(), path, said.sink());
    EXPECT_EQ(d.ending, DrillData::Ending::LimitReached);
    EXPECT_EQ(d.limit, DrillData::Limit::Length);
    EXPECT_EQ(d.stoppedAtLine, 3);
    EXPECT_EQ(said.texts,
        QStringList({QStringLiteral(
            "3行目からのデータが長さの上限（64 MiB）を超えるため、読み込みを中止しました。")}));
}

INSTANTIATE_TEST_SUITE_P(
    Readers, DrillRobustness, testing::Values(DrillReader::Excellon, DrillReader::GerberX2), drillReaderName);

TEST(Robustness, PipesAndDevicesAreRefusedByName)
{
    test::Scratch s;
    const QString fifo = s.path(QStringLiteral("pipe.gbr"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0); // no writer: opening it would block
    for (const QString& path : {fifo, QStringLiteral("/dev/zero")}) {
        HoleTable table;
        BoardExtent extent;
        QStringList messages;
        const ReadResult r =
            readStandardGerber(path, table, extent, [&](const QString& m) { messages << m; });
        EXPECT_EQ(r.ending, ReadEnding::Unreadable);
        EXPECT_EQ(
            messages, QStringList({path + QStringLiteral("は通常のファイルではないため、読み込めません。")}));
        EXPECT_FALSE(looksLikeRs274x(path));
    }
}

namespace {
struct LineEnd {
    const char* name;
    const char* bytes;
};
using LineEndCase = std::tuple<LineEnd, bool>; // the line end, with a byte order mark

std::string lineEndName(const testing::TestParamInfo<LineEndCase>& info)
{
    return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "WithByteOrderMark" : "");
}

class DrillLineEnds : public testing::TestWithParam<LineEndCase> { };
} // namespace

TEST_P(DrillLineEnds, EndEveryLineInBothDrillReaders)
{
    test::Scratch s;
    const auto& [end, bom] = GetParam();
    const auto file = [&](const char* name, QByteArray text) {
        text.replace("\n", end.bytes);
        return s.write(QString::fromLatin1(name), bom ? "\xEF\xBB\xBF" + text : text);
    };
    const QString drl = file("board.drl", "M48\nMETRIC\nT1C0.8\n%\nT1\nX1.0Y1.0\nX2.0Y2.0\nM30\n");
    EXPECT_EQ(detectReader(drl), ReaderKind::Excellon);
    const DrillData e = readExcellon(drl, {});
    EXPECT_EQ(e.holes.size(), 2u);
    EXPECT_EQ(e.skippedLines, 0);
    EXPECT_EQ(e.tools.size(), 1u);
    const DrillData g = readGerberX2(file("board.gbr",
                                         "%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.8*%\nD10*\nX1000000Y1000000D03*"
                                         "\nX2000000Y2000000D03*\nM02*\n"),
        {});
    EXPECT_EQ(g.holes.size(), 2u);
    EXPECT_EQ(g.skippedLines, 0);
}

INSTANTIATE_TEST_SUITE_P(Ends, DrillLineEnds,
    testing::Combine(testing::Values(LineEnd {"LF", "\n"}, LineEnd {"CR", "\r"}, LineEnd {"CRLF", "\r\n"},
                         LineEnd {"LFCR", "\n\r"}),
        testing::Bool()),
    lineEndName);
