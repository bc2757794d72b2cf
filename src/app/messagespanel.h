#pragma once

#include "common/diagnostic.h"

#include <QTreeWidget>
#include <vector>

class QAction;

namespace kivotrek {

// The main window's messages, under the hole table: what the reads, the drawings and the checks
// of the board said, one line each with its kind (情報, 警告, エラー), file, line and text, in the
// order said. A new board empties it; 消去 (its menu, or the window's) too.
class MessagesPanel : public QTreeWidget {
    Q_OBJECT
public:
    explicit MessagesPanel(QWidget* parent = nullptr);

    void add(const Diagnostic& d);
    void clearMessages();
    const std::vector<Diagnostic>& diagnostics() const { return diagnostics_; }
    int count(Severity severity) const;
    // The line a diagnostic is shown as, column by column: "警告|board.drl|7|…".
    QString rowText(int row) const;

    QAction* clearAction;

    static QString severityName(Severity severity);

signals:
    void changed(); // a message added, or the list emptied

private:
    std::vector<Diagnostic> diagnostics_;
};

} // namespace kivotrek
