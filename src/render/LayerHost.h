#pragma once

#include <memory>

#include "common/MapTypes.h"

namespace pelagon {

class MapLayer;

// What layer construction needs of a map: the map canvas on screen, a plain layer list
// elsewhere (the command-line tool, tests).
class LayerHost {
public:
    virtual ~LayerHost() = default;

    // The layer joins at position 0 of the layer list; the others move down by one.
    virtual void addLayer(std::shared_ptr<MapLayer> layer) = 0;
    // The rectangle enclosing every layer added.
    virtual MapRect fullExtent() const = 0;
};

}  // namespace pelagon
