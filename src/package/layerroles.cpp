#include "package/layerroles.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace kivotrek {

namespace {
QString side(const QString& word)
{
    const QString w = word.toLower();
    if (w.startsWith(QLatin1String("top")))
        return QStringLiteral("top");
    if (w.startsWith(QLatin1String("bot")))
        return QStringLiteral("bottom");
    return QString();
}
} // namespace

LayerRole layerOfFunction(const QString& function)
{
    const QStringList f = function.split(QLatin1Char(','));
    const QString kind = f.value(0).trimmed();
    const auto field = [&f](int i) { return f.value(i).trimmed(); };
    if (kind == QLatin1String("Copper")) {
        LayerRole r;
        const QString place = field(2);
        r.role = place == QLatin1String("Top") ? QStringLiteral("copper-top")
            : place == QLatin1String("Bot")    ? QStringLiteral("copper-bottom")
                                               : QStringLiteral("copper-inner");
        bool ok = false;
        const int n = field(1).mid(1).toInt(&ok); // "L2"
        if (field(1).startsWith(QLatin1Char('L')) && ok && n > 0)
            r.copper = n;
        return r;
    }
    static const char* const sided[][2] = {{"Soldermask", "mask"}, {"Legend", "silk"}, {"Paste", "paste"}};
    for (const auto& s : sided) {
        if (kind == QLatin1String(s[0])) {
            const QString where = side(field(1));
            return {QString::fromLatin1(s[1]) + QLatin1Char('-')
                    + (where.isEmpty() ? QStringLiteral("top") : where),
                std::nullopt};
        }
    }
    if (kind == QLatin1String("Profile"))
        return {QStringLiteral("outline"), std::nullopt};
    if (kind == QLatin1String("Plated") || kind == QLatin1String("NonPlated")
        || kind == QLatin1String("MixedPlating"))
        return {field(kind == QLatin1String("MixedPlating") ? 3 : 4) == QLatin1String("Route")
                ? QStringLiteral("rout")
                : QStringLiteral("drill"),
            std::nullopt};
    if (kind == QLatin1String("Depthrout"))
        return {QStringLiteral("rout"), std::nullopt};
    if (kind.endsWith(QLatin1String("Drawing")) || kind == QLatin1String("Drillmap"))
        return {QStringLiteral("drawing"), std::nullopt};
    return {QStringLiteral("other"), std::nullopt};
}

LayerRole layerOfName(const QString& name)
{
    const QString file = QFileInfo(name).fileName().toLower();
    struct Rule {
        const char* pattern;
        const char* role;
        int copperFromCapture; // 0: none; 1: the first capture; 2: the first capture + 1
    };
    // From the surest signs to the loosest: whole extensions, then the layer names and words of
    // the CAD programs. Words are whole: "-f_cu.", "_topmask.", "copper_top".
    static const Rule rules[] = {
        // Protel / Altium, EasyEDA, Fritzing extensions.
        {R"(\.gtl$)", "copper-top", 0},
        {R"(\.gbl$)", "copper-bottom", 0},
        {R"(\.g(?:p)?\d+$)", "copper-inner", 0},
        {R"(\.gts$)", "mask-top", 0},
        {R"(\.gbs$)", "mask-bottom", 0},
        {R"(\.gto$)", "silk-top", 0},
        {R"(\.gbo$)", "silk-bottom", 0},
        {R"(\.gtp$)", "paste-top", 0},
        {R"(\.gbp$)", "paste-bottom", 0},
        {R"(\.(?:gko|gml)$)", "outline", 0},
        {R"(\.(?:gm\d+|gd\d+|gg\d+)$)", "drawing", 0},
        // Eagle's extensions.
        {R"(\.cmp$)", "copper-top", 0},
        {R"(\.sol$)", "copper-bottom", 0},
        {R"(\.(?:ly|l)(\d+)$)", "copper-inner", 1},
        {R"(\.stc$)", "mask-top", 0},
        {R"(\.sts$)", "mask-bottom", 0},
        {R"(\.plc$)", "silk-top", 0},
        {R"(\.pls$)", "silk-bottom", 0},
        {R"(\.crc$)", "paste-top", 0},
        {R"(\.crs$)", "paste-bottom", 0},
        {R"(\.(?:dim|mil)$)", "outline", 0},
        // Excellon rout files (Allegro's .rou) and routing layers.
        {R"(\.rou$|(?:^|[-_. ])rout(?:e|ing)?(?:[-_. ]|$))", "rout", 0},
        // KiCad's layer names (F_Cu, F.Cu, In2_Cu, B_SilkS, F_Silkscreen, Edge_Cuts, F_Fab, ...).
        {R"((?:^|[-_. ])f[._]cu(?:[-_. ]|$))", "copper-top", 0},
        {R"((?:^|[-_. ])b[._]cu(?:[-_. ]|$))", "copper-bottom", 0},
        {R"((?:^|[-_. ])in(\d+)[._]cu(?:[-_. ]|$))", "copper-inner", 2},
        {R"((?:^|[-_. ])f[._]mask(?:[-_. ]|$))", "mask-top", 0},
        {R"((?:^|[-_. ])b[._]mask(?:[-_. ]|$))", "mask-bottom", 0},
        {R"((?:^|[-_. ])f[._]silk(?:s|screen)?(?:[-_. ]|$))", "silk-top", 0},
        {R"((?:^|[-_. ])b[._]silk(?:s|screen)?(?:[-_. ]|$))", "silk-bottom", 0},
        {R"((?:^|[-_. ])f[._]paste(?:[-_. ]|$))", "paste-top", 0},
        {R"((?:^|[-_. ])b[._]paste(?:[-_. ]|$))", "paste-bottom", 0},
        {R"((?:^|[-_. ])edge[._]cuts(?:[-_. ]|$))", "outline", 0},
        {R"((?:^|[-_. ])(?:[fb][._](?:fab|crtyd|courtyard|adhes|adhesive)|dwgs[._]user|cmts[._]user|eco\d[._]user|margin|user[._]\d+)(?:[-_. ]|$))",
            "drawing", 0},
        // gEDA / pcb-rnd: board.top.gbr, board.bottommask.gbr, board.group3.gbr, board.fab.gbr.
        {R"(\.(top|bottom)mask\.gbr$)", "mask", 0},
        {R"(\.(top|bottom)silk\.gbr$)", "silk", 0},
        {R"(\.(top|bottom)paste\.gbr$)", "paste", 0},
        {R"(\.(top|bottom)\.gbr$)", "copper", 0},
        {R"(\.group\d+\.gbr$)", "copper-inner", 0},
        {R"(\.fab\.gbr$)", "drawing", 0},
        // Allegro's artwork names: smt / smb solder mask, sst / ssb silk, spt / spb paste.
        {R"((?:^|[-_. ])sm(t|b)(?:[-_. ]|$))", "mask", 0},
        {R"((?:^|[-_. ])ss(t|b)(?:[-_. ]|$))", "silk", 0},
        {R"((?:^|[-_. ])sp(t|b)(?:[-_. ]|$))", "paste", 0},
        // Words: TopSolderMaskLayer, _TopMask, soldermask_top, SolderMask_Bottom, silkscreen_top,
        // TopSilkscreenLayer, _silkTop, TopPasteMaskLayer, solderpaste_bottom, _maskBottom.
        {R"((top|bot(?:tom)?)[-_ ]?(?:solder)?(?:mask|stop)|(?:solder)?(?:mask|stop)[-_ ]?(top|bot(?:tom)?))",
            "mask", 0},
        {R"((top|bot(?:tom)?)[-_ ]?(?:silk(?:screen)?|overlay|legend)|(?:silk(?:screen)?|overlay|legend)[-_ ]?(top|bot(?:tom)?))",
            "silk", 0},
        {R"((top|bot(?:tom)?)[-_ ]?(?:solder)?(?:paste|cream)|(?:solder)?(?:paste|cream)(?:mask)?[-_ ]?(top|bot(?:tom)?))",
            "paste", 0},
        {R"((?:board)?outline|profile|contour|(?:^|[-_. ])ko(?:[-_. ]|$))", "outline", 0},
        {R"((?:inner|mid|internal|etch|signal|copper[-_ ]?l|layer)[-_ ]?(\d+))", "copper-inner", 0},
        {R"((?:^|[-_. ])(top|bot(?:tom)?)(?:[-_ ]?(?:layer|copper|side|etch))?(?:[-_. ]|$)|copper[-_ ]?(top|bot(?:tom)?))",
            "copper", 0},
        {R"((?:^|[-_. ])(?:fab|assembly|assy|mech(?:anical)?\d*|dwg)(?:[-_. \d]|$)|drawing|drl[-_]?map|drill[-_ ]?map)",
            "drawing", 0},
    };
    static const auto compiled = [] {
        std::vector<QRegularExpression> v;
        for (const Rule& r : rules)
            v.emplace_back(QString::fromLatin1(r.pattern));
        return v;
    }();
    for (size_t i = 0; i < std::size(rules); ++i) {
        const auto m = compiled[i].match(file);
        if (!m.hasMatch())
            continue;
        LayerRole r;
        r.role = QString::fromLatin1(rules[i].role);
        if (!r.role.contains(QLatin1Char('-')) && r.role != QLatin1String("outline")
            && r.role != QLatin1String("drawing") && r.role != QLatin1String("rout")) {
            // A side to be named by what matched: the first capture that took part.
            QString where;
            for (int c = 1; c <= compiled[i].captureCount() && where.isEmpty(); ++c)
                where = m.captured(c);
            const QString s = where == QLatin1String("t") ? QStringLiteral("top")
                : where == QLatin1String("b")             ? QStringLiteral("bottom")
                                                          : side(where);
            if (s.isEmpty())
                continue;
            r.role += QLatin1Char('-') + s;
        }
        if (rules[i].copperFromCapture > 0) {
            bool ok = false;
            const int n = m.captured(1).toInt(&ok);
            if (ok && n > 0)
                r.copper = n + (rules[i].copperFromCapture == 2 ? 1 : 0);
        }
        if (r.role == QLatin1String("copper-top"))
            r.copper = 1;
        return r;
    }
    return {};
}

QString layerRoleText(const QString& role)
{
    static const char* const names[][2] = {
        {"copper-top", "銅箔（表）"},
        {"copper-bottom", "銅箔（裏）"},
        {"copper-inner", "銅箔（内層）"},
        {"mask-top", "ソルダーレジスト（表）"},
        {"mask-bottom", "ソルダーレジスト（裏）"},
        {"silk-top", "シルク（表）"},
        {"silk-bottom", "シルク（裏）"},
        {"paste-top", "メタルマスク（表）"},
        {"paste-bottom", "メタルマスク（裏）"},
        {"outline", "外形"},
        {"drawing", "図面"},
        {"rout", "ルート"},
        {"drill", "穴"},
        {"other", "その他"},
    };
    for (const auto& n : names) {
        if (role == QLatin1String(n[0]))
            return QString::fromUtf8(n[1]);
    }
    return role;
}

} // namespace kivotrek
