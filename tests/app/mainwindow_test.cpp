#include "app/checkwindow.h"
#include "app/colorswatch.h"
#include "app/helpviewer.h"
#include "app/mainwindow.h"
#include "app/previewwindow.h"
#include "app/tablelayout.h"

#include "app/tabcontrol.h"
#include "gerber/formatsniffer.h"
#include "scripted.h"
#include "testutil.h"
#include <QLabel>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
using Window = test::TestWindow;

QStringList captions(const QList<QAction*>& actions)
{
    QStringList out;
    for (const QAction* a : actions)
        out << a->objectName() + QLatin1Char('=') + a->text();
    return out;
}
} // namespace

TEST(MainWindow, StartsInItsInitialState)
{
    Window w;
    EXPECT_EQ(w->windowTitle(), QStringLiteral("穴区分け図"));
    EXPECT_GE(w->centralWidget()->width(), w->twips().px(11310)); // wider where the values need it
    EXPECT_GE(w->centralWidget()->height(), w->twips().px(4890));
    // Never narrower than the table; taller or wider for the messages under it.
    EXPECT_GE(w->minimumWidth(), w.part<QWidget>("client")->width());
    EXPECT_GT(w->maximumHeight(), w->minimumHeight());
    EXPECT_TRUE(w.messageRows().isEmpty());
    EXPECT_TRUE(w.part<QLabel>("readStatus")->text().isEmpty());
    EXPECT_EQ(w->centralWidget()->palette().color(QPalette::Window), QColor(192, 255, 192));
    EXPECT_TRUE(w.pathEdit()->text().isEmpty());
    EXPECT_TRUE(w.pathEdit()->isReadOnly());
    EXPECT_TRUE(w.productCodeEdit()->text().isEmpty());
    EXPECT_EQ(w.sizeChoice()->currentText(), QStringLiteral("自動(A4縦)"));
    ASSERT_EQ(w.sizeChoice()->count(), 15);
    EXPECT_EQ(w.sizeChoice()->itemText(3), QStringLiteral("自動(B4横)"));
    EXPECT_EQ(w.sizeChoice()->itemText(8), QStringLiteral("140"));
    EXPECT_EQ(w.sizeChoice()->itemText(14), QStringLiteral("40"));
    EXPECT_FALSE(w.action(QStringLiteral("readSettings"))->isEnabled());
    EXPECT_EQ(w.tableTabs()->currentIndex(), 0);
    EXPECT_EQ(w.tableTabs()->tabText(0) + w.tableTabs()->tabText(1) + w.tableTabs()->tabText(2),
        QStringLiteral("1-2122-4243-63"));
    for (int i = 0; i < HoleTable::kRows; ++i) {
        EXPECT_EQ(w.dcodeEdit(i)->text(), QStringLiteral("D"));
        EXPECT_EQ(w.dcodeEdit(i)->palette().color(QPalette::Text), QColor(0, 0, 192));
        EXPECT_TRUE(w.diameterEdit(i)->text().isEmpty());
        for (QComboBox* c : {w.toleranceSign(i, 0), w.toleranceValue(i, 0), w.toleranceSign(i, 1),
                 w.toleranceValue(i, 1), w.kindBox(i)})
            EXPECT_TRUE(c->currentText().isEmpty()) << i;
        EXPECT_EQ(w.toleranceValue(i, 1)->count(), i < 42 ? 9 : 8);
        EXPECT_EQ(w.toleranceSign(i, 1)->count(), 3);
        EXPECT_EQ(w.kindBox(i)->itemText(2), QStringLiteral("外形"));
        EXPECT_EQ(fromQColor(w.swatch(i)->fillColor()), HoleTable::initialColor(i)) << i;
    }
    EXPECT_TRUE(w->logo().isNull()); // no image.bmp in that folder
    // Centred on the screen.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE(std::abs(w->x() + w->width() / 2 - screen.center().x()), 1);
    EXPECT_LE(std::abs(w->y() + w->height() / 2 - screen.center().y()), 1);
}

TEST(MainWindow, MenuBarInOrder)
{
    Window w;
    // The menus and every entry with its access key, as a Japanese desktop program shows them.
    EXPECT_EQ(captions(w->menuBar()->actions()),
        QStringList({QStringLiteral("=ファイル(&F)"), QStringLiteral("=表示(&V)"),
            QStringLiteral("print=印刷(&P)"), QStringLiteral("=ヘルプ(&H)"),
            QStringLiteral("saveSettings=設定ファイルの保存(&S)"), QStringLiteral("close=閉じる(&C)")}));
    EXPECT_EQ(captions(w->menuBar()->actions()[0]->menu()->actions()),
        QStringList({QStringLiteral("newBoard=新規(&N)"),
            QStringLiteral("openPackage=パッケージを開く（フォルダ・アーカイブ）(&O)"),
            QStringLiteral("=最近使ったファイル(&R)"), QStringLiteral("="),
            QStringLiteral("readStandardGerber=標準ガーバの読み込み(F4.3)(&S)"),
            QStringLiteral("readRs274x=274xガーバ読み込み(&X)"),
            QStringLiteral("readExcellon=Excellonドリルの読み込み(&E)"),
            QStringLiteral("readGerberX2=Gerber X2 ドリル/外形の読み込み(&G)"),
            QStringLiteral("addDrillFile=ドリルファイルの追加(&A)"),
            QStringLiteral("readOutline=外形ファイルの読み込み(&L)"),
            QStringLiteral("removeFile=ファイルを外す(&D)"),
            QStringLiteral("readSettings=前回の設定ファイルの読み込み(&I)"),
            QStringLiteral("saveDrillTable=穴数一覧の保存 (CSV)(&C)")}));
    EXPECT_EQ(captions(w->menuBar()->actions()[1]->menu()->actions()),
        QStringList(
            {QStringLiteral("showPreview=プレビュー(&P)"), QStringLiteral("checkHoles=穴チェック(&C)"),
                QStringLiteral("="), QStringLiteral("showCountsInLegend=凡例に穴数を表示(&N)"),
                QStringLiteral("drawSymbols=記号で描く（白黒印刷向け）(&S)"), QStringLiteral("="),
                QStringLiteral("clearMessages=メッセージを消去(&M)")}));
    EXPECT_EQ(captions(w->menuBar()->actions()[3]->menu()->actions()),
        QStringList({QStringLiteral("showAbout=バージョン情報(&A)"),
            QStringLiteral("showHelp=Kivotrek ヘルプ(&H)")}));
    // The desktop's own keys: Ctrl+N, Ctrl+O, Ctrl+S, Ctrl+P and F1; F5 the preview, F6 the
    // checks; no other command has one.
    const std::map<QString, QKeySequence> keys = {
        {QStringLiteral("newBoard"), QKeySequence(QKeySequence::New)},
        {QStringLiteral("openPackage"), QKeySequence(QStringLiteral("Ctrl+O"))},
        {QStringLiteral("saveSettings"), QKeySequence(QStringLiteral("Ctrl+S"))},
        {QStringLiteral("print"), QKeySequence(QStringLiteral("Ctrl+P"))},
        {QStringLiteral("showHelp"), QKeySequence(QStringLiteral("F1"))},
        {QStringLiteral("showPreview"), QKeySequence(QStringLiteral("F5"))},
        {QStringLiteral("checkHoles"), QKeySequence(QStringLiteral("F6"))}};
    for (QAction* a : w->findChildren<QAction*>()) {
        const auto key = keys.find(a->objectName());
        EXPECT_EQ(a->shortcut(), key == keys.end() ? QKeySequence() : key->second)
            << a->objectName().toStdString();
    }
}

namespace {
// Each entry of the menu (a separator aside) ends with an access key of its own in the menu:
// "(&X)", or "&1 " before a recent board.
void expectAccessKeys(const QList<QAction*>& actions, const QString& where)
{
    QSet<QChar> seen;
    for (const QAction* a : actions) {
        if (a->isSeparator())
            continue;
        const QString text = a->text();
        const int amp = text.indexOf(QLatin1Char('&'));
        ASSERT_GE(amp, 0) << where.toStdString() << ": " << text.toStdString();
        EXPECT_TRUE(text.endsWith(QLatin1Char(')')) || text.startsWith(QLatin1Char('&')))
            << text.toStdString();
        const QChar key = text.at(amp + 1).toUpper();
        EXPECT_FALSE(seen.contains(key))
            << where.toStdString() << ": two entries take " << QString(key).toStdString();
        seen.insert(key);
    }
}
} // namespace

TEST(MainWindow, EveryMenuEntryHasAnAccessKeyAndF5AndF6OpenThePreviewAndTheChecks)
{
    Window w;
    w->openFiles({test::example("board-PTH.drl"), test::example("board-NPTH.drl")});
    expectAccessKeys(w->menuBar()->actions(), QStringLiteral("menu bar"));
    for (const QAction* m : w->menuBar()->actions()) {
        if (m->menu())
            expectAccessKeys(m->menu()->actions(), m->text());
    }
    expectAccessKeys(
        w.form->findChild<QMenu*>(QStringLiteral("recentMenu"))->actions(), QStringLiteral("recent"));
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.form.get()));
    QTest::keyClick(w.form.get(), Qt::Key_F5);
    ASSERT_TRUE(w->previewWindow());
    EXPECT_TRUE(w->previewWindow()->isVisible());
    expectAccessKeys(w->previewWindow()->menuBar()->actions(), QStringLiteral("preview"));
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.form.get()));
    QTest::keyClick(w.form.get(), Qt::Key_F6);
    ASSERT_TRUE(w->checkWindow());
    EXPECT_TRUE(w->checkWindow()->isVisible());
}

TEST(MainWindow, RowsSitOnTheirPagesAtTheirPlaces)
{
    Window w;
    const Twips& tw = w->twips();
    // Row 20: last on page 1, right column, seventh line. Row 21: first on page 2, where row 0
    // is on page 1. Three rows to a line, seven lines, as designed; each field at least as large
    // as the design's and wider where its longest value needs it.
    EXPECT_EQ(w.tableTabs()->pageOf(w.dcodeEdit(20)), 0);
    EXPECT_EQ(w.dcodeEdit(20)->x(), w.dcodeEdit(2)->x());
    EXPECT_EQ(w.dcodeEdit(20)->y(), w.dcodeEdit(18)->y());
    EXPECT_GT(w.dcodeEdit(20)->y(), w.dcodeEdit(17)->y());
    EXPECT_GT(w.dcodeEdit(2)->x(), w.swatch(1)->x());
    EXPECT_EQ(w.tableTabs()->pageOf(w.dcodeEdit(21)), 1);
    EXPECT_EQ(w.dcodeEdit(21)->geometry(), w.dcodeEdit(0)->geometry());
    EXPECT_EQ(w.tableTabs()->pageOf(w.kindBox(62)), 2);
    EXPECT_EQ(w.kindBox(62)->geometry(), w.kindBox(20)->geometry());
    EXPECT_EQ(w.dcodeEdit(0)->pos(), tw.point(240, 960));
    EXPECT_GE(w.diameterEdit(0)->width(), tw.px(495));
    EXPECT_GE(w.toleranceValue(1, 1)->width(), tw.px(390));
    EXPECT_GE(w.kindBox(0)->width(), tw.px(615));
    EXPECT_GE(w.kindBox(0)->height(), tw.px(300));
    EXPECT_EQ(w.tableTabs()->pos(), tw.point(120, 720));
    EXPECT_GE(w.tableTabs()->width(), tw.px(11055));
    EXPECT_GE(w.tableTabs()->height(), tw.px(3615));
    // The top strip in its order; the path and product code take the room a wider table gives.
    EXPECT_EQ(w.pathEdit()->pos(), tw.point(240, 120));
    EXPECT_GE(w.pathEdit()->width(), tw.px(4215));
    EXPECT_LT(w.pathEdit()->geometry().right(), w.productCodeEdit()->x());
    EXPECT_GE(w.productCodeEdit()->width(), tw.px(1575));
    EXPECT_LT(w.productCodeEdit()->geometry().right(), w.sizeChoice()->x());
    EXPECT_EQ(w.sizeChoice()->width(), tw.px(1335));
    EXPECT_LE(w.sizeChoice()->geometry().right(), w->centralWidget()->width());
}

TEST(MainWindow, TabWalksTheRowsAndShowsTheirPage)
{
    Window w;
    w->show();
    QApplication::setActiveWindow(w.form.get());
    w.productCodeEdit()->setFocus();
    QList<QWidget*> expected = {w.sizeChoice()};
    for (int i = 0; i < 2; ++i)
        expected << w.diameterEdit(i) << w.toleranceSign(i, 0) << w.toleranceValue(i, 0)
                 << w.toleranceSign(i, 1) << w.toleranceValue(i, 1) << w.kindBox(i);
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* f = QApplication::focusWidget();
        EXPECT_TRUE(f == next || next->isAncestorOf(f)) << next->objectName().toStdString();
    }
    // From the last field of row 20 to row 21 on the second page, and back.
    w.kindBox(20)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.diameterEdit(21));
    EXPECT_EQ(w.tableTabs()->currentIndex(), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_TRUE(w.kindBox(20)->isAncestorOf(QApplication::focusWidget())
        || QApplication::focusWidget() == w.kindBox(20));
    EXPECT_EQ(w.tableTabs()->currentIndex(), 0);
}

TEST(MainWindow, StandardReadThroughTheDialog)
{
    Window w;
    w.kindBox(4)->setEditText(QStringLiteral("NTH")); // unsaved: the read asks first
    w.dialog->files.push_back(test::dataPath("board_100x80.gbr"));
    w.prompts->saveChoices = {Prompts::SaveChoice::Discard};
    w.action(QStringLiteral("readStandardGerber"))->trigger();
    ASSERT_EQ(w.dialog->shown.size(), 1);
    EXPECT_EQ(w.prompts->messages,
        QStringList(
            {QStringLiteral("Kivotrek? 設定ファイルに保存されていない変更があります。保存しますか？")}));
    w.prompts->messages.clear();
    // The first filter stays the default; the common Gerber names and every file follow.
    EXPECT_EQ(CommonDialog::qtFilters(w.dialog->filter),
        QStringList({QStringLiteral("ガーバーﾌｧｲﾙ (*.gbr)"),
            QStringLiteral("ガーバーﾌｧｲﾙ (*.gbr *.gbx *.ger *.pho *.art *.gtl *.gbl *.gto *.gbo *.gts *.gbs "
                           "*.gko *.gm1)"),
            QStringLiteral("すべてのファイル (*)")}));
    EXPECT_EQ(w.pathEdit()->text(), test::dataPath("board_100x80.gbr"));
    EXPECT_TRUE(w.action(QStringLiteral("readSettings"))->isEnabled());
    EXPECT_EQ(
        w.dcodeEdit(0)->text() + w.dcodeEdit(1)->text() + w.dcodeEdit(2)->text() + w.dcodeEdit(3)->text(),
        QStringLiteral("D10D11D12D"));
    EXPECT_EQ(w->extent().maxX, 5670);
    EXPECT_EQ(w.kindBox(4)->currentText(), QStringLiteral("NTH")); // kinds stay
    EXPECT_TRUE(w.prompts->messages.isEmpty());

    // A second read whose dialog is cancelled changes nothing: a following save would otherwise
    // write an empty table over the board's settings file.
    w.diameterEdit(0)->setText(QStringLiteral("0.8"));
    for (const char* command : {"readStandardGerber", "readRs274x"}) {
        w.prompts->saveChoices = {Prompts::SaveChoice::Discard};
        w.action(QLatin1String(command))->trigger();
        EXPECT_EQ(w.dcodeEdit(0)->text(), QStringLiteral("D10")) << command;
        EXPECT_EQ(w->table().row(0).diameter, QStringLiteral("0.8")) << command;
        EXPECT_EQ(w.pathEdit()->text(), test::dataPath("board_100x80.gbr"));
        EXPECT_EQ(w->extent().maxX, 5670);
        EXPECT_EQ(w->extent().unitScale, 0.0567f);
    }
}

TEST(MainWindow, Rs274xReadFillsDiametersAndShowsMessages)
{
    Window w;
    w.dialog->files.push_back(test::dataPath("rs274x_basic.gbr"));
    w->readCommand(ReaderKind::Rs274x);
    EXPECT_EQ(w.diameterEdit(0)->text(), QStringLiteral("0.80"));
    EXPECT_EQ(w->table().row(3).diameter, QStringLiteral("0.13"));

    w.dialog->files.push_back(test::dataPath("job_comment.gbr"));
    w->readCommand(ReaderKind::Standard);
    EXPECT_EQ(w.prompts->messages,
        QStringList({QStringLiteral("Kivotrek: ステップ＆リピート及び、円弧（ＩＪ）は使用できません。")}));
    EXPECT_EQ(w.dcodeEdit(0)->text(), QStringLiteral("D10"));
}

TEST(MainWindow, EditsWriteTheTable)
{
    Window w;
    w.diameterEdit(5)->setText(QStringLiteral("1.2"));
    w.toleranceSign(5, 1)->setEditText(QStringLiteral("＋"));
    w.toleranceValue(5, 0)->setCurrentIndex(1);
    w.kindBox(5)->setEditText(QStringLiteral("外形"));
    const HoleRow& r = w->table().row(5);
    EXPECT_EQ(r.diameter, QStringLiteral("1.2"));
    EXPECT_EQ(r.sign2, QStringLiteral("＋"));
    EXPECT_EQ(r.tol1, QStringLiteral("0.05"));
    EXPECT_EQ(r.kind, HoleKind::Outline);

    // Minus and plus signs as input methods and copied text give them become the list's.
    const std::pair<const char*, const char*> typed[] = {
        {"-", "－"}, {"\u2212", "－"}, {"\u2010", "－"}, {"+", "＋"}, {"±", "±"}, {"－", "－"}};
    for (const auto& [in, out] : typed) {
        w.toleranceSign(6, 0)->lineEdit()->clear();
        w.toleranceSign(6, 0)->lineEdit()->insert(QString::fromUtf8(in)); // as typed or from an input method
        EXPECT_EQ(w->table().row(6).sign1, QString::fromUtf8(out)) << in;
        EXPECT_EQ(w.toleranceSign(6, 0)->currentText(), QString::fromUtf8(out)) << in;
    }
}

TEST(MainWindow, DoubleClickOnADCodeChoosesTheColour)
{
    Window w;
    w.dialog->colors.push_back(QColor(10, 20, 30));
    QTest::mouseDClick(w.dcodeEdit(7), Qt::LeftButton);
    EXPECT_TRUE(w.dialog->cancelError);
    EXPECT_EQ(w->table().row(7).color, fillColor(10, 20, 30));
    EXPECT_EQ(w.swatch(7)->fillColor(), QColor(10, 20, 30));

    w.dialog->colors.push_back(std::nullopt); // cancel
    QTest::mouseDClick(w.dcodeEdit(7), Qt::LeftButton);
    EXPECT_EQ(w->table().row(7).color, fillColor(10, 20, 30));
    EXPECT_TRUE(w.prompts->messages.isEmpty());
    EXPECT_EQ(w.dialog->shown.size(), 2);
}

TEST(MainWindow, CloseAsksFirst)
{
    Window w;
    w->show();
    w.prompts->answers = {false};
    w.action(QStringLiteral("close"))->trigger();
    EXPECT_EQ(w.prompts->messages, QStringList({QStringLiteral("Yes NO? 閉じてもよろしいですか？")}));
    EXPECT_TRUE(w->isVisible());
    w.prompts->answers = {true};
    w->closeCommand();
    EXPECT_FALSE(w->isVisible());
}

TEST(MainWindow, FrameCloseDoesNotAsk)
{
    Window w;
    w->show();
    EXPECT_TRUE(w->close());
    EXPECT_TRUE(w.prompts->messages.isEmpty());
}

TEST(MainWindow, HelpOpensAtItsIndexOrSaysWhy)
{
    test::Scratch empty;
    Window missing(empty.path(QString()));
    missing->showHelp();
    ASSERT_EQ(missing.prompts->messages.size(), 1);
    EXPECT_TRUE(missing.prompts->messages[0].endsWith(
        QStringLiteral("kivotrek-help.htmlを開けませんでした。") + test::reason(ENOENT)));

    test::Scratch folder;
    QFile help(QStringLiteral(KIVOTREK_SOURCE_DIR "/docs/help/kivotrek-help.html"));
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    folder.write(QStringLiteral("kivotrek-help.html"), help.readAll());
    Window w(folder.path(QString()));
    w->showHelp();
    EXPECT_TRUE(w.prompts->messages.isEmpty());
    auto* viewer = w->findChild<HelpViewer*>();
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_TRUE(viewer->browser()->toPlainText().contains(QStringLiteral("穴種表の入力")));
}

TEST(MainWindow, LoadsTheLogoBesideTheProgram)
{
    test::Scratch folder;
    QImage img(20, 10, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(folder.path(QStringLiteral("image.bmp")), "BMP"));
    Window w(folder.path(QString()));
    EXPECT_EQ(w->logo().size(), QSize(20, 10));
}

TEST(MainWindow, SaveAndLoadTheSettingsFile)
{
    test::Scratch dir;
    const QString gerber = dir.write(QStringLiteral("board.gbr"), "G54D10*\nX1000Y1000D03*\nG54D11*\n");
    Window w;
    w->saveSettings(); // no Gerber file chosen: nothing written, nothing said
    EXPECT_TRUE(w.prompts->messages.isEmpty());

    w.dialog->files.push_back(gerber);
    w->readCommand(ReaderKind::Standard);
    w.diameterEdit(0)->setText(QStringLiteral("0.8"));
    w.toleranceSign(0, 0)->setEditText(QStringLiteral("±"));
    w.kindBox(1)->setEditText(QStringLiteral("外形"));
    w.productCodeEdit()->setText(QStringLiteral("KT-001"));
    w.action(QStringLiteral("saveSettings"))->trigger();
    const QString ini = dir.path(QStringLiteral("KIVOTREK.INI"));
    EXPECT_EQ(w.prompts->messages,
        QStringList({QStringLiteral("Kivotrek: ") + ini + QStringLiteral("に設定ファイルを保存しました。")}));

    // Change everything, then load: the saved table and product code come back.
    w.diameterEdit(0)->setText(QStringLiteral("9"));
    w.kindBox(1)->setEditText(QString());
    w.productCodeEdit()->setText(QStringLiteral("other"));
    w.action(QStringLiteral("readSettings"))->trigger();
    EXPECT_EQ(w.diameterEdit(0)->text(), QStringLiteral("0.8"));
    EXPECT_EQ(w.toleranceSign(0, 0)->currentText(), QStringLiteral("±"));
    EXPECT_EQ(w.kindBox(1)->currentText(), QStringLiteral("外形"));
    EXPECT_EQ(w.productCodeEdit()->text(), QStringLiteral("KT-001"));
    EXPECT_EQ(w.dcodeEdit(1)->text(), QStringLiteral("D11"));
    EXPECT_EQ(w.prompts->messages.size(), 1);

    // A damaged settings file is refused and the table stays as typed.
    QFile::resize(ini, 100);
    w.diameterEdit(0)->setText(QStringLiteral("1.1"));
    w->readSettings();
    EXPECT_EQ(w.prompts->messages.last(),
        QStringLiteral("Kivotrek: 設定ファイル") + ini
            + QStringLiteral("を読み込めませんでした。（設定ファイルの形式ではありません）"));
    EXPECT_EQ(w.diameterEdit(0)->text(), QStringLiteral("1.1"));
    EXPECT_EQ(w->table().row(0).diameter, QStringLiteral("1.1"));

    // A drill file named KIVOTREK.INI is not replaced by the table.
    const QByteArray drill = "M48\nMETRIC\nT1C0.8\n%\nT1\nX1Y1\nM30\n";
    test::Scratch other;
    const QString named = other.write(QStringLiteral("KIVOTREK.INI"), drill);
    w.dialog->files.push_back(named);
    w.prompts->saveChoices = {Prompts::SaveChoice::Discard}; // the typed 1.1 is let go
    w->readCommand(ReaderKind::Excellon);
    w.prompts->messages.clear();
    w->saveSettings();
    EXPECT_EQ(w.prompts->messages,
        QStringList({QStringLiteral("Kivotrek: ") + named
            + QStringLiteral("は表示中のガーバーファイルです。別の名前で保存して下さい。")}));
    EXPECT_EQ(test::readAll(named), drill);
}

TEST(MainWindow, AGerberFileIsCountedInTheReadThatFillsTheTable)
{
    // The counts come from the read: a settings load counts again without the file.
    test::Scratch dir;
    const QString gerber = dir.write(
        QStringLiteral("board.gbr"), "G54D10*\nX1000Y1000D03*\nX2000Y1000D03*\nG54D11*\nX1Y1D03*\n");
    Window w;
    w.dialog->files.push_back(gerber);
    w->readCommand(ReaderKind::Standard);
    EXPECT_EQ(w.countLabel(0)->text(), QStringLiteral("2"));
    w->saveSettings();
    ASSERT_TRUE(QFile::remove(gerber));
    w.action(QStringLiteral("readSettings"))->trigger();
    EXPECT_EQ(w.countLabel(0)->text(), QStringLiteral("2"));
    EXPECT_EQ(w.countLabel(1)->text(), QStringLiteral("1"));
}

TEST(MainWindow, OpensAFileNamedOnTheCommandLineWithTheRightReader)
{
    EXPECT_TRUE(looksLikeRs274x(test::dataPath("rs274x_drawable.gbr")));
    EXPECT_FALSE(looksLikeRs274x(test::dataPath("board_100x80.gbr")));
    EXPECT_FALSE(looksLikeRs274x(QStringLiteral("/nonexistent.gbr")));

    Window w;
    w->openFile(test::dataPath("rs274x_drawable.gbr"));
    EXPECT_EQ(w.pathEdit()->text(), test::dataPath("rs274x_drawable.gbr"));
    EXPECT_TRUE(w.action(QStringLiteral("readSettings"))->isEnabled());
    EXPECT_EQ(w.diameterEdit(1)->text(), QStringLiteral("1.00")); // diameters: the RS-274X reader
    EXPECT_EQ(w.dialog->fileName, test::dataPath("rs274x_drawable.gbr"));
    EXPECT_TRUE(w.dialog->shown.isEmpty());

    w->openFile(test::dataPath("job_comment.gbr"));
    EXPECT_EQ(w.prompts->messages,
        QStringList({QStringLiteral("Kivotrek: ステップ＆リピート及び、円弧（ＩＪ）は使用できません。")}));
    EXPECT_EQ(w.dcodeEdit(0)->text(), QStringLiteral("D10"));
    EXPECT_TRUE(w.diameterEdit(1)->text().isEmpty()); // cleared for the new file
}

TEST(MainWindow, ABinaryFileIsRefusedByEveryReadCommand)
{
    // The head of a picture named .drl, given to the program or chosen in any read command.
    test::Scratch dir;
    const QString drl = dir.write(QStringLiteral("picture.drl"),
        test::readAll(QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/image.bmp")).left(3000));
    const QStringList refused {QStringLiteral("Kivotrek: ") + drl
        + QStringLiteral("は穴データのファイルではないため、読み込めません。")};
    Window w;
    w->openFile(drl);
    EXPECT_EQ(w.prompts->messages, refused);
    for (const char* command : {"readStandardGerber", "readRs274x", "readExcellon", "readGerberX2"}) {
        w.prompts->messages.clear();
        w.dialog->files.push_back(drl);
        w.action(QLatin1String(command))->trigger();
        EXPECT_EQ(w.prompts->messages, refused) << command;
        EXPECT_EQ(w.dcodeEdit(0)->text(), QStringLiteral("D")) << command;
    }
}

TEST(MainWindow, TableBoxesCompleteFromTheirListAndWriteTheTable)
{
    Window w;
    w->show();
    QApplication::setActiveWindow(w.form.get());
    // A box on the third page, reached by its row: the page is there when asked for.
    QComboBox* kind = w.kindBox(50);
    w.tableTabs()->setCurrentIndex(2);
    kind->lineEdit()->setFocus();
    ASSERT_TRUE(kind->lineEdit()->completer());
    EXPECT_EQ(kind->lineEdit()->completer()->widget(), kind) << "the focused box completes";
    EXPECT_EQ(kind->lineEdit()->completer()->model()->rowCount(), kind->count()); // from its own list
    QTest::keyClicks(kind->lineEdit(), QStringLiteral("N"));
    EXPECT_EQ(kind->currentText(), QStringLiteral("NTH")); // the list's completion, inline
    EXPECT_EQ(w->table().row(50).kind, HoleKind::NonPlated);
    kind->setCurrentIndex(2); // picked from the list
    EXPECT_EQ(w->table().row(50).kind, HoleKind::Outline);

    // The boxes of a list share its completer: the next focused box completes, the last keeps its text.
    QComboBox* other = w.kindBox(0);
    w.tableTabs()->setCurrentIndex(0);
    other->lineEdit()->setFocus();
    QTest::keyClicks(other->lineEdit(), QStringLiteral("n"));
    EXPECT_EQ(other->currentText(), QStringLiteral("nTH"));
    EXPECT_EQ(kind->currentText(), QStringLiteral("外形"));
}

TEST(MainWindow, ExcellonReadThroughTheDialogDrawsInTheFrameOfItsHoles)
{
    Window w;
    const QString pth = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-PTH.drl");
    w.dialog->files.push_back(pth);
    w.action(QStringLiteral("readExcellon"))->trigger();
    EXPECT_EQ(CommonDialog::qtFilters(w.dialog->filter),
        QStringList({QStringLiteral("ドリルファイル (*.drl *.xln *.txt *.drd *.exc *.nc *.cnc *.ncd *.tap)"),
            QStringLiteral("すべてのファイル (*)")}));
    EXPECT_EQ(w.pathEdit()->text(), pth);
    EXPECT_TRUE(w.action(QStringLiteral("readSettings"))->isEnabled());
    EXPECT_EQ(w.dcodeEdit(0)->text() + w.dcodeEdit(8)->text(), QStringLiteral("T1T9"));
    EXPECT_EQ(w.diameterEdit(0)->text(), QStringLiteral("0.30"));
    EXPECT_EQ(w.kindBox(3)->currentText(), QStringLiteral("TH")); // from the file's attributes
    EXPECT_EQ(w.dcodeEdit(9)->text(), QStringLiteral("D"));
    EXPECT_TRUE(w.prompts->messages.isEmpty()) << w.prompts->messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_GT(w->extent().maxX, 0);

    // The preview draws the holes, with no message, though every y is below 0.
    w->showPreview();
    ASSERT_TRUE(w->previewWindow());
    EXPECT_TRUE(w.prompts->messages.isEmpty()) << w.prompts->messages.join(QLatin1Char('\n')).toStdString();

    // A file given to the program is read by the reader its first lines call for.
    w->openFile(QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-NPTH.drl"));
    EXPECT_EQ(w.dcodeEdit(0)->text() + w.dcodeEdit(2)->text(), QStringLiteral("T1T3"));
    EXPECT_EQ(w.kindBox(1)->currentText(), QStringLiteral("NTH"));
    w->openFile(QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-274x.gbr"));
    EXPECT_EQ(w.dcodeEdit(0)->text(), QStringLiteral("D10"));
    EXPECT_FALSE(w.diameterEdit(0)->text().isEmpty()); // RS-274X brings its diameters
}

TEST(MainWindow, PlatedNonPlatedAndOutlineMakeOneBoard)
{
    Window w;
    const QString pth = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-PTH-drl.gbr");
    const QString npth = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-NPTH.drl");
    const QString edge = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-Edge_Cuts.gbr");
    // Nothing read: no table to save, and no dialog.
    w.action(QStringLiteral("saveDrillTable"))->trigger();
    EXPECT_EQ(w.prompts->messages,
        QStringList {QStringLiteral(
            "Kivotrek: ガーバーファイルが読み込まれていません。先にファイルを読み込んで下さい。")});
    EXPECT_TRUE(w.dialog->shown.isEmpty());
    w.prompts->messages.clear();
    w.dialog->files.push_back(pth);
    w.action(QStringLiteral("readGerberX2"))->trigger();
    EXPECT_EQ(w.pathEdit()->text(), pth);
    EXPECT_EQ(w.dcodeEdit(0)->text(), QStringLiteral("D10"));
    EXPECT_EQ(w.kindBox(0)->currentText(), QStringLiteral("TH"));

    // Added files go to the free rows; the table keeps what was typed.
    w.toleranceSign(0, 0)->setCurrentText(QStringLiteral("±"));
    w.dialog->files.push_back(npth);
    w.action(QStringLiteral("addDrillFile"))->trigger();
    // Drill files first, then Gerber files, and every file once, last.
    const QStringList filters = CommonDialog::qtFilters(w.dialog->filter);
    ASSERT_EQ(filters.size(), 4);
    EXPECT_TRUE(filters[0].startsWith(QStringLiteral("ドリルファイル (*.drl")));
    EXPECT_EQ(filters[1], QStringLiteral("ガーバーﾌｧｲﾙ (*.gbr)"));
    EXPECT_EQ(filters[3], QStringLiteral("すべてのファイル (*)"));
    EXPECT_EQ(w->table().row(0).sign1, QStringLiteral("±"));
    EXPECT_EQ(w.dcodeEdit(9)->text(), QStringLiteral("T1"));
    EXPECT_EQ(w.kindBox(9)->currentText(), QStringLiteral("NTH"));
    EXPECT_EQ(w.dcodeEdit(0)->toolTip(), QStringLiteral("board-PTH-drl.gbr"));
    EXPECT_EQ(w.dcodeEdit(9)->toolTip(), QStringLiteral("board-NPTH.drl"));

    // A cancelled dialog changes nothing.
    w.dialog->files.push_back(std::nullopt);
    w.action(QStringLiteral("readOutline"))->trigger();
    EXPECT_TRUE(w->board().outline.isEmpty());
    w.dialog->files.push_back(edge);
    w.action(QStringLiteral("readOutline"))->trigger();
    EXPECT_EQ(w->board().outline, edge);
    // The names that mark an outline come first, so that .GKO and .GM1 files are not hidden.
    EXPECT_EQ(CommonDialog::qtFilters(w.dialog->filter).first(),
        QStringLiteral("外形ファイル (*.gko *edge_cuts* *edge.cuts* *boardoutline* *outline* *.gm1 *.gml "
                       "*.oln *profile* "
                       "*contour* ko *.dim *.mil)"));
    EXPECT_EQ(w.pathEdit()->text(), pth + QStringLiteral(" ＋ board-NPTH.drl ＋ 外形 board-Edge_Cuts.gbr"));
    EXPECT_EQ(w.pathEdit()->toolTip(), pth + QLatin1Char('\n') + npth + QStringLiteral("\n外形: ") + edge);
    EXPECT_EQ(w->extent().maxX, 5670);
    EXPECT_TRUE(w.prompts->messages.isEmpty()) << w.prompts->messages.join(QLatin1Char('\n')).toStdString();

    // Each row's holes beside its colour, the totals under the table.
    EXPECT_EQ(w.countLabel(0)->text(), QStringLiteral("70"));
    EXPECT_EQ(w.countLabel(9)->text(), QStringLiteral("2"));
    EXPECT_EQ(w.countLabel(12)->text(), QString());
    EXPECT_EQ(w.totalsLabel()->text(), QStringLiteral("穴数　TH 157　NTH 8　その他 0　合計 165"));
    // Counts show whole in their place, clear of the next column.
    const QFontMetrics fm(TableLayout::countFont());
    EXPECT_LE(fm.horizontalAdvance(QStringLiteral("12345+67")), w.countLabel(0)->width());
    EXPECT_LT(w.countLabel(0)->geometry().right(), w.dcodeEdit(1)->geometry().left());
    EXPECT_LT(w.countLabel(2)->geometry().right(), w.tableTabs()->width());
    EXPECT_LE(w.totalsLabel()->geometry().bottom(), w->centralWidget()->height());
    // A row made an outline counts nothing; the totals follow the kinds.
    w.kindBox(0)->setCurrentText(QStringLiteral("外形"));
    EXPECT_EQ(w.countLabel(0)->text(), QString());
    EXPECT_EQ(w.totalsLabel()->text(), QStringLiteral("穴数　TH 87　NTH 8　その他 0　合計 95"));
    // A kind typed that is none of the list's is kept as typed, its holes among the others.
    w.kindBox(0)->setCurrentText(QStringLiteral("th"));
    EXPECT_EQ(w->table().row(0).kind, HoleKind::named(QStringLiteral("th")));
    EXPECT_EQ(w.totalsLabel()->text(), QStringLiteral("穴数　TH 87　NTH 8　その他 70　合計 165"));
    w.kindBox(0)->setCurrentText(QStringLiteral("TH"));
    EXPECT_EQ(w->table().row(0).kind, HoleKind::Plated);

    // The drill table as CSV, offered beside the first file; a file of the board is not replaced.
    test::Scratch scratch;
    const QString csv = scratch.path(QStringLiteral("table.csv"));
    w.dialog->files.push_back(csv);
    w.action(QStringLiteral("saveDrillTable"))->trigger();
    EXPECT_TRUE(w.dialog->flags & CommonDialog::kOverwritePrompt);
    const QByteArray table = test::readAll(csv);
    EXPECT_TRUE(table.startsWith("\xEF\xBB\xBF"
        + QStringLiteral("行,Dコード,ファイル,穴径,公差1,公差2,TH/NTH,穴数,長穴数\r\n").toUtf8()));
    // The non-plated file's T1 is told from the plated file's T1 by its file.
    EXPECT_TRUE(table.contains("\r\n1,D10,board-PTH-drl.gbr,"));
    EXPECT_TRUE(table.contains("\r\n10,T1,board-NPTH.drl,2.00,,,NTH,2,0\r\n"));
    EXPECT_TRUE(table.endsWith(QStringLiteral("合計,,,,,,,165,0\r\n").toUtf8()));
    w.dialog->files.push_back(npth);
    w.action(QStringLiteral("saveDrillTable"))->trigger();
    EXPECT_EQ(w.prompts->messages.last(),
        QStringLiteral("Kivotrek: ") + npth
            + QStringLiteral("は表示中のガーバーファイルです。別の名前で保存して下さい。"));
    w.prompts->messages.clear();

    // The preview draws the board; the black outline's lines among the holes.
    w->showPreview();
    ASSERT_TRUE(w->previewWindow());
    EXPECT_TRUE(w.prompts->messages.isEmpty()) << w.prompts->messages.join(QLatin1Char('\n')).toStdString();
    const QImage picture = w->previewWindow()->surface().image();
    int black = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            black += picture.pixel(x, y) == qRgb(0, 0, 0);
    EXPECT_GT(black, 1000);
    // The picture is offered beside the first file, and no file of the board is replaced by it.
    w.dialog->files.push_back(std::nullopt);
    w->previewWindow()->exportAction->trigger();
    EXPECT_EQ(w.dialog->fileName, QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-PTH-drl.bmp"));
    for (const QString& drawn : {npth, edge}) {
        w.prompts->messages.clear();
        w.dialog->files.push_back(drawn);
        w->previewWindow()->exportAction->trigger();
        EXPECT_EQ(w.prompts->messages,
            QStringList({QStringLiteral("Kivotrek: ") + drawn
                + QStringLiteral("は表示中のガーバーファイルです。別の名前で保存して下さい。")}));
    }

    // A standard Gerber file takes nothing more: the user is told before any dialog.
    w->openFile(test::dataPath("board_100x80.gbr"));
    const size_t pending = w.dialog->files.size();
    w.action(QStringLiteral("addDrillFile"))->trigger();
    EXPECT_EQ(w.dialog->files.size(), pending);
    EXPECT_EQ(w.prompts->messages.last(),
        QStringLiteral("Kivotrek: 標準ガーバ・274xガーバで読み込んだ図面にはファイルを追加できません。"
                       "Excellonドリルか Gerber X2 ドリル/外形の読み込みで読み直して下さい。"));

    // Several files given to the program make one board.
    w->openFiles({pth, npth, edge});
    EXPECT_EQ(w->board().files.size(), 2u);
    EXPECT_EQ(w->board().outline, edge);

    // An outline known by its name only (an RS-274X file without attributes), given first.
    test::Scratch dir;
    const QString gko = dir.write(QStringLiteral("BoardOutline.GKO"),
        "%FSLAX24Y24*%\n%MOMM*%\n%ADD10C,0.2540*%\nD10*\nX0Y0D02*\nX1000000Y0D01*\nX1000000Y800000D01*\n"
        "X0Y800000D01*\nX0Y0D01*\nM02*\n");
    w->openFiles({gko, npth});
    EXPECT_EQ(w->board().outline, gko);
    ASSERT_EQ(w->board().files.size(), 1u);
    EXPECT_EQ(w->board().files[0].path, npth);
}

TEST(MainWindow, AFileChangedOnDiskIsReadAgainWhenTheBoardIsNextDrawnAndSaidSo)
{
    test::Scratch dir;
    const QString drill =
        dir.write(QStringLiteral("b.drl"), "M48\nMETRIC\nT1C0.8\nT2C1.0\n%\nT1\nX1Y1\nT2\nX2Y2\nX3Y3\nM30\n");
    Window w;
    w.dialog->files.push_back(drill);
    w->readCommand(ReaderKind::Excellon);
    w.prompts->messages.clear();
    w.diameterEdit(1)->setText(QStringLiteral("1.05")); // typed for T2
    EXPECT_EQ(w.countLabel(1)->text(), QStringLiteral("2"));
    // Drawn again as it is: nothing read, nothing said.
    w->showPreview();
    EXPECT_TRUE(w.prompts->messages.isEmpty());
    // T1 gone, T2 with one more hole, T3 new: drawn again, the file is read again first.
    ASSERT_TRUE(QFile::remove(drill));
    dir.write(
        QStringLiteral("b.drl"), "M48\nMETRIC\nT2C1.0\nT3C2.0\n%\nT2\nX2Y2\nX3Y3\nX4Y4\nT3\nX5Y5\nM30\n");
    w->showPreview();
    EXPECT_TRUE(w.prompts->messages.isEmpty()) << w.prompts->messages.join(QLatin1Char('\n')).toStdString();
    // Under the table, after what the first read said.
    EXPECT_EQ(w.messageRows(),
        QStringList(
            {QStringLiteral("情報|b.drl||書式の指定がないため、METRIC 3.3（末尾ゼロ）とみなして読みました。"),
                QStringLiteral("情報|b.drl||") + drill
                    + QStringLiteral("は読み込んだ後に変更されていたため、読み直しました。"),
                QStringLiteral("警告|b.drl||") + drill
                    + QStringLiteral("を読み直すと、T1がなくなっていました。その行は表から外しました。")}));
    EXPECT_EQ(w.dcodeEdit(0)->text(), QStringLiteral("T2"));
    EXPECT_EQ(w.diameterEdit(0)->text(), QStringLiteral("1.05")); // what was typed stays with T2
    EXPECT_EQ(w.countLabel(0)->text(), QStringLiteral("3"));
    EXPECT_EQ(w.dcodeEdit(1)->text(), QStringLiteral("T3"));
    EXPECT_EQ(w.countLabel(1)->text(), QStringLiteral("1"));
    EXPECT_EQ(w.dcodeEdit(2)->text(), QStringLiteral("D"));
}
