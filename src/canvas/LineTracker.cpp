#include "canvas/LineTracker.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "canvas/MapCanvas.h"

namespace pelagon {

LineTracker::LineTracker(MapCanvas& canvas, QPointF start,
                         std::function<void(std::optional<Path>)> done)
    : canvas_(canvas), done_(std::move(done)) {
    vertices_.push_back(canvas_.toMapPoint(start));
}

bool LineTracker::nearLast(QPointF windowPos) const {
    const QPointF last = canvas_.toWindowPoint(vertices_.back());
    return std::abs(last.x() - windowPos.x()) < 2.0 && std::abs(last.y() - windowPos.y()) < 2.0;
}

void LineTracker::press(QMouseEvent& e) {
    vertices_.push_back(canvas_.toMapPoint(e.position()));
    canvas_.update();
}

void LineTracker::move(QMouseEvent& e) {
    hover_ = e.position();
    canvas_.update();
}

void LineTracker::doubleClick(QMouseEvent& e) {
    // The double-click's first press has already added its vertex.
    if (!nearLast(e.position())) {
        vertices_.push_back(canvas_.toMapPoint(e.position()));
    }
    finish();
    canvas_.update();
}

bool LineTracker::key(QKeyEvent& e) {
    switch (e.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            finish();
            canvas_.update();
            return true;
        case Qt::Key_Escape:
            cancel();
            return true;
        case Qt::Key_Backspace:
            if (vertices_.size() > 1) {
                vertices_.pop_back();
                canvas_.update();
            }
            return true;
        default:
            return false;
    }
}

void LineTracker::cancel() {
    cancelled_ = true;
    finish();
    canvas_.update();
}

void LineTracker::paint(QPainter& p) const {
    if (finished()) {
        return;
    }
    QPolygonF line;
    for (const MapPoint& v : vertices_) {
        line << canvas_.toWindowPoint(v);
    }
    if (hover_) {
        line << *hover_;
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 3));
    p.drawPolyline(line);
    p.setPen(QPen(Qt::black, 1));
    p.drawPolyline(line);
    p.restore();
}

void LineTracker::complete() {
    if (done_) {
        done_(cancelled_ ? std::nullopt : std::optional<Path>(vertices_));
    }
}

}  // namespace pelagon
