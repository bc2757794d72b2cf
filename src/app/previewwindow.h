#pragma once

#include "drawing/picturesurface.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>

class QAction;

namespace kivotrek {

class CommonDialog;
class Prompts;

// Shows the preview picture; the picture stays until the window is closed.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(PictureSurface& surface, QWidget* parent) : QWidget(parent), surface_(surface) { }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    PictureSurface& surface_;
};

// The preview window: the drill map in pictureBox, and two commands, 閉じる and BitmapExport.
// It has no parent window, so closing the main window leaves it open; closing it discards
// the picture.
class PreviewWindow : public QMainWindow {
    Q_OBJECT
public:
    PreviewWindow(CommonDialog& dialog, Prompts& prompts);
    ~PreviewWindow() override;

    PictureSurface& surface() { return *surface_; }
    // The file the picture is drawn from: BitmapExport offers its name with .bmp and never
    // writes over it.
    void setDrawnFile(const QString& path) { setDrawnFiles(path.isEmpty() ? QStringList() : QStringList {path}); }
    // Every file of a drawn board: the first names the picture; none may be replaced by it.
    void setDrawnFiles(const QStringList& paths) { drawnFiles_ = paths; }
    PictureBox* pictureBox;
    QAction* closeAction;
    QAction* exportAction;

public slots:
    void exportBitmap(); // exportAction

private:
    std::unique_ptr<PictureSurface> surface_;
    QStringList drawnFiles_;
    CommonDialog& dialog_;
    Prompts& prompts_;
};

} // namespace kivotrek
