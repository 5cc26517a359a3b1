#pragma once

#include <QColor>
#include <QImage>
#include <QLineF>
#include <QPainter>
#include <QPoint>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QSize>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "app/TrackRaster.h"
#include "common/MapTypes.h"
#include "render/Viewport.h"

// How TrackPicture's lines and points are made: lines clipped to the view, then stroked or
// rasterised; points gathered, those hidden left out, then stamped.
namespace pelagon::track {

constexpr double kTrackPenPx = 1.5;  // width of a track's line
constexpr double kTrackPointPx = 6;  // diameter of a position's point
constexpr double kTrackRingPx = 12;  // outer diameter of the red ring
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
    std::vector<PixelLine> lines;
};

// Positions [first, first + n) of a track mapped to pixels, at xs and ys.
using MappedChunk =
    std::function<void(std::size_t first, const double* xs, const double* ys, std::size_t n)>;

// Appends the parts of the track's segments inside box (pixels) to out. False when cancelled.
// The positions are mapped a chunk at a time, in order, and each chunk is handed to mapped
// where given (the points of the track are placed from it without mapping them again).
bool clipTrack(std::span<const MapPoint> track, const Viewport& viewport, const QRectF& box,
               VesselLines& out, const std::atomic<bool>* cancel,
               const MappedChunk& mapped = nullptr);

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
// A band of the frame as rasterise draws it: its image (device pixel ratio set) and where its
// top goes (logical pixels).
struct LineBand {
    double top = 0;
    QImage image;
};
// What rasterise draws, for a surface of the given device pixels and ratio, not yet drawn:
// nullopt when cancelled.
std::optional<std::vector<LineBand>> rasteriseBands(QSize pixels, double ratio,
                                                    const std::vector<VesselLines>& vessels,
                                                    const LineRaster::Reach& reach,
                                                    const SpriteCover* over,
                                                    const std::atomic<bool>* cancel);
void drawBands(QPainter& painter, const std::vector<LineBand>& bands);

// One vessel's points inside the view, plain and ringed: on raster surfaces where their sprites'
// top left corners go, on whole device pixels (points lie near the view); elsewhere in pixels.
struct VesselPoints {
    QColor colour;
    QPolygonF plain;
    QPolygonF ringed;
    std::vector<QPoint> plainCorners;
    std::vector<QPoint> ringedCorners;
    QImage plainSprite;  // on raster surfaces, where there are such corners
    QImage ringedSprite;
};

// Appends the points at xs, ys (pixels) inside visible to out, each ringed where ringedAt says.
void placePoints(const double* xs, const double* ys, const std::uint8_t* ringedAt, std::size_t n,
                 const QRectF& visible, bool raster, double scale, VesselPoints& out);
// Makes the sprites of out's points, once they are placed.
void makeSprites(VesselPoints& out, double scale);
// Maps the points of track and places them (placePoints), then makes their sprites.
void collectPoints(std::span<const MapPoint> track, std::span<const std::uint8_t> ringedAt,
                   const Viewport& viewport, const QRectF& visible, bool raster, double scale,
                   VesselPoints& out, const std::atomic<bool>* cancel);

// Of many points stamped on a raster frame, only those that show: asked from the last vessel's
// last point down, a point whose every pixel lies under the opaque middles of points above it
// is left out (with a million positions in view, most are). Gives what the points cover.
// Each vessel is waited for (gathered(v) returns once its points are there) just before it is
// asked, so that the vessels below can be gathered meanwhile; stops early when cancelled.
SpriteCover leaveOutHidden(std::vector<VesselPoints>& vessels, QSize frame,
                           const std::function<void(std::size_t)>& gathered,
                           const std::atomic<bool>* cancel);

// Every vessel's points, the first lowest, each vessel's plain ones before its ringed ones.
// False when cancelled.
bool drawPoints(QPainter& painter, const std::vector<VesselPoints>& vessels, double scale,
                bool raster, const std::atomic<bool>* cancel);

}  // namespace pelagon::track
