#include <QPointF>
#include <QRectF>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "app/TrackLines.h"
#include "app/TrackPicture.h"

namespace pelagon {

namespace {

// The part inside box of the segment a-b, whose ends lie beyond the edges in codeA and codeB
// (see outcode; none beyond the same edge): Liang-Barsky with only the bounds that can hold, the
// edges a lies beyond (where the segment may enter) and those b lies beyond (where it may
// leave): the others cross the segment's line outside it. A division an edge, most segments
// two; nullopt where the segment passes by the box.
std::optional<std::pair<QPointF, QPointF>> clipAcross(QPointF a, QPointF b, int codeA, int codeB,
                                                      const QRectF& box) {
    if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) ||
        !std::isfinite(b.y())) {
        return std::nullopt;
    }
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const auto at = [&](int edge) {
        switch (edge) {
            case 1:
                return (box.left() - a.x()) / dx;
            case 2:
                return (box.right() - a.x()) / dx;
            case 4:
                return (box.top() - a.y()) / dy;
            default:
                return (box.bottom() - a.y()) / dy;
        }
    };
    double t0 = 0;
    double t1 = 1;
    for (const int edge : {1, 2, 4, 8}) {
        if ((codeA & edge) != 0) {
            t0 = std::max(t0, at(edge));
        }
        if ((codeB & edge) != 0) {
            t1 = std::min(t1, at(edge));
        }
    }
    if (!(t0 <= t1) || !std::isfinite(t0) || !std::isfinite(t1)) {
        return std::nullopt;
    }
    return std::pair{QPointF(a.x() + t0 * dx, a.y() + t0 * dy),
                     QPointF(a.x() + t1 * dx, a.y() + t1 * dy)};
}

// Where a point lies against box: a bit per edge it is beyond (all four for a point that is not a
// number).
int outcode(QPointF p, const QRectF& box) {
    return (p.x() >= box.left() ? 0 : 1) | (p.x() <= box.right() ? 0 : 2) |
           (p.y() >= box.top() ? 0 : 4) | (p.y() <= box.bottom() ? 0 : 8);
}

// Whether a-b is shorter than half a pixel.
bool isShort(QPointF a, QPointF b) {
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    return dx * dx + dy * dy < 0.25;
}

}  // namespace

namespace track {

bool clipTrack(std::span<const MapPoint> track, const Viewport& viewport, const QRectF& box,
               VesselLines& out, const std::atomic<bool>* cancel, const MappedChunk& mapped) {
    if (track.empty()) {
        return true;
    }
    // The track is mapped and placed against the box a chunk at a time in tight loops over
    // arrays, so that the segments wholly beyond an edge (most of them, zoomed in) cost a test
    // of two bytes; only the rest are clipped.
    constexpr std::size_t kChunk = 1024;
    const PixelMapping toPixel(viewport);
    const double left = box.left();
    const double right = box.right();
    const double top = box.top();
    const double bottom = box.bottom();
    double xs[kChunk + 1];
    double ys[kChunk + 1];
    std::uint8_t codes[kChunk + 1];
    const QPointF first = toPixel(track.front());
    xs[kChunk] = first.x();
    ys[kChunk] = first.y();
    codes[kChunk] = static_cast<std::uint8_t>(outcode(first, box));
    if (mapped) {
        mapped(0, &xs[kChunk], &ys[kChunk], 1);
    }
    // At most a line a segment: reserved at once rather than grown and copied (address space
    // only, where most of the track lies beyond the box).
    out.lines.reserve(out.lines.size() + track.size() - 1);
    QPointF start;  // where a run of short pieces began
    bool joining = false;
    for (std::size_t from = 1; from < track.size(); from += kChunk) {
        if (from > 1 && cancelled(cancel)) {
            return false;
        }
        const std::size_t n = std::min(kChunk, track.size() - from);
        // Slot 0 holds the last point of the chunk before.
        xs[0] = xs[kChunk];
        ys[0] = ys[kChunk];
        codes[0] = codes[kChunk];
        const MapPoint* points = track.data() + from;
        for (std::size_t i = 0; i < n; ++i) {
            const double x = (points[i].x - toPixel.left) * toPixel.scale;
            const double y = (toPixel.top - points[i].y) * toPixel.scale;
            xs[i + 1] = x;
            ys[i + 1] = y;
            codes[i + 1] = static_cast<std::uint8_t>((x >= left ? 0 : 1) | (x <= right ? 0 : 2) |
                                                     (y >= top ? 0 : 4) | (y <= bottom ? 0 : 8));
        }
        if (mapped) {
            mapped(from, &xs[1], &ys[1], n);
        }
        for (std::size_t i = 1; i <= n; ++i) {
            const int previousCode = codes[i - 1];
            const int nextCode = codes[i];
            if ((previousCode & nextCode) != 0) {
                joining = false;  // wholly beyond one edge
                continue;
            }
            const QPointF previous(xs[i - 1], ys[i - 1]);
            const QPointF next(xs[i], ys[i]);
            // Wholly inside as it is; passing by the box, left out; the rest clipped.
            std::pair<QPointF, QPointF> part{previous, next};
            if ((previousCode | nextCode) != 0) {
                const std::optional<std::pair<QPointF, QPointF>> clipped =
                    clipAcross(previous, next, previousCode, nextCode, box);
                if (!clipped) {
                    joining = false;
                    continue;
                }
                part = *clipped;
            }
            const QPointF begin = joining && isShort(start, part.first) ? start : part.first;
            if (isShort(begin, part.second) && from + i < track.size()) {
                start = begin;  // drawn with the pieces that follow
                joining = true;
                continue;
            }
            joining = false;
            out.lines.emplace_back(begin, part.second);
        }
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
    const int codeA = outcode(a, box);
    const int codeB = outcode(b, box);
    if ((codeA & codeB) != 0) {
        return std::nullopt;  // wholly beyond one edge (or not a number)
    }
    return clipAcross(a, b, codeA, codeB, box);
}

}  // namespace pelagon
