#include "app/packagedialog.h"

#include "common/messages.h"
#include "package/layerroles.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kivotrek {

namespace {
using Role = PackageMember::Role;
constexpr Role kRoles[] = {Role::Plated, Role::NonPlated, Role::Drill, Role::Outline, Role::Unused};

constexpr QSize kPictureSize(320, 240);

int indexOf(Role role)
{
    for (int i = 0; i < int(std::size(kRoles)); ++i) {
        if (kRoles[i] == role)
            return i;
    }
    return int(std::size(kRoles)) - 1;
}
} // namespace

PackageDialog::PackageDialog(Package& package, QWidget* parent)
    : QDialog(parent), package_(package), found_(package.members)
{
    setObjectName(QStringLiteral("packageDialog"));
    setWindowTitle(msg::packageCaption() + QStringLiteral(" - ") + package.path());
    auto* layout = new QVBoxLayout(this);
    const QStringList boards = package.boards();
    if (!boards.isEmpty()) {
        auto* row = new QHBoxLayout;
        auto* label = new QLabel(msg::packageBoardLabel(), this);
        boardBox_ = new QComboBox(this);
        boardBox_->setObjectName(QStringLiteral("boardBox"));
        boardBox_->addItems(boards);
        label->setBuddy(boardBox_);
        row->addWidget(label);
        row->addWidget(boardBox_, 1);
        layout->addLayout(row);
        connect(boardBox_, &QComboBox::currentTextChanged, this, &PackageDialog::chooseBoard);
    }
    // What the package says of itself (members kept under another name) stands above its files,
    // not in a box after them.
    if (!package.notes.isEmpty()) {
        auto* notes = new QLabel(package.notes.join(QLatin1Char('\n')), this);
        notes->setObjectName(QStringLiteral("packageNotes"));
        notes->setWordWrap(true);
        notes->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(notes);
    }
    table_ = new QTableWidget(int(package.members.size()), 4, this);
    table_->setObjectName(QStringLiteral("members"));
    table_->setHorizontalHeaderLabels(msg::packageColumns().split(QLatin1Char('|')));
    table_->verticalHeader()->hide();
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int i = 0; i < int(package.members.size()); ++i) {
        table_->setItem(i, 0, new QTableWidgetItem(package.members[size_t(i)].name));
        auto* box = new QComboBox(table_);
        for (const Role r : kRoles)
            box->addItem(roleText(r));
        table_->setCellWidget(i, 1, box);
        table_->setItem(i, 2, new QTableWidgetItem);
        // What the file is on the board (copper, mask, silk, a drawing, ...), and why.
        auto* layer = new QTableWidgetItem(layerRoleText(package.members[size_t(i)].layer));
        layer->setToolTip(package.members[size_t(i)].layerWhy);
        table_->setItem(i, 3, layer);
        roleBoxes_.push_back(box);
        connect(box, QOverload<int>::of(&QComboBox::activated), this, [this, i] {
            showWhy(size_t(i), msg::whyChosen()); // the user's word over the signs
            drawPicture();
        });
    }
    auto* beside = new QHBoxLayout;
    beside->addWidget(table_, 1);
    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("boardPicture"));
    picture_->setFixedSize(kPictureSize);
    picture_->setFrameShape(QFrame::StyledPanel);
    beside->addWidget(picture_, 0, Qt::AlignTop);
    layout->addLayout(beside, 1);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(msg::cancelCaption(), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &PackageDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PackageDialog::reject);
    layout->addWidget(buttons);
    if (boardBox_)
        chooseBoard(boardBox_->currentText());
    else
        showRoles();
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    const int width = table_->horizontalHeader()->length() + 60 + kPictureSize.width();
    resize(std::clamp(width, 560, 1400), std::clamp(table_->verticalHeader()->length() + 160, 280, 700));
}

void PackageDialog::chooseBoard(const QString& board)
{
    package_.members = found_;
    package_.chooseBoard(board);
    showRoles();
}

void PackageDialog::showRoles()
{
    for (size_t i = 0; i < package_.members.size(); ++i) {
        roleBoxes_[i]->setCurrentIndex(indexOf(package_.members[i].role));
        showWhy(i, package_.members[i].why);
    }
    drawPicture();
}

void PackageDialog::drawPicture()
{
    std::vector<Role> roles;
    for (QComboBox* box : roleBoxes_)
        roles.push_back(kRoles[std::clamp(box->currentIndex(), 0, int(std::size(kRoles)) - 1)]);
    const qreal dpr = devicePixelRatioF();
    QImage image = drawn_.draw(package_, roles, (QSizeF(kPictureSize) * dpr).toSize());
    image.setDevicePixelRatio(dpr);
    picture_->setPixmap(QPixmap::fromImage(image));
}

void PackageDialog::showWhy(size_t member, const QString& why)
{
    // A drill file without holes is said on its line, not in a box when the board is built.
    QString text = why;
    if (package_.members[member].holeless)
        text += QStringLiteral("　") + msg::memberWithoutHoles();
    table_->item(int(member), 2)->setText(text);
}

void PackageDialog::accept()
{
    for (size_t i = 0; i < package_.members.size(); ++i) {
        PackageMember& m = package_.members[i];
        const Role chosen = kRoles[std::clamp(roleBoxes_[i]->currentIndex(), 0, int(std::size(kRoles)) - 1)];
        if (chosen != m.role) {
            m.role = chosen;
            m.why = msg::whyChosen();
            m.outlineStated = chosen == Role::Outline;
        }
    }
    QDialog::accept();
}

} // namespace kivotrek
