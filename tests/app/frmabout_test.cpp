#include "app/form1.h"
#include "app/frmabout.h"
#include "scripted.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace kivotrek;

TEST(frmAbout, CaptionVersionAndButtons)
{
    test::RecordedPrompts prompts;
    frmAbout about(prompts);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("Kivotrekのﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_EQ(about.lblTitle->text(), QStringLiteral("Kivotrek"));
    EXPECT_EQ(about.lblVersion->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 3.0.1"));
    EXPECT_EQ(about.cmdOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(about.cmdSysInfo->text(), QStringLiteral("ｼｽﾃﾑ情報(&S)..."));
    EXPECT_TRUE(about.cmdOK->isDefault());
    EXPECT_FALSE(about.isModal());
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
}

TEST(frmAbout, EscapeClosesLikeOk)
{
    test::RecordedPrompts prompts;
    frmAbout about(prompts);
    about.show();
    QTest::keyClick(&about, Qt::Key_Escape);
    EXPECT_FALSE(about.isVisible());
    about.show();
    about.cmdOK->click();
    EXPECT_FALSE(about.isVisible());
}

TEST(frmAbout, NoSystemInformationToolSaysSo)
{
    test::RecordedPrompts prompts;
    frmAbout about(prompts);
    about.sysInfoPrograms = {QStringLiteral("kivotrek-no-such-program")};
    about.cmdSysInfo->click();
    EXPECT_EQ(
        prompts.messages, QStringList({QStringLiteral("Kivotrek: 現時点ではｼｽﾃﾑ情報を使用できません")}));
    QString value = QStringLiteral("x");
    EXPECT_FALSE(frmAbout::GetKeyValue(
        QStringLiteral("HKEY_LOCAL_MACHINE"), QStringLiteral("SOFTWARE"), QStringLiteral("PATH"), &value));
    EXPECT_TRUE(value.isEmpty());
}

TEST(frmAbout, OneModelessBoxAtATime)
{
    Form1 w;
    w.show();
    w.menuAction(QStringLiteral("help"))->trigger();
    w.menuAction(QStringLiteral("help"))->trigger();
    int visible = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
        visible += qobject_cast<frmAbout*>(top) && top->isVisible();
    EXPECT_EQ(visible, 1);
    EXPECT_TRUE(w.isEnabled()); // the main window stays usable
}
