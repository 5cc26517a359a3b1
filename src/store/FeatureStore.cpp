#include "store/FeatureStore.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <numeric>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "store/AttributeTable.h"
#include "store/DetailLevel.h"
#include "store/FeatureStoreBuilder.h"
#include "store/PointGrid.h"
#include "store/RingMath.h"
#include "store/SpatialIndex.h"
#include "store/TextColumn.h"

namespace pelagon {

using ringmath::distanceSquaredToSegment;
using ringmath::nearBox;
using ringmath::rayCrosses;

FeatureStore::FeatureStore() = default;
FeatureStore::~FeatureStore() = default;

StoreOpenResult FeatureStore::open(const QString& path) {
    return FeatureStoreBuilder::open(path, StoreOpenOptions{});
}

StoreOpenResult FeatureStore::open(const QString& path, const StoreOpenOptions& options) {
    return FeatureStoreBuilder::open(path, options);
}

namespace {

QString recordsText(std::int64_t n) {
    return n == 1 ? QStringLiteral("record") : QStringLiteral("records");
}

}  // namespace

QString StoreDamage::summary() const {
    QString text =
        QStringLiteral("%1 of %2 %3 left out").arg(leftOut).arg(records).arg(recordsText(records));
    if (withoutAttributes > 0) {
        text += QStringLiteral(", %1 kept without attributes").arg(withoutAttributes);
    }
    if (!file.isEmpty()) {
        text += QStringLiteral("; the damage is in %1").arg(file);
    }
    if (!firstProblem.isEmpty()) {
        text += (problems > 1 ? QStringLiteral("; first of %1 problems: ").arg(problems)
                              : QStringLiteral(": ")) +
                firstProblem;
    }
    return text + QLatin1Char('.');
}

QString StoreDamage::summary(const FileDamage& f) const {
    QString text = QStringLiteral("%1 of %2 %3 left out")
                       .arg(f.leftOut)
                       .arg(records)
                       .arg(recordsText(records));
    if (f.withoutAttributes > 0) {
        text += QStringLiteral(", %1 kept without attributes").arg(f.withoutAttributes);
    }
    text += QStringLiteral("; the damage is in %1").arg(f.file);
    if (!f.firstProblem.isEmpty()) {
        text += (f.problems > 1 ? QStringLiteral("; first of %1 problems: ").arg(f.problems)
                                : QStringLiteral(": ")) +
                f.firstProblem;
    }
    return text + QLatin1Char('.');
}

QString FeatureStore::resolveDataFile(const QString& path) {
    return FeatureStoreBuilder::resolveDataFile(path);
}

std::span<const GridBox> FeatureStore::ringChunks(std::uint32_t r) const {
    // longRings_ ends with a sentinel entry, so entry i + 1 always exists for a found ring.
    const auto it = std::lower_bound(longRings_.begin(), longRings_.end(), r,
                                     [](const auto& e, std::uint32_t v) { return e.first < v; });
    if (it == longRings_.end() || it->first != r) {
        return {};
    }
    return {chunkBoxes_.data() + it->second, (it + 1)->second - it->second};
}

FeatureStore::RingRuns FeatureStore::ringRuns(std::uint32_t r) const {
    const auto it = std::lower_bound(longRings_.begin(), longRings_.end(), r,
                                     [](const auto& e, std::uint32_t v) { return e.first < v; });
    if (it == longRings_.end() || it->first != r) {
        return {};
    }
    const auto i = static_cast<std::size_t>(it - longRings_.begin());
    return {{chunkBoxes_.data() + it->second, (it + 1)->second - it->second},
            {groupBoxes_.data() + groupStarts_[i], groupStarts_[i + 1] - groupStarts_[i]}};
}

void FeatureStore::makeRunGroups() {
    groupBoxes_.clear();
    groupStarts_.clear();
    for (std::size_t i = 0; i + 1 < longRings_.size(); ++i) {
        groupStarts_.push_back(static_cast<std::uint32_t>(groupBoxes_.size()));
        const std::uint32_t end = longRings_[i + 1].second;
        for (std::uint32_t c = longRings_[i].second; c < end; c += kGroupRuns) {
            GridBox group;
            for (std::uint32_t k = c; k < std::min(end, c + kGroupRuns); ++k) {
                group.add(chunkBoxes_[k]);
            }
            groupBoxes_.push_back(group);
        }
    }
    // Entries for the sentinel of longRings_ too, so that i + 1 always exists.
    groupStarts_.push_back(static_cast<std::uint32_t>(groupBoxes_.size()));
    groupStarts_.push_back(static_cast<std::uint32_t>(groupBoxes_.size()));
    groupBoxes_.shrink_to_fit();
    groupStarts_.shrink_to_fit();
}

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargeBlock = std::size_t{8} << 20;

}  // namespace

void* FeatureStore::allocateLarge(std::size_t bytes, std::size_t alignment) {
    if (bytes < kLargeBlock) {
        return ::operator new(bytes, std::align_val_t(alignment));
    }
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
#ifdef MADV_HUGEPAGE
    madvise(p, rounded, MADV_HUGEPAGE);
#endif
    return p;
}

void FeatureStore::freeLarge(void* p, std::size_t bytes) noexcept {
    if (bytes < kLargeBlock) {
        ::operator delete(p, std::align_val_t(alignof(GridPoint)));
    } else {
        std::free(p);
    }
}

namespace {

// Anchors are packed into one 64-bit word, flipped so that the word 0 means "not yet": its
// point would be (-2^31, -2^31), which the grid never uses.
constexpr std::uint64_t kAnchorFlip = 0x8000000080000000ull;

std::uint64_t packAnchor(GridPoint p) {
    return ((static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.x)) << 32) |
            static_cast<std::uint32_t>(p.y)) ^
           kAnchorFlip;
}

GridPoint unpackAnchor(std::uint64_t v) {
    v ^= kAnchorFlip;
    return {static_cast<std::int32_t>(static_cast<std::uint32_t>(v >> 32)),
            static_cast<std::int32_t>(static_cast<std::uint32_t>(v))};
}

}  // namespace

GridPoint FeatureStore::anchorGrid(FeatureId f) const {
    std::atomic<std::uint64_t>& slot = anchors_[f];
    std::uint64_t v = slot.load(std::memory_order_relaxed);
    if (v == 0) {
        // Two threads may both work it out; they get the same point.
        v = packAnchor(computeAnchor(f));
        slot.store(v, std::memory_order_relaxed);
    }
    return unpackAnchor(v);
}

GridPoint FeatureStore::computeAnchor(FeatureId f) const {
    const std::uint32_t r0 = firstRing(f), r1 = endRing(f);
    switch (kind_) {
        case GeometryKind::Points:
            return ring(r0).front();
        case GeometryKind::Lines: {
            std::uint32_t longest = r0;
            double best = -1.0;
            for (std::uint32_t r = r0; r < r1; ++r) {
                const double len = ringmath::pathLength(ring(r));
                if (len > best) {
                    best = len;
                    longest = r;
                }
            }
            return ringmath::pathMiddle(ring(longest));
        }
        case GeometryKind::Polygons:
            break;
    }
    thread_local std::vector<ringmath::RingWithRuns> rings;
    thread_local std::vector<double> xs;
    rings.clear();
    for (std::uint32_t r = r0; r < r1; ++r) {
        rings.push_back({ring(r), ringChunks(r)});
    }
    return ringmath::interiorPoint(rings, boxes_[f], kChunkEdges, xs);
}

const DetailLevel* FeatureStore::detailFor(double pixelGridUnits) const {
    if (kind_ == GeometryKind::Points || !(pixelGridUnits >= 4.0)) {
        return nullptr;
    }
    // The coarsest level within half a pixel (a pixel wider than the grid takes the last).
    const double level = std::floor(std::log2(pixelGridUnits / 2.0));
    const int k = level < kDetailLevels - 1 ? static_cast<int>(level) : kDetailLevels - 1;
    constexpr std::uint8_t kBuilt = 1, kDeclined = 2;
    std::uint8_t state = detailState_[k].load(std::memory_order_acquire);
    if (state == 0) {
        std::lock_guard lock(detailMutex_);
        state = detailState_[k].load(std::memory_order_relaxed);
        if (state == 0) {
            // A level keeping more than half the vertices saves too little drawing for its memory.
            details_[k] = DetailLevel::build(*this, std::ldexp(1.0, k), 0.5);
            state = details_[k] ? kBuilt : kDeclined;
            if (state == kDeclined) {
                // Finer levels would keep still more.
                for (int j = 0; j < k; ++j) {
                    if (detailState_[j].load(std::memory_order_relaxed) == 0) {
                        detailState_[j].store(kDeclined, std::memory_order_relaxed);
                    }
                }
            }
            detailState_[k].store(state, std::memory_order_release);
        }
    }
    return state == kBuilt ? details_[k].get() : nullptr;
}

std::int64_t FeatureStore::sourceFid(FeatureId f) const {
    return attributes_ ? attributes_->fid(f) : static_cast<std::int64_t>(f);
}

void FeatureStore::featuresIn(const MapRect& r, std::vector<FeatureId>& out) const {
    featuresIn(frame_.cover(r), out);
}

void FeatureStore::featuresIn(const GridBox& b, std::vector<FeatureId>& out) const {
    out.clear();
    if (boxes_.empty() || !b.intersects(gridExtent_)) {
        return;
    }
    if (b.contains(gridExtent_)) {
        out.resize(boxes_.size());
        std::iota(out.begin(), out.end(), FeatureId{0});
        return;
    }
    index_->query(b, out);
    std::sort(out.begin(), out.end());
}

// How far from a point a feature found there may lie: the tolerance for lines and points (an
// area must contain the point whatever the tolerance), plus one grid step, since the grid rounds
// vertices by half a step and boundaries are inclusive.
double FeatureStore::searchReach(double tolerance) const {
    return (kind_ == GeometryKind::Polygons ? 0.0 : std::max(tolerance, 0.0)) + frame_.step;
}

std::vector<FeatureId> FeatureStore::searchPoint(MapPoint p, double tolerance) const {
    std::vector<FeatureId> hits;
    if (boxes_.empty() || !std::isfinite(p.x) || !std::isfinite(p.y)) {
        return hits;
    }
    const double reach = searchReach(tolerance);
    featuresIn(MapRect{p.x - reach, p.x + reach, p.y - reach, p.y + reach}, hits);
    std::erase_if(hits, [&](FeatureId f) { return !featureAt(f, p, tolerance); });
    return hits;
}

std::optional<FeatureId> FeatureStore::firstFeatureAt(MapPoint p, double tolerance) const {
    if (boxes_.empty() || !std::isfinite(p.x) || !std::isfinite(p.y)) {
        return std::nullopt;
    }
    const double reach = searchReach(tolerance);
    const GridBox b = frame_.cover(MapRect{p.x - reach, p.x + reach, p.y - reach, p.y + reach});
    if (!b.intersects(gridExtent_)) {
        return std::nullopt;
    }
    thread_local std::vector<FeatureId> candidates;
    if (!pointGrid().query(boxes_, b, candidates)) {
        candidates.clear();
        index_->query(b, candidates);
        std::sort(candidates.begin(), candidates.end());
    }
    for (const FeatureId f : candidates) {
        if (featureAt(f, p, tolerance)) {
            return f;
        }
    }
    return std::nullopt;
}

bool FeatureStore::featureAt(FeatureId f, MapPoint p, double tolerance) const {
    const double gx = frame_.gridX(p.x);
    const double gy = frame_.gridY(p.y);
    const double eps = 1.0;
    const double tol = std::max(tolerance, 0.0) / frame_.step + eps;
    switch (kind_) {
        case GeometryKind::Polygons:
            return nearBox(boxes_[f], gx, gy, eps) && polygonContains(f, gx, gy, eps);
        case GeometryKind::Lines:
            return nearBox(boxes_[f], gx, gy, tol) && nearPath(f, gx, gy, tol, false);
        case GeometryKind::Points:
            return nearBox(boxes_[f], gx, gy, tol) && nearPoints(f, gx, gy, tol);
    }
    return false;
}

// Even-odd crossing count over all rings, with the boundary (within eps) counted as inside.
// Runs of a long ring that neither reach the point's height nor lie right of it are skipped.
bool FeatureStore::polygonContains(FeatureId f, double gx, double gy, double eps) const {
    const double eps2 = eps * eps;
    bool inside = false;
    // Scans edges [begin, end) of ring v: crossings of the rightward ray, and the boundary.
    auto scan = [&](std::span<const GridPoint> v, std::size_t begin, std::size_t end) {
        const std::size_t n = v.size();
        for (std::size_t e = begin; e < end; ++e) {
            const GridPoint a = v[e];
            const GridPoint b = v[e + 1 == n ? 0 : e + 1];
            if (rayCrosses(gx, gy, a, b)) {
                inside = !inside;
            }
            const double minX = std::min(a.x, b.x), maxX = std::max(a.x, b.x);
            const double minY = std::min(a.y, b.y), maxY = std::max(a.y, b.y);
            if (gx >= minX - eps && gx <= maxX + eps && gy >= minY - eps && gy <= maxY + eps &&
                distanceSquaredToSegment(gx, gy, a, b) <= eps2) {
                return true;
            }
        }
        return false;
    };
    // A run, or a group of runs, that neither reaches the point's height nor lies right of it
    // holds no crossing and no boundary near the point.
    auto skipped = [&](const GridBox& b) {
        return b.maxY < gy - eps || b.minY > gy + eps || b.maxX < gx - eps;
    };
    for (std::uint32_t r = firstRing(f); r < endRing(f); ++r) {
        const auto v = ring(r);
        const std::size_t n = v.size();
        const RingRuns runs = ringRuns(r);
        if (runs.runs.empty()) {
            if (scan(v, 0, n)) {
                return true;
            }
            continue;
        }
        for (std::size_t g = 0; g < runs.groups.size(); ++g) {
            if (skipped(runs.groups[g])) {
                continue;
            }
            const std::size_t lastRun = std::min(runs.runs.size(), (g + 1) * kGroupRuns);
            for (std::size_t c = g * kGroupRuns; c < lastRun; ++c) {
                if (skipped(runs.runs[c])) {
                    continue;
                }
                const std::size_t begin = c * kChunkEdges;
                if (scan(v, begin, std::min(n, begin + kChunkEdges))) {
                    return true;
                }
            }
        }
    }
    return inside;
}

bool FeatureStore::nearPath(FeatureId f, double gx, double gy, double tol, bool closed) const {
    const double tol2 = tol * tol;
    for (std::uint32_t r = firstRing(f); r < endRing(f); ++r) {
        const auto v = ring(r);
        const std::size_t n = v.size();
        if (n == 1) {
            if (distanceSquaredToSegment(gx, gy, v[0], v[0]) <= tol2) {
                return true;
            }
            continue;
        }
        const std::size_t edges = closed ? n : n - 1;
        const auto chunks = ringChunks(r);
        const std::size_t runs = chunks.empty() ? 1 : chunks.size();
        for (std::size_t c = 0; c < runs; ++c) {
            if (!chunks.empty() && !nearBox(chunks[c], gx, gy, tol)) {
                continue;
            }
            const std::size_t begin = chunks.empty() ? 0 : c * kChunkEdges;
            const std::size_t end = chunks.empty() ? edges : std::min(edges, begin + kChunkEdges);
            for (std::size_t e = begin; e < end; ++e) {
                if (distanceSquaredToSegment(gx, gy, v[e], v[e + 1 == n ? 0 : e + 1]) <= tol2) {
                    return true;
                }
            }
        }
    }
    return false;
}

bool FeatureStore::nearPoints(FeatureId f, double gx, double gy, double tol) const {
    const double tol2 = tol * tol;
    for (std::uint32_t r = firstRing(f); r < endRing(f); ++r) {
        const auto v = ring(r);
        const auto chunks = ringChunks(r);
        const std::size_t runs = chunks.empty() ? 1 : chunks.size();
        for (std::size_t c = 0; c < runs; ++c) {
            if (!chunks.empty() && !nearBox(chunks[c], gx, gy, tol)) {
                continue;
            }
            const std::size_t begin = chunks.empty() ? 0 : c * kChunkEdges;
            const std::size_t end =
                chunks.empty() ? v.size() : std::min(v.size(), begin + kChunkEdges);
            for (std::size_t i = begin; i < end; ++i) {
                const double dx = v[i].x - gx, dy = v[i].y - gy;
                if (dx * dx + dy * dy <= tol2) {
                    return true;
                }
            }
        }
    }
    return false;
}

QStringList FeatureStore::fieldNames() const {
    return attributes_ ? attributes_->fieldNames() : QStringList();
}

int FeatureStore::fieldIndex(const QString& name) const {
    return attributes_ ? attributes_->fieldIndex(name) : -1;
}

std::optional<QString> FeatureStore::attributeText(FeatureId f, const QString& field) const {
    return attributeText(f, fieldIndex(field));
}

std::optional<QString> FeatureStore::attributeText(FeatureId f, int field) const {
    if (!attributes_ || f >= featureCount()) {
        return std::nullopt;
    }
    return attributes_->text(f, field);
}

bool FeatureStore::hasAttributes(FeatureId f) const {
    return attributes_ && attributes_->hasRow(f);
}

std::shared_ptr<const TextColumn> FeatureStore::textColumn(int field) const {
    return attributes_ ? attributes_->column(field) : nullptr;
}

std::optional<std::vector<FeatureId>> FeatureStore::filterByAttributes(
    const std::vector<FeatureId>& ids, const QString& where, QString* error) const {
    if (!attributes_) {
        if (error != nullptr) {
            *error = QStringLiteral("The layer has no attributes to filter.");
        }
        return std::nullopt;
    }
    return attributes_->filter(ids, where, error);
}

const PointGrid& FeatureStore::pointGrid() const {
    std::call_once(pointGridOnce_, [this] {
        pointGrid_ = std::make_unique<PointGrid>(boxes_, gridExtent_);
        pointGridMade_.store(true, std::memory_order_release);
    });
    return *pointGrid_;
}

std::size_t FeatureStore::memoryBytes() const {
    return vertices_.capacity() * sizeof(GridPoint) +
           ringStarts_.capacity() * sizeof(std::uint32_t) +
           featureRings_.capacity() * sizeof(std::uint32_t) + boxes_.capacity() * sizeof(GridBox) +
           boxes_.size() * sizeof(std::uint64_t) + longRings_.capacity() * sizeof(longRings_[0]) +
           chunkBoxes_.capacity() * sizeof(GridBox) + groupBoxes_.capacity() * sizeof(GridBox) +
           groupStarts_.capacity() * sizeof(std::uint32_t) + (index_ ? index_->memoryBytes() : 0) +
           (pointGridMade_.load(std::memory_order_acquire) ? pointGrid_->memoryBytes() : 0) +
           (attributes_ ? attributes_->fids().capacity() * sizeof(std::int64_t) : 0) +
           detailBytes();
}

std::size_t FeatureStore::detailBytes() const {
    std::lock_guard lock(detailMutex_);
    std::size_t bytes = 0;
    for (const auto& d : details_) {
        bytes += d ? d->memoryBytes() : 0;
    }
    return bytes;
}

}  // namespace pelagon
