// The main window's ways of opening a whole board at once: a package (a folder or an archive)
// through the package window, files dropped onto the window, and the recent boards.

#include "app/mainwindow.h"

#include "app/commondialog.h"
#include "common/fileio.h"
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
#include <iterator>
#include <optional>

namespace kivotrek {

namespace {
constexpr int kRecentBoards = 8;
const char* const kRecentKey = "recent/boards";

using Role = PackageMember::Role;

// What names a recent board: its package and the members it was built of (two boards of one
// folder are two entries), else its first file (a board built file by file is one entry, the
// files added since kept in it).
QString recentKey(const QJsonObject& entry)
{
    if (entry.contains(QStringLiteral("package"))) {
        QStringList used;
        const QJsonObject roles = entry.value(QStringLiteral("roles")).toObject();
        for (auto it = roles.begin(); it != roles.end(); ++it) {
            if (it.value().toString() != QLatin1String(roleKey(Role::Unused)))
                used << it.key();
        }
        return entry.value(QStringLiteral("package")).toString() + QLatin1Char('|')
            + used.join(QLatin1Char('|'));
    }
    const QJsonArray files = entry.value(QStringLiteral("files")).toArray();
    return files.isEmpty() ? entry.value(QStringLiteral("outline")).toString()
                           : files.first().toObject().value(QStringLiteral("path")).toString();
}

std::optional<Role> roleOfKey(const QString& key)
{
    for (const Role r : {Role::Plated, Role::NonPlated, Role::Drill, Role::Outline, Role::Unused}) {
        if (key == QLatin1String(roleKey(r)))
            return r;
    }
    return std::nullopt;
}

// The roles a recent entry remembers, given to the members of their names; a member it does not
// name (a file put into the folder since) is not used. False when a file the board was built of
// is gone: the package window then shows what is left.
bool restoreRoles(Package& package, const QJsonObject& roles)
{
    bool whole = true;
    for (auto it = roles.begin(); it != roles.end(); ++it) {
        const std::optional<Role> role = roleOfKey(it.value().toString());
        const bool present = std::any_of(package.members.begin(), package.members.end(),
            [&](const PackageMember& m) { return m.name == it.key(); });
        whole = whole && role && (present || *role == Role::Unused);
    }
    for (PackageMember& m : package.members) {
        const std::optional<Role> role = roles.contains(m.name) ? roleOfKey(roles.value(m.name).toString())
                                                                : std::optional<Role>(Role::Unused);
        if (!role || *role == m.role)
            continue;
        m.role = *role;
        m.why = roles.contains(m.name) ? msg::whyChosen() : msg::whyNotInRecentBoard();
    }
    return whole;
}

// The reader a recent board's first file was read with: its id ("excellon"). A board remembered
// before the readers had ids gives its number (0 standard, 1 RS-274X, 2 Excellon, 3 Gerber X2).
// None for an id or number no reader has (a later version's reader): such a board is neither
// listed nor reopened, rather than read with another reader.
std::optional<ReaderKind> rememberedReader(const QJsonValue& value)
{
    static const char* const kNumbered[] = {"standard", "rs274x", "excellon", "x2"};
    QString id = value.toString();
    if (value.isDouble()) {
        const double n = value.toDouble();
        const auto number = qsizetype(n);
        if (n != double(number) || number < 0 || number >= qsizetype(std::size(kNumbered)))
            return std::nullopt;
        id = QLatin1String(kNumbered[number]);
    }
    const ReaderDescriptor* d = findReader(id);
    return d ? std::optional<ReaderKind>(d->kind) : std::nullopt;
}

// A remembered board of files whose first file's reader is no reader of this version.
bool readerUnknown(const QJsonObject& entry)
{
    const QJsonArray files = entry.value(QStringLiteral("files")).toArray();
    return !files.isEmpty() && !rememberedReader(files.first().toObject().value(QStringLiteral("reader")));
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
    const HeldInputsScope held; // the look at the file is closed when the package is read
    const QString chosen = dialog_->fileName;
    openPackagePath(
        QFileInfo(chosen).isDir() || looksLikeArchive(chosen) ? chosen : QFileInfo(chosen).absolutePath());
}

bool MainWindow::openPackagePath(const QString& path)
{
    return openPackageAs(path, QJsonObject());
}

bool MainWindow::openPackageAs(const QString& path, const QJsonObject& roles)
{
    if (!confirmDiscard())
        return false;
    QString error;
    std::unique_ptr<Package> package = Package::open(QFileInfo(path).absoluteFilePath(), &error);
    if (!package) {
        showMessage(error);
        return false;
    }
    // A recent board is built again as it was, without asking; the package window comes only
    // for a package opened anew, or when a file of the board is gone.
    const bool asItWas = !roles.isEmpty() && restoreRoles(*package, roles);
    if (!asItWas && !prompts_->reviewPackage(this, *package))
        return false; // the board stays as it was
    // A drill file without holes (KiCad writes an empty NPTH file for most boards) is said on
    // its line of the package window, not in a box that stops every such package.
    QStringList holeless;
    for (const PackageMember& m : package->members) {
        if (m.holeless && m.role != Role::Unused)
            holeless << msg::noHoles(package->path() + QLatin1Char('/') + m.name);
    }
    // What the package says of itself stands in its window.
    const QStringList notes = package->notes;
    std::vector<Diagnostic> said;
    const MessageSink sink = [&said, &holeless, &notes](const Diagnostic& d) {
        if (!holeless.contains(d.text) && !notes.contains(d.text))
            said.push_back(d);
    };
    prepareExcellonRead(table_, extent_);
    const BuiltBoard built = buildBoard(*package, board_, table_, extent_, sink);
    if (built.ok)
        readBoardLayers(*package, board_, sink); // what the board view shows under the holes
    // How the read ended: the worst of its files'.
    ReadEnding worst = built.ok ? ReadEnding::Complete : ReadEnding::Unreadable;
    for (const PackageFile& f : built.files) {
        if (f.outcome.ending == ReadEnding::Unreadable
            || (f.outcome.ending != ReadEnding::Complete && worst == ReadEnding::Complete))
            worst = f.outcome.ending;
    }
    const QString name = QFileInfo(package->path()).fileName();
    const QString status = worst == ReadEnding::Complete ? msg::readStatusComplete(name)
        : worst == ReadEnding::Unreadable                ? msg::readStatusFailed(name)
                                                         : msg::readStatusStopped(name);
    package_ = std::move(package); // its members, remembered with the board (the board keeps the files)
    readSettingsAction_->setEnabled(!board_.isEmpty());
    productCodeEdit_->clear();
    showNewBoard(said, status);
    if (built.ok)
        rememberBoard();
    return built.ok;
}

void MainWindow::openArguments(const QStringList& paths)
{
    const HeldInputsScope held; // what the looks at the files opened is closed once they are read
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
    const HeldInputsScope held;
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
    if (!board_.package.isEmpty() && package_) {
        // The package with every member's role as the board was built (the user's included),
        // and the files added to it since from elsewhere.
        entry.insert(QStringLiteral("package"), board_.package);
        QJsonObject roles;
        QStringList members;
        for (const PackageMember& m : package_->members) {
            roles.insert(m.name, QLatin1String(roleKey(m.role)));
            members << m.path;
        }
        entry.insert(QStringLiteral("roles"), roles);
        QJsonArray added;
        for (const BoardFile& f : board_.files) {
            if (!members.contains(f.path))
                added.append(QJsonObject({{QStringLiteral("path"), f.path}}));
        }
        if (!added.isEmpty())
            entry.insert(QStringLiteral("added"), added);
        if (!board_.outline.isEmpty() && !members.contains(board_.outline))
            entry.insert(QStringLiteral("outline"), board_.outline);
    } else {
        QJsonArray files;
        for (const BoardFile& f : board_.files)
            files.append(QJsonObject({{QStringLiteral("path"), f.path},
                {QStringLiteral("reader"), QLatin1String(f.reader.id())}}));
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
    int listed = 0;
    for (const QString& entry : recent) {
        const QJsonObject e = QJsonDocument::fromJson(entry.toUtf8()).object();
        if (readerUnknown(e))
            continue; // kept for the version that wrote it
        const QString shown = e.value(QStringLiteral("shown")).toString();
        ++listed;
        QAction* a = recentMenu_->addAction(QStringLiteral("&%1 ").arg(listed)
            + QString(shown).replace(QLatin1Char('&'), QStringLiteral("&&")));
        a->setObjectName(QStringLiteral("recent%1").arg(listed));
        connect(a, &QAction::triggered, this, [this, entry] { openRecent(entry); });
    }
    recentMenu_->setEnabled(listed > 0);
}

void MainWindow::openRecent(const QString& entry)
{
    const QJsonObject e = QJsonDocument::fromJson(entry.toUtf8()).object();
    const QString outline = e.value(QStringLiteral("outline")).toString();
    if (e.contains(QStringLiteral("package"))) {
        // The package's board as it was built, then what was added to it.
        if (!openPackageAs(
                e.value(QStringLiteral("package")).toString(), e.value(QStringLiteral("roles")).toObject()))
            return;
        for (const QJsonValue f : e.value(QStringLiteral("added")).toArray())
            addChosenFile(f.toObject().value(QStringLiteral("path")).toString(), false);
        if (!outline.isEmpty())
            addChosenFile(outline, true);
        return;
    }
    const QJsonArray files = e.value(QStringLiteral("files")).toArray();
    if ((files.isEmpty() && outline.isEmpty()) || readerUnknown(e))
        return;
    if (!confirmDiscard())
        return;
    // As it was read: the first file with its reader, the others added, then the outline.
    for (int i = 0; i < files.size(); ++i) {
        const QJsonObject f = files[i].toObject();
        const QString path = f.value(QStringLiteral("path")).toString();
        if (i == 0) {
            readChosenFile(*rememberedReader(f.value(QStringLiteral("reader"))), path);
        } else {
            addChosenFile(path, false);
        }
    }
    if (!outline.isEmpty())
        addChosenFile(outline, true);
}

} // namespace kivotrek
