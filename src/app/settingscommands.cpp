// The main window's settings file (KIVOTREK.INI beside the board's first file): loading it,
// asking first when it does not fit the files read, saving it, and the unsaved work that the
// window's title marks and closing, 新規 and another read ask about.

#include "app/mainwindow.h"

#include "app/holetableview.h"
#include "common/fileio.h"
#include "common/messages.h"
#include "settings/settingsfile.h"
#include "settings/settingsfit.h"

#include <QLineEdit>

namespace kivotrek {

void MainWindow::markRead()
{
    readTable_ = table_;
}

void MainWindow::markSaved()
{
    savedTable_ = table_;
    savedProductCode_ = productCodeEdit_->text();
    noteChange();
}

bool MainWindow::isModified() const
{
    return table_ != savedTable_ || productCodeEdit_->text() != savedProductCode_;
}

void MainWindow::noteChange()
{
    // Qt's mark, "穴区分け図*", while modified; the plain title otherwise.
    const bool modified = isModified();
    if (modified == isWindowModified())
        return;
    setWindowTitle(modified ? msg::mainCaption() + QStringLiteral("[*]") : msg::mainCaption());
    setWindowModified(modified);
}

bool MainWindow::confirmDiscard()
{
    if (!isModified())
        return true;
    switch (prompts_->saveDiscardCancel(this, msg::unsavedChanges(), msg::title())) {
    case Prompts::SaveChoice::Save: return saveSettingsQuietly();
    case Prompts::SaveChoice::Discard: return true;
    case Prompts::SaveChoice::Cancel: return false;
    }
    return false;
}

void MainWindow::readSettings()
{
    const QString path = settingsPath(board_.settingsAnchor());
    QString error;
    const auto values = readSettingsFile(path, &error);
    if (!values) {
        showMessage(error); // the table stays exactly as it was
        return;
    }
    // One settings file serves a folder: written for another board it would put that board's
    // D-codes and diameters on paper. The user sees how it differs and decides.
    const QStringList differences = settingsMismatches(readTable_, board_.nextFreeRow(), *values);
    if (!differences.isEmpty()
        && !prompts_->yesNo(this, msg::settingsDoNotFitQuestion(path, differences, 10), msg::title()))
        return;
    QString productCode = productCodeEdit_->text();
    applySettings(*values, table_, productCode);
    productCodeEdit_->setText(productCode);
    productCodeEdit_->setCursorPosition(0);
    refreshTable();
    markSaved();
    changeBoard();
}

void MainWindow::saveSettings()
{
    // A drill file that happens to be named KIVOTREK.INI is never replaced by the table.
    const QString path = board_.isEmpty() ? QString() : settingsPath(board_.settingsAnchor());
    if (!path.isEmpty() && inputWrittenOver(path, board_.paths()) >= 0) {
        showMessage(msg::cannotOverwriteDrawnFile(path));
        return;
    }
    const SaveResult r = saveSettingsFile(table_, productCodeEdit_->text(), board_.settingsAnchor());
    if (r.path.isEmpty())
        return; // no Gerber file chosen yet
    if (r.ok)
        markSaved();
    showMessage(r.ok ? msg::settingsSaved(r.path) : r.error);
}

bool MainWindow::saveSettingsQuietly()
{
    if (board_.isEmpty())
        return true; // nothing read: nothing that a settings file could keep
    const QString path = settingsPath(board_.settingsAnchor());
    if (inputWrittenOver(path, board_.paths()) >= 0) {
        showMessage(msg::cannotOverwriteDrawnFile(path));
        return false;
    }
    const SaveResult r = saveSettingsFile(table_, productCodeEdit_->text(), board_.settingsAnchor());
    if (!r.ok) {
        showMessage(r.error);
        return false;
    }
    markSaved();
    return true;
}

} // namespace kivotrek
