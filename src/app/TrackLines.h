#pragma once

#include <QColor>
#include <QLineF>
#include <QPainter>
#include <QPointF>
#include <QRectF>

#include <atomic>
#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "app/TrackRaster.h"
#include "common/MapTypes.h"
#include "render/Viewport.h"

// How TrackPicture's lines are made: clipped to the view, then stroked or rasterised.
namespace pelagon::track {

constexpr double kTrackPenPx = 1.5;  // width of a track's line
constexpr int kCancelEvery = 4096;   // segments or points between looks at cancel

inline bool cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// The viewport's map-to-pixel mapping with a multiplication in place of its division: a
// million positions are mapped each frame.
struct PixelMapping {
    explicit PixelMapping(const Viewport& viewport)
        : left(viewport.extent().left),
          top(viewport.extent().top),
          scale(1 / viewport.mapUnitsPerPixel()) {}
    QPointF operator()(MapPoint p) const { return {(p.x - left) * scale, (top - p.y) * scale}; }
    double left;
    double top;
    double scale;
};

inline bool inside(QPointF p, const QRectF& box) {
    return p.x() >= box.left() && p.x() <= box.right() && p.y() >= box.top() &&
           p.y() <= box.bottom();
}

// One vessel's line as it is drawn: the visible part of each segment, in order; a segment
// shorter than half a pixel is joined to the next.
struct VesselLines {
    QColor colour;
    double pen = kTrackPenPx;
    std::vector<QLineF> lines;
    double length = 0;  // in pixels
};

// Appends the parts of the track's segments inside box (pixels) to out. False when cancelled.
bool clipTrack(std::span<const MapPoint> track, const Viewport& viewport, const QRectF& box,
               VesselLines& out, const std::atomic<bool>* cancel);

// Calls work(i) for every i in [0, count), spread over the processor's cores; returns when all
// are done.
void inParallel(std::size_t count, const std::function<void(std::size_t)>& work);

// The corners of the convex hull of points, in order around it (none where no point is).
std::vector<MapPoint> convexHull(std::span<const MapPoint> points);
// Of many points, those that may be corners of their convex hull (see TrackHull.cpp): the rest
// lie strictly inside it.
std::vector<MapPoint> hullCandidates(const std::vector<MapPoint>& points);

// Lines one pixel wide drawn by LineRaster, the last vessel's on top, into bands of the frame
// each on a thread of its own; beneath the vessels on top, lines cost only where they can
// still show. The painter's transform must be the identity. False when cancelled.
// Every line must lie within reach (device pixels): pixels beyond it are not looked at, nor
// are those under an opaque pixel of over (what will be drawn over the lines), where given.
bool rasterise(QPainter& painter, const std::vector<VesselLines>& vessels,
               const LineRaster::Reach& reach, const SpriteCover* over,
               const std::atomic<bool>* cancel);

}  // namespace pelagon::track
