#include "testutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QJsonObject json;
};

CliRun cli(const QStringList& args)
{
    QProcess p;
    p.start(QString::fromUtf8(KIVOTREK_CLI), args);
    EXPECT_TRUE(p.waitForFinished(30000));
    CliRun r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.json = QJsonDocument::fromJson(r.out).object();
    return r;
}
} // namespace

TEST(CliRead, CompleteStandardRead)
{
    const QString path = test::dataPath("board_100x80.gbr");
    const CliRun r = cli({QStringLiteral("read"), path});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.endsWith("}\n"));
    EXPECT_TRUE(r.out.contains("\"unitScale\":0.0567,")) << r.out.constData(); // the float's shortest text
    EXPECT_EQ(r.json.value(QStringLiteral("path")).toString(), path);
    EXPECT_EQ(r.json.value(QStringLiteral("reader")).toString(), QStringLiteral("standard"));
    EXPECT_EQ(r.json.value(QStringLiteral("ending")).toString(), QStringLiteral("complete"));
    EXPECT_TRUE(r.json.value(QStringLiteral("stoppedAtLine")).isNull());
    EXPECT_TRUE(r.json.value(QStringLiteral("messages")).toArray().isEmpty());
    EXPECT_EQ(r.json.value(QStringLiteral("maxX")).toInt(), 5670);
    EXPECT_EQ(r.json.value(QStringLiteral("maxY")).toInt(), 4536);
    const QJsonArray rows = r.json.value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[2].toObject(),
        QJsonObject({{QStringLiteral("index"), 2}, {QStringLiteral("dcode"), QStringLiteral("D12")},
            {QStringLiteral("diameter"), QString()}}));
}

TEST(CliRead, Rs274xRead)
{
    const CliRun r =
        cli({QStringLiteral("read"), QStringLiteral("--rs274x"), test::dataPath("rs274x_basic.gbr")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("\"unitScale\":0.00567,")) << r.out.constData();
    EXPECT_EQ(r.json.value(QStringLiteral("reader")).toString(), QStringLiteral("rs274x"));
    EXPECT_EQ(r.json.value(QStringLiteral("rows"))
                  .toArray()[0]
                  .toObject()
                  .value(QStringLiteral("diameter"))
                  .toString(),
        QStringLiteral("0.80"));
}

TEST(CliRead, StoppedReadsExitTwo)
{
    const CliRun rejected = cli({QStringLiteral("read"), test::dataPath("job_comment.gbr")});
    EXPECT_EQ(rejected.exitCode, 2);
    EXPECT_EQ(rejected.json.value(QStringLiteral("ending")).toString(), QStringLiteral("rejected"));
    EXPECT_EQ(rejected.json.value(QStringLiteral("stoppedAtLine")).toInt(), 3);
    EXPECT_EQ(rejected.json.value(QStringLiteral("messages")).toArray()[0].toString(),
        QStringLiteral("ステップ＆リピート及び、円弧（ＩＪ）は使用できません。"));

    const CliRun fault = cli({QStringLiteral("read"), test::dataPath("g54_no_d.gbr")});
    EXPECT_EQ(fault.exitCode, 2);
    EXPECT_EQ(fault.json.value(QStringLiteral("ending")).toString(), QStringLiteral("fault"));
    EXPECT_EQ(fault.json.value(QStringLiteral("rows")).toArray().size(), 1);
}

TEST(CliRead, UnreadableExitsThreeAndBadUsageSixtyFour)
{
    const CliRun gone = cli({QStringLiteral("read"), QStringLiteral("/nonexistent/a.gbr")});
    EXPECT_EQ(gone.exitCode, 3);
    EXPECT_EQ(gone.json.value(QStringLiteral("ending")).toString(), QStringLiteral("unreadable"));
    EXPECT_EQ(gone.json.value(QStringLiteral("unitScale")).toDouble(), 0.0567);

    for (const QStringList& args : {QStringList(), QStringList({QStringLiteral("read")}),
             QStringList({QStringLiteral("read"), QStringLiteral("--bogus"), QStringLiteral("a.gbr")}),
             QStringList({QStringLiteral("read"), QStringLiteral("a.gbr"), QStringLiteral("b.gbr")}),
             QStringList({QStringLiteral("draw")})}) {
        const CliRun r = cli(args);
        EXPECT_EQ(r.exitCode, 64) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_FALSE(r.err.isEmpty());
    }
}
