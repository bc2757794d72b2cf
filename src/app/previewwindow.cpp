#include "app/previewwindow.h"

#include "app/commondialog.h"
#include "app/prompts.h"
#include "app/twips.h"
#include "common/fileio.h"
#include "common/messages.h"
#include "drawing/bitmapexport.h"
#include "drawing/previewlayout.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>

namespace kivotrek {

void PictureBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(QPoint(0, 0), surface_.image());
}

PreviewWindow::PreviewWindow(CommonDialog& dialog, Prompts& prompts)
    : QMainWindow(nullptr),
      surface_(std::make_unique<PictureSurface>(kPreviewWidthTwips, kPreviewHeightTwips,
          QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->logicalDotsPerInchX() : 96.0)),
      dialog_(dialog), prompts_(prompts)
{
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(msg::previewCaption());
    const Twips tw(surface_->toPixels(1440));

    // The picture takes the system's window colours.
    const QPalette pal = palette();
    const QColor back = pal.color(QPalette::Base);
    const QColor fore = pal.color(QPalette::Text);
    surface_->setBackColor({uint8_t(back.red()), uint8_t(back.green()), uint8_t(back.blue())});
    surface_->setForeColor({uint8_t(fore.red()), uint8_t(fore.green()), uint8_t(fore.blue())});
    surface_->clear();

    auto* client = new QWidget(this);
    client->setAutoFillBackground(true);
    QPalette white = client->palette();
    white.setColor(QPalette::Window, Qt::white);
    client->setPalette(white);
    client->setFixedSize(tw.size(7140, 6585));
    setCentralWidget(client);

    pictureBox = new PictureBox(*surface_, client);
    pictureBox->setObjectName(QStringLiteral("pictureBox"));
    pictureBox->setGeometry(QRect(tw.point(120, 120), surface_->image().size()));

    closeAction = menuBar()->addAction(QStringLiteral("閉じる"));
    closeAction->setObjectName(QStringLiteral("closeAction"));
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    exportAction = menuBar()->addAction(QStringLiteral("BitmapExport"));
    exportAction->setObjectName(QStringLiteral("exportAction"));
    connect(exportAction, &QAction::triggered, this, &PreviewWindow::exportBitmap);

    setFixedSize(client->width(), client->height() + menuBar()->sizeHint().height());
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::exportBitmap()
{
    dialog_.cancelError = true;
    dialog_.filter = msg::bitmapFilter();
    if (!drawnFiles_.isEmpty()) {
        // The drawn file's own name would replace the drill data with a picture at one Enter.
        const QFileInfo drawn(drawnFiles_.front());
        dialog_.fileName = drawn.dir().filePath(drawn.completeBaseName() + QStringLiteral(".bmp"));
    }
    dialog_.flags |= CommonDialog::kOverwritePrompt;
    if (!dialog_.showSave(this))
        return; // a cancel ends the command silently
    const QString path = dialog_.fileName;
    for (const QString& drawn : drawnFiles_) {
        if (isSameFile(path, drawn)) {
            prompts_.message(this, msg::cannotOverwriteDrawnFile(path), msg::title());
            return;
        }
    }
    if (!saveBitmap(surface_->image(), path))
        prompts_.message(this, msg::cannotSave(path), msg::title());
}

} // namespace kivotrek
