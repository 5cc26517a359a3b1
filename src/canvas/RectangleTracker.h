#pragma once

#include <QPointF>

#include <functional>

#include "canvas/MapTool.h"
#include "common/MapTypes.h"

namespace pelagon {

class MapCanvas;

// Drags a rectangle from the pressed point; ends when the button is released. A click without
// a drag (less than kDragDistance pixels) yields the rectangle centred on the point at half the
// width and height of the displayed extent, so a click zooms in twice. Esc abandons it: the
// callback is not called.
class RectangleTracker : public MapTool {
public:
    static constexpr double kDragDistance = 4.0;

    RectangleTracker(MapCanvas& canvas, QPointF start, std::function<void(MapRect)> done);

    void move(QMouseEvent& e) override;
    void release(QMouseEvent& e) override;
    bool key(QKeyEvent& e) override;
    void cancel() override;
    void paint(QPainter& p) const override;
    void complete() override;

private:
    MapCanvas& canvas_;
    QPointF start_;
    QPointF current_;
    bool dragged_ = false;
    bool cancelled_ = false;
    MapRect result_;
    std::function<void(MapRect)> done_;
};

}  // namespace pelagon
