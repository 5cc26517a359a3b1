#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "common/MapTypes.h"

namespace pelagon {

// Layer coordinates are kept as 32-bit integers on a regular grid: map = origin + grid * step.
// The step is a power of two chosen per layer so the layer's extent spans about a quarter of the
// 32-bit range; that is about 2 mm for an extent of 4,000 km, far finer than any drawing needs,
// and a coordinate that is a multiple of the step (whole metres, say) is kept exactly.
// Left uninitialized by default so that large arrays of them are not cleared before they are
// filled; GridPoint{} is (0, 0).
struct GridPoint {
    std::int32_t x;
    std::int32_t y;

    friend bool operator==(const GridPoint&, const GridPoint&) = default;
};

// A box of grid cells, bounds included.
struct GridBox {
    std::int32_t minX = std::numeric_limits<std::int32_t>::max();
    std::int32_t minY = std::numeric_limits<std::int32_t>::max();
    std::int32_t maxX = std::numeric_limits<std::int32_t>::min();
    std::int32_t maxY = std::numeric_limits<std::int32_t>::min();

    bool isEmpty() const { return minX > maxX || minY > maxY; }

    void add(GridPoint p) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
    void add(const GridBox& b) {
        minX = std::min(minX, b.minX);
        minY = std::min(minY, b.minY);
        maxX = std::max(maxX, b.maxX);
        maxY = std::max(maxY, b.maxY);
    }
    bool intersects(const GridBox& o) const {
        return minX <= o.maxX && o.minX <= maxX && minY <= o.maxY && o.minY <= maxY;
    }
    bool contains(const GridBox& o) const {
        return minX <= o.minX && o.maxX <= maxX && minY <= o.minY && o.maxY <= maxY;
    }

    friend bool operator==(const GridBox&, const GridBox&) = default;
};

// The placement of a layer's grid on the map plane.
struct GridFrame {
    double originX = 0.0;
    double originY = 0.0;
    double step = 1.0;

    // The frame for coordinates inside [minX, maxX] x [minY, maxY].
    static GridFrame forExtent(double minX, double minY, double maxX, double maxY) {
        GridFrame f;
        const double half = std::max(maxX - minX, maxY - minY) / 2.0;
        // |grid| stays below 2^29 inside the extent, leaving room for a header extent that is
        // slightly off. The step is a power of two so grid * step is exact in double.
        f.step = half > 0.0 ? std::exp2(std::ceil(std::log2(half / 536870912.0))) : 0.0009765625;
        const double cx = (minX + maxX) / 2.0;
        const double cy = (minY + maxY) / 2.0;
        // The origin is a multiple of the step, so coordinates on the step are kept exactly.
        const double unit = std::max(f.step, 1.0);
        f.originX = std::round(cx / unit) * unit;
        f.originY = std::round(cy / unit) * unit;
        return f;
    }

    MapPoint toMap(GridPoint p) const { return {originX + p.x * step, originY + p.y * step}; }
    // Unrounded grid coordinates of a map position.
    double gridX(double x) const { return (x - originX) / step; }
    double gridY(double y) const { return (y - originY) / step; }

    MapRect toMap(const GridBox& b) const {
        return {originX + b.minX * step, originX + b.maxX * step, originY + b.minY * step,
                originY + b.maxY * step};
    }

    // The grid cells that cover a map rectangle, rounded outwards and clamped to the grid.
    GridBox cover(const MapRect& r) const {
        const MapRect n = r.normalized();
        return {clampFloor(gridX(n.left)), clampFloor(gridY(n.bottom)), clampCeil(gridX(n.right)),
                clampCeil(gridY(n.top))};
    }

    static std::int32_t clampFloor(double v) { return clampToGrid(std::floor(v)); }
    static std::int32_t clampCeil(double v) { return clampToGrid(std::ceil(v)); }
    static std::int32_t clampToGrid(double v) {
        constexpr double lo = std::numeric_limits<std::int32_t>::min();
        constexpr double hi = std::numeric_limits<std::int32_t>::max();
        if (!(v >= lo)) {  // also NaN
            return std::numeric_limits<std::int32_t>::min();
        }
        if (v >= hi) {
            return std::numeric_limits<std::int32_t>::max();
        }
        return static_cast<std::int32_t>(v);
    }
};

}  // namespace pelagon
