#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

#include "common/MapTypes.h"
#include "mapdef/LayerInfo.h"
#include "query/LayerQuery.h"

namespace pelagon {

class MapLayer;

// The whole location query at a point: the searches of queryLayersAt and the bytes of the query
// page for what they found. The map window and the command-line tool both call this, so the page
// they write for the same point and tolerance is the same.
struct DrillIdResult {
    LayerQuery query;
    QByteArray page;
};
DrillIdResult drillIdAt(const QVector<LayerInfo>& LayerInfos,
                        const std::vector<std::shared_ptr<MapLayer>>& MapLayers,
                        const QString& BaseDir, MapPoint point, double tolerance,
                        const std::function<void(int)>& beforeLayer = {});

}  // namespace pelagon
