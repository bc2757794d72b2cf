#include "app/helpviewer.h"

#include "common/messages.h"

#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace kivotrek {

HelpViewer::HelpViewer(QWidget* owner) : QWidget(owner, Qt::Window), browser_(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("helpViewer"));
    setWindowTitle(msg::helpCaption());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    browser_->setOpenExternalLinks(true);
    resize(760, 640);
}

bool HelpViewer::load(const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = msg::cannotOpen(path, f.errorString());
        return false;
    }
    f.close();
    browser_->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    return true;
}

void HelpViewer::showIndex()
{
    browser_->scrollToAnchor(QStringLiteral("index"));
    show();
    raise();
    activateWindow();
}

} // namespace kivotrek
