#include "render/MapRenderer.h"

#include <QPaintEngine>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <optional>
#include <system_error>
#include <thread>

#include "render/ImageFiller.h"
#include "render/ImageStroker.h"
#include "render/LabelPainter.h"
#include "render/OverlapGrid.h"
#include "render/Symbology.h"
#include "store/DetailLevel.h"

namespace pelagon {

using symbology::colorFromValue;

namespace {

// The rings a frame draws: the store's own, or a simplified copy when the scale allows one.
struct DrawnRings {
    const FeatureStore& store;
    const DetailLevel* detail;

    std::span<const GridPoint> ring(std::uint32_t r) const {
        return detail != nullptr ? detail->ring(r) : store.ring(r);
    }
    std::span<const GridBox> runs(std::uint32_t r) const {
        return detail != nullptr ? detail->ringChunks(r) : store.ringChunks(r);
    }
};

}  // namespace

MapRenderer::MapRenderer(QPainter& painter, const Viewport& viewport, const RenderOptions& options)
    : painter_(painter), viewport_(viewport), options_(options) {
    scale_ = options_.scale > 0.0 ? options_.scale : symbology::deviceScale(painter_);
    dpr_ = painter_.device() != nullptr ? painter_.device()->devicePixelRatioF() : 1.0;
    pixel_ = 1.0 / std::max(dpr_, 1e-3);
    // Wide enough that outlines, markers and hatch seams of clipped shapes stay out of sight.
    const double margin = 16.0 * scale_ + 2.0;
    clip_ = QRectF(QPointF(0, 0), viewport_.size()).adjusted(-margin, -margin, margin, margin);
    const MapPoint tl = viewport_.toMap(clip_.topLeft());
    const MapPoint br = viewport_.toMap(clip_.bottomRight());
    clipMap_ = MapRect{tl.x, br.x, br.y, tl.y};
}

RenderStats MapRenderer::render(QPainter& painter, const Viewport& viewport,
                                const MapSnapshot& snapshot, const RenderOptions& options) {
    MapRenderer renderer(painter, viewport, options);
    return renderer.draw(snapshot);
}

const DetailLevel* MapRenderer::detailFor(const FeatureStore& store,
                                          const ScreenGeometry& geometry) const {
    return options_.detailLevels ? store.detailFor(pixel_ / geometry.transform().a) : nullptr;
}

ScreenGeometry MapRenderer::geometryFor(const FeatureStore& store) const {
    return ScreenGeometry(GridToSurface(store.frame(), viewport_), clip_, store.frame(), viewport_,
                          pixel_);
}

RenderStats MapRenderer::draw(const MapSnapshot& snapshot) {
    stats_ = {};
    painter_.save();
    const int bands = viewport_.isValid() ? bandCount() : 1;
    if (bands == 1 && snapshot.background.isValid() && snapshot.background.alpha() > 0) {
        painter_.fillRect(QRectF(QPointF(0, 0), viewport_.size()), snapshot.background);
    }
    painter_.setRenderHint(QPainter::Antialiasing, options_.antialias);
    painter_.setRenderHint(QPainter::TextAntialiasing, options_.antialias);
    if (!viewport_.isValid()) {
        painter_.restore();
        return stats_;
    }

    const std::size_t n = snapshot.layers.size();
    std::vector<std::vector<FeatureId>> ids(n);
    for (std::size_t k = 0; k < n; ++k) {
        const LayerSnapshot& layer = snapshot.layers[k];
        if (layer.visible && layer.store) {
            layer.store->featuresIn(clipMap_, ids[k]);
        }
    }
    const bool going = bands > 1 ? drawBands(snapshot, ids, bands) : drawLayers(snapshot, ids);
    if (!going) {
        stats_.cancelled = true;
        painter_.restore();
        return stats_;
    }

    if (options_.labels) {
        LabelPainter labels(painter_, viewport_, scale_, options_.cancel);
        for (std::size_t k = 0; k < n; ++k) {
            if (!labels.drawLayer(snapshot.layers[k], ids[k])) {
                stats_.cancelled = true;
                break;
            }
        }
        stats_.labels = labels.count();
    }
    painter_.restore();
    return stats_;
}

bool MapRenderer::drawLayers(const MapSnapshot& snapshot,
                             const std::vector<std::vector<FeatureId>>& ids) {
    // Bottom layer first: position 0 ends on top.
    for (std::size_t k = snapshot.layers.size(); k-- > 0;) {
        const LayerSnapshot& layer = snapshot.layers[k];
        if (!layer.visible || !layer.store) {
            continue;
        }
        const FeatureStore& store = *layer.store;
        bool going = true;
        switch (store.kind()) {
            case GeometryKind::Polygons:
                going = drawPolygons(store, layer.symbol, ids[k]);
                break;
            case GeometryKind::Lines:
                going = drawLines(store, layer.symbol, ids[k]);
                break;
            case GeometryKind::Points:
                going = drawPoints(store, layer.symbol, ids[k]);
                break;
        }
        if (going && layer.overdraw) {
            going = layer.overdraw->draw(painter_, viewport_, clip_, options_.cancel);
        }
        if (!going) {
            return false;
        }
    }
    return true;
}

int MapRenderer::threadCount() const {
    return options_.threads > 0
               ? options_.threads
               : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

int MapRenderer::bandCount() const {
    // Bands share the rows of one image, so only an image painted without clipping, rotation or
    // special blending can be split; each band must be tall enough to pay for its thread.
    QPaintDevice* device = painter_.device();
    if (threadCount() < 2 || device == nullptr || device->devType() != QInternal::Image ||
        painter_.paintEngine() == nullptr ||
        painter_.paintEngine()->type() != QPaintEngine::Raster || painter_.hasClipping() ||
        painter_.opacity() < 1.0 ||
        painter_.compositionMode() != QPainter::CompositionMode_SourceOver ||
        painter_.deviceTransform().type() > QTransform::TxScale) {
        return 1;
    }
    const int rows = static_cast<const QImage*>(device)->height();
    // Several bands a thread even out the work: a map's features are seldom spread evenly
    // from top to bottom.
    return std::clamp(std::min(threadCount() * kBandsPerThread, rows / kMinimumBandRows), 1, 64);
}

bool MapRenderer::drawBands(const MapSnapshot& snapshot,
                            const std::vector<std::vector<FeatureId>>& ids, int bands) {
    const QColor& background = snapshot.background;
    // Each band is a view of its rows of the same pixels with a painter of its own, moved up by
    // the band's top; the frame is whole once every band is drawn, with nothing to copy. Every
    // band draws every feature that reaches its rows, clipped to them by the raster engine, so
    // a shape crossing bands is drawn in pieces that meet without a seam.
    auto* image = static_cast<QImage*>(painter_.device());
    const int rows = image->height();
    const int bandRows = (rows + bands - 1) / bands;
    // The bands each feature reaches, worked out once: its box grown by what is drawn beyond
    // it (half an outline, antialiasing, half a marker), in device rows.
    const double reach = (symbology::kMarkerSize / 2.0 + 2.0) * scale_ + 2.0 * pixel_;
    // own[b][k]: the features of layer k that band b draws, in file order.
    std::vector<std::vector<std::vector<FeatureId>>> own(
        static_cast<std::size_t>(bands), std::vector<std::vector<FeatureId>>(ids.size()));
    for (std::size_t k = 0; k < ids.size(); ++k) {
        if (ids[k].empty()) {
            continue;
        }
        const FeatureStore& store = *snapshot.layers[k].store;
        const GridToSurface t(store.frame(), viewport_);
        const double rowsPerBand = bandRows;
        for (const FeatureId f : ids[k]) {
            const GridBox& b = store.featureBox(f);
            const double top = ((t.cy - b.maxY * t.a) - reach) * dpr_ / rowsPerBand;
            const double bottom = ((t.cy - b.minY * t.a) + reach) * dpr_ / rowsPerBand;
            const auto first = static_cast<std::size_t>(std::clamp(top, 0.0, bands - 1.0));
            const auto last = static_cast<std::size_t>(std::clamp(bottom, 0.0, bands - 1.0));
            for (std::size_t band = first; band <= last; ++band) {
                own[band][k].push_back(f);
            }
        }
    }
    std::vector<RenderStats> bandStats(static_cast<std::size_t>(bands));
    std::vector<char> finished(static_cast<std::size_t>(bands), 0);
    uchar* bits = const_cast<uchar*>(image->constBits());
    auto drawBand = [&](int b) {
        const int top = b * bandRows;
        const int height = std::min(bandRows, rows - top);
        if (height <= 0) {
            finished[static_cast<std::size_t>(b)] = 1;
            return;
        }
        QImage pixels(bits + static_cast<qsizetype>(top) * image->bytesPerLine(), image->width(),
                      height, image->bytesPerLine(), image->format());
        pixels.setDevicePixelRatio(image->devicePixelRatio());
        QPainter painter(&pixels);
        painter.setRenderHints(painter_.renderHints());
        painter.setWorldTransform(painter_.worldTransform() *
                                  QTransform::fromTranslate(0.0, -top / dpr_));
        painter.setBrushOrigin(painter_.brushOrigin());
        if (background.isValid() && background.alpha() > 0) {
            // Cleared here rather than in one go, so the band's pixels are still in the cache.
            painter.fillRect(QRectF(QPointF(0, 0), viewport_.size()), background);
        }
        RenderOptions options = options_;
        options.scale = scale_;
        MapRenderer renderer(painter, viewport_, options);
        // Only the band's rows, with the same margin as the whole frame.
        const double margin = -clip_.top();
        renderer.clip_ =
            QRectF(clip_.left(), top / dpr_ - margin, clip_.width(), height / dpr_ + 2.0 * margin);
        renderer.dpr_ = dpr_;
        renderer.pixel_ = pixel_;
        finished[static_cast<std::size_t>(b)] =
            renderer.drawLayers(snapshot, own[static_cast<std::size_t>(b)]) ? 1 : 0;
        bandStats[static_cast<std::size_t>(b)] = renderer.stats_;
    };
    // Threads take the next band not yet taken until none is left.
    std::atomic<int> next{0};
    auto work = [&] {
        for (int b = next++; b < bands; b = next++) {
            drawBand(b);
        }
    };
    const int workers = std::min(bands, threadCount());
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(workers - 1));
    for (int w = 1; w < workers; ++w) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the threads there are take every band
        }
    }
    work();
    for (std::thread& t : threads) {
        t.join();
    }
    bool all = true;
    for (std::size_t b = 0; b < bandStats.size(); ++b) {
        stats_.features += bandStats[b].features;
        stats_.vertices += bandStats[b].vertices;
        all = all && finished[b] != 0;
    }
    return all;
}

bool MapRenderer::drawPolygons(const FeatureStore& store, const Symbol& symbol,
                               const std::vector<FeatureId>& ids) {
    const ScreenGeometry geometry = geometryFor(store);
    const QColor outline = colorFromValue(symbol.outlineColor());
    const QPen pen = symbology::outlinePen(outline, scale_);
    const QBrush brush =
        symbology::fillBrush(colorFromValue(symbol.color()), symbol.style(), scale_, dpr_);
    const bool fill = brush.style() != Qt::NoBrush;
    const DrawnRings rings{store, detailFor(store, geometry)};

    // On an image, solid fills and one-pixel outlines are written straight into the pixels, and
    // each feature is drawn as it comes, fill then outline. Through the painter a call costs far
    // more than the few vertices of most features, so features are gathered into one path and
    // drawn together, the fills and then the outlines. Together they look as drawn one by one as
    // long as no feature of a batch reaches a pixel another one reaches: a feature whose box
    // (grown by the outline's reach) meets the batch's starts the next batch. Outlines alone need
    // no such care: one colour laid over itself gives the same pixels in any order. Fills are
    // drawn without antialiasing, which is much cheaper; the outline covers their edge.
    std::optional<ImageStroker> stroker = ImageStroker::forPainter(painter_, outline, pen.widthF());
    std::optional<ImageFiller> filler =
        fill ? ImageFiller::forPainter(painter_, brush) : std::nullopt;
    const bool direct = stroker && (!fill || filler);
    const bool usePath = (fill && !filler) || !stroker;
    const double reach = 2.0 * scale_ + pixel_;
    std::optional<OverlapGrid> batchArea;
    if (fill && !direct) {
        batchArea.emplace(clip_, 4.0 * pixel_);
    }
    outline_.clear();
    outlineSizes_.clear();
    path_.clear();
    path_.setFillRule(Qt::OddEvenFill);
    auto flush = [&] {
        if (path_.isEmpty() && outline_.empty() && !filler) {
            return;
        }
        if (filler) {
            filler->fill();
        } else if (fill) {
            painter_.setRenderHint(QPainter::Antialiasing, false);
            painter_.fillPath(path_, brush);
            painter_.setRenderHint(QPainter::Antialiasing, options_.antialias);
        }
        if (stroker) {
            std::size_t at = 0;
            for (const std::uint32_t n : outlineSizes_) {
                stroker->drawPolyline(std::span(outline_).subspan(at, n), true);
                at += n;
            }
        } else {
            painter_.strokePath(path_, pen);
        }
        outline_.clear();
        outlineSizes_.clear();
        path_.clear();
        path_.setFillRule(Qt::OddEvenFill);
    };

    dots_.clear();
    for (const FeatureId f : ids) {
        if (cancelled()) {
            return false;
        }
        const QRectF box = geometry.transform().box(store.featureBox(f));
        if (box.left() > clip_.right() || box.right() < clip_.left() ||
            box.top() > clip_.bottom() || box.bottom() < clip_.top()) {
            continue;  // in another band
        }
        // Features smaller than a device pixel become one dot in their outline colour.
        if (box.width() < pixel_ && box.height() < pixel_) {
            dots_.push_back(box.center());
            continue;
        }
        if (batchArea && !batchArea->claim(box.adjusted(-reach, -reach, reach, reach))) {
            flush();
            batchArea->clear();
            batchArea->claim(box.adjusted(-reach, -reach, reach, reach));
        }
        const bool clip = !clip_.contains(box);
        bool drawn = false;
        for (std::uint32_t r = store.firstRing(f); r < store.endRing(f); ++r) {
            geometry.project(rings.ring(r), rings.runs(r), true, points_);
            if (clip) {
                geometry.clipPolygon(points_, scratch_);
            }
            if (points_.size() < 3) {
                continue;
            }
            if (usePath) {
                path_.moveTo(points_[0]);
                for (std::size_t i = 1; i < points_.size(); ++i) {
                    path_.lineTo(points_[i]);
                }
                path_.closeSubpath();
            }
            if (filler) {
                filler->addRing(points_);
            }
            if (stroker) {
                outline_.insert(outline_.end(), points_.begin(), points_.end());
                outlineSizes_.push_back(static_cast<std::uint32_t>(points_.size()));
            }
            stats_.vertices += points_.size();
            drawn = true;
        }
        if (drawn) {
            ++stats_.features;
            if (direct) {
                flush();
            }
        } else if (!clip) {
            dots_.push_back(box.center());
        }
    }
    flush();
    drawDots(dots_, outline);
    return true;
}

bool MapRenderer::drawLines(const FeatureStore& store, const Symbol& symbol,
                            const std::vector<FeatureId>& ids) {
    const ScreenGeometry geometry = geometryFor(store);
    const QColor color = colorFromValue(symbol.color());
    painter_.setPen(symbology::linePen(color, symbol.style(), scale_));
    painter_.setBrush(Qt::NoBrush);
    const DrawnRings rings{store, detailFor(store, geometry)};
    dots_.clear();
    for (const FeatureId f : ids) {
        if (cancelled()) {
            return false;
        }
        const QRectF box = geometry.transform().box(store.featureBox(f));
        if (box.width() < pixel_ && box.height() < pixel_) {
            dots_.push_back(box.center());
            continue;
        }
        const bool clip = !clip_.contains(box);
        for (std::uint32_t r = store.firstRing(f); r < store.endRing(f); ++r) {
            geometry.project(rings.ring(r), rings.runs(r), false, points_);
            if (!clip) {
                if (points_.size() >= 2) {
                    painter_.drawPolyline(points_.data(), static_cast<int>(points_.size()));
                    stats_.vertices += points_.size();
                }
                continue;
            }
            geometry.clipLine(points_, piece_, [&](const std::vector<QPointF>& piece) {
                if (piece.size() >= 2) {
                    painter_.drawPolyline(piece.data(), static_cast<int>(piece.size()));
                    stats_.vertices += piece.size();
                }
            });
        }
        ++stats_.features;
    }
    drawDots(dots_, color);
    return true;
}

bool MapRenderer::drawPoints(const FeatureStore& store, const Symbol& symbol,
                             const std::vector<FeatureId>& ids) {
    const ScreenGeometry geometry = geometryFor(store);
    const QColor color = colorFromValue(symbol.color());
    const int style = symbol.style();
    // On raster surfaces one marker is drawn once and stamped; printers and PDFs get vectors.
    const bool raster =
        painter_.paintEngine() != nullptr && painter_.paintEngine()->type() == QPaintEngine::Raster;
    QImage sprite;
    double half = 0.0;
    if (raster) {
        half = symbology::kMarkerSize * scale_ / 2.0 + 2.0 * scale_;
        const int side = static_cast<int>(std::ceil(2.0 * half * dpr_));
        sprite = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
        sprite.fill(Qt::transparent);
        {
            QPainter p(&sprite);
            p.setRenderHint(QPainter::Antialiasing, options_.antialias);
            p.scale(dpr_, dpr_);
            symbology::drawMarker(p, QPointF(half, half), color, style, scale_);
        }
        sprite.setDevicePixelRatio(dpr_);
    }
    const QRectF view(QPointF(0, 0), viewport_.size());
    const QRectF reach =
        view.adjusted(-half - 8 * scale_, -half - 8 * scale_, half + 8 * scale_, half + 8 * scale_);
    for (const FeatureId f : ids) {
        if (cancelled()) {
            return false;
        }
        for (std::uint32_t r = store.firstRing(f); r < store.endRing(f); ++r) {
            for (const GridPoint g : store.ring(r)) {
                const QPointF p = geometry.transform()(g);
                if (!reach.contains(p)) {
                    continue;
                }
                if (raster) {
                    // Snapped to device pixels so every marker looks the same.
                    const QPointF at(std::round((p.x() - half) * dpr_) / dpr_,
                                     std::round((p.y() - half) * dpr_) / dpr_);
                    painter_.drawImage(at, sprite);
                } else {
                    symbology::drawMarker(painter_, p, color, style, scale_);
                }
                ++stats_.vertices;
            }
        }
        ++stats_.features;
    }
    return true;
}

void MapRenderer::drawDots(const std::vector<QPointF>& dots, const QColor& color) {
    if (dots.empty()) {
        return;
    }
    const double width = std::max(pixel_, 1.0 * scale_ * 0.75);
    stats_.features += dots.size();
    if (auto stroker = ImageStroker::forPainter(painter_, color, width)) {
        stroker->drawDots(dots);
        return;
    }
    painter_.save();
    painter_.setPen(QPen(color, width, Qt::SolidLine, Qt::SquareCap));
    painter_.drawPoints(dots.data(), static_cast<int>(dots.size()));
    painter_.restore();
}

void MapRenderer::drawHighlight(const FeatureStore& store, std::span<const FeatureId> features,
                                const QColor& color) {
    const ScreenGeometry geometry = geometryFor(store);
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, options_.antialias);
    painter_.setPen(QPen(color, 3.0 * scale_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter_.setBrush(Qt::NoBrush);
    for (const FeatureId f : features) {
        if (f >= store.featureCount()) {
            continue;
        }
        for (std::uint32_t r = store.firstRing(f); r < store.endRing(f); ++r) {
            switch (store.kind()) {
                case GeometryKind::Polygons:
                    geometry.project(store.ring(r), store.ringChunks(r), true, points_);
                    geometry.clipPolygon(points_, scratch_);
                    if (!points_.empty()) {
                        painter_.drawPolygon(points_.data(), static_cast<int>(points_.size()));
                    }
                    break;
                case GeometryKind::Lines:
                    geometry.project(store.ring(r), store.ringChunks(r), false, points_);
                    geometry.clipLine(points_, piece_, [&](const std::vector<QPointF>& piece) {
                        painter_.drawPolyline(piece.data(), static_cast<int>(piece.size()));
                    });
                    break;
                case GeometryKind::Points:
                    for (const GridPoint g : store.ring(r)) {
                        const QPointF p = geometry.transform()(g);
                        if (clip_.contains(p)) {
                            const double rad = symbology::kMarkerSize * scale_;
                            painter_.drawEllipse(p, rad, rad);
                        }
                    }
                    break;
            }
        }
    }
    painter_.restore();
}

}  // namespace pelagon
