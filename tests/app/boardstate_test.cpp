// What reaches paper is what the files say: a new board starts empty, drill files start clean,
// settings that do not fit are asked about, unsaved work is asked about, a board's files are
// added once and can be taken out, and an open preview follows the board.

#include "app/aboutbox.h"
#include "app/mainwindow.h"
#include "app/previewwindow.h"
#include "scripted.h"
#include "testutil.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
using Window = test::TestWindow;
using Choice = Prompts::SaveChoice;

const QString kExamples = QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/");
const QString kUnsaved =
    QStringLiteral("Kivotrek? 設定ファイルに保存されていない変更があります。保存しますか？");

QString example(const char* name)
{
    return kExamples + QString::fromUtf8(name);
}

// The sample board's folder copied, so that settings can be saved beside it.
struct Folder {
    test::Scratch dir;
    QString copy(const char* name)
    {
        return dir.write(QString::fromUtf8(name), test::readAll(example(name)));
    }
};

void trigger(Window& w, const char* action)
{
    w.action(QLatin1String(action))->trigger();
}
} // namespace

TEST(BoardState, NewBoardIsTheStartUpState)
{
    Window w;
    w.dialog->files.push_back(example("board.gbr"));
    trigger(w, "readStandardGerber");
    trigger(w, "readSettings"); // tolerances, kinds, colours and the product code of the sample
    ASSERT_FALSE(w.productCodeEdit()->text().isEmpty());
    w->showPreview();
    ASSERT_TRUE(w->previewWindow() && w->previewWindow()->isVisible());
    w.diameterEdit(0)->setText(QStringLiteral("9.9")); // unsaved
    w.prompts->messages.clear();
    w.prompts->saveChoices = {Choice::Discard};
    trigger(w, "newBoard");
    EXPECT_EQ(w.prompts->messages, QStringList({kUnsaved}));
    EXPECT_TRUE(w->table() == HoleTable());
    EXPECT_TRUE(w->board().isEmpty());
    EXPECT_TRUE(w.productCodeEdit()->text().isEmpty());
    EXPECT_TRUE(w.pathEdit()->text().isEmpty());
    EXPECT_FALSE(w.action(QStringLiteral("readSettings"))->isEnabled());
    EXPECT_FALSE(w->previewWindow() && w->previewWindow()->isVisible());
    EXPECT_EQ(w.dcodeEdit(0)->text(), QStringLiteral("D"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("穴区分け図"));
    EXPECT_FALSE(w->isModified());
}

TEST(BoardState, ADrillFileStartsFromAnEmptyTable)
{
    // After the sample board with its settings (tolerances on every row, kinds, own colours).
    Window w;
    w.dialog->files.push_back(example("board.gbr"));
    trigger(w, "readStandardGerber");
    trigger(w, "readSettings");
    ASSERT_FALSE(w->table().row(1).sign1.isEmpty());
    w.dialog->files.push_back(example("board-PTH.drl"));
    trigger(w, "readExcellon");
    const HoleTable fresh;
    for (int i = 0; i < HoleTable::kRows; ++i) {
        SCOPED_TRACE(i);
        const HoleRow& r = w->table().row(i);
        EXPECT_TRUE(r.sign1.isEmpty() && r.tol1.isEmpty() && r.sign2.isEmpty() && r.tol2.isEmpty());
        EXPECT_EQ(r.color, fresh.row(i).color);
        // What the file says: its tools, diameters and plating.
        EXPECT_EQ(r.kind, i < 9 ? HoleKind::Plated : HoleKind::None);
    }
    EXPECT_EQ(w->table().row(0).dcode, QStringLiteral("T1"));
    EXPECT_TRUE(w.productCodeEdit()->text().isEmpty());
    EXPECT_FALSE(w->isModified());

    // The two Gerber reads keep tolerances, kinds and colours, as always.
    w.toleranceSign(0, 0)->setEditText(QStringLiteral("±"));
    w.toleranceValue(0, 0)->setEditText(QStringLiteral("0.05"));
    w.prompts->saveChoices = {Choice::Discard};
    w.dialog->files.push_back(example("board.gbr"));
    trigger(w, "readStandardGerber");
    EXPECT_EQ(w->table().row(0).sign1 + w->table().row(0).tol1, QStringLiteral("±0.05"));
}

TEST(BoardState, SettingsThatDoNotFitAreAskedAbout)
{
    // The sample folder's settings were written for board.gbr: over the Excellon file they would
    // put D10 to D22 in place of T1 to T9.
    Window w;
    w.dialog->files.push_back(example("board-PTH.drl"));
    trigger(w, "readExcellon");
    const HoleTable asRead = w->table();
    w.prompts->answers = {false};
    trigger(w, "readSettings");
    ASSERT_EQ(w.prompts->messages.size(), 1);
    const QString question = w.prompts->messages.first();
    EXPECT_TRUE(question.startsWith(QStringLiteral("Kivotrek? 設定ファイル") + example("KIVOTREK.INI")
        + QStringLiteral("は読み込んだファイルと合いません：\n行1 T1：Dコード T1 → D10\n")))
        << question.toStdString();
    EXPECT_TRUE(question.contains(QStringLiteral("\n行10 D19：ファイルにないDコード\n")));
    EXPECT_TRUE(question.endsWith(QStringLiteral("\n（ほか3件）\nそれでも読み込みますか？")));
    EXPECT_TRUE(w->table() == asRead); // いいえ: nothing changes
    w.prompts->answers = {true};
    trigger(w, "readSettings");
    EXPECT_EQ(w->table().row(0).dcode, QStringLiteral("D10")); // はい: loaded as always

    // Over its own board the settings fit: loaded without a word.
    w.prompts->saveChoices = {Choice::Discard};
    w.dialog->files.push_back(example("board.gbr"));
    trigger(w, "readStandardGerber");
    w.prompts->messages.clear();
    trigger(w, "readSettings");
    EXPECT_TRUE(w.prompts->messages.isEmpty()) << w.prompts->messages.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(w->table().row(1).diameter, QStringLiteral("0.30"));
}

TEST(BoardState, UnsavedWorkIsAskedAboutBeforeTheWindowCloses)
{
    Folder f;
    const QString gerber = f.copy("board.gbr");
    Window w;
    w->show();
    w.dialog->files.push_back(gerber);
    trigger(w, "readStandardGerber");
    EXPECT_FALSE(w->isWindowModified());
    w.diameterEdit(0)->setText(QStringLiteral("0.8"));
    EXPECT_TRUE(w->isWindowModified());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("穴区分け図[*]"));
    // Back as it was read: no change to save.
    w.diameterEdit(0)->setText(QString());
    EXPECT_FALSE(w->isWindowModified());
    w.productCodeEdit()->setText(QStringLiteral("KT-9"));
    EXPECT_TRUE(w->isWindowModified());

    // キャンセル: the window stays.
    w.prompts->messages.clear();
    EXPECT_FALSE(w->close());
    EXPECT_EQ(w.prompts->messages, QStringList({kUnsaved}));
    EXPECT_TRUE(w->isVisible());
    // 保存: the settings file is written, then the window closes with the other windows.
    w->showPreview();
    w->showAbout();
    w.prompts->saveChoices = {Choice::Save};
    EXPECT_TRUE(w->close());
    EXPECT_TRUE(QFileInfo::exists(f.dir.path(QStringLiteral("KIVOTREK.INI"))));
    EXPECT_FALSE(w->previewWindow() && w->previewWindow()->isVisible());
    for (QWidget* top : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<AboutBox*>(top) && top->isVisible());
}

TEST(BoardState, WithoutChangesTheFrameClosesAtOnceAndCloseAsksItsOwnQuestion)
{
    Window w;
    w->show();
    w.dialog->files.push_back(example("board.gbr"));
    trigger(w, "readStandardGerber");
    w.prompts->answers = {false};
    trigger(w, "close");
    EXPECT_EQ(w.prompts->messages, QStringList({QStringLiteral("Yes NO? 閉じてもよろしいですか？")}));
    EXPECT_TRUE(w->isVisible());
    w.prompts->messages.clear();
    EXPECT_TRUE(w->close());
    EXPECT_TRUE(w.prompts->messages.isEmpty());
    // With changes, 閉じる asks about them instead.
    Window changed;
    changed->show();
    changed.productCodeEdit()->setText(QStringLiteral("KT-1"));
    changed.prompts->saveChoices = {Choice::Discard};
    trigger(changed, "close");
    EXPECT_EQ(changed.prompts->messages, QStringList({kUnsaved}));
    EXPECT_FALSE(changed->isVisible());
}

TEST(BoardState, AFileIsAddedOnceAndTheDialogDoesNotOfferIt)
{
    Window w;
    const QString pth = example("board-PTH.drl");
    w.dialog->files.push_back(pth);
    trigger(w, "readExcellon");
    w.dialog->files.push_back(pth);
    trigger(w, "addDrillFile");
    EXPECT_TRUE(w.dialog->hiddenFiles.isEmpty()); // only for the add dialog
    EXPECT_EQ(w.prompts->messages,
        QStringList({QStringLiteral("Kivotrek: ") + pth + QStringLiteral("はすでに読み込んであります。")}));
    EXPECT_EQ(w->board().files.size(), 1u);
    EXPECT_EQ(w->table().row(9).dcode, QStringLiteral("D")); // no row doubled
    // The dialog opened in the board's folder, not on the file just read.
    EXPECT_EQ(w.dialog->shownHidden, QStringList({pth}));
    EXPECT_EQ(w.dialog->shownFileName, QFileInfo(pth).absolutePath());
}

TEST(BoardState, AFileTakenOutTakesItsRowsAndTheRowsAfterMoveUp)
{
    Window w;
    w.dialog->files.push_back(example("board-PTH-drl.gbr"));
    trigger(w, "readGerberX2");
    w.dialog->files.push_back(example("board-NPTH.drl"));
    trigger(w, "addDrillFile");
    w.dialog->files.push_back(example("board-Edge_Cuts.gbr"));
    trigger(w, "readOutline");
    const int npthRow = w->board().files[1].firstRow;
    const int npthRows = w->board().files[1].rowCount;
    ASSERT_EQ(w->table().row(npthRow).dcode, QStringLiteral("T1"));
    w.toleranceSign(npthRow, 0)->setEditText(QStringLiteral("±")); // a typed value moves with its row
    const uint32_t npthColor = w->table().row(npthRow).color;
    w.prompts->messages.clear();
    w.prompts->choices = {0};
    trigger(w, "removeFile");
    ASSERT_EQ(w.prompts->messages.size(), 1);
    EXPECT_EQ(w.prompts->messages.first(),
        QStringLiteral("Kivotrek? 外すファイルを選んで下さい。 [") + example("board-PTH-drl.gbr")
            + QStringLiteral(" | ") + example("board-NPTH.drl") + QStringLiteral(" | ")
            + example("board-Edge_Cuts.gbr") + QStringLiteral("（外形）]"));
    ASSERT_EQ(w->board().files.size(), 1u);
    EXPECT_EQ(w->board().files[0].firstRow, 0);
    EXPECT_EQ(w->table().row(0).dcode, QStringLiteral("T1"));
    EXPECT_EQ(w->table().row(0).sign1, QStringLiteral("±"));
    EXPECT_EQ(w->table().row(0).color, npthColor);
    EXPECT_EQ(w->table().row(npthRows).dcode, QStringLiteral("D"));
    EXPECT_EQ(w->table().row(62).color, HoleTable::initialColor(62)); // the rows freed at the end
    EXPECT_EQ(w.countLabel(0)->text(), QStringLiteral("2"));
    EXPECT_TRUE(w->isModified()); // the typed sign is still unsaved
    // The outline, then the last file: an empty board.
    w.prompts->choices = {1};
    trigger(w, "removeFile");
    EXPECT_TRUE(w->board().outline.isEmpty());
    w.prompts->choices = {0};
    trigger(w, "removeFile");
    EXPECT_TRUE(w->board().isEmpty());
    EXPECT_TRUE(w.pathEdit()->text().isEmpty());
}

TEST(BoardState, AnOpenPreviewFollowsTheBoard)
{
    Window w;
    w.dialog->files.push_back(example("board-PTH.drl"));
    trigger(w, "readExcellon");
    w->showPreview();
    PreviewWindow* p = w->previewWindow();
    ASSERT_TRUE(p && p->isVisible());
    const QImage first = p->surface().image();
    // Another board read: the preview draws it at once, and its saves save it.
    w.dialog->files.push_back(example("board-NPTH-drl.gbr"));
    trigger(w, "readGerberX2");
    ASSERT_TRUE(w->previewWindow() && w->previewWindow()->isVisible());
    EXPECT_NE(w->previewWindow()->surface().image(), first);
    // A read whose table the check refuses (no diameters): never the board before, but the
    // rows to fill in, and no save until they are.
    w.dialog->files.push_back(example("board.gbr"));
    trigger(w, "readStandardGerber");
    p = w->previewWindow();
    ASSERT_TRUE(p && p->isVisible());
    EXPECT_TRUE(p->problemLabel()->isVisible());
    EXPECT_TRUE(p->problemLabel()->text().contains(QStringLiteral("D10の穴径が未入力です。")));
    EXPECT_FALSE(p->savePdfAction->isEnabled());
    // Nothing left to draw: the window closes.
    w.prompts->saveChoices = {Choice::Discard};
    trigger(w, "newBoard");
    EXPECT_FALSE(w->previewWindow() && w->previewWindow()->isVisible());
}

TEST(BoardState, ThePreviewSavesWhatItShows)
{
    test::Scratch dir;
    Window w;
    w.dialog->files.push_back(example("board-PTH.drl"));
    trigger(w, "readExcellon");
    w->showPreview();
    // Another board read while the preview is open: its saves are of that board.
    w.dialog->files.push_back(example("board-NPTH-drl.gbr"));
    trigger(w, "readGerberX2");
    PreviewWindow* p = w->previewWindow();
    ASSERT_TRUE(p && p->isVisible());
    const QString svg = dir.path(QStringLiteral("shown.svg"));
    w.dialog->files.push_back(svg);
    p->saveSvgAction->trigger();
    // The non-plated file's 8 holes and a legend dot per tool (3): none of the plated 157.
    EXPECT_EQ(test::readAll(svg).count("<circle"), 8 + 3);

    // A percentage that puts the board past A4 portrait: PDFに保存 asks first.
    w.sizeChoice()->setEditText(QStringLiteral("400"));
    w.prompts->messages.clear();
    w.prompts->answers = {false};
    const QString pdf = dir.path(QStringLiteral("big.pdf"));
    w.dialog->files.push_back(pdf);
    p->savePdfAction->trigger();
    ASSERT_EQ(w.prompts->messages.size(), 1);
    EXPECT_TRUE(
        w.prompts->messages.first().startsWith(QStringLiteral("Kivotrek? 基板が用紙に収まりません（")));
    EXPECT_TRUE(w.prompts->messages.first().endsWith(QStringLiteral("\nこのまま保存しますか？")));
    EXPECT_FALSE(QFileInfo::exists(pdf));
}

TEST(BoardState, SizesAFitToTheOutlineGivesAFileReadBeforeAreTheFilesNotAnEdit)
{
    // Metric 3.3 with no unit stated: read as inch (its 0.8 mm tool 20.32 mm), then the outline
    // comes and the fit reads it in millimetres, the tool's size too.
    test::Scratch dir;
    QByteArray drl =
        "M48\nT1C0.8\n%\nT1\nX5000Y5000\nX95000Y5000\nX95000Y75000\nX5000Y75000\nX50000Y40000\nM30\n";
    const QString drill = dir.write(QStringLiteral("board.drl"), drl);
    const QString outline = dir.write(QStringLiteral("board-Edge_Cuts.gbr"),
        "%TF.FileFunction,Profile,NP*%\n%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.1*%\nD10*\nX0Y0D02*\n"
        "X100000000Y0D01*\nX100000000Y80000000D01*\nX0Y80000000D01*\nX0Y0D01*\nM02*\n");
    Window w;
    w.dialog->files.push_back(drill);
    trigger(w, "readExcellon");
    EXPECT_EQ(w.diameterEdit(0)->text(), QStringLiteral("20.32"));
    w.dialog->files.push_back(outline);
    trigger(w, "readOutline");
    EXPECT_EQ(w.diameterEdit(0)->text(), QStringLiteral("0.80"));
    ASSERT_TRUE(w->board().files[0].fitted);
    // Nothing to save, and closing asks nothing.
    EXPECT_FALSE(w->isModified());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("穴区分け図"));
    w.prompts->messages.clear();
    trigger(w, "newBoard");
    EXPECT_TRUE(w.prompts->messages.isEmpty()) << w.prompts->messages.join(QLatin1Char('\n')).toStdString();
}
