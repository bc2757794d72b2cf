// Packages as CAD programs ship a board, written here after each program's naming and the
// formats' descriptions: folders, zips, a 7z and a tar.gz; each member's role, and the board.

#include "archivewriter.h"
#include "drawing/packagepicture.h"
#include "package/archive.h"
#include "package/package.h"
#include "testutil.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <gtest/gtest.h>

using namespace kivotrek;
using Role = PackageMember::Role;

namespace {
// An Excellon drill file of two tools, with the attribute KiCad writes, or none.
QByteArray excellon(const char* function = nullptr, double shift = 0)
{
    QByteArray text = "M48\n";
    if (function)
        text += "; #@! TF.FileFunction," + QByteArray(function) + "\n";
    text += "METRIC\nT1C0.800\nT2C1.000\n%\nG90\nG05\nT1\n";
    for (int i = 0; i < 4; ++i)
        text += "X" + QByteArray::number(10.0 + 10 * i + shift, 'f', 2) + "Y10.0\n";
    text += "T2\nX50.0Y50.0\nM30\n";
    return text;
}

// A Gerber X2 file: the outline of a 100 x 80 mm board when function is a profile.
QByteArray gerber(const QByteArray& function, bool percentComment = false)
{
    QByteArray text;
    if (!function.isEmpty())
        text += percentComment ? "G04 #@! %TF.FileFunction," + function + "*\n"
                               : "%TF.FileFunction," + function + "*%\n";
    text += "%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.100000*%\nD10*\nX0Y0D02*\nG01*\nX100000000Y0D01*\n"
            "X100000000Y80000000D01*\nX0Y80000000D01*\nX0Y0D01*\nM02*\n";
    return text;
}

// A Gerber file of round flashes only: the drill file of a program that writes drills as Gerber.
QByteArray flashes()
{
    return "%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.800000*%\nD10*\nX20000000Y20000000D03*\nX30000000Y20000000D03*"
           "\nM02*\n";
}

struct Folder {
    test::Scratch scratch;
    QString root;
    explicit Folder(const test::Members& members)
    {
        root = scratch.path(QStringLiteral("package"));
        for (const auto& [name, content] : members) {
            const QString path = root + QLatin1Char('/') + QString::fromUtf8(name);
            QDir().mkpath(QFileInfo(path).path());
            QFile f(path);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
    }
};

// The role of each member by its name.
std::map<QString, Role> roles(const Package& p)
{
    std::map<QString, Role> r;
    for (const PackageMember& m : p.members)
        r[m.name] = m.role;
    return r;
}

QString why(const Package& p, const char* name)
{
    for (const PackageMember& m : p.members) {
        if (m.name == QLatin1String(name))
            return m.why;
    }
    return QStringLiteral("(no such member)");
}

struct CadPackage {
    const char* name;
    test::Members members;
    std::map<QString, Role> expected; // the members whose role matters; the rest are not used
    int drillFiles; // read into the board
    bool outline;
};

void PrintTo(const CadPackage& p, std::ostream* os)
{
    *os << p.name;
}

std::vector<CadPackage> cadPackages()
{
    const QByteArray jobFile = R"({"Header": {"GenerationSoftware": {"Vendor": "KiCad"}},
        "FilesAttributes": [
          {"Path": "board-PTH.drl", "FileFunction": "Plated,1,2,PTH,Drill"},
          {"Path": "board-NPTH.drl", "FileFunction": "NonPlated,1,2,NPTH,Drill"},
          {"Path": "board-Edge_Cuts.gbr", "FileFunction": "Profile,NP"},
          {"Path": "board-F_Cu.gbr", "FileFunction": "Copper,L1,Top"}]})";
    return {
        {"KiCad",
            {{"board-PTH.drl", excellon()}, {"board-NPTH.drl", excellon(nullptr, 1)},
                {"board-Edge_Cuts.gbr", gerber("")}, {"board-F_Cu.gbr", gerber("Copper,L1,Top")},
                {"board-drl_map.gbr", gerber("Drillmap")}, {"board-job.gbrjob", jobFile}},
            {{QStringLiteral("board-PTH.drl"), Role::Plated},
                {QStringLiteral("board-NPTH.drl"), Role::NonPlated},
                {QStringLiteral("board-Edge_Cuts.gbr"), Role::Outline}},
            2, true},
        {"Altium",
            {{"Project Outputs/board-RoundHoles.TXT", excellon()},
                {"Project Outputs/board-SlotHoles.TXT",
                    "M48\nMETRIC\nT1C1.2\n%\nT1\nX30.0Y30.0G85X33.0Y30.0\nM30\n"},
                {"Project Outputs/board.GKO", gerber("")}, {"Project Outputs/board.GM1", gerber("")},
                {"Project Outputs/board.GTL",
                    "%FSLAX24Y24*%\n%MOIN*%\n%ADD10R,0.05X0.05*%\nD10*\nX1000Y1000D03*\nM02*\n"},
                {"Project Outputs/board.DRR", "Drill report\nTool 1 0.8mm 4\n"}},
            {{QStringLiteral("Project Outputs/board-RoundHoles.TXT"), Role::Drill},
                {QStringLiteral("Project Outputs/board-SlotHoles.TXT"), Role::Drill},
                {QStringLiteral("Project Outputs/board.GKO"), Role::Outline}},
            2, true},
        {"Eagle",
            {{"board.drd", excellon()}, {"profile.gbr", gerber("Profile,NP", true)},
                {"board.dri", "Drill File Info\n"}, {"board.cmp", gerber("Copper,L1,Top", true)}},
            {{QStringLiteral("board.drd"), Role::Drill}, {QStringLiteral("profile.gbr"), Role::Outline}}, 1,
            true},
        {"EasyEDA",
            {{"Drill_PTH_Through.DRL", excellon()}, {"Drill_NPTH_Through.DRL", excellon(nullptr, 1)},
                {"Gerber_BoardOutline.GKO", gerber("")}, {"Gerber_TopLayer.GTL", gerber("")}},
            {{QStringLiteral("Drill_PTH_Through.DRL"), Role::Plated},
                {QStringLiteral("Drill_NPTH_Through.DRL"), Role::NonPlated},
                {QStringLiteral("Gerber_BoardOutline.GKO"), Role::Outline}},
            2, true},
        {"gEDA",
            {{"board.plated-drill.cnc", excellon()}, {"board.unplated-drill.cnc", excellon(nullptr, 1)},
                {"board.outline.gbr", gerber("")}, {"board.fab.gbr", gerber("")}},
            {{QStringLiteral("board.plated-drill.cnc"), Role::Plated},
                {QStringLiteral("board.unplated-drill.cnc"), Role::NonPlated},
                {QStringLiteral("board.outline.gbr"), Role::Outline}},
            2, true},
        {"Siemens",
            {{"ThruHolePlated.ncd", excellon()}, {"ThruHoleNonPlated.ncd", excellon(nullptr, 1)},
                {"BoardOutline.gdo", gerber("")}, {"DrillDrawingThrough.gdo", gerber("FabricationDrawing")}},
            {{QStringLiteral("ThruHolePlated.ncd"), Role::Plated},
                {QStringLiteral("ThruHoleNonPlated.ncd"), Role::NonPlated},
                {QStringLiteral("BoardOutline.gdo"), Role::Outline}},
            2, true},
        {"Upverter",
            {{"design_export.drl", excellon()}, {"design_export.xln", excellon()},
                {"design_export.gko", gerber("")}},
            {{QStringLiteral("design_export.drl"), Role::Drill},
                {QStringLiteral("design_export.gko"), Role::Outline}},
            1, true},
        {"GerberDrill", {{"board-drill.gbr", flashes()}, {"board-top.gbr", gerber("")}},
            {{QStringLiteral("board-drill.gbr"), Role::Drill}}, 1, false},
        {"NoExtension", {{"drl", excellon()}, {"ko", gerber("")}},
            {{QStringLiteral("drl"), Role::Drill}, {QStringLiteral("ko"), Role::Outline}}, 1, true},
    };
}

class CadPackages : public testing::TestWithParam<CadPackage> { };

void expectPackage(const CadPackage& c, const QString& path)
{
    QString error;
    const auto p = Package::open(path, &error);
    ASSERT_TRUE(p) << error.toStdString();
    for (const auto& [name, role] : roles(*p)) {
        const auto want = c.expected.find(name);
        EXPECT_EQ(role, want == c.expected.end() ? Role::Unused : want->second)
            << name.toStdString() << ": " << why(*p, name.toUtf8().constData()).toStdString();
    }
    EXPECT_TRUE(p->boards().isEmpty());
    Board board;
    HoleTable table;
    BoardExtent extent;
    test::Messages said;
    const BuiltBoard built = buildBoard(*p, board, table, extent, said.sink());
    ASSERT_TRUE(built.ok);
    EXPECT_EQ(int(board.files.size()), c.drillFiles);
    EXPECT_EQ(!board.outline.isEmpty(), c.outline);
    EXPECT_EQ(board.package, path);
    // Plated first, then non-plated.
    if (c.expected.size() >= 2 && board.files.size() == 2 && c.expected.begin()->second != Role::Drill) {
        EXPECT_EQ(table.row(0).kind, HoleKind::Plated);
        EXPECT_EQ(table.row(2).kind, HoleKind::NonPlated);
    }
    for (const QString& m : said.texts)
        EXPECT_FALSE(m.contains(QLatin1String("外形から"))) << m.toStdString(); // no hole outside the outline
}
} // namespace

TEST_P(CadPackages, AsAFolder)
{
    const Folder folder(GetParam().members);
    expectPackage(GetParam(), folder.root);
}

TEST_P(CadPackages, AsAZip)
{
    test::Scratch dir;
    const QString zip = dir.path(QStringLiteral("package.zip"));
    ASSERT_TRUE(test::writeArchive(zip, "zip", GetParam().members));
    expectPackage(GetParam(), zip);
}

INSTANTIATE_TEST_SUITE_P(Programs, CadPackages, testing::ValuesIn(cadPackages()),
    [](const testing::TestParamInfo<CadPackage>& info) { return std::string(info.param.name); });

TEST(Package, A7zAndATarGzAndAnArchiveInside)
{
    const test::Members kicad = cadPackages().front().members;
    test::Scratch dir;
    for (const char* format : {"7z", "tar.gz"}) {
        SCOPED_TRACE(format);
        const QString path = dir.path(QStringLiteral("board.") + QLatin1String(format));
        ASSERT_TRUE(test::writeArchive(path, format, kicad));
        EXPECT_TRUE(isPackagePath(path));
        QString error;
        const auto p = Package::open(path, &error);
        ASSERT_TRUE(p) << error.toStdString();
        EXPECT_TRUE(p->isArchive());
        EXPECT_EQ(roles(*p)[QStringLiteral("board-PTH.drl")], Role::Plated);
        EXPECT_EQ(why(*p, "board-PTH.drl"), QStringLiteral("Gerberジョブファイル Plated"));
    }
    // A zip in a folder (some programs add one) is opened, one level deep.
    const QString inner = dir.path(QStringLiteral("gerbers.zip"));
    ASSERT_TRUE(test::writeArchive(inner, "zip", kicad));
    QFile zipped(inner);
    ASSERT_TRUE(zipped.open(QIODevice::ReadOnly));
    const Folder folder({{"gerbers.zip", zipped.readAll()}, {"readme.txt", "Order notes\n"}});
    QString error;
    const auto p = Package::open(folder.root, &error);
    ASSERT_TRUE(p) << error.toStdString();
    const auto r = roles(*p);
    EXPECT_EQ(r.at(QStringLiteral("gerbers.zip/board-NPTH.drl")), Role::NonPlated);
    EXPECT_EQ(r.at(QStringLiteral("gerbers.zip")), Role::Unused);
    EXPECT_EQ(why(*p, "gerbers.zip"), QStringLiteral("アーカイブ（中身を展開）"));
    EXPECT_EQ(r.at(QStringLiteral("readme.txt")), Role::Unused);
}

TEST(Package, WhyEachRole)
{
    const Folder folder({{"board-NPTH.drl", excellon()}, {"plain.drl", excellon("Plated,1,2,PTH", 1)},
        {"board.GKO", gerber("")}, {"board-F_Cu.gbr", gerber("Copper,L1,Top")}, {"copy.xln", excellon()},
        {"picture.png", QByteArray("\x89PNG\r\n\x1a\n\0\0", 10)}});
    QString error;
    const auto p = Package::open(folder.root, &error);
    ASSERT_TRUE(p) << error.toStdString();
    EXPECT_EQ(why(*p, "board-NPTH.drl"), QStringLiteral("内容：Excellon、ファイル名 NPTH"));
    EXPECT_EQ(why(*p, "plain.drl"), QStringLiteral("X2 属性 Plated"));
    EXPECT_EQ(why(*p, "board.GKO"), QStringLiteral("ファイル名 board.GKO"));
    EXPECT_EQ(why(*p, "board-F_Cu.gbr"), QStringLiteral("X2 属性 Copper"));
    EXPECT_EQ(why(*p, "copy.xln"), QStringLiteral("同じ穴：board-NPTH.drl"));
    EXPECT_EQ(why(*p, "picture.png"), QStringLiteral("穴データではない"));
}

TEST(Package, SeveralBoardsAreNamedAndOneIsChosen)
{
    // DipTrace writes every board of a project into one folder.
    const Folder folder({{"mainboard.drl", excellon()}, {"keyboard.drl", excellon(nullptr, 2)},
        {"panel.drl", excellon(nullptr, 3)}, {"mainboard_BoardOutline.gbr", gerber("")},
        {"keyboard_BoardOutline.gbr", gerber("")}});
    QString error;
    auto p = Package::open(folder.root, &error);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->boards(),
        QStringList({QStringLiteral("keyboard"), QStringLiteral("mainboard"), QStringLiteral("panel")}));
    EXPECT_FALSE(p->chooseBoard(QStringLiteral("lid")));
    ASSERT_TRUE(p->chooseBoard(QStringLiteral("Keyboard")));
    const auto r = roles(*p);
    EXPECT_EQ(r.at(QStringLiteral("keyboard.drl")), Role::Drill);
    EXPECT_EQ(r.at(QStringLiteral("mainboard.drl")), Role::Unused);
    EXPECT_EQ(r.at(QStringLiteral("keyboard_BoardOutline.gbr")), Role::Outline);
    EXPECT_EQ(r.at(QStringLiteral("mainboard_BoardOutline.gbr")), Role::Unused);
    EXPECT_EQ(why(*p, "panel.drl"), QStringLiteral("別の基板：panel"));
    EXPECT_TRUE(p->boards().isEmpty());
}

TEST(Package, ArchiveAttacksAreRefusedAndWriteNothingOutside)
{
    test::Scratch dir;
    const QString outside = dir.path(QStringLiteral("evil.drl"));
    struct Attack {
        const char* name;
        test::Members members;
        QString message;
    };
    const Attack attacks[] = {
        {"slip.zip", {{"board.drl", excellon()}, {"../evil.drl", "M48\n"}},
            QStringLiteral("slip.zipの「../evil.drl」は展開先のフォルダの外を指しているため、開けません。")},
        {"deep.zip", {{"a/../../evil.drl", "M48\n"}},
            QStringLiteral(
                "deep.zipの「a/../../evil.drl」は展開先のフォルダの外を指しているため、開けません。")},
        {"absolute.tar.gz", {{"/tmp/kivotrek-evil.drl", "M48\n"}},
            QStringLiteral("absolute.tar.gzの「/tmp/"
                           "kivotrek-evil.drl」は展開先のフォルダの外を指しているため、開けません。")},
        {"bomb.zip", {{"big.drl", QByteArray(3 << 20, '0')}},
            QStringLiteral("bomb.zipの「big.drl」は512 MiBを超えるため、開けません。")},
        {"many.zip",
            {{"a.drl", QByteArray(1 << 20, '0')}, {"b.drl", QByteArray(1 << 20, '0')},
                {"c.drl", QByteArray(1 << 20, '0')}},
            QStringLiteral("many.zipは展開すると2 GiBを超えるため、開けません。")},
    };
    // The limits a real package has, scaled down so that a test makes no gigabytes: 2.5 MiB in
    // all, 2 MiB a member.
    const ArchiveLimits small {qint64(5) << 19, qint64(2) << 20};
    for (const Attack& a : attacks) {
        SCOPED_TRACE(a.name);
        const QString path = dir.path(QString::fromLatin1(a.name));
        ASSERT_TRUE(
            test::writeArchive(path, QByteArray(a.name).endsWith(".tar.gz") ? "tar.gz" : "zip", a.members));
        QString error;
        EXPECT_FALSE(Package::open(path, &error, small));
        EXPECT_EQ(error, a.message);
        EXPECT_FALSE(QFile::exists(outside));
        EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/kivotrek-evil.drl")));
    }
    // The real limits.
    EXPECT_EQ(ArchiveLimits().total, qint64(2) << 30);
    EXPECT_EQ(ArchiveLimits().member, qint64(512) << 20);
    // A damaged archive: the first half of a zip.
    const QString whole = dir.path(QStringLiteral("whole.zip"));
    ASSERT_TRUE(test::writeArchive(whole, "zip", cadPackages().front().members));
    const QString damaged = dir.write(QStringLiteral("damaged.zip"), test::readAll(whole).left(300));
    QString error;
    EXPECT_FALSE(Package::open(damaged, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("damaged.zipはアーカイブとして読めません。")))
        << error.toStdString();
    // The temporary folders are gone with the packages.
    QString kept;
    {
        const auto p = Package::open(whole, &error);
        ASSERT_TRUE(p);
        kept = QFileInfo(p->members.front().path).path();
        EXPECT_TRUE(QFileInfo(kept).isDir());
    }
    EXPECT_FALSE(QFileInfo::exists(kept));
}

TEST(Package, WithoutDrillFilesNothingIsBuilt)
{
    const Folder folder({{"board.GKO", gerber("")}, {"notes.txt", "nothing\n"}});
    QString error;
    const auto p = Package::open(folder.root, &error);
    ASSERT_TRUE(p);
    Board board;
    HoleTable table;
    BoardExtent extent;
    test::Messages said;
    EXPECT_FALSE(buildBoard(*p, board, table, extent, said.sink()).ok);
    EXPECT_EQ(said.texts, QStringList({folder.root + QStringLiteral("には穴のファイルがありません。")}));
    EXPECT_TRUE(board.isEmpty());
}

// An archive's unpacked files are the board's: they stay while the board lives, after the
// package is gone, so that a file changed there is read again; with the board they go.
TEST(Package, TheBoardKeepsAnArchivesUnpackedFolder)
{
    test::Scratch dir;
    const QString zip = dir.path(QStringLiteral("package.zip"));
    ASSERT_TRUE(test::writeArchive(zip, "zip", cadPackages().front().members));
    QString drill;
    {
        Board board;
        HoleTable table;
        BoardExtent extent;
        {
            QString error;
            auto p = Package::open(zip, &error);
            ASSERT_TRUE(p) << error.toStdString();
            ASSERT_TRUE(buildBoard(*p, board, table, extent, nullptr).ok);
        }
        ASSERT_FALSE(board.files.empty());
        drill = board.files.front().path;
        ASSERT_TRUE(QFileInfo::exists(drill));
        Board moved = std::move(board);
        const int rows = moved.files.front().rowCount;
        EXPECT_EQ(refreshBoard(moved, table, extent, nullptr), 0); // nothing changed
        QFile touched(drill);
        ASSERT_TRUE(touched.open(QIODevice::ReadWrite));
        ASSERT_TRUE(
            touched.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        touched.close();
        EXPECT_EQ(refreshBoard(moved, table, extent, nullptr), 1);
        EXPECT_TRUE(QFileInfo::exists(drill));
        EXPECT_EQ(moved.files.front().rowCount, rows);
    }
    EXPECT_FALSE(QFileInfo::exists(drill));
}

TEST(Package, EveryLayerHasItsRoleOnTheBoard)
{
    // The job file's word, the file's own attribute, a drill file by its content, the names of
    // the CAD programs, a Gerber file that says nothing; a report and the job file are no layers.
    const std::vector<CadPackage> all = cadPackages();
    const auto layerOf = [](const Package& p, const char* name) {
        for (const PackageMember& m : p.members) {
            if (m.name == QLatin1String(name))
                return std::make_tuple(m.layer, m.copperLayer.value_or(0), m.layerWhy);
        }
        return std::make_tuple(QStringLiteral("(no such member)"), 0, QString());
    };
    const Folder kicad(all[0].members);
    QString error;
    auto p = Package::open(kicad.root, &error);
    ASSERT_TRUE(p) << error.toStdString();
    EXPECT_EQ(layerOf(*p, "board-F_Cu.gbr"),
        std::make_tuple(QStringLiteral("copper-top"), 1, QStringLiteral("Gerberジョブファイル Copper")));
    EXPECT_EQ(std::get<0>(layerOf(*p, "board-Edge_Cuts.gbr")), QStringLiteral("outline"));
    EXPECT_EQ(std::get<0>(layerOf(*p, "board-PTH.drl")), QStringLiteral("drill"));
    EXPECT_EQ(std::get<0>(layerOf(*p, "board-drl_map.gbr")), QStringLiteral("drawing"));
    EXPECT_EQ(std::get<0>(layerOf(*p, "board-job.gbrjob")), QString());

    const Folder altium(all[1].members);
    p = Package::open(altium.root, &error);
    ASSERT_TRUE(p) << error.toStdString();
    EXPECT_EQ(layerOf(*p, "Project Outputs/board.GTL"),
        std::make_tuple(QStringLiteral("copper-top"), 1, QStringLiteral("ファイル名 board.GTL")));
    EXPECT_EQ(std::get<0>(layerOf(*p, "Project Outputs/board.GKO")), QStringLiteral("outline"));
    // The mechanical layer beside the keep-out outline: a drawing.
    EXPECT_EQ(std::get<0>(layerOf(*p, "Project Outputs/board.GM1")), QStringLiteral("drawing"));
    EXPECT_EQ(std::get<0>(layerOf(*p, "Project Outputs/board.DRR")), QString());

    const Folder gerberDrill(all[7].members);
    p = Package::open(gerberDrill.root, &error);
    ASSERT_TRUE(p) << error.toStdString();
    EXPECT_EQ(std::get<0>(layerOf(*p, "board-drill.gbr")), QStringLiteral("drill"));
    EXPECT_EQ(std::get<0>(layerOf(*p, "board-top.gbr")), QStringLiteral("copper-top"));
}

namespace {
// A Gerber layer of polylines in millimetres (each a list of points), with an optional function.
QByteArray polylines(
    const std::vector<std::vector<std::pair<double, double>>>& lines, const char* function = nullptr)
{
    QByteArray text;
    if (function)
        text += "%TF.FileFunction," + QByteArray(function) + "*%\n";
    text += "%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.100000*%\nD10*\nG01*\n";
    const auto at = [](double v) { return QByteArray::number(qint64(std::llround(v * 1e6))); };
    for (const auto& line : lines) {
        for (size_t k = 0; k < line.size(); ++k)
            text += "X" + at(line[k].first) + "Y" + at(line[k].second) + (k == 0 ? "D02*\n" : "D01*\n");
    }
    return text + "M02*\n";
}
std::vector<std::pair<double, double>> box(double x0, double y0, double x1, double y1)
{
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
}

struct Built {
    std::unique_ptr<Package> package;
    Board board;
    HoleTable table;
    BoardExtent extent;
    test::Messages said;
};
std::unique_ptr<Built> build(const Folder& folder)
{
    auto b = std::make_unique<Built>();
    QString error;
    b->package = Package::open(folder.root, &error);
    EXPECT_TRUE(b->package) << error.toStdString();
    if (b->package)
        buildBoard(*b->package, b->board, b->table, b->extent, b->said.sink());
    return b;
}
} // namespace

TEST(PackageOutline, TheClosedContourThatHoldsTheHolesIsTheOutline)
{
    // Altium's mechanical layer as a fabrication drawing: the board (100 x 80, a cut-out, a drill
    // map's ring round a hole), the sheet's frame round everything, dimension lines, a closed
    // letter beside the board. The board's contour holds all five holes, as the frame does: of
    // the two the smaller; the cut-out stays, the ring round the hole does not.
    const Folder folder({{"board-RoundHoles.TXT", excellon()},
        {"board.GM1",
            polylines({box(0, 0, 100, 80), box(60, 30, 80, 50), box(49, 49, 51, 51), box(-50, -50, 250, 150),
                {{0, -10}, {100, -10}}, {{0, -12}, {0, -8}}, box(150, 10, 160, 20)})}});
    const auto b = build(folder);
    ASSERT_TRUE(b->package);
    EXPECT_EQ(b->board.outline, folder.root + QStringLiteral("/board.GM1"));
    EXPECT_EQ(why(*b->package, "board.GM1"), QStringLiteral("穴を囲む閉じた輪郭（寸法線・文字は除外）"));
    ASSERT_TRUE(b->board.data.outline);
    EXPECT_EQ(b->board.data.outline->outline.size(), 8u); // the board and its cut-out
    EXPECT_TRUE(b->said.texts.contains(QStringLiteral("外形：board.GM1 の閉じた輪郭（寸法線・文字は除外）")))
        << b->said.texts.join(QLatin1Char('\n')).toStdString();
    for (const QString& m : b->said.texts)
        EXPECT_FALSE(m.contains(QLatin1String("外形から"))) << m.toStdString(); // every hole inside
}

TEST(PackageOutline, AnOutlineNoNameMarksIsFoundOneNamedSurelyStaysAsItIs)
{
    // Siemens' outline so spelt: no name marks it, its shape does.
    {
        const Folder folder(
            {{"ThruHolePlated.ncd", excellon()}, {"BoardOutlline.gdo", polylines({box(0, 0, 100, 80)})},
                {"SolderMask_Top.gdo", polylines({box(0, 0, 100, 80)})}});
        const auto b = build(folder);
        ASSERT_TRUE(b->package);
        EXPECT_EQ(b->board.outline, folder.root + QStringLiteral("/BoardOutlline.gdo"));
        EXPECT_EQ(why(*b->package, "BoardOutlline.gdo"), QStringLiteral("穴を囲む閉じた輪郭"));
    }
    // An outline by a name that says nothing else is the outline as it is, even where its lines
    // never close (real ones meet only within some micrometres), and that is said; a mechanical
    // layer whose lines hold no closed contour is no outline, and that is said too.
    {
        const Folder folder(
            {{"board.drl", excellon()}, {"board.GKO", polylines({{{0, 0}, {100, 0}, {100, 80}, {0, 80}}})}});
        const auto b = build(folder);
        ASSERT_TRUE(b->package);
        EXPECT_EQ(b->board.outline, folder.root + QStringLiteral("/board.GKO"));
        ASSERT_TRUE(b->board.data.outline);
        EXPECT_EQ(b->board.data.outline->outline.size(), 3u);
        EXPECT_EQ(b->package->notes,
            QStringList {
                QStringLiteral("外形 board.GKO の線は閉じていません（端が2 µm以内で合わない所があります）。"
                               "そのまま外形として使います。")});
    }
    {
        const Folder folder(
            {{"board.drl", excellon()}, {"board.GM1", polylines({{{0, 0}, {100, 0}, {100, 80}, {0, 80}}})}});
        const auto b = build(folder);
        ASSERT_TRUE(b->package);
        EXPECT_TRUE(b->board.outline.isEmpty());
        EXPECT_EQ(why(*b->package, "board.GM1"), QStringLiteral("閉じた輪郭がない"));
        EXPECT_EQ(b->package->notes,
            QStringList {
                QStringLiteral("閉じた輪郭の層がないため、外形なしで読みます（board.GM1は外形にしません）。"
                               "穴と外形の間隔は調べません。")});
    }
    // The same lines as the file's own profile: the outline as it is, closed or not.
    {
        const Folder folder({{"board.drl", excellon()},
            {"board.GKO", polylines({{{0, 0}, {100, 0}, {100, 80}, {0, 80}}}, "Profile,NP")}});
        const auto b = build(folder);
        ASSERT_TRUE(b->package);
        EXPECT_EQ(b->board.outline, folder.root + QStringLiteral("/board.GKO"));
        ASSERT_TRUE(b->board.data.outline);
        EXPECT_EQ(b->board.data.outline->outline.size(), 3u);
    }
}

TEST(Package, OneBoardWhateverItsFilesAreCalledAndEachBoardItsOwnOutline)
{
    // Zuken's plated and non-plated files, Allegro's drill file of a layer pair and its rout
    // file: one board each.
    // And by where they lie: two names whose holes lie over one another, no outline of their own.
    for (const auto& names : {std::make_pair("board_thru_plt.fdr", "board_thru_nplt.fdr"),
             std::make_pair("board-1-4.drl", "board.rou"), std::make_pair("ncdrill.drl", "ncroute.rou")}) {
        const Folder folder({{names.first, excellon()}, {names.second, excellon(nullptr, 1)}});
        QString error;
        const auto p = Package::open(folder.root, &error);
        ASSERT_TRUE(p) << error.toStdString();
        EXPECT_TRUE(p->boards().isEmpty())
            << names.first << ": " << p->boards().join(QLatin1Char(' ')).toStdString();
    }
    // DipTrace: the board chosen takes its own outline, not the one the package took first.
    const Folder folder({{"mainboard.drl", excellon()}, {"keyboard.drl", excellon(nullptr, 2)},
        {"mainboard_BoardOutline.gbr", gerber("")}, {"keyboard_BoardOutline.gbr", gerber("")}});
    QString error;
    auto p = Package::open(folder.root, &error);
    ASSERT_TRUE(p);
    ASSERT_TRUE(p->chooseBoard(QStringLiteral("mainboard")));
    const auto r = roles(*p);
    EXPECT_EQ(r.at(QStringLiteral("mainboard_BoardOutline.gbr")), Role::Outline);
    EXPECT_EQ(r.at(QStringLiteral("keyboard_BoardOutline.gbr")), Role::Unused);
    EXPECT_EQ(why(*p, "mainboard_BoardOutline.gbr"), QStringLiteral("ファイル名 mainboard_BoardOutline.gbr"));
}

TEST(Package, EveryOtherLayerIsReadIntoTheBoardFromTheTopDown)
{
    // KiCad's names: the copper of both sides, an inner layer, the top mask, the outline and a
    // drill file; a "silk" file that holds a picture, not Gerber; the other board's copper.
    const auto pad = [](const char* function) {
        return "%TF.FileFunction," + QByteArray(function)
            + "*%\n%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,1.0*%\nD10*\nX1000000Y1000000D03*\nM02*\n";
    };
    const Folder folder({{"board-PTH.drl", excellon()}, {"board-F_Cu.gbr", pad("Copper,L1,Top")},
        {"board-B_Cu.gbr", pad("Copper,L4,Bot")}, {"board-In1_Cu.gbr", pad("Copper,L2,Inr")},
        {"board-F_Mask.gbr", pad("Soldermask,Top")},
        {"board-Edge_Cuts.gbr", polylines({box(0, 0, 10, 10)}, "Profile,NP")},
        {"board-F_SilkS.gbr", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)}});
    const auto b = build(folder);
    ASSERT_TRUE(b->package);
    test::Diagnostics said;
    readBoardLayers(*b->package, b->board, said.sink());
    std::vector<std::pair<QString, QString>> layers;
    for (const BoardLayer& l : b->board.layers) {
        layers.emplace_back(l.role, l.name);
        ASSERT_TRUE(l.image);
        EXPECT_FALSE(l.image->objects.empty());
    }
    EXPECT_EQ(layers,
        (std::vector<std::pair<QString, QString>> {
            {QStringLiteral("mask-top"), QStringLiteral("board-F_Mask.gbr")},
            {QStringLiteral("copper-top"), QStringLiteral("board-F_Cu.gbr")},
            {QStringLiteral("copper-inner"), QStringLiteral("board-In1_Cu.gbr")},
            {QStringLiteral("copper-bottom"), QStringLiteral("board-B_Cu.gbr")},
            {QStringLiteral("outline"), QStringLiteral("board-Edge_Cuts.gbr")},
        }));
    // The picture is no layer, and that is said.
    const QString silk = folder.root + QStringLiteral("/board-F_SilkS.gbr");
    EXPECT_TRUE(said.said.contains(QStringLiteral("information ") + silk + QLatin1Char(' ') + silk
        + QStringLiteral("は Gerber の絵がないため、層として表示しません。")))
        << said.said.join(QLatin1Char('\n')).toStdString();
    EXPECT_LT(layerDepth(QStringLiteral("copper-inner"), 2), layerDepth(QStringLiteral("copper-inner"), 3));
}

TEST(Package, ThePictureBesideTheListShowsTheBoardItsRolesMake)
{
    // A 100 x 80 mm outline and the drill file's holes at (10..40, 10) and (50, 50).
    const Folder folder({{"board-PTH.drl", excellon()}, {"board-Edge_Cuts.gbr", gerber("Profile,NP")},
        {"board-F_Cu.gbr", polylines({box(20, 20, 30, 30)}, "Copper,L1,Top")}});
    QString error;
    const auto p = Package::open(folder.root, &error);
    ASSERT_TRUE(p) << error.toStdString();
    std::vector<Role> roles;
    for (const PackageMember& m : p->members)
        roles.push_back(m.role);
    PackagePicture picture;
    const QSize size(220, 180);
    // The outline's box (its line 0.1 mm wide) fitted with a margin of 6 pixels.
    const double w = 100.1, h = 80.1;
    const double k = std::min((size.width() - 12) / w, (size.height() - 12) / h);
    const double left = (size.width() - w * k) / 2, top = (size.height() - h * k) / 2;
    const auto pixelAt = [&](const QImage& image, double x, double y) {
        return image.pixel(int(std::floor(left + (x + 0.05) * k)), int(std::floor(top + (80.05 - y) * k)));
    };
    const auto close = [](QRgb a, const QColor& b) {
        return std::abs(qRed(a) - b.red()) + std::abs(qGreen(a) - b.green()) + std::abs(qBlue(a) - b.blue())
            < 24;
    };
    QImage drawn = picture.draw(*p, roles, size);
    EXPECT_TRUE(close(pixelAt(drawn, 50, 50), PackagePicture::holeColour(Role::Plated)));
    EXPECT_EQ(pixelAt(drawn, 70, 60), qRgb(255, 255, 255)); // inside the outline, no hole
    // The drill file taken as non-plated: its holes in that colour; left out: no hole at all.
    for (size_t i = 0; i < p->members.size(); ++i) {
        if (p->members[i].name == QLatin1String("board-PTH.drl"))
            roles[i] = Role::NonPlated;
    }
    drawn = picture.draw(*p, roles, size);
    EXPECT_TRUE(close(pixelAt(drawn, 50, 50), PackagePicture::holeColour(Role::NonPlated)));
    for (Role& r : roles)
        r = r == Role::NonPlated ? Role::Unused : r;
    drawn = picture.draw(*p, roles, size);
    EXPECT_FALSE(close(pixelAt(drawn, 50, 50), PackagePicture::holeColour(Role::NonPlated)));
    EXPECT_EQ(pixelAt(drawn, 50, 50), qRgb(255, 255, 255));
    // The copper under it, translucent: the square's edge is not white.
    EXPECT_NE(pixelAt(drawn, 20, 25), qRgb(255, 255, 255));
}

TEST(Package, ADrillFileBelongsToTheBoardWhoseOutlineHoldsItsHoles)
{
    // Two boards' outlines whose boxes overlap (an L and a square in its corner), and two drill
    // files whose names give no board of their own.
    const auto lShape = polylines({{{0, 0}, {100, 0}, {100, 30}, {30, 30}, {30, 80}, {0, 80}, {0, 0}}});
    const auto square = polylines({box(40, 40, 100, 80)});
    const auto drill = [](double x, double y) {
        QByteArray text = "M48\nMETRIC\nT1C0.800\n%\nG90\nG05\nT1\n";
        for (int i = 0; i < 4; ++i)
            text += "X" + QByteArray::number(x + 5 * i, 'f', 2) + "Y" + QByteArray::number(y, 'f', 2) + "\n";
        return text + "M30\n";
    };
    const Folder folder({{"mainboard_BoardOutline.gbr", lShape}, {"keyboard_BoardOutline.gbr", square},
        {"ncdrill.drl", drill(5, 10)}, {"keys.drl", drill(50, 60)}});
    QString error;
    auto p = Package::open(folder.root, &error);
    ASSERT_TRUE(p) << error.toStdString();
    std::map<QString, QString> boardOf;
    for (const PackageMember& m : p->members)
        boardOf[m.name] = m.board;
    EXPECT_EQ(boardOf[QStringLiteral("ncdrill.drl")], QStringLiteral("mainboard"));
    EXPECT_EQ(boardOf[QStringLiteral("keys.drl")], QStringLiteral("keyboard"));
    EXPECT_EQ(p->boards(), (QStringList {QStringLiteral("keyboard"), QStringLiteral("mainboard")}));
    // Each board chosen takes its own drill file and its own outline.
    ASSERT_TRUE(p->chooseBoard(QStringLiteral("keyboard")));
    const auto r = roles(*p);
    EXPECT_EQ(r.at(QStringLiteral("keyboard_BoardOutline.gbr")), Role::Outline);
    EXPECT_EQ(r.at(QStringLiteral("mainboard_BoardOutline.gbr")), Role::Unused);
    EXPECT_EQ(r.at(QStringLiteral("ncdrill.drl")), Role::Unused);
    EXPECT_NE(r.at(QStringLiteral("keys.drl")), Role::Unused);
}
