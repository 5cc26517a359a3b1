#include "app/TrackRaster.h"

#include <QImage>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// Which of many sprites stamped on a frame show: the frame's pixels under opaque ones, as bits.
namespace pelagon {

SpriteCover::Shape SpriteCover::Shape::of(const QImage& image) {
    Shape shape;
    if (image.width() > 64) {
        return shape;
    }
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    shape.width = argb.width();
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        std::uint64_t draws = 0;
        std::uint64_t covers = 0;
        for (int x = 0; x < argb.width(); ++x) {
            draws |= std::uint64_t{qAlpha(line[x]) > 0} << x;
            covers |= std::uint64_t{qAlpha(line[x]) == 255} << x;
        }
        shape.draws.push_back(draws);
        shape.covers.push_back(covers);
    }
    return shape;
}

SpriteCover::SpriteCover(int width, int height)
    : width_(std::max(0, width)),
      height_(std::max(0, height)),
      words_((width_ + 63) / 64 + 1),
      cornerWords_((width_ + 64 + 63) / 64) {
    // A word of slack at the end of each row: a shape read there reads no other row.
    covered_.assign(static_cast<std::size_t>(words_) * height_, 0);
    for (int y = 0; y < height_; ++y) {
        std::uint64_t* row = covered_.data() + static_cast<std::size_t>(y) * words_;
        for (int x = width_; x < words_ * 64; ++x) {
            row[x / 64] |= std::uint64_t{1} << (x % 64);  // beyond the right edge: never shows
        }
    }
}

int SpriteCover::add(const Shape& shape) {
    for (std::size_t i = 0; i < known_.size(); ++i) {
        const Shape& k = known_[i].shape;
        if (k.width == shape.width && k.draws == shape.draws && k.covers == shape.covers) {
            return static_cast<int>(i);
        }
    }
    Known known{shape, {}};
    if (shape.isValid()) {
        known.hiddenAt.assign(
            static_cast<std::size_t>(cornerWords_) * (height_ + shape.draws.size()), 0);
    }
    known_.push_back(std::move(known));
    return static_cast<int>(known_.size()) - 1;
}

bool SpriteCover::show(int shapeNumber, int x, int y) {
    Known& known = known_[static_cast<std::size_t>(shapeNumber)];
    const Shape& shape = known.shape;
    if (!shape.isValid()) {
        return true;
    }
    const int rows = static_cast<int>(shape.draws.size());
    // Columns left of the frame are cut from the shape; the words from x's on hold the rest.
    if (x + shape.width <= 0 || x >= width_ || y >= height_ || y + rows <= 0) {
        return false;
    }
    // Here -64 < x < width_ and -rows < y < height_.
    const auto cornerColumn = static_cast<std::size_t>(x + 64);
    std::uint64_t& hidden =
        known.hiddenAt[static_cast<std::size_t>(y + rows - 1) * cornerWords_ + cornerColumn / 64];
    const std::uint64_t cornerBit = std::uint64_t{1} << (cornerColumn % 64);
    if ((hidden & cornerBit) != 0) {
        return false;
    }
    const int cut = std::max(0, -x);
    const int from = std::max(0, x);
    const int word = from / 64;
    const int bit = from % 64;
    const auto read = [&](const std::uint64_t* row) {
        return (row[word] >> bit) | (bit != 0 ? row[word + 1] << (64 - bit) : 0);
    };
    bool shows = false;
    for (int r = std::max(0, -y); r < rows && y + r < height_ && !shows; ++r) {
        const std::uint64_t* row = covered_.data() + static_cast<std::size_t>(y + r) * words_;
        shows = ((shape.draws[static_cast<std::size_t>(r)] >> cut) & ~read(row)) != 0;
    }
    if (!shows) {
        hidden |= cornerBit;
        return false;
    }
    for (int r = std::max(0, -y); r < rows && y + r < height_; ++r) {
        std::uint64_t* row = covered_.data() + static_cast<std::size_t>(y + r) * words_;
        const std::uint64_t covers = shape.covers[static_cast<std::size_t>(r)] >> cut;
        row[word] |= covers << bit;
        if (bit != 0) {
            row[word + 1] |= covers >> (64 - bit);
        }
    }
    return true;
}

}  // namespace pelagon
