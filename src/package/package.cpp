#include "package/package.h"

#include "common/fileio.h"
#include "common/filenames.h"
#include "common/messages.h"
#include "gerber/gerberimage.h"
#include "gerber/x2reader.h"
#include "package/layerroles.h"
#include "package/memberroles.h"
#include "package/outlineshape.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <dirent.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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
    return info.isDir() || (info.isFile() && looksLikeArchive(path) && !isOfficeDocument(path));
}

namespace {
bool isDrill(Role role)
{
    return role == Role::Plated || role == Role::NonPlated || role == Role::Drill;
}

bool functionIsProfile(const QString& function)
{
    return function.section(QLatin1Char(','), 0, 0).trimmed() == QLatin1String("Profile");
}

// What a member is as a layer: its .FileFunction's word, else a drill file or the outline by
// what found its role, else its name by the CAD programs' names, else "other" for a Gerber file.
void setLayer(PackageMember& m, const RoleFinding& finding)
{
    LayerRole layer;
    QString why = finding.why;
    if (!finding.function.isEmpty())
        layer = layerOfFunction(finding.function);
    if (layer.empty() && isDrill(m.role)) {
        const LayerRole byName = layerOfName(m.name);
        layer.role = byName.role == QLatin1String("rout") ? byName.role : QStringLiteral("drill");
    }
    if (layer.empty() && m.role == Role::Outline)
        layer.role = QStringLiteral("outline");
    if (layer.empty()) {
        layer = layerOfName(m.name);
        why = msg::whyName(QFileInfo(m.name).fileName());
    }
    if (layer.empty() && finding.gerber) {
        layer.role = QStringLiteral("other");
        why = finding.why;
    }
    m.layer = layer.role;
    m.copperLayer = layer.copper;
    m.outlineStated = m.role == Role::Outline && functionIsProfile(finding.function);
    m.layerWhy = layer.empty() ? QString() : why;
}

// Hidden files and the folders of a Mac's archiver (__MACOSX) are no part of a board.
bool passedOver(const QString& relative)
{
    return relative.startsWith(QLatin1String("__MACOSX/"))
        || QFileInfo(relative).fileName().startsWith(QLatin1Char('.'));
}

// A file of a folder: its name relative to the folder as the system's bytes.
struct FolderFile {
    QByteArray raw;
    QString name; // as the user reads it
};

// The files of a folder and its subfolders, by their bytes, counted past the most a package holds
// (then only counted). Links to files are files; links to folders are not followed.
void listFolder(const QByteArray& root, const QByteArray& relative, std::vector<FolderFile>& files,
    qint64& count, int most, int depth = 0)
{
    const QByteArray here = relative.isEmpty() ? root : root + '/' + relative;
    DIR* dir = ::opendir(here.constData());
    if (!dir || depth > 64) {
        if (dir)
            ::closedir(dir);
        return;
    }
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == ".." || name.startsWith('.'))
            continue;
        const QByteArray path = relative.isEmpty() ? name : relative + '/' + name;
        struct stat info { };
        const QByteArray full = root + '/' + path;
        if (::lstat(full.constData(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode)) {
            if (name != "__MACOSX")
                listFolder(root, path, files, count, most, depth + 1);
            continue;
        }
        if (S_ISLNK(info.st_mode) && (::stat(full.constData(), &info) != 0 || !S_ISREG(info.st_mode)))
            continue;
        if (!S_ISREG(info.st_mode))
            continue;
        if (++count <= most)
            files.push_back({path, QString()});
    }
    ::closedir(dir);
}

// The holes and slots of a drill file, to the micrometre, in any order: two files with the same
// ones hold the same holes (Upverter writes them as .drl and .xln). Two sums of a mix of each
// hole tell a set of holes from another without keeping a copy of them.
struct HolesDigest {
    quint64 count = 0;
    quint64 sum = 0;
    quint64 squares = 0;
    friend bool operator==(const HolesDigest& a, const HolesDigest& b)
    {
        return a.count == b.count && a.sum == b.sum && a.squares == b.squares;
    }
};

size_t qHash(const HolesDigest& d, size_t seed = 0)
{
    return ::qHash(d.sum ^ (d.squares << 1) ^ d.count, seed);
}

quint64 mixed(quint64 x)
{
    // splitmix64's finalizer
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

HolesDigest digestOf(const DrillData& d)
{
    HolesDigest digest;
    const auto um = [](double v) {
        return std::isfinite(v) ? quint64(qint64(std::llround(v * 1000))) : 0ull;
    };
    const auto take = [&](double x1, double y1, double x2, double y2) {
        const quint64 h = mixed(mixed(mixed(mixed(um(x1)) ^ um(y1)) ^ um(x2)) ^ um(y2));
        ++digest.count;
        digest.sum += h;
        digest.squares += mixed(h);
    };
    for (const DrillHit& h : d.holes)
        take(h.x(), h.y(), h.x(), h.y());
    for (const DrillSlot& s : d.slotHoles)
        take(s.x1(), s.y1(), s.x2(), s.y2());
    return digest;
}

// A member that is an archive, and what became of it.
struct InnerArchive {
    QString name;
    QString path;
    bool opened = false;
    QString why;
};
} // namespace

namespace {
// Calls take(member, x, y) for every hole centre and slot end of the package's drill files as read.
template <typename Take> void eachHoleCentre(const Package& package, Take take)
{
    for (const PackageMember& m : package.members) {
        if (!isDrill(m.role) || !m.read)
            continue;
        for (const DrillHit& h : m.read->data.holes)
            take(m, h.nx, h.ny);
        for (const DrillSlot& sl : m.read->data.slotHoles) {
            take(m, sl.nx1, sl.ny1);
            take(m, sl.nx2, sl.ny2);
        }
    }
}

// In a package of several boards' outlines, drill and rout files whose names give no board with
// an outline of its own belong to the board whose outline holds their holes: at least nine in
// ten of their centres inside its closed contour, of outlines inside one another the smallest.
// So a drill file called "ncdrill.drl" beside two boards' outlines is the board's it lies in,
// and two outlines make two boards wherever their boxes lie. With one outline the names stand:
// a file of another name is another board's (a lid drilled apart).
void assignByOutlines(Package& package)
{
    QSet<QString> withOutline;
    std::vector<size_t> outlines;
    for (size_t i = 0; i < package.members.size(); ++i) {
        const PackageMember& m = package.members[i];
        if (m.layer == QLatin1String("outline") && !m.board.isEmpty()) {
            withOutline.insert(m.board);
            outlines.push_back(i);
        }
    }
    std::vector<size_t> open;
    for (size_t i = 0; i < package.members.size(); ++i) {
        const PackageMember& m = package.members[i];
        if (isDrill(m.role) && m.read && (m.board.isEmpty() || !withOutline.contains(m.board)))
            open.push_back(i);
    }
    constexpr size_t kMostOutlines = 20; // a package of more is no set of boards side by side
    if (outlines.size() < 2 || open.empty() || outlines.size() > kMostOutlines)
        return;
    std::vector<std::pair<Nanometres, Nanometres>> centres;
    eachHoleCentre(package,
        [&centres](const PackageMember&, Nanometres x, Nanometres y) { centres.emplace_back(x, y); });
    struct Contour {
        QString board;
        std::vector<OutlineSegment> lines;
        double area = 0;
    };
    std::vector<Contour> contours;
    for (const size_t i : outlines) {
        const DrillData read = readGerberX2(package.members[i].path, {}, GerberRole::Outline);
        const OutlineShape shape = outlineByShape(read.outline, centres);
        if (!shape.found)
            continue;
        Contour c;
        c.board = package.members[i].board;
        c.area = shape.area;
        for (const size_t k : shape.keep)
            c.lines.push_back(read.outline[k]);
        contours.push_back(std::move(c));
    }
    for (const size_t i : open) {
        PackageMember& m = package.members[i];
        std::vector<std::pair<double, double>> own;
        for (const DrillHit& h : m.read->data.holes)
            own.emplace_back(h.x(), h.y());
        for (const DrillSlot& sl : m.read->data.slotHoles)
            own.emplace_back(sl.x1(), sl.y1());
        if (own.empty())
            continue;
        const size_t step = std::max<size_t>(1, own.size() / 2000); // evenly, at most about 2,000
        std::vector<const Contour*> holding;
        for (const Contour& c : contours) {
            size_t looked = 0, inside = 0;
            for (size_t k = 0; k < own.size(); k += step) {
                ++looked;
                inside += insideLines(c.lines, own[k].first, own[k].second) ? 1 : 0;
            }
            if (inside * 10 >= looked * 9)
                holding.push_back(&c);
        }
        std::sort(holding.begin(), holding.end(),
            [](const Contour* a, const Contour* b) { return a->area < b->area; });
        // Boards drawn at one place (a project's boards each at the origin) tell nothing.
        const bool alone =
            holding.size() == 1 || (holding.size() > 1 && holding[0]->area < 0.99 * holding[1]->area);
        if (alone)
            m.board = holding[0]->board;
    }
}

// Boards the names tell apart but the files do not: drill files of two names whose holes lie
// over one another, neither name with an outline of its own, are one board (a rout file beside
// its drill file, "ncroute.rou" and "ncdrill.drl"). Two boards with outlines of their own stay
// two, wherever their holes lie.
void joinOverlappingBoards(Package& package)
{
    struct Extent {
        double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
        bool outline = false;
        void add(double x, double y)
        {
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
            y0 = std::min(y0, y);
            y1 = std::max(y1, y);
        }
        bool overlaps(const Extent& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
    };
    QMap<QString, Extent> boards; // by name, in order
    for (const PackageMember& m : package.members) {
        if (!m.board.isEmpty() && m.layer == QLatin1String("outline"))
            boards[m.board].outline = true;
    }
    eachHoleCentre(package, [&boards](const PackageMember& m, Nanometres x, Nanometres y) {
        if (!m.board.isEmpty())
            boards[m.board].add(toMillimetres(x), toMillimetres(y));
    });
    const QStringList names = boards.keys();
    QHash<QString, QString> into;
    for (qsizetype a = 0; a < names.size(); ++a) {
        for (qsizetype b = a + 1; b < names.size(); ++b) {
            const Extent& ea = boards[names[a]];
            const Extent& eb = boards[names[b]];
            if (!into.contains(names[b]) && !ea.outline && !eb.outline && ea.overlaps(eb))
                into.insert(names[b], into.value(names[a], names[a]));
        }
    }
    for (PackageMember& m : package.members) {
        const auto to = into.constFind(m.board);
        if (to != into.constEnd())
            m.board = *to;
    }
}

// The outline, where nothing names it surely (no outline at all, or a mechanical layer such as
// Altium's .GM1, often a whole fabrication drawing): of the layers that can be it (that one, a
// drawing, a Gerber layer that says nothing), the closed contour that holds the most of the drill
// files' hole centres, and its cut-outs; the layer's other lines (dimension lines, text, a frame)
// are left out. The member that holds it becomes the outline, its lines as chosen kept in its
// read for the board. Where no layer has a closed contour, the package's own choice stands.
void chooseOutlineByShape(Package& package)
{
    int named = -1;
    for (size_t i = 0; i < package.members.size(); ++i) {
        if (package.members[i].role == Role::Outline)
            named = int(i);
    }
    // An outline the job file, the file or the user names, or one by a name that says nothing
    // else (.GKO, Edge_Cuts, BoardOutline: their lines may meet only within some micrometres, and
    // round mounting holes are often drawn on them), is the outline as it is.
    if (named >= 0
        && (package.members[size_t(named)].outlineStated
            || layerOfName(package.members[size_t(named)].name).role == QLatin1String("outline"))) {
        // Said where its lines close nowhere: the edge checks follow lines with gaps.
        const PackageMember& m = package.members[size_t(named)];
        const DrillData d = readGerberX2(m.path, {}, GerberRole::Outline);
        if (d.ending != DrillData::Ending::Unreadable && !d.outline.empty()
            && kivotrek::outlineByShape(d.outline, {}).freeEnds > 0)
            package.notes << msg::outlineNotClosed(QFileInfo(m.name).fileName());
        return;
    }
    // Holes read in a format no file states are placed by the outline, not the other way round.
    for (const PackageMember& m : package.members) {
        if (isDrill(m.role) && m.read && m.read->data.format && m.read->data.format->used
            && m.read->data.format->source == CoordinateFormat::Source::Assumed)
            return;
    }
    std::vector<std::pair<Nanometres, Nanometres>> centres;
    eachHoleCentre(package,
        [&centres](const PackageMember&, Nanometres x, Nanometres y) { centres.emplace_back(x, y); });
    if (centres.empty())
        return; // nothing to tell the outline by: the package's choice stands
    std::vector<size_t> candidates;
    if (named >= 0)
        candidates.push_back(size_t(named));
    for (size_t i = 0; i < package.members.size(); ++i) {
        const PackageMember& m = package.members[i];
        const bool layer = m.layer == QLatin1String("outline") || m.layer == QLatin1String("drawing")
            || m.layer == QLatin1String("other");
        if (int(i) != named && m.role == Role::Unused && layer)
            candidates.push_back(i);
    }
    int best = -1;
    OutlineShape bestShape;
    std::optional<DrillData> bestData;
    for (const size_t i : candidates) {
        DrillData d = readGerberX2(package.members[i].path, {}, GerberRole::Outline);
        if (d.ending == DrillData::Ending::Unreadable)
            continue;
        OutlineShape shape = kivotrek::outlineByShape(d.outline, centres);
        if (!shape.found)
            continue;
        const bool better = best < 0 || shape.held > bestShape.held
            || (shape.held == bestShape.held && shape.area < bestShape.area);
        if (better) {
            best = int(i);
            bestShape = std::move(shape);
            bestData = std::move(d);
        }
    }
    if (best < 0) {
        // No layer has a closed contour, and none is named the outline surely: no outline, said,
        // rather than a drawing's lines taken for the board's edge.
        if (named >= 0) {
            PackageMember& was = package.members[size_t(named)];
            was.role = Role::Unused;
            was.why = msg::whyNoClosedContour();
            package.notes << msg::noClosedOutline(QFileInfo(was.name).fileName());
        }
        return;
    }
    if (named >= 0 && named != best) {
        PackageMember& was = package.members[size_t(named)];
        was.role = Role::Unused;
        was.why = msg::whyOtherOutline(package.members[size_t(best)].name);
    }
    PackageMember& m = package.members[size_t(best)];
    auto read = std::make_shared<MemberRead>();
    read->reader = ReaderKind::GerberX2;
    read->stamp = stampOf(m.path);
    if (bestShape.dropped || best != named) {
        m.why = msg::whyOutlineShape(bestShape.dropped);
        read->said.push_back(
            {Severity::Information, m.path, std::nullopt, msg::outlineByShape(m.name, bestShape.dropped)});
    }
    m.role = Role::Outline;
    m.layer = QStringLiteral("outline");
    m.layerWhy = m.why;
    if (bestShape.dropped) {
        std::vector<OutlineSegment> kept;
        kept.reserve(bestShape.keep.size());
        for (const size_t k : bestShape.keep)
            kept.push_back(bestData->outline[k]);
        bestData->outline = std::move(kept);
    }
    read->data = std::move(*bestData);
    m.read = std::move(read);
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
    const QString shownPackage = info.fileName().isEmpty() ? path : info.fileName();
    const auto temporary = [&]() -> bool {
        if (!p->temp_)
            p->temp_ = std::make_shared<TemporaryFolder>();
        return p->temp_->isValid();
    };
    // The files of the package as it names them, and where each is on disk.
    std::vector<std::pair<QString, QString>> files;
    qint64 written = 0;
    int found = 0; // files in the package, archives inside it included
    if (info.isDir()) {
        const QByteArray root = QFile::encodeName(info.absoluteFilePath());
        std::vector<FolderFile> listed;
        qint64 count = 0;
        listFolder(root, QByteArray(), listed, count, limits.members);
        if (count > limits.members)
            return fail(msg::packageTooManyMembers(path, count, limits.members));
        found = int(count);
        // A name that is no UTF-8 cannot be opened by its text: the folder is mirrored by links
        // of readable names in the temporary folder, every file beside its own neighbours
        // (Allegro's nc_param.txt is looked for beside a drill file).
        const bool linked =
            std::any_of(listed.begin(), listed.end(), [](const FolderFile& f) { return !isUtf8Name(f.raw); });
        if (linked && !temporary())
            return fail(msg::packageCannotUnpack(shownPackage, p->temp_->errorString()));
        QSet<QString> taken;
        for (FolderFile& f : listed) {
            const QString shown = displayName(f.raw);
            if (!linked) {
                files.emplace_back(shown, QDir(info.absoluteFilePath()).filePath(shown));
                continue;
            }
            const QString name = freeName(shown, [&taken](const QString& n) { return taken.contains(n); });
            taken.insert(name);
            if (name != shown)
                p->notes << msg::memberRenamed(path, shown, name);
            const QString link = QDir(p->temp_->path()).filePath(name);
            QDir().mkpath(QFileInfo(link).path());
            if (::symlink((root + '/' + f.raw).constData(), QFile::encodeName(link).constData()) != 0)
                return fail(
                    msg::packageCannotUnpack(shownPackage, QString::fromLocal8Bit(std::strerror(errno))));
            files.emplace_back(name, link);
        }
    } else {
        p->archive_ = true;
        if (!temporary())
            return fail(msg::packageCannotUnpack(shownPackage, p->temp_->errorString()));
        const QString root = p->temp_->path() + QStringLiteral("/package");
        QDir().mkpath(root);
        const Unpacked u = unpackArchive(path, root, limits, 0, 0, shownPackage);
        if (!u.ok)
            return fail(u.error);
        written = u.bytes;
        found = int(u.members.size());
        p->notes << u.notes;
        for (const QString& name : u.members) {
            if (!passedOver(name))
                files.emplace_back(name, QDir(root).filePath(name));
        }
    }
    // Archives among the members are opened too, one level deep, each into a folder of its own
    // in the temporary folder. One that cannot be opened (damaged, locked with a password, not
    // an archive at all) is passed over with its reason, and so is an office document, which is
    // a zip of a document's parts: the rest of the package is read.
    for (const auto& [name, onDisk] : files) {
        PackageMember member;
        member.name = name;
        member.path = onDisk;
        if (isOfficeDocument(name)) {
            member.why = msg::whyOfficeDocument();
            p->members.push_back(member);
            continue;
        }
        if (!looksLikeArchive(onDisk)) {
            p->members.push_back(member);
            continue;
        }
        if (!temporary())
            return fail(msg::packageCannotUnpack(shownPackage, p->temp_->errorString()));
        const QString inner =
            QDir(p->temp_->path()).filePath(QStringLiteral("inner-%1").arg(p->members.size()));
        QDir().mkpath(inner);
        const Unpacked u = unpackArchive(onDisk, inner, limits, written, found, name);
        if (!u.ok) {
            QDir(inner).removeRecursively();
            // The most files a package holds is a limit of the whole package.
            if (u.tooMany)
                return fail(msg::packageTooManyMembers(path, u.found, limits.members));
            member.why = msg::whyArchiveUnreadable(u.reason.isEmpty() ? u.error : u.reason);
            p->members.push_back(member);
            continue;
        }
        member.why = msg::whyArchive();
        p->members.push_back(member);
        written += u.bytes;
        found += int(u.members.size());
        p->notes << u.notes;
        for (const QString& m : u.members) {
            if (passedOver(m))
                continue;
            PackageMember inside;
            inside.name = name + QLatin1Char('/') + m;
            inside.path = QDir(inner).filePath(m);
            p->members.push_back(inside);
        }
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
    // A drill file is read whole once: what it holds decides whether it is the same file as one
    // before it (the same holes), and the board takes it as read.
    QHash<HolesDigest, size_t> drills;
    for (size_t i = 0; i < p->members.size(); ++i) {
        PackageMember& m = p->members[i];
        if (!m.why.isEmpty())
            continue; // an archive, opened or not; an office document
        if (m.name.endsWith(QLatin1String(".gbrjob"), Qt::CaseInsensitive)) {
            m.why = msg::whyJobFileItself();
            continue;
        }
        const auto job = byJob.constFind(QDir::cleanPath(m.name).toLower());
        RoleFinding finding = job != byJob.constEnd() ? *job : roleOfFile(m.path, m.name);
        m.role = finding.role;
        m.why = finding.why;
        m.board = boardOfName(m.name);
        byName[i] = finding.byName;
        setLayer(m, finding);
        if (!isDrill(m.role))
            continue;
        if (!finding.read) {
            finding.read = std::make_shared<MemberRead>();
            finding.read->reader = finding.reader ? *finding.reader : addedFileReader(m.path);
            MemberRead& r = *finding.read;
            r.stamp = stampOf(m.path);
            r.data = readBoardDrill(r.reader, m.path, [&r](const Diagnostic& d) { r.said.push_back(d); });
        }
        const HolesDigest digest = digestOf(finding.read->data);
        m.holeless = digest.count == 0;
        const auto same = digest.count > 0 ? drills.constFind(digest) : drills.constEnd();
        if (same != drills.constEnd()) {
            m.role = Role::Unused;
            m.why = msg::whySameHoles(p->members[*same].name);
            continue; // what was read goes
        }
        if (digest.count > 0)
            drills.insert(digest, i);
        m.read = std::move(finding.read);
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
            // An outline by its name only, not taken: what else its name says (Altium's .GM1 is
            // a mechanical layer, a drawing).
            const LayerRole other = layerOfName(m.name);
            if (byName[i] && !other.empty() && other.role != QLatin1String("outline")) {
                m.layer = other.role;
                m.copperLayer = other.copper;
            }
        }
    }
    assignByOutlines(*p);
    joinOverlappingBoards(*p);
    chooseOutlineByShape(*p);
    return p;
}

QStringList Package::folders() const
{
    QStringList roots;
    if (!archive_)
        roots << QFileInfo(path_).absoluteFilePath() + QLatin1Char('/');
    if (temp_)
        roots << temp_->path() + QLatin1Char('/');
    return roots;
}

QStringList Package::boardNames() const
{
    QSet<QString> names;
    for (const PackageMember& m : members) {
        if (isDrill(m.role) && !m.board.isEmpty())
            names.insert(m.board);
    }
    QStringList sorted(names.begin(), names.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

QStringList Package::boards() const
{
    // Two drill files of one role that name different boards: several boards share the package.
    QHash<int, QString> named; // per role, the first board a drill file of it names
    bool several = false;
    for (const PackageMember& m : members) {
        if (!isDrill(m.role) || m.board.isEmpty())
            continue;
        const auto first = named.constFind(int(m.role));
        if (first == named.constEnd())
            named.insert(int(m.role), m.board);
        else
            several = several || *first != m.board;
    }
    return several ? boardNames() : QStringList();
}

bool Package::chooseBoard(const QString& name)
{
    const QString chosen = name.toLower();
    if (!boardNames().contains(chosen))
        return false;
    // Its drill files; of the outlines, its own, else one that names no board.
    bool ownOutline = false;
    for (const PackageMember& m : members)
        ownOutline = ownOutline || (m.board == chosen && m.role == Role::Outline);
    // Its own outline, where the package took another board's (DipTrace writes several boards'
    // outlines into one folder).
    for (PackageMember& m : members) {
        if (ownOutline)
            break;
        if (m.board == chosen && m.role == Role::Unused && m.layer == QLatin1String("outline")) {
            m.role = Role::Outline;
            m.why = msg::whyName(QFileInfo(m.name).fileName());
            ownOutline = true;
        }
    }
    for (PackageMember& m : members) {
        const bool other = !m.board.isEmpty() && m.board != chosen;
        if ((isDrill(m.role) && other)
            || (m.role == Role::Outline && (other || (ownOutline && m.board.isEmpty())))) {
            m.role = Role::Unused;
            m.why = msg::whyOtherBoard(m.board.isEmpty() ? QString() : m.board);
            m.read.reset();
        }
    }
    return true;
}

BuiltBoard buildBoard(
    Package& package, Board& board, HoleTable& table, BoardExtent& extent, const MessageSink& sink)
{
    BuiltBoard built;
    // What the readers say names the files as the package does, not the temporary folder: each
    // place where a folder of members starts, the longest member's path from there.
    QHash<QString, QString> shownPaths;
    for (const PackageMember& m : package.members)
        shownPaths.insert(m.path, package.path() + QLatin1Char('/') + m.name);
    const QStringList roots = package.folders();
    const auto shownPath = [&](QString shown) {
        for (const QString& root : roots) {
            for (qsizetype at = shown.indexOf(root); at >= 0; at = shown.indexOf(root, at + 1)) {
                // The longest member's path that starts there.
                for (qsizetype end = shown.size(); end > at + root.size(); --end) {
                    const auto path = shownPaths.constFind(shown.mid(at, end - at));
                    if (path != shownPaths.constEnd()) {
                        shown.replace(at, end - at, *path);
                        break;
                    }
                }
            }
        }
        return shown;
    };
    const MessageSink said = [&](const Diagnostic& d) {
        if (!sink)
            return;
        Diagnostic shown = d;
        shown.text = shownPath(d.text);
        shown.file = shownPath(d.file);
        sink(shown);
    };
    for (const QString& note : package.notes)
        said.information(note, package.path());
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
        sink.error(msg::packageWithoutDrillFiles(package.path()), package.path());
        board = Board();
        return built;
    }
    bool first = true;
    bool outlineRead = false;
    for (const size_t i : order) {
        PackageMember& m = package.members[i];
        PackageFile f;
        f.member = int(i);
        if (m.role == Role::Outline) {
            if (outlineRead)
                continue; // one outline
            outlineRead = true;
            // Its lines as the package chose them by their shape, or the whole file.
            std::optional<DrillData> shaped;
            if (m.read) {
                for (const Diagnostic& d : m.read->said)
                    said(d);
                shaped = std::move(m.read->data);
                m.read.reset();
            }
            f.outcome = readBoardOutline(board, m.path, table, extent, said, std::move(shaped));
        } else {
            // As the package read it, once: what that read said is said now.
            const std::shared_ptr<MemberRead> read = std::move(m.read);
            const ReaderKind reader = read ? read->reader : addedFileReader(m.path);
            if (read) {
                for (const Diagnostic& d : read->said)
                    said(d);
            }
            DrillData* data = read ? &read->data : nullptr;
            const FileStamp* stamp = read ? &read->stamp : nullptr;
            f.outcome = first ? readBoardFile(board, reader, m.path, table, extent, said, data, stamp)
                              : addBoardFile(board, reader, m.path, table, extent, said, data, stamp);
            first = false;
        }
        built.files.push_back(std::move(f));
    }
    // What the package read and the board did not take is not kept with the board.
    for (PackageMember& m : package.members)
        m.read.reset();
    board.package = package.path();
    board.unpacked = package.unpackedFolder();
    built.ok = true;
    return built;
}

int layerDepth(const QString& role, std::optional<int> copper)
{
    static const char* const kOrder[] = {"silk-top", "paste-top", "mask-top", "copper-top", "copper-inner",
        "copper-bottom", "mask-bottom", "paste-bottom", "silk-bottom", "outline", "rout", "drawing", "other"};
    for (int i = 0; i < int(std::size(kOrder)); ++i) {
        if (role == QLatin1String(kOrder[i]))
            return i * 1000
                + (role.startsWith(QLatin1String("copper")) ? std::clamp(copper.value_or(0), 0, 999) : 0);
    }
    return int(std::size(kOrder)) * 1000;
}

void readBoardLayers(const Package& package, Board& board, const MessageSink& sink)
{
    board.layers.clear();
    // The board's own name, where the package holds several: the others' layers are not its.
    QString chosen;
    for (const PackageMember& m : package.members) {
        if (isDrill(m.role) && !m.board.isEmpty()) {
            chosen = m.board;
            break;
        }
    }
    const bool several = package.boardNames().size() > 1;
    std::vector<BoardLayer> layers;
    for (const PackageMember& m : package.members) {
        if (m.layer.isEmpty() || m.layer == QLatin1String("drill") || m.layer == QLatin1String("rout"))
            continue;
        if (isDrill(m.role) || (several && !m.board.isEmpty() && m.board != chosen))
            continue;
        BoardLayer l;
        l.name = m.name;
        l.path = m.path;
        l.role = m.layer;
        l.copper = m.copperLayer;
        layers.push_back(std::move(l));
    }
    std::stable_sort(layers.begin(), layers.end(), [](const BoardLayer& a, const BoardLayer& b) {
        return layerDepth(a.role, a.copper) < layerDepth(b.role, b.copper);
    });
    std::vector<GerberImage> images(layers.size());
    std::atomic<size_t> next {0};
    const auto work = [&] {
        for (size_t i = next++; i < layers.size(); i = next++)
            images[i] = readGerberImage(layers[i].path);
    };
    const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
    std::vector<std::thread> workers;
    for (unsigned k = 1; k < cores && k < layers.size(); ++k)
        workers.emplace_back(work);
    work();
    for (std::thread& t : workers)
        t.join();
    const QString shownRoot = package.path() + QLatin1Char('/');
    for (size_t i = 0; i < layers.size(); ++i) {
        GerberImage& image = images[i];
        const QString shown = shownRoot + layers[i].name;
        if (!image.error.isEmpty() || image.objects.empty()) {
            sink.information(msg::layerNotShown(shown), shown);
            continue;
        }
        if (image.stoppedAtLine)
            sink.information(msg::layerShownUpTo(shown, *image.stoppedAtLine), shown, *image.stoppedAtLine);
        layers[i].image = std::make_shared<const GerberImage>(std::move(image));
        board.layers.push_back(std::move(layers[i]));
    }
}

} // namespace kivotrek
