#include "store/DetailLevel.h"

#include <algorithm>

#include "store/RingSimplifier.h"

namespace pelagon {

std::unique_ptr<DetailLevel> DetailLevel::build(const FeatureStore& store, double tolerance,
                                                double maxShare) {
    std::unique_ptr<DetailLevel> level(new DetailLevel);
    level->tolerance_ = tolerance;
    const bool closed = store.kind() == GeometryKind::Polygons;
    const std::size_t budget =
        static_cast<std::size_t>(static_cast<double>(store.vertexCount()) * maxShare);
    const std::uint32_t rings =
        store.featureCount() == 0 ? 0
                                  : store.endRing(static_cast<FeatureId>(store.featureCount() - 1));
    RingSimplifier simplifier(tolerance);
    level->vertices_.reserve(budget + 1);
    level->ringStarts_.reserve(rings + 1);
    level->chunkStarts_.reserve(rings + 1);
    level->ringStarts_.push_back(0);
    level->chunkStarts_.push_back(0);
    constexpr std::size_t K = FeatureStore::kChunkEdges;
    for (std::uint32_t r = 0; r < rings; ++r) {
        const std::size_t begin = level->vertices_.size();
        simplifier.simplify(store.ring(r), closed, level->vertices_);
        if (level->vertices_.size() > budget) {
            return nullptr;
        }
        const std::span<const GridPoint> v(level->vertices_.data() + begin,
                                           level->vertices_.size() - begin);
        const std::size_t n = v.size();
        if (n > 2 * K) {
            // As the store's runs: a run's box covers both ends of its edges.
            const std::size_t edges = closed ? n : n - 1;
            for (std::size_t first = 0; first < edges; first += K) {
                GridBox b;
                const std::size_t last = std::min(first + K, edges);
                for (std::size_t i = first; i <= last; ++i) {
                    b.add(v[i == n ? 0 : i]);
                }
                level->chunkBoxes_.push_back(b);
            }
        }
        level->ringStarts_.push_back(static_cast<std::uint32_t>(level->vertices_.size()));
        level->chunkStarts_.push_back(static_cast<std::uint32_t>(level->chunkBoxes_.size()));
    }
    level->vertices_.shrink_to_fit();
    level->chunkBoxes_.shrink_to_fit();
    return level;
}

std::size_t DetailLevel::memoryBytes() const {
    return vertices_.capacity() * sizeof(GridPoint) +
           (ringStarts_.capacity() + chunkStarts_.capacity()) * sizeof(std::uint32_t) +
           chunkBoxes_.capacity() * sizeof(GridBox);
}

}  // namespace pelagon
