#pragma once

// Scripted stand-ins for the shared dialog and the message boxes.

#include "app/colorswatch.h"
#include "app/commondialog.h"
#include "app/holetableview.h"
#include "app/mainwindow.h"
#include "app/messagespanel.h"
#include "app/prompts.h"
#include "app/tabcontrol.h"
#include "package/package.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QStringList>
#include <QTest>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace kivotrek::test {

// Lets the pause after an edit pass, so that an open preview and open checks have followed it.
inline void waitForFollow()
{
    QTest::qWait(MainWindow::kFollowDelayMs * 3);
}

struct ScriptedDialog : CommonDialog {
    // Each Show... takes the next answer: a file name or colour, or nothing for a cancel.
    std::deque<std::optional<QString>> files;
    std::deque<std::optional<QColor>> colors;
    QStringList shown; // "open <filter>", "save <filter>", "color"
    QStringList shownHidden; // the files the last file dialog did not offer
    QString shownFileName; // the name (or folder) the last file dialog started with

    bool showOpen(QWidget*) override { return file(QStringLiteral("open ")); }
    bool showSave(QWidget*) override { return file(QStringLiteral("save ")); }
    bool showColor(QWidget*) override
    {
        shown << QStringLiteral("color");
        return next(colors, color);
    }

    // A print dialog answered with a PDF file name prints into that file, with an empty name
    // on a system without printers; nothing is a cancel.
    std::deque<std::optional<QString>> printers;
    bool showPrinter(QWidget*, QPrinter& printer) override
    {
        shown << QStringLiteral("printer");
        QString pdf;
        if (!next(printers, pdf))
            return false;
        if (pdf.isEmpty()) { // a system without any printer
            printer.setOutputFormat(QPrinter::NativeFormat);
            printer.setPrinterName(QString());
            return true;
        }
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    }

private:
    bool file(const QString& kind)
    {
        shown << kind + filter;
        shownHidden = hiddenFiles;
        shownFileName = fileName;
        return next(files, fileName);
    }
    // Takes the next answer; an empty script answers with a cancel.
    template <typename T> static bool next(std::deque<std::optional<T>>& q, T& out)
    {
        if (q.empty())
            return false;
        const bool given = q.front().has_value();
        if (given)
            out = *q.front();
        q.pop_front();
        return given;
    }
};

struct RecordedPrompts : Prompts {
    QStringList messages; // "caption: text"
    std::deque<bool> answers;
    std::deque<SaveChoice> saveChoices; // none left: キャンセル
    std::deque<int> choices; // none left: cancelled (-1)

    SaveChoice saveDiscardCancel(QWidget*, const QString& text, const QString& caption) override
    {
        messages << caption + QStringLiteral("? ") + text;
        if (saveChoices.empty())
            return SaveChoice::Cancel;
        const SaveChoice c = saveChoices.front();
        saveChoices.pop_front();
        return c;
    }
    int choose(QWidget*, const QString& text, const QString& caption, const QStringList& items) override
    {
        messages << caption + QStringLiteral("? ") + text + QStringLiteral(" [")
                + items.join(QStringLiteral(" | ")) + QLatin1Char(']');
        if (choices.empty())
            return -1;
        const int c = choices.front();
        choices.pop_front();
        return c;
    }

    void message(QWidget*, const QString& text, const QString& caption) override
    {
        messages << caption + QStringLiteral(": ") + text;
    }
    // The package window: OK with the roles as found, unless the test answers otherwise.
    std::function<bool(Package&)> review;
    bool reviewPackage(QWidget*, Package& package) override
    {
        messages << QStringLiteral("package? ") + package.path();
        return review ? review(package) : true;
    }
    bool yesNo(QWidget*, const QString& text, const QString& caption) override
    {
        messages << caption + QStringLiteral("? ") + text;
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty())
            answers.pop_front();
        return yes;
    }
};

// A main window with scripted dialogs and recorded message boxes; the program folder is the
// test data folder unless a test names another.
struct TestWindow {
    ScriptedDialog* dialog = new ScriptedDialog;
    RecordedPrompts* prompts = new RecordedPrompts;
    std::unique_ptr<MainWindow> form;

    explicit TestWindow(const QString& programFolder = QString::fromUtf8(KIVOTREK_TEST_DATA))
    {
        MainWindowSetup setup;
        setup.dialog.reset(dialog);
        setup.prompts.reset(prompts);
        setup.programFolder = programFolder;
        form = std::make_unique<MainWindow>(std::move(setup));
    }
    // Reads a fixture through the dialog, standard or RS-274X, and forgets the dialog shown.
    void read(const char* fixture, bool rs274x = false)
    {
        dialog->files.push_back(
            QString::fromUtf8(KIVOTREK_TEST_DATA) + QLatin1Char('/') + QString::fromUtf8(fixture));
        form->readCommand(rs274x ? ReaderKind::Rs274x : ReaderKind::Standard);
        dialog->shown.clear();
    }
    MainWindow* operator->() const { return form.get(); }

    // The window's parts, as a test reaches them: by their object names.
    template <typename W> W* part(const char* name) const
    {
        W* w = form->findChild<W*>(QLatin1String(name));
        EXPECT_TRUE(w) << name;
        return w;
    }
    QLineEdit* pathEdit() const { return part<QLineEdit>("pathEdit"); }
    QLineEdit* productCodeEdit() const { return part<QLineEdit>("productCodeEdit"); }
    QComboBox* sizeChoice() const { return part<QComboBox>("sizeChoice"); }
    QLabel* totalsLabel() const { return part<QLabel>("totalsLabel"); }
    TabControl* tableTabs() const { return part<TabControl>("tableTabs"); }
    QAction* action(const QString& name) const
    {
        QAction* a = form->findChild<QAction*>(name);
        EXPECT_TRUE(a) << name.toStdString();
        return a;
    }
    // What the messages under the table list, a line each: "警告|board.drl|7|…".
    QStringList messageRows() const
    {
        QStringList rows;
        const MessagesPanel* panel = form->messagesPanel();
        for (int i = 0; i < panel->topLevelItemCount(); ++i)
            rows << panel->rowText(i);
        return rows;
    }
    // The table's rows; their page is made when first asked for.
    HoleTableView& rows() const { return *part<HoleTableView>("holeTableView"); }
    QLineEdit* dcodeEdit(int i) const { return rows().dcodeEdit(i); }
    QLineEdit* diameterEdit(int i) const { return rows().diameterEdit(i); }
    QComboBox* toleranceSign(int i, int which) const { return rows().toleranceSign(i, which); }
    QComboBox* toleranceValue(int i, int which) const { return rows().toleranceValue(i, which); }
    QComboBox* kindBox(int i) const { return rows().kindBox(i); }
    ColorSwatch* swatch(int i) const { return rows().swatch(i); }
    QLabel* countLabel(int i) const { return rows().countLabel(i); }
};

} // namespace kivotrek::test
