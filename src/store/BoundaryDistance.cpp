#include "store/BoundaryDistance.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <vector>

#include "store/RingMath.h"

namespace pelagon {

namespace {

// Squared distance in grid units from (gx, gy) to a box of grid cells; 0 inside it.
double boxDistanceSquared(const GridBox& b, double gx, double gy) {
    const double dx = std::max({b.minX - gx, 0.0, gx - b.maxX});
    const double dy = std::max({b.minY - gy, 0.0, gy - b.maxY});
    return dx * dx + dy * dy;
}

// Boxes first .. last - 1 of boxes that lie within best (squared grid units) of (gx, gy), as
// (squared distance, index), nearest first.
void nearestFirst(std::span<const GridBox> boxes, std::size_t first, std::size_t last, double gx,
                  double gy, double best, std::vector<std::pair<double, std::size_t>>& out) {
    out.clear();
    for (std::size_t i = first; i < last; ++i) {
        const double box2 = boxDistanceSquared(boxes[i], gx, gy);
        if (box2 <= best) {
            out.emplace_back(box2, i);
        }
    }
    std::sort(out.begin(), out.end());
}

// The squared grid distance to the boundary of feature f, no further than limit2 (larger values
// come back as they are found or as limit2).
double boundaryDistanceSquared(const FeatureStore& store, FeatureId f, double gx, double gy,
                               double limit2) {
    double best = limit2;
    const bool closed = store.kind() == GeometryKind::Polygons;
    for (std::uint32_t r = store.firstRing(f); r < store.endRing(f); ++r) {
        const auto v = store.ring(r);
        const std::size_t n = v.size();
        if (n == 0) {
            continue;
        }
        if (n == 1 || store.kind() == GeometryKind::Points) {
            for (const GridPoint& q : v) {
                const double dx = q.x - gx;
                const double dy = q.y - gy;
                best = std::min(best, dx * dx + dy * dy);
            }
            continue;
        }
        const std::size_t edges = closed ? n : n - 1;
        auto runDistance = [&](std::size_t begin, std::size_t end) {
            for (std::size_t e = begin; e < end; ++e) {
                best = std::min(best, ringmath::distanceSquaredToSegment(
                                          gx, gy, v[e], v[e + 1 == n ? 0 : e + 1]));
            }
        };
        const FeatureStore::RingRuns runs = store.ringRuns(r);
        if (runs.runs.empty()) {
            // A ring's box costs less to find than its edges' distances: a ring whose box lies
            // farther than the best distance found is passed over (holes and islands, mostly).
            if (best < std::numeric_limits<double>::infinity() && n > 8) {
                GridBox b{v[0].x, v[0].y, v[0].x, v[0].y};
                for (const GridPoint& q : v) {
                    b.minX = std::min(b.minX, q.x);
                    b.minY = std::min(b.minY, q.y);
                    b.maxX = std::max(b.maxX, q.x);
                    b.maxY = std::max(b.maxY, q.y);
                }
                if (boxDistanceSquared(b, gx, gy) > best) {
                    continue;
                }
            }
            runDistance(0, edges);
            continue;
        }
        // Groups of runs nearest first, and within a group its runs nearest first: once a box
        // lies farther than the best distance found, so do all the boxes after it.
        thread_local std::vector<std::pair<double, std::size_t>> groups;
        thread_local std::vector<std::pair<double, std::size_t>> order;
        nearestFirst(runs.groups, 0, runs.groups.size(), gx, gy, best, groups);
        for (const auto& [group2, g] : groups) {
            if (group2 > best) {
                break;
            }
            nearestFirst(runs.runs, g * FeatureStore::kGroupRuns,
                         std::min(runs.runs.size(), (g + 1) * FeatureStore::kGroupRuns), gx, gy,
                         best, order);
            for (const auto& [box2, c] : order) {
                if (box2 > best) {
                    break;
                }
                const std::size_t begin = c * FeatureStore::kChunkEdges;
                runDistance(begin, std::min(edges, begin + FeatureStore::kChunkEdges));
            }
        }
    }
    return best;
}

}  // namespace

double distanceToBoundary(const FeatureStore& store, FeatureId f, MapPoint p) {
    const GridFrame& frame = store.frame();
    const double d2 = boundaryDistanceSquared(store, f, frame.gridX(p.x), frame.gridY(p.y),
                                              std::numeric_limits<double>::infinity());
    return std::sqrt(d2) * frame.step;
}

std::optional<FeatureDistance> nearestFeature(const FeatureStore& store, MapPoint p,
                                              double maxDistance) {
    if (store.featureCount() == 0 || !std::isfinite(p.x) || !std::isfinite(p.y) ||
        !(maxDistance >= 0)) {
        return std::nullopt;
    }
    const GridFrame& frame = store.frame();
    const double gx = frame.gridX(p.x);
    const double gy = frame.gridY(p.y);
    const double limit = maxDistance / frame.step;
    const double limit2 =
        std::isfinite(limit) ? limit * limit : std::numeric_limits<double>::infinity();
    // The whole layer lies within this reach of the point: no need to widen further.
    const GridBox& all = store.gridExtent();
    const double farthest =
        std::hypot(std::max(std::fabs(all.minX - gx), std::fabs(all.maxX - gx)),
                   std::max(std::fabs(all.minY - gy), std::fabs(all.maxY - gy)));
    // Start with a reach of a few average features and double it until the best distance found
    // lies within the reach (then nothing outside it can be nearer).
    const double span = std::max<double>(all.maxX - all.minX, all.maxY - all.minY);
    double reach = std::max(1.0, span / std::sqrt(static_cast<double>(store.featureCount())));
    // Kept by the thread between calls, with only the marks set by a call cleared at its end:
    // a batch of positions asks for many points of big layers.
    thread_local std::vector<FeatureId> candidates;
    thread_local std::vector<std::uint8_t> seen;
    thread_local std::vector<FeatureId> marked;
    if (seen.size() < store.featureCount()) {
        seen.resize(store.featureCount(), 0);
    }
    marked.clear();
    std::optional<FeatureDistance> best;
    double best2 = limit2;
    for (;;) {
        const double r = std::min(reach, std::sqrt(limit2) + 1.0);
        const GridBox box{GridFrame::clampFloor(gx - r), GridFrame::clampFloor(gy - r),
                          GridFrame::clampCeil(gx + r), GridFrame::clampCeil(gy + r)};
        store.featuresIn(box, candidates);
        for (const FeatureId f : candidates) {
            if (seen[f]) {
                continue;
            }
            if (boxDistanceSquared(store.featureBox(f), gx, gy) > best2) {
                continue;  // looked at again in a wider round, if it could still win
            }
            seen[f] = 1;
            marked.push_back(f);
            const double d2 = boundaryDistanceSquared(store, f, gx, gy, best2);
            if (d2 < best2) {
                best2 = d2;
                best = FeatureDistance{f, 0};
            }
        }
        if ((best && best2 <= r * r) || r >= farthest || r * r >= limit2) {
            break;
        }
        reach *= 2;
    }
    for (const FeatureId f : marked) {
        seen[f] = 0;
    }
    if (!best || best2 > limit2) {
        return std::nullopt;
    }
    best->distance = std::sqrt(best2) * frame.step;
    return best;
}

std::optional<AreaDistance> distanceToAreas(const FeatureStore& store, MapPoint p) {
    if (store.kind() != GeometryKind::Polygons || store.featureCount() == 0 ||
        !std::isfinite(p.x) || !std::isfinite(p.y)) {
        return std::nullopt;
    }
    if (const std::optional<FeatureId> in = store.firstFeatureAt(p, 0)) {
        return AreaDistance{true, *in, distanceToBoundary(store, *in, p)};
    }
    const auto nearest = nearestFeature(store, p, std::numeric_limits<double>::infinity());
    if (!nearest) {
        return std::nullopt;
    }
    return AreaDistance{false, nearest->feature, nearest->distance};
}

}  // namespace pelagon
