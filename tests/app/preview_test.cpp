#include "app/boardviewwidget.h"
#include "app/mainwindow.h"
#include "app/previewwindow.h"
#include "scripted.h"
#include "testutil.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QProgressDialog>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
// The RS-274X fixture brings its diameters: D10, D11, D12, D14.
struct Window : test::TestWindow {
    Window() { read("rs274x_drawable.gbr", true); }
};

int inked(const QImage& img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixel(x, y) != qRgb(255, 255, 255);
    return n;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

TEST(Preview, OpensWithItsLayoutAndRedrawsInPlace)
{
    Window w;
    w.action(QStringLiteral("showPreview"))->trigger();
    PreviewWindow* p = w->previewWindow();
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(p->windowTitle(), QStringLiteral("プレビュー"));
    // The board view fills the window, which can be resized; the picture the exports save stays
    // 457 x 420 pixels.
    EXPECT_EQ(p->centralWidget(), static_cast<QWidget*>(p->boardView()));
    EXPECT_EQ(p->surface().image().size(), QSize(457, 420));
    EXPECT_NE(p->minimumSize(), p->maximumSize());
    EXPECT_EQ(p->closeAction->text() + p->exportAction->text(), QStringLiteral("閉じる(&C)BitmapExport(&B)"));
    EXPECT_TRUE(w.prompts->messages.isEmpty());
    const QImage first = p->surface().image().copy();
    EXPECT_GT(inked(first), 20);

    w->table().row(0).color = fillColor(255, 0, 0);
    w->showPreview();
    EXPECT_EQ(w->previewWindow(), p); // the same window, cleared and drawn again
    EXPECT_NE(p->surface().image(), first);
    w->table().row(0).color = 0;
    w->showPreview();
    EXPECT_EQ(p->surface().image(), first);
}

TEST(Preview, AFailedTableCheckNamesTheRowsAndDrawsNoPictureOfTheTableBefore)
{
    Window w;
    w->showPreview();
    PreviewWindow* p = w->previewWindow();
    ASSERT_TRUE(p);
    const QImage before = p->surface().image().copy();
    w.diameterEdit(1)->clear();
    w->table().row(2).diameter.clear();
    w->table().row(0).color = fillColor(0, 255, 0);
    w->showPreview();
    EXPECT_EQ(w.prompts->messages,
        QStringList({QStringLiteral("Kivotrek: D11の穴径が未入力です。"),
            QStringLiteral("Kivotrek: D12の穴径が未入力です。")}));
    EXPECT_EQ(p->surface().image(), before); // not drawn, and not shown either: the rows are
    EXPECT_TRUE(p->problemLabel()->isVisible());
    EXPECT_TRUE(p->problemLabel()->text().endsWith(
        QStringLiteral("\nD11の穴径が未入力です。\nD12の穴径が未入力です。")));
    EXPECT_FALSE(p->exportAction->isEnabled());
}

TEST(Preview, NoPreviewWhenTheTableIsIncomplete)
{
    Window w;
    w.diameterEdit(0)->clear();
    w->showPreview();
    EXPECT_FALSE(w->previewWindow());
    EXPECT_EQ(w.prompts->messages.size(), 1);
}

TEST(Preview, ClosingDiscardsTheWindowAndItsPen)
{
    Window w;
    w->showPreview();
    PreviewWindow* p = w->previewWindow();
    ASSERT_TRUE(p);
    EXPECT_GT(p->surface().penWidth(), 1);
    p->closeAction->trigger();
    flushDeletes();
    EXPECT_FALSE(w->previewWindow());
    w->table().row(0).dcode = QStringLiteral("D"); // nothing selects a tool now: pen stays as new
    w->table().row(1).dcode = QStringLiteral("D");
    w->table().row(2).dcode = QStringLiteral("D");
    w->table().row(3).dcode = QStringLiteral("D");
    w->showPreview();
    ASSERT_TRUE(w->previewWindow());
    EXPECT_EQ(w->previewWindow()->surface().penWidth(), 1);
}

TEST(Preview, BitmapExport)
{
    Window w;
    w->showPreview();
    PreviewWindow* p = w->previewWindow();
    ASSERT_TRUE(p);
    test::Scratch dir;

    // Cancel: nothing written, nothing said, and cancel-is-error stays set.
    w.dialog->files.push_back(std::nullopt);
    p->exportAction->trigger();
    EXPECT_TRUE(w.dialog->cancelError);
    EXPECT_EQ(w.dialog->shown.last(), QStringLiteral("save ビットマップファイル (*.bmp)|*.bmp"));
    EXPECT_TRUE(w.prompts->messages.isEmpty());

    const QString path = dir.path(QStringLiteral("drillmap")); // typed without an extension
    w.dialog->files.push_back(path);
    p->exportAction->trigger();
    EXPECT_TRUE(w.prompts->messages.isEmpty());
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".bmp")));
    QImageReader reader(path);
    EXPECT_EQ(reader.format(), QByteArray("bmp"));
    EXPECT_EQ(reader.read().convertToFormat(QImage::Format_RGB32), p->surface().image());

    const QString bad = QStringLiteral("/nonexistent/folder/a.bmp");
    w.dialog->files.push_back(bad);
    p->exportAction->trigger();
    EXPECT_EQ(w.prompts->messages,
        QStringList({QStringLiteral("Kivotrek: /nonexistent/folder/a.bmpに保存できませんでした。")
            + test::reason(ENOENT)}));
}

TEST(Preview, BitmapExportOffersAPictureNameAndNeverTheDrillFile)
{
    test::Scratch dir;
    const QString gerber =
        dir.write(QStringLiteral("board.gbr"), test::readAll(test::dataPath("rs274x_drawable.gbr")));
    test::TestWindow w;
    w.dialog->files.push_back(gerber);
    w->readCommand(ReaderKind::Rs274x);
    w->showPreview();
    PreviewWindow* p = w->previewWindow();
    ASSERT_TRUE(p);

    // Pressing Enter in the dialog takes the offered name: board.bmp beside board.gbr, with the
    // desktop's question before replacing a file.
    w.dialog->fileName = gerber; // as the read left it
    w.dialog->files.push_back(std::nullopt);
    p->exportAction->trigger();
    EXPECT_EQ(w.dialog->fileName, dir.path(QStringLiteral("board.bmp")));
    EXPECT_TRUE(w.dialog->flags & CommonDialog::kOverwritePrompt);

    // The drawn file itself, by its name or through a link, is refused and stays as it was.
    const QByteArray before = test::readAll(gerber);
    const QString link = dir.path(QStringLiteral("link.gbr"));
    ASSERT_TRUE(QFile::link(gerber, link));
    for (const QString& target : {gerber, link}) {
        w.prompts->messages.clear();
        w.dialog->files.push_back(target);
        p->exportAction->trigger();
        EXPECT_EQ(w.prompts->messages,
            QStringList({QStringLiteral("Kivotrek: ") + target
                + QStringLiteral("は表示中のガーバーファイルです。別の名前で保存して下さい。")}));
        EXPECT_EQ(test::readAll(gerber), before);
    }
}

TEST(Preview, SavesNeverReplaceTheSettingsFileOrTheLogo)
{
    test::Scratch dir;
    const QString gerber =
        dir.write(QStringLiteral("board.gbr"), test::readAll(test::dataPath("rs274x_drawable.gbr")));
    const QByteArray ini = test::readAll(QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/KIVOTREK.INI"));
    const QByteArray logo = test::readAll(QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/image.bmp"));
    const QString settings = dir.write(QStringLiteral("KIVOTREK.INI"), ini);
    const QString logoPath = dir.write(QStringLiteral("image.bmp"), logo);
    test::TestWindow w(dir.path(QString())); // the program's folder holds the logo
    w.dialog->files.push_back(gerber);
    w->readCommand(ReaderKind::Rs274x);
    w->showPreview();
    PreviewWindow* p = w->previewWindow();
    ASSERT_TRUE(p);
    const QString settingsLink = dir.path(QStringLiteral("settings.png"));
    ASSERT_TRUE(QFile::link(settings, settingsLink));
    for (const QString& target : {settingsLink, logoPath}) {
        for (QAction* save : {p->exportAction, p->savePngAction, p->saveSvgAction}) {
            w.prompts->messages.clear();
            w.dialog->files.push_back(target);
            save->trigger();
            EXPECT_EQ(w.prompts->messages,
                QStringList({QStringLiteral("Kivotrek: ") + target
                    + QStringLiteral("は読み込むファイルです。別の名前を指定して下さい。")}));
        }
    }
    EXPECT_EQ(test::readAll(settings), ini);
    EXPECT_EQ(test::readAll(logoPath), logo);
}

TEST(Preview, SaysWhyADrawingIsEmptyOrShortAndKeepsWhatWasDrawn)
{
    test::Scratch dir;
    // An aperture macro line stops the drawing at line 4, after the first flash.
    const QString gerber = dir.write(QStringLiteral("macro.gbr"),
        "%FSLAX24Y24*%\n%ADD10C,0.800*%\nG54D10*\nX10000Y10000D03*\n%AMOC8*5,1,8,0,0,1.08239X$1,22.5*%"
        "\nX20000Y20000D03*\nM02*\n");
    test::TestWindow w;
    w.dialog->files.push_back(gerber);
    w->readCommand(ReaderKind::Rs274x);
    w.prompts->messages.clear();
    w->showPreview();
    ASSERT_TRUE(w->previewWindow());
    ASSERT_FALSE(w.prompts->messages.isEmpty());
    EXPECT_TRUE(w.prompts->messages.first().endsWith(
        QStringLiteral("行目のデータを描画できないため、描画を中止しました。")))
        << w.prompts->messages.first().toStdString();
    EXPECT_EQ(w.prompts->messages.size(), 1);
    EXPECT_GT(inked(w->previewWindow()->surface().image()), 0); // the first flash stays drawn

    // A file without coordinates: extent 0, a blank picture and the reason.
    const QString blank = dir.write(QStringLiteral("blank.gbr"), "BM\n\n");
    w.dialog->files.push_back(blank);
    w->readCommand(ReaderKind::Standard);
    w.prompts->messages.clear();
    w->showPreview();
    EXPECT_EQ(w.prompts->messages,
        QStringList({QStringLiteral("Kivotrek: ") + blank
            + QStringLiteral("には描画できる座標がありません。ガーバーファイルか確認して下さい。")}));
}

namespace {
// The options of 表示 as a new user has them: both off.
void resetViewOptions()
{
    QSettings settings = MainWindow::viewSettings();
    settings.clear();
    settings.sync();
}

QAction* option(const Window& w, const char* name)
{
    return w.action(QLatin1String(name));
}
} // namespace

TEST(Preview, TheViewOptionsAreOffRememberedAndRedrawTheOpenPreview)
{
    resetViewOptions();
    {
        Window w;
        EXPECT_FALSE(option(w, "showCountsInLegend")->isChecked());
        EXPECT_FALSE(option(w, "drawSymbols")->isChecked());
        EXPECT_FALSE(w->drawingOptions().counts);
        EXPECT_FALSE(w->drawingOptions().marks);
        w->showPreview();
        PreviewWindow* p = w->previewWindow();
        ASSERT_TRUE(p);
        const QImage plain = p->surface().image().copy();

        option(w, "drawSymbols")->trigger(); // the open preview is drawn again with marks
        EXPECT_TRUE(w->drawingOptions().marks);
        const QImage marked = p->surface().image().copy();
        EXPECT_NE(marked, plain);
        option(w, "showCountsInLegend")->trigger();
        ASSERT_TRUE(w->drawingOptions().counts);
        EXPECT_EQ((*w->drawingOptions().counts)[0].holeCount, w->holeCounts()[0].holeCount);
        EXPECT_NE(p->surface().image(), marked);
        EXPECT_TRUE(w.prompts->messages.isEmpty());
    }
    {
        // A new run starts with them as they were left, outside KIVOTREK.INI.
        Window w;
        EXPECT_TRUE(option(w, "showCountsInLegend")->isChecked());
        EXPECT_TRUE(option(w, "drawSymbols")->isChecked());
        EXPECT_EQ(MainWindow::viewSettings().value(QStringLiteral("view/symbols")).toBool(), true);
        w->showPreview();
        const QImage both = w->previewWindow()->surface().image().copy();
        option(w, "drawSymbols")->trigger();
        option(w, "showCountsInLegend")->trigger();
        const QImage none = w->previewWindow()->surface().image().copy();
        EXPECT_NE(both, none);
        // Off again, the picture is the one drawn without the options.
        Window fresh;
        fresh->showPreview();
        EXPECT_EQ(fresh->previewWindow()->surface().image(), none);
        fresh->previewWindow()->close();
    }
    resetViewOptions();
}

TEST(Preview, SavesThePageAsPdfAndThePictureAsSvgAndPng)
{
    resetViewOptions();
    Window w;
    w.productCodeEdit()->setText(QStringLiteral("KT-42"));
    w->showPreview();
    PreviewWindow* p = w->previewWindow();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->savePdfAction->text() + p->saveSvgAction->text() + p->savePngAction->text(),
        QStringLiteral("PDFに保存(&P)SVGに保存(&S)PNGに保存(&N)"));
    test::Scratch dir;

    // The page as the batch command writes it, with the main window's size choice, taken when
    // the PDF is saved.
    w.sizeChoice()->setEditText(QStringLiteral("自動(A4横)"));
    const QString pdf = dir.path(QStringLiteral("page.pdf"));
    w.dialog->files.push_back(pdf);
    p->savePdfAction->trigger();
    EXPECT_EQ(w.dialog->shown.last(), QStringLiteral("save PDFファイル (*.pdf)|*.pdf"));
    EXPECT_TRUE(w.prompts->messages.isEmpty()) << w.prompts->messages.join(QLatin1Char('\n')).toStdString();
    const QByteArray page = test::readAll(pdf);
    EXPECT_TRUE(page.startsWith("%PDF-"));
    EXPECT_TRUE(page.contains("/MediaBox [0 0 842")) << "A4 landscape";

    // The picture as SVG: the preview's drawing, element for element.
    const QString svg = dir.path(QStringLiteral("picture.svg"));
    w.dialog->files.push_back(svg);
    p->saveSvgAction->trigger();
    EXPECT_EQ(w.dialog->shown.last(), QStringLiteral("save SVGファイル (*.svg)|*.svg"));
    const QByteArray svgText = test::readAll(svg);
    EXPECT_TRUE(svgText.contains("viewBox=\"0 0 6855 6300\""));
    EXPECT_EQ(svgText.count("<circle"), 4 + 4) << svgText.constData(); // legend cells and holes

    // The picture as PNG: the pixels shown.
    const QString png = dir.path(QStringLiteral("picture.png"));
    w.dialog->files.push_back(png);
    p->savePngAction->trigger();
    EXPECT_EQ(w.dialog->shown.last(), QStringLiteral("save PNGファイル (*.png)|*.png"));
    EXPECT_EQ(QImage(png).convertToFormat(QImage::Format_RGB32), p->surface().image());

    // A failure names the file; nothing else is left behind.
    for (QAction* a : {p->savePdfAction, p->saveSvgAction, p->savePngAction}) {
        w.prompts->messages.clear();
        w.dialog->files.push_back(QStringLiteral("/nonexistent/folder/a"));
        a->trigger();
        EXPECT_EQ(w.prompts->messages,
            QStringList({QStringLiteral("Kivotrek: /nonexistent/folder/aに保存できませんでした。")
                + test::reason(ENOENT)}));
    }
    EXPECT_EQ(QDir(dir.path(QString())).entryList(QDir::Files).size(), 3);

    // A size that gives no scale is said before any dialog, as printing says it.
    w.prompts->messages.clear();
    w.sizeChoice()->setEditText(QStringLiteral("abc"));
    const int dialogs = int(w.dialog->shown.size());
    p->savePdfAction->trigger();
    EXPECT_EQ(w.dialog->shown.size(), dialogs);
    ASSERT_EQ(w.prompts->messages.size(), 1);
    EXPECT_TRUE(w.prompts->messages.first().contains(QStringLiteral("サイズ「abc」は数値ではありません")));
}

TEST(Preview, ALargeBoardShowsItsProgressAndACancelledSaveLeavesNoFile)
{
    resetViewOptions();
    test::Scratch dir;
    QByteArray drl = "M48\nMETRIC\nT1C0.3\n%\nT1\n";
    for (int i = 0; i <= 100000; ++i)
        drl += "X" + QByteArray::number(i % 400) + ".0Y" + QByteArray::number(i / 400) + ".0\n";
    drl += "M30\n";
    test::TestWindow w;
    w.dialog->files.push_back(dir.write(QStringLiteral("big.drl"), drl));
    w->readCommand(ReaderKind::Excellon);
    ASSERT_EQ(holeTotals(w->holeCounts(), w->table()).all, 100001);
    w->showPreview();
    PreviewWindow* p = w->previewWindow();
    ASSERT_TRUE(p);
    w.prompts->messages.clear();

    // The dialog shows up while the drawing runs; its cancel ends the save without a file.
    bool seen = false;
    const auto cancelWhenShown = [&] {
        QTimer::singleShot(0, [&] {
            if (auto* d = p->findChild<QProgressDialog*>(QStringLiteral("drawingProgress"))) {
                seen = d->isVisible() && d->labelText() == QStringLiteral("図を描いています…");
                d->cancel();
            }
        });
    };
    for (QAction* a : {p->saveSvgAction, p->savePdfAction}) {
        seen = false;
        const QString path =
            dir.path(a == p->saveSvgAction ? QStringLiteral("big.svg") : QStringLiteral("big.pdf"));
        w.dialog->files.push_back(path);
        cancelWhenShown();
        a->trigger();
        EXPECT_TRUE(seen);
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_TRUE(w.prompts->messages.isEmpty());
    }
    EXPECT_EQ(QDir(dir.path(QString())).entryList(QDir::Files), QStringList {QStringLiteral("big.drl")});

    // Not cancelled, the save completes and the dialog is gone.
    const QString svg = dir.path(QStringLiteral("whole.svg"));
    w.dialog->files.push_back(svg);
    p->saveSvgAction->trigger();
    EXPECT_EQ(test::readAll(svg).count("<circle"), 100001 + 1);
    EXPECT_EQ(p->findChild<QProgressDialog*>(), nullptr);

    // Printing: a cancel sends no page and says nothing.
    const QString printed = dir.path(QStringLiteral("printed.pdf"));
    w.dialog->printers = {printed, std::nullopt};
    seen = false;
    QTimer::singleShot(0, [&] {
        if (auto* d = w->findChild<QProgressDialog*>(QStringLiteral("drawingProgress"))) {
            seen = true;
            d->cancel();
        }
    });
    w->print();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(w.prompts->messages.isEmpty());
    EXPECT_FALSE(QFile::exists(printed));
}

namespace {
// The sample board of three files in an open preview.
struct SampleBoard : test::TestWindow {
    PreviewWindow* preview = nullptr;
    SampleBoard()
    {
        resetViewOptions();
        form->openFiles({test::example("board-PTH.drl"), test::example("board-NPTH.drl"),
            test::example("board-Edge_Cuts.gbr")});
        form->showPreview();
        preview = form->previewWindow();
        prompts->messages.clear();
    }
    // What a save writes, read back.
    QByteArray saved(QAction* save, const QString& path) const
    {
        dialog->files.push_back(path);
        save->trigger();
        return test::readAll(path);
    }
    // The text of a PDF page, where poppler's pdftotext is installed.
    static std::optional<QString> pdfText(const QString& pdf)
    {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            return std::nullopt;
        return QString::fromUtf8(p.readAllStandardOutput());
    }
};

// Two plated 0.80 mm holes of row 4 (T4) lie here, in file millimetres.
constexpr double kT4X = 122.62, kT4Y = -77.38;
} // namespace

TEST(Preview, AnEditedDiameterReachesTheLegendThePictureAndTheSavesOnceTheTypingPauses)
{
    SampleBoard b;
    ASSERT_TRUE(b.preview);
    BoardViewWidget* view = b.preview->boardView();
    b.preview->resize(900, 700);
    QApplication::processEvents();
    view->transform().zoomAbout(view->transform().toView(kT4X, kT4Y), 6);
    const double scale = view->transform().scale;
    const QPointF atHole = view->transform().toView(kT4X, kT4Y);
    const QImage before = b.preview->surface().image().copy();

    // Typed as a user types it: a keystroke at a time, each an edit of the table.
    b.diameterEdit(3)->clear();
    QTest::keyClicks(b.diameterEdit(3), QStringLiteral("1.25"));
    EXPECT_EQ(b.preview->surface().image(), before); // not drawn at every keystroke
    test::waitForFollow();
    EXPECT_NE(b.preview->surface().image(), before);
    EXPECT_FALSE(b.preview->problemLabel()->isVisible());
    // The view where the user left it, its legend and its holes told with the new diameter.
    EXPECT_DOUBLE_EQ(view->transform().scale, scale);
    EXPECT_EQ(view->transform().toView(kT4X, kT4Y), atHole);
    QMouseEvent hover(QEvent::MouseMove, atHole, view->mapToGlobal(atHole), Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(view, &hover);
    EXPECT_TRUE(b.preview->statusBar()->currentMessage().contains(QStringLiteral("行4 T4 1.25")))
        << b.preview->statusBar()->currentMessage().toStdString();

    // The saves draw the table as it is: the SVG picture's legend, the printed page's.
    test::Scratch dir;
    const QByteArray svg = b.saved(b.preview->saveSvgAction, dir.path(QStringLiteral("t.svg")));
    EXPECT_TRUE(svg.contains(">1.25  TH</text>")) << svg.left(2000).constData();
    EXPECT_FALSE(svg.contains(">0.80  TH</text>"));
    const QString pdf = dir.path(QStringLiteral("t.pdf"));
    b.saved(b.preview->savePdfAction, pdf);
    EXPECT_TRUE(b.prompts->messages.isEmpty()) << b.prompts->messages.join(QLatin1Char('\n')).toStdString();
    if (const auto text = SampleBoard::pdfText(pdf)) {
        EXPECT_TRUE(text->contains(QStringLiteral("1.25"))) << text->toStdString();
        EXPECT_FALSE(text->contains(QStringLiteral("0.80"))) << text->toStdString();
    }
    // The picture as it was before the edit comes back with the diameter.
    b.diameterEdit(3)->setText(QStringLiteral("0.80"));
    test::waitForFollow();
    EXPECT_EQ(b.preview->surface().image(), before);
}

TEST(Preview, ARowLeftWithoutADiameterIsNamedInThePreviewWhichSavesNoOldPicture)
{
    SampleBoard b;
    ASSERT_TRUE(b.preview);
    const QImage before = b.preview->surface().image().copy();
    b.diameterEdit(3)->clear();
    b.diameterEdit(5)->setText(QStringLiteral("1,0"));
    test::waitForFollow();
    // Said in the preview's own window, in the table check's words, and in no message box.
    EXPECT_TRUE(b.preview->isVisible());
    EXPECT_TRUE(b.prompts->messages.isEmpty()) << b.prompts->messages.join(QLatin1Char('\n')).toStdString();
    QLabel* problem = b.preview->problemLabel();
    ASSERT_TRUE(problem->isVisible());
    EXPECT_EQ(problem->text(),
        QStringLiteral("穴種表の次の行を直すまで、図は描けません（直せばすぐに描き直します）。\n"
                       "T4の穴径が未入力です。\n行6（T6）の穴径「1,0」を数値として読めません。"));
    EXPECT_EQ(problem->geometry(), b.preview->boardView()->rect());
    // No save writes a picture of the table before: the commands are off, and a save asked for
    // all the same is refused with the rows.
    test::Scratch dir;
    for (QAction* save : {b.preview->exportAction, b.preview->savePngAction, b.preview->saveSvgAction,
             b.preview->savePdfAction, b.preview->saveViewAction})
        EXPECT_FALSE(save->isEnabled()) << save->objectName().toStdString();
    const QString png = dir.path(QStringLiteral("old.png"));
    b.dialog->files.push_back(png);
    b.preview->savePng();
    b.preview->savePdf();
    EXPECT_FALSE(QFile::exists(png));
    ASSERT_EQ(b.prompts->messages.size(), 2);
    EXPECT_EQ(b.prompts->messages[0], QStringLiteral("Kivotrek: ") + problem->text());
    EXPECT_EQ(b.dialog->shown.size(), 0); // no file dialog either
    // Mended, the board is drawn again and can be saved.
    b.diameterEdit(3)->setText(QStringLiteral("0.80"));
    b.diameterEdit(5)->setText(QStringLiteral("1.00"));
    test::waitForFollow();
    EXPECT_FALSE(problem->isVisible());
    EXPECT_TRUE(b.preview->savePngAction->isEnabled());
    EXPECT_EQ(b.preview->surface().image(), before);
}

TEST(Preview, KindColourProductCodeAndSizeReachTheNextSaveAtOnce)
{
    SampleBoard b;
    ASSERT_TRUE(b.preview);
    test::Scratch dir;
    // A kind and a colour changed, then saved at once, before the pause has passed: the save
    // draws them all the same.
    b.kindBox(3)->setEditText(QStringLiteral("NTH"));
    b.dialog->colors.push_back(QColor(255, 0, 255));
    QTest::mouseDClick(b.dcodeEdit(3), Qt::LeftButton);
    ASSERT_EQ(b.dialog->shown.last(), QStringLiteral("color"));
    const QByteArray svg = b.saved(b.preview->saveSvgAction, dir.path(QStringLiteral("t.svg")));
    EXPECT_TRUE(svg.contains(">0.80  NTH</text>")) << svg.left(2000).constData();
    EXPECT_TRUE(svg.contains("fill=\"#ff00ff\""));
    // The picture saved is the picture the table gives now.
    const QString png = dir.path(QStringLiteral("t.png"));
    b.kindBox(3)->setEditText(QStringLiteral("TH"));
    b.saved(b.preview->savePngAction, png);
    test::waitForFollow();
    EXPECT_EQ(QImage(png).convertToFormat(QImage::Format_RGB32), b.preview->surface().image());
    // The product code and the size choice reach the printed page.
    b.productCodeEdit()->setText(QStringLiteral("LIVE-CODE-X"));
    b.sizeChoice()->setEditText(QStringLiteral("自動(A4横)"));
    const QString pdf = dir.path(QStringLiteral("t.pdf"));
    const QByteArray page = b.saved(b.preview->savePdfAction, pdf);
    EXPECT_TRUE(page.contains("/MediaBox [0 0 842")) << "A4 landscape";
    if (const auto text = SampleBoard::pdfText(pdf)) {
        EXPECT_TRUE(text->contains(QStringLiteral("LIVE-CODE-X"))) << text->toStdString();
    }
    EXPECT_TRUE(b.prompts->messages.isEmpty()) << b.prompts->messages.join(QLatin1Char('\n')).toStdString();
}
