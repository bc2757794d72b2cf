// The main window's commands on the board's files: the read commands, adding a drill file or an
// outline, taking a file out, a new board, and the drill table saved as CSV.

#include "app/mainwindow.h"

#include "app/checkwindow.h"
#include "app/commondialog.h"
#include "app/holetableview.h"
#include "app/messagespanel.h"
#include "app/previewwindow.h"
#include "board/drillframe.h"
#include "common/fileio.h"
#include "common/messages.h"
#include "drawing/drilltable.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>

namespace kivotrek {

namespace {
// How a read of the file ended, for the status bar.
QString readStatusOf(const QString& path, ReadEnding ending)
{
    const QString name = QFileInfo(path).fileName();
    switch (ending) {
    case ReadEnding::Complete: return msg::readStatusComplete(name);
    case ReadEnding::Rejected:
    case ReadEnding::Fault: return msg::readStatusStopped(name);
    case ReadEnding::Unreadable: return msg::readStatusFailed(name);
    }
    return QString();
}
} // namespace

void MainWindow::readCommand(ReaderKind reader)
{
    if (!confirmDiscard())
        return; // another board would replace unsaved work
    const ReaderDescriptor& d = readerOf(reader);
    dialog_->filter = readerFilter(d);
    if (!dialog_->showOpen(this) || dialog_->fileName.isEmpty())
        return; // a cancelled read changes nothing: the table stays for the file it belongs to
    d.prepare(table_, extent_);
    refreshTable();
    readChosenFile(reader, dialog_->fileName);
}

void MainWindow::readChosenFile(ReaderKind reader, const QString& path)
{
    readSettingsAction_->setEnabled(true);
    package_.reset(); // a board of files read one by one
    // What the read has to say is shown over the table it filled.
    std::vector<Diagnostic> said;
    const MessageSink sink = [&said](const Diagnostic& d) { said.push_back(d); };
    const FileOutcome read = readBoardFile(board_, reader, path, table_, extent_, sink);
    if (board_.isEmpty())
        board_.files.push_back({path, reader, 0, 0}); // the path label shows what was tried
    // A drill file starts a board of its own: nothing of the board before stays, its product
    // code neither. (The two Gerber reads keep tolerances, kinds and colours, as shops that
    // number D-codes by hole class rely on.)
    if (readerOf(reader).scope == ReaderScope::DrillFile)
        productCodeEdit_->clear();
    showNewBoard(said, readStatusOf(path, read.ending));
    rememberBoard();
}

void MainWindow::addChosenFile(const QString& path, bool outline)
{
    // The same file twice would double every row and hole.
    if (inputWrittenOver(path, board_.paths()) >= 0) {
        showMessage(msg::fileAlreadyInBoard(path));
        return;
    }
    const HeldInputsScope held; // the look that chose the reader is closed with the read
    std::vector<Diagnostic> said;
    const MessageSink sink = [&said](const Diagnostic& d) { said.push_back(d); };
    const int first = board_.nextFreeRow();
    const HoleTable before = table_;
    const FileOutcome read = outline
        ? readBoardOutline(board_, path, table_, extent_, sink)
        : addBoardFile(board_, addedFileReader(path), path, table_, extent_, sink);
    // The new file's rows are as it filled them; the other rows keep their state, but for the
    // sizes a format fitted to the board anew gave a file read before (its tools read in the
    // other unit): those are the file's own, not an edit to save.
    for (int i = first; i < board_.nextFreeRow(); ++i)
        readTable_.row(i) = savedTable_.row(i) = table_.row(i);
    for (int i = 0; i < first; ++i) {
        if (table_.row(i).diameter != before.row(i).diameter)
            readTable_.row(i).diameter = savedTable_.row(i).diameter = table_.row(i).diameter;
    }
    readSettingsAction_->setEnabled(!board_.isEmpty());
    showBoard();
    refreshTable();
    noteChange();
    readStatusText_ = readStatusOf(path, read.ending);
    report(said);
    showReadStatus();
    changeBoard();
    rememberBoard();
}

void MainWindow::showNewBoard(const std::vector<Diagnostic>& said, const QString& readStatus)
{
    showBoard();
    refreshTable();
    markRead();
    markSaved();
    startMessages(readStatus);
    report(said);
    changeBoard();
}

void MainWindow::newBoard()
{
    if (!confirmDiscard())
        return;
    board_ = Board();
    package_.reset();
    table_ = HoleTable();
    extent_ = BoardExtent();
    productCodeEdit_->clear();
    readSettingsAction_->setEnabled(false);
    showBoard();
    refreshTable();
    markRead();
    markSaved();
    startMessages(QString());
    changeBoard(); // the preview and the checks close: nothing is left to show
}

void MainWindow::removeFile()
{
    const QStringList paths = board_.paths();
    if (paths.isEmpty()) {
        showMessage(msg::noFileRead());
        return;
    }
    QStringList names;
    for (int i = 0; i < paths.size(); ++i) {
        const bool isOutline = size_t(i) >= board_.files.size();
        names << (isOutline ? msg::outlineFileItem(paths[i]) : paths[i]);
    }
    const int chosen = prompts_->choose(this, msg::chooseFileToRemove(), msg::title(), names);
    if (chosen < 0)
        return;
    // The rows go in every state the table is compared with, so that their edits stay edits.
    if (size_t(chosen) < board_.files.size()) {
        const BoardFile& f = board_.files[size_t(chosen)];
        readTable_.removeRows(f.firstRow, f.rowCount);
        savedTable_.removeRows(f.firstRow, f.rowCount);
    }
    std::vector<Diagnostic> said;
    removeBoardFile(board_, chosen, table_, extent_, [&said](const Diagnostic& d) { said.push_back(d); });
    readSettingsAction_->setEnabled(!board_.isEmpty());
    showBoard();
    refreshTable();
    noteChange();
    report(said);
    changeBoard(); // with no file left, the preview and the checks close
}

bool MainWindow::readChangedFiles(bool signal)
{
    std::vector<Diagnostic> said;
    const MessageSink sink = [&said](const Diagnostic& d) { said.push_back(d); };
    if (refreshBoard(board_, table_, extent_, sink) == 0)
        return false;
    // An open preview's view reads the drill files' holes where the board holds them: it holds
    // the files read again at once, whatever command read them.
    if (preview_)
        preview_->showBoard(board_, table_, extent_, drawingOptions());
    showBoard();
    refreshTable();
    noteChange();
    report(said);
    if (signal)
        emit boardChanged(BoardChange::Board);
    return true;
}

void MainWindow::showBoard()
{
    // One file: its path, as always. A board of several: the first path, then the other files'
    // names; the tooltip lists every path.
    // A package: its path, then the names of the files read from it.
    const bool packaged = !board_.package.isEmpty();
    QString text = packaged ? board_.package : board_.mainPath();
    QStringList tip;
    for (size_t i = 0; i < board_.files.size(); ++i) {
        if (i > 0 || packaged)
            text += msg::addedFileInBox(QFileInfo(board_.files[i].path).fileName());
        tip << board_.files[i].path;
    }
    if (!board_.outline.isEmpty()) {
        if (!board_.files.empty())
            text += msg::outlineInBox(QFileInfo(board_.outline).fileName());
        tip << msg::outlineInTip(board_.outline);
    }
    pathEdit_->setText(text);
    pathEdit_->setCursorPosition(0); // the start of a long path: its folder
    pathEdit_->setToolTip(tip.size() > 1 ? tip.join(QLatin1Char('\n')) : QString());
}

void MainWindow::openFile(const QString& path, bool ofSeveral)
{
    const HeldInputsScope held; // the look that chose the reader is closed with the read
    const QString full = QFileInfo(path).absoluteFilePath();
    // One of several files is a drill file or an outline of a board, as the batch command reads
    // them; a file alone may be any reader's.
    const ReaderKind reader = ofSeveral ? addedFileReader(full) : detectReader(full);
    const ReaderDescriptor& d = readerOf(reader);
    d.prepare(table_, extent_);
    dialog_->filter = readerFilter(d);
    dialog_->fileName = full; // as the dialog would have left it
    readChosenFile(reader, full);
}

void MainWindow::openFiles(const QStringList& paths)
{
    for (int i = 0; i < paths.size(); ++i) {
        if (i == 0)
            openFile(paths[i], paths.size() > 1);
        else
            addChosenFile(QFileInfo(paths[i]).absoluteFilePath(), false);
    }
}

void MainWindow::addDrillFile()
{
    if (board_.replaysGerber()) {
        showMessage(msg::cannotAddToGerberBoard()); // before the dialog: nothing to choose
        return;
    }
    dialog_->filter = addedFileFilter();
    // The dialog opens in the board's folder without offering the board's own files: Enter
    // would read the file just read a second time.
    if (!board_.isEmpty())
        dialog_->fileName = QFileInfo(board_.mainPath()).absolutePath();
    dialog_->hiddenFiles = board_.paths();
    const bool chosen = dialog_->showOpen(this) && !dialog_->fileName.isEmpty();
    dialog_->hiddenFiles.clear();
    if (!chosen)
        return;
    addChosenFile(dialog_->fileName, false);
}

void MainWindow::readOutline()
{
    if (board_.replaysGerber()) {
        showMessage(msg::cannotAddToGerberBoard());
        return;
    }
    dialog_->filter = msg::outlineFilter(outlineNamePatterns()); // .GKO and .GM1 are not hidden
    if (!dialog_->showOpen(this) || dialog_->fileName.isEmpty())
        return;
    addChosenFile(dialog_->fileName, true);
}

void MainWindow::saveDrillTable()
{
    if (board_.isEmpty()) {
        showMessage(msg::noFileRead());
        return;
    }
    // A drill file is never replaced by its table.
    const QString path = askSavePath(*dialog_, *prompts_, this, msg::drillTableFilter(),
        QStringLiteral("csv"), board_.paths(), otherInputs());
    if (path.isEmpty())
        return;
    if (const WriteResult w = writeWholeFile(path, drillTableCsv(table_, holeCounts(), board_)); !w)
        showMessage(msg::cannotSave(path, w.reason));
}

} // namespace kivotrek
