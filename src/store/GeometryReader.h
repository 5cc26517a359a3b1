#pragma once

#include <ogr_geometry.h>

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "store/FeatureStore.h"

namespace pelagon {

// How OGR geometry types map onto the three kinds of geometry a layer holds.
QString kindName(GeometryKind k);
QString typeName(OGRwkbGeometryType t);
std::optional<GeometryKind> kindOfType(OGRwkbGeometryType type);
// Layer types that say nothing about the features' kind; the first feature decides.
bool isOpenType(OGRwkbGeometryType type);
// The kind of a feature's geometry, looking inside collections.
std::optional<GeometryKind> kindOfGeometry(const OGRGeometry& g);

// Where the boxes of the runs of long rings go (FeatureStore::ringChunks).
struct RunBoxes {
    std::vector<std::pair<std::uint32_t, std::uint32_t>>& longRings;
    std::vector<GridBox>& boxes;

    static constexpr std::size_t K = FeatureStore::kChunkEdges;
    static bool wanted(std::size_t vertices) { return vertices > 2 * K; }

    // The runs of ring r from its vertices. A run's box covers both ends of its edges: the
    // vertex after the run too, and for a closed ring the first vertex after the last. Points
    // are runs of K points and the point after.
    void add(std::uint32_t r, std::span<const GridPoint> v, bool closed, bool points);
};

// Fills the store's arrays from OGR geometries: one pass per ring converts the coordinates to the
// layer's grid, finds the ring's box and the boxes of its runs.
class GeometryReader {
public:
    // BadCoordinate: a coordinate that is not a finite number; OutsideBox: a vertex outside the
    // box set with allowOnly; Overflow: a vertex beyond the grid's range.
    enum class Status { Ok, Overflow, BadCoordinate, OutsideBox, WrongKind, Unsupported };

    GeometryReader(FeatureStore::VertexArray& vertices, std::vector<std::uint32_t>& ringStarts,
                   RunBoxes runs, GeometryKind kind, GridFrame frame)
        : vertices_(vertices),
          ringStarts_(ringStarts),
          runs_(runs),
          kind_(kind),
          frame_(frame),
          inverse_(1.0 / frame.step) {}

    // Vertices outside this box (map units) give OutsideBox. Without it only the grid's range
    // limits them.
    void allowOnly(double minX, double minY, double maxX, double maxY) {
        allowLo_[0] = (minX - frame_.originX) * inverse_;
        allowLo_[1] = (minY - frame_.originY) * inverse_;
        allowHi_[0] = (maxX - frame_.originX) * inverse_;
        allowHi_[1] = (maxY - frame_.originY) * inverse_;
        limited_ = true;
    }

    // Appends the rings of one feature; box receives their box. On a status other than Ok the
    // feature may have left rings behind: the caller takes them back.
    Status read(const OGRGeometry& g, GridBox& box, OGRwkbGeometryType& offending) {
        box_ = GridBox{};
        const Status s = append(g, offending);
        box = box_;
        return s;
    }

private:
    Status append(const OGRGeometry& g, OGRwkbGeometryType& offending);
    // Reads a whole ring or line straight from the curve's own point array onto the grid.
    Status addCurve(const OGRSimpleCurve& c, bool closed);
    Status rangeProblem(const OGRSimpleCurve& c, int n) const;
    bool outside(double loX, double loY, double hiX, double hiY) const {
        return limited_ && !(loX >= allowLo_[0] && loY >= allowLo_[1] && hiX <= allowHi_[0] &&
                             hiY <= allowHi_[1]);
    }
    Status put(double x, double y);

    // Rounds half away from zero; a plain conversion, not a library call per vertex.
    static std::int32_t roundToInt(double v) {
        return static_cast<std::int32_t>(v + std::copysign(0.5, v));
    }

    // The grid's range: below 2^30, so that the sum or difference of two grid coordinates (the
    // spatial index adds box corners to find centres) still fits in 32 bits. A layer's extent
    // spans less than 2^29 either side of its origin.
    static constexpr double kLimit = 1073741823.0;

    FeatureStore::VertexArray& vertices_;
    std::vector<std::uint32_t>& ringStarts_;
    RunBoxes runs_;
    GeometryKind kind_;
    GridFrame frame_;
    double inverse_;
    GridBox box_;
    bool limited_ = false;
    double allowLo_[2] = {0, 0}, allowHi_[2] = {0, 0};  // grid units
};

}  // namespace pelagon
