#include <boost/geometry.hpp>
#include <boost/geometry/geometries/multi_point.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/ring.hpp>

#include <algorithm>
#include <iterator>
#include <span>
#include <vector>

#include "app/TrackLines.h"
#include "common/MapTypes.h"

// The convex hull of a file's positions, beyond which no track's line can lie.
namespace pelagon::track {

// The corners of the convex hull of points, in order around it (none where no point is).
std::vector<MapPoint> convexHull(std::span<const MapPoint> points) {
    namespace bg = boost::geometry;
    using Point = bg::model::d2::point_xy<double>;
    bg::model::multi_point<Point> near;
    near.reserve(points.size());
    for (const MapPoint& p : points) {
        near.emplace_back(p.x, p.y);
    }
    bg::model::ring<Point> ring;
    bg::convex_hull(near, ring);
    std::vector<MapPoint> hull;
    for (const Point& p : ring) {
        hull.push_back({p.x(), p.y()});
    }
    // The ring closes on its first corner, and repeats a lone point's.
    hull.erase(std::unique(hull.begin(), hull.end()), hull.end());
    if (hull.size() > 1 && hull.front() == hull.back()) {
        hull.pop_back();
    }
    return hull;
}

// Of many points, those that may be corners of their convex hull: a point strictly inside the
// polygon of the extreme points in eight directions (leftmost, lowest, rightmost, highest and
// the four between) is not. Most of a million positions are.
std::vector<MapPoint> hullCandidates(const std::vector<MapPoint>& points) {
    if (points.empty()) {
        return {};
    }
    // The extremes anticlockwise from the left (map y upwards): least x, x + y, y, greatest
    // x - y, x, x + y, y, least x - y.
    const auto along = [](const MapPoint& p, int k) {
        switch (k) {
            case 0:
                return -p.x;
            case 1:
                return -(p.x + p.y);
            case 2:
                return -p.y;
            case 3:
                return p.x - p.y;
            case 4:
                return p.x;
            case 5:
                return p.x + p.y;
            case 6:
                return p.y;
            default:
                return p.y - p.x;
        }
    };
    MapPoint extreme[8];
    std::fill(std::begin(extreme), std::end(extreme), points.front());
    for (const MapPoint& p : points) {
        for (int k = 0; k < 8; ++k) {
            extreme[k] = along(p, k) > along(extreme[k], k) ? p : extreme[k];
        }
    }
    std::vector<MapPoint> polygon;
    for (const MapPoint& p : extreme) {
        if (polygon.empty() || !(p == polygon.back())) {
            polygon.push_back(p);
        }
    }
    while (polygon.size() > 1 && polygon.front() == polygon.back()) {
        polygon.pop_back();
    }
    if (polygon.size() < 3) {
        return points;  // no inside to leave out
    }
    std::vector<MapPoint> kept;
    for (const MapPoint& p : points) {
        bool inside = true;
        for (std::size_t i = 0; i < polygon.size() && inside; ++i) {
            const MapPoint& a = polygon[i];
            const MapPoint& b = polygon[(i + 1) % polygon.size()];
            inside = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x) > 0;
        }
        if (!inside) {
            kept.push_back(p);
        }
    }
    return kept;
}

}  // namespace pelagon::track
