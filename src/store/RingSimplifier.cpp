#include "store/RingSimplifier.h"

#include "store/RingMath.h"

namespace pelagon {

using ringmath::distanceSquaredToSegment;

RingSimplifier::RingSimplifier(double tolerance)
    : tolerance_(tolerance),
      radial2_(tolerance * tolerance / 4.0),
      chord2_(tolerance * tolerance / 4.0) {}

namespace {

double distanceSquared(GridPoint a, GridPoint b) {
    const double dx = static_cast<double>(a.x) - b.x, dy = static_cast<double>(a.y) - b.y;
    return dx * dx + dy * dy;
}

}  // namespace

void RingSimplifier::keep(std::span<const GridPoint> v, bool closed) {
    points_.clear();
    kept_.clear();
    const std::size_t n = v.size();
    if (n == 0) {
        return;
    }
    points_.push_back(v[0]);
    for (std::size_t i = 1; i < n; ++i) {
        if (distanceSquared(v[i], points_.back()) >= radial2_) {
            points_.push_back(v[i]);
        }
    }
    if (!closed && n > 1 && !(points_.back() == v[n - 1])) {
        // An open line ends where it ends: its last vertex replaces the one kept near it.
        if (points_.size() > 1) {
            points_.back() = v[n - 1];
        } else {
            points_.push_back(v[n - 1]);
        }
    }
    const std::size_t m = points_.size();
    marks_.assign(m, 0);
    marks_[0] = 1;
    if (m > 1) {
        if (closed) {
            // Split the ring at the vertex farthest from the first and simplify both halves; the
            // second half ends at a copy of the first vertex.
            std::size_t far = 1;
            double best = -1.0;
            for (std::size_t i = 1; i < m; ++i) {
                const double d = distanceSquared(points_[i], points_[0]);
                if (d > best) {
                    best = d;
                    far = i;
                }
            }
            marks_[far] = 1;
            points_.push_back(points_[0]);
            marks_.push_back(0);
            douglasPeucker(0, far);
            douglasPeucker(far, m);
        } else {
            marks_[m - 1] = 1;
            douglasPeucker(0, m - 1);
        }
    }
    for (std::size_t i = 0; i < m; ++i) {
        if (marks_[i] != 0) {
            kept_.push_back(i);
        }
    }
}

void RingSimplifier::douglasPeucker(std::size_t first, std::size_t last) {
    stack_.clear();
    stack_.emplace_back(first, last);
    while (!stack_.empty()) {
        const auto [a, b] = stack_.back();
        stack_.pop_back();
        if (b <= a + 1) {
            continue;
        }
        double best = -1.0;
        std::size_t at = a;
        const GridPoint pa = points_[a], pb = points_[b];
        for (std::size_t i = a + 1; i < b; ++i) {
            const double d = distanceSquaredToSegment(points_[i].x, points_[i].y, pa, pb);
            if (d > best) {
                best = d;
                at = i;
            }
        }
        if (best > chord2_) {
            marks_[at] = 1;
            stack_.emplace_back(a, at);
            stack_.emplace_back(at, b);
        }
    }
}

}  // namespace pelagon
