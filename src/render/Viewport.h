#pragma once

#include <QPointF>
#include <QSizeF>
#include <QTransform>

#include "common/MapTypes.h"

namespace pelagon {

// Maps between the map plane and a drawing surface. Value type.
//
// Given a surface size (in logical pixels, or any device unit) and a requested rectangle, the
// viewport shows the whole rectangle, centred, widened in one direction to the surface's aspect
// ratio; extent() returns what is shown. Map y grows upwards, surface y downwards.
class Viewport {
public:
    Viewport() = default;
    Viewport(QSizeF size, const MapRect& requested);

    // The rectangle that is shown.
    const MapRect& extent() const { return extent_; }
    QSizeF size() const { return size_; }
    bool isValid() const { return size_.width() > 0 && size_.height() > 0 && extent_.isValid(); }

    // Map units per surface unit (the same across and down).
    double mapUnitsPerPixel() const { return unitsPerPixel_; }

    QPointF toPixel(MapPoint p) const {
        return {(p.x - extent_.left) / unitsPerPixel_, (extent_.top - p.y) / unitsPerPixel_};
    }
    MapPoint toMap(QPointF p) const {
        return {extent_.left + p.x() * unitsPerPixel_, extent_.top - p.y() * unitsPerPixel_};
    }

    // The map-to-surface transform, for handing whole paths to a painter.
    QTransform transform() const;

    // The same extent on a surface of another size (for example a printer page): the requested
    // rectangle is the extent shown here.
    Viewport resized(QSizeF size) const { return Viewport(size, extent_); }

    // The smallest map width a viewport shows; requests below it are widened about their centre.
    static constexpr double kMinimumWidth = 1.0;

private:
    QSizeF size_;
    MapRect extent_;
    double unitsPerPixel_ = 1.0;
};

}  // namespace pelagon
