#pragma once

#include <cstdint>

class OGRGeometry;

namespace pelagon::bench {

// What a walk over geometries saw. The coordinate sum depends on every point read, so the
// compiler cannot drop the reads, and it tells two walks over the same data apart from a walk
// that skipped points.
struct PointWalkTotals {
    std::int64_t rings = 0;  // line strings and polygon rings
    std::int64_t vertices = 0;
    double coordinateSum = 0;
};

// Reads every point of a geometry (points, line strings, polygons and collections of them, at any
// depth) and adds it to the totals: the least work any reader of the geometry must do. Throws
// std::invalid_argument for curved geometry types, which shapefiles never hold.
void walkPoints(const OGRGeometry& geometry, PointWalkTotals& totals);

}  // namespace pelagon::bench
