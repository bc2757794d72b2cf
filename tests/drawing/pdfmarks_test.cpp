// A PDF page whose marks past the first are written apart and joined to the page must look as
// the page Qt's writer makes whole, and be a document every reader takes.

#include "board/board.h"
#include "drawing/pageexport.h"
#include "testutil.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace kivotrek;

namespace {
// The sample board of three files, with its colours, as the desktop reads it.
struct SampleBoard {
    Board board;
    HoleTable table;
    BoardExtent extent;
    SampleBoard()
    {
        readBoardFile(board, ReaderKind::Excellon, test::example("board-PTH.drl"), table, extent, {});
        addBoardFile(board, ReaderKind::Excellon, test::example("board-NPTH.drl"), table, extent, {});
        readBoardOutline(board, test::example("board-Edge_Cuts.gbr"), table, extent, {});
    }
    PageWrite write(const QString& path, qint64 marksInPage, bool symbols) const
    {
        DrawingOptions options;
        options.marks = symbols;
        PageFoot foot;
        foot.productCode = QStringLiteral("KT-001");
        return writePage(path, QStringLiteral("pdf"), 300, board, table, extent, QStringLiteral("自動(A4縦)"),
            foot, options, marksInPage);
    }
};

QImage rasterize(const QString& pdf, const QString& prefix)
{
    QProcess p;
    p.start(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-png"), QStringLiteral("-singlefile"),
            pdf, prefix});
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

// Pixels whose colour differs by more than antialiasing would make it differ.
int differingPixels(const QImage& a, const QImage& b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d =
                std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
            n += d > 3 * 96;
        }
    }
    return n;
}
} // namespace

class PdfMarksApart : public testing::TestWithParam<bool> { };

TEST_P(PdfMarksApart, LookAsThePageMadeWhole)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    const bool symbols = GetParam();
    const SampleBoard b;
    test::Scratch dir;
    const QString whole = dir.path(QStringLiteral("whole.pdf")),
                  apart = dir.path(QStringLiteral("apart.pdf"));
    ASSERT_TRUE(b.write(whole, kPdfMarksInPage, symbols).written);
    // The legend's first marks in the page, every other mark apart.
    ASSERT_TRUE(b.write(apart, 5, symbols).written);
    const QByteArray joined = test::readAll(apart);
    EXPECT_TRUE(joined.startsWith(test::readAll(whole).left(9))); // "%PDF-1.4\n"
    EXPECT_TRUE(joined.contains("/Contents [")) << "the page's contents are joined to the marks";
    EXPECT_TRUE(joined.endsWith("%%EOF\n"));

    const QImage a = rasterize(whole, dir.path(QStringLiteral("whole")));
    const QImage c = rasterize(apart, dir.path(QStringLiteral("apart")));
    ASSERT_FALSE(a.isNull());
    ASSERT_EQ(a.size(), c.size());
    // Each hole is there, in its colour; a few edge pixels may fall otherwise.
    EXPECT_LT(differingPixels(a, c), a.width() * a.height() / 2000);
    // Something was drawn: the page is not blank where the board is.
    EXPECT_GT(differingPixels(a, QImage(a.size(), QImage::Format_RGB32)), 1000);
}

INSTANTIATE_TEST_SUITE_P(PlainAndSymbols, PdfMarksApart, testing::Bool(),
    [](const testing::TestParamInfo<bool>& info) { return info.param ? "Symbols" : "Plain"; });

TEST(PdfMarksApart, TheMarksStreamHoldsEachMarkAndTheXrefPointsAtItsObjects)
{
    const SampleBoard b;
    test::Scratch dir;
    const QString path = dir.path(QStringLiteral("apart.pdf"));
    ASSERT_TRUE(b.write(path, 0, false).written);
    const QByteArray pdf = test::readAll(path);
    // The update's cross-reference entries point at "N 0 obj" of their objects.
    const qsizetype xref = pdf.lastIndexOf("\nxref\n") + 1;
    ASSERT_GT(xref, 0);
    const QList<QByteArray> lines = pdf.mid(xref).split('\n');
    int checked = 0;
    qint64 number = 0;
    for (int i = 1; i < lines.size() && !lines[i].startsWith("trailer"); ++i) {
        const QList<QByteArray> f = lines[i].split(' ');
        if (f.size() == 2) {
            number = f[0].toLongLong();
            continue;
        }
        const qint64 at = f[0].toLongLong();
        EXPECT_TRUE(pdf.mid(at).startsWith(QByteArray::number(number) + " 0 obj\n")) << number;
        ++number;
        ++checked;
    }
    EXPECT_EQ(checked, 4); // the page and the three new objects
    // The marks: every hole of the two drill files is a dot, every outline piece a segment.
    const QRegularExpression marksObject(
        QStringLiteral("/Length (\\d+) 0 R\\n/Filter /FlateDecode\\n>>\\nstream\\n"));
    QByteArray stream;
    for (auto it = marksObject.globalMatch(QString::fromLatin1(pdf)); it.hasNext();) {
        const auto match = it.next();
        const qsizetype start = match.capturedEnd();
        const qsizetype end = pdf.indexOf("\nendstream", start);
        QByteArray out(64 << 20, '\0');
        uLongf size = uLongf(out.size());
        if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(pdf.constData() + start), uLong(end - start))
            == Z_OK)
            stream = out.left(qsizetype(size)); // the last one is the marks'
    }
    ASSERT_TRUE(stream.startsWith("Q\nq\n")) << stream.left(80).constData();
    const QByteArray cm = stream.mid(4, stream.indexOf('\n', 4) - 4);
    EXPECT_EQ(cm, QByteArray("0.24 0 0 -0.24 0 842 cm")); // 72 / 300 dpi, A4's 842 points high
    // Every hole of the two drill files is a dot (a segment of no length), and so is every
    // legend mark; the outline's pieces are segments.
    EXPECT_GE(stream.count("l S\n"), 157 + 8 + 12);
    EXPECT_TRUE(stream.endsWith("Q\n"));
}
