#pragma once

class QPainter;

namespace pelagon {

class Viewport;

// Something drawn over the map's layers (the positions of a file, say): the canvas paints its
// overlays after the frame, in the order they were added, on screen and when it prints.
class MapOverlay {
public:
    virtual ~MapOverlay() = default;
    virtual void paint(QPainter& painter, const Viewport& viewport) const = 0;
};

}  // namespace pelagon
