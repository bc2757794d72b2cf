#pragma once

#include <QFontMetrics>
#include <QString>
#include <QStringList>

class QWidget;

namespace kivotrek {

class Package;

// Message boxes of the windows, behind an interface so that tests can answer them.
class Prompts {
public:
    virtual ~Prompts() = default;
    // OK only, no icon; blocks until closed.
    virtual void message(QWidget* parent, const QString& text, const QString& caption) = 0;
    // Yes and No, no icon; true for Yes.
    virtual bool yesNo(QWidget* parent, const QString& text, const QString& caption) = 0;
    // 保存, 保存しない and キャンセル (also the Escape key and the window's close button).
    enum class SaveChoice { Save, Discard, Cancel };
    virtual SaveChoice saveDiscardCancel(QWidget* parent, const QString& text, const QString& caption) = 0;
    // One of the items, or -1 when the user cancelled.
    virtual int choose(
        QWidget* parent, const QString& text, const QString& caption, const QStringList& items) = 0;
    // The package window: every file's role, to be changed before the board is built; false
    // when the user cancelled.
    virtual bool reviewPackage(QWidget* parent, Package& package) = 0;
};

// The text with line breaks where a line would pass maxWidth: after 。 or 、, a blank or a "/".
// A piece wider than maxWidth on its own keeps its line.
QString breakLines(const QString& text, const QFontMetrics& fm, int maxWidth);

class QtPrompts : public Prompts {
public:
    void message(QWidget* parent, const QString& text, const QString& caption) override;
    bool yesNo(QWidget* parent, const QString& text, const QString& caption) override;
    SaveChoice saveDiscardCancel(QWidget* parent, const QString& text, const QString& caption) override;
    int choose(
        QWidget* parent, const QString& text, const QString& caption, const QStringList& items) override;
    bool reviewPackage(QWidget* parent, Package& package) override;
};

} // namespace kivotrek
