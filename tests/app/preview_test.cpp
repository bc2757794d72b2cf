#include "app/mainwindow.h"
#include "app/previewwindow.h"
#include "scripted.h"
#include "testutil.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
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
    w->menuAction(QStringLiteral("showPreview"))->trigger();
    PreviewWindow* p = w->previewWindow();
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(p->windowTitle(), QStringLiteral("プレビュー"));
    EXPECT_EQ(p->centralWidget()->size(), w->twips().size(7140, 6585));
    EXPECT_EQ(p->pictureBox->geometry(), QRect(w->twips().point(120, 120), QSize(457, 420)));
    EXPECT_EQ(p->closeAction->text() + p->exportAction->text(), QStringLiteral("閉じるBitmapExport"));
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

TEST(Preview, AFailedTableCheckLeavesTheOpenPreviewAlone)
{
    Window w;
    w->showPreview();
    PreviewWindow* p = w->previewWindow();
    ASSERT_TRUE(p);
    const QImage before = p->surface().image().copy();
    w->diameterEdit(1)->clear();
    w->table().row(2).diameter.clear();
    w->table().row(0).color = fillColor(0, 255, 0);
    w->showPreview();
    EXPECT_EQ(w.prompts->messages,
        QStringList({QStringLiteral("Kivotrek: D11の穴径が未入力です。"),
            QStringLiteral("Kivotrek: D12の穴径が未入力です。")}));
    EXPECT_EQ(p->surface().image(), before);
}

TEST(Preview, NoPreviewWhenTheTableIsIncomplete)
{
    Window w;
    w->diameterEdit(0)->clear();
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
        QStringList({QStringLiteral("Kivotrek: /nonexistent/folder/a.bmpに保存できませんでした。")}));
}

TEST(Preview, BitmapExportOffersAPictureNameAndNeverTheDrillFile)
{
    test::Scratch dir;
    const QString gerber =
        dir.write(QStringLiteral("board.gbr"), test::readAll(test::dataPath("rs274x_drawable.gbr")));
    test::TestWindow w;
    w.dialog->files.push_back(gerber);
    w->readRs274x();
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

TEST(Preview, SaysWhyADrawingIsEmptyOrShortAndKeepsWhatWasDrawn)
{
    test::Scratch dir;
    // An aperture macro line stops the drawing at line 4, after the first flash.
    const QString gerber = dir.write(QStringLiteral("macro.gbr"),
        "%FSLAX24Y24*%\n%ADD10C,0.800*%\nG54D10*\nX10000Y10000D03*\n%AMOC8*5,1,8,0,0,1.08239X$1,22.5*%"
        "\nX20000Y20000D03*\nM02*\n");
    test::TestWindow w;
    w.dialog->files.push_back(gerber);
    w->readRs274x();
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
    const QString blank = dir.write(QStringLiteral("blank.gbr"), "BM\x01\x02\n\n");
    w.dialog->files.push_back(blank);
    w->readStandardGerber();
    w.prompts->messages.clear();
    w->showPreview();
    EXPECT_EQ(w.prompts->messages,
        QStringList({QStringLiteral("Kivotrek: ") + blank
            + QStringLiteral("には描画できる座標がありません。ガーバーファイルか確認して下さい。")}));
}
