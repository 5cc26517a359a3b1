#pragma once

#include <QColor>
#include <QPainter>
#include <QPainterPath>

#include <atomic>
#include <cstddef>
#include <span>
#include <vector>

#include "render/MapSnapshot.h"
#include "render/ScreenGeometry.h"
#include "render/Viewport.h"
#include "store/FeatureStore.h"

namespace pelagon {

struct RenderOptions {
    bool antialias = true;
    bool labels = true;
    // Symbol scale (1 = sizes for a 96-dpi screen); 0 takes it from the painter's device.
    double scale = 0.0;
    // Threads that draw an image frame in horizontal bands at once; 0: one per processor core.
    int threads = 0;
    // Draw from the store's simplified rings where the scale allows (FeatureStore::detailFor);
    // off, every frame goes through the stored vertices, as when the levels did not exist.
    bool detailLevels = true;
    // Checked between features; when it turns true the frame stops unfinished.
    const std::atomic<bool>* cancel = nullptr;
};

// Features and vertices are counted in every band of the frame they reach.
struct RenderStats {
    std::size_t features = 0;  // features drawn
    std::size_t vertices = 0;  // vertices drawn
    std::size_t labels = 0;
    bool cancelled = false;
};

// Draws a snapshot of the map's layers through a viewport onto any painter: a screen image, a
// printer, a PDF or an image. The viewport's surface is the painter's coordinate system from
// (0, 0) to viewport.size(). The bottom layer (last in the list) is drawn first and position 0
// last, on top, each followed by its overdraw; labels come after all layers. Only features whose
// boxes meet the view are visited (R-tree), and geometry is simplified to device pixels and clipped
// before Qt sees it.
class MapRenderer {
public:
    MapRenderer(QPainter& painter, const Viewport& viewport, const RenderOptions& options = {});

    RenderStats draw(const MapSnapshot& snapshot);

    // Outlines features of one layer on top of what is drawn (query results).
    void drawHighlight(const FeatureStore& store, std::span<const FeatureId> features,
                       const QColor& color);

    // Convenience: a renderer for one frame.
    static RenderStats render(QPainter& painter, const Viewport& viewport,
                              const MapSnapshot& snapshot, const RenderOptions& options = {});

private:
    bool cancelled() const {
        return options_.cancel != nullptr && options_.cancel->load(std::memory_order_relaxed);
    }
    ScreenGeometry geometryFor(const FeatureStore& store) const;
    // The simplified rings to draw the store from at this frame's scale; null: the store's own.
    const DetailLevel* detailFor(const FeatureStore& store, const ScreenGeometry& geometry) const;
    bool drawLayers(const MapSnapshot& snapshot, const std::vector<std::vector<FeatureId>>& ids);
    int threadCount() const;
    int bandCount() const;
    // Two bands a thread measured best on the coastline at full extent: more bands repeat more
    // of the work on features that reach several.
    static constexpr int kBandsPerThread = 2;
    static constexpr int kMinimumBandRows = 64;
    bool drawBands(const MapSnapshot& snapshot, const std::vector<std::vector<FeatureId>>& ids,
                   int bands);
    bool drawPolygons(const FeatureStore& store, const Symbol& symbol,
                      const std::vector<FeatureId>& ids);
    bool drawLines(const FeatureStore& store, const Symbol& symbol,
                   const std::vector<FeatureId>& ids);
    bool drawPoints(const FeatureStore& store, const Symbol& symbol,
                    const std::vector<FeatureId>& ids);
    void drawDots(const std::vector<QPointF>& dots, const QColor& color);

    QPainter& painter_;
    Viewport viewport_;
    RenderOptions options_;
    double scale_ = 1.0;
    double dpr_ = 1.0;
    double pixel_ = 1.0;  // a device pixel in surface units
    QRectF clip_;
    MapRect clipMap_;
    RenderStats stats_;

    // Reused between features.
    std::vector<QPointF> points_;
    std::vector<QPointF> scratch_;
    std::vector<QPointF> piece_;
    std::vector<QPointF> dots_;
    QPainterPath path_;
    std::vector<QPointF> outline_;  // the rings of a batch, one after the other
    std::vector<std::uint32_t> outlineSizes_;
};

}  // namespace pelagon
