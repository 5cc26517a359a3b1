#include "query/PositionQuery.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "positions/Csv.h"
#include "render/MapLayer.h"
#include "store/BoundaryDistance.h"
#include "store/TextColumn.h"

namespace pelagon {

struct PositionQuery::Layer {
    LayerInfo info;
    std::shared_ptr<const FeatureStore> store;
    int field = -1;                            // AttrField, for an attribute layer
    int nameField = -1;                        // the field naming the areas
    std::shared_ptr<const TextColumn> values;  // the values of field, when read whole
    std::shared_ptr<const TextColumn> names;   // the values of nameField, when read whole
    QByteArray cells;                          // every value as CSV bytes, one after another
    std::vector<std::uint32_t> cellEnds;       // where each ends in cells
    QByteArray fixedCell;                      // the DocFile, or "(no attribute X)", as CSV
};

namespace {

QByteArray csvBytes(const QString& text) {
    QByteArray out;
    positions::appendCsvField(out, text.toUtf8());
    return out;
}

}  // namespace

PositionQuery::PositionQuery(const QVector<LayerInfo>& LayerInfos,
                             const std::vector<std::shared_ptr<MapLayer>>& MapLayers,
                             Options options)
    : options_(options) {
    for (int k = 0; k < LayerInfos.size(); ++k) {
        const LayerInfo& info = LayerInfos[k];
        if (info.QueryMode <= 0) {
            continue;
        }
        Column column;
        column.record = k;
        column.name = info.LayerName;
        column.attribute = info.QueryMode == 2;
        auto layer = std::make_unique<Layer>();
        layer->info = info;
        if (k < static_cast<int>(MapLayers.size()) && MapLayers[k] && MapLayers[k]->valid()) {
            layer->store = MapLayers[k]->store();
        }
        const FeatureStore* store = layer->store.get();
        if (store != nullptr) {
            column.areas = store->kind() == GeometryKind::Polygons;
            if (column.attribute) {
                layer->field = store->fieldIndex(info.AttrField);
                layer->nameField = layer->field;
            } else if (!info.LabelField.isEmpty()) {
                layer->nameField = store->fieldIndex(info.LabelField);
            }
            if (options_.wholeColumns) {
                layer->values = store->textColumn(layer->field);
                layer->names = layer->nameField == layer->field
                                   ? layer->values
                                   : store->textColumn(layer->nameField);
            }
        }
        if (column.attribute) {
            layer->fixedCell = csvBytes(QStringLiteral("(no attribute %1)").arg(info.AttrField));
        } else {
            layer->fixedCell = csvBytes(info.DocFile);
        }
        if (options_.csvCells && options_.wholeColumns && layer->values) {
            const TextColumn& values = *layer->values;
            layer->cellEnds.reserve(values.size());
            for (std::size_t f = 0; f < values.size(); ++f) {
                if (!store->hasAttributes(static_cast<FeatureId>(f))) {
                    layer->cells.append(layer->fixedCell);
                } else {
                    positions::appendCsvField(layer->cells, values.text(f).toUtf8());
                }
                layer->cellEnds.push_back(static_cast<std::uint32_t>(layer->cells.size()));
            }
        }
        if (options_.distances && column.areas) {
            column.distanceColumn = static_cast<int>(distanceColumns_.size());
            distanceColumns_.push_back(static_cast<int>(columns_.size()));
        }
        columns_.push_back(column);
        layers_.push_back(std::move(layer));
    }
}

PositionQuery::~PositionQuery() = default;

void PositionQuery::answer(MapPoint p, std::int32_t* features, Distance* distances) const {
    for (std::size_t c = 0; c < layers_.size(); ++c) {
        const FeatureStore* store = layers_[c]->store.get();
        features[c] = kNothing;
        if (store == nullptr) {
            continue;
        }
        if (const std::optional<FeatureId> f = store->firstFeatureAt(p, options_.tolerance)) {
            features[c] = static_cast<std::int32_t>(*f);
        }
    }
    if (!options_.distances) {
        return;
    }
    for (std::size_t d = 0; d < distanceColumns_.size(); ++d) {
        distances[d] = distanceAt(d, p, features[static_cast<std::size_t>(distanceColumns_[d])]);
    }
}

PositionQuery::Distance PositionQuery::distanceAt(std::size_t d, MapPoint p,
                                                  std::int32_t feature) const {
    const FeatureStore& store = *layers_[static_cast<std::size_t>(distanceColumns_[d])]->store;
    Distance out;
    if (feature != kNothing) {
        // The area the layer's answer names; its nearest boundary.
        out.area = feature;
        out.metres = distanceToBoundary(store, static_cast<FeatureId>(feature), p);
        out.inside = true;
    } else if (const std::optional<AreaDistance> a = distanceToAreas(store, p)) {
        out.area = static_cast<std::int32_t>(a->area);
        out.metres = a->inside ? a->distance : -a->distance;
        out.inside = a->inside;
    }
    return out;
}

namespace {

// Spreads the low 16 bits of v over the even bits of the result.
std::uint32_t spreadBits(std::uint32_t v) {
    v &= 0xffff;
    v = (v | (v << 8)) & 0x00ff00ff;
    v = (v | (v << 4)) & 0x0f0f0f0f;
    v = (v | (v << 2)) & 0x33333333;
    v = (v | (v << 1)) & 0x55555555;
    return v;
}

// The rows in Z order of their points over the points' box: rows close in the order lie close
// on the map, so consecutive searches read the same parts of a layer.
std::vector<std::uint32_t> spatialOrder(std::span<const MapPoint> points,
                                        std::span<const std::uint32_t> rows) {
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool first = true;
    for (const std::uint32_t r : rows) {
        const MapPoint& p = points[r];
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            continue;
        }
        if (first) {
            minX = maxX = p.x;
            minY = maxY = p.y;
            first = false;
        }
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    const double sx = maxX > minX ? 65535.0 / (maxX - minX) : 0.0;
    const double sy = maxY > minY ? 65535.0 / (maxY - minY) : 0.0;
    std::vector<std::uint64_t> keyed;
    keyed.reserve(rows.size());
    for (const std::uint32_t r : rows) {
        const MapPoint& p = points[r];
        std::uint32_t key = 0;
        if (std::isfinite(p.x) && std::isfinite(p.y)) {
            const auto qx = static_cast<std::uint32_t>(std::clamp((p.x - minX) * sx, 0.0, 65535.0));
            const auto qy = static_cast<std::uint32_t>(std::clamp((p.y - minY) * sy, 0.0, 65535.0));
            key = spreadBits(qx) | (spreadBits(qy) << 1);
        }
        keyed.push_back((static_cast<std::uint64_t>(key) << 32) | r);
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::uint32_t> order(keyed.size());
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        order[i] = static_cast<std::uint32_t>(keyed[i]);
    }
    return order;
}

}  // namespace

void PositionQuery::answerMany(std::span<const MapPoint> points,
                               std::span<const std::uint32_t> rows, std::int32_t* features,
                               Distance* distances) const {
    const std::size_t columns = layers_.size();
    if (columns == 0) {
        return;  // nothing to ask (distances need layers too): no order to make
    }
    const std::vector<std::uint32_t> order = spatialOrder(points, rows);
    for (std::size_t c = 0; c < columns; ++c) {
        const FeatureStore* store = layers_[c]->store.get();
        for (const std::uint32_t r : order) {
            std::int32_t& out = features[static_cast<std::size_t>(r) * columns + c];
            out = kNothing;
            if (store == nullptr) {
                continue;
            }
            if (const std::optional<FeatureId> f =
                    store->firstFeatureAt(points[r], options_.tolerance)) {
                out = static_cast<std::int32_t>(*f);
            }
        }
    }
    if (!options_.distances) {
        return;
    }
    const std::size_t distanceCount = distanceColumns_.size();
    for (std::size_t d = 0; d < distanceCount; ++d) {
        const auto c = static_cast<std::size_t>(distanceColumns_[d]);
        for (const std::uint32_t r : order) {
            distances[static_cast<std::size_t>(r) * distanceCount + d] =
                distanceAt(d, points[r], features[static_cast<std::size_t>(r) * columns + c]);
        }
    }
}

QString PositionQuery::cellText(int c, std::int32_t feature) const {
    if (feature == kNothing) {
        return {};
    }
    const Layer& layer = *layers_[static_cast<std::size_t>(c)];
    if (!columns_[static_cast<std::size_t>(c)].attribute) {
        return layer.info.DocFile;
    }
    if (layer.field < 0 || !layer.store->hasAttributes(static_cast<FeatureId>(feature))) {
        return QStringLiteral("(no attribute %1)").arg(layer.info.AttrField);
    }
    return value(layer, layer.values.get(), layer.field, feature);
}

void PositionQuery::appendCell(QByteArray& out, int c, std::int32_t feature) const {
    if (feature == kNothing) {
        return;
    }
    const Layer& layer = *layers_[static_cast<std::size_t>(c)];
    if (layer.field < 0 || !columns_[static_cast<std::size_t>(c)].attribute ||
        !layer.store->hasAttributes(static_cast<FeatureId>(feature))) {
        out.append(layer.fixedCell);
        return;
    }
    const auto f = static_cast<std::size_t>(feature);
    if (!layer.cellEnds.empty()) {
        const std::uint32_t begin = f == 0 ? 0 : layer.cellEnds[f - 1];
        out.append(layer.cells.constData() + begin, layer.cellEnds[f] - begin);
        return;
    }
    positions::appendCsvField(out, value(layer, layer.values.get(), layer.field, feature).toUtf8());
}

QString PositionQuery::areaName(int c, std::int32_t feature) const {
    const Layer& layer = *layers_[static_cast<std::size_t>(c)];
    if (feature == kNothing || layer.nameField < 0) {
        return {};
    }
    return value(layer, layer.names.get(), layer.nameField, feature).trimmed();
}

QString PositionQuery::value(const Layer& layer, const TextColumn* column, int field,
                             std::int32_t feature) {
    const auto f = static_cast<std::size_t>(feature);
    if (column != nullptr) {
        return f < column->size() ? column->text(f).toString() : QString();
    }
    return layer.store->attributeText(static_cast<FeatureId>(feature), field).value_or(QString());
}

QString PositionQuery::distanceText(int c, const Distance& d, bool nameLayer) const {
    if (d.area == kNothing) {
        return {};
    }
    const QString miles = QString::number(std::fabs(d.metres) / kMetresPerNauticalMile, 'f', 2);
    const bool inside = d.inside;
    QString area;
    if (nameLayer) {
        area = columns_[static_cast<std::size_t>(c)].name;
    }
    if (nameLayer || !inside) {
        const QString name = areaName(c, d.area);
        if (!name.isEmpty()) {
            area += area.isEmpty() ? name : QStringLiteral(": ") + name;
        }
    }
    QString text = miles + (inside ? QStringLiteral(" nm inside") : QStringLiteral(" nm outside"));
    if (!area.isEmpty()) {
        text += QLatin1Char(' ') + area;
    }
    return text;
}

void PositionQuery::appendNauticalMiles(QByteArray& out, const Distance& d) {
    if (d.area != kNothing) {
        appendFixed(out, d.metres / kMetresPerNauticalMile, 3);
    }
}

QString boundaryDistancesNotice(const QVector<LayerInfo>& LayerInfos,
                                const std::vector<std::shared_ptr<MapLayer>>& MapLayers,
                                MapPoint point) {
    PositionQuery::Options options;
    options.distances = true;
    options.wholeColumns = false;  // a few names are read, not whole columns
    const PositionQuery query(LayerInfos, MapLayers, options);
    if (query.distanceColumns().empty()) {
        return {};
    }
    std::vector<std::int32_t> features(query.columns().size());
    std::vector<PositionQuery::Distance> distances(query.distanceColumns().size());
    query.answer(point, features.data(), distances.data());
    QStringList lines;
    for (std::size_t d = 0; d < distances.size(); ++d) {
        const QString text = query.distanceText(query.distanceColumns()[d], distances[d]);
        if (!text.isEmpty()) {
            lines.append(text);
        }
    }
    return lines.join(QLatin1Char('\n'));
}

QString boundaryDistancesHeading() {
    return QStringLiteral("Distance to the nearest boundary, in nautical miles on the map's plane");
}

// ---------------------------------------------------------------------------------------------

QByteArray PositionTable::header() const {
    QStringList head = {QStringLiteral("id"), QStringLiteral("lon"), QStringLiteral("lat"),
                        QStringLiteral("x"), QStringLiteral("y")};
    for (const PositionQuery::Column& c : query_.columns()) {
        head.append(c.name);
    }
    for (const int c : query_.distanceColumns()) {
        head.append(query_.columns()[static_cast<std::size_t>(c)].name + QStringLiteral("_nm"));
    }
    return positions::csvLine(head).toUtf8();
}

void PositionTable::appendRow(QByteArray& out, QByteArrayView id,
                              const std::optional<MapPoint>& lonLat, MapPoint xy,
                              const std::int32_t* features,
                              const PositionQuery::Distance* distances) const {
    positions::appendCsvField(out, id);
    out.append(',');
    if (lonLat) {
        appendFixed(out, lonLat->x, 9);
    }
    out.append(',');
    if (lonLat) {
        appendFixed(out, lonLat->y, 9);
    }
    out.append(',');
    appendFixed(out, xy.x, 3);
    out.append(',');
    appendFixed(out, xy.y, 3);
    const std::size_t columns = query_.columns().size();
    for (std::size_t c = 0; c < columns; ++c) {
        out.append(',');
        query_.appendCell(out, static_cast<int>(c), features[c]);
    }
    for (std::size_t d = 0; d < query_.distanceColumns().size(); ++d) {
        out.append(',');
        PositionQuery::appendNauticalMiles(out, distances[d]);
    }
    out.append("\r\n");
}

void appendFixed(QByteArray& out, double v, int decimals) {
    // Qt writes a negative zero without its sign, and rounds a value exactly halfway between
    // two results away from zero; std::to_chars does neither, so those cases are handled here.
    if (v == 0) {
        v = 0;
    }
    char buffer[400];
    const double scale = std::pow(10.0, decimals);
    const double scaled = v * scale;
    if (!(std::fabs(scaled) < 9.0e15) || decimals > 15) {
        // Beyond the exact integers of a double: Qt's own formatting, slower and rare.
        out.append(QString::number(v, 'f', decimals).toLatin1());
        return;
    }
    if (std::fma(v, scale, -scaled) == 0 && std::fabs(scaled - std::trunc(scaled)) == 0.5) {
        const auto away = static_cast<long long>(std::trunc(scaled)) + (scaled < 0 ? -1 : 1);
        const unsigned long long magnitude = static_cast<unsigned long long>(std::llabs(away));
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, magnitude);
        std::string digits(buffer, end);
        if (static_cast<int>(digits.size()) <= decimals) {
            digits.insert(0, static_cast<std::size_t>(decimals + 1) - digits.size(), '0');
        }
        if (away < 0) {
            out.append('-');
        }
        out.append(digits.data(), static_cast<qsizetype>(digits.size()) - decimals);
        if (decimals > 0) {
            out.append('.');
            out.append(digits.data() + digits.size() - static_cast<std::size_t>(decimals),
                       decimals);
        }
        return;
    }
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals);
    if (ec == std::errc()) {
        out.append(buffer, end - buffer);
    } else {
        out.append(QString::number(v, 'f', decimals).toLatin1());
    }
}

}  // namespace pelagon
