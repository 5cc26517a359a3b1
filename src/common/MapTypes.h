#pragma once

#include <algorithm>
#include <cmath>

namespace pelagon {

// A nautical mile in map units (the metre of the map's plane).
inline constexpr double kMetresPerNauticalMile = 1852.0;

// A point of the map plane: easting and northing in map units (metres of the Albers plane).
struct MapPoint {
    double x = 0.0;
    double y = 0.0;

    friend bool operator==(const MapPoint&, const MapPoint&) = default;
};

// A rectangle of the map plane. left is the smallest x, right the largest, bottom the smallest y
// and top the largest. Values are kept as given; normalized() orders them.
struct MapRect {
    double left = 0.0;
    double right = 0.0;
    double bottom = 0.0;
    double top = 0.0;

    double width() const { return right - left; }
    double height() const { return top - bottom; }
    MapPoint center() const { return {(left + right) / 2.0, (bottom + top) / 2.0}; }

    // True when the edges are finite and the rectangle has a positive width and height.
    bool isValid() const {
        return std::isfinite(left) && std::isfinite(right) && std::isfinite(bottom) &&
               std::isfinite(top) && right > left && top > bottom;
    }

    MapRect normalized() const {
        return {std::min(left, right), std::max(left, right), std::min(bottom, top),
                std::max(bottom, top)};
    }

    // The rectangle scaled about its centre: width and height multiplied by factor.
    MapRect scaled(double factor) const {
        const MapPoint c = center();
        const double hw = width() * factor / 2.0;
        const double hh = height() * factor / 2.0;
        return {c.x - hw, c.x + hw, c.y - hh, c.y + hh};
    }

    // The one linear measure of a rectangle that the program uses (label heights are derived
    // from it): its width.
    double measure() const { return width(); }

    bool contains(MapPoint p) const {
        return p.x >= left && p.x <= right && p.y >= bottom && p.y <= top;
    }

    bool intersects(const MapRect& o) const {
        return left <= o.right && o.left <= right && bottom <= o.top && o.bottom <= top;
    }

    MapRect united(const MapRect& o) const {
        return {std::min(left, o.left), std::max(right, o.right), std::min(bottom, o.bottom),
                std::max(top, o.top)};
    }

    friend bool operator==(const MapRect&, const MapRect&) = default;
};

}  // namespace pelagon
