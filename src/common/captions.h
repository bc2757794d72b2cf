#pragma once

// The words of the windows and the drawing, spelled once: captions, menu commands, labels,
// buttons, list items, file filters and headings. What the program says (its messages and
// questions) is in messages.h. Every text is a function, so that no text is built before Qt is.

#include <QString>
#include <QStringList>

namespace kivotrek::msg {

// Caption of the main window, of every message box that names no other caption, and the
// program's name where a window shows it.
inline QString title()
{
    return QStringLiteral("Kivotrek");
}

// File filters: "description (patterns)|patterns" items, joined by "|". The first item is the
// dialog's default.
inline QString filterItem(const QString& description, const QStringList& patterns)
{
    return description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QStringLiteral(")|")
        + patterns.join(QLatin1Char(';'));
}
inline QString allFilesItem()
{
    return filterItem(QStringLiteral("すべてのファイル"), {QStringLiteral("*")});
}
// The common extensions of Gerber files, after the one of the form's own.
inline QString gerberFilesItems()
{
    const QString gerber = QStringLiteral("ガーバーﾌｧｲﾙ");
    return filterItem(gerber, {QStringLiteral("*.gbr")}) + QLatin1Char('|')
        + filterItem(gerber,
            {QStringLiteral("*.gbr"), QStringLiteral("*.gbx"), QStringLiteral("*.ger"),
                QStringLiteral("*.pho"), QStringLiteral("*.art"), QStringLiteral("*.gtl"),
                QStringLiteral("*.gbl"), QStringLiteral("*.gto"), QStringLiteral("*.gbo"),
                QStringLiteral("*.gts"), QStringLiteral("*.gbs"), QStringLiteral("*.gko"),
                QStringLiteral("*.gm1")});
}
inline QString drillFilesItem()
{
    return filterItem(QStringLiteral("ドリルファイル"),
        {QStringLiteral("*.drl"), QStringLiteral("*.xln"), QStringLiteral("*.txt"), QStringLiteral("*.drd"),
            QStringLiteral("*.exc"), QStringLiteral("*.nc"), QStringLiteral("*.cnc"), QStringLiteral("*.ncd"),
            QStringLiteral("*.tap")});
}
inline QString gerberFilter()
{
    return gerberFilesItems() + QLatin1Char('|') + allFilesItem();
}
// The roles of a package's files.
inline QString platedRole()
{
    return QStringLiteral("メッキ穴");
}
inline QString nonPlatedRole()
{
    return QStringLiteral("メッキなし穴");
}
inline QString mixedDrillRole()
{
    return QStringLiteral("穴（メッキ混在）");
}
inline QString outlineRole()
{
    return QStringLiteral("外形");
}
inline QString unusedRole()
{
    return QStringLiteral("使わない");
}
// The package window.
inline QString packageCaption()
{
    return QStringLiteral("パッケージの中身");
}
inline QString packageColumns()
{
    return QStringLiteral("ファイル|役割|理由|層");
}
inline QString packageBoardLabel()
{
    return QStringLiteral("基板:");
}
inline QString packageArchivesItem()
{
    return filterItem(QStringLiteral("パッケージ"),
        {QStringLiteral("*.zip"), QStringLiteral("*.7z"), QStringLiteral("*.rar"), QStringLiteral("*.tar"),
            QStringLiteral("*.tgz"), QStringLiteral("*.tar.gz"), QStringLiteral("*.tar.bz2"),
            QStringLiteral("*.tar.xz")});
}
// A package: an archive, or any file of a folder (its folder is the package).
inline QString packageFilter()
{
    return packageArchivesItem() + QLatin1Char('|')
        + filterItem(QStringLiteral("フォルダ内のファイル（そのフォルダを開く）"), {QStringLiteral("*")});
}

// The outline of a board: the names that mark one first (patterns), then Gerber files.
inline QString outlineFilter(const QStringList& outlineNames)
{
    return filterItem(QStringLiteral("外形ファイル"), outlineNames) + QLatin1Char('|') + gerberFilter();
}
inline QString bitmapFilter()
{
    return filterItem(QStringLiteral("ビットマップファイル"), {QStringLiteral("*.bmp")});
}
inline QString pdfFilter()
{
    return filterItem(QStringLiteral("PDFファイル"), {QStringLiteral("*.pdf")});
}
inline QString svgFilter()
{
    return filterItem(QStringLiteral("SVGファイル"), {QStringLiteral("*.svg")});
}
inline QString pngFilter()
{
    return filterItem(QStringLiteral("PNGファイル"), {QStringLiteral("*.png")});
}
inline QString drillTableFilter()
{
    return filterItem(QStringLiteral("CSVファイル"), {QStringLiteral("*.csv")});
}

// Main window.
inline QString mainCaption()
{
    return QStringLiteral("穴区分け図");
}
// The headings over the hole table's columns.
inline QString diameterHeading()
{
    return QStringLiteral("穴径");
}
inline QString toleranceHeading()
{
    return QStringLiteral("公差");
}
inline QString kindHeading()
{
    return QStringLiteral("TH NTH");
}
// The line of totals under the hole table.
inline QString holeTotals(qint64 th, qint64 nth, qint64 other, qint64 all)
{
    return QStringLiteral("穴数　TH %1　NTH %2　その他 %3　合計 %4")
        .arg(QString::number(th), QString::number(nth), QString::number(other), QString::number(all));
}
inline QString productCodeLabel()
{
    return QStringLiteral("製品コード");
}
inline QString sizeLabel()
{
    return QStringLiteral("サイズ");
}
inline QString percentLabel()
{
    return QStringLiteral("％");
}
// The file box of a board of several files: the first path, " ＋ " and the other files' names,
// the outline's as " ＋ 外形 name"; its tooltip names the outline's path "外形: path".
inline QString addedFileInBox(const QString& name)
{
    return QStringLiteral(" ＋ ") + name;
}
inline QString outlineInBox(const QString& name)
{
    return QStringLiteral(" ＋ 外形 ") + name;
}
inline QString outlineInTip(const QString& path)
{
    return QStringLiteral("外形: ") + path;
}

// The main window's menus and commands.
inline QString fileMenu()
{
    return QStringLiteral("ファイル");
}
inline QString newBoardCommand()
{
    return QStringLiteral("新規");
}
inline QString openPackageCommand()
{
    return QStringLiteral("パッケージを開く（フォルダ・アーカイブ）");
}
inline QString recentFilesMenu()
{
    return QStringLiteral("最近使ったファイル");
}
// A menu's or command's caption with its access key, as Japanese programs show it: "ファイル(F)".
inline QString withAccessKey(const QString& caption, char key)
{
    return caption + QStringLiteral("(&") + QLatin1Char(key) + QLatin1Char(')');
}
inline QString readStandardGerberCommand()
{
    return QStringLiteral("標準ガーバの読み込み(F4.3)");
}
inline QString readRs274xCommand()
{
    return QStringLiteral("274xガーバ読み込み");
}
inline QString readExcellonCommand()
{
    return QStringLiteral("Excellonドリルの読み込み");
}
inline QString readGerberX2Command()
{
    return QStringLiteral("Gerber X2 ドリル/外形の読み込み");
}
inline QString addDrillFileCommand()
{
    return QStringLiteral("ドリルファイルの追加");
}
inline QString readOutlineCommand()
{
    return QStringLiteral("外形ファイルの読み込み");
}
inline QString removeFileCommand()
{
    return QStringLiteral("ファイルを外す");
}
inline QString readSettingsCommand()
{
    return QStringLiteral("前回の設定ファイルの読み込み");
}
inline QString saveDrillTableCommand()
{
    return QStringLiteral("穴数一覧の保存 (CSV)");
}
inline QString viewMenu()
{
    return QStringLiteral("表示");
}
inline QString countsInLegendCommand()
{
    return QStringLiteral("凡例に穴数を表示");
}
inline QString symbolsCommand()
{
    return QStringLiteral("記号で描く（白黒印刷向け）");
}
inline QString printCommand()
{
    return QStringLiteral("印刷");
}
inline QString helpMenu()
{
    return QStringLiteral("ヘルプ");
}
inline QString aboutCommand()
{
    return QStringLiteral("バージョン情報");
}
// The help command, and the caption of the help window it opens.
inline QString helpCaption()
{
    return title() + QStringLiteral(" ヘルプ");
}
inline QString saveSettingsCommand()
{
    return QStringLiteral("設定ファイルの保存");
}
// Closes the main window, and the preview window.
inline QString closeCommand()
{
    return QStringLiteral("閉じる");
}

// Buttons and captions of the questions.
inline QString saveButton()
{
    return QStringLiteral("保存");
}
inline QString discardButton()
{
    return QStringLiteral("保存しない");
}
inline QString closeCaption()
{
    return QStringLiteral("Yes NO");
}
inline QString cancelCaption()
{
    return QStringLiteral("キャンセル");
}

// Preview window.
inline QString previewCaption()
{
    return QStringLiteral("プレビュー");
}
inline QString bitmapExportCommand()
{
    return QStringLiteral("BitmapExport");
}
inline QString savePdfCommand()
{
    return QStringLiteral("PDFに保存");
}
inline QString saveSvgCommand()
{
    return QStringLiteral("SVGに保存");
}
inline QString measureCommand()
{
    return QStringLiteral("測定");
}
inline QString saveViewCommand()
{
    return QStringLiteral("表示範囲をPNGに保存");
}
inline QString savePngCommand()
{
    return QStringLiteral("PNGに保存");
}

// The kinds of the hole table's rows, as its boxes list them and the legend shows them. Shown
// only: the settings file and the outputs write each kind by a name of its own (HoleKind).
inline QString platedKind()
{
    return QStringLiteral("TH");
}
inline QString nonPlatedKind()
{
    return QStringLiteral("NTH");
}
inline QString outlineKind()
{
    return QStringLiteral("外形");
}

// The hole list (CSV): its heading line and the first field of its line of totals.
inline QString drillTableHeadings()
{
    return QStringLiteral("行,Dコード,ファイル,穴径,公差1,公差2,TH/NTH,穴数,長穴数");
}
inline QString totalsRowLabel()
{
    return QStringLiteral("合計");
}

// About box.
inline QString aboutCaption(const QString& title)
{
    return title + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報");
}
inline QString versionText(int major, int minor, int revision)
{
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ %1.%2.%3").arg(major).arg(minor).arg(revision);
}
inline QString aboutDescription()
{
    return QStringLiteral("ガーバーの穴データから穴区分け図を作成し、表示・印刷します。");
}
inline QString aboutWarning()
{
    return QStringLiteral("警告: このプログラムは著作権法により保護されています。\n"
                          "無断で複製・配布することを禁じます。");
}
inline QString okButton()
{
    return QStringLiteral("OK");
}
inline QString systemInfoButton()
{
    return QStringLiteral("ｼｽﾃﾑ情報(&S)...");
}

// Drill checks (表示 → 穴チェック).
inline QString checkWindowCaption()
{
    return QStringLiteral("穴チェック");
}
inline QString checkHolesCommand()
{
    return QStringLiteral("穴チェック");
}
inline QString checkRunCommand()
{
    return QStringLiteral("チェック");
}
inline QString checkSaveCsvCommand()
{
    return QStringLiteral("CSVに保存");
}
inline QString checkSpacingLabel()
{
    return QStringLiteral("穴の間隔（縁から縁）");
}
inline QString checkEdgeLabel()
{
    return QStringLiteral("外形との距離");
}
inline QString checkDrillLabel()
{
    return QStringLiteral("最小穴径");
}
inline QString checkRatioLabel()
{
    return QStringLiteral("長穴の長さ／幅");
}
inline QStringList checkColumns()
{
    return {QStringLiteral("種類"), QStringLiteral("行"), QStringLiteral("X (mm)"), QStringLiteral("Y (mm)"),
        QStringLiteral("値"), QStringLiteral("限度"), QStringLiteral("ファイル")};
}
// The captions of the tool's own kind and of its file's.
inline QString checkPlatingValue(const QString& toolKind, const QString& fileKind)
{
    return QStringLiteral("工具 %1・ファイル %2").arg(toolKind, fileKind);
}
inline QString checkLimitWord()
{
    return QStringLiteral("限度");
}
inline QString checkFound(qint64 count, const QString& perKind)
{
    return QStringLiteral("問題が%1件見つかりました（%2）。").arg(count).arg(perKind);
}
inline QString checkStale()
{
    return QStringLiteral("穴種表が変わりました。「チェック」で調べ直して下さい。");
}
inline QString checkStackedTitle()
{
    return QStringLiteral("同じ位置の穴");
}
inline QString checkOverlapTitle()
{
    return QStringLiteral("重なった穴");
}
inline QString checkOutlineCutTitle()
{
    return QStringLiteral("外形にかかる穴");
}
inline QString checkSpacingTitle()
{
    return QStringLiteral("穴の間隔が狭い");
}
inline QString checkEdgeTitle()
{
    return QStringLiteral("外形に近い穴");
}
inline QString checkMinDrillTitle()
{
    return QStringLiteral("最小穴径より小さい");
}
inline QString checkToolSizeTitle()
{
    return QStringLiteral("ファイルの穴径と違う");
}
inline QString checkSlotRatioTitle()
{
    return QStringLiteral("短い長穴");
}
inline QString checkPlatingTitle()
{
    return QStringLiteral("メッキの指定が違う");
}
inline QString checkRow(int row, const QString& dcode)
{
    return QStringLiteral("行%1 %2").arg(row).arg(dcode);
}
inline QString checkWithoutOutline()
{
    return QStringLiteral("外形がないため、外形との距離は調べていません。");
}
inline QString checkTruncated(qint64 limit)
{
    return QStringLiteral("見つかった問題が%1件に達したため、チェックを打ち切りました。").arg(limit);
}
inline QString checkCrowded()
{
    return QStringLiteral("穴・長穴・外形の線が多数重なり合う箇所があるため、チェックを途中で打ち切りました。"
                          "一覧は途中までです。");
}
inline QString checkWithoutDiameter(const QStringList& codes)
{
    return QStringLiteral("穴径のない行（%1）の穴は、中心の位置だけで調べました。")
        .arg(codes.join(QStringLiteral(", ")));
}
inline QString checkNothingFound()
{
    return QStringLiteral("問題は見つかりませんでした。");
}
inline QString checkCsvHeader()
{
    return QStringLiteral("種類,行,Dコード,ファイル,X,Y,X2,Y2,値,限度");
}

// The main window's messages panel, under the table: what the reads, the drawings and the checks
// of the board said, one line each.
inline QStringList messagesColumns()
{
    return {QStringLiteral("種別"), QStringLiteral("ファイル"), QStringLiteral("行"), QStringLiteral("内容")};
}
inline QString informationSeverity()
{
    return QStringLiteral("情報");
}
inline QString warningSeverity()
{
    return QStringLiteral("警告");
}
inline QString errorSeverity()
{
    return QStringLiteral("エラー");
}
inline QString clearMessagesCommand()
{
    return QStringLiteral("メッセージを消去");
}

// The board view's list of layers: its title and columns, its buttons, the colour dialog.
inline QString layerListTitle()
{
    return QStringLiteral("層");
}
inline QStringList layerListColumns()
{
    return {QStringLiteral("層"), QStringLiteral("ファイル")};
}
inline QString layerUpButton()
{
    return QStringLiteral("上へ");
}
inline QString layerDownButton()
{
    return QStringLiteral("下へ");
}
inline QString layerColourButton()
{
    return QStringLiteral("色…");
}
inline QString layerColourCaption()
{
    return QStringLiteral("層の色");
}

} // namespace kivotrek::msg
