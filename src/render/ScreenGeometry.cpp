#include "render/ScreenGeometry.h"

#include <algorithm>
#include <cmath>

#include "store/FeatureStore.h"

namespace pelagon {

GridToSurface::GridToSurface(const GridFrame& frame, const Viewport& viewport) {
    const double upp = viewport.mapUnitsPerPixel();
    const MapRect& e = viewport.extent();
    a = frame.step / upp;
    bx = (frame.originX - e.left) / upp;
    cy = (e.top - frame.originY) / upp;
}

ScreenGeometry::ScreenGeometry(const GridToSurface& transform, const QRectF& clip,
                               const GridFrame& frame, const Viewport& viewport, double pixel)
    : t_(transform), clip_(clip), pixel_(pixel) {
    const MapPoint tl = viewport.toMap(clip.topLeft());
    const MapPoint br = viewport.toMap(clip.bottomRight());
    clipGrid_ = frame.cover(MapRect{tl.x, br.x, br.y, tl.y});
}

void ScreenGeometry::project(std::span<const GridPoint> v, std::span<const GridBox> runs,
                             bool closed, std::vector<QPointF>& out) const {
    out.clear();
    const std::size_t n = v.size();
    if (n == 0) {
        return;
    }
    double lastX = 0.0, lastY = 0.0;
    auto keep = [&](GridPoint g, bool force) {
        const QPointF p = t_(g);
        if (force || out.empty() || std::fabs(p.x() - lastX) >= pixel_ ||
            std::fabs(p.y() - lastY) >= pixel_) {
            out.push_back(p);
            lastX = p.x();
            lastY = p.y();
        }
    };
    if (runs.empty()) {
        for (std::size_t i = 0; i < n; ++i) {
            keep(v[i], false);
        }
    } else {
        // A run whose box lies outside the clip rectangle lies wholly on one side of it, and so
        // does the chord between its ends: drawing the chord changes nothing inside.
        constexpr std::size_t K = FeatureStore::kChunkEdges;
        for (std::size_t c = 0; c < runs.size(); ++c) {
            const std::size_t begin = c * K;
            if (begin >= n) {
                break;
            }
            if (!runs[c].intersects(clipGrid_)) {
                keep(v[begin], true);
                continue;
            }
            const std::size_t end = std::min(n, begin + K);
            for (std::size_t i = begin; i < end; ++i) {
                keep(v[i], false);
            }
        }
    }
    if (!closed && n > 1) {
        const QPointF last = t_(v[n - 1]);
        if (out.back() != last) {
            if (out.size() > 1 && std::fabs(last.x() - lastX) < pixel_ &&
                std::fabs(last.y() - lastY) < pixel_) {
                out.back() = last;  // end exactly where the line ends
            } else {
                out.push_back(last);
            }
        }
    }
}

namespace {

template <typename Inside, typename Cross>
void clipEdge(const std::vector<QPointF>& in, std::vector<QPointF>& out, Inside inside,
              Cross cross) {
    out.clear();
    const std::size_t n = in.size();
    if (n == 0) {
        return;
    }
    QPointF prev = in[n - 1];
    bool prevIn = inside(prev);
    for (std::size_t i = 0; i < n; ++i) {
        const QPointF cur = in[i];
        const bool curIn = inside(cur);
        if (curIn != prevIn) {
            out.push_back(cross(prev, cur));
        }
        if (curIn) {
            out.push_back(cur);
        }
        prev = cur;
        prevIn = curIn;
    }
}

}  // namespace

void ScreenGeometry::clipPolygon(std::vector<QPointF>& pts, std::vector<QPointF>& scratch) const {
    const double l = clip_.left(), r = clip_.right(), t = clip_.top(), b = clip_.bottom();
    auto atX = [](QPointF p, QPointF q, double x) {
        const double s = (x - p.x()) / (q.x() - p.x());
        return QPointF(x, p.y() + s * (q.y() - p.y()));
    };
    auto atY = [](QPointF p, QPointF q, double y) {
        const double s = (y - p.y()) / (q.y() - p.y());
        return QPointF(p.x() + s * (q.x() - p.x()), y);
    };
    clipEdge(
        pts, scratch, [&](QPointF p) { return p.x() >= l; },
        [&](QPointF p, QPointF q) { return atX(p, q, l); });
    clipEdge(
        scratch, pts, [&](QPointF p) { return p.x() <= r; },
        [&](QPointF p, QPointF q) { return atX(p, q, r); });
    clipEdge(
        pts, scratch, [&](QPointF p) { return p.y() >= t; },
        [&](QPointF p, QPointF q) { return atY(p, q, t); });
    clipEdge(
        scratch, pts, [&](QPointF p) { return p.y() <= b; },
        [&](QPointF p, QPointF q) { return atY(p, q, b); });
}

bool ScreenGeometry::clipSegment(QPointF& p, QPointF& q) const {
    const double dx = q.x() - p.x(), dy = q.y() - p.y();
    double t0 = 0.0, t1 = 1.0;
    auto edge = [&](double num, double den) {
        // Keeps the part where den * t <= num.
        if (den == 0.0) {
            return num >= 0.0;
        }
        const double t = num / den;
        if (den > 0.0) {
            if (t < t0) {
                return false;
            }
            t1 = std::min(t1, t);
        } else {
            if (t > t1) {
                return false;
            }
            t0 = std::max(t0, t);
        }
        return true;
    };
    if (!edge(p.x() - clip_.left(), -dx) || !edge(clip_.right() - p.x(), dx) ||
        !edge(p.y() - clip_.top(), -dy) || !edge(clip_.bottom() - p.y(), dy) || t0 > t1) {
        return false;
    }
    const QPointF a = p;
    if (t1 < 1.0) {
        q = QPointF(a.x() + t1 * dx, a.y() + t1 * dy);
    }
    if (t0 > 0.0) {
        p = QPointF(a.x() + t0 * dx, a.y() + t0 * dy);
    }
    return true;
}

}  // namespace pelagon
