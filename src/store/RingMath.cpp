#include "store/RingMath.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace pelagon::ringmath {

namespace {

GridPoint rounded(double x, double y) {
    return {GridFrame::clampToGrid(std::round(x)), GridFrame::clampToGrid(std::round(y))};
}

}  // namespace

GridPoint interiorPoint(std::span<const RingWithRuns> rings, const GridBox& box,
                        std::size_t runLength, std::vector<double>& xs) {
    // The middle height first; other heights only for shapes whose middle line meets no area.
    for (const double fraction : {0.5, 0.3, 0.7, 0.1, 0.9}) {
        const double y = box.minY + (static_cast<double>(box.maxY) - box.minY) * fraction;
        xs.clear();
        for (const RingWithRuns& r : rings) {
            const auto& ring = r.ring;
            const std::size_t n = ring.size();
            const std::size_t runs = r.runs.empty() ? 1 : r.runs.size();
            for (std::size_t c = 0; c < runs; ++c) {
                if (!r.runs.empty() && (r.runs[c].maxY <= y || r.runs[c].minY > y)) {
                    continue;  // no edge of this run crosses the line
                }
                const std::size_t begin = r.runs.empty() ? 0 : c * runLength;
                const std::size_t end = r.runs.empty() ? n : std::min(n, begin + runLength);
                for (std::size_t i = begin; i < end; ++i) {
                    const GridPoint a = ring[i];
                    const GridPoint b = ring[i + 1 == n ? 0 : i + 1];
                    if ((a.y > y) != (b.y > y)) {
                        xs.push_back(a.x + (y - a.y) * (static_cast<double>(b.x) - a.x) /
                                               (static_cast<double>(b.y) - a.y));
                    }
                }
            }
        }
        std::sort(xs.begin(), xs.end());
        double best = -1.0;
        double bestX = 0.0;
        for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
            const double w = xs[i + 1] - xs[i];
            if (w > best) {
                best = w;
                bestX = (xs[i] + xs[i + 1]) / 2.0;
            }
        }
        if (best > 0.0) {
            return rounded(bestX, y);
        }
    }
    for (const RingWithRuns& r : rings) {
        if (!r.ring.empty()) {
            return r.ring.front();
        }
    }
    return {};
}

double pathLength(std::span<const GridPoint> path) {
    double total = 0.0;
    for (std::size_t i = 1; i < path.size(); ++i) {
        total += std::hypot(static_cast<double>(path[i].x) - path[i - 1].x,
                            static_cast<double>(path[i].y) - path[i - 1].y);
    }
    return total;
}

GridPoint pathMiddle(std::span<const GridPoint> path) {
    if (path.empty()) {
        return {};
    }
    double remaining = pathLength(path) / 2.0;
    for (std::size_t i = 1; i < path.size(); ++i) {
        const double dx = static_cast<double>(path[i].x) - path[i - 1].x;
        const double dy = static_cast<double>(path[i].y) - path[i - 1].y;
        const double len = std::hypot(dx, dy);
        if (len >= remaining && len > 0.0) {
            const double t = remaining / len;
            return rounded(path[i - 1].x + t * dx, path[i - 1].y + t * dy);
        }
        remaining -= len;
    }
    return path.back();
}

double pathMiddleAngle(std::span<const GridPoint> path) {
    double remaining = pathLength(path) / 2.0;
    for (std::size_t i = 1; i < path.size(); ++i) {
        const double dx = static_cast<double>(path[i].x) - path[i - 1].x;
        const double dy = static_cast<double>(path[i].y) - path[i - 1].y;
        const double len = std::hypot(dx, dy);
        if (len >= remaining && len > 0.0) {
            return std::atan2(dy, dx);
        }
        remaining -= len;
    }
    return 0.0;
}

}  // namespace pelagon::ringmath
