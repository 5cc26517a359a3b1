#include "render/ImageStroker.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace pelagon {

std::optional<ImageStroker> ImageStroker::forPainter(QPainter& painter, const QColor& color,
                                                     double width) {
    std::optional<ImageTarget> target = ImageTarget::of(painter);
    if (!target || !painter.testRenderHint(QPainter::Antialiasing)) {
        return std::nullopt;
    }
    // One device pixel wide, within rounding, in both directions.
    if (std::fabs(width * target->sx - 1.0) > 1e-6 || std::fabs(width * target->sy - 1.0) > 1e-6) {
        return std::nullopt;
    }
    ImageStroker s;
    s.target_ = *target;
    s.color_ = qPremultiply(color.rgba());
    return s;
}

namespace {

// floor() for values well inside the int range, without a library call.
int floorToInt(double v) {
    const int i = static_cast<int>(v);
    return i - (v < static_cast<double>(i) ? 1 : 0);
}

}  // namespace

void ImageStroker::blend(int x, int y, std::uint32_t coverage) {
    if (static_cast<unsigned>(x) < static_cast<unsigned>(target_.width) &&
        static_cast<unsigned>(y) < static_cast<unsigned>(target_.height) && coverage != 0) {
        ImageTarget::blend(target_.row(y) + x, color_, coverage);
    }
}

void ImageStroker::segment(double x0, double y0, double x1, double y1) {
    const double ddx = x1 - x0, ddy = y1 - y0;
    const bool xMajor = std::fabs(ddx) >= std::fabs(ddy);
    // Work along the major axis as "u", the minor one as "v".
    const double u0 = xMajor ? x0 : y0, v0 = xMajor ? y0 : x0;
    const double u1 = xMajor ? x1 : y1, v1 = xMajor ? y1 : x1;
    if (u0 == u1) {
        return;  // no length
    }
    const double slope = (v1 - v0) / (u1 - u0);
    // Pixel centres c + 0.5 from the start up to the end, the end left to the next segment.
    const double lo = std::min(u0, u1), hi = std::max(u0, u1);
    const int uLimit = xMajor ? target_.width : target_.height;
    const int vLimit = xMajor ? target_.height : target_.width;
    // Far outside the image nothing is drawn, and the conversions below stay in range.
    if (hi < -1.0 || lo > uLimit + 1.0 || std::max(v0, v1) < -2.0 ||
        std::min(v0, v1) > vLimit + 2.0) {
        return;
    }
    int first = 0, last = 0;
    if (u0 < u1) {
        first = -floorToInt(0.5 - lo);  // ceil(lo - 0.5)
        last = -floorToInt(0.5 - hi) - 1;
    } else {
        // Going backwards the start is the upper end: centres in (end, start].
        first = floorToInt(lo - 0.5) + 1;
        last = floorToInt(hi - 0.5);
    }
    first = std::max(first, 0);
    last = std::min(last, uLimit - 1);
    if (first > last) {
        return;
    }
    // One step along u moves one pixel (x-major) or one row (y-major); the pixel below in v
    // is one row (x-major) or one pixel (y-major) further.
    const std::int64_t uStep = xMajor ? 4 : target_.stride;
    const std::int64_t vStep = xMajor ? target_.stride : 4;
    double v = v0 + (static_cast<double>(first) + 0.5 - u0) * slope - 0.5;
    // The line stays clear of the image's edges in v: no test per pixel.
    const double vEnd = v + (last - first) * slope;
    if (std::min(v, vEnd) >= 0.0 && std::max(v, vEnd) < vLimit - 2.0) {
        std::uint8_t* row = target_.bits + first * uStep;
        for (int c = first; c <= last; ++c, v += slope, row += uStep) {
            const int iv = static_cast<int>(v);
            const auto below = static_cast<std::uint32_t>((v - iv) * 255.0 + 0.5);
            auto* p = reinterpret_cast<std::uint32_t*>(row + iv * vStep);
            ImageTarget::blend(p, color_, 255u - below);
            ImageTarget::blend(
                reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(p) + vStep),
                color_, below);
        }
        return;
    }
    for (int c = first; c <= last; ++c, v += slope) {
        const int iv = floorToInt(v);
        const auto below = static_cast<std::uint32_t>((v - iv) * 255.0 + 0.5);
        if (xMajor) {
            blend(c, iv, 255u - below);
            blend(c, iv + 1, below);
        } else {
            blend(iv, c, 255u - below);
            blend(iv + 1, c, below);
        }
    }
}

void ImageStroker::drawPolyline(std::span<const QPointF> points, bool closed) {
    const std::size_t n = points.size();
    if (n < 2) {
        return;
    }
    double px = points[0].x() * target_.sx + target_.dx,
           py = points[0].y() * target_.sy + target_.dy;
    const double fx = px, fy = py;
    for (std::size_t i = 1; i < n; ++i) {
        const double x = points[i].x() * target_.sx + target_.dx,
                     y = points[i].y() * target_.sy + target_.dy;
        segment(px, py, x, y);
        px = x;
        py = y;
    }
    if (closed) {
        segment(px, py, fx, fy);
    }
}

void ImageStroker::drawDots(std::span<const QPointF> points) {
    auto pixel = [&](const QPointF& p) -> std::uint32_t* {
        const double x = p.x() * target_.sx + target_.dx, y = p.y() * target_.sy + target_.dy;
        if (!(x >= 0.0 && y >= 0.0 && x < target_.width && y < target_.height)) {
            return nullptr;
        }
        return target_.row(static_cast<int>(y)) + static_cast<int>(x);
    };
    if ((color_ >> 24) == 255u) {
        // An opaque colour written twice is the same pixel.
        for (const QPointF& p : points) {
            if (std::uint32_t* at = pixel(p)) {
                *at = color_;
            }
        }
        return;
    }
    // Many small features share a pixel (the islets of an archipelago seen whole): a
    // translucent colour is laid on each pixel once. The bits are kept per thread from frame to
    // frame; fresh from the system they cost more to map in.
    thread_local std::vector<std::uint64_t> written;
    const auto rowPixels = static_cast<std::size_t>(target_.stride / 4);
    written.assign((rowPixels * static_cast<std::size_t>(target_.height) + 63) / 64, 0);
    for (const QPointF& p : points) {
        if (std::uint32_t* at = pixel(p)) {
            const auto i =
                static_cast<std::size_t>((reinterpret_cast<std::uint8_t*>(at) - target_.bits) / 4);
            const std::uint64_t bit = std::uint64_t{1} << (i % 64);
            if ((written[i / 64] & bit) == 0) {
                written[i / 64] |= bit;
                ImageTarget::blend(at, color_, 255u);
            }
        }
    }
}

}  // namespace pelagon
