#pragma once

#include <QPointF>

#include <functional>

#include "canvas/MapTool.h"
#include "common/MapTypes.h"

namespace pelagon {

class MapCanvas;

// Moves the map with the pointer from the pressed point until the button is released; the last
// frame is shifted during the drag and the map is drawn anew at the release, then the callback
// runs. Esc puts the map back where it was, and the callback is not called.
class PanTracker : public MapTool {
public:
    PanTracker(MapCanvas& canvas, QPointF start, std::function<void()> done);

    void move(QMouseEvent& e) override;
    void release(QMouseEvent& e) override;
    bool key(QKeyEvent& e) override;
    void cancel() override;
    QCursor cursor() const override { return Qt::ClosedHandCursor; }
    void complete() override;

private:
    MapRect shifted(QPointF pos) const;

    MapCanvas& canvas_;
    QPointF start_;
    MapRect startExtent_;
    double unitsPerPixel_;
    bool cancelled_ = false;
    std::function<void()> done_;
};

}  // namespace pelagon
