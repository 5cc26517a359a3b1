#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "store/Grid.h"

namespace pelagon {

// A packed R-tree over a fixed list of boxes, built once by bulk loading. The tree holds only
// the box numbers and reads the boxes from the list it was given, which must outlive it and
// never change.
class SpatialIndex {
public:
    explicit SpatialIndex(const std::vector<GridBox>& boxes);
    ~SpatialIndex();
    SpatialIndex(const SpatialIndex&) = delete;
    SpatialIndex& operator=(const SpatialIndex&) = delete;

    // Appends to out the numbers of the boxes that meet b, in no particular order.
    void query(const GridBox& b, std::vector<std::uint32_t>& out) const;

    // An estimate of the bytes the tree holds.
    std::size_t memoryBytes() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace pelagon
