#include <QPointF>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "app/TrackPicture.h"

namespace pelagon {

std::optional<std::pair<QPointF, QPointF>> clipSegment(QPointF a, QPointF b, const QRectF& box) {
    if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) ||
        !std::isfinite(b.y())) {
        return std::nullopt;
    }
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    double t0 = 0;
    double t1 = 1;
    // Each edge in turn: p * t <= q keeps the inside.
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(),
                         box.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) {
                return std::nullopt;  // parallel to this edge and outside it
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) {
            return std::nullopt;
        }
    }
    if (!std::isfinite(t0) || !std::isfinite(t1)) {
        return std::nullopt;
    }
    return std::pair{QPointF(a.x() + t0 * dx, a.y() + t0 * dy),
                     QPointF(a.x() + t1 * dx, a.y() + t1 * dy)};
}

}  // namespace pelagon
