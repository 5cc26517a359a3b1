#include "reports/DrillIdQuery.h"

#include "reports/DrillIdPage.h"

namespace pelagon {

DrillIdResult drillIdAt(const QVector<LayerInfo>& LayerInfos,
                        const std::vector<std::shared_ptr<MapLayer>>& MapLayers,
                        const QString& BaseDir, MapPoint point, double tolerance,
                        const std::function<void(int)>& beforeLayer) {
    DrillIdResult result;
    result.query = queryLayersAt(LayerInfos, MapLayers, point, tolerance, beforeLayer);
    result.page = drillIdResultsPage(LayerInfos, BaseDir, result.query.found);
    return result;
}

}  // namespace pelagon
