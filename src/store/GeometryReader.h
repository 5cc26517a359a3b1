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
    enum class Status { Ok, Overflow, BadCoordinate, WrongKind, Unsupported };

    GeometryReader(FeatureStore::VertexArray& vertices, std::vector<std::uint32_t>& ringStarts,
                   RunBoxes runs, GeometryKind kind, GridFrame frame)
        : vertices_(vertices),
          ringStarts_(ringStarts),
          runs_(runs),
          kind_(kind),
          frame_(frame),
          inverse_(1.0 / frame.step) {}

    // Appends the rings of one feature; box receives their box.
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
    Status put(double x, double y);

    // Rounds half away from zero; a plain conversion, not a library call per vertex.
    static std::int32_t roundToInt(double v) {
        return static_cast<std::int32_t>(v + std::copysign(0.5, v));
    }

    static constexpr double kLimit = 2147483000.0;

    FeatureStore::VertexArray& vertices_;
    std::vector<std::uint32_t>& ringStarts_;
    RunBoxes runs_;
    GeometryKind kind_;
    GridFrame frame_;
    double inverse_;
    GridBox box_;
};

}  // namespace pelagon
