#pragma once

#include "app/boardnow.h"
#include "app/commondialog.h"
#include "app/prompts.h"
#include "app/twips.h"
#include "common/diagnostic.h"
#include "drawing/boarddrawing.h"
#include "drawing/holecounts.h"
#include "drawing/pagelayout.h"
#include "gerber/boardextent.h"
#include "package/package.h"
#include "table/holetable.h"

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QSettings>
#include <memory>
#include <vector>

class QAction;
class QComboBox;
class QJsonObject;
class QDragEnterEvent;
class QDropEvent;
class QMenu;
class QLabel;
class QLineEdit;
class QPrinter;
class QTimer;

namespace kivotrek {

class AboutBox;
class HelpViewer;
class HoleTableView;
class MessagesPanel;
class PreviewWindow;
class CheckWindow;
class TableLayout;

// What the main window is built with; tests pass scripted dialogs and message boxes and a
// program folder of their own.
struct MainWindowSetup {
    std::unique_ptr<CommonDialog> dialog; // default: the desktop dialogs
    std::unique_ptr<Prompts> prompts; // default: message boxes
    QString programFolder; // default: the folder of the program
};

// The main window: the hole table on three tab pages (HoleTableView), the file path, product
// code and size choice, and the menu through which every command runs; under the table, by a
// splitter, the messages of the board's reads, drawings and checks (MessagesPanel), and the read
// status in the status bar. Information and warnings are listed there; an error is listed and
// shown in a box. Its widgets are its own; each has an object name ("pathEdit",
// "productCodeEdit", "sizeChoice", "totalsLabel", "messagesPanel", "readStatus", the actions by
// their commands' names) by which tests find them.
//
// Every change of the board is signalled once (boardChanged): the preview with its board view
// and the checks follow it; nothing looks at the files on a timer.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowSetup setup = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The state the commands read and write. After a change of the table in code,
    // refreshTable() shows it.
    HoleTable& table() { return table_; }
    const Board& board() const { return board_; }
    const BoardExtent& extent() const { return extent_; }
    const Twips& twips() const { return tw_; }
    // image.bmp beside the program, for the printed page: read when it is first needed.
    const QImage& logo();
    // Holes and slots per row as the drawing draws them, the table's kinds applied.
    HoleCounts holeCounts() const;
    // The options of 表示 for a drawing of the board now (counts in the legend, symbols).
    DrawingOptions drawingOptions() const;
    PreviewWindow* previewWindow() const;
    CheckWindow* checkWindow() const;
    MessagesPanel* messagesPanel() const { return messages_; }
    // The board as it is now and how it is drawn, for the windows that follow it.
    BoardNow boardNow();
    // The printer the print dialog sets up; it keeps its settings from one print to the next.
    QPrinter& printer();
    // Prints the drill map on one page of the printer; false when no page came out, with the
    // reason for the user in problem.
    bool printPage(QString* problem = nullptr);
    // True while the table or the product code differ from what was last read, loaded or saved.
    bool isModified() const;
    // Where the options of 表示 are remembered between runs (not in KIVOTREK.INI).
    static QSettings viewSettings();
    // An open preview and open checks follow the table: a change (a typed diameter, tolerance or
    // kind, a colour) is drawn this many milliseconds after the last of a burst of them.
    static constexpr int kFollowDelayMs = 40;
    // Open checks run again after a change on boards of at most this many holes and slots;
    // on larger ones a run takes long enough to stop the typing, and the list says it is of the
    // table before until チェック.
    static constexpr qint64 kFollowedCheckHoles = 20000;

signals:
    // The board changed: once per change (a read, an added or removed file, 新規, files read
    // again since they changed on disk, the settings loaded; an edit of the table once the edits
    // pause; an option of 表示).
    void boardChanged(kivotrek::BoardChange change);

public slots:
    void newBoard(); // 新規: an empty board, as at start-up
    // A read command of the file menu (標準ガーバの読み込み(F4.3), ...): the file dialog with the
    // reader's filter, then the chosen file read with it as a new board.
    void readCommand(ReaderKind reader);
    void addDrillFile(); // ドリルファイルの追加: a further drill file into the free rows
    void readOutline(); // 外形ファイルの読み込み
    void removeFile(); // ファイルを外す: one of the board's files, its rows with it
    void saveDrillTable(); // 穴数一覧の保存 (CSV)
    void readSettings(); // "read": 前回の設定ファイルの読み込み
    void showPreview();
    void showChecks(); // 穴チェック: the drill checks of the board in their window
    void print();
    void showAbout();
    void showHelp();
    void saveSettings();
    void closeCommand(); // "close": asks first
    // Reads a file named on the command line as the matching read command would after its
    // dialog: the reader its first lines call for (of several files, Excellon or Gerber X2).
    void openFile(const QString& path, bool ofSeveral = false);
    // Several files named on the command line: the first read, the others added to its board.
    void openFiles(const QStringList& paths);
    // パッケージを開く: a folder (any file of it chosen) or an archive, through the package window.
    void openPackage();
    // A package by its path (the command line, a drop, the recent files): its window, then its
    // board; false when it could not be opened or the user cancelled.
    bool openPackagePath(const QString& path);
    // What the command line names: one package, or files.
    void openArguments(const QStringList& paths);
    void refreshTable(); // the counts and every row's widgets from the table

protected:
    bool focusNextPrevChild(bool next) override;
    // Files dropped onto the window open as a board (a package, one file, or several files).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Asks about unsaved work first; closes every other window of the program with it.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildTopStrip(QWidget* client);
    void buildMenu();
    void chooseColor(int i); // the double-click on a D-code
    void showMessage(const QString& text); // an OK box captioned with the program title
    // What a read, a drawing or a check said: each listed under the table, an error also shown
    // in a box (over parent, else this window); the read status counts them.
    void report(const std::vector<Diagnostic>& said, QWidget* parent = nullptr);
    void report(const Diagnostic& said, QWidget* parent = nullptr);
    // A new board's messages: the list emptied, the read status its read's.
    void startMessages(const QString& readStatus);
    void showReadStatus(); // the read status and the count of messages by kind
    bool checkTable(); // one message per used row without a usable diameter
    QString logoPath() const; // image.bmp beside the program
    // The files a save must not replace besides the board's own: the settings file, the logo.
    QStringList otherInputs() const;
    void readChosenFile(ReaderKind reader, const QString& path);
    void addChosenFile(const QString& path, bool outline);
    void showBoard(); // the path label and the D-codes' files
    // The board's files that changed on disk since they were read, read again before the board
    // is used (drawn, printed, checked, counted), and said; false when none had. A change of the
    // board is signalled unless the caller signals it.
    bool readChangedFiles(bool signal = true);
    // What was read, loaded or saved: the rows as the files filled them (for the settings
    // question) and the state the modified mark compares with.
    void markRead();
    void markSaved();
    // A new board read: shown, its table as read and saved, what the read said listed (with the
    // read's status), an open preview and open checks made again.
    void showNewBoard(const std::vector<Diagnostic>& said, const QString& readStatus);
    void noteChange(); // the window title's modified mark
    // While the work is modified: asks whether to save it first. False when the user cancelled
    // (or the save failed): the command that asked ends there.
    bool confirmDiscard();
    bool saveSettingsQuietly(); // saves and says only a failure
    void recountHoles(); // after the files or the D-codes changed
    void showTotals(); // after the counts or a kind changed
    // Opens the preview window (or reuses it) and draws the board into it, or, where the table
    // cannot be drawn, has it say why. toFront: shown and raised (a command asked for it).
    void openPreview(bool toFront);
    // The board changed by a command: signalled, so that an open preview draws it as it is now
    // (or closes) and open checks run again; nothing of an edit is left pending.
    void changeBoard();
    // A field of the table edited (or a colour chosen): the open preview and checks follow
    // once the edits pause.
    void tableEdited();
    void followChanges(); // what tableEdited left pending, now
    // A finding of the checks in the board view: the preview opened (or reused), zoomed to it.
    void showFinding(const std::vector<std::pair<QPointF, double>>& places, const QString& text);
    void setViewOption(const QString& key, bool on);
    void showPageInPreview(); // the size choice, logo and product code to the preview's PDF
    // 最近使ったファイル: the board just opened goes first (a package, a board of files, or one
    // file with its reader), the menu shows the last eight.
    void rememberBoard();
    void showRecentBoards();
    void openRecent(const QString& entry);
    // A package with the members' roles a recent entry remembers (by name): its board built as
    // it was, without the package window (shown after all when a file of the board is gone).
    // No roles: the package window first, as a package opened anew.
    bool openPackageAs(const QString& path, const QJsonObject& roles);

    Twips tw_;
    std::unique_ptr<TableLayout> layout_;
    HoleTable table_;
    Board board_; // the files read: drill files with their rows, and the outline
    BoardExtent extent_;
    std::unique_ptr<Package>
        package_; // the package the board was opened from: its members, for the recent boards
    HoleCounts counted_ {}; // per row, counted with no row of the outline kind
    HoleTable readTable_; // the rows as the files filled them
    HoleTable savedTable_; // as last read, loaded or saved
    QString savedProductCode_;
    std::unique_ptr<CommonDialog> dialog_;
    std::unique_ptr<Prompts> prompts_;
    QString programFolder_;
    QString helpFile_;
    QImage logo_;
    bool logoLoaded_ = false;

    QLineEdit* pathEdit_ = nullptr;
    QLineEdit* productCodeEdit_ = nullptr;
    QComboBox* sizeChoice_ = nullptr;
    QLabel* totalsLabel_ = nullptr; // the holes and slots of the table by kind, under it
    MessagesPanel* messages_ = nullptr;
    QLabel* readStatus_ = nullptr; // how the latest read ended, and the messages by kind
    QLabel* readStatusIcon_ = nullptr; // a warning's or an error's sign while there are such
    QString readStatusText_; // how the latest read ended
    HoleTableView* tableView_ = nullptr;
    QAction* readSettingsAction_ = nullptr;
    QAction* countsInLegendAction_ = nullptr;
    QAction* symbolsAction_ = nullptr;
    QMenu* recentMenu_ = nullptr;

    QPointer<AboutBox> about_;
    QPointer<PreviewWindow> preview_;
    QPointer<CheckWindow> checks_;
    QTimer* followTimer_ = nullptr; // the pause after the last edit before the preview follows
    bool checksBehind_ = false; // the table changed since the open checks last ran
    std::unique_ptr<QPrinter> printer_;
    BasicRandom random_; // the product code's colours, the same sequence every run
    QPointer<HelpViewer> helpViewer_;
};

} // namespace kivotrek
