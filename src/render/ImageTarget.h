#pragma once

#include <cstdint>
#include <optional>

class QPainter;

namespace pelagon {

// The pixels of the image a painter paints on, for the renderer's own rasterizers: a 32-bit
// premultiplied or opaque image, painted without clipping, rotation or shear, in the normal
// blend mode at full opacity. Anything else gets nullopt from of(), and the caller draws
// through the painter.
struct ImageTarget {
    static std::optional<ImageTarget> of(QPainter& painter);

    std::uint32_t* row(int y) const { return reinterpret_cast<std::uint32_t*>(bits + y * stride); }

    // Source over: a premultiplied colour scaled by the coverage (0 .. 255), over the pixel.
    static void blend(std::uint32_t* pixel, std::uint32_t color, std::uint32_t coverage) {
        const std::uint32_t src = scaled(color, coverage);
        *pixel = src + scaled(*pixel, 255u - (src >> 24));
    }
    // Each channel of a premultiplied pixel times a / 255, two channels at a time.
    static std::uint32_t scaled(std::uint32_t x, std::uint32_t a) {
        std::uint32_t rb = (x & 0x00ff00ffu) * a;
        rb = ((rb + ((rb >> 8) & 0x00ff00ffu) + 0x00800080u) >> 8) & 0x00ff00ffu;
        std::uint32_t ag = ((x >> 8) & 0x00ff00ffu) * a;
        ag = (ag + ((ag >> 8) & 0x00ff00ffu) + 0x00800080u) & 0xff00ff00u;
        return ag | rb;
    }

    std::uint8_t* bits = nullptr;
    std::int64_t stride = 0;
    int width = 0;
    int height = 0;
    // Painter to device: x' = sx * x + dx, y' = sy * y + dy.
    double sx = 1.0, sy = 1.0, dx = 0.0, dy = 0.0;
};

}  // namespace pelagon
