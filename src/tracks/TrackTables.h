#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
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
// (kBytesPerPosition each, plus the names), then sorted into tracks and followed on threads.
class TrackCollector {
public:
    static constexpr std::size_t kBytesPerPosition = 32;

    // A position of the vessel (UTF-8, empty for none), in input order: positions of equal
    // time keep it.
    void add(QByteArrayView vessel, MapPoint xy, qint64 timeMs);
    // Or: the vessels named up front (indices into names), then positions by index.
    void setVessels(std::vector<QByteArray> names);
    void add(std::uint32_t vessel, MapPoint xy, qint64 timeMs);
    std::size_t size() const { return size_; }

    // Empties the collector.
    TrackResults compute(const TrackAreas& areas, const TrackWork& work);

private:
    struct Point {
        double x;
        double y;
        qint64 timeMs;
        std::uint32_t vessel;
        std::uint32_t spare;
    };
    static_assert(sizeof(Point) == kBytesPerPosition);
    // Blocks of kBlockPoints, filled one after another: growing never copies, and compute()
    // frees each block once its points are in place.
    static constexpr std::size_t kBlockPoints = 1 << 16;
    std::vector<std::unique_ptr<Point[]>> blocks_;
    std::size_t size_ = 0;
    std::vector<std::size_t> counts_;  // positions per vessel
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
