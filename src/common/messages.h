#pragma once

// Every text the program shows to the user, spelled once. Texts with a place holder
// are functions; the rest are constants.

#include <QString>

namespace kivotrek::msg {

// Caption of every message box that names no other caption.
inline QString title()
{
    return QStringLiteral("Kivotrek");
}

// Hole table check before the preview.
inline QString diameterMissing(const QString& dcode)
{
    return dcode + QStringLiteral("の穴径が未入力です。");
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
inline QString cannotOpen(const QString& path)
{
    return path + QStringLiteral("を開けませんでした。");
}
inline QString readError(const QString& path)
{
    return path + QStringLiteral("の読み込み中にエラーが発生しました。");
}

// Main window.
inline QString mainCaption()
{
    return QStringLiteral("穴区分け図");
}
inline QString gerberFilter()
{
    return QStringLiteral("ガーバーﾌｧｲﾙ (*.gbr)|*.gbr");
}
inline QString closeQuestion()
{
    return QStringLiteral("閉じてもよろしいですか？");
}
inline QString closeCaption()
{
    return QStringLiteral("Yes NO");
}

// Printing.
inline QString setDefaultPrinter()
{
    return QStringLiteral("デフォルトに設定するプリンターをセットしてください。");
}

// Preview window.
inline QString previewCaption()
{
    return QStringLiteral("プレビュー");
}
inline QString bitmapFilter()
{
    return QStringLiteral("ビットマップファイル (*.bmp)|*.bmp");
}
inline QString cannotSave(const QString& path)
{
    return path + QStringLiteral("に保存できませんでした。");
}

// Settings file.
inline QString settingsSaved(const QString& path)
{
    return path + QStringLiteral("に設定ファイルを保存しました。");
}
inline QString cannotSaveSettings(const QString& path)
{
    return QStringLiteral("設定ファイル") + path + QStringLiteral("を保存できませんでした。");
}
inline QString cannotReadSettings(const QString& path)
{
    return QStringLiteral("設定ファイル") + path + QStringLiteral("を読み込めませんでした。");
}
inline QString unsavableText(const QString& text)
{
    return QStringLiteral("保存できない文字が含まれています：") + text;
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
inline QString sysInfoUnavailable()
{
    return QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");
}

} // namespace kivotrek::msg
