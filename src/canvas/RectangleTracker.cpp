#include "canvas/RectangleTracker.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "canvas/MapCanvas.h"

namespace pelagon {

RectangleTracker::RectangleTracker(MapCanvas& canvas, QPointF start,
                                   std::function<void(MapRect)> done)
    : canvas_(canvas), start_(start), current_(start), done_(std::move(done)) {}

void RectangleTracker::move(QMouseEvent& e) {
    current_ = e.position();
    const QPointF d = current_ - start_;
    if (std::abs(d.x()) >= kDragDistance || std::abs(d.y()) >= kDragDistance) {
        dragged_ = true;
    }
    canvas_.update();
}

void RectangleTracker::release(QMouseEvent& e) {
    current_ = e.position();
    const QPointF d = current_ - start_;
    dragged_ = dragged_ || std::abs(d.x()) >= kDragDistance || std::abs(d.y()) >= kDragDistance;
    if (dragged_) {
        const MapPoint a = canvas_.toMapPoint(start_);
        const MapPoint b = canvas_.toMapPoint(current_);
        result_ = MapRect{a.x, b.x, a.y, b.y}.normalized();
    } else {
        const MapRect shown = canvas_.extent();
        const MapPoint c = canvas_.toMapPoint(start_);
        const double hw = shown.width() / 4.0, hh = shown.height() / 4.0;
        result_ = MapRect{c.x - hw, c.x + hw, c.y - hh, c.y + hh};
    }
    finish();
    canvas_.update();
}

bool RectangleTracker::key(QKeyEvent& e) {
    if (e.key() == Qt::Key_Escape) {
        cancel();
        return true;
    }
    return false;
}

void RectangleTracker::cancel() {
    cancelled_ = true;
    finish();
    canvas_.update();
}

void RectangleTracker::paint(QPainter& p) const {
    if (!dragged_ || finished()) {
        return;
    }
    const QRectF r = QRectF(start_, current_).normalized();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 1));
    p.drawRect(r);
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.drawRect(r);
    p.restore();
}

void RectangleTracker::complete() {
    if (!cancelled_ && done_) {
        done_(result_);
    }
}

}  // namespace pelagon
