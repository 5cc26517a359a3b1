#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "render/Symbol.h"
#include "store/FeatureStore.h"

class QPainter;

namespace pelagon {

class MapLayer;
class Viewport;

// Drawn over one layer as part of it: after the layer's own features, beneath the layers above it
// and the labels (the shading of its areas). Drawn on the renderer's threads, so it must not
// change once made.
class LayerOverdraw {
public:
    virtual ~LayerOverdraw() = default;
    // Draws what lies within clip (the frame, or a band of it, with a margin); cancel (may be
    // null) is checked as it goes. False when it stopped unfinished because cancel turned true.
    virtual bool draw(QPainter& painter, const Viewport& viewport, const QRectF& clip,
                      const std::atomic<bool>* cancel) const = 0;
};

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
    std::shared_ptr<const LayerOverdraw> overdraw;  // none: the layer alone
};

// The layers of a map in list order: position 0 first, drawn last (on top).
struct MapSnapshot {
    std::vector<LayerSnapshot> layers;
    QColor background = Qt::white;  // invalid or transparent: the target is not filled
};

// Copies the drawing settings of the layers; the stores are shared, not copied.
MapSnapshot makeSnapshot(const std::vector<std::shared_ptr<MapLayer>>& layers);

}  // namespace pelagon
