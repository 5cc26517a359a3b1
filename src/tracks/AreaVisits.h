#pragma once

#include <QtGlobal>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "common/MapTypes.h"
#include "query/PositionQuery.h"
#include "store/Grid.h"

namespace pelagon {

class FeatureStore;
class MapLayer;

namespace tracks {

// How a track is cut into segments: two consecutive positions further apart in time than
// maxGapHours are not joined (exactly maxGapHours still is).
struct TrackOptions {
    double maxGapHours = 6;
};

// How hours are added up: per UTC day, per UTC month or over the whole track; and, with a speed
// range, only the time of segments whose speed (length on the map's plane over time, in knots)
// lies within [minKnots, maxKnots]. Positions inside are counted whatever their speed.
enum class Period { Whole, Day, Month };
struct HoursOptions {
    Period by = Period::Whole;
    bool speedRange = false;
    double minKnots = 0;
    double maxKnots = 0;
};

// Where a visit begins and ends.
enum class EnterKind : std::uint8_t { Crossing, First, AfterGap };
enum class ExitKind : std::uint8_t { Crossing, Last, BeforeGap };

// A maximal stretch of a vessel's track inside one area (boundary included).
struct Visit {
    std::int32_t vessel = 0;  // the vessel's index (TrackResults::vessels)
    int column = 0;           // the PositionQuery column of the layer of areas
    std::int32_t area = 0;    // the area's feature in that layer
    qint64 enterMs = 0;       // milliseconds since 1970, UTC, interpolated at a crossing
    qint64 exitMs = 0;
    MapPoint enterXy;  // on the map's plane
    MapPoint exitXy;
    qint64 positionsInside = 0;  // the track's positions within the visit
    EnterKind enterKind = EnterKind::Crossing;
    ExitKind exitKind = ExitKind::Crossing;
};

// The time a vessel spent in an area, in one period.
struct AreaHours {
    std::int32_t vessel = 0;
    int column = 0;
    std::int32_t area = 0;
    qint64 periodStartMs = 0;  // the first millisecond of the UTC day or month; 0 for Whole
    double hours = 0;
    qint64 positions = 0;  // positions inside the area in the period
};

// One position of a track.
struct TrackPoint {
    MapPoint xy;        // on the map's plane
    qint64 timeMs = 0;  // milliseconds since 1970, UTC
};

// The layers of areas of a query (its columns with areas), prepared for following tracks
// through them. Immutable once made; any number of threads may use it at once.
class TrackAreas {
public:
    // query's columns name their records in MapLayers (Column::record); the layers must stay
    // loaded while this is used.
    TrackAreas(std::shared_ptr<const PositionQuery> query,
               const std::vector<std::shared_ptr<MapLayer>>& MapLayers);
    ~TrackAreas();
    TrackAreas(const TrackAreas&) = delete;
    TrackAreas& operator=(const TrackAreas&) = delete;

    const PositionQuery& query() const { return *query_; }
    // The columns of areas, in the map's layer order, and their stores.
    const std::vector<int>& columns() const { return columns_; }
    const FeatureStore& store(std::size_t k) const { return *stores_[k]; }
    // The boxes of store k's rings, by ring number.
    std::span<const GridBox> ringBoxes(std::size_t k) const { return ringBoxes_[k]; }

private:
    std::shared_ptr<const PositionQuery> query_;
    std::vector<int> columns_;
    std::vector<std::shared_ptr<const FeatureStore>> stores_;
    std::vector<std::vector<GridBox>> ringBoxes_;
};

// Follows one vessel's track, position by position in time order (equal times in input order),
// through every area of every layer of areas; memory depends on the areas it is in, not on the
// length of the track. Visits are appended to visits as they end; hours are added up per
// (layer, area, period) and appended by finish(). Either output may be null.
class TrackWalker {
public:
    TrackWalker(const TrackAreas& areas, std::int32_t vessel, const TrackOptions& options,
                const HoursOptions& hoursOptions, std::vector<Visit>* visits,
                std::vector<AreaHours>* hours);
    ~TrackWalker();
    TrackWalker(const TrackWalker&) = delete;
    TrackWalker& operator=(const TrackWalker&) = delete;

    // The next position; its time must not be before the last one's.
    void add(const TrackPoint& p);
    // Ends the track: closes the open visits and hands over the hours. No position may follow.
    void finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The order the tables list areas in: the layer's order in the map, then the area's text (UTF-8
// bytes, PositionQuery::cellText), then the feature. Made once for many sorts.
class AreaOrder {
public:
    explicit AreaOrder(const TrackAreas& areas);
    // Whether area a of column ca comes before area b of column cb.
    bool less(int ca, std::int32_t a, int cb, std::int32_t b) const;

private:
    std::vector<std::int32_t> columnRank_;
    std::vector<std::vector<std::int32_t>> areaRank_;  // per column; empty for other columns
};

// Puts visits in the order the table lists them: by vessel (vesselOrder[vessel] gives its
// place; empty when the visits are all of one vessel), enter time, the layer's order in the map,
// the area's text, the feature.
void sortVisits(std::vector<Visit>& visits, const AreaOrder& order,
                std::span<const std::int32_t> vesselOrder);
// The same for hours: by vessel, period, layer, area's text, feature.
void sortHours(std::vector<AreaHours>& hours, const AreaOrder& order,
               std::span<const std::int32_t> vesselOrder);

}  // namespace tracks
}  // namespace pelagon
