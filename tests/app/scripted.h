#pragma once

// Scripted stand-ins for the shared dialog and the message boxes.

#include "app/commondialog.h"
#include "app/prompts.h"

#include <QPrinter>
#include <QStringList>
#include <deque>
#include <optional>

namespace kivotrek::test {

struct ScriptedDialog : CommonDialog {
    // Each Show... takes the next answer: a file name or colour, or nothing for a cancel.
    std::deque<std::optional<QString>> files;
    std::deque<std::optional<QColor>> colors;
    QStringList shown; // "open <filter>", "save <filter>", "color"

    bool ShowOpen(QWidget*) override { return file(QStringLiteral("open ")); }
    bool ShowSave(QWidget*) override { return file(QStringLiteral("save ")); }
    bool ShowColor(QWidget*) override
    {
        shown << QStringLiteral("color");
        return next(colors, Color);
    }

    // A print dialog answered with a PDF file name prints into that file; nothing is a cancel.
    std::deque<std::optional<QString>> printers;
    bool ShowPrinter(QWidget*, QPrinter& printer) override
    {
        shown << QStringLiteral("printer");
        QString pdf;
        if (!next(printers, pdf))
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    }

private:
    bool file(const QString& kind)
    {
        shown << kind + Filter;
        return next(files, FileName);
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

    void message(QWidget*, const QString& text, const QString& caption) override
    {
        messages << caption + QStringLiteral(": ") + text;
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

} // namespace kivotrek::test
