#include "app/commondialog.h"

#include "app/prompts.h"
#include "common/fileio.h"
#include "common/messages.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QSortFilterProxyModel>
#include <QStandardPaths>

namespace kivotrek {

QStringList CommonDialog::qtFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i].trimmed();
        const QString pattern = parts[i + 1].trimmed().replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt takes the patterns from the last parentheses of the text.
        if (desc.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')')))
            out << desc;
        else
            out << desc + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return out;
}

namespace {
// The files of a folder but those named.
class HiddenFiles : public QSortFilterProxyModel {
public:
    HiddenFiles(const QStringList& paths, QObject* parent) : QSortFilterProxyModel(parent)
    {
        for (const QString& p : paths)
            hidden_ << QFileInfo(p).canonicalFilePath();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files)
            return true;
        const QModelIndex index = files->index(row, 0, parent);
        return !hidden_.contains(QFileInfo(files->filePath(index)).canonicalFilePath());
    }

private:
    QStringList hidden_;
};
} // namespace

bool QtCommonDialog::showFile(QWidget* parent, bool save)
{
    QFileDialog dialog(parent);
    if (!hiddenFiles.isEmpty()) {
        dialog.setOption(QFileDialog::DontUseNativeDialog); // the list is ours to filter
        dialog.setProxyModel(new HiddenFiles(hiddenFiles, &dialog));
    }
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // No default suffix: the name is taken exactly as typed. The desktop's question before
    // replacing a file only where the command asks for it.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(save && (flags & kOverwritePrompt)));
    const QStringList filters = qtFilters(filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (QFileInfo(fileName).isDir())
        dialog.setDirectory(fileName);
    else if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().constFirst();
    return !fileName.isEmpty();
}

bool QtCommonDialog::showOpen(QWidget* parent)
{
    return showFile(parent, false);
}

bool QtCommonDialog::showSave(QWidget* parent)
{
    return showFile(parent, true);
}

bool QtCommonDialog::showColor(QWidget* parent)
{
    // Not preset to the row's colour: the dialog opens as the system offers it.
    QColorDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    color = dialog.selectedColor();
    return color.isValid();
}

} // namespace kivotrek

namespace kivotrek {

void QtCommonDialog::setDefaultPrinter(const QPrinter& printer)
{
    // The printer confirmed in the dialog becomes the user's default printer, as the print
    // command expects (it then asks the user to choose the default again). On CUPS systems that
    // is the user default that lpoptions -d sets.
    if (printer.outputFormat() != QPrinter::NativeFormat || printer.printerName().isEmpty())
        return;
    const QString lpoptions = QStandardPaths::findExecutable(QStringLiteral("lpoptions"));
    if (!lpoptions.isEmpty())
        QProcess::execute(lpoptions, {QStringLiteral("-d"), printer.printerName()});
}

bool QtCommonDialog::showPrinter(QWidget* parent, QPrinter& printer)
{
    QPrintDialog dialog(&printer, parent);
    if (flags & kHidePrintToFile)
        dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    setDefaultPrinter(printer);
    return true;
}

QString askSavePath(CommonDialog& dialog, Prompts& prompts, QWidget* parent, const QString& filter,
    const QString& suffix, const QStringList& drawnFiles, const QStringList& readFiles)
{
    dialog.cancelError = true;
    dialog.filter = filter;
    if (!drawnFiles.isEmpty()) {
        const QFileInfo drawn(drawnFiles.front());
        dialog.fileName = drawn.dir().filePath(drawn.completeBaseName() + QLatin1Char('.') + suffix);
    }
    dialog.flags |= CommonDialog::kOverwritePrompt;
    if (!dialog.showSave(parent) || dialog.fileName.isEmpty())
        return QString(); // a cancel ends the command silently
    const QString path = dialog.fileName;
    if (inputWrittenOver(path, drawnFiles) >= 0) {
        prompts.message(parent, msg::cannotOverwriteDrawnFile(path), msg::title());
        return QString();
    }
    if (inputWrittenOver(path, readFiles) >= 0) {
        prompts.message(parent, msg::inputAsOutput(path), msg::title());
        return QString();
    }
    return path;
}

} // namespace kivotrek
