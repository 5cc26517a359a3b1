#pragma once

#include <QColor>
#include <QImage>
#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QtGlobal>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "canvas/MapOverlay.h"
#include "common/MapTypes.h"

namespace pelagon {

struct PositionSet;
namespace track {
struct VesselLines;
}

// The tracks and points of the open positions files as they go into the map's frame: a line
// per vessel through its positions in time order, a point per position in the vessel's colour,
// a position inside an area of a document layer as a point in a red ring.
//
// Drawn on the renderer's worker in time that follows what is seen, not what the file holds:
// each segment is clipped to the view before it is stroked (a segment across the whole map
// costs what its visible part costs), pieces shorter than half a pixel are joined, points are
// stamped in the view only, and cancel is checked every few thousand segments or points. Lines
// are antialiased at full width while that takes a few hundredths of a second; beyond that
// (hundreds of thousands of segments in view) they are drawn one pixel wide without antialiasing,
// on raster surfaces by LineRaster, the last vessel's on top, in bands of the frame on threads of
// their own: beneath the vessels on top, beneath the points' opaque middles and beyond the
// positions' convex hull, lines cost only where they can still show.
//
// With a time cut, each vessel's track is drawn up to that time only (a binary search in the
// track, which is in time order), its latest position marked; with a trail, only the part of the
// last trail milliseconds has points and a full line, the older part a pale thin one. A vessel
// with a position without a time is drawn whole.
class TrackPicture : public OverlayPicture {
public:
    // A file's tracks laid out for drawing: per vessel, its positions' places, times and rings
    // side by side in track order, so that drawing reads them in sequence.
    struct Prepared {
        struct Vessel {
            std::vector<MapPoint> xy;
            std::vector<qint64> timeMs;  // empty where a position has no time: never cut
            std::vector<std::uint8_t> ringed;
        };
        std::vector<Vessel> vessels;
        // The corners of the convex hull of every position placed (map units), in order around
        // it: no line leaves it. of() finds them; none where no position is placed.
        std::vector<MapPoint> hull;
        static std::shared_ptr<const Prepared> of(const PositionSet& set);
    };
    struct Shown {
        std::shared_ptr<const PositionSet> set;
        int firstColour = 0;
        std::shared_ptr<const Prepared> tracks;  // made from set when null
    };
    // The pale lines before the trails as last drawn on a raster surface, kept from picture to
    // picture of the same sets: while the view stays and the trails only move on, the next
    // picture draws just the segments added since. Shared by the pictures of one overlay.
    struct History {
        std::mutex mutex;
        QImage image;  // device pixels, transparent where no line is
        QSizeF size;
        MapRect extent;
        std::vector<std::vector<std::size_t>> ends;  // per set and vessel: positions drawn
    };
    struct TimeCut {
        qint64 atMs = 0;     // positions after it are left out
        qint64 trailMs = 0;  // 0: the whole track up to atMs is drawn in full
        friend bool operator==(const TimeCut&, const TimeCut&) = default;
    };
    explicit TrackPicture(std::vector<Shown> sets, std::optional<TimeCut> cut = std::nullopt,
                          std::shared_ptr<History> history = nullptr);

    bool draw(QPainter& painter, const Viewport& viewport,
              const std::atomic<bool>* cancel) const override;
    // Maps the positions, leaves out the hidden points, draws the pale past on its layer and
    // rasterises the lines: all but stamping them on the surface.
    std::unique_ptr<PreparedPicture> prepare(const PictureSurface& surface,
                                             const Viewport& viewport,
                                             const std::atomic<bool>* cancel) const override;

private:
    // The lines of positions [0, ends[s][v]) of each vessel, pale and a pixel wide: drawn on the
    // layer kept in history_ (layered) where the surface allows, else clipped to be stroked.
    // False when cancelled.
    bool prepareHistory(const PictureSurface& surface, const Viewport& viewport, const QRectF& box,
                        const std::vector<std::vector<std::size_t>>& ends,
                        const std::atomic<bool>* cancel, QImage& layered,
                        std::vector<track::VesselLines>& stroked) const;

    std::vector<Shown> sets_;
    std::optional<TimeCut> cut_;
    std::shared_ptr<History> history_;
};

// The part of the segment a-b inside box (Liang-Barsky), or nullopt when none of it is; a
// segment touching the box in one point only is kept as that point.
std::optional<std::pair<QPointF, QPointF>> clipSegment(QPointF a, QPointF b, const QRectF& box);

}  // namespace pelagon
