#pragma once

#include <QWidget>

class QTextBrowser;

namespace kivotrek {

// Shows the help document kept beside the program, opened at its index.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* owner);

    // False, with a text for the user, when the document cannot be read.
    bool load(const QString& path, QString* error);
    void showIndex();
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

} // namespace kivotrek
