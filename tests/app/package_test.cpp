// A package in the desktop program: the package window, the command, a drop, the recent boards.

#include "app/packagedialog.h"
#include "package/archivewriter.h"
#include "scripted.h"
#include "testutil.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTableWidget>
#include <QUrl>
#include <gtest/gtest.h>

using namespace kivotrek;
using Role = PackageMember::Role;

namespace {
using Window = test::TestWindow;

// The sample board's KiCad files in a folder, with a copper layer no drill file is.
struct KiCadFolder {
    test::Scratch scratch;
    QString root;
    KiCadFolder()
    {
        root = scratch.path(QStringLiteral("kicad"));
        QDir().mkpath(root);
        for (const char* name : {"board-PTH.drl", "board-NPTH.drl", "board-Edge_Cuts.gbr", "board.gbr"})
            QFile::copy(test::example(name), root + QLatin1Char('/') + QLatin1String(name));
    }
    QString file(const char* name) const { return root + QLatin1Char('/') + QLatin1String(name); }
};

int memberIndex(const Package& p, const char* name)
{
    for (size_t i = 0; i < p.members.size(); ++i) {
        if (p.members[i].name == QLatin1String(name))
            return int(i);
    }
    return -1;
}

void drop(MainWindow* window, const QStringList& paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}
} // namespace

TEST(PackageWindow, ShowsEachFileItsRoleAndWhyAndTakesTheUsersChoice)
{
    const KiCadFolder folder;
    QString error;
    auto package = Package::open(folder.root, &error);
    ASSERT_TRUE(package);
    PackageDialog dialog(*package);
    QTableWidget* table = dialog.table();
    ASSERT_EQ(table->rowCount(), 4);
    const int pth = memberIndex(*package, "board-PTH.drl");
    const int copper = memberIndex(*package, "board.gbr");
    EXPECT_EQ(table->item(pth, 0)->text(), QStringLiteral("board-PTH.drl"));
    EXPECT_EQ(dialog.roleBox(pth)->currentText(), QStringLiteral("メッキ穴"));
    EXPECT_EQ(table->item(pth, 2)->text(), QStringLiteral("X2 属性 Plated"));
    EXPECT_EQ(dialog.roleBox(copper)->currentText(), QStringLiteral("使わない"));
    // What each file is on the board, whether it is used or not.
    EXPECT_EQ(table->item(pth, 3)->text(), QStringLiteral("穴"));
    EXPECT_EQ(table->item(memberIndex(*package, "board-Edge_Cuts.gbr"), 3)->text(), QStringLiteral("外形"));
    EXPECT_EQ(dialog.boardBox(), nullptr);
    // The user leaves the plated file out; the others keep their roles.
    dialog.roleBox(pth)->setCurrentText(QStringLiteral("使わない"));
    dialog.accept();
    EXPECT_EQ(package->members[size_t(pth)].role, Role::Unused);
    EXPECT_EQ(package->members[size_t(pth)].why, QStringLiteral("手で選んだ役割"));
    EXPECT_EQ(package->members[size_t(memberIndex(*package, "board-NPTH.drl"))].role, Role::NonPlated);

    // A package of two boards: the board box chooses, and the roles follow.
    const QString lid = folder.file("lid-PTH.drl");
    QFile f(lid);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("M48\nMETRIC\nT1C0.8\n%\nT1\nX120.0Y-100.0\nM30\n");
    f.close();
    package = Package::open(folder.root, &error);
    ASSERT_TRUE(package);
    PackageDialog two(*package);
    ASSERT_NE(two.boardBox(), nullptr);
    EXPECT_EQ(two.boardBox()->currentText(), QStringLiteral("board"));
    const int lidRow = memberIndex(*package, "lid-PTH.drl");
    EXPECT_EQ(two.roleBox(lidRow)->currentText(), QStringLiteral("使わない"));
    two.boardBox()->setCurrentText(QStringLiteral("lid"));
    EXPECT_EQ(two.roleBox(lidRow)->currentText(), QStringLiteral("メッキ穴"));
    EXPECT_EQ(two.roleBox(memberIndex(*package, "board-PTH.drl"))->currentText(), QStringLiteral("使わない"));
    EXPECT_EQ(two.table()->item(memberIndex(*package, "board-PTH.drl"), 2)->text(),
        QStringLiteral("別の基板：board"));
}

TEST(PackageWindow, OpenPackageBuildsTheBoardAndKeepsItsSettingsBesideIt)
{
    const KiCadFolder folder;
    Window w;
    // Any file of the folder stands for the folder.
    w.dialog->files.push_back(folder.file("board.gbr"));
    w.action(QStringLiteral("openPackage"))->trigger();
    ASSERT_EQ(w.dialog->shown.size(), 1);
    EXPECT_TRUE(w.dialog->shown.front().startsWith(QStringLiteral("open パッケージ (*.zip")));
    EXPECT_EQ(w.prompts->messages.first(), QStringLiteral("package? ") + folder.root);
    EXPECT_EQ(w->board().files.size(), 2u);
    EXPECT_EQ(w->board().outline, folder.file("board-Edge_Cuts.gbr"));
    EXPECT_EQ(w.pathEdit()->text(),
        folder.root + QStringLiteral(" ＋ board-PTH.drl ＋ board-NPTH.drl ＋ 外形 board-Edge_Cuts.gbr"));
    EXPECT_EQ(w.countLabel(0)->text(), QStringLiteral("70"));
    w.productCodeEdit()->setText(QStringLiteral("KT-7"));
    w->saveSettings();
    EXPECT_TRUE(QFile::exists(folder.file("KIVOTREK.INI")));

    // An archive: the board from its members, the settings beside it; a cancelled window
    // changes nothing.
    const QString zip = folder.scratch.path(QStringLiteral("board.zip"));
    ASSERT_TRUE(test::writeArchive(zip, "zip",
        {{"board-PTH.drl", test::readAll(folder.file("board-PTH.drl"))},
            {"board-Edge_Cuts.gbr", test::readAll(folder.file("board-Edge_Cuts.gbr"))}}));
    w.prompts->review = [](Package&) { return false; };
    w.prompts->saveChoices = {Prompts::SaveChoice::Discard};
    EXPECT_FALSE(w->openPackagePath(zip));
    EXPECT_EQ(w->board().files.size(), 2u);
    w.prompts->review = nullptr;
    w.prompts->saveChoices = {Prompts::SaveChoice::Discard};
    ASSERT_TRUE(w->openPackagePath(zip));
    EXPECT_EQ(w->board().package, zip);
    ASSERT_EQ(w->board().files.size(), 1u);
    EXPECT_TRUE(QFile::exists(w->board().files[0].path)); // unpacked while the board is open
    w->saveSettings();
    EXPECT_TRUE(QFile::exists(folder.scratch.path(QStringLiteral("KIVOTREK.INI"))));
}

TEST(PackageWindow, DroppedFilesAndPackagesOpenAsABoardAndAreRemembered)
{
    const KiCadFolder folder;
    Window w;
    // One drill file: its reader by its content.
    drop(w.form.get(), {folder.file("board-NPTH.drl")});
    ASSERT_EQ(w->board().files.size(), 1u);
    EXPECT_EQ(w->board().files[0].reader, ReaderKind::Excellon);
    // Several: one board.
    w.prompts->saveChoices = {Prompts::SaveChoice::Discard};
    drop(w.form.get(),
        {folder.file("board-PTH.drl"), folder.file("board-NPTH.drl"), folder.file("board-Edge_Cuts.gbr")});
    EXPECT_EQ(w->board().files.size(), 2u);
    EXPECT_EQ(w->board().outline, folder.file("board-Edge_Cuts.gbr"));
    // A folder: its package window.
    w.prompts->saveChoices = {Prompts::SaveChoice::Discard};
    drop(w.form.get(), {folder.root});
    EXPECT_EQ(w->board().package, folder.root);

    // The recent boards, the last first: the package, the board of three files, the file.
    auto* recent = w.form->findChild<QMenu*>(QStringLiteral("recentMenu"));
    ASSERT_TRUE(recent);
    const QList<QAction*> entries = recent->actions();
    ASSERT_GE(entries.size(), 3);
    EXPECT_EQ(entries[0]->text(), QStringLiteral("&1 ") + w.pathEdit()->text());
    EXPECT_TRUE(entries[1]->text().startsWith(
        QStringLiteral("&2 ") + folder.file("board-PTH.drl") + QStringLiteral(" ＋ board-NPTH.drl")));
    // Each opens as it was.
    w.prompts->saveChoices = {Prompts::SaveChoice::Discard};
    entries[1]->trigger();
    EXPECT_TRUE(w->board().package.isEmpty());
    EXPECT_EQ(w->board().files.size(), 2u);
    EXPECT_EQ(w->board().outline, folder.file("board-Edge_Cuts.gbr"));
    w.prompts->saveChoices = {Prompts::SaveChoice::Discard};
    recent->actions()[1]->trigger(); // the list moved: the package is second now
    EXPECT_EQ(w->board().package, folder.root);
}

TEST(PackageWindow, ARecentPackageReopensTheBoardItNamesWithTheRolesChosenByHandAndNoWindow)
{
    const KiCadFolder folder;
    Window w;
    // The user leaves the non-plated file out in the package window.
    w.prompts->review = [](Package& p) {
        p.members[size_t(memberIndex(p, "board-NPTH.drl"))].role = Role::Unused;
        return true;
    };
    ASSERT_TRUE(w->openPackagePath(folder.root));
    ASSERT_EQ(w->board().files.size(), 1u);
    const QString shown = w.pathEdit()->text();
    // Since then another board's drill file came into the folder, and another board was opened.
    QFile lid(folder.file("lid-PTH.drl"));
    ASSERT_TRUE(lid.open(QIODevice::WriteOnly));
    lid.write("M48\nMETRIC\nT1C0.8\n%\nT1\nX120.0Y-100.0\nM30\n");
    lid.close();
    w.prompts->review = nullptr;
    w->openFiles({test::example("board-allegro.drl")});
    w.prompts->messages.clear();

    // The recent entry: the same board, its roles as chosen, without the package window.
    auto* recent = w.form->findChild<QMenu*>(QStringLiteral("recentMenu"));
    ASSERT_TRUE(recent);
    ASSERT_GE(recent->actions().size(), 2);
    EXPECT_EQ(recent->actions()[1]->text(), QStringLiteral("&2 ") + shown);
    recent->actions()[1]->trigger();
    EXPECT_FALSE(w.prompts->messages.join(QLatin1Char('\n')).contains(QStringLiteral("package?")))
        << w.prompts->messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(w->board().package, folder.root);
    ASSERT_EQ(w->board().files.size(), 1u);
    EXPECT_TRUE(w->board().files[0].path.endsWith(QStringLiteral("/board-PTH.drl")));
    EXPECT_EQ(w->board().outline, folder.file("board-Edge_Cuts.gbr"));
    EXPECT_EQ(w.pathEdit()->text(), shown);
    // Opened again it is the first entry still, not a second one of the folder.
    EXPECT_EQ(recent->actions()[0]->text(), QStringLiteral("&1 ") + shown);
    EXPECT_FALSE(recent->actions()[1]->text().contains(folder.root + QStringLiteral(" ＋")));
    // A drill file from elsewhere added to it comes back with it.
    const QString other = test::example("board-NPTH-drl.gbr");
    w.dialog->files.push_back(other);
    w->addDrillFile();
    ASSERT_EQ(w->board().files.size(), 2u);
    w->openFiles({test::example("board-allegro.drl")});
    w.prompts->messages.clear();
    recent->actions()[1]->trigger();
    ASSERT_EQ(w->board().files.size(), 2u);
    EXPECT_EQ(w->board().files[1].path, other);
    EXPECT_EQ(w->board().outline, folder.file("board-Edge_Cuts.gbr"));
    EXPECT_FALSE(w.prompts->messages.join(QLatin1Char('\n')).contains(QStringLiteral("package?")));

    // A file of the board gone: the package window shows what is left, the roles as they were.
    ASSERT_TRUE(QFile::remove(folder.file("board-PTH.drl")));
    w.prompts->messages.clear();
    Role npth = Role::Plated, lidRole = Role::Plated;
    w.prompts->review = [&](Package& p) {
        npth = p.members[size_t(memberIndex(p, "board-NPTH.drl"))].role;
        lidRole = p.members[size_t(memberIndex(p, "lid-PTH.drl"))].role;
        return false;
    };
    recent->actions()[0]->trigger();
    EXPECT_EQ(w.prompts->messages.value(0), QStringLiteral("package? ") + folder.root);
    EXPECT_EQ(npth, Role::Unused);
    EXPECT_EQ(lidRole, Role::Unused);
}

namespace {
// KiCad's non-plated drill file of a board without such holes: its header, no tool, no hole.
const QByteArray kEmptyNpth = "M48\n; DRILL file {KiCad 8.0.4} date 2026-12-07T16:00:00+0900\n"
                              "; FORMAT={-:-/ absolute / metric / decimal}\n"
                              "; #@! TF.FileFunction,NonPlated,1,2,NPTH\nFMAT,2\nMETRIC\n%\nG90\nG05\nM30\n";
} // namespace

TEST(PackageWindow, AnEmptyDrillFileIsSaidOnItsLineNotInAMessageBox)
{
    const KiCadFolder folder;
    QFile npth(folder.file("board-NPTH.drl"));
    ASSERT_TRUE(npth.open(QIODevice::WriteOnly | QIODevice::Truncate));
    npth.write(kEmptyNpth);
    npth.close();
    QString error;
    auto package = Package::open(folder.root, &error);
    ASSERT_TRUE(package);
    const int empty = memberIndex(*package, "board-NPTH.drl");
    const int pth = memberIndex(*package, "board-PTH.drl");
    EXPECT_TRUE(package->members[size_t(empty)].holeless);
    EXPECT_FALSE(package->members[size_t(pth)].holeless);
    {
        PackageDialog dialog(*package);
        EXPECT_EQ(dialog.roleBox(empty)->currentText(), QStringLiteral("メッキなし穴"));
        EXPECT_EQ(
            dialog.table()->item(empty, 2)->text(), QStringLiteral("X2 属性 NonPlated　（穴がありません）"));
        EXPECT_EQ(dialog.table()->item(pth, 2)->text(), QStringLiteral("X2 属性 Plated"));
        // The user's role keeps the note.
        dialog.roleBox(empty)->setCurrentIndex(2);
        emit dialog.roleBox(empty)->activated(2);
        EXPECT_EQ(
            dialog.table()->item(empty, 2)->text(), QStringLiteral("手で選んだ役割　（穴がありません）"));
    }
    // The board is built without a box that stops it.
    Window w;
    ASSERT_TRUE(w->openPackagePath(folder.root));
    EXPECT_EQ(w.prompts->messages, QStringList({QStringLiteral("package? ") + folder.root}));
    EXPECT_EQ(w->board().files.size(), 2u);
    EXPECT_EQ(w.countLabel(0)->text(), QStringLiteral("70"));
    EXPECT_TRUE(w.messageRows().isEmpty()) << w.messageRows().join(QLatin1Char('\n')).toStdString();
    // The same file opened by itself still says it, as a warning under the table.
    w.prompts->messages.clear();
    w->openFiles({folder.file("board-NPTH.drl")});
    EXPECT_TRUE(w.prompts->messages.isEmpty());
    EXPECT_EQ(w.messageRows(),
        QStringList({QStringLiteral("警告|board-NPTH.drl||") + folder.file("board-NPTH.drl")
            + QStringLiteral("には穴がありません。")}));
}

TEST(PackageWindow, MembersKeptUnderAnotherNameAreSaidInItsWindow)
{
    // Two members of one name, as a zip made by hand may hold.
    test::Scratch dir;
    const QString zip = dir.write(QStringLiteral("board.zip"),
        test::rawZip({{"board-PTH.drl", test::readAll(test::example("board-PTH.drl"))},
            {"board-PTH.drl", test::readAll(test::example("board-NPTH.drl"))}}));
    QString error;
    auto package = Package::open(zip, &error);
    ASSERT_TRUE(package) << error.toStdString();
    const QString note =
        QStringLiteral("board.zipには「board-PTH.drl」という名前のファイルが他にもあるため、「board-PTH "
                       "(2).drl」として読みました。");
    {
        PackageDialog dialog(*package);
        const auto* notes = dialog.findChild<QLabel*>(QStringLiteral("packageNotes"));
        ASSERT_TRUE(notes);
        EXPECT_EQ(notes->text(), note);
        EXPECT_EQ(dialog.table()->rowCount(), 2);
    }
    // Both files are read, and the note is no box after the window.
    Window w;
    ASSERT_TRUE(w->openPackagePath(zip));
    EXPECT_EQ(w.prompts->messages, QStringList({QStringLiteral("package? ") + zip}));
    EXPECT_EQ(w->board().files.size(), 2u);
}

namespace {
// A recent board of one file as the settings keep it, its reader as given.
QString recentFile(const QString& path, const QJsonValue& reader)
{
    const QJsonObject entry {
        {QStringLiteral("files"),
            QJsonArray {QJsonObject {{QStringLiteral("path"), path}, {QStringLiteral("reader"), reader}}}},
        {QStringLiteral("shown"), path}};
    return QString::fromUtf8(QJsonDocument(entry).toJson(QJsonDocument::Compact));
}

QMenu* recentMenu(const Window& w)
{
    return w.form->findChild<QMenu*>(QStringLiteral("recentMenu"));
}
} // namespace

TEST(RecentBoards, AFileKeepsItsReaderByIdAndABoardOfAnOlderVersionByItsNumber)
{
    // Each file remembered with a reader its first lines do not call for: reopened by content,
    // it would show.
    const QString standard = test::example("board.gbr"), rs274x = test::example("board-274x.gbr"),
                  drill = test::example("board-PTH.drl");
    const struct {
        QString path;
        QJsonValue reader;
        ReaderKind reopened;
    } cases[] = {
        {rs274x, 0, ReaderKind::Standard}, // before the readers had ids
        {standard, 1, ReaderKind::Rs274x},
        {standard, 2, ReaderKind::Excellon},
        {drill, 3, ReaderKind::GerberX2},
        {standard, QStringLiteral("rs274x"), ReaderKind::Rs274x},
        {rs274x, QStringLiteral("standard"), ReaderKind::Standard},
        {standard, QStringLiteral("x2"), ReaderKind::GerberX2},
    };
    for (const auto& c : cases) {
        MainWindow::viewSettings().setValue(
            QStringLiteral("recent/boards"), QStringList {recentFile(c.path, c.reader)});
        Window w;
        ASSERT_EQ(recentMenu(w)->actions().size(), 1);
        EXPECT_EQ(recentMenu(w)->actions()[0]->text(), QStringLiteral("&1 ") + c.path);
        recentMenu(w)->actions()[0]->trigger();
        ASSERT_EQ(w->board().files.size(), 1u) << c.reader.toVariant().toString().toStdString();
        EXPECT_EQ(w->board().files[0].reader, c.reopened) << c.reader.toVariant().toString().toStdString();
        // Remembered again by its id.
        const QJsonObject first = QJsonDocument::fromJson(MainWindow::viewSettings()
                                                              .value(QStringLiteral("recent/boards"))
                                                              .toStringList()
                                                              .value(0)
                                                              .toUtf8())
                                      .object();
        EXPECT_EQ(
            first.value(QStringLiteral("files")).toArray()[0].toObject().value(QStringLiteral("reader")),
            QJsonValue(QLatin1String(c.reopened.id())));
    }
    MainWindow::viewSettings().remove(QStringLiteral("recent/boards"));
}

TEST(RecentBoards, AReaderThisVersionDoesNotHaveIsNeitherListedNorReopenedWithAnother)
{
    // A later version's reader, by its id or a number past the four: before, 4 and more were
    // taken as Gerber X2 and 0 for a text.
    const QString standard = test::example("board.gbr"), drill = test::example("board-PTH.drl");
    const QStringList stored = {recentFile(test::example("board-NPTH.drl"), QStringLiteral("sieb")),
        recentFile(standard, 1), recentFile(drill, 4), recentFile(drill, -1), recentFile(drill, 2.5),
        recentFile(drill, QJsonValue()), recentFile(drill, QStringLiteral("Excellon")),
        recentFile(drill, QStringLiteral("excellon"))};
    MainWindow::viewSettings().setValue(QStringLiteral("recent/boards"), stored);
    Window w;
    const QList<QAction*> listed = recentMenu(w)->actions();
    ASSERT_EQ(listed.size(), 2);
    EXPECT_EQ(listed[0]->text(), QStringLiteral("&1 ") + standard);
    EXPECT_EQ(listed[1]->text(), QStringLiteral("&2 ") + drill);
    EXPECT_EQ(listed[1]->objectName(), QStringLiteral("recent2"));
    listed[1]->trigger();
    ASSERT_EQ(w->board().files.size(), 1u);
    EXPECT_EQ(w->board().files[0].reader, ReaderKind::Excellon);
    // What the other version remembered stays for it.
    const QStringList kept = MainWindow::viewSettings().value(QStringLiteral("recent/boards")).toStringList();
    EXPECT_TRUE(kept.contains(stored[0]));
    MainWindow::viewSettings().remove(QStringLiteral("recent/boards"));

    // Only such boards: the menu is off.
    MainWindow::viewSettings().setValue(QStringLiteral("recent/boards"), QStringList {stored[0]});
    Window alone;
    EXPECT_TRUE(recentMenu(alone)->actions().isEmpty());
    EXPECT_FALSE(recentMenu(alone)->isEnabled());
    MainWindow::viewSettings().remove(QStringLiteral("recent/boards"));
}
