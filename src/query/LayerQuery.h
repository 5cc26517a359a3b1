#pragma once

#include <QString>
#include <QVector>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "common/MapTypes.h"
#include "mapdef/LayerInfo.h"
#include "query/LayerQueryResult.h"
#include "store/FeatureStore.h"

namespace pelagon {

class MapLayer;

// Lines and points count as present at a clicked point within this many pixels of it.
constexpr double kQueryTolerancePixels = 3.0;

// What the location query found at one map point.
struct LayerQuery {
    QVector<LayerQueryResult> found;  // one per layer record, for the query page
    // Every feature found, layer by layer, for outlining them on the map.
    std::vector<std::pair<std::shared_ptr<MapLayer>, FeatureId>> features;
};

// Searches every queryable layer (QueryMode > 0) at the point, in record order, hidden layers
// too; a layer whose file failed to load is skipped. An attribute layer (QueryMode 2) gives the
// value of AttrField of its first feature found. tolerance is in map units. beforeLayer, when
// given, is called with each record index before its layer is looked at (the map window repaints
// its status line there).
LayerQuery queryLayersAt(const QVector<LayerInfo>& LayerInfos,
                         const std::vector<std::shared_ptr<MapLayer>>& MapLayers, MapPoint point,
                         double tolerance, const std::function<void(int)>& beforeLayer = {});

// The search tolerance, in map units, of a click on a map shown at mapUnitsPerPixel.
inline double queryTolerance(double mapUnitsPerPixel) {
    return kQueryTolerancePixels * mapUnitsPerPixel;
}

}  // namespace pelagon
