#include "package/memberroles.h"

#include "board/board.h"

#include "common/fileio.h"
#include "common/messages.h"
#include "gerber/x2reader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace kivotrek {

namespace {
using Role = PackageMember::Role;

// The role a .FileFunction value gives: "Plated,1,2,PTH", "Profile,NP", "Copper,L1,Top", ...
Role roleOfFunction(const QString& function)
{
    const QString kind = function.section(QLatin1Char(','), 0, 0).trimmed();
    if (kind == QLatin1String("Plated"))
        return Role::Plated;
    if (kind == QLatin1String("NonPlated"))
        return Role::NonPlated;
    if (kind == QLatin1String("MixedPlating"))
        return Role::Drill;
    if (kind == QLatin1String("Profile"))
        return Role::Outline;
    return Role::Unused; // copper, mask, legend, paste, a drill map or a fabrication drawing
}

QString functionName(const QString& function)
{
    return function.section(QLatin1Char(','), 0, 0).trimmed();
}

// The plating a drill file's name gives, and the words that say it, for the reason.
Role platingByName(const QString& name, QString& word)
{
    const QString kind = kindFromFileName(name);
    if (kind.isEmpty())
        return Role::Drill;
    const QString lower = QFileInfo(name).fileName().toLower();
    for (const char* w : {"non-plated", "nonplated", "unplated", "npth", "plated", "pth"}) {
        if (lower.contains(QLatin1String(w))) {
            word = QString::fromLatin1(w).toUpper();
            break;
        }
    }
    return kind == QLatin1String("NTH") ? Role::NonPlated : Role::Plated;
}

// A Gerber file of nothing but flashes of round apertures is a drill file of another program.
// The whole file is read to know: what the read found is kept where the board would read the
// file the same way (a name that marks an outline is read again as one).
bool onlyRoundFlashes(const QString& path, const QByteArray& head, std::shared_ptr<MemberRead>& read)
{
    static const QRegularExpression aperture(QStringLiteral("%ADD\\d+([A-Za-z_$][^,*%]*)"));
    bool any = false;
    for (auto it = aperture.globalMatch(QString::fromLatin1(head)); it.hasNext();) {
        if (it.next().captured(1) != QLatin1String("C"))
            return false;
        any = true;
    }
    if (!any)
        return false;
    auto whole = std::make_shared<MemberRead>();
    whole->reader = ReaderKind::GerberX2;
    whole->stamp = stampOf(path);
    whole->data = readGerberX2(path, [&whole](const Diagnostic& d) { whole->said.push_back(d); });
    const DrillData& d = whole->data;
    const bool round = d.ending == DrillData::Ending::Complete && !d.holes.empty() && d.slotHoles.empty()
        && d.outline.empty();
    if (round && !looksLikeOutlineName(path))
        read = std::move(whole);
    return round;
}

QString lastSuffix(const QString& name)
{
    const QString file = QFileInfo(name).fileName();
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? file.mid(dot) : QString();
}
} // namespace

QHash<QString, RoleFinding> rolesFromJobFile(const QString& path, const QString& name)
{
    QHash<QString, RoleFinding> roles;
    QFile file(path);
    if (!openToRead(file) || file.size() > (qint64(16) << 20))
        return roles;
    const QJsonObject job = QJsonDocument::fromJson(file.readAll()).object();
    const QString folder = QFileInfo(name).path();
    const QJsonArray attributes = job.value(QStringLiteral("FilesAttributes")).toArray();
    for (const auto& v : attributes) {
        const QJsonObject f = v.toObject();
        QString member = f.value(QStringLiteral("Path")).toString();
        const QString function = f.value(QStringLiteral("FileFunction")).toString();
        if (member.isEmpty() || function.isEmpty())
            continue;
        member.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (folder != QLatin1String("."))
            member = folder + QLatin1Char('/') + member;
        roles.insert(QDir::cleanPath(member).toLower(),
            {roleOfFunction(function), msg::whyJobFile(functionName(function)), false, std::nullopt, nullptr,
                function, false});
    }
    return roles;
}

RoleFinding roleOfFile(const QString& path, const QString& name)
{
    // One open for every sign the file's first bytes give.
    QFile file(path);
    if (!openToRead(file))
        return {Role::Unused, msg::whyUnreadable(), false, std::nullopt, nullptr, {}, false};
    if (holdsBinaryBytes(file))
        return {Role::Unused, msg::whyNotDrillData(), false, std::nullopt, nullptr, {}, false};
    // Its own attributes: %TF.FileFunction, or the same as a comment ("G04 #@! TF.", "; #@! TF.").
    QByteArray head = file.read(qint64(64) * 1024);
    static const QRegularExpression attribute(
        QStringLiteral("(?:%|#@!\\s*%?)TF\\.FileFunction,([^*%\\r\\n]*)"));
    // A drill reader that knows the content (Excellon) reads the file, else today's Gerber.
    const ReaderDescriptor* byContent = drillReaderByContent(path, head);
    const ReaderKind reader = byContent ? byContent->kind : lastResortReader(ReaderScope::DrillFile).kind;
    const bool gerber = head.contains("%FS") || head.contains("%MO");
    if (const auto m = attribute.match(QString::fromLatin1(head)); m.hasMatch()) {
        const QString function = m.captured(1);
        return {roleOfFunction(function), msg::whyAttribute(functionName(function)), false, reader, nullptr,
            function, gerber};
    }
    // Its content, the plating by its name.
    QString word;
    if (byContent) {
        const Role role = platingByName(name, word);
        return {role, msg::whyContent(QString::fromLatin1(byContent->name), word), false, reader, nullptr, {},
            gerber};
    }
    // Apertures are looked for in the first 16 MiB.
    head += file.read((qint64(16) << 20) - head.size());
    file.close();
    std::shared_ptr<MemberRead> read;
    if (onlyRoundFlashes(path, head, read)) {
        const Role role = platingByName(name, word);
        return {role, msg::whyContent(msg::roundFlashesContent(), word), false, reader, std::move(read), {},
            gerber};
    }
    // Its name.
    if (outlineNameRank(name) > 0)
        return {Role::Outline, msg::whyName(QFileInfo(name).fileName()), true, reader, nullptr, {}, gerber};
    return {Role::Unused, msg::whyNeither(lastSuffix(name)), false, reader, nullptr, {}, gerber};
}

QString boardOfName(const QString& name)
{
    QString base = QFileInfo(name).fileName().toLower();
    const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        base.truncate(dot);
    // The words CAD programs put beside the board's name to say what a file is, and the sides of
    // the board (上面 / 下面, 表面 / 裏面, 部品面 / 半田面) that Japanese CAD programs name.
    static const QRegularExpression trailing(QStringLiteral(
        "[-_. "
        "](pth|npth|plated|nonplated|non[-_]plated|unplated|roundholes|slotholes|drl|drill|drills|plated-"
        "drill|"
        "unplated-drill|edge_cuts|edge\\.cuts|boardoutline|outline|profile|contour|thruholeplated|"
        "thruholenonplated|contourplated|f_cu|b_cu|job|top|bottom|bot|plt|nplt|thru|rout|route|\\d+[-_]\\d+|"
        "\u4e0a\u9762|\u4e0b\u9762|\u8868\u9762|\u88cf\u9762|\u90e8\u54c1\u9762|\u534a\u7530\u9762)$"));
    static const QRegularExpression leading(QStringLiteral("^(drill|drills|thruhole)[-_]"));
    static const QRegularExpression wordAlone(
        QStringLiteral("^(pth|npth|drill|drills|drl|plated|nonplated|unplated|thruholeplated|"
                       "thruholenonplated|contourplated|"
                       "boardoutline|outline|profile|contour|edge_cuts|ko)$"));
    // A copy's number, as Windows and the package's own renaming add it: "board (2)".
    static const QRegularExpression copy(QStringLiteral(" \\(\\d+\\)$"));
    base.remove(copy);
    for (int i = 0; i < 8; ++i) {
        const QString before = base;
        base.remove(trailing);
        base.remove(leading);
        if (base == before)
            break;
    }
    return wordAlone.match(base).hasMatch() ? QString() : base;
}

} // namespace kivotrek
