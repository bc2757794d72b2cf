#include "app/aboutbox.h"
#include "app/mainwindow.h"
#include "app/prompts.h"
#include "scripted.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace kivotrek;

TEST(AboutBox, CaptionVersionAndButtons)
{
    test::RecordedPrompts prompts;
    AboutBox about(prompts);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("Kivotrekのﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_EQ(about.titleLabel->text(), QStringLiteral("Kivotrek"));
    EXPECT_EQ(about.versionLabel->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 3.0.1"));
    EXPECT_EQ(about.okButton->text(), QStringLiteral("OK"));
    EXPECT_EQ(about.systemInfoButton->text(), QStringLiteral("ｼｽﾃﾑ情報(&S)..."));
    EXPECT_TRUE(about.okButton->isDefault());
    EXPECT_FALSE(about.isModal());
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
}

TEST(AboutBox, EscapeClosesLikeOk)
{
    test::RecordedPrompts prompts;
    AboutBox about(prompts);
    about.show();
    QTest::keyClick(&about, Qt::Key_Escape);
    EXPECT_FALSE(about.isVisible());
    about.show();
    about.okButton->click();
    EXPECT_FALSE(about.isVisible());
}

TEST(AboutBox, NoSystemInformationToolSaysSo)
{
    test::RecordedPrompts prompts;
    AboutBox about(prompts);
    about.sysInfoPrograms = {QStringLiteral("kivotrek-no-such-program")};
    about.systemInfoButton->click();
    EXPECT_EQ(
        prompts.messages, QStringList({QStringLiteral("Kivotrek: 現時点ではｼｽﾃﾑ情報を使用できません")}));
    QString value = QStringLiteral("x");
    EXPECT_FALSE(AboutBox::registryValue(
        QStringLiteral("HKEY_LOCAL_MACHINE"), QStringLiteral("SOFTWARE"), QStringLiteral("PATH"), &value));
    EXPECT_TRUE(value.isEmpty());
}

TEST(AboutBox, OneModelessBoxAtATime)
{
    MainWindow w;
    w.show();
    w.findChild<QAction*>(QStringLiteral("showAbout"))->trigger();
    w.findChild<QAction*>(QStringLiteral("showAbout"))->trigger();
    int visible = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
        visible += qobject_cast<AboutBox*>(top) && top->isVisible();
    EXPECT_EQ(visible, 1);
    EXPECT_TRUE(w.isEnabled()); // the main window stays usable
}

TEST(AboutBox, EachTextKeepsItsLinesClearOfTheButtons)
{
    test::RecordedPrompts prompts;
    AboutBox box(prompts);
    for (QLabel* l : {box.titleLabel, box.versionLabel, box.descriptionLabel, box.disclaimerLabel}) {
        const QFontMetrics fm(l->font());
        const QStringList lines = l->text().split(QLatin1Char('\n'));
        for (const QString& line : lines)
            EXPECT_LE(fm.horizontalAdvance(line), l->width()) << line.toStdString(); // never wrapped
        EXPECT_GE(l->height(), fm.height() * int(lines.size())) << l->objectName().toStdString();
        EXPECT_LE(l->geometry().right(), box.width());
    }
    // The disclaimer ends left of the OK button: no lone 「す。」 touches it.
    EXPECT_LT(box.disclaimerLabel->geometry().right(), box.okButton->x());
    EXPECT_TRUE(box.disclaimerLabel->text().endsWith(
        QStringLiteral("ています。\n無断で複製・配布することを禁じます。")));
}

TEST(MessageBoxes, LinesBreakAfterPunctuationNeverInsideAWord)
{
    const QFontMetrics fm(QApplication::font());
    const QString text =
        QStringLiteral("/home/user/boards/2026/board-A/top.gbrには描画できる座標がありません。"
                       "ガーバーファイルか確認して下さい。");
    const int width = fm.horizontalAdvance(QStringLiteral("ガーバーファイルか確認して下さい。")) + 2;
    const QString broken = breakLines(text, fm, width);
    EXPECT_EQ(QString(broken).remove(QLatin1Char('\n')), text);
    for (const QString& line : broken.split(QLatin1Char('\n'))) {
        EXPECT_FALSE(line.isEmpty());
        EXPECT_TRUE(line.endsWith(QChar(0x3002)) || line.endsWith(QLatin1Char('/'))
            || line == broken.split(QLatin1Char('\n')).last())
            << line.toStdString();
    }
    EXPECT_TRUE(broken.endsWith(QStringLiteral("\nガーバーファイルか確認して下さい。")));
    // A short text stays on one line.
    EXPECT_EQ(breakLines(QStringLiteral("閉じてもよろしいですか？"), fm, 800),
        QStringLiteral("閉じてもよろしいですか？"));
}
