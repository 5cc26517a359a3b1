#include "canvas/PanTracker.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include "canvas/MapCanvas.h"

namespace pelagon {

PanTracker::PanTracker(MapCanvas& canvas, QPointF start, std::function<void()> done)
    : canvas_(canvas),
      start_(start),
      startExtent_(canvas.extent()),
      unitsPerPixel_(canvas.mapUnitsPerPixel()),
      done_(std::move(done)) {}

MapRect PanTracker::shifted(QPointF pos) const {
    // Dragging right shows what lies further left: the extent moves against the pointer.
    const double dx = (pos.x() - start_.x()) * unitsPerPixel_;
    const double dy = (pos.y() - start_.y()) * unitsPerPixel_;
    return {startExtent_.left - dx, startExtent_.right - dx, startExtent_.bottom + dy,
            startExtent_.top + dy};
}

void PanTracker::move(QMouseEvent& e) {
    canvas_.previewExtent(shifted(e.position()));
}

void PanTracker::release(QMouseEvent& e) {
    canvas_.setExtent(shifted(e.position()));
    finish();
}

bool PanTracker::key(QKeyEvent& e) {
    if (e.key() == Qt::Key_Escape) {
        cancel();
        return true;
    }
    return false;
}

void PanTracker::cancel() {
    cancelled_ = true;
    canvas_.setExtent(startExtent_);
    finish();
}

void PanTracker::complete() {
    if (!cancelled_ && done_) {
        done_();
    }
}

}  // namespace pelagon
