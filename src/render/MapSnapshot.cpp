#include "render/MapSnapshot.h"

#include "render/MapLayer.h"

namespace pelagon {

MapSnapshot makeSnapshot(const std::vector<std::shared_ptr<MapLayer>>& layers) {
    MapSnapshot snapshot;
    snapshot.layers.reserve(layers.size());
    for (const auto& layer : layers) {
        if (!layer) {
            continue;
        }
        LayerSnapshot s;
        s.store = layer->store();
        s.symbol = layer->symbol();
        s.visible = layer->visible();
        s.overdraw = layer->overdraw();
        const LabelRenderer* r = layer->Renderer.get();
        if (r != nullptr && r->drawLabels() && !r->field().isEmpty()) {
            LabelSettings l;
            l.field = r->field();
            l.allowDuplicates = r->allowDuplicates();
            l.splitText = r->splitText();
            l.flip = r->flip();
            l.height = r->textSymbol().height;
            if (r->textSymbol().font) {
                l.font = *r->textSymbol().font;
            }
            s.labels = std::move(l);
        }
        snapshot.layers.push_back(std::move(s));
    }
    return snapshot;
}

}  // namespace pelagon
