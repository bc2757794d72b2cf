// The messages under the table: what the reads, the drawings and the checks of the board said,
// with their kind, file and line; information and warnings listed, an error listed and shown in
// a box; the read status tells of them. And the one signal the windows that follow the board take.

#include "app/boardviewwidget.h"
#include "app/checkwindow.h"
#include "app/messagespanel.h"
#include "app/previewwindow.h"
#include "scripted.h"
#include "testutil.h"

#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
using Window = test::TestWindow;

MessagesPanel* panelOf(const Window& w)
{
    return w.part<MessagesPanel>("messagesPanel");
}

QString statusOf(const Window& w)
{
    return w.part<QLabel>("readStatus")->text();
}

// An Excellon file with a line no rule reads (line 7) and numbers of no stated format.
const char* const kSkippedLine = "M48\nINCH\nT1C0.035\n%\nT1\nX01000Y01000\nQQQ\nM30\n";
} // namespace

TEST(MessagesPanel, WarningsAndInformationAreListedWithTheirFileAndLineNotInABox)
{
    test::Scratch dir;
    const QString drill = dir.write(QStringLiteral("b.drl"), kSkippedLine);
    Window w;
    w->openFile(drill);
    EXPECT_TRUE(w.prompts->messages.isEmpty()) << w.prompts->messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(w.messageRows(),
        QStringList({QStringLiteral(
                         "警告|b.drl|7|読み込めない行が1行あったため、読み飛ばしました（最初は7行目）。"),
            QStringLiteral("情報|b.drl||書式の指定がないため、INCH 2.4（末尾ゼロ）とみなして読みました。")}));
    // The whole path where the name is shown, the whole diagnostic kept.
    MessagesPanel* panel = panelOf(w);
    EXPECT_EQ(panel->topLevelItem(0)->toolTip(1), drill);
    ASSERT_EQ(panel->diagnostics().size(), 2u);
    EXPECT_EQ(panel->diagnostics()[0].severity, Severity::Warning);
    EXPECT_EQ(panel->diagnostics()[0].file, drill);
    EXPECT_EQ(panel->diagnostics()[0].line, std::optional<qint64>(7));
    // The status says how the read ended, and that there is something to look at.
    EXPECT_EQ(statusOf(w), QStringLiteral("b.drlを読み込みました。　警告 1件・情報 1件（下の一覧）"));
    EXPECT_FALSE(w.part<QLabel>("readStatusIcon")->isHidden());
}

TEST(MessagesPanel, AnErrorIsShownInABoxAndListed)
{
    Window w;
    w->openFile(test::dataPath("job_comment.gbr"));
    EXPECT_EQ(w.prompts->messages,
        QStringList({QStringLiteral("Kivotrek: ステップ＆リピート及び、円弧（ＩＪ）は使用できません。")}));
    EXPECT_EQ(w.messageRows(),
        QStringList({QStringLiteral(
            "エラー|job_comment.gbr|3|ステップ＆リピート及び、円弧（ＩＪ）は使用できません。")}));
    EXPECT_EQ(statusOf(w),
        QStringLiteral("job_comment.gbrの読み込みを途中で中止しました。　エラー 1件（下の一覧）"));

    // A file that cannot be opened: its box, its line in the list, and the status says so.
    const QString gone = test::dataPath("no-such-file.drl");
    w.dialog->files.push_back(gone);
    w->readCommand(ReaderKind::Excellon);
    const QString text = gone + QStringLiteral("を開けませんでした。") + test::reason(ENOENT);
    EXPECT_EQ(w.prompts->messages.last(), QStringLiteral("Kivotrek: ") + text);
    EXPECT_EQ(w.messageRows(), QStringList({QStringLiteral("エラー|no-such-file.drl||") + text}));
    EXPECT_EQ(
        statusOf(w), QStringLiteral("no-such-file.drlを読み込めませんでした。　エラー 1件（下の一覧）"));

    // A drawing that stops at a line: the box, over the preview, and the line listed.
    test::Scratch dir;
    const QString gerber = dir.write(QStringLiteral("macro.gbr"),
        "%FSLAX24Y24*%\n%ADD10C,0.800*%\nG54D10*\nX10000Y10000D03*\n%AMOC8*5,1,8,0,0,1.08239X$1,22.5*%"
        "\nX20000Y20000D03*\nM02*\n");
    w.dialog->files.push_back(gerber);
    w->readCommand(ReaderKind::Rs274x);
    w.prompts->messages.clear();
    w->showPreview();
    EXPECT_EQ(w.prompts->messages,
        QStringList({QStringLiteral("Kivotrek: 5行目のデータを描画できないため、描画を中止しました。")}));
    EXPECT_EQ(w.messageRows(),
        QStringList(
            {QStringLiteral("エラー|macro.gbr|5|5行目のデータを描画できないため、描画を中止しました。")}));
}

TEST(MessagesPanel, AFileReadAgainForTheOpenPreviewIsDrawnAndToldOnce)
{
    test::Scratch dir;
    const QByteArray macro = "%FSLAX24Y24*%\n%ADD10C,0.800*%\nG54D10*\nX10000Y10000D03*\n"
                             "%AMOC8*5,1,8,0,0,1.08239X$1,22.5*%\nX20000Y20000D03*\nM02*\n";
    const QString gerber = dir.write(QStringLiteral("macro.gbr"), macro);
    Window w;
    w.dialog->files.push_back(gerber);
    w->readCommand(ReaderKind::Rs274x);
    w->showPreview();
    ASSERT_EQ(w.prompts->messages.size(), 1);
    w.prompts->messages.clear();
    // A line more at the top: the drawing now stops at line 6. The preview follows the file read
    // again, and is not drawn (and the stop told) a second time.
    ASSERT_TRUE(QFile::remove(gerber));
    dir.write(QStringLiteral("macro.gbr"), "G04 again*\n" + macro);
    QSignalSpy changed(w.form.get(), &MainWindow::boardChanged);
    w->showPreview();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(w.prompts->messages,
        QStringList({QStringLiteral("Kivotrek: 6行目のデータを描画できないため、描画を中止しました。")}));
    EXPECT_EQ(w.messageRows().mid(1),
        QStringList({QStringLiteral("情報|macro.gbr||") + gerber
                + QStringLiteral("は読み込んだ後に変更されていたため、読み直しました。"),
            QStringLiteral("エラー|macro.gbr|6|6行目のデータを描画できないため、描画を中止しました。")}));
}

TEST(MessagesPanel, ANewBoardEmptiesTheListAnAddedFileAddsToIt)
{
    test::Scratch dir;
    const QString skipped = dir.write(QStringLiteral("b.drl"), kSkippedLine);
    const QString clean =
        dir.write(QStringLiteral("c-NPTH.drl"), "M48\nMETRIC\nT1C3.0\n%\nT1\nX5.0Y5.0\nM30\n");
    Window w;
    w->openFile(skipped);
    ASSERT_EQ(w.messageRows().size(), 2);
    // A file added to the board: its messages after the board's.
    w->openFiles({skipped, dir.write(QStringLiteral("d.drl"), kSkippedLine)});
    EXPECT_EQ(w.messageRows().size(), 4);
    EXPECT_TRUE(w.messageRows()[2].startsWith(QStringLiteral("警告|d.drl|7|")));
    // Another board: its own messages only (none).
    w->openFile(clean);
    EXPECT_TRUE(w.messageRows().isEmpty());
    EXPECT_EQ(statusOf(w), QStringLiteral("c-NPTH.drlを読み込みました。"));
    EXPECT_TRUE(w.part<QLabel>("readStatusIcon")->isHidden());
    // 新規: no board, no messages, no status.
    w->openFile(skipped);
    ASSERT_FALSE(w.messageRows().isEmpty());
    w->newBoard();
    EXPECT_TRUE(w.messageRows().isEmpty());
    EXPECT_TRUE(statusOf(w).isEmpty());
    // 消去 empties the list and the count; the read status stays.
    w->openFile(skipped);
    QAction* clear = w.action(QStringLiteral("clearMessages"));
    ASSERT_TRUE(clear->isEnabled());
    clear->trigger();
    EXPECT_TRUE(w.messageRows().isEmpty());
    EXPECT_FALSE(clear->isEnabled());
    EXPECT_EQ(statusOf(w), QStringLiteral("b.drlを読み込みました。"));
}

TEST(MessagesPanel, SitsUnderTheTableBySplitterAndTheWindowGrowsOnlyForIt)
{
    Window w;
    auto* splitter = w.part<QSplitter>("mainSplitter");
    ASSERT_EQ(splitter->count(), 2);
    EXPECT_EQ(splitter->widget(1), static_cast<QWidget*>(panelOf(w)));
    EXPECT_EQ(panelOf(w)->headerItem()->text(0) + panelOf(w)->headerItem()->text(1)
            + panelOf(w)->headerItem()->text(2) + panelOf(w)->headerItem()->text(3),
        QStringLiteral("種別ファイル行内容"));
    w->show();
    QApplication::processEvents();
    const QWidget* client = w.part<QWidget>("client");
    // The table at its designed size, whole at first; the list under it.
    EXPECT_GE(splitter->sizes()[0], client->height());
    EXPECT_GT(splitter->sizes()[1], 3 * panelOf(w)->fontMetrics().height());
    // The splitter gives the list more room; the table scrolls then.
    splitter->setSizes({client->height() / 2, splitter->sizes()[1] + client->height() / 2});
    EXPECT_LT(splitter->sizes()[0], client->height());
    EXPECT_EQ(client->height(), client->minimumHeight()); // the table keeps its layout
}

TEST(BoardChanged, OnceForEachChangeOfTheBoard)
{
    test::Scratch dir;
    const QString plated = test::example("board-PTH.drl");
    const QString npth = test::example("board-NPTH.drl");
    Window w;
    QSignalSpy changed(w.form.get(), &MainWindow::boardChanged);
    const auto took = [&changed](BoardChange expected) {
        const bool once = changed.count() == 1 && changed.first().first().value<BoardChange>() == expected;
        changed.clear();
        return once;
    };
    w->openFile(plated);
    EXPECT_TRUE(took(BoardChange::Board));
    w.dialog->files.push_back(npth);
    w->addDrillFile();
    EXPECT_TRUE(took(BoardChange::Board));
    // A burst of edits: once, after it.
    w.diameterEdit(0)->setText(QStringLiteral("0.5"));
    w.diameterEdit(0)->setText(QStringLiteral("0.55"));
    EXPECT_EQ(changed.count(), 0);
    test::waitForFollow();
    EXPECT_TRUE(took(BoardChange::Table));
    w.action(QStringLiteral("drawSymbols"))->toggle();
    EXPECT_TRUE(took(BoardChange::Options));
    w.action(QStringLiteral("drawSymbols"))->toggle();
    changed.clear();
    // A file taken out.
    w.prompts->choices = {1};
    w->removeFile();
    EXPECT_TRUE(took(BoardChange::Board));
    // A file changed on disk: read again when the board is next used, once.
    const QString drill = dir.write(QStringLiteral("b.drl"), "M48\nMETRIC\nT1C0.8\n%\nT1\nX1Y1\nM30\n");
    w.prompts->saveChoices = {Prompts::SaveChoice::Discard};
    w->openFile(drill);
    changed.clear();
    ASSERT_TRUE(QFile::remove(drill));
    dir.write(QStringLiteral("b.drl"), "M48\nMETRIC\nT1C0.8\n%\nT1\nX1Y1\nX2Y2\nM30\n");
    w->showChecks();
    EXPECT_TRUE(took(BoardChange::Board));
    w->showChecks(); // nothing changed since: no signal
    EXPECT_EQ(changed.count(), 0);
    w.prompts->saveChoices = {Prompts::SaveChoice::Discard};
    w->newBoard();
    EXPECT_TRUE(took(BoardChange::Board));
}

TEST(BoardChanged, ThePreviewItsViewAndTheChecksFollowTheSignal)
{
    Window w;
    w->openFiles({test::example("board-PTH-drl.gbr"), test::example("board-NPTH.drl"),
        test::example("board-Edge_Cuts.gbr")});
    w->showPreview();
    w->showChecks();
    PreviewWindow* preview = w->previewWindow();
    CheckWindow* checks = w->checkWindow();
    ASSERT_TRUE(preview && checks);
    ASSERT_EQ(checks->report().total(), 2);
    // The table changed in code and the change signalled, nothing else: the preview says the row
    // it cannot draw, the checks run on the table as it is.
    const QString diameter = w->table().row(0).diameter;
    w->table().row(0).diameter.clear();
    emit w->boardChanged(BoardChange::Board);
    EXPECT_TRUE(preview->showsTableProblem());
    EXPECT_TRUE(preview->problemLabel()->text().contains(QStringLiteral("D10の穴径が未入力です。")));
    w->table().row(0).diameter = diameter;
    emit w->boardChanged(BoardChange::Table);
    EXPECT_FALSE(preview->showsTableProblem());
    // The picture and the checks are of the table as it is now: a row's diameter changed and
    // signalled.
    const QImage before = preview->surface().image();
    w->table().row(0).diameter = QStringLiteral("3.00");
    emit w->boardChanged(BoardChange::Table);
    EXPECT_NE(preview->surface().image(), before);
    QApplication::processEvents(); // the checks run once the preview is on screen
    EXPECT_GT(checks->report().total(), 2);
    // No board: both close.
    w.prompts->saveChoices = {Prompts::SaveChoice::Discard};
    w->newBoard();
    QApplication::processEvents();
    EXPECT_FALSE(w->previewWindow() && w->previewWindow()->isVisible());
    EXPECT_FALSE(w->checkWindow() && w->checkWindow()->isVisible());
}
