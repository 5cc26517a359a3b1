#pragma once

#include <QString>

#include <memory>
#include <utility>

#include "common/MapTypes.h"
#include "render/LabelRenderer.h"
#include "render/ResultSet.h"
#include "render/Symbol.h"
#include "store/FeatureStore.h"

namespace pelagon {

class LayerOverdraw;

// One layer of the map: its data (a shared, immutable FeatureStore), its symbol, its visibility
// and its label renderer. Settings change on the user-interface thread only; the renderer works
// from copies (MapSnapshot), so a layer may change while a frame is drawn.
class MapLayer {
public:
    // Geometry kinds as the legend knows them.
    static constexpr int kPoints = 21;
    static constexpr int kLines = 22;
    static constexpr int kAreas = 23;
    // The search relation "features at the point": areas that contain it, lines and points
    // within the tolerance of it. The only relation there is.
    static constexpr int kSearchAtPoint = 8;

    MapLayer() = default;

    // Opens the data file (see FeatureStore::open); the symbol's kind follows its geometry.
    // Returns valid().
    bool setDataFile(const QString& path);
    // Takes the outcome of an open made elsewhere (several layers are opened at once).
    void setData(const QString& path, StoreOpenResult opened);
    const QString& dataFile() const { return dataFile_; }

    // True when the data file could be opened.
    bool valid() const { return store_ != nullptr; }
    // Why it could not (kind None when valid or never set).
    const StoreError& openError() const { return error_; }
    const std::shared_ptr<const FeatureStore>& store() const { return store_; }

    Symbol& symbol() { return symbol_; }
    const Symbol& symbol() const { return symbol_; }

    bool visible() const { return visible_; }
    void setVisible(bool v) { visible_ = v; }

    // 21 points, 22 lines, 23 areas; 0 while not valid.
    int shapeType() const;

    // The box of the layer's features; an invalid rectangle while not valid.
    MapRect extent() const;

    // What is drawn over the layer's features as part of the layer (hidden with it); null for
    // nothing. The renderer takes it into each snapshot.
    const std::shared_ptr<const LayerOverdraw>& overdraw() const { return overdraw_; }
    void setOverdraw(std::shared_ptr<const LayerOverdraw> overdraw) {
        overdraw_ = std::move(overdraw);
    }

    // Labels; null draws none.
    std::shared_ptr<LabelRenderer> Renderer;

    // The features at a point (relation kSearchAtPoint), in file order; tolerance in map units
    // for lines and points; filter, when not empty, an attribute condition such as
    // "AREA_ID = 3". A layer that is not valid finds nothing.
    ResultSet searchShape(MapPoint point, int relation, const QString& filter,
                          double tolerance = 0.0) const;

private:
    QString dataFile_;
    std::shared_ptr<const FeatureStore> store_;
    StoreError error_;
    Symbol symbol_;
    bool visible_ = true;
    std::shared_ptr<const LayerOverdraw> overdraw_;
};

}  // namespace pelagon
