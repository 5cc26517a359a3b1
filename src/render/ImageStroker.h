#pragma once

#include <QColor>
#include <QPointF>

#include <cstdint>
#include <optional>
#include <span>

#include "render/ImageTarget.h"

class QPainter;

namespace pelagon {

// Draws one-pixel antialiased lines, and dots, straight into the pixels of the image a painter
// paints on. Qt's antialiased stroker spends tens of nanoseconds a pixel, which made outlines the
// larger part of a frame; this one steps along the line's major axis and shares each step's
// coverage between the two pixels the line's centre falls between (Wu's method).
//
// Only for what it draws exactly as intended: an image the renderer may write (ImageTarget), with
// antialiasing on and a line one device pixel wide. Anything else gets nullopt from
// forPainter(), and the caller draws through the painter.
class ImageStroker {
public:
    // width: the line's width in the painter's coordinates.
    static std::optional<ImageStroker> forPainter(QPainter& painter, const QColor& color,
                                                  double width);

    // A line through the points in order; closed joins the last to the first. Joints are
    // covered once: each segment covers the pixel centres from its start up to its end.
    void drawPolyline(std::span<const QPointF> points, bool closed);
    // The device pixel each point lies in, in the full colour; a pixel holding several points
    // is drawn once.
    void drawDots(std::span<const QPointF> points);

private:
    ImageStroker() = default;

    void segment(double x0, double y0, double x1, double y1);
    void blend(int x, int y, std::uint32_t coverage);  // coverage 0 .. 255

    ImageTarget target_;
    std::uint32_t color_ = 0;  // premultiplied ARGB
};

}  // namespace pelagon
