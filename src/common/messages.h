#pragma once

// What the program says to the user, spelled once: its messages, questions and reports, each a
// function (those with place holders take them as arguments). The words of the windows, their
// captions, commands, list items and filters, are in captions.h, included here.

#include "common/captions.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <algorithm>

namespace kivotrek::msg {

// Hole table check before the preview.
inline QString diameterMissing(const QString& dcode)
{
    return dcode + QStringLiteral("の穴径が未入力です。");
}

inline QString diameterNotANumber(int row, const QString& dcode, const QString& diameter)
{
    return QStringLiteral("行%1（%2）の穴径「%3」を数値として読めません。")
        .arg(QString::number(row), dcode, diameter);
}
// An open preview whose table fails the check: its window says this over the check's texts, and
// so does a save asked for then.
inline QString previewTableIncomplete()
{
    return QStringLiteral("穴種表の次の行を直すまで、図は描けません（直せばすぐに描き直します）。");
}

// Gerber readers.
inline QString negativeCoordinates()
{
    return QStringLiteral("ガーバデータ内に－(マイナス）が在ります。このデータは使用できません");
}
inline QString stepRepeatOrArc()
{
    return QStringLiteral("ステップ＆リピート及び、円弧（ＩＪ）は使用できません。");
}
inline QString unsupportedDigits()
{
    return QStringLiteral("適用フォーマットではありません。開発者にご連絡下さい");
}
inline QString unsupportedFormat()
{
    return QStringLiteral("適用フォーマットではありません。274xリーディングで出力して下さい。");
}
inline QString lineUnreadable(qint64 lineNo)
{
    return QString::number(lineNo)
        + QStringLiteral("行目のデータを読み込めないため、読み込みを中止しました。");
}
inline QString tooManyHoleKinds(qint64 lineNo)
{
    return QStringLiteral("穴種が63を超えたため、") + QString::number(lineNo)
        + QStringLiteral("行目で読み込みを中止しました。");
}
// A count with its thousands grouped: "5,000,000".
inline QString groupedNumber(qint64 n)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::DefaultNumberOptions);
    return c.toString(n);
}

// Limits of the drill readers: the read ends at the line, and what was read before it stays.
inline QString objectLimit(qint64 limit, qint64 lineNo)
{
    return QStringLiteral("穴・長穴・外形の線の数が上限の%1個を超えるため、%2行目で読み込みを中止しました。")
        .arg(groupedNumber(limit), QString::number(lineNo));
}
inline QString lengthLimit(qint64 lineNo)
{
    return QStringLiteral("%1行目からのデータが長さの上限（64 MiB）を超えるため、読み込みを中止しました。")
        .arg(lineNo);
}
inline QString repeatLimit(qint64 limit, qint64 lineNo)
{
    return QStringLiteral("繰り返しで作る穴の数が上限の%1個を超えるため、%2行目で読み込みを中止しました。")
        .arg(groupedNumber(limit), QString::number(lineNo));
}
// A coordinate beyond what a board holds: 32-bit nanometres.
inline QString rangeLimit(qint64 lineNo)
{
    return QStringLiteral("座標が扱える範囲（±2.1 m）を超えるため、%1行目で読み込みを中止しました。")
        .arg(QString::number(lineNo));
}
// A message of a file that could not be read or written ends with the system's reason, where
// there is one, after the message as it always read: 「…を開けませんでした。（Permission denied）」.
// The reason is the system's text in the user's language (strerror under the session's locale).
inline QString withReason(const QString& text, const QString& reason)
{
    if (reason.isEmpty())
        return text;
    return text + QStringLiteral("（") + reason + QStringLiteral("）");
}
inline QString cannotOpen(const QString& path, const QString& reason = QString())
{
    return withReason(path + QStringLiteral("を開けませんでした。"), reason);
}
inline QString readError(const QString& path, const QString& reason = QString())
{
    return withReason(path + QStringLiteral("の読み込み中にエラーが発生しました。"), reason);
}
// A pipe, a device or a folder: read twice (scale, then drawing), it cannot serve.
inline QString notARegularFile(const QString& path)
{
    return path + QStringLiteral("は通常のファイルではないため、読み込めません。");
}

// A file whose first bytes no drill or Gerber file holds (a picture, an archive), for every reader.
inline QString notDrillData(const QString& path)
{
    return path + QStringLiteral("は穴データのファイルではないため、読み込めません。");
}

// The board view's status bar: the cursor's position, the hole under it, a measurement.
inline QString viewPosition(const QString& x, const QString& y)
{
    return QStringLiteral("X %1  Y %2 mm").arg(x, y);
}
inline QString viewHole(bool slot, int row, const QString& dcode, const QString& diameter,
    const QString& tolerancesAndKind, const QString& file, const QString& x, const QString& y)
{
    return (slot ? QStringLiteral("長穴　") : QString())
        + QStringLiteral("行%1 %2 %3 %4　%5　中心 X %6  Y %7 mm")
              .arg(QString::number(row), dcode, diameter, tolerancesAndKind.trimmed(), file, x, y);
}
inline QString viewHoleWithoutRow(const QString& file, const QString& x, const QString& y)
{
    return QStringLiteral("表にないDコードの穴　%1　中心 X %2  Y %3 mm").arg(file, x, y);
}
// Centres apart; edges: between two holes, from edge to edge (empty otherwise).
inline QString viewMeasure(const QString& centres, const QString& edges, const QString& dx, const QString& dy)
{
    return QStringLiteral("測定：中心間 %1 mm").arg(centres)
        + (edges.isEmpty() ? QString() : QStringLiteral("　縁の間 %1 mm").arg(edges))
        + QStringLiteral("　dx %1  dy %2 mm").arg(dx, dy);
}

// Packages: archives and the roles of their files.
inline QString archiveDamaged(const QString& archive, const QString& reason)
{
    return archive + QStringLiteral("はアーカイブとして読めません。")
        + (reason.isEmpty() ? QString() : QStringLiteral("（") + reason + QStringLiteral("）"));
}
inline QString archiveMemberOutside(const QString& archive, const QString& member)
{
    return archive + QStringLiteral("の「") + member
        + QStringLiteral("」は展開先のフォルダの外を指しているため、開けません。");
}
inline QString archiveMemberTooLarge(const QString& archive, const QString& member)
{
    return archive + QStringLiteral("の「") + member
        + QStringLiteral("」は512 MiBを超えるため、開けません。");
}
inline QString archiveTooLarge(const QString& archive)
{
    return archive + QStringLiteral("は展開すると2 GiBを超えるため、開けません。");
}
// More members than a package may hold: the count found, and the most.
inline QString packageTooManyMembers(const QString& package, qint64 count, int most)
{
    return package
        + QStringLiteral("には%1個のファイルがあり、一度に開ける%2個を超えているため、開けません。")
              .arg(groupedNumber(count), groupedNumber(most));
}
// Two members of an archive that end with the same name: the later is kept under another.
inline QString memberRenamed(const QString& archive, const QString& name, const QString& kept)
{
    return archive + QStringLiteral("には「") + name
        + QStringLiteral("」という名前のファイルが他にもあるため、「") + kept
        + QStringLiteral("」として読みました。");
}
inline QString packageCannotUnpack(const QString& archive, const QString& reason)
{
    return archive + QStringLiteral("を展開できませんでした。（") + reason + QStringLiteral("）");
}
inline QString packageWithoutDrillFiles(const QString& package)
{
    return package + QStringLiteral("には穴のファイルがありません。");
}
inline QString packageOfSeveralBoards(const QString& package, const QStringList& boards)
{
    return package + QStringLiteral("には複数の基板（") + boards.join(QStringLiteral("、"))
        + QStringLiteral("）の穴のファイルがあります。基板をひとつ選んで下さい。");
}
inline QString packageHasNoSuchBoard(const QString& package, const QString& board, const QStringList& boards)
{
    return package + QStringLiteral("に基板「") + board + QStringLiteral("」はありません（")
        + boards.join(QStringLiteral("、")) + QStringLiteral("）。");
}
// Why a file of a package has its role.
inline QString whyJobFile(const QString& function)
{
    return QStringLiteral("Gerberジョブファイル ") + function;
}
inline QString whyJobFileItself()
{
    return QStringLiteral("Gerberジョブファイル（役割の一覧）");
}
inline QString whyAttribute(const QString& function)
{
    return QStringLiteral("X2 属性 ") + function;
}
inline QString whyContent(const QString& content, const QString& nameWord)
{
    return QStringLiteral("内容：") + content
        + (nameWord.isEmpty() ? QString() : QStringLiteral("、ファイル名 ") + nameWord);
}
inline QString roundFlashesContent()
{
    return QStringLiteral("円のフラッシュだけのガーバー");
}
// The board view's status bar: the layer under the cursor and its object there.
inline QString layerUnderCursor(const QString& role, const QString& file, const QString& object)
{
    return role + QStringLiteral("（") + file + QStringLiteral("）：") + object;
}
// An outline of a package whose lines close nowhere (their ends more than 2 um apart): kept, said.
inline QString outlineNotClosed(const QString& name)
{
    return QStringLiteral("外形 ") + name
        + QStringLiteral(
            " の線は閉じていません（端が2 µm以内で合わない所があります）。そのまま外形として使います。");
}
// No layer of a package has a closed contour, and none is named the outline surely.
inline QString noClosedOutline(const QString& name)
{
    return QStringLiteral("閉じた輪郭の層がないため、外形なしで読みます（") + name
        + QStringLiteral("は外形にしません）。穴と外形の間隔は調べません。");
}
inline QString whyNoClosedContour()
{
    return QStringLiteral("閉じた輪郭がない");
}
// A layer of the package the board view cannot show: no Gerber picture in it, or its read ended early.
inline QString layerNotShown(const QString& path)
{
    return path + QStringLiteral("は Gerber の絵がないため、層として表示しません。");
}
inline QString layerShownUpTo(const QString& path, qint64 line)
{
    return path + QStringLiteral("の層は") + QString::number(line) + QStringLiteral("行目までを表示します。");
}
// An outline found by its shape among the package's layers.
inline QString whyOutlineShape(bool dropped)
{
    return QStringLiteral("穴を囲む閉じた輪郭")
        + (dropped ? QStringLiteral("（寸法線・文字は除外）") : QString());
}
inline QString outlineByShape(const QString& name, bool dropped)
{
    return QStringLiteral("外形：") + name + QStringLiteral(" の閉じた輪郭")
        + (dropped ? QStringLiteral("（寸法線・文字は除外）") : QString());
}
inline QString whyName(const QString& name)
{
    return QStringLiteral("ファイル名 ") + name;
}
inline QString whyNeither(const QString& suffix)
{
    return QStringLiteral("穴でも外形でもない")
        + (suffix.isEmpty() ? QString() : QStringLiteral("（") + suffix + QStringLiteral("）"));
}
inline QString whyUnreadable()
{
    return QStringLiteral("読めないファイル");
}
inline QString whyNotDrillData()
{
    return QStringLiteral("穴データではない");
}
// An archive inside a package that cannot be opened: passed over, the rest is read.
inline QString whyArchiveUnreadable(const QString& reason)
{
    return QStringLiteral("開けないアーカイブ")
        + (reason.isEmpty() ? QString() : QStringLiteral("（") + reason + QStringLiteral("）"));
}
inline QString whyOfficeDocument()
{
    return QStringLiteral("文書ファイル（展開しない）");
}
inline QString whyArchive()
{
    return QStringLiteral("アーカイブ（中身を展開）");
}
inline QString whySameHoles(const QString& other)
{
    return QStringLiteral("同じ穴：") + other;
}
inline QString whyOtherOutline(const QString& other)
{
    return QStringLiteral("外形は") + other;
}
inline QString whyChosen()
{
    return QStringLiteral("手で選んだ役割");
}
// The package window beside a drill file without holes, instead of a message box at the read.
inline QString memberWithoutHoles()
{
    return QStringLiteral("（穴がありません）");
}
// A recent board opened again: a file put into its folder since is not part of it.
inline QString whyNotInRecentBoard()
{
    return QStringLiteral("前回の基板になかったファイル");
}
inline QString whyOtherBoard(const QString& board)
{
    return board.isEmpty() ? QStringLiteral("選んだ基板のものではない")
                           : QStringLiteral("別の基板：") + board;
}

// Excellon reader: where the format of numbers without a decimal point came from. The format
// reads "INCH 2.4（先頭ゼロ）".
inline QString formatAssumed(const QString& format)
{
    return QStringLiteral("書式の指定がないため、") + format + QStringLiteral("とみなして読みました。");
}
inline QString formatFitted(const QString& format)
{
    return QStringLiteral("書式の指定がないため、外形に合う ") + format + QStringLiteral("で読みました。");
}
inline QString formatFromNcParam(const QString& format)
{
    return QStringLiteral("nc_param.txt の書式 ") + format + QStringLiteral("で読みました。");
}
inline QString formatText(bool inch, int integer, int decimals, int zeros)
{
    static const char* const kZeros[] = {"先頭ゼロ", "末尾ゼロ", "ゼロ省略なし"};
    return QStringLiteral("%1 %2.%3（%4）")
        .arg(QLatin1String(inch ? "INCH" : "METRIC"), QString::number(integer), QString::number(decimals),
            QString::fromUtf8(kZeros[std::clamp(zeros, 0, 2)]));
}

// Excellon reader.
inline QString noOutline(const QString& path)
{
    return path + QStringLiteral("には外形の線がありません。");
}
inline QString noFreeRows(const QString& path, const QString& code)
{
    return QStringLiteral("穴種が63を超えたため、") + path + QStringLiteral("の") + code
        + QStringLiteral("から後は表に入りません。");
}
// A file of the board that changed on disk since it was read, read again at its next use.
inline QString fileReadAgain(const QString& path)
{
    return path + QStringLiteral("は読み込んだ後に変更されていたため、読み直しました。");
}
// A file of the board that can no longer be read (gone, or not readable now): the board keeps
// what its read found.
inline QString fileNoLongerReadable(const QString& path)
{
    return path
        + QStringLiteral("は読み込んだ後に読めなくなりました。読み込んだときの内容のまま表示します。");
}
// What the new read of a changed file no longer holds: those D-codes' rows were taken out.
inline QString codesDropped(const QString& path, const QStringList& codes)
{
    return path + QStringLiteral("を読み直すと、") + codes.join(QStringLiteral("、"))
        + QStringLiteral("がなくなっていました。その行は表から外しました。");
}
inline QString cannotAddToGerberBoard()
{
    return QStringLiteral("標準ガーバ・274xガーバで読み込んだ図面にはファイルを追加できません。"
                          "Excellonドリルか Gerber X2 ドリル/外形の読み込みで読み直して下さい。");
}
// Holes spread far wider (times) or far narrower (part) than the outline: one of the two is given.
inline QString holesOutOfScale(const QString& holesWidth, const QString& holesHeight,
    const QString& outlineWidth, const QString& outlineHeight, const QString& times, const QString& part)
{
    return QStringLiteral("穴の範囲（%1 × %2 mm）が外形（%3 × %4 mm）の")
               .arg(holesWidth, holesHeight, outlineWidth, outlineHeight)
        + (times.isEmpty() ? part + QStringLiteral("分の1しかありません。")
                           : times + QStringLiteral("倍あります。"))
        + QStringLiteral("ファイルの形式（桁数・単位）が正しいか確かめて下さい。");
}
inline QString holesOutsideOutline(qint64 count, const QString& file, const QString& x, const QString& y)
{
    return QStringLiteral("%1個の穴が外形から1 mm以上外れています（最初は%2の X %3, Y %4 mm）。"
                          "ファイルの形式（桁数・単位）が正しいか確かめて下さい。")
        .arg(QString::number(count), file, x, y);
}
inline QString outlineTooCrowded()
{
    return QStringLiteral(
        "外形の線が多数重なり合っているため、一部の穴は外形を囲む枠だけで外れを調べました。");
}
// Canned text of an Excellon program (M97, M98): the machine drills letters the file does not
// draw. Said once per file, with the first such line.
inline QString cannedTextNotDrawn(qint64 lineNo, const QString& code)
{
    return QStringLiteral("%1行目の文字の穴あけ（%2）は描いていません。").arg(lineNo).arg(code);
}
inline QString linesSkipped(qint64 count, qint64 firstLine)
{
    return QStringLiteral("読み込めない行が%1行あったため、読み飛ばしました（最初は%2行目）。")
        .arg(count)
        .arg(firstLine);
}
inline QString noHoles(const QString& path)
{
    return path + QStringLiteral("には穴がありません。");
}

// Unsaved work: asked before the window closes, before 新規 and before another board is read.
inline QString unsavedChanges()
{
    return QStringLiteral("設定ファイルに保存されていない変更があります。保存しますか？");
}
// ファイルを外す: which of the board's files.
inline QString chooseFileToRemove()
{
    return QStringLiteral("外すファイルを選んで下さい。");
}
inline QString outlineFileItem(const QString& path)
{
    return path + QStringLiteral("（外形）");
}
inline QString fileAlreadyInBoard(const QString& path)
{
    return path + QStringLiteral("はすでに読み込んであります。");
}
// 閉じる.
inline QString closeQuestion()
{
    return QStringLiteral("閉じてもよろしいですか？");
}

// Printing.
inline QString setDefaultPrinter()
{
    return QStringLiteral("デフォルトに設定するプリンターをセットしてください。");
}
inline QString noPrinter()
{
    return QStringLiteral("印刷できるプリンターがありません。プリンターを設定してから印刷して下さい。");
}
inline QString cannotStartPrinting(const QString& printer)
{
    return QStringLiteral("プリンター") + printer + QStringLiteral("で印刷を開始できませんでした。");
}
inline QString sizeNotANumber(const QString& size)
{
    return QStringLiteral("サイズ「") + size
        + QStringLiteral("」は数値ではありません。自動(A4縦)などを選ぶか、倍率を数値で入力して下さい。");
}

// A percentage that puts the board past the paper, by its width or its height in millimetres.
inline QString boardDoesNotFit(bool height, int board, int paper)
{
    return QStringLiteral("基板が用紙に収まりません（%1 %2 mm、用紙 %3 mm）。")
        .arg(height ? QStringLiteral("高さ") : QStringLiteral("幅"), QString::number(board),
            QString::number(paper));
}
inline QString printAnyway()
{
    return QStringLiteral("このまま印刷しますか？");
}
inline QString saveAnyway()
{
    return QStringLiteral("このまま保存しますか？");
}

// Drawing, on screen and on paper.
inline QString drawingStopped(qint64 lineNo)
{
    return QString::number(lineNo) + QStringLiteral("行目のデータを描画できないため、描画を中止しました。");
}
inline QString drawingStoppedSomewhere()
{
    return QStringLiteral("描画できないデータがあったため、描画を中止しました。");
}
inline QString noFileRead()
{
    return QStringLiteral("ガーバーファイルが読み込まれていません。先にファイルを読み込んで下さい。");
}
inline QString nothingToDraw(const QString& path)
{
    return path + QStringLiteral("には描画できる座標がありません。ガーバーファイルか確認して下さい。");
}

// Saving the picture or the page.
inline QString cannotOverwriteDrawnFile(const QString& path)
{
    return path + QStringLiteral("は表示中のガーバーファイルです。別の名前で保存して下さい。");
}
// An output named like one of the files it is made from (a drill file, the outline, the
// settings file, the logo).
inline QString inputAsOutput(const QString& path)
{
    return path + QStringLiteral("は読み込むファイルです。別の名前を指定して下さい。");
}
// A long drawing (printing or saving a large board).
inline QString drawingProgress()
{
    return QStringLiteral("図を描いています…");
}
inline QString cannotSave(const QString& path, const QString& reason = QString())
{
    return withReason(path + QStringLiteral("に保存できませんでした。"), reason);
}

// Settings file.
inline QString settingsSaved(const QString& path)
{
    return path + QStringLiteral("に設定ファイルを保存しました。");
}
inline QString cannotSaveSettings(const QString& path, const QString& reason = QString())
{
    return withReason(
        QStringLiteral("設定ファイル") + path + QStringLiteral("を保存できませんでした。"), reason);
}
inline QString cannotReadSettings(const QString& path, const QString& reason = QString())
{
    return withReason(
        QStringLiteral("設定ファイル") + path + QStringLiteral("を読み込めませんでした。"), reason);
}
// Why a file that opened is no settings file.
inline QString notSettingsData()
{
    return QStringLiteral("設定ファイルの形式ではありません");
}
// The fields of a row in the settings file, by their slot: D-code, diameter, the tolerances'
// signs and values, kind, colour.
inline QString settingsFieldName(int slot)
{
    static const char* const names[] = {
        "Dコード", "穴径", "公差1の符号", "公差1", "公差2の符号", "公差2", "TH/NTH", "色"};
    return slot >= 0 && slot < 8 ? QString::fromUtf8(names[slot]) : QString();
}
// "行3（T3）の公差1の符号", or for a free row "行3の穴径".
inline QString rowField(int row, const QString& dcode, const QString& field)
{
    return QStringLiteral("行") + QString::number(row)
        + (dcode.isEmpty() ? QString() : QStringLiteral("（") + dcode + QStringLiteral("）"))
        + QStringLiteral("の") + field;
}
inline QString productCodeField()
{
    return QStringLiteral("製品コード");
}
// Each character that code page 932 cannot hold, quoted once, with the field that holds it.
inline QString unsavableText(const QString& place, const QStringList& characters)
{
    QString quoted;
    for (const QString& c : characters)
        quoted += QStringLiteral("「") + c + QStringLiteral("」");
    return place + QStringLiteral("に保存できない文字が含まれています：") + quoted;
}
// A settings file that does not fit the board it is loaded over: one line a difference.
inline QString settingsChangeDCode(int row, const QString& dcode, const QString& to)
{
    return QStringLiteral("行%1 %2：Dコード %2 → %3")
        .arg(QString::number(row), dcode, to.isEmpty() ? QStringLiteral("（なし）") : to);
}
inline QString settingsChangeDiameter(int row, const QString& dcode, const QString& from, const QString& to)
{
    return QStringLiteral("行%1 %2：穴径 %3 → %4")
        .arg(QString::number(row), dcode, from, to.isEmpty() ? QStringLiteral("（なし）") : to);
}
inline QString settingsAddRow(int row, const QString& dcode)
{
    return QStringLiteral("行%1 %2：ファイルにないDコード").arg(QString::number(row), dcode);
}
inline QString settingsDoNotFit(const QString& path)
{
    return QStringLiteral("設定ファイル%1は読み込んだファイルと合いません：").arg(path);
}
// The question before loading: the first differences, how many more, and whether to load anyway.
inline QString settingsDoNotFitQuestion(const QString& path, const QStringList& lines, int shown)
{
    QString text = settingsDoNotFit(path) + QLatin1Char('\n');
    for (int i = 0; i < lines.size() && i < shown; ++i)
        text += lines[i] + QLatin1Char('\n');
    if (lines.size() > shown)
        text += QStringLiteral("（ほか%1件）\n").arg(lines.size() - shown);
    return text + QStringLiteral("それでも読み込みますか？");
}
inline QString textTooLong(const QString& place)
{
    return place + QStringLiteral("が65535バイトを超えるため保存できません。");
}

// About box.
inline QString sysInfoUnavailable()
{
    return QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");
}

// The main window's read status, one line under the messages: how the latest read of the board
// ended (a file's or a package's name), then what the messages panel holds.
inline QString readStatusComplete(const QString& name)
{
    return name + QStringLiteral("を読み込みました。");
}
inline QString readStatusStopped(const QString& name)
{
    return name + QStringLiteral("の読み込みを途中で中止しました。");
}
inline QString readStatusFailed(const QString& name)
{
    return name + QStringLiteral("を読み込めませんでした。");
}
// "エラー 1件・警告 2件（下の一覧）": the kinds there are, the worst first; empty when none.
inline QString messagesCount(int errors, int warnings, int informations)
{
    QStringList parts;
    if (errors > 0)
        parts << errorSeverity() + QStringLiteral(" %1件").arg(errors);
    if (warnings > 0)
        parts << warningSeverity() + QStringLiteral(" %1件").arg(warnings);
    if (informations > 0)
        parts << informationSeverity() + QStringLiteral(" %1件").arg(informations);
    if (parts.isEmpty())
        return QString();
    return parts.join(QStringLiteral("・")) + QStringLiteral("（下の一覧）");
}

} // namespace kivotrek::msg
