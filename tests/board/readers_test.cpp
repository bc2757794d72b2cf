// The readers' table: each reader's id, option and read command once, the four readers as the
// menu, the batch command and the recent boards know them, and how a file is known by its content.

#include "board/board.h"
#include "board/readers.h"
#include "common/captions.h"
#include "testutil.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace kivotrek;

TEST(Readers, EachIdOptionCommandAndKeyIsOneReadersAndEachScopeHasOneLastResort)
{
    QSet<QString> ids, options, commands, keys;
    int lastResorts[2] = {0, 0};
    for (const ReaderDescriptor& d : readerDescriptors()) {
        const QString id = QLatin1String(d.kind.id());
        EXPECT_FALSE(ids.contains(id)) << d.kind.id();
        EXPECT_FALSE(options.contains(QLatin1String(d.option))) << d.option;
        EXPECT_FALSE(commands.contains(QLatin1String(d.commandName))) << d.commandName;
        EXPECT_FALSE(keys.contains(QString(QLatin1Char(d.accessKey)))) << d.accessKey;
        ids << id;
        options << QLatin1String(d.option);
        commands << QLatin1String(d.commandName);
        keys << QString(QLatin1Char(d.accessKey));
        EXPECT_NE(QLatin1String(d.option), QLatin1String("--auto"));
        EXPECT_EQ(findReader(id), &d);
        EXPECT_EQ(&readerOf(d.kind), &d);
        // Each reads the way its scope asks.
        EXPECT_EQ(d.readWhole != nullptr, d.scope == ReaderScope::WholeBoard) << d.kind.id();
        EXPECT_EQ(d.readDrill != nullptr, d.scope == ReaderScope::DrillFile) << d.kind.id();
        EXPECT_TRUE(d.prepare && d.command && d.fileItems) << d.kind.id();
        if (d.lastResort)
            ++lastResorts[d.scope == ReaderScope::WholeBoard ? 0 : 1];
    }
    EXPECT_EQ(lastResorts[0], 1);
    EXPECT_EQ(lastResorts[1], 1);
    EXPECT_EQ(findReader(QStringLiteral("Excellon")), nullptr); // ids are exact
    EXPECT_EQ(findReader(QStringLiteral("3")), nullptr);
    EXPECT_EQ(findReader(QString()), nullptr);
}

TEST(Readers, TheFourReadersKeepTheirIdsOptionsAndCommandsInTheirOrder)
{
    // The ids are the batch command's names and its JSON's "reader", kept in the recent boards;
    // the order is the file menu's.
    QStringList table;
    for (const ReaderDescriptor& d : readerDescriptors())
        table << QLatin1String(d.kind.id()) + QLatin1Char(' ') + QLatin1String(d.option) + QLatin1Char(' ')
                + QLatin1String(d.commandName) + QLatin1Char('=')
                + msg::withAccessKey(d.command(), d.accessKey);
    EXPECT_EQ(table,
        QStringList({QStringLiteral("standard --standard readStandardGerber=標準ガーバの読み込み(F4.3)(&S)"),
            QStringLiteral("rs274x --rs274x readRs274x=274xガーバ読み込み(&X)"),
            QStringLiteral("excellon --excellon readExcellon=Excellonドリルの読み込み(&E)"),
            QStringLiteral("x2 --x2 readGerberX2=Gerber X2 ドリル/外形の読み込み(&G)")}));
    EXPECT_EQ(readerOf(ReaderKind::GerberX2).scope, ReaderScope::DrillFile);
    EXPECT_EQ(readerOf(ReaderKind::Rs274x).scope, ReaderScope::WholeBoard);
}

TEST(Readers, AFileIsKnownByItsFirstLinesDrillReadersFirst)
{
    QStringList order;
    for (const ReaderDescriptor* d : recognitionOrder())
        order << QLatin1String(d->kind.id());
    EXPECT_EQ(order,
        QStringList({QStringLiteral("excellon"), QStringLiteral("x2"), QStringLiteral("rs274x"),
            QStringLiteral("standard")}));

    test::Scratch dir;
    const QString excellon = dir.write(QStringLiteral("a.drl"), "M48\nMETRIC\nT1C0.8\n%\nX1Y1\nM30\n");
    // Excellon's header before a unit statement: the drill reader asked first has it.
    const QString both = dir.write(QStringLiteral("b.drl"), "M48\n%MOMM*%\nT1C0.8\n%\nX1Y1\nM30\n");
    const QString rs274x = dir.write(QStringLiteral("c.gbr"), "%FSLAX33Y33*%\n%ADD10C,1*%\nD10*\nX1Y1D03*\n");
    const QString standard = dir.write(QStringLiteral("d.gbr"), "G54D10*\nX1000Y1000D03*\n");
    const QString gone = dir.path(QStringLiteral("gone.gbr"));
    EXPECT_EQ(detectReader(both), ReaderKind::Excellon);
    EXPECT_EQ(detectReader(gone), ReaderKind::Standard);

    // A file that joins a board: Excellon, else today's Gerber for any other file.
    EXPECT_EQ(addedFileReader(excellon), ReaderKind::Excellon);
    EXPECT_EQ(addedFileReader(rs274x), ReaderKind::GerberX2);
    EXPECT_EQ(addedFileReader(standard), ReaderKind::GerberX2);
    EXPECT_EQ(addedFileReader(gone), ReaderKind::GerberX2);
    // By its first bytes, as a package's file is: the last resort is no sign of its content.
    const ReaderDescriptor* known = drillReaderByContent(excellon, test::readAll(excellon));
    ASSERT_TRUE(known);
    EXPECT_EQ(known->kind, ReaderKind::Excellon);
    EXPECT_STREQ(known->name, "Excellon"); // the package window's reason names it
    EXPECT_EQ(drillReaderByContent(rs274x, "%TF.FileFunction,Plated,1,2,PTH*%\n%MOMM*%\n"), nullptr);

    // A whole board's reader reads no drill file of a board: nothing, not a crash.
    EXPECT_EQ(readDrillFile(ReaderKind::Standard, standard, {}).ending, DrillData::Ending::Unreadable);
}

TEST(Readers, TheDialogsFiltersAreTheReadersItemsThenEveryFile)
{
    const QString all = QStringLiteral("すべてのファイル (*)|*");
    EXPECT_EQ(readerFilter(readerOf(ReaderKind::Excellon)), msg::drillFilesItem() + QLatin1Char('|') + all);
    for (const ReaderKind gerber : {ReaderKind::Standard, ReaderKind::Rs274x, ReaderKind::GerberX2})
        EXPECT_EQ(readerFilter(readerOf(gerber)), msg::gerberFilter()) << gerber.id();
    // A file added to a board: every drill reader's files, each list once, then every file.
    EXPECT_EQ(addedFileFilter(),
        QStringLiteral(
            "ドリルファイル (*.drl *.xln *.txt *.drd *.exc *.nc *.cnc *.ncd *.tap)|"
            "*.drl;*.xln;*.txt;*.drd;*.exc;*.nc;*.cnc;*.ncd;*.tap|ガーバーﾌｧｲﾙ (*.gbr)|*.gbr|"
            "ガーバーﾌｧｲﾙ (*.gbr *.gbx *.ger *.pho *.art *.gtl *.gbl *.gto *.gbo *.gts *.gbs *.gko "
            "*.gm1)|*.gbr;*.gbx;*.ger;*.pho;*.art;*.gtl;*.gbl;*.gto;*.gbo;*.gts;*.gbs;*.gko;*.gm1|")
            + all);
}
