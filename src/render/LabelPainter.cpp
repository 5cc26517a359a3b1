#include "render/LabelPainter.h"

#include <QFontMetricsF>
#include <QSet>

#include <cmath>
#include <numbers>

#include "render/ScreenGeometry.h"
#include "render/Symbology.h"
#include "store/RingMath.h"
#include "store/TextColumn.h"

namespace pelagon {

LabelPainter::LabelPainter(QPainter& painter, const Viewport& viewport, double scale,
                           const std::atomic<bool>* cancel)
    : painter_(painter),
      viewport_(viewport),
      scale_(scale),
      cancel_(cancel),
      view_(QPointF(0, 0), viewport.size()),
      collisions_(view_, 64.0 * scale) {}

double LabelPainter::textHeight(const LabelSettings& labels) const {
    if (labels.height > 0.0) {
        return labels.height / viewport_.mapUnitsPerPixel();
    }
    const double dpi = painter_.device() != nullptr ? painter_.device()->logicalDpiY() : 96.0;
    const double points = labels.font.pointSizeF() > 0 ? labels.font.pointSizeF() : 10.0;
    return points * dpi / 72.0;
}

bool LabelPainter::drawLayer(const LayerSnapshot& layer, const std::vector<FeatureId>& features) {
    if (!layer.visible || !layer.labels || !layer.store) {
        return true;
    }
    const LabelSettings& labels = *layer.labels;
    const FeatureStore& store = *layer.store;
    const int field = store.fieldIndex(labels.field);
    const double height = textHeight(labels);
    // Too small to read, or larger than the whole view: nothing useful to show.
    if (field < 0 || height / scale_ < kMinimumHeight || height > view_.height() ||
        features.empty()) {
        return true;
    }
    const auto column = store.textColumn(field);
    if (!column) {
        return true;
    }
    QFont font = labels.font;
    const double dpi = painter_.device() != nullptr ? painter_.device()->logicalDpiY() : 96.0;
    font.setPointSizeF(height * 72.0 / dpi);
    const QFontMetricsF metrics(font, painter_.device());
    painter_.setFont(font);
    painter_.setPen(Qt::black);
    painter_.setBrush(Qt::NoBrush);

    const GridToSurface t(store.frame(), viewport_);
    const double markerGap = (symbology::kMarkerSize / 2.0 + 2.0) * scale_;
    QSet<QString> placed;
    for (const FeatureId f : features) {
        if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) {
            return false;
        }
        const QStringView raw = column->text(f);
        if (raw.trimmed().isEmpty()) {
            continue;
        }
        QString text = raw.toString();
        if (labels.splitText) {
            text.replace(QLatin1Char(' '), QLatin1Char('\n'));
        }
        if (!labels.allowDuplicates && placed.contains(text)) {
            continue;
        }
        const QPointF anchor = t(store.anchorGrid(f));
        if (!view_.contains(anchor)) {
            continue;
        }
        const QRectF size = metrics.boundingRect(QRectF(), Qt::AlignCenter, text);
        const double w = size.width(), h = size.height();
        QRectF local;
        double angle = 0.0;  // degrees, clockwise on the surface
        switch (store.kind()) {
            case GeometryKind::Polygons:
                local = QRectF(-w / 2, -h / 2, w, h);
                break;
            case GeometryKind::Points:
                local = QRectF(markerGap, -h / 2, w, h);
                break;
            case GeometryKind::Lines: {
                // Along the longest part, just above the line.
                std::uint32_t longest = store.firstRing(f);
                double best = -1.0;
                for (std::uint32_t r = store.firstRing(f); r < store.endRing(f); ++r) {
                    const double len = ringmath::pathLength(store.ring(r));
                    if (len > best) {
                        best = len;
                        longest = r;
                    }
                }
                angle = -ringmath::pathMiddleAngle(store.ring(longest)) * 180.0 / std::numbers::pi;
                if (labels.flip) {
                    if (angle > 90.0) {
                        angle -= 180.0;
                    } else if (angle <= -90.0) {
                        angle += 180.0;
                    }
                }
                local = QRectF(-w / 2, -h - scale_, w, h);
                break;
            }
        }
        QTransform placement;
        placement.translate(anchor.x(), anchor.y());
        placement.rotate(angle);
        if (!collisions_.tryPlace(placement.mapRect(local))) {
            continue;
        }
        if (angle == 0.0) {
            painter_.drawText(local.translated(anchor), Qt::AlignCenter, text);
        } else {
            painter_.save();
            painter_.setTransform(placement, true);
            painter_.drawText(local, Qt::AlignCenter, text);
            painter_.restore();
        }
        placed.insert(text);
    }
    return true;
}

}  // namespace pelagon
