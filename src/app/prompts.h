#pragma once

#include <QString>

class QWidget;

namespace kivotrek {

// Message boxes of the windows, behind an interface so that tests can answer them.
class Prompts {
public:
    virtual ~Prompts() = default;
    // OK only, no icon; blocks until closed.
    virtual void message(QWidget* parent, const QString& text, const QString& caption) = 0;
    // Yes and No, no icon; true for Yes.
    virtual bool yesNo(QWidget* parent, const QString& text, const QString& caption) = 0;
};

class QtPrompts : public Prompts {
public:
    void message(QWidget* parent, const QString& text, const QString& caption) override;
    bool yesNo(QWidget* parent, const QString& text, const QString& caption) override;
};

} // namespace kivotrek
