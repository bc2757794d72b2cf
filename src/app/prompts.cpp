#include "app/prompts.h"

#include "app/packagedialog.h"
#include "common/messages.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

namespace kivotrek {

QString breakLines(const QString& text, const QFontMetrics& fm, int maxWidth)
{
    // Pieces end after a Japanese full stop or comma, a blank or a folder separator: the places
    // where a reader expects a line to end.
    QStringList pieces;
    QString piece;
    for (const QChar c : text) {
        piece += c;
        if (c == QChar(0x3002) || c == QChar(0x3001) || c == QLatin1Char(' ') || c == QLatin1Char('/')
            || c == QLatin1Char('\n')) {
            pieces << piece;
            piece.clear();
        }
    }
    if (!piece.isEmpty())
        pieces << piece;
    QString out;
    QString line;
    for (const QString& p : pieces) {
        if (!line.isEmpty() && fm.horizontalAdvance(line + p) > maxWidth
            && !line.endsWith(QLatin1Char('\n'))) {
            out += line + QLatin1Char('\n');
            line.clear();
        }
        line += p;
        if (line.endsWith(QLatin1Char('\n'))) {
            out += line;
            line.clear();
        }
    }
    return out + line;
}

namespace {
// A message box whose lines break where a reader expects, never inside a word: Qt's own
// wrapping breaks Japanese text at any character once a line passes about 500 pixels.
void prepare(QMessageBox& box, const QString& text)
{
    box.setTextFormat(Qt::PlainText); // a path may hold "<"
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    // Qt wraps a message's lines itself (at any character) once the box would pass half the
    // screen or 500 pixels: our lines stay short of that.
    const int screenWidth = screen ? screen->availableGeometry().width() : 1280;
    const int maxWidth = std::min(screenWidth / 2, 500) - 60;
    box.setText(breakLines(text, box.fontMetrics(), maxWidth));
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
        label->setWordWrap(false);
}
} // namespace

void QtPrompts::message(QWidget* parent, const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    prepare(box, text);
    box.exec();
}

bool QtPrompts::yesNo(QWidget* parent, const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    prepare(box, text);
    return box.exec() == QMessageBox::Yes;
}

Prompts::SaveChoice QtPrompts::saveDiscardCancel(QWidget* parent, const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::NoButton, parent);
    prepare(box, text);
    QPushButton* save = box.addButton(msg::saveButton(), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(msg::discardButton(), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(msg::cancelCaption(), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == save   ? SaveChoice::Save
        : box.clickedButton() == discard ? SaveChoice::Discard
                                         : SaveChoice::Cancel;
}

int QtPrompts::choose(QWidget* parent, const QString& text, const QString& caption, const QStringList& items)
{
    bool ok = false;
    const QString item = QInputDialog::getItem(parent, caption, text, items, 0, false, &ok);
    return ok ? int(items.indexOf(item)) : -1;
}

bool QtPrompts::reviewPackage(QWidget* parent, Package& package)
{
    PackageDialog dialog(package, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace kivotrek
