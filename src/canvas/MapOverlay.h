#pragma once

#include <atomic>
#include <memory>

class QPainter;

namespace pelagon {

class Viewport;

// What an overlay draws into the map's frame: a copy of its content taken on the window's
// thread and drawn on the renderer's worker, so that heavy drawing never holds up the window.
class OverlayPicture {
public:
    virtual ~OverlayPicture() = default;
    // Draws the picture; cancel (may be null) is checked as it goes. False when it stopped
    // unfinished because cancel turned true.
    virtual bool draw(QPainter& painter, const Viewport& viewport,
                      const std::atomic<bool>* cancel) const = 0;
};

// Something drawn over the map's layers (the positions of a file, say), in the order overlays
// were added, on screen and when the map is printed. The heavy part, picture(), is drawn into
// the frame with the layers; paint() draws what must follow the view at once (a mark) over the
// frame, on the window's thread, and must stay cheap.
class MapOverlay {
public:
    virtual ~MapOverlay() = default;
    // What goes into the frame, as the overlay is now; null when nothing does.
    virtual std::shared_ptr<const OverlayPicture> picture() const { return nullptr; }
    virtual void paint(QPainter& painter, const Viewport& viewport) const = 0;
};

}  // namespace pelagon
