#pragma once

#include <atomic>
#include <memory>

#include <QSize>

class QPainter;

namespace pelagon {

class Viewport;

// The surface a picture is to be drawn on, as far as preparing the picture needs to know it.
struct PictureSurface {
    bool known = false;   // false: no device, nothing below is known
    QSize pixels;         // device pixels
    double ratio = 1;     // device pixels per logical pixel
    double dpi = 96;      // logical dots per inch
    bool raster = false;  // painted by Qt's raster engine
    bool plain = false;   // the painter's transform is the identity
    // The surface painter paints on, as it is now.
    static PictureSurface of(const QPainter& painter);
};

// A picture made ready for one surface and view: drawing it is all that is left.
class PreparedPicture {
public:
    virtual ~PreparedPicture() = default;
    // Draws it with a painter on the surface it was prepared for; cancel (may be null) is
    // checked as it goes. False when it stopped unfinished because cancel turned true.
    virtual bool draw(QPainter& painter, const std::atomic<bool>* cancel) const = 0;
};

// What an overlay draws into the map's frame: a copy of its content taken on the window's
// thread and drawn on the renderer's worker, so that heavy drawing never holds up the window.
class OverlayPicture {
public:
    virtual ~OverlayPicture() = default;
    // Draws the picture; cancel (may be null) is checked as it goes. False when it stopped
    // unfinished because cancel turned true.
    virtual bool draw(QPainter& painter, const Viewport& viewport,
                      const std::atomic<bool>* cancel) const = 0;
    // Does all the work that needs only the surface and the view, not what is drawn beneath the
    // picture, so that the renderer can do it beside the map's layers; drawing the result gives
    // what draw() gives. Null when cancel turned true. By default nothing is done beforehand.
    // The picture must outlive what this returns.
    virtual std::unique_ptr<PreparedPicture> prepare(const PictureSurface& surface,
                                                     const Viewport& viewport,
                                                     const std::atomic<bool>* cancel) const;
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
