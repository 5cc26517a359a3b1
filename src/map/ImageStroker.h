#pragma once

#include <QColor>
#include <QPointF>

#include <cstdint>
#include <optional>
#include <span>

class QPainter;

namespace pelagon {

// Draws one-pixel antialiased lines, and dots, straight into the pixels of the image a painter
// paints on. Qt's antialiased stroker spends tens of nanoseconds a pixel, which made outlines the
// larger part of a frame; this one steps along the line's major axis and shares each step's
// coverage between the two pixels the line's centre falls between (Wu's method).
//
// Only for what it draws exactly as intended: a 32-bit premultiplied or opaque image, a painter
// without clipping, rotation or shear, drawing in the normal blend mode at full opacity, with
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

    std::uint8_t* bits_ = nullptr;
    std::int64_t stride_ = 0;
    int width_ = 0;
    int height_ = 0;
    // Painter to device: x' = sx * x + dx, y' = sy * y + dy.
    double sx_ = 1.0, sy_ = 1.0, dx_ = 0.0, dy_ = 0.0;
    std::uint32_t color_ = 0;  // premultiplied ARGB
};

}  // namespace pelagon
