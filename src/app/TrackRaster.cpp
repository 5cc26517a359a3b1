#include "app/TrackRaster.h"

#include <QPainter>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <utility>
#include <vector>

#include "app/TrackLines.h"

namespace pelagon {

namespace {

// Where a line is along its minor axis, in pixels, with 32 bits of fraction: exact in integers,
// so that a step computed at once lands where one step after another would.
constexpr int kFraction = 32;
constexpr double kOne = 4294967296.0;  // 1 << kFraction

constexpr int kSumEvery = 2048;  // lines between sums of the open tiles
constexpr int kBandsPerThread = 4;

// Rounded down, for values far inside the range of 64-bit integers (std::floor is a call to the
// maths library without SSE 4.1).
std::int64_t floorOf(double v) {
    const auto t = static_cast<std::int64_t>(v);
    return t - (static_cast<double>(t) > v ? 1 : 0);
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {  // b > 0
    return a / b - (a % b < 0 ? 1 : 0);
}

std::int64_t ceilDiv(std::int64_t a, std::int64_t b) {  // b > 0
    return -floorDiv(-a, b);
}

}  // namespace

LineRaster::LineRaster(int width, int top, int bottom)
    : width_(std::max(0, width)), top_(top), height_(std::max(0, bottom - top)) {
    owners_.assign(static_cast<std::size_t>(width_) * height_, 0);
    tileColumns_ = (width_ + kTile - 1) / kTile;
    tileRows_ = (height_ + kTile - 1) / kTile;
    const int tileRows = tileRows_;
    tileOpen_.resize(static_cast<std::size_t>(tileColumns_) * tileRows);
    for (int ty = 0; ty < tileRows; ++ty) {
        const int rows = std::min(kTile, height_ - ty * kTile);
        for (int tx = 0; tx < tileColumns_; ++tx) {
            const int columns = std::min(kTile, width_ - tx * kTile);
            tileOpen_[static_cast<std::size_t>(ty) * tileColumns_ + tx] =
                static_cast<std::uint16_t>(rows * columns);
        }
    }
    constexpr int kTiles = kBlock / kTile;
    blockColumns_ = (width_ + kBlock - 1) / kBlock;
    const int blockRows = (height_ + kBlock - 1) / kBlock;
    blockOpen_.resize(static_cast<std::size_t>(blockColumns_) * blockRows);
    for (int by = 0; by < blockRows; ++by) {
        const int rows = std::min(kTiles, tileRows - by * kTiles);
        for (int bx = 0; bx < blockColumns_; ++bx) {
            const int columns = std::min(kTiles, tileColumns_ - bx * kTiles);
            blockOpen_[static_cast<std::size_t>(by) * blockColumns_ + bx] =
                static_cast<std::uint16_t>(rows * columns);
        }
    }
    openBlocks_ = static_cast<std::int64_t>(blockOpen_.size());
    sumOpenTiles();
}

std::pair<double, double> LineRaster::Reach::across(double y0, double y1) const {
    if (corners.empty()) {
        return {-HUGE_VAL, HUGE_VAL};
    }
    double from = HUGE_VAL;
    double to = -HUGE_VAL;
    const auto take = [&](double x) {
        from = std::min(from, x);
        to = std::max(to, x);
    };
    // The polygon's part between the two rows is convex: its extremes in x lie at its corners
    // between them and where its edges cross them.
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const QPointF& p = corners[i];
        const QPointF& q = corners[(i + 1) % corners.size()];
        if (p.y() >= y0 && p.y() <= y1) {
            take(p.x());
        }
        for (const double y : {y0, y1}) {
            if ((p.y() < y && q.y() > y) || (p.y() > y && q.y() < y)) {
                take(p.x() + (y - p.y()) * (q.x() - p.x()) / (q.y() - p.y()));
            }
        }
    }
    return {from, to};
}

void LineRaster::closeOutside(const Reach& reach, const SpriteCover* over) {
    // A pixel drawn lies within a pixel of its line's path (the path's point in the middle of
    // its column or row, the path run on by at most half a pixel at each end).
    constexpr double kMargin = 1;
    if (over != nullptr && (over->width() != width_ || over->height() < top_ + height_)) {
        over = nullptr;  // not this frame's
    }
    // Per row, the pixels whose box grown by the margin meets the reach: first to last.
    std::vector<int> first(static_cast<std::size_t>(height_));
    std::vector<int> last(static_cast<std::size_t>(height_));
    for (int r = 0; r < height_; ++r) {
        const double y = top_ + r;
        const auto [from, to] = reach.across(y - kMargin, y + 1 + kMargin);
        first[static_cast<std::size_t>(r)] = static_cast<int>(
            std::clamp(std::ceil(from - 1 - kMargin), 0.0, static_cast<double>(width_)));
        last[static_cast<std::size_t>(r)] = static_cast<int>(
            std::clamp(std::floor(to + kMargin), -1.0, static_cast<double>(width_) - 1));
    }
    closeWhere([&](int x0, int x1, int y) {
        const auto r = static_cast<std::size_t>(y - top_);
        unsigned shut = over != nullptr ? over->covered16(x0, y) : 0U;
        if (first[r] > x0 || last[r] < x1 - 1) {
            for (int x = x0; x < x1; ++x) {
                shut |= static_cast<unsigned>(x < first[r] || x > last[r]) << (x - x0);
            }
        }
        return shut;
    });
}

void LineRaster::closeAsIn(const LineRaster& frame) {
    closeWhere([&](int x0, int x1, int y) {
        unsigned shut = 0;
        for (int x = x0; x < x1; ++x) {
            shut |= static_cast<unsigned>(frame.at(x, y) == kOutside) << (x - x0);
        }
        return shut;
    });
}

template <typename Shut>
void LineRaster::closeWhere(const Shut& shut) {
    for (int ty = 0; ty < tileRows_; ++ty) {
        const int y0 = top_ + ty * kTile;
        const int y1 = std::min(top_ + height_, y0 + kTile);
        for (int tx = 0; tx < tileColumns_; ++tx) {
            const int x0 = tx * kTile;
            const int x1 = std::min(width_, x0 + kTile);
            std::uint16_t& tile = tileOpen_[static_cast<std::size_t>(ty) * tileColumns_ + tx];
            for (int y = y0; y < y1 && tile != 0; ++y) {
                const unsigned bits = shut(x0, x1, y);
                std::uint16_t* row = owners_.data() + static_cast<std::size_t>(y - top_) * width_;
                for (int x = x0; x < x1 && bits != 0; ++x) {
                    if (row[x] == 0 && (bits >> (x - x0) & 1U) != 0) {
                        row[x] = kOutside;
                        --tile;
                    }
                }
            }
            if (tile == 0) {
                std::uint16_t& block =
                    blockOpen_[static_cast<std::size_t>((y0 - top_) / kBlock) * blockColumns_ +
                               x0 / kBlock];
                if (--block == 0) {
                    --openBlocks_;
                }
            }
        }
    }
    sumOpenTiles();
}

void LineRaster::sumOpenTiles() {
    const int stride = tileColumns_ + 1;
    openSum_.assign(static_cast<std::size_t>(stride) * (tileRows_ + 1), 0);
    for (int ty = 0; ty < tileRows_; ++ty) {
        std::int32_t row = 0;
        for (int tx = 0; tx < tileColumns_; ++tx) {
            row += tileOpen_[static_cast<std::size_t>(ty) * tileColumns_ + tx] != 0 ? 1 : 0;
            const std::size_t at = static_cast<std::size_t>(ty + 1) * stride + tx + 1;
            openSum_[at] = openSum_[at - stride] + row;
        }
    }
    linesSinceSummed_ = 0;
    filledSinceSummed_ = false;
}

bool LineRaster::openIn(double x0, double y0, double x1, double y1) const {
    if (x1 < 0 || x0 >= width_ || y1 < top_ || y0 >= top_ + height_) {
        return false;
    }
    // A pixel clamped into the band is not negative: its truncation is its floor, and its tile
    // a shift (a million lines a band are looked at here each frame).
    const auto tile = [](double pixel, int pixels) {
        return static_cast<int>(static_cast<unsigned>(std::clamp(pixel, 0.0, pixels - 1.0)) /
                                kTile);
    };
    const int tx0 = tile(x0, width_);
    const int tx1 = tile(x1, width_) + 1;
    const int ty0 = tile(y0 - top_, height_);
    const int ty1 = tile(y1 - top_, height_) + 1;
    const int stride = tileColumns_ + 1;
    const auto sum = [&](int tx, int ty) {
        return openSum_[static_cast<std::size_t>(ty) * stride + tx];
    };
    return sum(tx1, ty1) - sum(tx0, ty1) - sum(tx1, ty0) + sum(tx0, ty0) > 0;
}

bool LineRaster::mayDraw(QPointF a, QPointF b) const {
    // Every pixel drawn lies within a pixel of the path.
    return openIn(std::min(a.x(), b.x()) - 1, std::min(a.y(), b.y()) - 1,
                  std::max(a.x(), b.x()) + 1, std::max(a.y(), b.y()) + 1);
}

void LineRaster::keepThoseThatMayDraw(std::span<const PixelLine> lines, double ratio,
                                      std::vector<PixelLine>& kept) const {
    // mayDraw's test in one tight loop: a million lines a frame are looked at here, and most
    // are left out.
    const double width = width_;
    const double height = height_;
    const double right = width - 1;
    const double bottom = height - 1;
    const double top = top_;
    const auto stride = static_cast<std::size_t>(tileColumns_) + 1;
    const std::int32_t* const sums = openSum_.data();
    const auto tile = [](double pixel, double last) {
        return static_cast<std::size_t>(
            static_cast<unsigned>(std::min(std::max(pixel, 0.0), last)) / kTile);
    };
    for (const PixelLine& line : lines) {
        const double ax = line.x1 * ratio;
        const double ay = line.y1 * ratio - top;
        const double bx = line.x2 * ratio;
        const double by = line.y2 * ratio - top;
        // Every pixel drawn lies within a pixel of the path.
        const double x0 = std::min(ax, bx) - 1;
        const double x1 = std::max(ax, bx) + 1;
        const double y0 = std::min(ay, by) - 1;
        const double y1 = std::max(ay, by) + 1;
        // Also false for lines that are not numbers.
        if (!(x1 >= 0 && x0 < width && y1 >= 0 && y0 < height)) {
            continue;
        }
        const std::size_t tx0 = tile(x0, right);
        const std::size_t tx1 = tile(x1, right) + 1;
        const std::size_t ty0 = tile(y0, bottom) * stride;
        const std::size_t ty1 = (tile(y1, bottom) + 1) * stride;
        if (sums[ty1 + tx1] - sums[ty1 + tx0] - sums[ty0 + tx1] + sums[ty0 + tx0] > 0) {
            kept.emplace_back(QPointF(ax, ay + top), QPointF(bx, by + top));
        }
    }
}

int LineRaster::openInRow(int y) const {
    const std::uint16_t* row = owners_.data() + static_cast<std::size_t>(y - top_) * width_;
    return static_cast<int>(std::count(row, row + width_, std::uint16_t{0}));
}

double LineRaster::openShare() const {
    std::int64_t open = 0;
    for (const std::uint16_t tile : tileOpen_) {
        open += tile != 0 ? 1 : 0;
    }
    return tileOpen_.empty() ? 0.0 : static_cast<double>(open) / tileOpen_.size();
}

void LineRaster::draw(QPointF a, QPointF b, std::uint16_t owner) {
    // Lines come clipped to the frame, give or take a few pixels: lines reaching far beyond
    // it (or not numbers) are left out.
    constexpr double kFar = 1 << 24;
    const auto near = [](double v) { return std::abs(v) <= kFar; };
    if (!near(a.x()) || !near(a.y()) || !near(b.x()) || !near(b.y()) || full()) {
        return;
    }
    // Coordinates of pixel middles: pixel (x, y) is at (x, y).
    const double ax = a.x() - 0.5;
    const double ay = a.y() - 0.5;
    const double bx = b.x() - 0.5;
    const double by = b.y() - 0.5;
    if (++linesSinceSummed_ >= kSumEvery && filledSinceSummed_) {
        sumOpenTiles();
    }
    if (!mayDraw(a, b)) {
        return;
    }
    if (std::abs(bx - ax) >= std::abs(by - ay)) {
        walk<false>(ax, ay, bx, by, owner);
    } else {
        walk<true>(ay, ax, by, bx, owner);
    }
}

// Along the major axis m (x, or y when Steep) a pixel a step, its minor coordinate n rounded.
template <bool Steep>
void LineRaster::walk(double m0, double n0, double m1, double n1, std::uint16_t owner) {
    if (m1 < m0) {
        std::swap(m0, m1);
        std::swap(n0, n1);
    }
    const std::int64_t mOrigin = Steep ? top_ : 0;
    const std::int64_t nOrigin = Steep ? 0 : top_;
    const std::int64_t mEnd = mOrigin + (Steep ? height_ : width_);
    const std::int64_t nEnd = nOrigin + (Steep ? width_ : height_);
    const std::int64_t c0 = floorOf(m0 + 0.5);
    const std::int64_t c1 = floorOf(m1 + 0.5);
    const double slope = m1 > m0 ? (n1 - n0) / (m1 - m0) : 0.0;
    const std::int64_t step = floorOf(slope * kOne + 0.5);
    // n at column c0 + k is (start + k * step) >> kFraction.
    const std::int64_t start =
        floorOf((n0 + (static_cast<double>(c0) - m0) * slope + 0.5) * kOne + 0.5);
    std::int64_t first = std::max<std::int64_t>(0, mOrigin - c0);
    std::int64_t last = std::min(c1, mEnd - 1) - c0;
    const std::int64_t low = nOrigin << kFraction;
    const std::int64_t high = (nEnd << kFraction) - 1;
    if (step > 0) {
        first = std::max(first, ceilDiv(low - start, step));
        last = std::min(last, floorDiv(high - start, step));
    } else if (step < 0) {
        first = std::max(first, ceilDiv(start - high, -step));
        last = std::min(last, floorDiv(start - low, -step));
    } else if (start < low || start > high) {
        return;
    }
    // The steps are taken a tile's span of the major axis at a time: along a span the minor
    // coordinate moves by less than a tile (the slope is at most 1), so the span's pixels lie in
    // the tiles of its first and last pixel, and a span whose two tiles are drawn is passed over
    // on two look-ups, without a division.
    std::uint16_t* const owners = owners_.data();
    const auto tileOf = [&](std::int64_t along, std::int64_t across) -> std::uint16_t& {
        const auto x = static_cast<std::size_t>(Steep ? across : along);
        const auto y = static_cast<std::size_t>((Steep ? along : across) - top_);
        return tileOpen_[y / kTile * static_cast<std::size_t>(tileColumns_) + x / kTile];
    };
    for (std::int64_t k = first; k <= last;) {
        const std::int64_t m = c0 + k;
        const std::int64_t spanLast = std::min(last, k + (kTile - 1 - (m - mOrigin) % kTile));
        if (tileOf(m, (start + k * step) >> kFraction) == 0 &&
            tileOf(c0 + spanLast, (start + spanLast * step) >> kFraction) == 0) {
            k = spanLast + 1;
            continue;
        }
        for (; k <= spanLast; ++k) {
            const std::int64_t along = c0 + k;
            const std::int64_t across = (start + k * step) >> kFraction;
            std::uint16_t& tile = tileOf(along, across);
            if (tile == 0) {
                continue;
            }
            const auto px = static_cast<std::size_t>(Steep ? across : along);
            const auto py = static_cast<std::size_t>((Steep ? along : across) - top_);
            ++visited_;
            std::uint16_t& pixel = owners[py * static_cast<std::size_t>(width_) + px];
            if (pixel != 0) {
                continue;
            }
            pixel = owner;
            if (--tile == 0) {
                filledSinceSummed_ = true;
                std::uint16_t& block =
                    blockOpen_[py / kBlock * static_cast<std::size_t>(blockColumns_) + px / kBlock];
                if (--block == 0 && --openBlocks_ == 0) {
                    return;
                }
            }
        }
    }
}

QImage LineRaster::colour(std::span<const QRgb> colours) const {
    QImage image(width_, height_, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height_; ++y) {
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::uint16_t* in = owners_.data() + static_cast<std::size_t>(y) * width_;
        for (int x = 0; x < width_; ++x) {
            const std::uint16_t owner = in[x];
            out[x] = owner == 0 || owner > colours.size() ? 0 : colours[owner - 1U];
        }
    }
    return image;
}

}  // namespace pelagon

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

namespace pelagon::track {

bool rasterise(QPainter& painter, const std::vector<VesselLines>& vessels,
               const LineRaster::Reach& reach, const SpriteCover* over,
               const std::atomic<bool>* cancel) {
    const QPaintDevice* device = painter.device();
    const double ratio = device->devicePixelRatioF();
    const int width = device->width();
    const int height = device->height();
    std::vector<QRgb> colours;
    colours.reserve(vessels.size());
    for (const VesselLines& v : vessels) {
        colours.push_back(qPremultiply(v.colour.rgba()));
    }
    // The rows lines can reach; rows no line reaches (the positions lie in part of the view) are
    // given to no band.
    constexpr double kFarRow = 1 << 24;
    const auto rowOf = [&](double y, int margin, int unbounded) {
        return std::abs(y) <= kFarRow
                   ? static_cast<int>(std::clamp<std::int64_t>(floorOf(y) + margin, 0, height))
                   : unbounded;
    };
    double reachTop = -HUGE_VAL;
    double reachBottom = HUGE_VAL;
    if (!reach.corners.empty()) {
        const auto [least, greatest] =
            std::minmax_element(reach.corners.begin(), reach.corners.end(),
                                [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
        reachTop = least->y();
        reachBottom = greatest->y();
    }
    const int firstRow = rowOf(reachTop, -3, reachTop > 0 ? height : 0);
    const int endRow = std::max(firstRow, rowOf(reachBottom, 3, reachBottom < 0 ? 0 : height));
    // The whole frame as the bands begin: where a line can still show.
    LineRaster frame(width, firstRow, endRow);
    frame.closeOutside(reach, over);
    if (frame.full()) {
        return true;  // no line shows
    }
    // Where few pixels are left open (most lie under the points), most lines cannot show in any
    // band: those that can are sorted out once, beside each other, not by every band.
    std::vector<std::vector<PixelLine>> kept(vessels.size());  // in device pixels
    const bool sifted = frame.openShare() < 0.5;
    if (sifted) {
        inParallel(vessels.size(), [&](std::size_t v) {
            const std::span<const PixelLine> lines(vessels[v].lines);
            for (std::size_t i = 0; i < lines.size() && !cancelled(cancel); i += kCancelEvery) {
                frame.keepThoseThatMayDraw(
                    lines.subspan(i, std::min<std::size_t>(kCancelEvery, lines.size() - i)), ratio,
                    kept[v]);
            }
        });
    }
    // A band's time follows the pixels it has open, so the bands are cut at equal shares of
    // them, each row counting a pixel more; there are more bands than threads, so that a thread
    // done with one takes the next.
    const int threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1U, 4U));
    const int bands = std::min(endRow - firstRow, threads * kBandsPerThread);
    std::vector<double> upTo(static_cast<std::size_t>(endRow - firstRow) + 1, 0.0);
    for (int y = firstRow; y < endRow; ++y) {
        const auto i = static_cast<std::size_t>(y - firstRow);
        upTo[i + 1] = upTo[i] + 1.0 + frame.openInRow(y);
    }
    std::vector<QImage> images(static_cast<std::size_t>(bands));
    std::vector<int> tops(static_cast<std::size_t>(bands) + 1, endRow);
    tops[0] = firstRow;
    for (int b = 1; b < bands; ++b) {
        const double share = upTo.back() * b / bands;
        const auto at = std::lower_bound(upTo.begin(), upTo.end(), share) - upTo.begin();
        tops[static_cast<std::size_t>(b)] =
            std::clamp(firstRow + static_cast<int>(at), tops[static_cast<std::size_t>(b) - 1] + 1,
                       endRow - (bands - b));
    }
    inParallel(static_cast<std::size_t>(bands), [&](std::size_t b) {
        LineRaster raster(width, tops[b], tops[b + 1]);
        raster.closeAsIn(frame);
        std::size_t drawn = 0;
        for (std::size_t v = vessels.size(); v-- > 0 && !raster.full();) {
            const auto owner = static_cast<std::uint16_t>(v + 1);
            const double scale = sifted ? 1.0 : ratio;
            for (const PixelLine& line : sifted ? kept[v] : vessels[v].lines) {
                if (++drawn % kCancelEvery == 0 && cancelled(cancel)) {
                    return;
                }
                raster.draw(line.p1() * scale, line.p2() * scale, owner);
            }
        }
        images[b] = raster.colour(colours);
    });
    if (cancelled(cancel)) {
        return false;
    }
    for (int b = 0; b < bands; ++b) {
        QImage& image = images[static_cast<std::size_t>(b)];
        image.setDevicePixelRatio(ratio);
        painter.drawImage(QPointF(0, tops[static_cast<std::size_t>(b)] / ratio), image);
    }
    return true;
}

}  // namespace pelagon::track
