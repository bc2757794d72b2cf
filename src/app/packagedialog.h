#pragma once

#include "package/package.h"

#include <QDialog>
#include <vector>

class QComboBox;
class QTableWidget;

namespace kivotrek {

// Every file of a package before its board is built: its role and why, a role the user may
// change or a file left out (使わない), and, for a package of several boards, which board.
// OK writes the chosen roles into the package.
class PackageDialog : public QDialog {
    Q_OBJECT
public:
    PackageDialog(Package& package, QWidget* parent = nullptr);

    QTableWidget* table() const { return table_; }
    QComboBox* roleBox(int member) const { return roleBoxes_[size_t(member)]; }
    QComboBox* boardBox() const { return boardBox_; } // null for a package of one board

    void accept() override;

private:
    void chooseBoard(const QString& board);
    void showRoles();
    void showWhy(size_t member, const QString& why); // its line's 理由, and that it has no holes

    Package& package_;
    std::vector<PackageMember> found_; // the roles as found, before a board was chosen
    QTableWidget* table_ = nullptr;
    QComboBox* boardBox_ = nullptr;
    std::vector<QComboBox*> roleBoxes_;
};

} // namespace kivotrek
