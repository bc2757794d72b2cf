#pragma once

#include "app/boardnow.h"
#include "board/board.h"
#include "drawing/drawresult.h"
#include "drawing/heldboard.h"
#include "drawing/pagelayout.h"
#include "drawing/picturesurface.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

class QAction;
class QLabel;

class QDockWidget;

namespace kivotrek {

class LayerList;

class BoardViewWidget;
class CommonDialog;
class MainWindow;
class Prompts;

// What the picture was drawn from, for the saves that draw it again (PDF, SVG): the board
// (the main window's, which outlives this window and draws into it again after every change of
// it), the table and the options as they were, and the page the main window would print.
struct DrawnSource {
    const Board* board = nullptr;
    HoleTable table;
    BoardExtent extent;
    HoleCounts counts;
    bool withCounts = false;
    bool marks = false;
    QString sizeText; // the main window's size choice
    PageFoot foot;
    qint64 holes = 0; // holes and slots: a large board shows its progress
};

// The preview window: a view of the board to zoom, pan and inspect (boardView), a status bar
// that tells what lies under the cursor, and its commands 閉じる, BitmapExport and the saves as
// PDF (the printed page), SVG and PNG (the preview picture of 457 x 420 pixels, as it always
// was), 表示範囲をPNGに保存 (what the view shows) and 測定. It can be resized and maximised and
// remembers its size. It has no parent window, so closing the main window leaves it open;
// closing it discards the picture. It follows the main window's board: drawn again at every
// change the main window signals (boardChanged), or closed when the board is empty; where the
// table cannot be drawn, the window says why instead.
class PreviewWindow : public QMainWindow {
    Q_OBJECT
public:
    PreviewWindow(CommonDialog& dialog, Prompts& prompts);
    ~PreviewWindow() override;

    // Follows the main window's board from now on (its boardChanged).
    void followBoardOf(MainWindow* main);
    // Draws the board as it is now into the picture and the view, or, where the table cannot be
    // drawn, says why. toFront: shown and raised (a command asked for it). A drawing that stops
    // early keeps what it drew and is told (drawingStopped): once, not again at every edit.
    void draw(const BoardNow& now, bool toFront);
    // The preview picture the exports save.
    PictureSurface& surface() { return *surface_; }
    BoardViewWidget* boardView() const { return view_; }
    // The board the view shows, as the table names its rows now: held again only when its files
    // or D-codes changed (a new board is fitted), else drawn with the table's new values.
    void showBoard(
        const Board& board, const HoleTable& table, const BoardExtent& extent, const DrawingOptions& options);
    // The file the picture is drawn from: BitmapExport offers its name with .bmp and never
    // writes over it.
    void setDrawnFile(const QString& path)
    {
        setDrawnFiles(path.isEmpty() ? QStringList() : QStringList {path});
    }
    // Every file of a drawn board: the first names the picture; none may be replaced by it, nor
    // any other file the drawing is made from (readFiles: the settings file, the logo).
    void setDrawnFiles(const QStringList& paths, const QStringList& readFiles = {})
    {
        drawnFiles_ = paths;
        readFiles_ = readFiles;
    }
    // What the picture shows, for the PDF and SVG saves; without it they draw nothing.
    void setSource(const DrawnSource& source) { source_ = std::make_unique<DrawnSource>(source); }
    // The page settings follow the main window's while the window is open.
    void setPage(const QString& sizeText, const PageFoot& foot);
    // The table as it is cannot be drawn (a used row without a usable diameter): the window
    // shows the table check's texts in place of the board, and its saves are off until the
    // board is drawn again. No texts: the board is shown.
    void showTableProblem(const QStringList& texts);
    bool showsTableProblem() const { return !tableProblem_.isEmpty(); }
    QLabel* problemLabel() const { return problemLabel_; }
    // Runs before every save: the main window draws what a change left pending, so that a save
    // is of the table as it is at that moment.
    void setCatchUp(std::function<void()> catchUp) { catchUp_ = std::move(catchUp); }
    QAction* closeAction;
    QAction* exportAction;
    QAction* savePdfAction;
    QAction* saveSvgAction;
    QAction* savePngAction;
    QAction* saveViewAction;
    QAction* measureAction;

signals:
    // A drawing that did not complete, for the user to be told.
    void drawingStopped(const kivotrek::DrawingProblem& problem);

public slots:
    // The main window's board changed: an open preview draws it as it is now (raised for a
    // change of the board, keeping the focus where the user types for an edit), or closes when
    // nothing is left to draw.
    void follow(kivotrek::BoardChange change);
    void exportBitmap(); // exportAction
    void savePdf(); // PDFに保存: the printed page
    void saveSvg(); // SVGに保存: the picture as SVG
    void savePng(); // PNGに保存: the picture as PNG
    void saveView(); // 表示範囲をPNGに保存: what the view shows, at its size

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Before a save: what is pending drawn; false, said, while the table cannot be drawn.
    bool readyToSave();
    // Draws the source again into the file with the writer, showing progress for a large
    // board; a failure is told by the file's name, a cancel leaves no file.
    template <typename Write> void saveDrawing(const QString& path, Write write);
    // Saves the picture as shown, in the format.
    void savePictureAs(const QString& filter, const QString& suffix, const char* format);

    std::unique_ptr<PictureSurface> surface_;
    BoardViewWidget* view_ = nullptr;
    LayerList* layerList_ = nullptr;
    QDockWidget* layerDock_ = nullptr;
    // What the view shows: held once per board and D-codes, with the table it is drawn with.
    HeldBoard held_;
    HoleGrid grid_;
    HoleTable viewTable_;
    QString heldSignature_;
    QStringList drawnFiles_;
    QStringList readFiles_;
    std::unique_ptr<DrawnSource> source_;
    QLabel* problemLabel_ = nullptr; // over the view while the table cannot be drawn
    QStringList tableProblem_;
    std::function<void()> catchUp_;
    QPointer<MainWindow> main_;
    QString toldProblem_; // the drawing problem last told
    CommonDialog& dialog_;
    Prompts& prompts_;
};

} // namespace kivotrek
