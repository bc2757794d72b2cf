// Members of a package as they come from real archives and folders: names in code page 932 or
// in no encoding at all, two members of one name, archives inside that cannot be opened, office
// documents, more members than a package may hold; and each drill file read once.

#include "archivewriter.h"
#include "common/cp932.h"
#include "package/archive.h"
#include "package/package.h"
#include "testutil.h"

#include <QDir>
#include <clocale>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <unistd.h>

using namespace kivotrek;
using Role = PackageMember::Role;

namespace {
QByteArray drill(double x, double diameter = 0.8)
{
    return "M48\nMETRIC\nT1C" + QByteArray::number(diameter, 'f', 3) + "\n%\nT1\nX"
        + QByteArray::number(x, 'f', 2) + "Y10.0\nX" + QByteArray::number(x + 5, 'f', 2) + "Y10.0\nM30\n";
}

QByteArray sjis(const char* utf8)
{
    return *cp932::encode(QString::fromUtf8(utf8));
}

std::map<QString, const PackageMember*> byName(const Package& p)
{
    std::map<QString, const PackageMember*> m;
    for (const PackageMember& member : p.members)
        m[member.name] = &member;
    return m;
}

// The board of the package, and what building it said.
struct Built {
    Board board;
    HoleTable table;
    BoardExtent extent;
    test::Messages said;
    bool ok = false;
    explicit Built(Package& p) { ok = buildBoard(p, board, table, extent, said.sink()).ok; }
    qint64 holes() const
    {
        qint64 n = 0;
        for (const DrillData& d : board.data.drills)
            n += qint64(d.holes.size());
        return n;
    }
};

// The locale of the process for one test: the batch command runs in "C" unless told otherwise.
class ProcessLocale {
public:
    explicit ProcessLocale(const char* name) : before_(std::setlocale(LC_ALL, nullptr))
    {
        std::setlocale(LC_ALL, name);
    }
    ~ProcessLocale() { std::setlocale(LC_ALL, before_.c_str()); }

private:
    std::string before_;
};
} // namespace

TEST(PackageMembers, NamesOfEveryEncodingAreShownAndNeverOneOverAnother)
{
    const ProcessLocale c("C");
    test::Scratch dir;
    // As Windows writes a zip: code page 932, unmarked; a name marked UTF-8; bytes of neither;
    // two members of one name; a file and a folder of one name.
    const QString zip = dir.write(QStringLiteral("board.zip"),
        test::rawZip({{sjis("基板_上面.drl"), drill(10)}, {sjis("基板_下面.drl"), drill(20)},
            {QByteArray("基板-NPTH.drl"), drill(30, 3.0), true}, {QByteArray("ab\xFF\xFE.txt"), "notes\n"},
            {"board.drl", drill(40)}, {"board.drl", drill(50)}, {"x", "a file\n"},
            {"x/board.drl", drill(60)}}));
    QString error;
    const auto p = Package::open(zip, &error);
    ASSERT_TRUE(p) << error.toStdString();
    const auto m = byName(*p);
    for (const char* name : {"基板_上面.drl", "基板_下面.drl", "基板-NPTH.drl", "ab\\xFF\\xFE.txt",
             "board.drl", "board (2).drl", "x", "x (2)/board.drl"})
        EXPECT_EQ(m.count(QString::fromUtf8(name)), 1u) << name;
    EXPECT_EQ(p->members.size(), 8u);
    EXPECT_EQ(p->notes,
        QStringList({QStringLiteral("board.zipには「board.drl」という名前のファイルが他にもあるため、「board "
                                    "(2).drl」として読みました。"),
            QStringLiteral("board.zipには「x/board.drl」という名前のファイルが他にもあるため、「x "
                           "(2)/board.drl」として読みました。")}));
    // The sides of a board in Japanese name no board of their own, nor does a copy's number.
    EXPECT_EQ(p->boardNames(), QStringList({QStringLiteral("board"), QStringLiteral("基板")}));
    ASSERT_TRUE(p->chooseBoard(QStringLiteral("基板")));
    Built built(*p);
    ASSERT_TRUE(built.ok);
    EXPECT_EQ(built.board.files.size(), 3u);
    EXPECT_EQ(built.holes(), 6);
    EXPECT_EQ(built.said.texts.mid(0, 2), p->notes);
    // The file columns name each file as the archive does.
    QStringList files;
    for (const BoardFile& f : built.board.files)
        files << QFileInfo(f.path).fileName();
    // The non-plated file first, then the files whose plating nothing says.
    EXPECT_EQ(files,
        QStringList({QStringLiteral("基板-NPTH.drl"), QStringLiteral("基板_上面.drl"),
            QStringLiteral("基板_下面.drl")}));
    // The other board has its three files, the copy of one name among them.
    const auto again = Package::open(zip, &error);
    ASSERT_TRUE(again && again->chooseBoard(QStringLiteral("board")));
    Built other(*again);
    EXPECT_EQ(other.board.files.size(), 3u);
}

TEST(PackageMembers, AFolderOfNamesThatAreNoUtf8)
{
    test::Scratch dir;
    const QString root = dir.path(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkpath(root));
    // Allegro's drill file states no format: nc_param.txt beside it does, and is found beside
    // the file however its name is written.
    const QByteArray allegro = ";LEADER: 12\n;HEADER:\n;CODE  : ASCII\n;FILE  : plated.drl\n"
                               ";T01 Holesize 1. = 40.000000 Tolerance = +2.000000/-2.000000 PLATED MILS\n"
                               "%\nT01\nX010000Y010000\nX020000Y010000\nM30\n";
    const QByteArray params = "INTEGER-PLACES 2\nDECIMAL-PLACES 4\nOUTPUT-UNITS ENGLISH\n";
    const QByteArray folder = QFile::encodeName(root) + '/';
    for (const auto& [name, content] :
        {std::pair {sjis("基板_上面-PTH.drl"), allegro}, std::pair {QByteArray("nc_param.txt"), params},
            std::pair {QByteArray("\xFF\xFE-NPTH.drl"), drill(70)}}) {
        FILE* raw = std::fopen((folder + name).constData(), "wb");
        ASSERT_TRUE(raw);
        std::fwrite(content.constData(), 1, size_t(content.size()), raw);
        std::fclose(raw);
    }
    QString error;
    const auto p = Package::open(root, &error);
    ASSERT_TRUE(p) << error.toStdString();
    const auto m = byName(*p);
    ASSERT_EQ(m.count(QStringLiteral("基板_上面-PTH.drl")), 1u);
    ASSERT_EQ(m.count(QStringLiteral("\\xFF\\xFE-NPTH.drl")), 1u);
    EXPECT_EQ(m.at(QStringLiteral("基板_上面-PTH.drl"))->role, Role::Plated);
    EXPECT_EQ(m.at(QStringLiteral("\\xFF\\xFE-NPTH.drl"))->role, Role::NonPlated);
    Built built(*p);
    ASSERT_TRUE(built.ok);
    ASSERT_EQ(built.board.data.drills.size(), 2u);
    const DrillData& plated = built.board.data.drills[0];
    ASSERT_TRUE(plated.format);
    EXPECT_EQ(plated.format->source, CoordinateFormat::Source::NcParam);
    ASSERT_EQ(plated.holes.size(), 2u);
    EXPECT_DOUBLE_EQ(plated.holes[1].x(), 50.8); // 2.0000 inch
    EXPECT_EQ(built.holes(), 4);
    // Qt cannot name them to remove them with the scratch folder.
    ::unlink((folder + sjis("基板_上面-PTH.drl")).constData());
    ::unlink((folder + "\xFF\xFE-NPTH.drl").constData());
}

TEST(PackageMembers, AMemberThatIsNoPackageIsPassedOverWithItsReason)
{
    test::Scratch dir;
    const QString root = dir.path(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkpath(root));
    const QString inner = root + QStringLiteral("/gerbers.zip");
    ASSERT_TRUE(test::writeArchive(inner, "zip", {{"board-PTH.drl", drill(10)}}));
    ASSERT_TRUE(test::writeArchive(
        root + QStringLiteral("/locked.zip"), "zip", {{"secret-PTH.drl", drill(80)}}, "pw"));
    ASSERT_TRUE(test::writeArchive(root + QStringLiteral("/quote.xlsx"), "zip",
        {{"[Content_Types].xml", "<Types/>"}, {"xl/workbook.xml", "<workbook/>"}}));
    dir.write(QStringLiteral("folder/junk.zip"), "this is no archive\n");
    dir.write(QStringLiteral("folder/half.zip"), test::readAll(inner).left(40));
    QString error;
    const auto p = Package::open(root, &error);
    ASSERT_TRUE(p) << error.toStdString();
    const auto m = byName(*p);
    EXPECT_EQ(m.count(QStringLiteral("gerbers.zip/board-PTH.drl")), 1u);
    EXPECT_EQ(m.count(QStringLiteral("quote.xlsx/xl/workbook.xml")), 0u); // a document is not opened
    EXPECT_EQ(m.at(QStringLiteral("quote.xlsx"))->why, QStringLiteral("文書ファイル（展開しない）"));
    for (const char* name : {"locked.zip", "junk.zip", "half.zip"}) {
        const PackageMember& member = *m.at(QString::fromUtf8(name));
        EXPECT_EQ(member.role, Role::Unused);
        EXPECT_TRUE(member.why.startsWith(QStringLiteral("開けないアーカイブ（")))
            << member.why.toStdString();
        // libarchive's texts come without their line end.
        EXPECT_FALSE(member.why.contains(QLatin1Char('\n')));
    }
    EXPECT_EQ(m.count(QStringLiteral("locked.zip/secret-PTH.drl")), 0u);
    Built built(*p);
    ASSERT_TRUE(built.ok);
    EXPECT_EQ(built.holes(), 2);
    // The same archive given as the package itself is still refused.
    EXPECT_FALSE(Package::open(root + QStringLiteral("/half.zip"), &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("half.zipはアーカイブとして読めません。")))
        << error.toStdString();
    EXPECT_FALSE(error.contains(QLatin1Char('\n')));
    // An office document is no package.
    EXPECT_FALSE(isPackagePath(root + QStringLiteral("/quote.xlsx")));
}

TEST(PackageMembers, MoreMembersThanAPackageHoldsAreRefusedByTheirCount)
{
    test::Scratch dir;
    ArchiveLimits five;
    five.members = 5;
    test::Members eight;
    for (int i = 0; i < 8; ++i)
        eight.push_back({"f" + QByteArray::number(i) + ".txt", "x\n"});
    const QString zip = dir.path(QStringLiteral("many.zip"));
    ASSERT_TRUE(test::writeArchive(zip, "zip", eight));
    QString error;
    EXPECT_FALSE(Package::open(zip, &error, five));
    EXPECT_EQ(error,
        QStringLiteral("many.zipには8個のファイルがあり、一度に開ける5個を超えているため、開けません。"));
    const QString root = dir.path(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkpath(root));
    for (const auto& [name, content] : eight)
        dir.write(QStringLiteral("folder/") + QString::fromUtf8(name), content);
    EXPECT_FALSE(Package::open(root, &error, five));
    EXPECT_EQ(error,
        root + QStringLiteral("には8個のファイルがあり、一度に開ける5個を超えているため、開けません。"));
    // Members of an archive inside count with the others.
    for (const char* name : {"/f4.txt", "/f5.txt", "/f6.txt", "/f7.txt"})
        QFile::remove(root + QLatin1String(name));
    ASSERT_TRUE(test::writeArchive(
        root + QStringLiteral("/inner.zip"), "zip", {{"a.drl", drill(1)}, {"b.drl", drill(2)}}));
    EXPECT_FALSE(Package::open(root, &error, five));
    EXPECT_EQ(error,
        root + QStringLiteral("には7個のファイルがあり、一度に開ける5個を超えているため、開けません。"));
    QFile::remove(root + QStringLiteral("/f3.txt"));
    QFile::remove(root + QStringLiteral("/f2.txt"));
    EXPECT_TRUE(Package::open(root, &error, five)) << error.toStdString();
    EXPECT_EQ(ArchiveLimits().members, 10000);
}

TEST(PackageMembers, EachDrillFileIsReadOnce)
{
    test::Scratch dir;
    const QString root = dir.path(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkpath(root));
    // The same holes in another order are the same file written twice.
    const QByteArray a = "M48\nMETRIC\nT1C0.8\n%\nT1\nX1.0Y1.0\nX2.0Y1.0\nX3.0Y1.0\nM30\n";
    const QByteArray b = "M48\nMETRIC\nT1C0.8\n%\nT1\nX3.0Y1.0\nX1.0Y1.0\nX2.0Y1.0\nM30\n";
    const QByteArray c = "M48\nMETRIC\nT1C0.8\n%\nT1\nX3.0Y1.0\nX1.0Y1.0\nX2.0Y1.001\nM30\n";
    dir.write(QStringLiteral("folder/board.drl"), a);
    dir.write(QStringLiteral("folder/board.xln"), b);
    dir.write(QStringLiteral("folder/board-NPTH.drl"), c);
    QString error;
    const auto p = Package::open(root, &error);
    ASSERT_TRUE(p) << error.toStdString();
    const auto m = byName(*p);
    EXPECT_EQ(m.at(QStringLiteral("board.xln"))->role, Role::Unused);
    EXPECT_EQ(m.at(QStringLiteral("board.xln"))->why, QStringLiteral("同じ穴：board.drl"));
    EXPECT_EQ(m.at(QStringLiteral("board-NPTH.drl"))->role, Role::NonPlated);
    // The board is built from what the roles' reads found: the files are not opened again.
    for (const char* name : {"board.drl", "board.xln", "board-NPTH.drl"})
        ASSERT_TRUE(QFile::remove(root + QLatin1Char('/') + QLatin1String(name)));
    Built built(*p);
    ASSERT_TRUE(built.ok);
    EXPECT_EQ(built.board.files.size(), 2u);
    EXPECT_EQ(built.holes(), 6);
}
