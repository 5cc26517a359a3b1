#pragma once

#include <QPainter>
#include <QRectF>

#include <atomic>
#include <vector>

#include "render/LabelCollisions.h"
#include "render/MapSnapshot.h"
#include "render/Viewport.h"
#include "store/FeatureStore.h"

namespace pelagon {

// Places and draws the labels of a frame, layer by layer from the top one down, so that a label
// never covers one placed before it (see LabelRenderer for the rules).
class LabelPainter {
public:
    // Labels whose text would be smaller than this (px at 96 dpi) are left out.
    static constexpr double kMinimumHeight = 6.0;

    LabelPainter(QPainter& painter, const Viewport& viewport, double scale,
                 const std::atomic<bool>* cancel);

    // Draws the labels of one layer for the features given (in file order). Returns false when
    // the frame was cancelled.
    bool drawLayer(const LayerSnapshot& layer, const std::vector<FeatureId>& features);

    std::size_t count() const { return collisions_.count(); }

    // The text height of a layer's labels in surface units at this viewport.
    double textHeight(const LabelSettings& labels) const;

private:
    QPainter& painter_;
    const Viewport& viewport_;
    double scale_;
    const std::atomic<bool>* cancel_;
    QRectF view_;
    LabelCollisions collisions_;
};

}  // namespace pelagon
