#include "app/messagespanel.h"

#include "common/messages.h"

#include <QAction>
#include <QFileInfo>
#include <QHeaderView>
#include <QStyle>
#include <algorithm>

namespace kivotrek {

namespace {
enum Column { kKind, kFile, kLine, kText };
} // namespace

MessagesPanel::MessagesPanel(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("messagesPanel"));
    setColumnCount(4);
    setHeaderLabels(msg::messagesColumns());
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setTextElideMode(Qt::ElideMiddle); // a long path keeps its start and its name
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(kKind, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(kLine, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(kFile, QHeaderView::Interactive);
    setColumnWidth(kFile, fontMetrics().horizontalAdvance(QStringLiteral("board-Edge_Cuts.gbr")) + 24);

    clearAction = new QAction(msg::clearMessagesCommand(), this);
    clearAction->setObjectName(QStringLiteral("clearMessages"));
    clearAction->setEnabled(false);
    connect(clearAction, &QAction::triggered, this, &MessagesPanel::clearMessages);
    addAction(clearAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

QString MessagesPanel::severityName(Severity severity)
{
    switch (severity) {
    case Severity::Information: return msg::informationSeverity();
    case Severity::Warning: return msg::warningSeverity();
    case Severity::Error: return msg::errorSeverity();
    }
    return QString();
}

void MessagesPanel::add(const Diagnostic& d)
{
    diagnostics_.push_back(d);
    auto* item = new QTreeWidgetItem(this);
    const QStyle::StandardPixmap icon = d.severity == Severity::Error ? QStyle::SP_MessageBoxCritical
        : d.severity == Severity::Warning                             ? QStyle::SP_MessageBoxWarning
                                                                      : QStyle::SP_MessageBoxInformation;
    item->setIcon(kKind, style()->standardIcon(icon));
    item->setText(kKind, severityName(d.severity));
    // The file by its name, its path in the tooltip; the text on one line, whole in the tooltip.
    item->setText(kFile, d.file.isEmpty() ? QString() : QFileInfo(d.file).fileName());
    item->setToolTip(kFile, d.file);
    item->setText(kLine, d.line ? QString::number(*d.line) : QString());
    item->setTextAlignment(kLine, Qt::AlignRight | Qt::AlignVCenter);
    QString oneLine = d.text;
    oneLine.replace(QLatin1Char('\n'), QStringLiteral("　"));
    item->setText(kText, oneLine);
    item->setToolTip(kText, d.text);
    scrollToItem(item);
    clearAction->setEnabled(true);
    emit changed();
}

void MessagesPanel::clearMessages()
{
    diagnostics_.clear();
    clear();
    clearAction->setEnabled(false);
    emit changed();
}

int MessagesPanel::count(Severity severity) const
{
    return int(std::count_if(diagnostics_.begin(), diagnostics_.end(),
        [severity](const Diagnostic& d) { return d.severity == severity; }));
}

QString MessagesPanel::rowText(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    if (!item)
        return QString();
    QStringList cells;
    for (int c = 0; c < columnCount(); ++c)
        cells << item->text(c);
    return cells.join(QLatin1Char('|'));
}

} // namespace kivotrek
