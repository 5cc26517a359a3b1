#include "render/Viewport.h"

#include <algorithm>

namespace pelagon {

Viewport::Viewport(QSizeF size, const MapRect& requested) : size_(size) {
    MapRect r = requested.normalized();
    const MapPoint c = r.center();
    double w = std::max(r.width(), kMinimumWidth);
    double h = std::max(r.height(), kMinimumWidth);
    const double sw = std::max(size.width(), 1.0);
    const double sh = std::max(size.height(), 1.0);
    // Widen whichever side is short for the surface's aspect ratio, so the whole request shows.
    unitsPerPixel_ = std::max(w / sw, h / sh);
    w = unitsPerPixel_ * sw;
    h = unitsPerPixel_ * sh;
    extent_ = {c.x - w / 2.0, c.x + w / 2.0, c.y - h / 2.0, c.y + h / 2.0};
}

QTransform Viewport::transform() const {
    const double s = 1.0 / unitsPerPixel_;
    return QTransform(s, 0.0, 0.0, -s, -extent_.left * s, extent_.top * s);
}

}  // namespace pelagon
