#include "store/PointGrid.h"

#include <algorithm>
#include <cmath>

namespace pelagon {

namespace {

std::int64_t span(std::int32_t lo, std::int32_t hi) {
    return static_cast<std::int64_t>(hi) - static_cast<std::int64_t>(lo) + 1;
}

std::int64_t divideUp(std::int64_t a, std::int64_t b) {
    return (a + b - 1) / b;
}

}  // namespace

std::size_t PointGrid::entriesFor(const std::vector<GridBox>& boxes, const GridBox& extent,
                                  std::int64_t width, std::int64_t height) {
    std::size_t entries = 0;
    for (const GridBox& b : boxes) {
        if (b.isEmpty()) {
            continue;
        }
        const std::int64_t c0 = (static_cast<std::int64_t>(b.minX) - extent.minX) / width;
        const std::int64_t c1 = (static_cast<std::int64_t>(b.maxX) - extent.minX) / width;
        const std::int64_t r0 = (static_cast<std::int64_t>(b.minY) - extent.minY) / height;
        const std::int64_t r1 = (static_cast<std::int64_t>(b.maxY) - extent.minY) / height;
        entries += static_cast<std::size_t>((c1 - c0 + 1) * (r1 - r0 + 1));
    }
    return entries;
}

PointGrid::PointGrid(const std::vector<GridBox>& boxes, const GridBox& extent) : extent_(extent) {
    if (boxes.empty() || extent.isEmpty()) {
        starts_.assign(2, 0);
        return;
    }
    const std::int64_t width = span(extent.minX, extent.maxX);
    const std::int64_t height = span(extent.minY, extent.maxY);
    // About one bucket per feature, shaped like the extent.
    const double n = static_cast<double>(boxes.size());
    const double aspect = static_cast<double>(width) / static_cast<double>(height);
    auto columns =
        static_cast<std::int64_t>(std::clamp(std::ceil(std::sqrt(n * aspect)), 1.0, 4096.0));
    auto rows = static_cast<std::int64_t>(
        std::clamp(std::ceil(n / static_cast<double>(columns)), 1.0, 4096.0));
    // Big boxes fall into many buckets: coarser buckets until the lists stay short.
    const std::size_t limit = boxes.size() * kMaxEntriesPerFeature + 1024;
    for (;;) {
        bucketWidth_ = divideUp(width, columns);
        bucketHeight_ = divideUp(height, rows);
        if ((columns == 1 && rows == 1) ||
            entriesFor(boxes, extent, bucketWidth_, bucketHeight_) <= limit) {
            break;
        }
        columns = std::max<std::int64_t>(1, columns / 2);
        rows = std::max<std::int64_t>(1, rows / 2);
    }
    columns_ = static_cast<int>(divideUp(width, bucketWidth_));
    rows_ = static_cast<int>(divideUp(height, bucketHeight_));

    // Two passes: count each bucket's entries, then fill them in feature order.
    const auto buckets = static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_);
    starts_.assign(buckets + 1, 0);
    auto visit = [&](auto&& each) {
        for (std::uint32_t f = 0; f < boxes.size(); ++f) {
            const GridBox& b = boxes[f];
            if (b.isEmpty()) {
                continue;
            }
            const int c0 = column(b.minX), c1 = column(b.maxX);
            const int r0 = row(b.minY), r1 = row(b.maxY);
            for (int r = r0; r <= r1; ++r) {
                for (int c = c0; c <= c1; ++c) {
                    each(static_cast<std::size_t>(r) * static_cast<std::size_t>(columns_) +
                             static_cast<std::size_t>(c),
                         f);
                }
            }
        }
    };
    visit([&](std::size_t k, std::uint32_t) { ++starts_[k + 1]; });
    for (std::size_t k = 0; k < buckets; ++k) {
        starts_[k + 1] += starts_[k];
    }
    ids_.resize(starts_[buckets]);
    std::vector<std::uint32_t> fill(starts_.begin(), starts_.end() - 1);
    visit([&](std::size_t k, std::uint32_t f) { ids_[fill[k]++] = f; });
}

int PointGrid::column(std::int64_t x) const {
    const std::int64_t c = (x - extent_.minX) / bucketWidth_;
    return static_cast<int>(std::clamp<std::int64_t>(c, 0, columns_ - 1));
}

int PointGrid::row(std::int64_t y) const {
    const std::int64_t r = (y - extent_.minY) / bucketHeight_;
    return static_cast<int>(std::clamp<std::int64_t>(r, 0, rows_ - 1));
}

bool PointGrid::query(const std::vector<GridBox>& boxes, const GridBox& b,
                      std::vector<std::uint32_t>& out) const {
    if (!b.intersects(extent_) || ids_.empty()) {
        out.clear();
        return true;
    }
    const int c0 = column(b.minX), c1 = column(b.maxX);
    const int r0 = row(b.minY), r1 = row(b.maxY);
    if (static_cast<std::int64_t>(c1 - c0 + 1) * (r1 - r0 + 1) > kMaxBucketsPerQuery) {
        return false;
    }
    out.clear();
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c) {
            const std::size_t k = static_cast<std::size_t>(r) * static_cast<std::size_t>(columns_) +
                                  static_cast<std::size_t>(c);
            for (std::uint32_t i = starts_[k]; i < starts_[k + 1]; ++i) {
                if (boxes[ids_[i]].intersects(b)) {
                    out.push_back(ids_[i]);
                }
            }
        }
    }
    // A box in several buckets was found once in each.
    if (c0 != c1 || r0 != r1) {
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
    }
    return true;
}

std::size_t PointGrid::memoryBytes() const {
    return (starts_.capacity() + ids_.capacity()) * sizeof(std::uint32_t);
}

}  // namespace pelagon
