#include "tracks/AreaVisits.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <tuple>

#include "render/MapLayer.h"
#include "store/FeatureStore.h"
#include "tracks/TrackTime.h"

namespace pelagon::tracks {

TrackAreas::TrackAreas(std::shared_ptr<const PositionQuery> query,
                       const std::vector<std::shared_ptr<MapLayer>>& MapLayers)
    : query_(std::move(query)) {
    const std::vector<PositionQuery::Column>& columns = query_->columns();
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const PositionQuery::Column& column = columns[c];
        const auto record = static_cast<std::size_t>(column.record);
        if (!column.areas || record >= MapLayers.size() || !MapLayers[record] ||
            !MapLayers[record]->store()) {
            continue;
        }
        columns_.push_back(static_cast<int>(c));
        const std::shared_ptr<const FeatureStore>& store = MapLayers[record]->store();
        stores_.push_back(store);
        // A feature of many rings (islands cut out of a big area) is passed over ring by ring.
        std::vector<GridBox> boxes;
        if (store->featureCount() > 0) {
            boxes.resize(store->endRing(static_cast<FeatureId>(store->featureCount() - 1)));
        }
        for (std::uint32_t r = 0; r < boxes.size(); ++r) {
            for (const GridPoint& v : store->ring(r)) {
                boxes[r].add(v);
            }
        }
        ringBoxes_.push_back(std::move(boxes));
    }
}

TrackAreas::~TrackAreas() = default;

namespace {

// A point is on a boundary within this many grid units, as the store's point test has it.
constexpr double kEdgeReach = 1.0;

struct GridSegment {
    double ax, ay, bx, by;
    double dx() const { return bx - ax; }
    double dy() const { return by - ay; }
};

double distanceSquared(double px, double py, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    const double len2 = dx * dx + dy * dy;
    double t = 0;
    if (len2 > 0) {
        t = std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0, 1.0);
    }
    const double ex = ax + t * dx - px, ey = ay + t * dy - py;
    return ex * ex + ey * ey;
}

// The parameters along s where it meets the edge c-d: its ends on the edge, the edge's ends on
// it, a proper crossing. A stretch along the edge gives the parameters of both ends of the
// stretch.
void meetEdge(const GridSegment& s, GridPoint c, GridPoint d, std::vector<double>& out) {
    const double r2 = kEdgeReach * kEdgeReach;
    const double cx = c.x, cy = c.y, ex = d.x, ey = d.y;
    if (distanceSquared(s.ax, s.ay, cx, cy, ex, ey) <= r2) {
        out.push_back(0.0);
    }
    if (distanceSquared(s.bx, s.by, cx, cy, ex, ey) <= r2) {
        out.push_back(1.0);
    }
    const double sx = s.dx(), sy = s.dy();
    const double len2 = sx * sx + sy * sy;
    if (len2 <= 0) {
        return;
    }
    auto along = [&](double px, double py) {
        return std::clamp(((px - s.ax) * sx + (py - s.ay) * sy) / len2, 0.0, 1.0);
    };
    if (distanceSquared(cx, cy, s.ax, s.ay, s.bx, s.by) <= r2) {
        out.push_back(along(cx, cy));
    }
    if (distanceSquared(ex, ey, s.ax, s.ay, s.bx, s.by) <= r2) {
        out.push_back(along(ex, ey));
    }
    // A proper crossing: each one's ends strictly on either side of the other.
    const double o1 = sx * (cy - s.ay) - sy * (cx - s.ax);
    const double o2 = sx * (ey - s.ay) - sy * (ex - s.ax);
    if ((o1 > 0 && o2 < 0) || (o1 < 0 && o2 > 0)) {
        const double fx = ex - cx, fy = ey - cy;
        const double o3 = fx * (s.ay - cy) - fy * (s.ax - cx);
        const double o4 = fx * (s.by - cy) - fy * (s.bx - cx);
        if ((o3 > 0 && o4 < 0) || (o3 < 0 && o4 > 0)) {
            out.push_back(o3 / (o3 - o4));
        }
    }
}

// std::floor and std::ceil as whole numbers, for values within the grid's range, without the
// library's calls (the build targets processors without rounding instructions).
std::int32_t floorToGrid(double v) {
    const auto i = static_cast<std::int64_t>(v);
    return static_cast<std::int32_t>(i - (static_cast<double>(i) > v ? 1 : 0));
}

std::int32_t ceilToGrid(double v) {
    const auto i = static_cast<std::int64_t>(v);
    return static_cast<std::int32_t>(i + (static_cast<double>(i) < v ? 1 : 0));
}

bool boxMeets(const GridBox& b, double minX, double minY, double maxX, double maxY) {
    return b.minX <= maxX && minX <= b.maxX && b.minY <= maxY && minY <= b.maxY;
}

// A run of edges of a ring (edge e joins vertex e to the next) and the box of their vertices.
struct EdgeRange {
    std::uint32_t ring;
    std::uint32_t begin;
    std::uint32_t end;
    GridBox box;
};

// Edges per range of edgesNear: few enough that a segment passes over most of a ring's edges
// by the ranges' boxes.
constexpr std::size_t kRangeEdges = 16;

// The edges of feature f's rings that may meet the box: those of the rings, and of the runs and
// groups of runs of long rings, whose boxes meet it, in ranges of kRangeEdges whose boxes meet
// it.
void edgesNear(const FeatureStore& store, std::span<const GridBox> ringBoxes, FeatureId f,
               double minX, double minY, double maxX, double maxY, std::vector<EdgeRange>& out) {
    auto add = [&](std::uint32_t r, std::size_t begin, std::size_t end) {
        const auto v = store.ring(r);
        const std::size_t n = v.size();
        for (std::size_t b = begin; b < end; b += kRangeEdges) {
            const std::size_t e = std::min(end, b + kRangeEdges);
            GridBox box;
            for (std::size_t i = b; i < e; ++i) {
                box.add(v[i]);
            }
            box.add(v[e == n ? 0 : e]);  // the last edge's end
            if (boxMeets(box, minX, minY, maxX, maxY)) {
                out.push_back(
                    {r, static_cast<std::uint32_t>(b), static_cast<std::uint32_t>(e), box});
            }
        }
    };
    for (std::uint32_t r = store.firstRing(f); r < store.endRing(f); ++r) {
        if (!boxMeets(ringBoxes[r], minX, minY, maxX, maxY)) {
            continue;
        }
        const std::size_t n = store.ring(r).size();
        if (n <= FeatureStore::kChunkEdges) {
            add(r, 0, n);
            continue;
        }
        const FeatureStore::RingRuns runs = store.ringRuns(r);
        if (runs.runs.empty()) {
            add(r, 0, n);
            continue;
        }
        for (std::size_t g = 0; g < runs.groups.size(); ++g) {
            if (!boxMeets(runs.groups[g], minX, minY, maxX, maxY)) {
                continue;
            }
            const std::size_t lastRun =
                std::min(runs.runs.size(), (g + 1) * FeatureStore::kGroupRuns);
            for (std::size_t c = g * FeatureStore::kGroupRuns; c < lastRun; ++c) {
                if (boxMeets(runs.runs[c], minX, minY, maxX, maxY)) {
                    const std::size_t begin = c * FeatureStore::kChunkEdges;
                    add(r, begin, std::min(n, begin + FeatureStore::kChunkEdges));
                }
            }
        }
    }
}

// The box within which a point meets s: its ends' box grown by the reach.
struct ReachBox {
    double minX, minY, maxX, maxY;
    explicit ReachBox(const GridSegment& s)
        : minX(std::min(s.ax, s.bx) - kEdgeReach),
          minY(std::min(s.ay, s.by) - kEdgeReach),
          maxX(std::max(s.ax, s.bx) + kEdgeReach),
          maxY(std::max(s.ay, s.by) + kEdgeReach) {}
};

// Every parameter where s meets an edge of the ranges (unsorted, with repeats). Ranges that hold
// more edges than those whose boxes meet s's give the same: the others are passed over.
void meetEdges(const FeatureStore& store, std::span<const EdgeRange> ranges, const GridSegment& s,
               std::vector<double>& out) {
    const ReachBox box(s);
    for (const EdgeRange& range : ranges) {
        if (!boxMeets(range.box, box.minX, box.minY, box.maxX, box.maxY)) {
            continue;
        }
        const auto v = store.ring(range.ring);
        const std::size_t n = v.size();
        for (std::size_t e = range.begin; e < range.end; ++e) {
            const GridPoint a = v[e];
            const GridPoint b = v[e + 1 == n ? 0 : e + 1];
            if (std::max(a.x, b.x) < box.minX || std::min(a.x, b.x) > box.maxX ||
                std::max(a.y, b.y) < box.minY || std::min(a.y, b.y) > box.maxY) {
                continue;
            }
            meetEdge(s, a, b, out);
        }
    }
}

constexpr double kMsPerHour = 3600000.0;
constexpr double kMetresPerNauticalMile = 1852.0;

}  // namespace

// A visit under way in one area.
struct OpenVisit {
    std::uint32_t layer = 0;  // index into TrackAreas::columns()
    FeatureId area = 0;
    double enterMs = 0;
    MapPoint enterXy;
    EnterKind enterKind = EnterKind::Crossing;
    qint64 positions = 0;
    // It has inside stretches of positive length: a single instant of contact is no visit.
    bool confirmed = false;
};

struct TrackWalker::State {
    const TrackAreas& areas;
    std::int32_t vessel;
    TrackOptions options;
    HoursOptions hoursOptions;
    std::vector<Visit>* visits;
    std::vector<AreaHours>* hours;

    bool started = false;
    bool finished = false;
    TrackPoint last;
    qint64 piecePositions = 0;  // positions since the track's start or its last gap
    std::vector<OpenVisit> open;
    // (layer, area, period start) → hours, positions
    std::map<std::tuple<std::uint32_t, FeatureId, qint64>, std::pair<double, qint64>> sums;

    // Per layer, the features whose boxes meet a box around the last segments: consecutive
    // segments lie close together, so most are answered from it without asking the R-tree.
    // With each feature, the runs of edges of its rings that may meet the box.
    struct NearFeatures {
        GridBox box;  // empty until the first segment
        std::vector<FeatureId> features;
        std::vector<std::uint32_t> firstRange;  // per feature, and one more: into ranges
        std::vector<EdgeRange> ranges;
    };
    std::vector<NearFeatures> near;

    // Working space.
    std::vector<FeatureId> candidates;
    std::vector<std::uint32_t> candidateSlots;  // where each lies in its NearFeatures
    std::vector<EdgeRange> ranges;
    std::vector<double> params;
    std::vector<OpenVisit> nextOpen;

    State(const TrackAreas& a, std::int32_t v, const TrackOptions& o, const HoursOptions& h,
          std::vector<Visit>* vs, std::vector<AreaHours>* hs)
        : areas(a),
          vessel(v),
          options(o),
          hoursOptions(h),
          visits(vs),
          hours(hs),
          near(a.columns().size()) {}

    // The features of layer k whose boxes meet box into candidates, in file order: what
    // store.featuresIn gives, taken from the features near the last segments where box lies
    // among them (returned; null for a box that holds the whole layer).
    const NearFeatures* featuresMeeting(std::uint32_t k, const FeatureStore& store,
                                        const GridBox& box) {
        const GridBox& extent = store.gridExtent();
        if (box.contains(extent)) {
            store.featuresIn(box, candidates);
            return nullptr;
        }
        NearFeatures& n = near[k];
        if (!n.box.contains(box)) {
            // Room around the box for the segments that follow: a 128th of the layer's size,
            // or the box's own size where that is more.
            const std::int64_t reach = std::max<std::int64_t>(
                {(std::int64_t{extent.maxX} - extent.minX) / 128,
                 (std::int64_t{extent.maxY} - extent.minY) / 128, std::int64_t{box.maxX} - box.minX,
                 std::int64_t{box.maxY} - box.minY, 1});
            auto clamp = [](std::int64_t v) {
                return static_cast<std::int32_t>(
                    std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                             std::numeric_limits<std::int32_t>::max()));
            };
            n.box = {clamp(box.minX - reach), clamp(box.minY - reach), clamp(box.maxX + reach),
                     clamp(box.maxY + reach)};
            store.featuresIn(n.box, n.features);
            n.firstRange.clear();
            n.ranges.clear();
            for (const FeatureId f : n.features) {
                n.firstRange.push_back(static_cast<std::uint32_t>(n.ranges.size()));
                edgesNear(store, areas.ringBoxes(k), f, n.box.minX, n.box.minY, n.box.maxX,
                          n.box.maxY, n.ranges);
            }
            n.firstRange.push_back(static_cast<std::uint32_t>(n.ranges.size()));
        }
        candidates.clear();
        candidateSlots.clear();
        for (std::size_t i = 0; i < n.features.size(); ++i) {
            if (store.featureBox(n.features[i]).intersects(box)) {
                candidates.push_back(n.features[i]);
                candidateSlots.push_back(static_cast<std::uint32_t>(i));
            }
        }
        return &n;
    }

    qint64 periodOf(qint64 ms) const { return periodStart(hoursOptions.by, ms); }

    void countPosition(std::uint32_t layer, FeatureId f, qint64 ms) {
        if (hours != nullptr) {
            sums[{layer, f, periodOf(ms)}].second += 1;
        }
    }

    void addHours(std::uint32_t layer, FeatureId f, double fromMs, double toMs) {
        if (hours == nullptr || !(toMs > fromMs)) {
            return;
        }
        if (hoursOptions.by == Period::Whole) {
            sums[{layer, f, 0}].first += (toMs - fromMs) / kMsPerHour;
            return;
        }
        double t = fromMs;
        while (t < toMs) {
            const auto start = periodOf(static_cast<qint64>(std::floor(t)));
            const double end =
                std::min(toMs, static_cast<double>(nextPeriod(hoursOptions.by, start)));
            sums[{layer, f, start}].first += (end - t) / kMsPerHour;
            t = end;
        }
    }

    OpenVisit* findOpen(std::uint32_t layer, FeatureId f) {
        for (OpenVisit& v : open) {
            if (v.layer == layer && v.area == f) {
                return &v;
            }
        }
        return nullptr;
    }

    void emitVisit(const OpenVisit& o, double exitMs, MapPoint exitXy, ExitKind kind) {
        if (visits == nullptr) {
            return;
        }
        Visit v;
        v.vessel = vessel;
        v.column = areas.columns()[o.layer];
        v.area = static_cast<std::int32_t>(o.area);
        v.enterMs = std::llround(o.enterMs);
        v.exitMs = std::llround(exitMs);
        v.enterXy = o.enterXy;
        v.exitXy = exitXy;
        v.positionsInside = o.positions;
        v.enterKind = o.enterKind;
        v.exitKind = kind;
        visits->push_back(v);
    }

    // The track (again) begins at p: the areas that hold it.
    void startPiece(const TrackPoint& p, EnterKind kind) {
        piecePositions = 1;
        open.clear();
        for (std::uint32_t k = 0; k < areas.columns().size(); ++k) {
            const FeatureStore& store = areas.store(k);
            const GridFrame& frame = store.frame();
            const double gx = frame.gridX(p.xy.x), gy = frame.gridY(p.xy.y);
            const GridBox box{static_cast<std::int32_t>(std::floor(gx - 2)),
                              static_cast<std::int32_t>(std::floor(gy - 2)),
                              static_cast<std::int32_t>(std::ceil(gx + 2)),
                              static_cast<std::int32_t>(std::ceil(gy + 2))};
            store.featuresIn(box, candidates);
            for (const FeatureId f : candidates) {
                if (store.featureAt(f, p.xy, 0)) {
                    OpenVisit o;
                    o.layer = k;
                    o.area = f;
                    o.enterMs = static_cast<double>(p.timeMs);
                    o.enterXy = p.xy;
                    o.enterKind = kind;
                    o.positions = 1;
                    open.push_back(o);
                    countPosition(k, f, p.timeMs);
                }
            }
        }
    }

    // The track ends (for now) at its last position.
    void endPiece(ExitKind kind) {
        for (const OpenVisit& o : open) {
            if (o.confirmed || piecePositions == 1) {
                emitVisit(o, static_cast<double>(last.timeMs), last.xy, kind);
            }
        }
        open.clear();
    }

    void segment(const TrackPoint& p0, const TrackPoint& p1);
};

void TrackWalker::State::segment(const TrackPoint& p0, const TrackPoint& p1) {
    ++piecePositions;
    const double t0 = static_cast<double>(p0.timeMs);
    const double dt = static_cast<double>(p1.timeMs - p0.timeMs);
    const double length = std::hypot(p1.xy.x - p0.xy.x, p1.xy.y - p0.xy.y);
    bool countsHours = dt > 0;
    if (countsHours && hoursOptions.speedRange) {
        const double knots = length / kMetresPerNauticalMile / (dt / kMsPerHour);
        countsHours = knots >= hoursOptions.minKnots && knots <= hoursOptions.maxKnots;
    }
    auto at = [&](double t) {
        return MapPoint{p0.xy.x + t * (p1.xy.x - p0.xy.x), p0.xy.y + t * (p1.xy.y - p0.xy.y)};
    };
    nextOpen.clear();
    for (std::uint32_t k = 0; k < areas.columns().size(); ++k) {
        const FeatureStore& store = areas.store(k);
        const GridFrame& frame = store.frame();
        const GridSegment s{frame.gridX(p0.xy.x), frame.gridY(p0.xy.y), frame.gridX(p1.xy.x),
                            frame.gridY(p1.xy.y)};
        const GridBox box{
            floorToGrid(std::min(s.ax, s.bx) - 2), floorToGrid(std::min(s.ay, s.by) - 2),
            ceilToGrid(std::max(s.ax, s.bx) + 2), ceilToGrid(std::max(s.ay, s.by) + 2)};
        const NearFeatures* nearby = featuresMeeting(k, store, box);
        // The areas open at p0 are among the candidates: their boxes hold p0.
        for (std::size_t c = 0; c < candidates.size(); ++c) {
            const FeatureId f = candidates[c];
            OpenVisit* o = findOpen(k, f);
            std::span<const EdgeRange> edges;
            if (nearby != nullptr) {
                const std::uint32_t slot = candidateSlots[c];
                edges = std::span(nearby->ranges)
                            .subspan(nearby->firstRange[slot],
                                     nearby->firstRange[slot + 1] - nearby->firstRange[slot]);
            } else {
                const ReachBox reach(s);
                ranges.clear();
                edgesNear(store, areas.ringBoxes(k), f, reach.minX, reach.minY, reach.maxX,
                          reach.maxY, ranges);
                edges = ranges;
            }
            params.clear();
            meetEdges(store, edges, s, params);
            if (params.empty()) {
                // No boundary on the way: the segment is wholly where p0 was.
                if (o != nullptr) {
                    o->confirmed = true;
                    o->positions += 1;
                    if (countsHours) {
                        addHours(k, f, t0, t0 + dt);
                    }
                    countPosition(k, f, p1.timeMs);
                    nextOpen.push_back(*o);
                }
                continue;
            }
            const bool startOnBoundary =
                std::find(params.begin(), params.end(), 0.0) != params.end();
            const bool endOnBoundary = std::find(params.begin(), params.end(), 1.0) != params.end();
            params.push_back(0.0);
            params.push_back(1.0);
            std::sort(params.begin(), params.end());
            params.erase(std::unique(params.begin(), params.end(),
                                     [](double a, double b) { return b - a <= 1e-12; }),
                         params.end());
            params.back() = 1.0;
            const double segmentGrid = std::hypot(s.dx(), s.dy());
            std::optional<OpenVisit> current;
            if (o != nullptr) {
                current = *o;
            }
            bool lastInside = false;
            for (std::size_t i = 0; i + 1 < params.size(); ++i) {
                const double a = params[i], b = params[i + 1];
                bool inside = false;
                if (i == 0 && !startOnBoundary) {
                    inside = o != nullptr;
                } else {
                    inside = store.featureAt(f, at((a + b) / 2), 0);
                }
                // A stretch shorter than the reach that puts a point on an edge is where the
                // track only touches the boundary (a vertex passed, a corner left): it neither
                // proves a visit nor adds time, unless the vessel stays put there.
                const bool real =
                    (b - a) * segmentGrid > kEdgeReach || (segmentGrid <= kEdgeReach && dt > 0);
                if (inside) {
                    if (!current) {
                        OpenVisit v;
                        v.layer = k;
                        v.area = f;
                        v.enterMs = t0 + a * dt;
                        v.enterXy = a == 0.0 ? p0.xy : at(a);
                        v.enterKind = EnterKind::Crossing;
                        v.positions = a == 0.0 ? 1 : 0;
                        current = v;
                    }
                    if (real) {
                        current->confirmed = true;
                        if (countsHours) {
                            addHours(k, f, t0 + a * dt, t0 + b * dt);
                        }
                    }
                } else if (current) {
                    if (current->confirmed) {
                        emitVisit(*current, t0 + a * dt, a == 0.0 ? p0.xy : at(a),
                                  ExitKind::Crossing);
                    }
                    current.reset();
                }
                lastInside = inside;
            }
            if (lastInside || endOnBoundary) {
                countPosition(k, f, p1.timeMs);
            }
            if (lastInside) {
                current->positions += 1;
                nextOpen.push_back(*current);
            }
        }
    }
    open.swap(nextOpen);
}

TrackWalker::TrackWalker(const TrackAreas& areas, std::int32_t vessel, const TrackOptions& options,
                         const HoursOptions& hoursOptions, std::vector<Visit>* visits,
                         std::vector<AreaHours>* hours)
    : state_(std::make_unique<State>(areas, vessel, options, hoursOptions, visits, hours)) {}

TrackWalker::~TrackWalker() = default;

void TrackWalker::add(const TrackPoint& p) {
    State& s = *state_;
    if (!s.started) {
        s.started = true;
        s.startPiece(p, EnterKind::First);
    } else if (static_cast<double>(p.timeMs - s.last.timeMs) > s.options.maxGapHours * kMsPerHour) {
        s.endPiece(ExitKind::BeforeGap);
        s.startPiece(p, EnterKind::AfterGap);
    } else {
        s.segment(s.last, p);
    }
    s.last = p;
}

void TrackWalker::finish() {
    State& s = *state_;
    if (s.finished) {
        return;
    }
    s.finished = true;
    if (s.started) {
        s.endPiece(ExitKind::Last);
    }
    if (s.hours == nullptr) {
        return;
    }
    for (const auto& [key, sum] : s.sums) {
        if (sum.first <= 0 && sum.second <= 0) {
            continue;
        }
        AreaHours h;
        h.vessel = s.vessel;
        h.column = s.areas.columns()[std::get<0>(key)];
        h.area = static_cast<std::int32_t>(std::get<1>(key));
        h.periodStartMs = std::get<2>(key);
        h.hours = sum.first;
        h.positions = sum.second;
        s.hours->push_back(h);
    }
    s.sums.clear();
}

}  // namespace pelagon::tracks
