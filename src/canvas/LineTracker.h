#pragma once

#include <QPointF>

#include <functional>
#include <optional>
#include <vector>

#include "canvas/MapTool.h"
#include "common/MapTypes.h"

namespace pelagon {

class MapCanvas;

// Lets the user draw a path from the pressed point: each click adds a vertex, a rubber band
// follows the pointer, a double-click or Enter ends the path (a double-click elsewhere than the
// last vertex adds its point first), Backspace takes back the last vertex, and Esc abandons the
// path, which then yields nullopt. The map may be zoomed and moved meanwhile.
class LineTracker : public MapTool {
public:
    using Path = std::vector<MapPoint>;

    LineTracker(MapCanvas& canvas, QPointF start, std::function<void(std::optional<Path>)> done);

    void press(QMouseEvent& e) override;
    void move(QMouseEvent& e) override;
    void doubleClick(QMouseEvent& e) override;
    bool key(QKeyEvent& e) override;
    void cancel() override;
    void paint(QPainter& p) const override;
    bool allowsNavigation() const override { return true; }
    void complete() override;

    const Path& vertices() const { return vertices_; }

private:
    bool nearLast(QPointF windowPos) const;

    MapCanvas& canvas_;
    Path vertices_;
    std::optional<QPointF> hover_;
    bool cancelled_ = false;
    std::function<void(std::optional<Path>)> done_;
};

}  // namespace pelagon
