#include "app/form1.h"
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
    w->Txt_seihincode->setText(QStringLiteral("KT-001"));
    const QString pdf = w.dir.path(QStringLiteral("page.pdf"));
    w.dialog->printers = {pdf, std::nullopt};
    w->menuAction(QStringLiteral("print"))->trigger();
    EXPECT_EQ(head(pdf), QByteArray("%PDF-"));
    EXPECT_EQ(w.prompts->messages, QStringList({kAskDefault}));
    EXPECT_EQ(w.dialog->shown, QStringList({QStringLiteral("printer"), QStringLiteral("printer")}));
    EXPECT_TRUE(w.dialog->CancelError);
    EXPECT_TRUE(w.dialog->Flags & CommonDialog::kHidePrintToFile);
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
    w->Cmb_Parsent->setEditText(QStringLiteral("自動(B4横)"));
    w.dialog->printers = {w.dir.path(QStringLiteral("b4.pdf")), std::nullopt};
    w->print();
    EXPECT_EQ(w->printer().pageLayout().pageSize().id(), QPageSize::JisB4);
    EXPECT_EQ(w->printer().pageLayout().orientation(), QPageLayout::Landscape);

    w->Cmb_Parsent->setEditText(QStringLiteral("100")); // as the print dialog left it
    w.dialog->printers = {w.dir.path(QStringLiteral("fixed.pdf")), std::nullopt};
    w->print();
    EXPECT_EQ(w->printer().pageLayout().pageSize().id(), QPageSize::JisB4);
    EXPECT_EQ(head(w.dir.path(QStringLiteral("fixed.pdf"))), QByteArray("%PDF-"));
}

TEST(PrintCommand, NothingReadNothingPrintedButTheQuestionStays)
{
    Window w;
    const QString pdf = w.dir.path(QStringLiteral("none.pdf"));
    w.dialog->printers = {pdf, std::nullopt};
    w->print();
    EXPECT_FALSE(w->PrintDrawing());
    EXPECT_FALSE(QFile::exists(pdf)); // no print job was started
    EXPECT_EQ(w.prompts->messages, QStringList({kAskDefault}));
    EXPECT_EQ(w.dialog->shown.size(), 2);
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
    w->Txt_seihincode->setText(QStringLiteral("CUPS テスト"));
    QPrinter& pr = w->printer();
    pr.setOutputFormat(QPrinter::NativeFormat);
    pr.setPrinterName(queue);
    pr.setDocName(QStringLiteral("kivotrek-cups-test"));
    EXPECT_TRUE(w->PrintDrawing());
}
