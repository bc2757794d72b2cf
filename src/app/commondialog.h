#pragma once

#include <QColor>
#include <QString>

class QWidget;
class QPrinter;

namespace kivotrek {

// The main window's one shared dialog for opening and saving files, choosing a colour and
// choosing a printer. What a command sets on it (filter, file name, cancel-is-error, flags)
// stays for every later command; nothing resets it. Each Show... returns false when the user
// cancelled; the caller then ends its command.
class CommonDialog {
public:
    virtual ~CommonDialog() = default;

    QString Filter; // "description|pattern" pairs, as "ガーバーﾌｧｲﾙ (*.gbr)|*.gbr"
    QString FileName; // the name it last held; the next file dialog starts with it
    bool CancelError = false; // a cancel is reported as a failure
    QColor Color; // the colour last confirmed
    int Flags = 0;

    virtual bool ShowOpen(QWidget* parent) = 0;
    virtual bool ShowSave(QWidget* parent) = 0;
    virtual bool ShowColor(QWidget* parent) = 0;
    // The print dialog: the printer chosen there is set up on the given printer object.
    virtual bool ShowPrinter(QWidget* parent, QPrinter& printer) = 0;

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
    bool ShowOpen(QWidget* parent) override;
    bool ShowSave(QWidget* parent) override;
    bool ShowColor(QWidget* parent) override;
    bool ShowPrinter(QWidget* parent, QPrinter& printer) override;

private:
    bool showFile(QWidget* parent, bool save);
    static void setDefaultPrinter(const QPrinter& printer);
};

} // namespace kivotrek
