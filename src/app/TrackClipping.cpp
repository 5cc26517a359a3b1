#include <QPointF>
#include <QRectF>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "app/TrackLines.h"
#include "app/TrackPicture.h"

namespace pelagon {

namespace {

// Whether the line through a and b passes between box's corners (or touches one).
bool crosses(QPointF a, QPointF b, const QRectF& box) {
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const auto side = [&](double x, double y) { return dx * (y - a.y()) - dy * (x - a.x()); };
    const double s[4] = {side(box.left(), box.top()), side(box.right(), box.top()),
                         side(box.left(), box.bottom()), side(box.right(), box.bottom())};
    return !(std::all_of(s, s + 4, [](double v) { return v > 0; }) ||
             std::all_of(s, s + 4, [](double v) { return v < 0; }));
}

// Where a point lies against box: a bit per edge it is beyond (all four for a point that is not a
// number).
int outcode(QPointF p, const QRectF& box) {
    return (p.x() >= box.left() ? 0 : 1) | (p.x() <= box.right() ? 0 : 2) |
           (p.y() >= box.top() ? 0 : 4) | (p.y() <= box.bottom() ? 0 : 8);
}

double lengthOf(QPointF a, QPointF b) {
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

namespace track {

bool clipTrack(std::span<const MapPoint> track, const Viewport& viewport, const QRectF& box,
               VesselLines& out, const std::atomic<bool>* cancel) {
    const PixelMapping toPixel(viewport);
    QPointF previous = toPixel(track.front());
    int previousCode = outcode(previous, box);
    std::optional<QPointF> start;  // where a run of short pieces began
    for (std::size_t i = 1; i < track.size(); ++i) {
        if (i % kCancelEvery == 0 && cancelled(cancel)) {
            return false;
        }
        const QPointF next = toPixel(track[i]);
        const int nextCode = outcode(next, box);
        // Wholly inside as it is; wholly beyond one edge, or passing by the box, left out; the
        // rest clipped.
        std::optional<std::pair<QPointF, QPointF>> part;
        if ((previousCode | nextCode) == 0) {
            part.emplace(previous, next);
        } else if ((previousCode & nextCode) == 0 &&
                   (previousCode == 0 || nextCode == 0 || crosses(previous, next, box))) {
            part = clipSegment(previous, next, box);
        }
        previous = next;
        previousCode = nextCode;
        if (!part) {
            start.reset();
            continue;
        }
        const QPointF from = start && lengthOf(*start, part->first) < 0.5 ? *start : part->first;
        const double length = lengthOf(from, part->second);
        if (length < 0.5 && i + 1 < track.size()) {
            start = from;  // drawn with the pieces that follow
            continue;
        }
        start.reset();
        out.lines.emplace_back(from, part->second);
        out.length += length;
    }
    return true;
}

void inParallel(std::size_t count, const std::function<void(std::size_t)>& work) {
    const std::size_t threads =
        std::min<std::size_t>(count, std::clamp(std::thread::hardware_concurrency(), 1U, 4U));
    std::atomic<std::size_t> next{0};
    const auto run = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            work(i);
        }
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threads; ++t) {
        helpers.emplace_back(run);
    }
    run();
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

}  // namespace track

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
