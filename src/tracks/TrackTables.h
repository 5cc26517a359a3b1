#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/MapTypes.h"
#include "tracks/AreaVisits.h"

namespace pelagon {

struct AlbersProjection;
struct PositionSet;

namespace tracks {

// The visits and hours of every vessel of a file, in the order the tables list them.
struct TrackResults {
    std::vector<QByteArray> vessels;        // UTF-8 names by index; "" for the track without one
    std::vector<std::int32_t> vesselOrder;  // per index, its place in the byte order of names
    std::vector<Visit> visits;              // sorted (sortVisits)
    std::vector<AreaHours> hours;           // sorted (sortHours)
};

// What to compute.
struct TrackWork {
    TrackOptions track;
    HoursOptions hours;
    bool visits = true;
    bool wantHours = true;
    int threads = 0;  // 0: one per processor core
};

// Positions of any number of vessels, given in any order and held compactly
// (kBytesPerPosition each, plus the names and, per vessel, unused room for fewer positions than
// it has and at most kChunkPoints), each vessel's in a chain of chunks in input order; then
// sorted into tracks where they are not in time order already, and followed on threads.
class TrackCollector {
public:
    static constexpr std::size_t kBytesPerPosition = 24;

    // A position of the vessel (UTF-8, empty for none), in input order: positions of equal
    // time keep it.
    void add(QByteArrayView vessel, MapPoint xy, qint64 timeMs);
    // Or: the vessels named up front (indices into names), then positions by index.
    void setVessels(std::vector<QByteArray> names);
    void add(std::uint32_t vessel, MapPoint xy, qint64 timeMs);
    std::size_t size() const { return size_; }

    // Empties the collector.
    TrackResults compute(const TrackAreas& areas, const TrackWork& work);
    // Or each vessel's table rows, written on the thread that followed it from its results (in
    // the order its walker gave them), joined in the byte order of the names.
    using RowWriter = std::function<void(const QByteArray& vessel, std::vector<Visit>&,
                                         std::vector<AreaHours>&, QByteArray& rows)>;
    QByteArray computeRows(const TrackAreas& areas, const TrackWork& work, const RowWriter& writer);

private:
    struct Point {
        double x;
        double y;
        qint64 timeMs;
    };
    static_assert(sizeof(Point) == kBytesPerPosition);
    // Slabs of 2 MiB, in large pages where the system has them (see allocateSlab), from which
    // the chunks are taken one after another.
    struct SlabFree {
        std::size_t mappedBytes = 0;  // 0: from new[]
        void operator()(Point* p) const;
    };
    using Slab = std::unique_ptr<Point[], SlabFree>;
    static Slab allocateSlab();
    static constexpr std::size_t kSlabPoints = (std::size_t{2} << 20) / kBytesPerPosition;
    // A vessel's n-th chunk holds 2^n points, at most kChunkPoints: a vessel of few positions
    // takes little room, and one of many wastes at most a chunk.
    static constexpr std::size_t kChunkPoints = 512;
    static std::size_t chunkPoints(std::size_t n) {
        return n < 9 ? std::size_t{1} << n : kChunkPoints;
    }
    struct Track {
        std::vector<Point*> chunks;
        Point* next = nullptr;  // where the next point goes in the last chunk
        Point* end = nullptr;
        std::size_t count = 0;
    };
    Point* takeChunk(std::size_t points);
    // Follows every track on threads, handing each one's results to done on its thread; empties
    // the collector but for the names.
    void follow(
        const TrackAreas& areas, const TrackWork& work,
        const std::function<void(std::size_t, std::vector<Visit>&, std::vector<AreaHours>&)>& done);

    std::vector<Slab> slabs_;
    std::size_t slabUsed_ = kSlabPoints;  // points taken from the last slab
    std::size_t size_ = 0;
    std::vector<Track> tracks_;  // by vessel
    std::vector<QByteArray> vessels_;
    struct NameIndex;
    std::shared_ptr<NameIndex> index_;
};

// The visits and hours of a loaded file: its placed rows with a time (rows without one are
// left out), each vessel's in time order. areas must be made on set.query. Visit::vessel and
// AreaHours::vessel are the set's vessel indices (PositionSet::Row::vesselIndex).
TrackResults computeTracks(const PositionSet& set, const TrackAreas& areas, const TrackWork& work);

// The table `pelagon-cli visits` writes: vessel, layer, area, enter_time, exit_time, hours,
// enter_lon, enter_lat, exit_lon, exit_lat, positions_inside, enter_kind, exit_kind.
// RFC 4180, UTF-8, CR LF. Times in ISO 8601 UTC to the second, hours with 4 decimals, degrees
// with 6 (empty without a projection).
class VisitTable {
public:
    VisitTable(const TrackAreas& areas, const AlbersProjection* projection)
        : areas_(areas), projection_(projection) {}
    static QByteArray header();
    void appendRow(QByteArray& out, QByteArrayView vessel, const Visit& v) const;

private:
    const TrackAreas& areas_;
    const AlbersProjection* projection_;
};

// The table `pelagon-cli hours` writes: vessel, layer, area, [period,] hours, positions; the
// period ("2024-05-01", "2024-05") only when hours are split by day or month.
class HoursTable {
public:
    HoursTable(const TrackAreas& areas, Period by) : areas_(areas), by_(by) {}
    QByteArray header() const;
    void appendRow(QByteArray& out, QByteArrayView vessel, const AreaHours& h) const;

private:
    const TrackAreas& areas_;
    Period by_;
};

// Whole tables of results, header included: the bytes the command line writes.
QByteArray visitsCsv(const TrackResults& results, const TrackAreas& areas,
                     const AlbersProjection* projection);
QByteArray hoursCsv(const TrackResults& results, const TrackAreas& areas, Period by);

}  // namespace tracks
}  // namespace pelagon
