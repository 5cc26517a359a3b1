#include "render/MapLayerList.h"

#include "render/MapLayer.h"

namespace pelagon {

void MapLayerList::addLayer(std::shared_ptr<MapLayer> layer) {
    if (layer) {
        layers_.insert(layers_.begin(), std::move(layer));
    }
}

MapRect MapLayerList::fullExtent() const {
    bool any = false;
    MapRect all;
    for (const auto& layer : layers_) {
        if (!layer->valid()) {
            continue;
        }
        const MapRect e = layer->extent();
        all = any ? all.united(e) : e;
        any = true;
    }
    return any ? all : kEmptyExtent;
}

}  // namespace pelagon
