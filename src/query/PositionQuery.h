#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "common/MapTypes.h"
#include "mapdef/LayerInfo.h"
#include "store/FeatureStore.h"

namespace pelagon {

class MapLayer;
class TextColumn;

// The location query of the Fish Tool prepared for many positions: the queryable layers of a
// map, their answer at a point (the first feature found, as the Fish Tool reports it) and, for
// those holding areas, the distance to the nearest boundary. Immutable once made; any number of
// threads may ask it at once.
class PositionQuery {
public:
    struct Options {
        double tolerance = 0;    // search tolerance for lines and points, in map units
        bool distances = false;  // work out the distances to boundaries
        bool csvCells = false;   // keep every answer as CSV bytes, for writing many rows
        // Read the answers' attributes a whole column at a time (for many positions); false
        // reads each value from the file when it is asked for (for a few).
        bool wholeColumns = true;
    };

    // One queryable layer (QueryMode > 0), in record order.
    struct Column {
        int record = 0;           // index in LayerInfos
        QString name;             // LayerName
        bool attribute = false;   // QueryMode 2: the answer is the value of AttrField
        bool areas = false;       // a loaded layer of areas: it has distances
        int distanceColumn = -1;  // its place among the distance columns, or -1
    };

    // Which feature a layer gave at a point; kNothing where it has none (or is not loaded).
    static constexpr std::int32_t kNothing = -1;
    // The distance to the boundaries of one layer of areas at a point.
    struct Distance {
        std::int32_t area = kNothing;  // the containing or nearest area; kNothing: no areas
        double metres = 0;             // positive inside that area, negative outside
        bool inside = false;           // the point lies in that area
    };

    PositionQuery(const QVector<LayerInfo>& LayerInfos,
                  const std::vector<std::shared_ptr<MapLayer>>& MapLayers, Options options);
    ~PositionQuery();
    PositionQuery(const PositionQuery&) = delete;
    PositionQuery& operator=(const PositionQuery&) = delete;

    const Options& options() const { return options_; }
    const std::vector<Column>& columns() const { return columns_; }
    // The columns that have distances (indices into columns()), when distances were asked for.
    const std::vector<int>& distanceColumns() const { return distanceColumns_; }

    // The answers at a point: features[c] for every column, distances[d] for every distance
    // column (left alone when distances were not asked for).
    void answer(MapPoint p, std::int32_t* features, Distance* distances) const;
    // The same for the points named by rows (indices into points): features and distances are
    // laid out as for answer(), one block per point of points; the blocks of other points are
    // left alone. Each layer is asked for every point before the next layer, the points taken
    // in an order that keeps neighbours together, so that a layer's index and geometry stay in
    // the processor's caches: many times faster than answer() point by point on big layers.
    void answerMany(std::span<const MapPoint> points, std::span<const std::uint32_t> rows,
                    std::int32_t* features, Distance* distances) const;

    // The text of column c's answer, as the CSV table writes it and the Positions window shows
    // it: the attribute value for an attribute layer, the DocFile for a document layer,
    // "(no attribute X)" when the layer lacks the attribute, empty when nothing was found.
    QString cellText(int c, std::int32_t feature) const;
    // The same as CSV bytes (quoted where needed), appended to out.
    void appendCell(QByteArray& out, int c, std::int32_t feature) const;

    // The name of an area of column c as the Fish Tool shows it: the attribute value of an
    // attribute layer, the label of a document layer; empty where it has none.
    QString areaName(int c, std::int32_t feature) const;
    // "2.31 nm inside Closures: Area 7", "0.84 nm outside Closures" (without a name where the
    // area has none); empty when the layer holds no areas. Without the layer's name, for a
    // column of the layer: "2.31 nm inside", "0.84 nm outside Area 7".
    QString distanceText(int c, const Distance& d, bool nameLayer = true) const;
    // Signed nautical miles as the CSV table writes them ("2.310", "-0.840"); empty when the
    // layer holds no areas.
    static void appendNauticalMiles(QByteArray& out, const Distance& d);

private:
    struct Layer;
    // Distance column d's answer at p, where the layer's own answer there is feature.
    Distance distanceAt(std::size_t d, MapPoint p, std::int32_t feature) const;
    static QString value(const Layer& layer, const TextColumn* column, int field,
                         std::int32_t feature);
    Options options_;
    std::vector<Column> columns_;
    std::vector<int> distanceColumns_;
    std::vector<std::unique_ptr<Layer>> layers_;  // one per column
};

// What the Fish Tool's results window shows under the page: a line per queryable layer of
// areas with the distance from the point to the nearest boundary ("2.31 nm inside Closures:
// Area 7"); empty when the map has no such layer. The heading says what the numbers are.
QString boundaryDistancesNotice(const QVector<LayerInfo>& LayerInfos,
                                const std::vector<std::shared_ptr<MapLayer>>& MapLayers,
                                MapPoint point);
QString boundaryDistancesHeading();

// The table `pelagon-cli query --csv` writes and the Positions window exports: a header, then
// one row per position with its id, longitude and latitude (9 decimals; empty where the position
// has none), x and y (3 decimals), one column per queryable layer headed by its LayerName and,
// with distances, one per layer of areas headed "LAYER_nm". RFC 4180, UTF-8, CR LF.
class PositionTable {
public:
    explicit PositionTable(const PositionQuery& query) : query_(query) {}

    QByteArray header() const;
    void appendRow(QByteArray& out, QByteArrayView id, const std::optional<MapPoint>& lonLat,
                   MapPoint xy, const std::int32_t* features,
                   const PositionQuery::Distance* distances) const;

private:
    const PositionQuery& query_;
};

// A number with a fixed count of decimals, as QString::number(v, 'f', decimals) writes it.
void appendFixed(QByteArray& out, double v, int decimals);

}  // namespace pelagon
