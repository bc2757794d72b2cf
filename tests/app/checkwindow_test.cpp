// 表示 → 穴チェック: the findings of the board in their window, a finding shown in the view.

#include "app/boardviewwidget.h"
#include "app/checkwindow.h"
#include "app/previewwindow.h"
#include "checks/checkregistry.h"
#include "scripted.h"
#include "testutil.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
using Window = test::TestWindow;

// The limits as they are at first: each test starts from them.
void forgetLimits()
{
    QSettings settings = MainWindow::viewSettings();
    settings.remove(QStringLiteral("checks"));
    settings.sync();
}

// The sample board of three files: two small holes overlap larger ones.
void openSampleBoard(Window& w)
{
    w->openFiles({test::example("board-PTH.drl"), test::example("board-NPTH.drl"),
        test::example("board-Edge_Cuts.gbr")});
}
} // namespace

TEST(CheckWindow, ListsTheFindingsAndShowsTheChosenOneInTheView)
{
    forgetLimits();
    Window w;
    openSampleBoard(w);
    w.action(QStringLiteral("checkHoles"))->trigger();
    CheckWindow* checks = w->checkWindow();
    ASSERT_TRUE(checks);
    EXPECT_TRUE(checks->isVisible());
    EXPECT_EQ(checks->windowTitle(), QStringLiteral("穴チェック"));
    EXPECT_EQ(checks->summaryLabel->text(), QStringLiteral("問題が2件見つかりました（重なった穴 2）。"));
    QAbstractItemModel* model = checks->list->model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(0, 0).data().toString(), QStringLiteral("重なった穴"));
    EXPECT_EQ(model->index(0, 1).data().toString(), QStringLiteral("行1 T1 / 行8 T8"));
    EXPECT_EQ(model->index(0, 2).data().toString(), QStringLiteral("187.500"));
    EXPECT_EQ(model->index(0, 4).data().toString(), QStringLiteral("-0.300 mm"));
    EXPECT_EQ(model->index(0, 6).data().toString(), QStringLiteral("board-PTH.drl"));

    // Choosing it opens the preview zoomed to the two holes, ringed, and tells it.
    checks->list->setCurrentIndex(model->index(0, 0));
    PreviewWindow* preview = w->previewWindow();
    ASSERT_TRUE(preview);
    BoardViewWidget* view = preview->boardView();
    ASSERT_EQ(view->overlay().finding.size(), 2u);
    EXPECT_EQ(view->overlay().finding[0].first, QPointF(187.5, -67.5));
    EXPECT_DOUBLE_EQ(view->overlay().finding[1].second, 0.65); // the 1.30 mm hole's radius
    EXPECT_EQ(preview->statusBar()->currentMessage(),
        QStringLiteral("重なった穴　行1 T1 / 行8 T8　-0.300 mm（限度 0.000 mm）"));
    QApplication::processEvents(); // laid out: the finding stays in the middle
    const QPointF centre = view->transform().toView(187.75, -67.5);
    EXPECT_NEAR(centre.x(), view->renderer().boardArea(QSizeF(view->size())).center().x(), 1.0);
    EXPECT_GT(view->transform().scale, 50); // zoomed in from the whole board's few pixels a mm
}

TEST(CheckWindow, ChecksStoppedWhereRoutesPileUpNeverSayNothingWasFound)
{
    forgetLimits();
    test::Scratch scratch;
    Window w;
    w->openFiles({scratch.write(QStringLiteral("piled.drl"), test::piledRoutes())});
    w->showChecks();
    CheckWindow* checks = w->checkWindow();
    ASSERT_TRUE(checks);
    EXPECT_TRUE(checks->report().crowded);
    EXPECT_EQ(checks->report().total(), 0);
    const QString summary = checks->summaryLabel->text();
    EXPECT_FALSE(summary.contains(QStringLiteral("問題は見つかりませんでした。"))) << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("穴・長穴・外形の線が多数重なり合う箇所があるため、チェックを"
                                                "途中で打ち切りました。一覧は途中までです。")))
        << summary.toStdString();
}

TEST(CheckWindow, NothingFoundLimitsRememberedCheckedAgainAfterAnEditAndSavedAsCsv)
{
    forgetLimits();
    test::Scratch scratch;
    {
        Window w;
        w->openFiles({test::example("board-NPTH.drl")});
        w->showChecks();
        CheckWindow* checks = w->checkWindow();
        ASSERT_TRUE(checks);
        EXPECT_EQ(checks->summaryLabel->text(),
            QStringLiteral("問題は見つかりませんでした。\n外形がないため、外形との距離は調べていません。"));
        EXPECT_FALSE(checks->list->isVisibleTo(checks));
        // A house that drills nothing under 3 mm: the 2.00 and 2.50 mm rows.
        checks->limitBox("minDrill")->setValue(3.0);
        checks->checkButton->click();
        EXPECT_EQ(checks->report().counts[size_t(CheckKind::MinDrill)], 2);
        EXPECT_TRUE(checks->list->isVisibleTo(checks));
        // The table edited: the checks run again once the typing pauses, never a list of the
        // table before (a 3.5 mm row is no longer under the smallest drill).
        w.diameterEdit(0)->setText(QStringLiteral("3.5"));
        EXPECT_EQ(checks->report().counts[size_t(CheckKind::MinDrill)], 2); // not at every keystroke
        test::waitForFollow();
        EXPECT_EQ(checks->report().counts[size_t(CheckKind::MinDrill)], 1);
        EXPECT_FALSE(
            checks->summaryLabel->text().contains(QStringLiteral("「チェック」で調べ直して下さい。")));
        // Saved as CSV where the dialog says.
        const QString csv = scratch.path(QStringLiteral("findings.csv"));
        w.dialog->files.push_back(csv);
        checks->saveButton->click();
        const QByteArray saved = test::readAll(csv);
        EXPECT_TRUE(saved.startsWith("\xEF\xBB\xBF" + QStringLiteral("種類,行,").toUtf8()));
        EXPECT_EQ(saved.count('\n'), 3);
        EXPECT_TRUE(w.prompts->messages.isEmpty())
            << w.prompts->messages.join(QLatin1Char('\n')).toStdString();
    }
    // The next run starts with the limits last used.
    Window again;
    again->openFiles({test::example("board-NPTH.drl")});
    again->showChecks();
    EXPECT_DOUBLE_EQ(again->checkWindow()->limitBox("minDrill")->value(), 3.0);
    EXPECT_DOUBLE_EQ(again->checkWindow()->limits().minSpacing, 0.2);
}

TEST(CheckWindow, FollowsTheBoardAndClosesWithNone)
{
    forgetLimits();
    Window w;
    openSampleBoard(w);
    w->showChecks();
    CheckWindow* checks = w->checkWindow();
    ASSERT_EQ(checks->report().total(), 2);
    w->openFiles({test::example("board-NPTH.drl")});
    EXPECT_EQ(checks->report().total(), 0); // the new board's, at once
    w.prompts->answers.push_back(false);
    w->newBoard();
    QApplication::processEvents();
    EXPECT_FALSE(w->checkWindow() && w->checkWindow()->isVisible());
}

TEST(CheckWindow, OnABoardTooLargeToCheckAtEveryKeystrokeTheListSaysItIsOfTheTableBefore)
{
    forgetLimits();
    test::Scratch scratch;
    QByteArray drl = "M48\nMETRIC\nT1C0.3\nT2C0.5\n%\nT1\n";
    for (qint64 i = 0; i <= MainWindow::kFollowedCheckHoles; ++i)
        drl += "X" + QByteArray::number(i % 400) + ".0Y" + QByteArray::number(i / 400) + ".0\n";
    drl += "T2\nX-5.0Y-5.0\nM30\n";
    Window w;
    w->openFiles({scratch.write(QStringLiteral("big.drl"), drl)});
    w->showChecks();
    CheckWindow* checks = w->checkWindow();
    ASSERT_TRUE(checks);
    EXPECT_EQ(checks->report().total(), 0);
    // A house that drills nothing under 0.4 mm, then the table edited: not checked again (a run
    // would hold the typing up), but said, with the preview, as soon as the typing pauses.
    checks->limitBox("minDrill")->setValue(0.4);
    w.diameterEdit(1)->setText(QStringLiteral("0.35"));
    const QString stale = QStringLiteral("穴種表が変わりました。「チェック」で調べ直して下さい。");
    test::waitForFollow();
    EXPECT_EQ(checks->report().total(), 0);
    EXPECT_TRUE(checks->summaryLabel->text().endsWith(stale)) << checks->summaryLabel->text().toStdString();
    // チェック runs them with the table as it is.
    checks->checkButton->click();
    EXPECT_EQ(checks->report().counts[size_t(CheckKind::MinDrill)], 2); // 0.30 and 0.35 mm
    EXPECT_FALSE(checks->summaryLabel->text().contains(stale));
}

TEST(CheckWindow, AFindingsRingGoesWithItsHolesWhenTheirFileIsTakenOut)
{
    forgetLimits();
    Window w;
    openSampleBoard(w);
    w->showChecks();
    CheckWindow* checks = w->checkWindow();
    ASSERT_EQ(checks->report().total(), 2);
    checks->list->setCurrentIndex(checks->list->model()->index(0, 0));
    PreviewWindow* preview = w->previewWindow();
    ASSERT_TRUE(preview);
    ASSERT_EQ(preview->boardView()->overlay().finding.size(), 2u);
    // The plated file, whose holes the finding rings, taken out: no ring where they were, and
    // the checks of the board that is left.
    w.prompts->choices = {0};
    w->removeFile();
    ASSERT_EQ(w->board().files.size(), 1u);
    EXPECT_TRUE(preview->boardView()->overlay().finding.empty());
    EXPECT_EQ(checks->report().total(), 0);
}

TEST(CheckWindow, ABoxPerLimitInTheirOrderLabelledByItsCaptionAndRememberedByItsKey)
{
    forgetLimits();
    Window w;
    w->openFiles({test::example("board-NPTH.drl")});
    w->showChecks();
    CheckWindow* checks = w->checkWindow();
    ASSERT_TRUE(checks);
    QApplication::processEvents(); // laid out
    const std::vector<LimitDescriptor>& limits = limitDescriptors();
    ASSERT_EQ(checks->limitBoxes.size(), limits.size());
    QStringList labels;
    for (size_t k = 0; k < limits.size(); ++k) {
        const LimitDescriptor& d = limits[k];
        SCOPED_TRACE(d.key);
        QDoubleSpinBox* box = checks->limitBoxes[k];
        EXPECT_EQ(box, checks->limitBox(d.key));
        EXPECT_EQ(box->objectName(), QLatin1String(d.key));
        EXPECT_DOUBLE_EQ(box->value(), d.defaultValue);
        for (const QFormLayout* form : checks->findChildren<QFormLayout*>()) {
            if (const auto* label = qobject_cast<QLabel*>(form->labelForField(box)))
                labels << label->text();
        }
        // In columns of two, from the left.
        if (k % 2 == 1) {
            EXPECT_EQ(box->x(), checks->limitBoxes[k - 1]->x());
            EXPECT_GT(box->y(), checks->limitBoxes[k - 1]->y());
        } else if (k > 0) {
            EXPECT_GT(box->x(), checks->limitBoxes[k - 1]->x());
        }
        // Changed and checked: the checks and the next window take it.
        const double changed = d.defaultValue + 0.5;
        box->setValue(changed);
        checks->checkButton->click();
        EXPECT_DOUBLE_EQ(checks->limits().*d.field, changed);
        EXPECT_DOUBLE_EQ(MainWindow::viewSettings().value(QLatin1String(d.settingsKey)).toDouble(), changed);
    }
    EXPECT_EQ(labels,
        QStringList({QStringLiteral("穴の間隔（縁から縁）"), QStringLiteral("外形との距離"),
            QStringLiteral("最小穴径"), QStringLiteral("長穴の長さ／幅")}));
    EXPECT_EQ(checks->limitBox("noSuchLimit"), nullptr);
    forgetLimits();
}
