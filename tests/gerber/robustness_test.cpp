// Any input, read by either reader, ends cleanly with a consistent table and extent.

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

using namespace kivotrek;

namespace {
// Random bytes are no drill data: refused as such; Gerber-like noise is read.
void readBoth(const QString& path, bool randomBytes)
{
    for (int reader = 0; reader < 2; ++reader) {
        HoleTable table;
        BoardExtent extent;
        QStringList messages;
        const MessageSink sink = [&](const QString& m) { messages << m; };
        const ReadResult r = reader == 0 ? readStandardGerber(path, table, extent, sink)
                                         : readRs274xGerber(path, table, extent, sink);
        if (randomBytes && r.ending == ReadEnding::Unreadable) {
            ASSERT_EQ(messages,
                QStringList({path + QStringLiteral("は穴データのファイルではないため、読み込めません。")}));
            continue;
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
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}
} // namespace

TEST(Robustness, EveryPrefixOfValidFiles)
{
    test::Scratch s;
    for (const char* name : {"board_100x80.gbr", "rs274x_basic.gbr", "crlf.gbr"}) {
        const QByteArray data = fileBytes(test::dataPath(name));
        for (qsizetype n = 0; n <= data.size(); ++n) {
            readBoth(s.write(QStringLiteral("prefix.gbr"), data.left(n)), false);
            if (HasFatalFailure())
                return;
        }
    }
}

TEST(Robustness, RandomBytesAndGerberLikeNoise)
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
        readBoth(s.write(QStringLiteral("noise.gbr"), data), round % 2);
        if (HasFatalFailure())
            return;
    }
}

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

TEST(Robustness, ALineThatNeverEndsStopsEveryReaderAndTheDrawing)
{
    // Beyond the 64 MiB cap: the read ends there with the fault message instead of buffering
    // the whole file (or /dev/zero for ever).
    test::Scratch s;
    const QString path = s.path(QStringLiteral("endless.gbr"));
    test::writeEndlessThirdLine(path);
    for (const bool rs274x : {false, true}) {
        HoleTable table;
        BoardExtent extent;
        QStringList messages;
        const MessageSink sink = [&](const QString& m) { messages << m; };
        const ReadResult r = rs274x ? readRs274xGerber(path, table, extent, sink)
                                    : readStandardGerber(path, table, extent, sink);
        EXPECT_EQ(r.ending, ReadEnding::Fault) << rs274x;
        EXPECT_EQ(r.stoppedAtLine, 3);
        EXPECT_EQ(messages,
            QStringList({QStringLiteral("3行目のデータを読み込めないため、読み込みを中止しました。")}));
    }
}

TEST(Robustness, ALineThatNeverEndsEndsADrillReadAsALimit)
{
    // The Excellon and Gerber X2 readers skip a line they cannot read, but one beyond the cap
    // ends the read: the rest of the file was never read, and that is said.
    test::Scratch s;
    const QString path = s.path(QStringLiteral("endless.drl"));
    test::writeEndlessThirdLine(path, "M48\nMETRIC\n", "T1C0.8\nX1Y1\nM30\n");
    for (const bool x2 : {false, true}) {
        test::Messages said;
        const DrillData d = x2 ? readGerberX2(path, said.sink()) : readExcellon(path, said.sink());
        EXPECT_EQ(d.ending, DrillData::Ending::LimitReached) << x2;
        EXPECT_EQ(d.limit, DrillData::Limit::Length);
        EXPECT_EQ(d.stoppedAtLine, 3);
        EXPECT_EQ(said.texts,
            QStringList({QStringLiteral(
                "3行目からのデータが長さの上限（64 MiB）を超えるため、読み込みを中止しました。")}));
    }
}

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

TEST(Robustness, EveryLineEndInTheDrillReadersAndAByteOrderMarkInEveryReader)
{
    test::Scratch s;
    const QByteArray excellon = "M48\nMETRIC\nT1C0.8\n%\nT1\nX1.0Y1.0\nX2.0Y2.0\nM30\n";
    const QByteArray x2 =
        "%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.8*%\nD10*\nX1000000Y1000000D03*\nX2000000Y2000000D03*\nM02*\n";
    for (const char* end : {"\n", "\r", "\r\n", "\n\r"}) {
        for (const bool bom : {false, true}) {
            SCOPED_TRACE(QByteArray(end).toHex().toStdString() + (bom ? " with a byte order mark" : ""));
            const auto file = [&](const char* name, QByteArray text) {
                text.replace("\n", end);
                return s.write(QString::fromLatin1(name), bom ? "\xEF\xBB\xBF" + text : text);
            };
            const QString drl = file("board.drl", excellon);
            EXPECT_EQ(detectReader(drl), ReaderKind::Excellon);
            const DrillData e = readExcellon(drl, {});
            EXPECT_EQ(e.holes.size(), 2u);
            EXPECT_EQ(e.skippedLines, 0);
            EXPECT_EQ(e.tools.size(), 1u);
            const DrillData g = readGerberX2(file("board.gbr", x2), {});
            EXPECT_EQ(g.holes.size(), 2u);
            EXPECT_EQ(g.skippedLines, 0);
        }
    }
    // The standard and RS-274X readers keep their line feeds, and pass a byte order mark over.
    HoleTable table;
    BoardExtent extent;
    EXPECT_EQ(readRs274xGerber(s.write(QStringLiteral("bom.gbr"),
                                   "\xEF\xBB\xBF%FSLAX23Y23*%\n%ADD10C,0.800*%\nX1000Y1000D03*\n"),
                  table, extent, {})
                  .ending,
        ReadEnding::Complete);
    EXPECT_EQ(extent.unitScale, 0.0567f);
    EXPECT_EQ(table.row(0).diameter, QStringLiteral("0.80"));
    EXPECT_EQ(readStandardGerber(s.write(QStringLiteral("bom.gbr"), "\xEF\xBB\xBFG54D10*\nX1000Y2000D03*\n"),
                  table, extent, {})
                  .ending,
        ReadEnding::Complete);
    EXPECT_EQ(table.row(0).dcode, QStringLiteral("D10"));
    EXPECT_EQ(extent.maxY, 113);
}
