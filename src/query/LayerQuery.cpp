#include "query/LayerQuery.h"

#include "render/MapLayer.h"

namespace pelagon {

LayerQuery queryLayersAt(const QVector<LayerInfo>& LayerInfos,
                         const std::vector<std::shared_ptr<MapLayer>>& MapLayers, MapPoint point,
                         double tolerance, const std::function<void(int)>& beforeLayer) {
    LayerQuery query;
    query.found.resize(LayerInfos.size());
    for (int k = 0; k < LayerInfos.size(); ++k) {
        if (beforeLayer) {
            beforeLayer(k);
        }
        const LayerInfo& info = LayerInfos[k];
        if (info.QueryMode <= 0 || k >= static_cast<int>(MapLayers.size())) {
            continue;
        }
        const std::shared_ptr<MapLayer>& layer = MapLayers[k];
        if (!layer || !layer->valid()) {
            continue;
        }
        const ResultSet result =
            layer->searchShape(point, MapLayer::kSearchAtPoint, QString(), tolerance);
        if (result.count() <= 0) {
            query.found[k] = LayerQueryResult::noHit();
            continue;
        }
        for (FeatureId f : result.features()) {
            query.features.emplace_back(layer, f);
        }
        if (info.QueryMode == 2) {
            const std::optional<QString> value = result.value(info.AttrField);
            query.found[k] =
                value ? LayerQueryResult::hit(*value) : LayerQueryResult::missingAttribute();
        } else {
            query.found[k] = LayerQueryResult::hit();
        }
    }
    return query;
}

}  // namespace pelagon
