#pragma once

#include <memory>
#include <vector>

#include "common/MapTypes.h"
#include "render/LayerHost.h"

namespace pelagon {

class MapLayer;

// The ordered layers of a map. Position 0 is the top layer, drawn last.
class MapLayerList : public LayerHost {
public:
    // The full extent of a map without layers: a square of 2,000 km about the origin of the
    // map plane.
    static constexpr MapRect kEmptyExtent{-1000000.0, 1000000.0, -1000000.0, 1000000.0};

    void addLayer(std::shared_ptr<MapLayer> layer) override;
    // The union of the extents of the layers that hold data; kEmptyExtent when none does.
    MapRect fullExtent() const override;

    const std::vector<std::shared_ptr<MapLayer>>& layers() const { return layers_; }
    std::size_t size() const { return layers_.size(); }

private:
    std::vector<std::shared_ptr<MapLayer>> layers_;
};

}  // namespace pelagon
