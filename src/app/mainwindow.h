#pragma once

#include "app/commondialog.h"
#include "app/prompts.h"
#include "app/twips.h"
#include "drawing/boarddrawing.h"
#include "drawing/holecounts.h"
#include "drawing/pagelayout.h"
#include "gerber/boardextent.h"
#include "gerber/formatsniffer.h"
#include "table/holetable.h"

#include <QHash>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QSettings>
#include <array>
#include <memory>

class QAction;
class QPrinter;
class QComboBox;
class QLabel;
class QCompleter;
class QLineEdit;

namespace kivotrek {

class ColorSwatch;
class TabControl;
class TableLayout;
class HelpViewer;
class AboutBox;
class PreviewWindow;

// What the main window is built with; tests pass scripted dialogs and message boxes and a
// program folder of their own.
struct MainWindowSetup {
    std::unique_ptr<CommonDialog> dialog; // default: the desktop dialogs
    std::unique_ptr<Prompts> prompts; // default: message boxes
    QString programFolder; // default: the folder of the program
};

// The main window: the hole table on three tab pages, the file path, product code and size
// choice, and the menu through which every command runs.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowSetup setup = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Application state the commands read and write.
    HoleTable& table() { return table_; }
    BoardExtent& extent() { return extent_; }
    CommonDialog& commonDialog() { return *dialog_; }
    Prompts& prompts() { return *prompts_; }
    const QImage& logo() const; // image.bmp beside the program, for the printed page
    QString helpFile() const { return helpFile_; }
    QString programFolder() const { return programFolder_; }

    // Controls, by their names in the layout.
    QLineEdit* pathEdit;
    QLineEdit* productCodeEdit;
    QComboBox* sizeChoice;
    TabControl* tableTabs;
    QLabel* totalsLabel; // the holes and slots of the table by kind, under it
    // The fields of row i; a page's fields are made when it is first shown or asked for.
    QLineEdit* dcodeEdit(int i) const;
    QLineEdit* diameterEdit(int i) const;
    // The sign and the value of row i's first (which 0) or second (which 1) tolerance.
    QComboBox* toleranceSign(int i, int which) const;
    QComboBox* toleranceValue(int i, int which) const;
    QComboBox* kindBox(int i) const;
    ColorSwatch* swatch(int i) const;
    QLabel* countLabel(int i) const; // its holes (and slots): "156", "24+2"
    // Holes and slots per row as the drawing draws them, the table's kinds applied.
    HoleCounts holeCounts() const;
    QAction* menuAction(const QString& name) const; // by object name: "readStandardGerber", ...

    const Twips& twips() const { return tw_; }

    // Shows a text in an OK box captioned with the program title.
    void showMessage(const QString& text);
    // The table check before a preview: one message per used row without a diameter.
    bool checkTable();
    // Opens the preview window (or reuses it) and draws the drill map into it.
    void drawPreview();
    PreviewWindow* previewWindow() const;
    // Prints the drill map on one page of the printer; false when no page came out, with the
    // reason for the user in problem.
    bool printDrawing(QString* problem = nullptr);
    // The printer the print dialog sets up; it keeps its settings from one print to the next.
    QPrinter& printer();
    // The options of 表示 for a drawing with the counts (counts in the legend, symbols).
    DrawingOptions drawingOptions(const HoleCounts& counts) const;
    // Where the options of 表示 are remembered between runs (not in KIVOTREK.INI).
    static QSettings viewSettings();

public slots:
    void newBoard(); // 新規: an empty board, as at start-up
    void readStandardGerber();
    void readRs274x();
    void readExcellon(); // Excellonドリルの読み込み
    void readGerberX2(); // Gerber X2 ドリル/外形の読み込み
    void addDrillFile(); // ドリルファイルの追加: a further drill file into the free rows
    void readOutline(); // 外形ファイルの読み込み
    void removeFile(); // ファイルを外す: one of the board's files, its rows with it
    void saveDrillTable(); // 穴数一覧の保存 (CSV)
    void readSettings(); // "read": 前回の設定ファイルの読み込み
    void showPreview();
    void print();
    void showAbout();
    void showHelp();
    void saveSettings();
    void closeCommand(); // "close": asks first
    void chooseColor(int i);
    // Reads a file named on the command line as the matching read command would after its
    // dialog: RS-274X when a format statement comes in its first lines, standard otherwise.
    void openFile(const QString& path);
    // Several files named on the command line: the first read, the others added to its board.
    void openFiles(const QStringList& paths);
    const Board& board() const { return board_; }
    void refreshTable(); // every row's widgets from the table
    void refreshRow(int i);
    // True while the table or the product code differ from what was last read, loaded or saved.
    bool isModified() const;

signals:
    void tableChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    // Asks about unsaved work first; closes every other window of the program with it.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildTopStrip(QWidget* client);
    void buildPage(int p);
    template <typename W> W* rowWidget(const std::array<W*, HoleTable::kRows>& widgets, int i) const;
    void buildMenu();
    void loadLogo();
    QString logoPath() const; // image.bmp beside the program
    // The files a save must not replace besides the board's own: the settings file, the logo.
    QStringList otherInputs() const;
    void readCommand(ReaderKind reader);
    void readChosenFile(ReaderKind reader, const QString& path);
    void addChosenFile(const QString& path, bool outline);
    void showBoard(); // the path label and the D-codes' files
    // What was read, loaded or saved: the rows as the files filled them (for the settings
    // question) and the state the modified mark compares with.
    void markRead();
    void markSaved();
    void noteChange(); // the window title's modified mark
    // While the work is modified: asks whether to save it first. False when the user cancelled
    // (or the save failed): the command that asked ends there.
    bool confirmDiscard();
    bool saveSettingsQuietly(); // saves and says only a failure
    void refreshPreview(); // an open preview draws the board as it is now, or closes
    void showReadMessages(const QStringList& said);
    void setViewOption(const QString& key, bool on);
    void showPageInPreview(); // the size choice, logo and product code to the preview's PDF
    QComboBox* makeCombo(QWidget* page, const QStringList& items, const QRect& geometry);

    Twips tw_;
    std::unique_ptr<TableLayout> layout_;
    HoleTable table_;
    Board board_; // the files read: drill files with their rows, and the outline
    BoardExtent extent_;
    HoleTable readTable_; // the rows as the files filled them
    HoleTable savedTable_; // as last read, loaded or saved
    QString savedProductCode_;
    std::unique_ptr<CommonDialog> dialog_;
    std::unique_ptr<Prompts> prompts_;
    QString programFolder_;
    QString helpFile_;
    QImage logo_;
    mutable bool logoLoaded_ = false;
    std::array<QLineEdit*, HoleTable::kRows> dcode_ {};
    std::array<QLineEdit*, HoleTable::kRows> diameter_ {};
    std::array<QComboBox*, HoleTable::kRows> sign1_ {}, tol1_ {}, sign2_ {}, tol2_ {}, kind_ {};
    std::array<ColorSwatch*, HoleTable::kRows> swatch_ {};
    std::array<QLabel*, HoleTable::kRows> count_ {};
    HoleCounts counted_ {}; // per row, counted with no row of the outline kind
    void recountHoles(); // after the files or the D-codes changed
    void showTotals(); // after the counts or a kind changed
    void showCount(int i); // row i's count label
    std::array<bool, 3> built_ {}; // the table's pages whose fields exist
    QHash<QString, QCompleter*> completers_; // one per list of the table's boxes
    QPointer<AboutBox> about_;
    QPointer<PreviewWindow> preview_;
    std::unique_ptr<QPrinter> printer_;
    BasicRandom random_; // the product code's colours, the same sequence every run
    QPointer<HelpViewer> helpViewer_;
    bool refreshing_ = false;
    QMetaObject::Connection focusFollower_; // shows the page of the focused field
};

QColor toQColor(uint32_t fillColor);
uint32_t fromQColor(const QColor& c);

} // namespace kivotrek
