#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

class QWidget;
class QPrinter;

namespace kivotrek {

class Prompts;

// The main window's one shared dialog for opening and saving files, choosing a colour and
// choosing a printer. What a command sets on it (filter, file name, cancel-is-error, flags)
// stays for every later command; nothing resets it. Each Show... returns false when the user
// cancelled; the caller then ends its command.
class CommonDialog {
public:
    virtual ~CommonDialog() = default;

    QString filter; // "description|pattern" pairs, as "ガーバーﾌｧｲﾙ (*.gbr)|*.gbr"
    QString fileName; // the name it last held, or a folder; the next file dialog starts with it
    QStringList hiddenFiles; // files the open dialog does not offer (a board's own, when adding)
    bool cancelError = false; // a cancel is reported as a failure
    QColor color; // the colour last confirmed
    int flags = 0;

    virtual bool showOpen(QWidget* parent) = 0;
    virtual bool showSave(QWidget* parent) = 0;
    virtual bool showColor(QWidget* parent) = 0;
    // The print dialog: the printer chosen there is set up on the given printer object.
    virtual bool showPrinter(QWidget* parent, QPrinter& printer) = 0;

    // Flags for the print dialog.
    static constexpr int kHidePrintToFile = 0x100000;
    // Flag for the save dialog: ask before replacing an existing file.
    static constexpr int kOverwritePrompt = 0x2;

    // "desc|pattern|desc|pattern" as Qt name filters.
    static QStringList qtFilters(const QString& filter);
};

// The dialogs of the desktop.
class QtCommonDialog : public CommonDialog {
public:
    bool showOpen(QWidget* parent) override;
    bool showSave(QWidget* parent) override;
    bool showColor(QWidget* parent) override;
    bool showPrinter(QWidget* parent, QPrinter& printer) override;

private:
    bool showFile(QWidget* parent, bool save);
    static void setDefaultPrinter(const QPrinter& printer);
};

// Asks where to save a file made from the drawn files: the dialog offers the first one's name
// with the suffix, beside it, and asks before replacing a file. A name of a drawn file, or of
// another file the program reads (the settings file, the logo), is refused with a message, as a
// save would replace what it is made from. Empty when the user cancelled or the name was
// refused.
QString askSavePath(CommonDialog& dialog, Prompts& prompts, QWidget* parent, const QString& filter,
    const QString& suffix, const QStringList& drawnFiles, const QStringList& readFiles = {});

} // namespace kivotrek
