#include "app/TrackRaster.h"

#include <QPainter>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <optional>
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
    // A line's two ends are worked on as pairs of doubles (x and y together), which the
    // processor handles at once: the same arithmetic as mayDraw's, in half the instructions.
    using Pair = double __attribute__((vector_size(16)));
    using Floats = float __attribute__((vector_size(8)));
    using Ints = std::int32_t __attribute__((vector_size(8)));
    const Pair scale = Pair{} + ratio;
    const Pair shift{0, static_cast<double>(top_)};
    const Pair size{static_cast<double>(width_), static_cast<double>(height_)};
    const Pair last = size - 1;
    const Pair zero{};
    const auto stride = static_cast<std::size_t>(tileColumns_) + 1;
    const std::int32_t* const sums = openSum_.data();
    // Clamped into the band (a line that is not a number to its first tile), so that every
    // line, kept or not, reads within the sums.
    const auto tiles = [&](Pair pixel) {
        const Pair inside = last < pixel ? last : pixel;
        return __builtin_convertvector(pixel > zero ? inside : zero, Ints) / kTile;
    };
    // Whether each line of a chunk is kept is found first, line by line independently of the
    // others; then the kept ones are written, each where the next kept one goes, counted only
    // where it is kept (whether a line is kept follows no pattern: a branch on it would be
    // mispredicted, and writing as it is found would make each line wait for the last).
    constexpr std::size_t kChunk = 256;
    std::uint8_t keep[kChunk];
    PixelLine chosen[kChunk];
    for (std::size_t from = 0; from < lines.size(); from += kChunk) {
        const std::size_t n = std::min(kChunk, lines.size() - from);
        for (std::size_t i = 0; i < n; ++i) {
            Floats ends[2];
            std::memcpy(static_cast<void*>(ends), &lines[from + i], sizeof ends);
            const Pair a = __builtin_convertvector(ends[0], Pair) * scale - shift;
            const Pair b = __builtin_convertvector(ends[1], Pair) * scale - shift;
            // Every pixel drawn lies within a pixel of the path (std::min and std::max, lane
            // by lane).
            const Pair low = (b < a ? b : a) - 1;
            const Pair high = (a < b ? b : a) + 1;
            // Also false for lines that are not numbers.
            const auto near = (high >= zero) & (low < size);
            const Ints first = tiles(low);
            const Ints end = tiles(high) + 1;
            const auto tx0 = static_cast<std::size_t>(first[0]);
            const auto tx1 = static_cast<std::size_t>(end[0]);
            const std::size_t ty0 = static_cast<std::size_t>(first[1]) * stride;
            const std::size_t ty1 = static_cast<std::size_t>(end[1]) * stride;
            const bool open =
                sums[ty1 + tx1] - sums[ty1 + tx0] - sums[ty0 + tx1] + sums[ty0 + tx0] > 0;
            keep[i] = static_cast<std::uint8_t>((near[0] & near[1] & open) != 0);
        }
        std::size_t count = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const PixelLine& line = lines[from + i];
            chosen[count] = ratio == 1.0 ? line
                                         : PixelLine(QPointF(line.x1 * ratio, line.y1 * ratio),
                                                     QPointF(line.x2 * ratio, line.y2 * ratio));
            count += keep[i];
        }
        kept.insert(kept.end(), chosen, chosen + count);
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

namespace pelagon::track {

std::optional<std::vector<LineBand>> rasteriseBands(QSize pixels, double ratio,
                                                    const std::vector<VesselLines>& vessels,
                                                    const LineRaster::Reach& reach,
                                                    const SpriteCover* over,
                                                    const std::atomic<bool>* cancel) {
    const int width = pixels.width();
    const int height = pixels.height();
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
        return std::vector<LineBand>{};  // no line shows
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
        return std::nullopt;
    }
    std::vector<LineBand> drawn;
    for (int b = 0; b < bands; ++b) {
        QImage& image = images[static_cast<std::size_t>(b)];
        image.setDevicePixelRatio(ratio);
        drawn.push_back({tops[static_cast<std::size_t>(b)] / ratio, std::move(image)});
    }
    return drawn;
}

bool rasterise(QPainter& painter, const std::vector<VesselLines>& vessels,
               const LineRaster::Reach& reach, const SpriteCover* over,
               const std::atomic<bool>* cancel) {
    const QPaintDevice* device = painter.device();
    const std::optional<std::vector<LineBand>> bands =
        rasteriseBands(QSize(device->width(), device->height()), device->devicePixelRatioF(),
                       vessels, reach, over, cancel);
    if (!bands) {
        return false;
    }
    drawBands(painter, *bands);
    return true;
}

void drawBands(QPainter& painter, const std::vector<LineBand>& bands) {
    for (const LineBand& band : bands) {
        painter.drawImage(QPointF(0, band.top), band.image);
    }
}

}  // namespace pelagon::track
