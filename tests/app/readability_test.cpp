// What the user reads in the main window: every value of every list, and the top strip's boxes,
// rendered whole in their boxes, at the default font and at 150 %.

#include "app/colorswatch.h"
#include "app/mainwindow.h"
#include "scripted.h"
#include "testutil.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <gtest/gtest.h>

using namespace kivotrek;

namespace {
struct Ink {
    int left = -1, right = -1, top = -1, bottom = -1; // in device pixels; -1 when there is none
    int width() const { return left < 0 ? 0 : right - left + 1; }
};

// Where the text of a line edit is drawn: the pixels clearly darker than its white base.
Ink inkOf(QLineEdit* edit)
{
    const QImage img = edit->grab().toImage().convertToFormat(QImage::Format_RGB32);
    Ink ink;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (qGray(img.pixel(x, y)) >= 110)
                continue;
            if (ink.left < 0 || x < ink.left)
                ink.left = x;
            ink.right = std::max(ink.right, x);
            if (ink.top < 0)
                ink.top = y;
            ink.bottom = y;
        }
    }
    return ink;
}

// The text is drawn, starts at the box's left margin and ends before its right edge, and the
// box is tall enough for the font's ascent and descent.
void expectReadable(QLineEdit* edit, const QString& text)
{
    SCOPED_TRACE(text.toStdString());
    edit->setCursorPosition(0);
    const QFontMetrics fm(edit->font());
    const qreal ratio = edit->devicePixelRatioF();
    const Ink ink = inkOf(edit);
    const int width = qRound(edit->width() * ratio);
    const int height = qRound(edit->height() * ratio);
    ASSERT_GT(ink.width(), 0);
    EXPECT_GE(ink.width(), 0.5 * fm.horizontalAdvance(text) * ratio) << "part of the text is missing";
    EXPECT_LT(ink.left, 6 * ratio) << "the start of the text is scrolled away";
    EXPECT_LT(ink.right, width - 1) << "the text runs into the box's edge";
    EXPECT_LE(fm.horizontalAdvance(text) + 5, edit->width()) << "the box is narrower than its text";
    EXPECT_GE(edit->height(), fm.height()) << "the box cuts the font";
    EXPECT_LT(ink.bottom, height - 1);
    EXPECT_GT(ink.top, 0);
}

void checkWindow()
{
    test::TestWindow w;
    w->show();
    // Rows 0 and 62: the value lists differ ("0" only on the first two pages).
    for (const int i : {0, 62}) {
        for (QComboBox* c : {w.toleranceSign(i, 0), w.toleranceValue(i, 0), w.toleranceSign(i, 1),
                 w.toleranceValue(i, 1), w.kindBox(i)}) {
            for (int k = 0; k < c->count(); ++k) {
                c->setCurrentIndex(k); // as picked from the list
                expectReadable(c->lineEdit(), c->itemText(k));
            }
        }
    }
    // Loaded values, as from the sample settings file.
    w->table().row(3).sign1 = QStringLiteral("＋");
    w->table().row(3).tol1 = QStringLiteral("0.05");
    w->table().row(3).kind = HoleKind::Outline;
    w->refreshTable();
    expectReadable(w.toleranceSign(3, 0)->lineEdit(), QStringLiteral("＋"));
    expectReadable(w.toleranceValue(3, 0)->lineEdit(), QStringLiteral("0.05"));
    expectReadable(w.kindBox(3)->lineEdit(), QStringLiteral("外形"));
    w.diameterEdit(3)->setText(QStringLiteral("12.345"));
    expectReadable(w.diameterEdit(3), QStringLiteral("12.345"));

    // The top strip: descenders and underscores show, and a long text shows its start.
    w.productCodeEdit()->setText(QStringLiteral("gy_jp"));
    expectReadable(w.productCodeEdit(), QStringLiteral("gy_jp"));
    w.read("board_100x80.gbr");
    const QLineEdit* path = w.pathEdit();
    EXPECT_EQ(path->cursorPosition(), 0);
    EXPECT_GE(path->height(), QFontMetrics(path->font()).height());
    // Headings stay over their columns.
    EXPECT_EQ(w.toleranceSign(0, 0)->y(), w.diameterEdit(0)->y());
    EXPECT_LT(w.toleranceSign(0, 0)->x(), w.toleranceValue(0, 0)->x());
    EXPECT_LE(w.toleranceValue(0, 0)->geometry().right(), w.toleranceSign(0, 1)->x());
    EXPECT_LE(w.kindBox(0)->geometry().right(), w.swatch(0)->x());
    EXPECT_LT(w.swatch(0)->geometry().right(), w.dcodeEdit(1)->x());
}
} // namespace

TEST(TableReadability, EveryValueShowsWholeAtTheDefaultFont)
{
    checkWindow();
}

TEST(TableReadability, EveryValueShowsWholeWithTheFontAtOneAndAHalfTimes)
{
    const QFont before = QApplication::font();
    QFont larger = before;
    larger.setPointSizeF(before.pointSizeF() * 1.5);
    QApplication::setFont(larger);
    checkWindow();
    QApplication::setFont(before);
}
