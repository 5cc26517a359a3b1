#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "common/MapTypes.h"
#include "store/FileDamage.h"
#include "store/Grid.h"

namespace pelagon {

class AttributeTable;
class DetailLevel;
class SpatialIndex;
class PointGrid;
class TextColumn;

enum class GeometryKind { Points, Lines, Polygons };

// Features are numbered 0 .. featureCount() - 1 in file order; features without geometry are
// left out of the numbering.
using FeatureId = std::uint32_t;

// Why a layer's data could not be opened.
struct StoreError {
    enum class Kind { None, NotFound, Unreadable };
    Kind kind = Kind::None;
    QString path;     // the file as found on disk, or as given when it was not found
    QString message;  // plain words naming the file and the problem
};

// What reading a layer left out because its files are damaged. The store holds what could be
// read soundly: a record whose bytes disagree with the file's index or headers, or whose
// coordinates are not finite numbers or lie outside the box the file's header gives, is left
// out whole and counted here.
struct StoreDamage {
    std::int64_t records = 0;            // records the files hold (features, for other formats)
    std::int64_t leftOut = 0;            // of which left out
    std::int64_t withoutAttributes = 0;  // of which kept without attributes
    std::int64_t problems = 0;           // problems found; 0 for a sound file
    QString file;                        // the file at fault of the first problem ("closures.shx")
    QString firstProblem;                // "record 9: 30 bytes past the length its index gives"
    std::vector<FileDamage> files;       // per damaged file

    bool any() const { return problems > 0; }
    // One sentence: how much was left out, the file at fault and the first problem.
    QString summary() const;
    // One sentence on one damaged file: what it leaves out, and its first problem.
    QString summary(const FileDamage& f) const;
};

// How a layer is opened. Without the cross-check the files are read as OGR gives them (only
// for measuring what the check costs).
struct StoreOpenOptions {
    bool crossCheck = true;
};

class FeatureStore;

struct StoreOpenResult {
    std::shared_ptr<const FeatureStore> store;  // null when the open failed
    StoreError error;
};

// The geometry of one layer, read once from its data file and kept in flat arrays.
//
// Every feature is a list of parts ("rings"): the rings of its polygons (shells and holes alike,
// never sorted: a feature is filled and hit-tested with the even-odd rule), the parts of its
// lines, or its points. Vertices sit on the layer's integer grid (Grid.h); polygon rings are
// stored without their closing vertex. A packed R-tree over the feature boxes finds candidates;
// rings longer than kChunkEdges edges also carry boxes of runs of kChunkEdges edges, so that a
// point test or a zoomed-in drawing of a 100,000-vertex coastline visits only the runs near it.
//
// The store is immutable once open and may be read from several threads at once. Attributes stay
// in the data file and are read on demand under a lock; a column of label texts, once asked for,
// is kept in memory.
class FeatureStore {
public:
    static constexpr std::uint32_t kChunkEdges = 128;

    // Grows without clearing new elements first: vertices are written right after. Large blocks
    // ask the system for huge pages, which saves most of the page faults of a big layer.
    template <typename T>
    struct UninitializedAllocator : std::allocator<T> {
        template <typename U>
        struct rebind {
            using other = UninitializedAllocator<U>;
        };
        UninitializedAllocator() = default;
        template <typename U>
        UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
        T* allocate(std::size_t n) {
            return static_cast<T*>(allocateLarge(n * sizeof(T), alignof(T)));
        }
        void deallocate(T* p, std::size_t n) noexcept { freeLarge(p, n * sizeof(T)); }
        template <typename U>
        void construct(U* p) noexcept {
            ::new (static_cast<void*>(p)) U;
        }
        template <typename U, typename... Args>
        void construct(U* p, Args&&... args) {
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
        }
    };
    using VertexArray = std::vector<GridPoint, UninitializedAllocator<GridPoint>>;
    static void* allocateLarge(std::size_t bytes, std::size_t alignment);
    static void freeLarge(void* p, std::size_t bytes) noexcept;

    ~FeatureStore();
    FeatureStore(const FeatureStore&) = delete;
    FeatureStore& operator=(const FeatureStore&) = delete;

    // Opens a layer: a shapefile given with or without its ".shp" (the name is also matched
    // without regard to letter case when it is not found as written), or any file OGR reads;
    // the first layer of the file is used.
    static StoreOpenResult open(const QString& path);
    static StoreOpenResult open(const QString& path, const StoreOpenOptions& options);

    // The file that open() would read for this path, or an empty text when there is none.
    static QString resolveDataFile(const QString& path);

    const QString& path() const { return path_; }
    // What was left out of a damaged file; problems == 0 for a sound one.
    const StoreDamage& damage() const { return damage_; }
    GeometryKind kind() const { return kind_; }
    const GridFrame& frame() const { return frame_; }
    std::size_t featureCount() const { return boxes_.size(); }
    std::size_t vertexCount() const { return vertices_.size(); }

    // The box of all features, in map units.
    MapRect extent() const { return frame_.toMap(gridExtent_); }
    const GridBox& gridExtent() const { return gridExtent_; }

    // Geometry of one feature.
    const GridBox& featureBox(FeatureId f) const { return boxes_[f]; }
    MapRect featureBounds(FeatureId f) const { return frame_.toMap(boxes_[f]); }
    std::uint32_t firstRing(FeatureId f) const { return featureRings_[f]; }
    std::uint32_t endRing(FeatureId f) const { return featureRings_[f + 1]; }
    std::span<const GridPoint> ring(std::uint32_t r) const {
        return {vertices_.data() + ringStarts_[r], ringStarts_[r + 1] - ringStarts_[r]};
    }
    // The boxes of the runs of a long ring (run i covers edges i * kChunkEdges onwards); empty
    // for a short ring.
    std::span<const GridBox> ringChunks(std::uint32_t r) const;
    // The runs of a long ring, and boxes of groups of kGroupRuns runs (group g covers runs
    // g * kGroupRuns onwards): a search at a point passes over a group far from it without
    // reading its runs' boxes. Both empty for a short ring.
    static constexpr std::uint32_t kGroupRuns = 32;
    struct RingRuns {
        std::span<const GridBox> runs;
        std::span<const GridBox> groups;
    };
    RingRuns ringRuns(std::uint32_t r) const;

    // The simplified rings to draw with when one device pixel covers pixelGridUnits grid units:
    // every vertex left out lies within half a pixel of the kept outline. Null when the rings are
    // best drawn as they are (a pixel finer than the data, or too little to gain). Levels are
    // built on first use, one per power of two of the tolerance, and kept; safe from any thread.
    const DetailLevel* detailFor(double pixelGridUnits) const;

    // Where a feature's label goes: a point inside a polygon, the middle of a line along its
    // longest part, the point itself. Worked out on first use (only labelled features need
    // one) and kept; safe from any thread.
    GridPoint anchorGrid(FeatureId f) const;
    MapPoint labelAnchor(FeatureId f) const { return frame_.toMap(anchorGrid(f)); }

    // The identifier of the feature in its data file (OGR's FID).
    std::int64_t sourceFid(FeatureId f) const;

    // Features whose boxes meet the rectangle, in file order (out is replaced).
    void featuresIn(const MapRect& r, std::vector<FeatureId>& out) const;
    void featuresIn(const GridBox& b, std::vector<FeatureId>& out) const;

    // Features at a point, in file order: polygons that contain it (their boundary included, to
    // the grid's precision); lines and points within tolerance (map units) of it.
    std::vector<FeatureId> searchPoint(MapPoint p, double tolerance) const;
    // The exact test of searchPoint for one feature.
    bool featureAt(FeatureId f, MapPoint p, double tolerance) const;
    // The first feature, in file order, that searchPoint would find; nothing when there is none.
    // Allocates nothing once a thread has made a few queries, for queries of many points.
    std::optional<FeatureId> firstFeatureAt(MapPoint p, double tolerance) const;

    // Attribute fields of the layer, in file order.
    QStringList fieldNames() const;
    // The index of a field by name (exact first, then without regard to letter case); -1 when
    // the layer has no such field.
    int fieldIndex(const QString& name) const;
    // A feature's value as text; empty for NULL. nullopt when the field does not exist or the
    // feature cannot be read.
    std::optional<QString> attributeText(FeatureId f, const QString& field) const;
    std::optional<QString> attributeText(FeatureId f, int field) const;
    // Whether the feature's attributes can be read: false without an attribute table, and for
    // a feature kept without attributes (its row cannot be proven its own).
    bool hasAttributes(FeatureId f) const;
    // All values of one field, loaded on first use and kept; null for a missing field. A feature
    // kept without attributes has an empty text.
    std::shared_ptr<const TextColumn> textColumn(int field) const;
    // Features among ids whose attributes satisfy an OGR attribute filter ("AREA_ID = 3").
    // Returns nullopt, with the reason in *error, when the filter cannot be parsed.
    std::optional<std::vector<FeatureId>> filterByAttributes(const std::vector<FeatureId>& ids,
                                                             const QString& where,
                                                             QString* error) const;

    // Bytes held for geometry and index, detail levels built so far included (attribute columns
    // not included).
    std::size_t memoryBytes() const;
    // Of which the detail levels.
    std::size_t detailBytes() const;

private:
    friend class FeatureStoreBuilder;
    FeatureStore();

    double searchReach(double tolerance) const;
    bool polygonContains(FeatureId f, double gx, double gy, double eps) const;
    bool nearPath(FeatureId f, double gx, double gy, double tol, bool closed) const;
    bool nearPoints(FeatureId f, double gx, double gy, double tol) const;

    QString path_;
    StoreDamage damage_;
    GeometryKind kind_ = GeometryKind::Polygons;
    GridFrame frame_;
    GridBox gridExtent_;

    VertexArray vertices_;
    std::vector<std::uint32_t> ringStarts_;    // ring r: vertices [ringStarts_[r], [r + 1])
    std::vector<std::uint32_t> featureRings_;  // feature f: rings [featureRings_[f], [f + 1])
    std::vector<GridBox> boxes_;
    GridPoint computeAnchor(FeatureId f) const;
    // Packed anchors, 0 while not yet worked out (see anchorGrid).
    mutable std::unique_ptr<std::atomic<std::uint64_t>[]> anchors_;

    // Runs of long rings: longRings_ holds (ring, first run) sorted by ring; the runs of ring
    // longRings_[i].first are chunkBoxes_[longRings_[i].second .. longRings_[i + 1].second).
    std::vector<std::pair<std::uint32_t, std::uint32_t>> longRings_;
    std::vector<GridBox> chunkBoxes_;
    // The group boxes of long ring longRings_[i] are groupBoxes_[groupStarts_[i] ..
    // groupStarts_[i + 1]) (see ringRuns).
    std::vector<GridBox> groupBoxes_;
    std::vector<std::uint32_t> groupStarts_;
    void makeRunGroups();

    std::unique_ptr<SpatialIndex> index_;
    // The bucket grid for searches at points, made on the first such search (most layers are
    // only drawn and never need it).
    const PointGrid& pointGrid() const;
    mutable std::once_flag pointGridOnce_;
    mutable std::unique_ptr<PointGrid> pointGrid_;
    mutable std::atomic<bool> pointGridMade_{false};
    std::unique_ptr<AttributeTable> attributes_;

    // Detail level k has a tolerance of 2^k grid units. State 0: not tried, 1: built, 2: not
    // worth keeping. Built under the lock; read without it once the state says built.
    static constexpr int kDetailLevels = 32;
    mutable std::mutex detailMutex_;
    mutable std::array<std::unique_ptr<DetailLevel>, kDetailLevels> details_;
    mutable std::array<std::atomic<std::uint8_t>, kDetailLevels> detailState_{};
};

}  // namespace pelagon
