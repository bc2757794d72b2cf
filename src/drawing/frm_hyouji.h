#pragma once

#include "drawing/picturesurface.h"

#include <QMainWindow>
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

// The preview window: the drill map in Picture1, and two commands, 閉じる and BitmapExport.
// It has no parent window, so closing the main window leaves it open; closing it discards
// the picture.
class Frm_hyouji : public QMainWindow {
    Q_OBJECT
public:
    Frm_hyouji(CommonDialog& dialog, Prompts& prompts);
    ~Frm_hyouji() override;

    PictureSurface& surface() { return *surface_; }
    // The file the picture is drawn from: BitmapExport offers its name with .bmp and never
    // writes over it.
    void setDrawnFile(const QString& path) { drawnFile_ = path; }
    PictureBox* Picture1;
    QAction* MNU_CLOSE;
    QAction* MNU_OUT;

public slots:
    void exportBitmap(); // MNU_OUT

private:
    std::unique_ptr<PictureSurface> surface_;
    QString drawnFile_;
    CommonDialog& dialog_;
    Prompts& prompts_;
};

} // namespace kivotrek
