#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "store/FeatureStore.h"
#include "store/Grid.h"

namespace pelagon {

// A simplified copy of every ring of a layer, for drawing at a scale where a device pixel covers
// many grid units: every vertex left out lies within tolerance() grid units of the kept outline.
// Rings keep the store's numbering; a ring may shrink to fewer than three vertices. Long rings
// carry run boxes like the store's, so a zoomed-in view still visits only the runs near it.
// Immutable once built.
class DetailLevel {
public:
    // Simplifies every ring of the store; null when the level would keep more than maxShare of
    // the store's vertices (drawing from the store is then as good).
    static std::unique_ptr<DetailLevel> build(const FeatureStore& store, double tolerance,
                                              double maxShare);

    double tolerance() const { return tolerance_; }
    std::size_t vertexCount() const { return vertices_.size(); }

    std::span<const GridPoint> ring(std::uint32_t r) const {
        return {vertices_.data() + ringStarts_[r], ringStarts_[r + 1] - ringStarts_[r]};
    }
    // The boxes of the runs of a long ring, FeatureStore::kChunkEdges edges each; empty for a
    // short one.
    std::span<const GridBox> ringChunks(std::uint32_t r) const {
        return {chunkBoxes_.data() + chunkStarts_[r], chunkStarts_[r + 1] - chunkStarts_[r]};
    }

    std::size_t memoryBytes() const;

private:
    DetailLevel() = default;

    double tolerance_ = 0.0;
    FeatureStore::VertexArray vertices_;
    std::vector<std::uint32_t> ringStarts_;
    std::vector<std::uint32_t> chunkStarts_;
    std::vector<GridBox> chunkBoxes_;
};

}  // namespace pelagon
