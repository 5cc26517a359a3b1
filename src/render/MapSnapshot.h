#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "render/Symbol.h"
#include "store/FeatureStore.h"

namespace pelagon {

class MapLayer;

// Label settings copied from a layer's renderer.
struct LabelSettings {
    QString field;
    bool allowDuplicates = false;
    bool splitText = false;
    bool flip = true;
    double height = 0.0;  // map units; 0 or less: the font's own size
    QFont font;
};

// What the renderer needs of one layer, copied: nothing in it changes while a frame is drawn.
struct LayerSnapshot {
    std::shared_ptr<const FeatureStore> store;
    Symbol symbol;
    bool visible = true;
    std::optional<LabelSettings> labels;  // none: no labels
};

// The layers of a map in list order: position 0 first, drawn last (on top).
struct MapSnapshot {
    std::vector<LayerSnapshot> layers;
    QColor background = Qt::white;  // invalid or transparent: the target is not filled
};

// Copies the drawing settings of the layers; the stores are shared, not copied.
MapSnapshot makeSnapshot(const std::vector<std::shared_ptr<MapLayer>>& layers);

}  // namespace pelagon
