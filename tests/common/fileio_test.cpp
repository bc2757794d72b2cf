#include "common/fileio.h"
#include "drawing/bitmapexport.h"
#include "drill/drilldata.h"
#include "settings/settingsfile.h"
#include "testutil.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kivotrek;

namespace {
// A tiny tmpfs, filled up to its last byte but for a few: every write site must fail there
// loudly and leave the old file as it was. Needs root; skipped elsewhere.
class FullDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting a small tmpfs needs root";
        root_ = scratch_.path(QStringLiteral("full"));
        QDir().mkpath(root_);
        if (QProcess::execute(QStringLiteral("mount"),
                {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                    QStringLiteral("size=64k"), QStringLiteral("tmpfs"), root_})
            != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here";
        mounted_ = true;
    }
    void TearDown() override
    {
        if (mounted_)
            QProcess::execute(QStringLiteral("umount"), {root_});
    }
    QString path(const QString& name) const { return root_ + QLatin1Char('/') + name; }
    // Fills the filesystem but for the given number of bytes.
    void fill(qint64 leave)
    {
        QFile filler(path(QStringLiteral("filler")));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size()) { }
        filler.close();
        if (leave > 0)
            filler.resize(filler.size() - leave);
    }
    test::Scratch scratch_;
    QString root_;
    bool mounted_ = false;
};
} // namespace

TEST_F(FullDisk, NoWriterPassesAFullDiskForASave)
{
    const QString ini = path(QStringLiteral("KIVOTREK.INI"));
    const QString picture = path(QStringLiteral("map.bmp"));
    const QString png = path(QStringLiteral("map.png"));
    const QString svg = path(QStringLiteral("map.svg"));
    for (const QString& p : {ini, picture, png, svg})
        ASSERT_TRUE(writeWholeFile(p, "old"));
    // 40 KB as BMP; as PNG, with a colour per pixel, no smaller than 30 KB.
    QImage image(100, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            image.setPixel(x, y, qRgb(x * 2, y * 2, (x * y) % 256));
    HoleTable table; // about 8 KB in the settings file
    for (int i = 0; i < HoleTable::kRows; ++i)
        table.row(i).diameter = QString(100, QLatin1Char('1'));

    for (const qint64 leave : {0, 4096}) { // nothing left, and one page: less than any of these files
        SCOPED_TRACE(leave);
        fill(leave);
        const SaveResult saved =
            saveSettingsFile(table, QStringLiteral("KT-001"), path(QStringLiteral("board.gbr")));
        EXPECT_FALSE(saved.ok);
        EXPECT_EQ(saved.error,
            QStringLiteral("設定ファイル") + ini + QStringLiteral("を保存できませんでした。")
                + test::reason(ENOSPC));
        // Each writer keeps the system's reason, a short write as well as a refused one.
        const QString noSpace = QString::fromLocal8Bit(std::strerror(ENOSPC));
        StreamedFile streamed(svg);
        ASSERT_TRUE(streamed.begin() || leave == 0);
        for (int i = 0; i < 64; ++i) // in pieces, as a drawing streams
            streamed.write(QByteArray(256, 'z'));
        const WriteResult results[] = {saveBitmap(image, picture), savePicture(image, png, "PNG"),
            writeWholeFile(svg, QByteArray(16 * 1024, 'y')), streamed.commit()};
        for (const WriteResult& w : results) {
            EXPECT_FALSE(w);
            EXPECT_EQ(w.reason, noSpace) << "writer " << &w - results;
        }
        for (const QString& p : {ini, picture, png, svg})
            EXPECT_EQ(test::readAll(p), QByteArray("old")) << p.toStdString();
        // No temporary file is left behind either.
        EXPECT_EQ(QDir(root_).entryList(QDir::Files | QDir::Hidden).size(), 5);
        QFile::remove(path(QStringLiteral("filler")));
    }
    // The batch command says so by name, exits 3 and leaves the old drawing, whether the disk
    // is full from the start or fills up while the page is written (a short write). 3000 holes
    // make a page whose PDF content is written in one piece larger than the room left.
    QByteArray drill = "M48\nMETRIC\nT1C0.8\n%\nT1\n";
    for (int i = 0; i < 3000; ++i)
        drill += "X" + QByteArray::number(i % 60 * 1.5, 'f', 2) + "Y"
            + QByteArray::number(i / 60 * 1.5, 'f', 2) + "\n";
    drill += "M30\n";
    const QString board = scratch_.write(QStringLiteral("board.drl"), drill);
    for (const qint64 leave : {0, 4096}) {
        for (const char* kind : {"svg", "pdf", "png", "preview.svg", "preview.png", "preview.bmp"}) {
            SCOPED_TRACE(std::string(kind) + " " + std::to_string(leave));
            const QString out = path(QStringLiteral("page.") + QLatin1String(kind));
            const bool preview = QLatin1String(kind).startsWith(QLatin1String("preview."));
            ASSERT_TRUE(writeWholeFile(out, "old"));
            fill(leave);
            QProcess cli;
            cli.start(QString::fromUtf8(KIVOTREK_CLI),
                QStringList {QStringLiteral("render"), QStringLiteral("--excellon")}
                    + (preview ? QStringList {QStringLiteral("--preview")}
                               : QStringList {QStringLiteral("--page"), QStringLiteral("100")})
                    + QStringList {QStringLiteral("-o"), out, board});
            ASSERT_TRUE(cli.waitForFinished(30000));
            EXPECT_EQ(cli.exitCode(), 3);
            EXPECT_TRUE(cli.readAllStandardError().contains(
                "cannot write " + QFile::encodeName(out) + ": " + std::strerror(ENOSPC)));
            EXPECT_EQ(test::readAll(out), QByteArray("old"));
            QFile::remove(path(QStringLiteral("filler")));
            // No temporary file is left beside it.
            EXPECT_EQ(QDir(root_).entryList({QStringLiteral("*page*")}, QDir::Files | QDir::Hidden),
                QStringList {QFileInfo(out).fileName()});
            QFile::remove(out);
        }
    }

    // Standard output appended to a file on a disk that fills up: the command says so and
    // exits 3, and the file keeps what it had and no more, whether the disk is full from the
    // start (the file's last block full too) or the list fills the room left in that block.
    for (const char* command : {"report", "holes", "check"}) {
        for (const QByteArray& old : {QByteArray(4096, 'o'), QByteArray("old")}) {
            SCOPED_TRACE(std::string(command) + " " + std::to_string(old.size()));
            const QString out = path(QStringLiteral("list.csv"));
            ASSERT_TRUE(writeWholeFile(out, old));
            fill(0);
            QProcess cli;
            cli.setStandardOutputFile(out, QIODevice::Append);
            cli.start(QString::fromUtf8(KIVOTREK_CLI),
                {QString::fromLatin1(command), QStringLiteral("--csv"), QStringLiteral("--excellon"), board});
            ASSERT_TRUE(cli.waitForFinished(30000));
            // The drill table of one row and the checks' short list fit the room of the file's
            // last block; the 3,000 holes do not.
            const bool fits = QLatin1String(command) != QLatin1String("holes") && old.size() < 4096;
            EXPECT_EQ(cli.exitCode(), fits ? 0 : 3);
            EXPECT_EQ(cli.readAllStandardError().contains("cannot write to standard output"), !fits);
            if (!fits) {
                EXPECT_EQ(test::readAll(out), old);
            }
            QFile::remove(path(QStringLiteral("filler")));
        }
    }

    // With room again, the same saves go through.
    EXPECT_TRUE(saveBitmap(image, picture));
    EXPECT_EQ(test::readAll(picture).left(2), QByteArray("BM"));
    EXPECT_TRUE(saveSettingsFile(table, QStringLiteral("KT-001"), path(QStringLiteral("board.gbr"))).ok);
}

TEST(FileNames, SameFileAndRegularFile)
{
    test::Scratch dir;
    const QString a = dir.write(QStringLiteral("a.gbr"), "X0Y0D03*\n");
    const QString b = dir.write(QStringLiteral("b.gbr"), "X0Y0D03*\n");
    const QString hard = dir.path(QStringLiteral("hard.gbr"));
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(hard).constData()), 0);
    const QString link = dir.path(QStringLiteral("link.png"));
    ASSERT_EQ(::symlink(QFile::encodeName(b).constData(), QFile::encodeName(link).constData()), 0);
    EXPECT_EQ(inputWrittenOver(hard, {a}), 0);
    EXPECT_EQ(inputWrittenOver(dir.path(QStringLiteral("./a.gbr")), {b, a}), 1);
    EXPECT_EQ(inputWrittenOver(link, {a, b}), 1); // through the link
    EXPECT_EQ(inputWrittenOver(a, {b}), -1); // the same bytes are not the same file
    EXPECT_EQ(inputWrittenOver(dir.path(QStringLiteral("missing.gbr")), {a, QString()}), -1);
    EXPECT_EQ(inputWrittenOver(a, {dir.path(QStringLiteral("missing.gbr"))}), -1);
    // Standard output redirected into an input; a pipe is nobody's input.
    QFile out(a);
    ASSERT_TRUE(out.open(QIODevice::Append));
    EXPECT_EQ(inputWrittenOver(out.handle(), {QFile::encodeName(b), QFile::encodeName(hard)}), 1);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    EXPECT_EQ(inputWrittenOver(pipeEnds[1], {QFile::encodeName(a)}), -1);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);

    EXPECT_TRUE(isRegularFile(a));
    EXPECT_FALSE(isRegularFile(dir.path(QString())));
    EXPECT_FALSE(isRegularFile(QStringLiteral("/dev/null")));
    const QString fifo = dir.path(QStringLiteral("pipe.gbr"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(isRegularFile(fifo));
}

TEST(FileNames, BinaryBytesAreTheFirst4KiBsControlCharacters)
{
    const auto binary = [](const QByteArray& bytes) {
        QByteArray data = bytes;
        QBuffer b(&data);
        b.open(QIODevice::ReadOnly);
        const bool result = holdsBinaryBytes(b);
        EXPECT_EQ(b.pos(), 0); // the reader still starts at the first byte
        return result;
    };
    EXPECT_FALSE(binary("G54D10*\r\nX1Y1D03*\n\tM02*\f\x1a"));
    EXPECT_FALSE(binary("G04 \x83\x8a\x81\x5b\x83\x68 comment in Shift-JIS*\n")); // bytes above 0x7F are text
    EXPECT_FALSE(binary(QByteArray()));
    for (const char c : {'\0', '\x01', '\x07', '\x0b', '\x1b', '\x1f'})
        EXPECT_TRUE(binary("X1Y1D03*\n" + QByteArray(1, c) + "\n")) << int(c);
    // Beyond the first 4 KiB a byte is the reader's to judge (a line it cannot read).
    EXPECT_TRUE(binary(QByteArray(4095, 'X') + '\0'));
    EXPECT_FALSE(binary(QByteArray(4096, 'X') + '\0'));
}

TEST(LargeBlocks, HoldLargeAndSmallArraysAlike)
{
    // A large array grows past the 2 MiB blocks and keeps every value; a small one stays on
    // the heap. Each is given back whole (the sanitizer builds check the heap blocks).
    for (const size_t count : {size_t(10), size_t(300'000), size_t(1'000'003)}) {
        HoleList holes;
        for (size_t i = 0; i < count; ++i)
            holes.push_back({int(i % 63), 0, Nanometres(i), -Nanometres(i)});
        ASSERT_EQ(holes.size(), count);
        for (size_t i = 0; i < count; i += 9973) {
            EXPECT_EQ(holes[i].tool, int(i % 63));
            EXPECT_EQ(holes[i].nx, Nanometres(i));
        }
        HoleList moved = std::move(holes);
        EXPECT_EQ(moved.back().ny, -Nanometres(count - 1));
        HoleList copied = moved;
        EXPECT_EQ(copied.size(), count);
    }
}

namespace {
int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}
} // namespace

// A look at a file's start keeps it open for its read: the read takes the same open from the
// file's first byte; a file written anew since the look is opened afresh; what no read took is
// closed by the scope.
TEST(HeldInputs, ALookIsTakenByTheReadThatFollows)
{
    test::Scratch dir;
    QByteArray long_(100 * 1024, 'x');
    long_.prepend("M48\n");
    const QString a = dir.write(QStringLiteral("a.drl"), long_);
    const QString b = dir.write(QStringLiteral("b.drl"), "T1C0.8\n");
    const int before = openDescriptors();
    {
        const HeldInputsScope held;
        EXPECT_EQ(inputHead(a, 4), QByteArray("M48\n"));
        EXPECT_EQ(inputHead(a, 90 * 1024), long_.left(90 * 1024)); // a longer look reads on
        EXPECT_EQ(inputHead(a, 200 * 1024), long_); // no more than the file
        EXPECT_EQ(inputHead(b, 3), QByteArray("T1C"));
        EXPECT_EQ(openDescriptors(), before + 2);
        QFile file(a);
        ASSERT_TRUE(openToRead(file));
        EXPECT_EQ(openDescriptors(), before + 2); // the held open, not a new one
        EXPECT_EQ(file.size(), long_.size());
        EXPECT_EQ(file.readAll(), long_); // from its start
        file.close();
        EXPECT_EQ(openDescriptors(), before + 1);
        // Written anew after the look: the read sees the new bytes.
        ASSERT_EQ(inputHead(b, 64), QByteArray("T1C0.8\n"));
        ::usleep(20000);
        dir.write(QStringLiteral("b.drl"), "T2C1.25\nX1Y1\n");
        QFile again(b);
        ASSERT_TRUE(openToRead(again));
        EXPECT_EQ(again.readAll(), QByteArray("T2C1.25\nX1Y1\n"));
        EXPECT_EQ(inputHead(dir.path(QStringLiteral("missing.drl")), 16), QByteArray());
        EXPECT_EQ(inputHead(dir.path(QString()), 16), QByteArray()); // a folder
        EXPECT_EQ(inputHead(a, 1), QByteArray("M")); // held again, never taken
    }
    EXPECT_EQ(openDescriptors(), before);
    // Looks at many files hold only the last few.
    for (int i = 0; i < 40; ++i)
        inputHead(dir.write(QStringLiteral("f%1.drl").arg(i), "M48\n"), 4);
    EXPECT_LE(openDescriptors(), before + 16);
    releaseHeldInputs();
    EXPECT_EQ(openDescriptors(), before);
}
