#include "app/drawingprogress.h"

#include "common/messages.h"

#include <QProgressDialog>
#include <algorithm>

namespace kivotrek {

DrawingProgress::DrawingProgress(QWidget* parent, qint64 total) : total_(total)
{
    if (total <= kThreshold)
        return;
    // The bar counts in thousands: a QProgressDialog takes int values.
    dialog_ = std::make_unique<QProgressDialog>(msg::drawingProgress(), msg::cancelCaption(), 0,
        int(std::min<qint64>(total / 1000 + 1, 1 << 30)), parent);
    dialog_->setObjectName(QStringLiteral("drawingProgress"));
    dialog_->setWindowTitle(msg::title());
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(0);
    dialog_->setAutoReset(false);
    dialog_->setAutoClose(false);
    dialog_->setValue(0);
}

DrawingProgress::~DrawingProgress() = default;

std::function<bool(qint64)> DrawingProgress::callback()
{
    if (!dialog_)
        return {};
    return [this](qint64 drawn) {
        // A modal dialog's setValue lets the cancel button be pressed.
        dialog_->setValue(int(std::min(drawn, total_) / 1000));
        return !dialog_->wasCanceled();
    };
}

} // namespace kivotrek
