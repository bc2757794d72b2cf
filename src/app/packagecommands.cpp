// The main window's ways of opening a whole board at once: a package (a folder or an archive)
// through the package window, files dropped onto the window, and the recent boards.

#include "app/mainwindow.h"

#include "app/commondialog.h"
#include "common/messages.h"
#include "excellon/excellonreader.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QUrl>
#include <algorithm>

namespace kivotrek {

namespace {
constexpr int kRecentBoards = 8;
const char* const kRecentKey = "recent/boards";

// What names a recent board: its package, else its first file (a board built file by file is
// one entry, the files added since kept in it).
QString recentKey(const QJsonObject& entry)
{
    if (entry.contains(QStringLiteral("package")))
        return entry.value(QStringLiteral("package")).toString();
    const QJsonArray files = entry.value(QStringLiteral("files")).toArray();
    return files.isEmpty() ? entry.value(QStringLiteral("outline")).toString()
                           : files.first().toObject().value(QStringLiteral("path")).toString();
}

QStringList localFiles(const QMimeData* mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}
} // namespace

void MainWindow::openPackage()
{
    dialog_->filter = msg::packageFilter();
    if (!dialog_->showOpen(this) || dialog_->fileName.isEmpty())
        return;
    // An archive is the package; any other file chosen stands for its folder.
    const QString chosen = dialog_->fileName;
    openPackagePath(
        QFileInfo(chosen).isDir() || looksLikeArchive(chosen) ? chosen : QFileInfo(chosen).absolutePath());
}

bool MainWindow::openPackagePath(const QString& path)
{
    if (!confirmDiscard())
        return false;
    QString error;
    std::unique_ptr<Package> package = Package::open(QFileInfo(path).absoluteFilePath(), &error);
    if (!package) {
        showMessage(error);
        return false;
    }
    if (!prompts_->reviewPackage(this, *package))
        return false; // the board stays as it was
    QStringList said;
    const MessageSink sink = [&said](const QString& text) { said << text; };
    prepareExcellonRead(table_, extent_);
    gerberMarks_.reset();
    const BuiltBoard built = buildBoard(*package, board_, table_, extent_, sink);
    package_ = std::move(package); // its files stay for the drawings until another board comes
    readSettingsAction_->setEnabled(!board_.isEmpty());
    productCodeEdit_->clear();
    showNewBoard(said);
    if (built.ok)
        rememberBoard();
    return built.ok;
}

void MainWindow::openArguments(const QStringList& paths)
{
    if (paths.size() == 1 && isPackagePath(paths.front()))
        openPackagePath(paths.front());
    else if (!paths.isEmpty())
        openFiles(paths);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    if (paths.size() == 1 && isPackagePath(paths.front())) {
        openPackagePath(paths.front());
        return;
    }
    if (!confirmDiscard())
        return;
    openFiles(paths);
}

void MainWindow::rememberBoard()
{
    if (board_.isEmpty())
        return;
    QJsonObject entry;
    if (!board_.package.isEmpty()) {
        entry.insert(QStringLiteral("package"), board_.package);
    } else {
        QJsonArray files;
        for (const BoardFile& f : board_.files)
            files.append(
                QJsonObject({{QStringLiteral("path"), f.path}, {QStringLiteral("reader"), int(f.reader)}}));
        entry.insert(QStringLiteral("files"), files);
        if (!board_.outline.isEmpty())
            entry.insert(QStringLiteral("outline"), board_.outline);
    }
    const QString key = recentKey(entry);
    entry.insert(QStringLiteral("shown"), pathEdit_->text());
    const QString text = QString::fromUtf8(QJsonDocument(entry).toJson(QJsonDocument::Compact));
    QSettings settings = viewSettings();
    QStringList recent = settings.value(QLatin1String(kRecentKey)).toStringList();
    recent.removeIf(
        [&key](const QString& r) { return recentKey(QJsonDocument::fromJson(r.toUtf8()).object()) == key; });
    recent.prepend(text);
    while (recent.size() > kRecentBoards)
        recent.removeLast();
    settings.setValue(QLatin1String(kRecentKey), recent);
    showRecentBoards();
}

void MainWindow::showRecentBoards()
{
    recentMenu_->clear();
    const QStringList recent = viewSettings().value(QLatin1String(kRecentKey)).toStringList();
    for (int i = 0; i < recent.size(); ++i) {
        const QString shown =
            QJsonDocument::fromJson(recent[i].toUtf8()).object().value(QStringLiteral("shown")).toString();
        QAction* a = recentMenu_->addAction(QStringLiteral("&%1 ").arg(i + 1)
            + QString(shown).replace(QLatin1Char('&'), QStringLiteral("&&")));
        a->setObjectName(QStringLiteral("recent%1").arg(i + 1));
        const QString entry = recent[i];
        connect(a, &QAction::triggered, this, [this, entry] { openRecent(entry); });
    }
    recentMenu_->setEnabled(!recent.isEmpty());
}

void MainWindow::openRecent(const QString& entry)
{
    const QJsonObject e = QJsonDocument::fromJson(entry.toUtf8()).object();
    if (e.contains(QStringLiteral("package"))) {
        openPackagePath(e.value(QStringLiteral("package")).toString());
        return;
    }
    const QJsonArray files = e.value(QStringLiteral("files")).toArray();
    const QString outline = e.value(QStringLiteral("outline")).toString();
    if (files.isEmpty() && outline.isEmpty())
        return;
    if (!confirmDiscard())
        return;
    // As it was read: the first file with its reader, the others added, then the outline.
    for (int i = 0; i < files.size(); ++i) {
        const QJsonObject f = files[i].toObject();
        const QString path = f.value(QStringLiteral("path")).toString();
        if (i == 0) {
            readChosenFile(ReaderKind(std::clamp(f.value(QStringLiteral("reader")).toInt(), 0, 3)), path);
        } else {
            addChosenFile(path, false);
        }
    }
    if (!outline.isEmpty())
        addChosenFile(outline, true);
}

} // namespace kivotrek
