#include "checks/checkregistry.h"
#include "cli/clirun.h"
#include "testutil.h"

#include <QJsonArray>
#include <QJsonObject>

using namespace kivotrek;
using test::cli;
using test::CliRun;

namespace {
QStringList faultyBoard()
{
    return {test::dataPath("checks-faults.drl"), QStringLiteral("--outline"),
        test::dataPath("checks-outline.gbr")};
}
} // namespace

TEST(CliCheck, EachFindingWithItsRowsFilesPlaceValueAndLimitExitFive)
{
    const CliRun r = cli(QStringList {QStringLiteral("check"), QStringLiteral("--json")} + faultyBoard());
    EXPECT_EQ(r.exitCode, 5) << r.err.constData();
    const QJsonArray findings = r.json.value(QStringLiteral("findings")).toArray();
    ASSERT_EQ(findings.size(), 8);
    EXPECT_EQ(findings[3].toObject(),
        QJsonObject({{QStringLiteral("check"), QStringLiteral("spacing")},
            {QStringLiteral("rows"), QJsonArray {1, 1}},
            {QStringLiteral("files"),
                QJsonArray {QStringLiteral("checks-faults.drl"), QStringLiteral("checks-faults.drl")}},
            {QStringLiteral("at"), QJsonArray {20, 10}}, {QStringLiteral("other"), QJsonArray {20.95, 10}},
            {QStringLiteral("value"), 0.15}, {QStringLiteral("limit"), 0.2}}));
    EXPECT_EQ(findings[7].toObject().value(QStringLiteral("check")).toString(), QStringLiteral("plating"));
    EXPECT_EQ(findings[7].toObject().value(QStringLiteral("detail")).toString(), QStringLiteral("TH/NTH"));
    EXPECT_TRUE(findings[7].toObject().value(QStringLiteral("value")).isNull());
    const QJsonObject counts = r.json.value(QStringLiteral("counts")).toObject();
    EXPECT_EQ(counts.value(QStringLiteral("stacked")).toInt(), 1);
    EXPECT_EQ(counts.value(QStringLiteral("tool-size")).toInt(), 0);
    EXPECT_EQ(counts.value(QStringLiteral("total")).toInt(), 8);
    EXPECT_TRUE(r.json.value(QStringLiteral("outline")).toBool());
    EXPECT_FALSE(r.json.value(QStringLiteral("truncated")).toBool());
    EXPECT_FALSE(r.json.value(QStringLiteral("crowded")).toBool());
    EXPECT_TRUE(r.json.value(QStringLiteral("crowded")).isBool());
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
}

TEST(CliCheck, LimitsFromTheOptionsCsvByDefaultAndNoFindingExitsZero)
{
    // A house of 0.05 mm drills, spacing and edge 0.1 mm, slots 1.5 times their width: what
    // remains are the stacked, overlapping and cut holes and the plating.
    const CliRun r =
        cli(QStringList {QStringLiteral("check"), QStringLiteral("--min-spacing"), QStringLiteral("0.1"),
                QStringLiteral("--min-edge"), QStringLiteral("0.1"), QStringLiteral("--min-drill"),
                QStringLiteral("0.05"), QStringLiteral("--slot-ratio"), QStringLiteral("1.5")}
            + faultyBoard());
    EXPECT_EQ(r.exitCode, 5);
    const QList<QByteArray> lines = r.out.split('\n');
    EXPECT_TRUE(r.out.endsWith("\r\n"));
    ASSERT_EQ(lines.size(), 6) << r.out.constData(); // the header, four findings, the end
    EXPECT_EQ(
        lines[0], "\xEF\xBB\xBF" + QStringLiteral("種類,行,Dコード,ファイル,X,Y,X2,Y2,値,限度\r").toUtf8());
    EXPECT_EQ(QString::fromUtf8(lines[3]),
        QStringLiteral("外形にかかる穴,1,T1,checks-faults.drl,20.000,0.200,20.000,0.000,-0.200,0.000\r"));

    // The sample board's Excellon files without an outline: nothing to say of the edge.
    const CliRun plain = cli({QStringLiteral("check"), test::example("board-NPTH.drl")});
    EXPECT_EQ(plain.exitCode, 0) << plain.out.constData();
    EXPECT_EQ(QString::fromLocal8Bit(plain.err).trimmed(),
        QStringLiteral("外形がないため、外形との距離は調べていません。"));
}

TEST(CliCheck, BadLimitsAndUnreadableFilesExitAsForRead)
{
    for (const QStringList& bad : {QStringList {QStringLiteral("--min-spacing")},
             QStringList {QStringLiteral("--min-edge"), QStringLiteral("-1")},
             QStringList {QStringLiteral("--slot-ratio"), QStringLiteral("0")},
             QStringList {QStringLiteral("--min-drill"), QStringLiteral("0.1mm")},
             QStringList {QStringLiteral("--csv"), QStringLiteral("--json")}}) {
        const CliRun r = cli(QStringList {QStringLiteral("check")} + bad + faultyBoard());
        EXPECT_EQ(r.exitCode, 64) << bad.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    const CliRun missing =
        cli({QStringLiteral("check"), QStringLiteral("--excellon"), QStringLiteral("/no/such.drl")});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_TRUE(missing.out.isEmpty());
    const CliRun help = cli({QStringLiteral("check"), QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("usage: kivotrek-cli check [READER]"));
}

TEST(CliCheck, ChecksStoppedWherePilesOfSlotsLieSayItAndNeverExitZero)
{
    test::Scratch scratch;
    const QString path = scratch.write(QStringLiteral("piled.drl"), test::piledRoutes());
    const CliRun r = cli({QStringLiteral("check"), QStringLiteral("--json"), path});
    // Nothing found before the stop, and yet no exit 0.
    EXPECT_EQ(r.exitCode, 2) << r.err.constData();
    EXPECT_EQ(r.json.value(QStringLiteral("counts")).toObject().value(QStringLiteral("total")).toInt(), 0);
    EXPECT_TRUE(r.json.value(QStringLiteral("crowded")).toBool());
    EXPECT_TRUE(r.json.value(QStringLiteral("truncated")).toBool());
    EXPECT_TRUE(QString::fromLocal8Bit(r.err).contains(
        QStringLiteral("穴・長穴・外形の線が多数重なり合う箇所があるため、チェックを途中で打ち切りました。一"
                       "覧は途中までです。")))
        << r.err.constData();
}

TEST(CliCheck, AnOutlineDrawnInPiecesCutsTheHoleItRunsThrough)
{
    // A 20 x 20 mm board whose Gerber X2 outline draws each side in 0.5 mm pieces, as CAD
    // programs write one, and a 1.0 mm hole centred on its bottom side.
    test::Scratch scratch;
    QByteArray outline =
        "%TF.FileFunction,Profile,NP*%\n%FSLAX46Y46*%\n%MOMM*%\n%ADD10C,0.100*%\nD10*\nX0Y0D02*\n";
    const auto to = [&outline](int x, int y) {
        outline += "X" + QByteArray::number(x * 500000) + "Y" + QByteArray::number(y * 500000) + "D01*\n";
    };
    for (int i = 1; i <= 40; ++i)
        to(i, 0);
    for (int i = 1; i <= 40; ++i)
        to(40, i);
    for (int i = 39; i >= 0; --i)
        to(i, 40);
    for (int i = 39; i >= 0; --i)
        to(0, i);
    const QString gko = scratch.write(QStringLiteral("board.gko"), outline + "M02*\n");
    const QString drl = scratch.write(
        QStringLiteral("board.drl"), "M48\nMETRIC\nT1C1.000\n%\nG90\nG05\nT1\nX10.0Y0.0\nX10.0Y10.0\nM30\n");
    const QString cut =
        QStringLiteral("外形にかかる穴,1,T1,board.drl,10.000,0.000,10.000,0.000,-0.500,0.000\r");
    for (const QStringList& limits :
        {QStringList(), QStringList {QStringLiteral("--min-edge"), QStringLiteral("0")}}) {
        SCOPED_TRACE(limits.join(QLatin1Char(' ')).toStdString());
        const CliRun r = cli(QStringList {QStringLiteral("check")} + limits
            + QStringList {drl, QStringLiteral("--outline"), gko});
        EXPECT_EQ(r.exitCode, 5) << r.err.constData();
        const QList<QByteArray> lines = r.out.split('\n');
        ASSERT_EQ(lines.size(), 3) << r.out.constData(); // the header, the finding, the end
        EXPECT_EQ(QString::fromUtf8(lines[1]), cut);
    }
}

TEST(CliCheck, EachLimitOfTheChecksIsAnOptionOfItsOwnInTheHelpAndTheJson)
{
    const QString help = QString::fromUtf8(cli({QStringLiteral("check"), QStringLiteral("--help")}).out);
    const std::vector<LimitDescriptor>& limits = limitDescriptors();
    for (size_t k = 0; k < limits.size(); ++k) {
        const LimitDescriptor& d = limits[k];
        SCOPED_TRACE(d.option);
        const QString option = QString::fromLatin1(d.option);
        EXPECT_TRUE(help.contains(QLatin1Char('[') + option
            + (d.unit == CheckUnit::Ratio ? QStringLiteral(" R]") : QStringLiteral(" MM]"))))
            << help.toStdString();
        // Given alone, it holds its own limit and no other.
        const CliRun r =
            cli(QStringList {QStringLiteral("check"), QStringLiteral("--json"), option, QStringLiteral("7.5")}
                + faultyBoard());
        EXPECT_EQ(r.exitCode, 5) << r.err.constData();
        const QJsonObject given = r.json.value(QStringLiteral("limits")).toObject();
        ASSERT_EQ(given.size(), qsizetype(limits.size()));
        for (size_t other = 0; other < limits.size(); ++other)
            EXPECT_EQ(given.value(QLatin1String(limits[other].key)).toDouble(),
                other == k ? 7.5 : limits[other].defaultValue)
                << limits[other].key;
        const CliRun bad =
            cli(QStringList {QStringLiteral("check"), option, QStringLiteral("1001")} + faultyBoard());
        EXPECT_EQ(bad.exitCode, 64);
        EXPECT_TRUE(QString::fromLocal8Bit(bad.err).contains(
            QStringLiteral("check: ") + option + QStringLiteral(" needs")))
            << bad.err.constData();
    }
    // A count per check, and the total.
    const QJsonObject counts =
        cli(QStringList {QStringLiteral("check"), QStringLiteral("--json")} + faultyBoard())
            .json.value(QStringLiteral("counts"))
            .toObject();
    EXPECT_EQ(counts.size(), kCheckKinds + 1);
    for (const CheckDescriptor& d : checkDescriptors())
        EXPECT_TRUE(counts.value(QLatin1String(d.key)).isDouble()) << d.key;
}
