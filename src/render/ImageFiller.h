#pragma once

#include <QBrush>
#include <QPointF>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "render/ImageTarget.h"

namespace pelagon {

// Fills rings with the even-odd rule and a solid colour straight into the pixels of an image,
// without antialiasing: a pixel is filled when its centre lies inside. Qt's fill of a path went
// through a general path conversion and rasterizer that cost as much as all else in a frame of
// many small shapes; this one is a plain scanline fill over the rings' edges.
//
// Only for an image the renderer may write (ImageTarget) and a solid brush; anything else gets
// nullopt from forPainter(), and the caller fills through the painter.
class ImageFiller {
public:
    static std::optional<ImageFiller> forPainter(QPainter& painter, const QBrush& brush);

    // Adds a closed ring (the last point joins the first), in the painter's coordinates.
    void addRing(std::span<const QPointF> points);
    // Fills the rings added since the last fill as one even-odd shape.
    void fill();

private:
    ImageFiller() = default;

    // An edge as the scanlines see it: it crosses the centres of rows first .. end - 1.
    struct Edge {
        int first = 0;
        int end = 0;
        double x = 0.0;      // device x at the centre of row first, then of the current row
        double slope = 0.0;  // dx per row
        int next = -1;       // the next edge starting on the same row
    };
    void span(int y, double from, double to);

    ImageTarget target_;
    std::uint32_t color_ = 0;  // premultiplied ARGB
    std::vector<Edge> edges_;
    int top_ = 0;                // the first row an edge crosses
    int bottom_ = 0;             // past the last
    std::vector<int> starting_;  // per row from top_: the first edge starting there
    std::vector<Edge*> active_;  // crossing the current row, by x
};

}  // namespace pelagon
