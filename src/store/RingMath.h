#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "store/Grid.h"

namespace pelagon::ringmath {

// Small geometric helpers on grid coordinates, shared by the store's point tests and its label
// anchors. Arithmetic is done in double: grid values need 32 bits, products up to 64.

inline double distanceSquaredToSegment(double px, double py, GridPoint a, GridPoint b) {
    const double ax = a.x, ay = a.y;
    const double dx = b.x - ax, dy = b.y - ay;
    double t = 0.0;
    const double len2 = dx * dx + dy * dy;
    if (len2 > 0.0) {
        t = ((px - ax) * dx + (py - ay) * dy) / len2;
        t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
    }
    const double ex = ax + t * dx - px, ey = ay + t * dy - py;
    return ex * ex + ey * ey;
}

// True when the rightward ray from (px, py) crosses the edge a-b (half-open in y, so a vertex
// on the ray is counted once).
inline bool rayCrosses(double px, double py, GridPoint a, GridPoint b) {
    if ((a.y > py) == (b.y > py)) {
        return false;
    }
    const double x =
        a.x + (py - a.y) * (static_cast<double>(b.x) - a.x) / (static_cast<double>(b.y) - a.y);
    return px < x;
}

// Whether the box, grown by margin, contains the point.
inline bool nearBox(const GridBox& b, double px, double py, double margin) {
    return px >= b.minX - margin && px <= b.maxX + margin && py >= b.minY - margin &&
           py <= b.maxY + margin;
}

// A ring with the boxes of its runs of runLength edges (none for a short ring).
struct RingWithRuns {
    std::span<const GridPoint> ring;
    std::span<const GridBox> runs;
};

// A point inside the even-odd area of the rings (each closed implicitly): the middle of the
// widest span cut by a horizontal line through the box. Runs that do not reach the line are
// skipped. Falls back to the first vertex for rings without area. scratch is working space.
GridPoint interiorPoint(std::span<const RingWithRuns> rings, const GridBox& box,
                        std::size_t runLength, std::vector<double>& scratch);

// The point half way along a polyline.
GridPoint pathMiddle(std::span<const GridPoint> path);

double pathLength(std::span<const GridPoint> path);

// The direction (radians, counter-clockwise from the grid's x axis) of the segment that holds
// the point half way along a polyline; 0 for a path without length.
double pathMiddleAngle(std::span<const GridPoint> path);

}  // namespace pelagon::ringmath
