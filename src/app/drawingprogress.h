#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

namespace kivotrek {

// A progress dialog for printing or saving a large board: shown at once for a drawing of more
// than kThreshold holes and slots, with a cancel button; nothing at all for smaller ones.
class DrawingProgress {
public:
    static constexpr qint64 kThreshold = 100000;

    DrawingProgress(QWidget* parent, qint64 total);
    ~DrawingProgress();
    DrawingProgress(const DrawingProgress&) = delete;
    DrawingProgress& operator=(const DrawingProgress&) = delete;

    // What the drawing tells of its progress (see DrawingOptions::progress): false once the
    // user has cancelled. Empty when no dialog is shown.
    std::function<bool(qint64)> callback();
    bool shown() const { return dialog_ != nullptr; }

private:
    std::unique_ptr<QProgressDialog> dialog_;
    qint64 total_ = 0;
};

} // namespace kivotrek
