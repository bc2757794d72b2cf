#pragma once

#include "drawing/packagepicture.h"
#include "package/package.h"

#include <QDialog>
#include <vector>

class QComboBox;
class QLabel;
class QTableWidget;

namespace kivotrek {

// Every file of a package before its board is built: its role and why, a role the user may
// change or a file left out (使わない), and, for a package of several boards, which board;
// beside the list a small picture of the board its roles make, drawn again at each change.
// OK writes the chosen roles into the package.
class PackageDialog : public QDialog {
    Q_OBJECT
public:
    PackageDialog(Package& package, QWidget* parent = nullptr);

    QTableWidget* table() const { return table_; }
    QComboBox* roleBox(int member) const { return roleBoxes_[size_t(member)]; }
    QComboBox* boardBox() const { return boardBox_; } // null for a package of one board
    QLabel* picture() const { return picture_; }

    void accept() override;

private:
    void chooseBoard(const QString& board);
    void showRoles();
    void showWhy(size_t member, const QString& why); // its line's 理由, and that it has no holes
    void drawPicture(); // the board as the roles chosen now make it

    Package& package_;
    std::vector<PackageMember> found_; // the roles as found, before a board was chosen
    QTableWidget* table_ = nullptr;
    QComboBox* boardBox_ = nullptr;
    std::vector<QComboBox*> roleBoxes_;
    QLabel* picture_ = nullptr;
    PackagePicture drawn_;
};

} // namespace kivotrek
