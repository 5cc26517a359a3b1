#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "store/Grid.h"

namespace pelagon {

// A uniform grid of buckets over a layer's extent, for searches at a point: each bucket lists,
// in file order, the features whose boxes meet it. A point's candidates are then one bucket's
// list, read from one place, where the R-tree would walk several nodes; for the many points of
// a batch of positions that is several times faster. Immutable once made.
class PointGrid {
public:
    // The buckets are about as many as the features, fewer where big boxes would make the lists
    // long: the lists together hold at most about kMaxEntriesPerFeature entries per feature.
    static constexpr std::size_t kMaxEntriesPerFeature = 8;
    // A search box spanning more buckets than this is left to the tree.
    static constexpr std::int64_t kMaxBucketsPerQuery = 4;

    PointGrid(const std::vector<GridBox>& boxes, const GridBox& extent);

    // Replaces out with the numbers of the boxes that meet b, in ascending order, and returns
    // true; returns false, leaving out alone, when b spans too many buckets to be worth it.
    bool query(const std::vector<GridBox>& boxes, const GridBox& b,
               std::vector<std::uint32_t>& out) const;

    int columns() const { return columns_; }
    int rows() const { return rows_; }
    std::size_t memoryBytes() const;

private:
    int column(std::int64_t x) const;
    int row(std::int64_t y) const;
    // Entries the lists would hold with buckets of the given size.
    static std::size_t entriesFor(const std::vector<GridBox>& boxes, const GridBox& extent,
                                  std::int64_t width, std::int64_t height);

    GridBox extent_;
    std::int64_t bucketWidth_ = 1;
    std::int64_t bucketHeight_ = 1;
    int columns_ = 1;
    int rows_ = 1;
    std::vector<std::uint32_t> starts_;  // bucket k: ids_[starts_[k] .. starts_[k + 1])
    std::vector<std::uint32_t> ids_;
};

}  // namespace pelagon
