#include "app/mainwindow.h"
#include "scripted.h"
#include "testutil.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
struct Window : test::TestWindow {
    test::Scratch dir;
    void readBoard() { read("board_100x80.gbr"); } // no diameters: printing does not check the table
};

QByteArray head(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(5) : QByteArray();
}

const QString kAskDefault = QStringLiteral("Kivotrek: デフォルトに設定するプリンターをセットしてください。");
} // namespace

TEST(PrintCommand, PrintsOnePageThenAsksForTheDefaultPrinter)
{
    Window w;
    w.readBoard();
    w.productCodeEdit()->setText(QStringLiteral("KT-001"));
    const QString pdf = w.dir.path(QStringLiteral("page.pdf"));
    w.dialog->printers = {pdf, std::nullopt};
    w.action(QStringLiteral("print"))->trigger();
    EXPECT_EQ(head(pdf), QByteArray("%PDF-"));
    EXPECT_EQ(w.prompts->messages, QStringList({kAskDefault}));
    EXPECT_EQ(w.dialog->shown, QStringList({QStringLiteral("printer"), QStringLiteral("printer")}));
    EXPECT_TRUE(w.dialog->cancelError);
    EXPECT_TRUE(w.dialog->flags & CommonDialog::kHidePrintToFile);
    EXPECT_EQ(w->printer().pageLayout().pageSize().id(), QPageSize::A4);
    EXPECT_EQ(w->printer().pageLayout().orientation(), QPageLayout::Portrait);
}

TEST(PrintCommand, CancelInTheFirstDialogEndsSilently)
{
    Window w;
    w.readBoard();
    w.dialog->printers = {std::nullopt};
    w->print();
    EXPECT_TRUE(w.prompts->messages.isEmpty());
    EXPECT_EQ(w.dialog->shown, QStringList({QStringLiteral("printer")}));
}

TEST(PrintCommand, PaperAndOrientationOnlyForTheAutomaticItems)
{
    Window w;
    w.readBoard();
    w.sizeChoice()->setEditText(QStringLiteral("自動(B4横)"));
    w.dialog->printers = {w.dir.path(QStringLiteral("b4.pdf")), std::nullopt};
    w->print();
    EXPECT_EQ(w->printer().pageLayout().pageSize().id(), QPageSize::JisB4);
    EXPECT_EQ(w->printer().pageLayout().orientation(), QPageLayout::Landscape);

    w.sizeChoice()->setEditText(QStringLiteral("100")); // as the print dialog left it
    w.dialog->printers = {w.dir.path(QStringLiteral("fixed.pdf")), std::nullopt};
    w->print();
    EXPECT_EQ(w->printer().pageLayout().pageSize().id(), QPageSize::JisB4);
    EXPECT_EQ(head(w.dir.path(QStringLiteral("fixed.pdf"))), QByteArray("%PDF-"));
}

TEST(PrintCommand, AnEmptyOrFailedPrintSaysWhyAndAsksNothingMore)
{
    // Nothing read yet.
    {
        Window w;
        const QString pdf = w.dir.path(QStringLiteral("none.pdf"));
        w.dialog->printers = {pdf, std::nullopt};
        w->print();
        EXPECT_FALSE(QFile::exists(pdf)); // no print job was started
        EXPECT_EQ(w.prompts->messages,
            QStringList({QStringLiteral(
                "Kivotrek: ガーバーファイルが読み込まれていません。先にファイルを読み込んで下さい。")}));
        EXPECT_EQ(w.dialog->shown, QStringList({QStringLiteral("printer")}));
        QString why;
        EXPECT_FALSE(w->printPage(&why));
        EXPECT_EQ(QStringLiteral("Kivotrek: ") + why, w.prompts->messages.first());
    }
    // A file without coordinates (a picture read as Gerber): its extent is 0.
    {
        Window w;
        const QString picture = w.dir.write(QStringLiteral("photo.gbr"), "BM\x01\x02\n\n");
        w.dialog->files.push_back(picture);
        w->readCommand(ReaderKind::Standard);
        w.prompts->messages.clear();
        w.dialog->printers = {w.dir.path(QStringLiteral("photo.pdf"))};
        w->print();
        EXPECT_EQ(w.prompts->messages,
            QStringList({QStringLiteral("Kivotrek: ") + picture
                + QStringLiteral("には描画できる座標がありません。ガーバーファイルか確認して下さい。")}));
        // Listed with the board's messages too.
        EXPECT_EQ(w.messageRows().value(w.messageRows().size() - 1),
            QStringLiteral("エラー|||") + picture
                + QStringLiteral("には描画できる座標がありません。ガーバーファイルか確認して下さい。"));
    }
    // No printer at all on the system.
    {
        Window w;
        w.readBoard();
        w.dialog->printers = {QString(), std::nullopt};
        w->print();
        EXPECT_EQ(w.prompts->messages,
            QStringList({QStringLiteral(
                "Kivotrek: 印刷できるプリンターがありません。プリンターを設定してから印刷して下さい。")}));
        EXPECT_EQ(w.dialog->shown, QStringList({QStringLiteral("printer")}));
    }
    // A PDF that cannot be written: the painter does not start.
    {
        Window w;
        w.readBoard();
        const QString pdf = QStringLiteral("/nonexistent/folder/page.pdf");
        w.dialog->printers = {pdf, std::nullopt};
        w->print();
        EXPECT_EQ(w.prompts->messages,
            QStringList({QStringLiteral("Kivotrek: プリンター") + pdf
                + QStringLiteral("で印刷を開始できませんでした。")}));
    }
}

TEST(PrintCommand, AnExcellonFilePrintsInTheFrameOfItsHoles)
{
    Window w;
    w.dialog->files.push_back(QStringLiteral(KIVOTREK_SOURCE_DIR "/examples/board-PTH.drl"));
    w->readCommand(ReaderKind::Excellon);
    const QString pdf = w.dir.path(QStringLiteral("pth.pdf"));
    w.dialog->printers = {pdf, std::nullopt};
    w->print();
    EXPECT_EQ(head(pdf), QByteArray("%PDF-"));
    EXPECT_EQ(w.prompts->messages, QStringList({kAskDefault})); // printed, with no other message
}

TEST(PrintCommand, ASizeThatIsNoNumberIsRefusedBeforeTheDialog)
{
    Window w;
    w.readBoard();
    for (const QString& size : {QStringLiteral("abc"), QStringLiteral("0"), QString()}) {
        w.prompts->messages.clear();
        w.sizeChoice()->setEditText(size);
        w->print();
        EXPECT_EQ(w.prompts->messages,
            QStringList({QStringLiteral("Kivotrek: サイズ「") + size
                + QStringLiteral(
                    "」は数値ではありません。自動(A4縦)などを選ぶか、倍率を数値で入力して下さい。")}));
        EXPECT_TRUE(w.dialog->shown.isEmpty());
    }
    // A number with a tail prints at that percentage, as before.
    w.sizeChoice()->setEditText(QStringLiteral("50%"));
    const QString pdf = w.dir.path(QStringLiteral("half.pdf"));
    w.dialog->printers = {pdf, std::nullopt};
    w.prompts->messages.clear();
    w->print();
    EXPECT_EQ(head(pdf), QByteArray("%PDF-"));
    EXPECT_EQ(w.prompts->messages, QStringList({kAskDefault}));
}

TEST(PrintCommand, ThroughACupsPdfQueueWhenThereIsOne)
{
    // Only a CUPS-PDF queue: a test must never put paper through a real printer.
    QString queue;
    for (const QPrinterInfo& info : QPrinterInfo::availablePrinters()) {
        if (info.makeAndModel().contains(QStringLiteral("CUPS-PDF"), Qt::CaseInsensitive))
            queue = info.printerName();
    }
    if (queue.isEmpty())
        GTEST_SKIP() << "no CUPS-PDF printer queue here";
    Window w;
    w.readBoard();
    w.productCodeEdit()->setText(QStringLiteral("CUPS テスト"));
    QPrinter& pr = w->printer();
    pr.setOutputFormat(QPrinter::NativeFormat);
    pr.setPrinterName(queue);
    pr.setDocName(QStringLiteral("kivotrek-cups-test"));
    EXPECT_TRUE(w->printPage());
}

TEST(PrintCommand, ABoardPastThePaperIsAskedAboutFirst)
{
    // 100 x 80 mm at 300 % of 0.83: 249 mm wide and 12 mm from the edge, on A4 portrait's 210.
    Window w;
    w.readBoard();
    w.sizeChoice()->setEditText(QStringLiteral("300"));
    w->printer().setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    const QString question = QStringLiteral(
        "Kivotrek? 基板が用紙に収まりません（幅 261 mm、用紙 210 mm）。\nこのまま印刷しますか？");
    const QString pdf = w.dir.path(QStringLiteral("no.pdf"));
    w.dialog->printers = {pdf};
    w.prompts->answers = {false};
    w->print();
    EXPECT_EQ(w.prompts->messages, QStringList({question}));
    EXPECT_FALSE(QFile::exists(pdf)); // いいえ: nothing printed, nothing more asked
    const QString yes = w.dir.path(QStringLiteral("yes.pdf"));
    w.prompts->messages.clear();
    w.dialog->printers = {yes, std::nullopt};
    w.prompts->answers = {true};
    w->print();
    EXPECT_EQ(head(yes), QByteArray("%PDF-"));
    EXPECT_EQ(w.prompts->messages, QStringList({question, kAskDefault}));
    // A board that fits prints without a question.
    w.sizeChoice()->setEditText(QStringLiteral("100"));
    w.prompts->messages.clear();
    w.dialog->printers = {w.dir.path(QStringLiteral("fits.pdf")), std::nullopt};
    w->print();
    EXPECT_EQ(w.prompts->messages, QStringList({kAskDefault}));
}
