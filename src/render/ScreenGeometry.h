#pragma once

#include <QPointF>
#include <QRectF>

#include <span>
#include <vector>

#include "render/Viewport.h"
#include "store/Grid.h"

namespace pelagon {

// Grid coordinates of one layer to surface coordinates of a viewport.
struct GridToSurface {
    GridToSurface(const GridFrame& frame, const Viewport& viewport);

    QPointF operator()(GridPoint p) const { return {p.x * a + bx, cy - p.y * a}; }
    QRectF box(const GridBox& b) const {
        return QRectF(QPointF(b.minX * a + bx, cy - b.maxY * a),
                      QPointF(b.maxX * a + bx, cy - b.minY * a));
    }

    double a = 1.0;   // surface units per grid step
    double bx = 0.0;  // surface x of grid x 0
    double cy = 0.0;  // surface y of grid y 0
};

// Turns rings and lines of a layer into surface coordinates fit for Qt: vertices closer than a
// device pixel to the last one kept are dropped, runs of long rings far outside the view are
// replaced by their end points, and whatever remains is clipped to the view plus a margin, so
// no coordinate that reaches Qt is far outside the surface however far the map is zoomed in.
class ScreenGeometry {
public:
    // clip: the surface rectangle to keep (the view grown by a margin); pixel: the size of a
    // device pixel in surface units; frame: the layer's grid, to test run boxes.
    ScreenGeometry(const GridToSurface& transform, const QRectF& clip, const GridFrame& frame,
                   const Viewport& viewport, double pixel);

    const QRectF& clip() const { return clip_; }
    const GridToSurface& transform() const { return t_; }

    // Projects a ring (closed: the last vertex joins the first) or a line into out.
    void project(std::span<const GridPoint> v, std::span<const GridBox> runs, bool closed,
                 std::vector<QPointF>& out) const;

    // Clips a closed polygon to the clip rectangle in place (Sutherland-Hodgman). Parts outside
    // collapse onto the rectangle's edges, which keeps the even-odd fill inside exact.
    void clipPolygon(std::vector<QPointF>& points, std::vector<QPointF>& scratch) const;

    // Clips an open line to the clip rectangle; pieces receives each visible piece in order.
    template <typename Sink>
    void clipLine(const std::vector<QPointF>& points, std::vector<QPointF>& piece,
                  Sink&& pieces) const {
        piece.clear();
        if (points.size() == 1) {
            if (clip_.contains(points[0])) {
                piece.push_back(points[0]);
                pieces(piece);
            }
            return;
        }
        for (std::size_t i = 1; i < points.size(); ++i) {
            QPointF p = points[i - 1], q = points[i];
            if (!clipSegment(p, q)) {
                continue;
            }
            if (piece.empty() || piece.back() != p) {
                if (piece.size() >= 2) {
                    pieces(piece);
                }
                piece.clear();
                piece.push_back(p);
            }
            piece.push_back(q);
        }
        if (piece.size() >= 2) {
            pieces(piece);
        }
    }

private:
    // Liang-Barsky: clips the segment to the clip rectangle; false when nothing is left.
    bool clipSegment(QPointF& p, QPointF& q) const;

    GridToSurface t_;
    QRectF clip_;
    GridBox clipGrid_;
    double pixel_;
};

}  // namespace pelagon
