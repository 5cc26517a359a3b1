#pragma once

#include <QColor>
#include <QImage>
#include <QLineF>
#include <QPointF>
#include <QRectF>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "canvas/MapOverlay.h"

namespace pelagon {

struct PositionSet;

// The tracks and points of the open positions files as they go into the map's frame: a line
// per vessel through its positions in time order, a point per position in the vessel's colour,
// a position inside an area of a document layer as a point in a red ring.
//
// Drawn on the renderer's worker in time that follows what is seen, not what the file holds:
// each segment is clipped to the view before it is stroked (a segment across the whole map
// costs what its visible part costs), pieces shorter than half a pixel are joined, points are
// stamped in the view only, and cancel is checked every few thousand segments or points. Lines
// are antialiased at full width while that takes a few hundredths of a second; beyond that
// (hundreds of thousands of segments in view) they are drawn one pixel wide, and when the last
// vessels' lines alone cover the view many times over, of the vessels beneath only the lines
// that can show are drawn (CoveredTiles).
class TrackPicture : public OverlayPicture {
public:
    struct Shown {
        std::shared_ptr<const PositionSet> set;
        int firstColour = 0;
    };
    explicit TrackPicture(std::vector<Shown> sets) : sets_(std::move(sets)) {}

    bool draw(QPainter& painter, const Viewport& viewport,
              const std::atomic<bool>* cancel) const override;

private:
    std::vector<Shown> sets_;
};

// The tiles of a layer (an image) on which every pixel is drawn, less a tile round every tile
// that is not: a line whose path keeps to such tiles cannot show a pixel beneath the layer.
class CoveredTiles {
public:
    static constexpr int kTile = 16;  // device pixels

    // ratio: the layer's device pixels per logical pixel.
    CoveredTiles(const QImage& layer, double ratio);
    // Whether every pixel the line (logical pixels, one pixel wide) would draw is drawn on the
    // layer.
    bool hides(const QLineF& line) const;

private:
    double ratio_;
    int columns_ = 0;
    int rows_ = 0;
    std::vector<std::uint8_t> covered_;
    std::vector<std::int32_t> open_;  // tiles not wholly drawn, summed (see the constructor)
};

// The part of the segment a-b inside box (Liang-Barsky), or nullopt when none of it is; a
// segment touching the box in one point only is kept as that point.
std::optional<std::pair<QPointF, QPointF>> clipSegment(QPointF a, QPointF b, const QRectF& box);

}  // namespace pelagon
