#pragma once

// The hole table's widgets: 63 rows on three tab pages of 21, each row a D-code (double-click:
// its colour), a diameter, two tolerances of sign and value, a kind, the colour and the row's
// count. They show the table and write each edit into it at once; they compute nothing.

#include "drawing/holecounts.h"
#include "table/holetable.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <array>
#include <functional>

class QComboBox;
class QCompleter;
class QLabel;
class QLineEdit;
class QRect;
class QWidget;

namespace kivotrek {

class ColorSwatch;
class TabControl;
class TableLayout;

class HoleTableView : public QObject {
    Q_OBJECT
public:
    // The widgets go on a tab control in client, at the layout's places; they edit table. Before
    // names the field before the first row's in the Tab order (the size choice). The counts are
    // shown as they stand; fileOfRow names the file whose tool a row is (the D-code's tooltip).
    HoleTableView(QWidget* client, const TableLayout& layout, HoleTable& table, const HoleCounts& counts,
        QWidget* before, std::function<QString(int)> fileOfRow);
    ~HoleTableView() override;

    TabControl* tabs() const { return tabs_; }

    // The widgets of row i. A page's widgets are made when it is first shown or asked for.
    QLineEdit* dcodeEdit(int i);
    QLineEdit* diameterEdit(int i);
    // The sign and the value of row i's first (which 0) or second (which 1) tolerance.
    QComboBox* toleranceSign(int i, int which);
    QComboBox* toleranceValue(int i, int which);
    QComboBox* kindBox(int i);
    ColorSwatch* swatch(int i);
    QLabel* countLabel(int i); // its holes (and slots): "156", "24+2"

    // Row i's widgets from the table (rows of pages not made yet are shown when made).
    void refreshRow(int i);
    void refreshAll();
    void showCount(int i);

    // The Tab key walks the product code and the size choice (first, the fields before), then
    // per row diameter, first sign and value, second sign and value, kind, over every page:
    // the page of the next field is shown first. False when the focus is in none of them.
    bool focusNext(const std::array<QWidget*, 2>& first, bool next);

signals:
    void edited(int row); // a field of the row was typed into, and the table has it
    void kindEdited(int row); // the row's kind changed: its count and the totals follow
    void colorRequested(int row); // the row's D-code was double-clicked
    void dcodeClicked(int row); // the row's D-code was clicked: an open board view shows its class

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct RowWidgets {
        QLineEdit* dcode = nullptr;
        QLineEdit* diameter = nullptr;
        QComboBox* sign1 = nullptr;
        QComboBox* tol1 = nullptr;
        QComboBox* sign2 = nullptr;
        QComboBox* tol2 = nullptr;
        QComboBox* kind = nullptr;
        ColorSwatch* swatch = nullptr;
        QLabel* count = nullptr;
    };
    void buildPage(int p);
    RowWidgets& row(int i); // its page made
    QComboBox* makeCombo(QWidget* page, const QStringList& items, const QRect& geometry);

    const TableLayout& layout_;
    HoleTable& table_;
    const HoleCounts& counts_;
    QWidget* before_;
    std::function<QString(int)> fileOfRow_;
    TabControl* tabs_ = nullptr;
    std::array<RowWidgets, HoleTable::kRows> rows_ {};
    std::array<bool, 3> built_ {}; // the table's pages whose fields exist
    QHash<QString, QCompleter*> completers_; // one per list of the table's boxes
    bool refreshing_ = false; // the widgets are being set from the table: no edit to write
};

} // namespace kivotrek
