#include "package/package.h"

#include "common/fileio.h"
#include "common/messages.h"
#include "package/memberroles.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <array>
#include <cmath>

namespace kivotrek {

using Role = PackageMember::Role;

QString roleText(Role role)
{
    switch (role) {
    case Role::Plated: return msg::platedRole();
    case Role::NonPlated: return msg::nonPlatedRole();
    case Role::Drill: return msg::mixedDrillRole();
    case Role::Outline: return msg::outlineRole();
    case Role::Unused: return msg::unusedRole();
    }
    return msg::unusedRole();
}

const char* roleKey(Role role)
{
    switch (role) {
    case Role::Plated: return "plated";
    case Role::NonPlated: return "nonPlated";
    case Role::Drill: return "drill";
    case Role::Outline: return "outline";
    case Role::Unused: return "unused";
    }
    return "unused";
}

bool isPackagePath(const QString& path)
{
    const QFileInfo info(path);
    return info.isDir() || (info.isFile() && looksLikeArchive(path));
}

namespace {
bool isDrill(Role role)
{
    return role == Role::Plated || role == Role::NonPlated || role == Role::Drill;
}

// The files of a folder, as names relative to it: hidden files and the folders of a Mac's
// archiver (__MACOSX) are no part of a board.
QStringList filesOf(const QString& folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    const QDir root(folder);
    while (it.hasNext()) {
        const QString relative = root.relativeFilePath(it.next());
        if (relative.startsWith(QLatin1String("__MACOSX/"))
            || QFileInfo(relative).fileName().startsWith(QLatin1Char('.')))
            continue;
        names << relative;
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The holes and slots of a drill file, to the micrometre, in order: two files with the same
// ones hold the same holes (Upverter writes them as .drl and .xln).
std::vector<std::array<qint64, 4>> holesOf(const QString& path)
{
    const DrillData d = readDrillFile(addedFileReader(path), path, {});
    std::vector<std::array<qint64, 4>> all;
    const auto um = [](double v) { return std::isfinite(v) ? qint64(std::llround(v * 1000)) : qint64(0); };
    for (const DrillHit& h : d.holes)
        all.push_back({um(h.x), um(h.y), um(h.x), um(h.y)});
    for (const DrillSlot& s : d.slotHoles)
        all.push_back({um(s.x1), um(s.y1), um(s.x2), um(s.y2)});
    std::sort(all.begin(), all.end());
    return all;
}
} // namespace

std::unique_ptr<Package> Package::open(const QString& path, QString* error, const ArchiveLimits& limits)
{
    auto p = std::unique_ptr<Package>(new Package);
    p->path_ = path;
    const auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return nullptr;
    };
    const QFileInfo info(path);
    QString root;
    QStringList names;
    qint64 written = 0;
    if (info.isDir()) {
        root = info.absoluteFilePath();
        names = filesOf(root);
    } else {
        p->temp_ = std::make_unique<QTemporaryDir>();
        if (!p->temp_->isValid())
            return fail(msg::packageCannotUnpack(info.fileName(), p->temp_->errorString()));
        root = p->temp_->path();
        const Unpacked u = unpackArchive(path, root, limits);
        if (!u.ok)
            return fail(u.error);
        written = u.bytes;
        names = filesOf(root);
    }
    // Archives among the members are opened too, one level deep, each into a folder of its own
    // beside it in the temporary folder.
    QStringList all;
    for (const QString& name : names) {
        const QString onDisk = QDir(root).filePath(name);
        if (!looksLikeArchive(onDisk)) {
            all << name;
            continue;
        }
        PackageMember archive;
        archive.name = name;
        archive.path = onDisk;
        archive.why = msg::whyArchive();
        p->members.push_back(archive);
        if (!p->temp_) {
            p->temp_ = std::make_unique<QTemporaryDir>();
            if (!p->temp_->isValid())
                return fail(msg::packageCannotUnpack(info.fileName(), p->temp_->errorString()));
        }
        const QString inner =
            QDir(p->temp_->path()).filePath(QStringLiteral("inner-%1").arg(p->members.size()));
        QDir().mkpath(inner);
        const Unpacked u = unpackArchive(onDisk, inner, limits, written);
        if (!u.ok)
            return fail(u.error);
        written += u.bytes;
        for (const QString& m : filesOf(inner)) {
            PackageMember member;
            member.name = name + QLatin1Char('/') + m;
            member.path = QDir(inner).filePath(m);
            p->members.push_back(member);
        }
    }
    for (const QString& name : all) {
        PackageMember member;
        member.name = name;
        member.path = QDir(root).filePath(name);
        p->members.push_back(member);
    }
    std::stable_sort(p->members.begin(), p->members.end(),
        [](const PackageMember& a, const PackageMember& b) { return a.name.toLower() < b.name.toLower(); });

    // Each member's role: the job file's word first, then the file's own.
    QHash<QString, RoleFinding> byJob;
    for (const PackageMember& m : p->members) {
        if (m.name.endsWith(QLatin1String(".gbrjob"), Qt::CaseInsensitive))
            byJob.insert(rolesFromJobFile(m.path, m.name));
    }
    std::vector<bool> byName(p->members.size(), false); // its role comes from its name alone
    for (size_t i = 0; i < p->members.size(); ++i) {
        PackageMember& m = p->members[i];
        if (!m.why.isEmpty())
            continue; // an archive, opened
        if (m.name.endsWith(QLatin1String(".gbrjob"), Qt::CaseInsensitive)) {
            m.why = msg::whyJobFileItself();
            continue;
        }
        const auto job = byJob.constFind(QDir::cleanPath(m.name).toLower());
        const RoleFinding found = job != byJob.constEnd() ? *job : roleOfFile(m.path, m.name);
        m.role = found.role;
        m.why = found.why;
        m.board = boardOfName(m.name);
        byName[i] = found.byName;
    }
    // A drill file with the same holes as one before it is the same file written twice.
    std::vector<std::pair<size_t, std::vector<std::array<qint64, 4>>>> drills;
    for (size_t i = 0; i < p->members.size(); ++i) {
        PackageMember& m = p->members[i];
        if (!isDrill(m.role))
            continue;
        auto holes = holesOf(m.path);
        m.holeless = holes.empty();
        const auto same = std::find_if(drills.begin(), drills.end(),
            [&holes](const auto& d) { return !holes.empty() && d.second == holes; });
        if (same != drills.end()) {
            m.role = Role::Unused;
            m.why = msg::whySameHoles(p->members[same->first].name);
            continue;
        }
        drills.emplace_back(i, std::move(holes));
    }
    // One outline: the surest of its candidates (named by the job file or the file itself, then
    // by the surest name).
    int best = -1;
    const auto rank = [&](size_t i) { return byName[i] ? outlineNameRank(p->members[i].name) : 100; };
    for (size_t i = 0; i < p->members.size(); ++i) {
        if (p->members[i].role == Role::Outline && (best < 0 || rank(i) > rank(size_t(best))))
            best = int(i);
    }
    for (size_t i = 0; i < p->members.size(); ++i) {
        PackageMember& m = p->members[i];
        if (m.role == Role::Outline && int(i) != best) {
            m.role = Role::Unused;
            m.why = msg::whyOtherOutline(p->members[size_t(best)].name);
        }
    }
    return p;
}

QStringList Package::boards() const
{
    // Two drill files of one role that name different boards: several boards share the package.
    bool several = false;
    QStringList names;
    for (size_t i = 0; i < members.size(); ++i) {
        const PackageMember& a = members[i];
        if (!isDrill(a.role) || a.board.isEmpty())
            continue;
        if (!names.contains(a.board))
            names << a.board;
        for (size_t j = 0; j < i; ++j) {
            const PackageMember& b = members[j];
            several = several || (b.role == a.role && !b.board.isEmpty() && b.board != a.board);
        }
    }
    if (!several)
        return {};
    std::sort(names.begin(), names.end());
    return names;
}

bool Package::chooseBoard(const QString& name)
{
    const QStringList all = boards();
    const QString chosen = name.toLower();
    if (!all.contains(chosen))
        return false;
    // Its drill files; of the outlines, its own, else one that names no board.
    bool ownOutline = false;
    for (const PackageMember& m : members)
        ownOutline = ownOutline || (m.board == chosen && m.role == Role::Outline);
    for (PackageMember& m : members) {
        const bool other = !m.board.isEmpty() && m.board != chosen;
        if ((isDrill(m.role) && other)
            || (m.role == Role::Outline && (other || (ownOutline && m.board.isEmpty())))) {
            m.role = Role::Unused;
            m.why = msg::whyOtherBoard(m.board.isEmpty() ? QString() : m.board);
        }
    }
    return true;
}

BuiltBoard buildBoard(const Package& package, Board& board, HoleTable& table, BoardExtent& extent,
    const MessageSink& sink, BoardData* held)
{
    BuiltBoard built;
    // What the readers say names the files as the package does, not the temporary folder.
    const MessageSink said = [&](const QString& text) {
        if (!sink)
            return;
        QString shown = text;
        for (const PackageMember& m : package.members)
            shown.replace(m.path, package.path() + QLatin1Char('/') + m.name);
        sink(shown);
    };
    // Plated drill files, non-plated ones, the others, then the outline.
    std::vector<size_t> order;
    for (const Role role : {Role::Plated, Role::NonPlated, Role::Drill, Role::Outline}) {
        for (size_t i = 0; i < package.members.size(); ++i) {
            if (package.members[i].role == role)
                order.push_back(i);
        }
    }
    const bool anyDrill = std::any_of(package.members.begin(), package.members.end(),
        [](const PackageMember& m) { return isDrill(m.role); });
    if (!anyDrill) {
        if (sink)
            sink(msg::packageWithoutDrillFiles(package.path()));
        board = Board();
        return built;
    }
    bool first = true;
    bool outlineRead = false;
    for (const size_t i : order) {
        const PackageMember& m = package.members[i];
        PackageFile f;
        f.member = int(i);
        if (m.role == Role::Outline) {
            if (outlineRead)
                continue; // one outline
            outlineRead = true;
            f.outcome = readBoardOutline(board, m.path, table, extent, said, held);
        } else if (first) {
            first = false;
            f.outcome = readBoardFile(board, addedFileReader(m.path), m.path, table, extent, said, held);
        } else {
            f.outcome = addBoardFile(board, addedFileReader(m.path), m.path, table, extent, said, held);
        }
        built.files.push_back(std::move(f));
    }
    board.package = package.path();
    built.ok = true;
    return built;
}

} // namespace kivotrek
