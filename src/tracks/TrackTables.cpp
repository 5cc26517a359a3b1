#include "tracks/TrackTables.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <functional>
#include <limits>
#include <numeric>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "geo/AlbersProjection.h"
#include "positions/Csv.h"
#include "query/PositionSet.h"
#include "tracks/TrackTime.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace pelagon::tracks {

struct TrackCollector::NameIndex {
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    // Looked up by the bytes of the name, without making a copy of it for each position.
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> index;
    std::uint32_t last = 0;
    bool any = false;
};

// Held in pages of 2 MiB where the system gives them on request (Linux's transparent huge
// pages): hundreds of megabytes of points in pages of 4 KiB cost a page fault per 170 points
// and TLB misses on the writes to the chunks of many vessels.
TrackCollector::Slab TrackCollector::allocateSlab() {
#ifdef __linux__
    constexpr std::size_t kLargePage = std::size_t{2} << 20;
    static_assert(kSlabPoints * sizeof(Point) <= kLargePage);
    void* raw =
        mmap(nullptr, 2 * kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw != MAP_FAILED) {
        // One large page, aligned: the unaligned head and the tail are given back.
        const auto start = reinterpret_cast<std::uintptr_t>(raw);
        const std::uintptr_t aligned = (start + kLargePage - 1) / kLargePage * kLargePage;
        if (aligned > start) {
            munmap(raw, aligned - start);
        }
        munmap(reinterpret_cast<void*>(aligned + kLargePage), start + kLargePage - aligned);
        madvise(reinterpret_cast<void*>(aligned), kLargePage, MADV_HUGEPAGE);
        return Slab(reinterpret_cast<Point*>(aligned), SlabFree{kLargePage});
    }
#endif
    return Slab(new Point[kSlabPoints], SlabFree{0});
}

void TrackCollector::SlabFree::operator()(Point* p) const {
#ifdef __linux__
    if (mappedBytes > 0) {
        munmap(p, mappedBytes);
        return;
    }
#endif
    delete[] p;
}

TrackCollector::Point* TrackCollector::takeChunk(std::size_t points) {
    if (slabUsed_ + points > kSlabPoints) {
        slabs_.push_back(allocateSlab());
        slabUsed_ = 0;
    }
    Point* chunk = slabs_.back().get() + slabUsed_;
    slabUsed_ += points;
    return chunk;
}

void TrackCollector::add(QByteArrayView vessel, MapPoint xy, qint64 timeMs) {
    if (!index_) {
        index_ = std::make_shared<NameIndex>();
    }
    NameIndex& names = *index_;
    if (!names.any || vessels_[names.last] != vessel) {
        const std::string_view key(vessel.data(), static_cast<std::size_t>(vessel.size()));
        auto it = names.index.find(key);
        if (it == names.index.end()) {
            it = names.index.emplace(std::string(key), static_cast<std::uint32_t>(vessels_.size()))
                     .first;
            vessels_.push_back(vessel.toByteArray());
        }
        names.last = it->second;
        names.any = true;
    }
    add(names.last, xy, timeMs);
}

void TrackCollector::setVessels(std::vector<QByteArray> names) {
    vessels_ = std::move(names);
    index_.reset();
}

void TrackCollector::add(std::uint32_t vessel, MapPoint xy, qint64 timeMs) {
    if (vessel >= tracks_.size()) {
        tracks_.resize(std::max<std::size_t>(vessel + 1, vessels_.size()));
    }
    Track& track = tracks_[vessel];
    if (track.next == track.end) {
        const std::size_t points = chunkPoints(track.chunks.size());
        track.next = takeChunk(points);
        track.end = track.next + points;
        track.chunks.push_back(track.next);
    }
    *track.next++ = {xy.x, xy.y, timeMs};
    ++track.count;
    ++size_;
}

void TrackCollector::follow(
    const TrackAreas& areas, const TrackWork& work,
    const std::function<void(std::size_t, std::vector<Visit>&, std::vector<AreaHours>&)>& done) {
    const std::size_t trackCount = vessels_.size();
    tracks_.resize(trackCount);
    std::atomic<std::size_t> nextTrack{0};
    auto followTracks = [&] {
        // A track whose chunks are not in time order is copied here and sorted (a stable
        // sort: equal times keep the input order).
        std::vector<Point> sorted;
        std::vector<Visit> visits;
        std::vector<AreaHours> hours;
        for (std::size_t t = nextTrack++; t < trackCount; t = nextTrack++) {
            const Track& track = tracks_[t];
            if (track.count == 0) {
                continue;
            }
            visits.clear();
            hours.clear();
            TrackWalker walker(areas, static_cast<std::int32_t>(t), work.track, work.hours,
                               work.visits ? &visits : nullptr, work.wantHours ? &hours : nullptr);
            // The chunks in turn, each with its points: f(first, end), false to stop.
            auto eachChunk = [&](auto&& f) {
                std::size_t left = track.count;
                for (std::size_t n = 0; n < track.chunks.size(); ++n) {
                    const std::size_t points = std::min(left, chunkPoints(n));
                    if (!f(track.chunks[n], track.chunks[n] + points)) {
                        return;
                    }
                    left -= points;
                }
            };
            bool inOrder = true;
            qint64 lastMs = std::numeric_limits<qint64>::min();
            eachChunk([&](const Point* p, const Point* end) {
                for (; p != end && inOrder; ++p) {
                    inOrder = p->timeMs >= lastMs;
                    lastMs = p->timeMs;
                }
                return inOrder;
            });
            if (inOrder) {
                eachChunk([&](const Point* p, const Point* end) {
                    for (; p != end; ++p) {
                        walker.add({{p->x, p->y}, p->timeMs});
                    }
                    return true;
                });
            } else {
                sorted.clear();
                eachChunk([&](const Point* p, const Point* end) {
                    sorted.insert(sorted.end(), p, end);
                    return true;
                });
                std::stable_sort(sorted.begin(), sorted.end(), [](const Point& a, const Point& b) {
                    return a.timeMs < b.timeMs;
                });
                for (const Point& p : sorted) {
                    walker.add({{p.x, p.y}, p.timeMs});
                }
            }
            walker.finish();
            done(t, visits, hours);
        }
    };
    const int threads =
        std::max(1, std::min(work.threads > 0 ? work.threads : QThread::idealThreadCount(),
                             static_cast<int>(std::max<std::size_t>(trackCount, 1))));
    std::vector<std::thread> workers;
    for (int k = 1; k < threads; ++k) {
        workers.emplace_back(followTracks);
    }
    followTracks();
    for (std::thread& w : workers) {
        w.join();
    }
    tracks_.clear();
    slabs_.clear();
    slabUsed_ = kSlabPoints;
    size_ = 0;
    index_.reset();
}

namespace {

// Per vessel index, its place in the byte order of the names.
std::vector<std::int32_t> nameOrder(const std::vector<QByteArray>& vessels) {
    std::vector<std::int32_t> byName(vessels.size());
    std::iota(byName.begin(), byName.end(), 0);
    std::sort(byName.begin(), byName.end(), [&](std::int32_t a, std::int32_t b) {
        return vessels[static_cast<std::size_t>(a)] < vessels[static_cast<std::size_t>(b)];
    });
    std::vector<std::int32_t> order(vessels.size());
    for (std::size_t i = 0; i < byName.size(); ++i) {
        order[static_cast<std::size_t>(byName[i])] = static_cast<std::int32_t>(i);
    }
    return order;
}

}  // namespace

TrackResults TrackCollector::compute(const TrackAreas& areas, const TrackWork& work) {
    struct Output {
        std::vector<Visit> visits;
        std::vector<AreaHours> hours;
    };
    std::vector<Output> outputs(vessels_.size());
    follow(areas, work,
           [&](std::size_t t, std::vector<Visit>& visits, std::vector<AreaHours>& hours) {
               outputs[t].visits.swap(visits);
               outputs[t].hours.swap(hours);
           });
    TrackResults results;
    results.vessels = std::move(vessels_);
    vessels_.clear();
    results.vesselOrder = nameOrder(results.vessels);
    for (Output& out : outputs) {
        results.visits.insert(results.visits.end(), out.visits.begin(), out.visits.end());
        results.hours.insert(results.hours.end(), out.hours.begin(), out.hours.end());
    }
    const AreaOrder order(areas);
    sortVisits(results.visits, order, results.vesselOrder);
    sortHours(results.hours, order, results.vesselOrder);
    return results;
}

QByteArray TrackCollector::computeRows(const TrackAreas& areas, const TrackWork& work,
                                       const RowWriter& writer) {
    std::vector<QByteArray> rows(vessels_.size());
    follow(areas, work,
           [&](std::size_t t, std::vector<Visit>& visits, std::vector<AreaHours>& hours) {
               writer(vessels_[t], visits, hours, rows[t]);
           });
    const std::vector<std::int32_t> order = nameOrder(vessels_);
    std::vector<std::size_t> byName(rows.size());
    qsizetype bytes = 0;
    for (std::size_t t = 0; t < rows.size(); ++t) {
        byName[static_cast<std::size_t>(order[t])] = t;
        bytes += rows[t].size();
    }
    QByteArray out;
    out.reserve(bytes);
    for (const std::size_t t : byName) {
        out.append(rows[t]);
        rows[t] = QByteArray();
    }
    vessels_.clear();
    return out;
}

TrackResults computeTracks(const PositionSet& set, const TrackAreas& areas, const TrackWork& work) {
    TrackCollector collector;
    std::vector<QByteArray> names;
    names.reserve(static_cast<std::size_t>(set.vessels.size()));
    for (const QString& v : set.vessels) {
        names.push_back(v.toUtf8());
    }
    collector.setVessels(std::move(names));
    for (const PositionSet::Row& row : set.rows) {
        if (row.placed && row.timeMs) {
            collector.add(static_cast<std::uint32_t>(row.vesselIndex), row.xy, *row.timeMs);
        }
    }
    return collector.compute(areas, work);
}

namespace {

const char* enterWord(EnterKind k) {
    switch (k) {
        case EnterKind::Crossing:
            return "crossing";
        case EnterKind::First:
            return "first";
        case EnterKind::AfterGap:
            return "after_gap";
    }
    return "";
}

const char* exitWord(ExitKind k) {
    switch (k) {
        case ExitKind::Crossing:
            return "crossing";
        case ExitKind::Last:
            return "last";
        case ExitKind::BeforeGap:
            return "before_gap";
    }
    return "";
}

void appendArea(QByteArray& out, const TrackAreas& areas, int column, std::int32_t area) {
    const PositionQuery& query = areas.query();
    positions::appendCsvField(out, query.columns()[static_cast<std::size_t>(column)].name.toUtf8());
    out.append(',');
    query.appendCell(out, column, area);
}

void appendDegrees(QByteArray& out, const AlbersProjection* projection, MapPoint p) {
    double lon = 0, lat = 0;
    if (projection != nullptr && projection->AlbersToLatLong(p.x, p.y, lon, lat)) {
        appendFixed(out, lon, 6);
        out.append(',');
        appendFixed(out, lat, 6);
    } else {
        out.append(',');
    }
}

}  // namespace

QByteArray VisitTable::header() {
    return QByteArrayLiteral(
        "vessel,layer,area,enter_time,exit_time,hours,enter_lon,enter_lat,exit_lon,exit_lat,"
        "positions_inside,enter_kind,exit_kind\r\n");
}

void VisitTable::appendRow(QByteArray& out, QByteArrayView vessel, const Visit& v) const {
    positions::appendCsvField(out, vessel);
    out.append(',');
    appendArea(out, areas_, v.column, v.area);
    out.append(',');
    appendIsoSecond(out, v.enterMs);
    out.append(',');
    appendIsoSecond(out, v.exitMs);
    out.append(',');
    appendFixed(out, static_cast<double>(v.exitMs - v.enterMs) / 3600000.0, 4);
    out.append(',');
    appendDegrees(out, projection_, v.enterXy);
    out.append(',');
    appendDegrees(out, projection_, v.exitXy);
    out.append(',');
    out.append(QByteArray::number(v.positionsInside));
    out.append(',');
    out.append(enterWord(v.enterKind));
    out.append(',');
    out.append(exitWord(v.exitKind));
    out.append("\r\n");
}

QByteArray HoursTable::header() const {
    return by_ == Period::Whole ? QByteArrayLiteral("vessel,layer,area,hours,positions\r\n")
                                : QByteArrayLiteral("vessel,layer,area,period,hours,positions\r\n");
}

void HoursTable::appendRow(QByteArray& out, QByteArrayView vessel, const AreaHours& h) const {
    positions::appendCsvField(out, vessel);
    out.append(',');
    appendArea(out, areas_, h.column, h.area);
    out.append(',');
    if (by_ != Period::Whole) {
        appendPeriod(out, by_, h.periodStartMs);
        out.append(',');
    }
    appendFixed(out, h.hours, 4);
    out.append(',');
    out.append(QByteArray::number(h.positions));
    out.append("\r\n");
}

QByteArray visitsCsv(const TrackResults& results, const TrackAreas& areas,
                     const AlbersProjection* projection) {
    const VisitTable table(areas, projection);
    QByteArray out = VisitTable::header();
    for (const Visit& v : results.visits) {
        table.appendRow(out, results.vessels[static_cast<std::size_t>(v.vessel)], v);
    }
    return out;
}

QByteArray hoursCsv(const TrackResults& results, const TrackAreas& areas, Period by) {
    const HoursTable table(areas, by);
    QByteArray out = table.header();
    for (const AreaHours& h : results.hours) {
        table.appendRow(out, results.vessels[static_cast<std::size_t>(h.vessel)], h);
    }
    return out;
}

}  // namespace pelagon::tracks
