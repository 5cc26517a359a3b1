#include "map/ImageStroker.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace pelagon {

std::optional<ImageStroker> ImageStroker::forPainter(QPainter& painter, const QColor& color,
                                                     double width) {
    QPaintDevice* device = painter.device();
    if (device == nullptr || device->devType() != QInternal::Image ||
        painter.paintEngine() == nullptr || painter.paintEngine()->type() != QPaintEngine::Raster) {
        return std::nullopt;
    }
    auto* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    if (format != QImage::Format_ARGB32_Premultiplied && format != QImage::Format_RGB32) {
        return std::nullopt;
    }
    const QTransform t = painter.deviceTransform();
    if (t.type() > QTransform::TxScale || t.m11() <= 0.0 || t.m22() <= 0.0 ||
        painter.hasClipping() || painter.opacity() < 1.0 ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver ||
        !painter.testRenderHint(QPainter::Antialiasing)) {
        return std::nullopt;
    }
    // One device pixel wide, within rounding, in both directions.
    if (std::fabs(width * t.m11() - 1.0) > 1e-6 || std::fabs(width * t.m22() - 1.0) > 1e-6) {
        return std::nullopt;
    }
    ImageStroker s;
    // The pixels the painter writes to: constBits() does not detach the image from the painter.
    s.bits_ = const_cast<std::uint8_t*>(image->constBits());
    s.stride_ = image->bytesPerLine();
    s.width_ = image->width();
    s.height_ = image->height();
    s.sx_ = t.m11();
    s.sy_ = t.m22();
    s.dx_ = t.dx();
    s.dy_ = t.dy();
    s.color_ = qPremultiply(color.rgba());
    return s;
}

namespace {

// Each channel of a premultiplied pixel times a / 255, two channels at a time.
std::uint32_t scaled(std::uint32_t x, std::uint32_t a) {
    std::uint32_t rb = (x & 0x00ff00ffu) * a;
    rb = ((rb + ((rb >> 8) & 0x00ff00ffu) + 0x00800080u) >> 8) & 0x00ff00ffu;
    std::uint32_t ag = ((x >> 8) & 0x00ff00ffu) * a;
    ag = (ag + ((ag >> 8) & 0x00ff00ffu) + 0x00800080u) & 0xff00ff00u;
    return ag | rb;
}

// floor() for values well inside the int range, without a library call.
int floorToInt(double v) {
    const int i = static_cast<int>(v);
    return i - (v < static_cast<double>(i) ? 1 : 0);
}

}  // namespace

namespace {

// Source over: the colour scaled by the coverage (0 .. 255), over what is there.
inline void blendPixel(std::uint32_t* p, std::uint32_t color, std::uint32_t coverage) {
    const std::uint32_t src = scaled(color, coverage);
    *p = src + scaled(*p, 255u - (src >> 24));
}

}  // namespace

void ImageStroker::blend(int x, int y, std::uint32_t coverage) {
    if (static_cast<unsigned>(x) < static_cast<unsigned>(width_) &&
        static_cast<unsigned>(y) < static_cast<unsigned>(height_) && coverage != 0) {
        blendPixel(reinterpret_cast<std::uint32_t*>(bits_ + y * stride_) + x, color_, coverage);
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
    const int uLimit = xMajor ? width_ : height_;
    const int vLimit = xMajor ? height_ : width_;
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
    const std::int64_t uStep = xMajor ? 4 : stride_;
    const std::int64_t vStep = xMajor ? stride_ : 4;
    double v = v0 + (static_cast<double>(first) + 0.5 - u0) * slope - 0.5;
    // The line stays clear of the image's edges in v: no test per pixel.
    const double vEnd = v + (last - first) * slope;
    if (std::min(v, vEnd) >= 0.0 && std::max(v, vEnd) < vLimit - 2.0) {
        std::uint8_t* row = bits_ + first * uStep;
        for (int c = first; c <= last; ++c, v += slope, row += uStep) {
            const int iv = static_cast<int>(v);
            const auto below = static_cast<std::uint32_t>((v - iv) * 255.0 + 0.5);
            auto* p = reinterpret_cast<std::uint32_t*>(row + iv * vStep);
            blendPixel(p, color_, 255u - below);
            blendPixel(reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(p) + vStep),
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
    double px = points[0].x() * sx_ + dx_, py = points[0].y() * sy_ + dy_;
    const double fx = px, fy = py;
    for (std::size_t i = 1; i < n; ++i) {
        const double x = points[i].x() * sx_ + dx_, y = points[i].y() * sy_ + dy_;
        segment(px, py, x, y);
        px = x;
        py = y;
    }
    if (closed) {
        segment(px, py, fx, fy);
    }
}

void ImageStroker::drawDots(std::span<const QPointF> points) {
    // Many small features share a pixel (the islets of an archipelago seen whole): each pixel
    // is written once.
    std::vector<std::uint64_t> written(
        (static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) + 63) / 64, 0);
    for (const QPointF& p : points) {
        const double x = p.x() * sx_ + dx_, y = p.y() * sy_ + dy_;
        if (!(x >= 0.0 && y >= 0.0 && x < width_ && y < height_)) {
            continue;
        }
        const int ix = static_cast<int>(x), iy = static_cast<int>(y);
        const std::size_t i = static_cast<std::size_t>(iy) * static_cast<std::size_t>(width_) +
                              static_cast<std::size_t>(ix);
        const std::uint64_t bit = std::uint64_t{1} << (i % 64);
        if ((written[i / 64] & bit) == 0) {
            written[i / 64] |= bit;
            blendPixel(reinterpret_cast<std::uint32_t*>(bits_ + iy * stride_) + ix, color_, 255u);
        }
    }
}

}  // namespace pelagon
