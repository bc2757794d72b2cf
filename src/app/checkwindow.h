#pragma once

#include "app/boardnow.h"
#include "checks/drillchecks.h"

#include <QPointer>
#include <QWidget>
#include <vector>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QTableView;

namespace kivotrek {

class CommonDialog;
class FindingsModel;
class MainWindow;
class Prompts;

// 穴チェック: the limits of the house (remembered between runs), the drill checks' findings of
// the board in a list (kind, rows, place, value, limit, file) or 「問題は見つかりませんでした。」,
// what the checks could not look at, and the list saved as CSV. Choosing a finding asks the main
// window to show it in the board view. It has no parent window, as the preview. It follows the
// main window's board (boardChanged): checked again at once after a change of the board, after an
// edit of the table on a board small enough, said to be of the table before on a larger one.
class CheckWindow : public QWidget {
    Q_OBJECT
public:
    CheckWindow(CommonDialog& dialog, Prompts& prompts);
    ~CheckWindow() override;

    // Follows the main window's board from now on.
    void followBoardOf(MainWindow* main);
    // Checks the board as the table names its rows now, with the limits in the window.
    void check(const Board& board, const HoleTable& table, const BoardExtent& extent);
    // The table changed since the checks ran: the list says so until they run again.
    void markStale();
    CheckLimits limits() const;
    const CheckReport& report() const { return report_; }
    // The text a finding is told by, in the list's words: kind, rows, value and limit.
    QString findingText(const Finding& f) const;

    // One box per limit, in the order of limitDescriptors(), each named by its key.
    std::vector<QDoubleSpinBox*> limitBoxes;
    QDoubleSpinBox* limitBox(const char* key) const; // null for a key of no limit
    QPushButton* checkButton;
    QPushButton* saveButton;
    QPushButton* closeButton;
    QLabel* summaryLabel;
    QTableView* list;

signals:
    void recheckRequested(); // チェック: the main window checks its board again
    // A finding chosen in the list, with its places (millimetres) and radii.
    void findingChosen(const std::vector<std::pair<QPointF, double>>& places, const QString& text);

public slots:
    void saveCsv(); // CSVに保存
    // The main window's board changed: an open window checks it again, or closes with no board.
    void follow(kivotrek::BoardChange change);

private:
    void rememberLimits();
    void showSummary(bool stale);
    void choose(int index);

    CommonDialog& dialog_;
    Prompts& prompts_;
    FindingsModel* model_;
    CheckReport report_;
    HoleTable table_; // as it was checked, for the texts and the CSV
    QStringList files_;
    QStringList drawnFiles_; // the board's files: never written over by the CSV
    QStringList withoutDiameter_;
    std::optional<CheckLimits> remembered_; // the limits last written to the settings
    QPointer<MainWindow> main_;
};

} // namespace kivotrek
