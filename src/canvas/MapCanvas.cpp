#include "canvas/MapCanvas.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <future>
#include <map>
#include <memory>
#include <vector>

#include "canvas/LineTracker.h"
#include "canvas/MapOverlay.h"
#include "canvas/MapTool.h"
#include "canvas/PanTracker.h"
#include "canvas/RectangleTracker.h"
#include "render/MapLayer.h"
#include "render/MapRenderer.h"
#include "render/MapSnapshot.h"

namespace pelagon {

namespace {

bool finiteRect(const MapRect& r) {
    return std::isfinite(r.left) && std::isfinite(r.right) && std::isfinite(r.bottom) &&
           std::isfinite(r.top);
}

bool sameView(const Viewport& a, const Viewport& b) {
    return a.size() == b.size() && a.extent() == b.extent();
}

}  // namespace

MapCanvas::MapCanvas(QWidget* parent) : QWidget(parent) {
    qRegisterMetaType<pelagon::MapRect>("pelagon::MapRect");
    setObjectName(QStringLiteral("theMap"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    pool_.setMaxThreadCount(1);
    viewport_ = Viewport(QSizeF(size()), requested_);
    announced_ = viewport_.extent();
}

MapCanvas::~MapCanvas() {
    if (cancel_) {
        cancel_->store(true);
    }
    // The worker posts its frame to this object; it must be done before the object goes.
    pool_.waitForDone();
}

void MapCanvas::setExtent(const MapRect& rect) {
    if (!finiteRect(rect)) {
        return;
    }
    extentSet_ = true;
    applyExtent(rect, true);
}

void MapCanvas::previewExtent(const MapRect& rect) {
    if (!finiteRect(rect)) {
        return;
    }
    extentSet_ = true;
    applyExtent(rect, false);
}

const Viewport& MapCanvas::view() const {
    if (viewport_.size() != QSizeF(size())) {
        viewport_ = Viewport(QSizeF(size()), requested_);
    }
    return viewport_;
}

void MapCanvas::announceExtent() {
    if (!(view().extent() == announced_)) {
        announced_ = view().extent();
        highlight_.clear();
        emit extentChanged(announced_);
    }
}

void MapCanvas::applyExtent(const MapRect& rect, bool draw) {
    requested_ = rect.normalized();
    viewport_ = Viewport(QSizeF(size()), requested_);
    announceExtent();
    update();
    if (draw) {
        scheduleRender();
    }
}

MapRect MapCanvas::fullExtent() const {
    return layers_.fullExtent();
}

void MapCanvas::addLayer(std::shared_ptr<MapLayer> layer) {
    layers_.addLayer(std::move(layer));
    if (!extentSet_) {
        applyExtent(layers_.fullExtent(), false);
    }
    scheduleRender();
}

void MapCanvas::refresh() {
    update();
    scheduleRender();
}

void MapCanvas::setBackgroundColor(const QColor& c) {
    background_ = c;
    refresh();
}

void MapCanvas::refreshPictures() {
    // Like scheduleRender, leaving the generation of the layers as it is.
    dirty_ = true;
    if (!isVisible()) {
        return;
    }
    if (running_) {
        cancel_->store(true);
        return;
    }
    startRender();
}

void MapCanvas::scheduleRender() {
    ++generation_;
    dirty_ = true;
    if (!isVisible()) {
        return;  // drawn when shown
    }
    if (running_) {
        cancel_->store(true);  // the next frame starts when this one has stopped
        return;
    }
    startRender();
}

void MapCanvas::startRender() {
    dirty_ = false;
    running_ = true;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    auto cancel = cancel_;
    auto snapshot = std::make_shared<MapSnapshot>(makeSnapshot(layers_.layers()));
    snapshot->background = background_;
    std::vector<std::shared_ptr<const OverlayPicture>> pictures;
    for (const MapOverlay* overlay : overlays_) {
        if (auto picture = overlay->picture()) {
            pictures.push_back(std::move(picture));
        }
    }
    const Viewport viewport = view();
    const double dpr = devicePixelRatioF();
    const std::uint64_t generation = generation_;
    // The layers of the last frame, where nothing but the pictures has changed since.
    QImage layers;
    if (layersGeneration_ == generation && !layersImage_.isNull() &&
        layersImage_.devicePixelRatio() == dpr && layersViewport_.size() == viewport.size() &&
        layersViewport_.extent() == viewport.extent()) {
        layers = layersImage_;
    }
    pool_.start([this, cancel, snapshot, pictures = std::move(pictures), viewport, dpr, generation,
                 layers = std::move(layers)]() mutable {
        const QSize pixels(
            std::max(1, static_cast<int>(std::ceil(viewport.size().width() * dpr))),
            std::max(1, static_cast<int>(std::ceil(viewport.size().height() * dpr))));
        RenderStats stats;
        // The layers of the last frame, or an image to draw them on.
        QImage image =
            !layers.isNull() ? layers.copy() : QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(dpr);
        // The pictures are made ready on a thread of their own beside the layers (they need only
        // the surface and the view), then drawn over them in order.
        PictureSurface surface;
        {
            const QPainter painter(&image);
            surface = PictureSurface::of(painter);
        }
        std::future<std::vector<std::unique_ptr<PreparedPicture>>> prepared;
        if (!pictures.empty()) {
            prepared = std::async(std::launch::async, [&] {
                std::vector<std::unique_ptr<PreparedPicture>> ready;
                for (const auto& picture : pictures) {
                    ready.push_back(picture->prepare(surface, viewport, cancel.get()));
                    if (!ready.back()) {
                        break;  // cancelled
                    }
                }
                return ready;
            });
        }
        if (layers.isNull()) {
            QPainter painter(&image);
            RenderOptions options;
            options.cancel = cancel.get();
            stats = MapRenderer::render(painter, viewport, *snapshot, options);
            painter.end();
            if (!stats.cancelled && !pictures.empty()) {
                layers = image.copy();
                layers.setDevicePixelRatio(dpr);
            }
        }
        const std::vector<std::unique_ptr<PreparedPicture>> ready =
            prepared.valid() ? prepared.get() : std::vector<std::unique_ptr<PreparedPicture>>{};
        if (!stats.cancelled) {
            QPainter painter(&image);
            for (std::size_t i = 0; i < pictures.size(); ++i) {
                if (i >= ready.size() || !ready[i] || !ready[i]->draw(painter, cancel.get())) {
                    stats.cancelled = true;
                    break;
                }
            }
        }
        const bool cancelled = stats.cancelled || cancel->load();
        QMetaObject::invokeMethod(
            this,
            [this, image = std::move(image), layers = std::move(layers), viewport, generation,
             cancelled]() mutable {
                frameDone(std::move(image), std::move(layers), viewport, generation, cancelled);
            },
            Qt::QueuedConnection);
    });
}

void MapCanvas::frameDone(QImage image, QImage layers, Viewport viewport,
                          std::uint64_t generation, bool cancelled) {
    running_ = false;
    if (!layers.isNull()) {
        layersImage_ = std::move(layers);
        layersViewport_ = viewport;
        layersGeneration_ = generation;
    }
    if (!cancelled) {
        frame_ = std::move(image);
        frameViewport_ = viewport;
        update();
    }
    if (dirty_ && isVisible()) {
        startRender();
    } else if (!cancelled) {
        emit renderFinished();
    }
}

void MapCanvas::renderTo(QPainter& painter, const QRectF& target, double decorationScale) const {
    if (target.width() <= 0 || target.height() <= 0) {
        return;
    }
    painter.save();
    painter.translate(target.topLeft());
    painter.setClipRect(QRectF(QPointF(0, 0), target.size()), Qt::IntersectClip);
    MapSnapshot snapshot = makeSnapshot(layers_.layers());
    snapshot.background = background_;
    const Viewport viewport(target.size(), extent());
    MapRenderer::render(painter, viewport, snapshot);
    for (const MapOverlay* overlay : overlays_) {
        if (const auto picture = overlay->picture()) {
            picture->draw(painter, viewport, nullptr);
        }
        overlay->paint(painter, viewport);
    }
    drawMapDecorations(painter, viewport, decorations_, decorationScale);
    painter.restore();
}

std::optional<QRectF> MapCanvas::scaleBarBox() const {
    if (!decorations_.any() || !decorations_.scaleBar) {
        return std::nullopt;
    }
    const double scale = logicalDpiX() > 0 ? logicalDpiX() / 96.0 : 1.0;
    return pelagon::scaleBarBox(view(), *decorations_.projection, scale);
}

void MapCanvas::setDecorations(const MapDecorations& decorations) {
    decorations_ = decorations;
    update();
}

void MapCanvas::setMarker(std::optional<MapPoint> point) {
    marker_ = point;
    update();
}

void MapCanvas::addOverlay(const MapOverlay* overlay) {
    if (overlay != nullptr &&
        std::find(overlays_.begin(), overlays_.end(), overlay) == overlays_.end()) {
        overlays_.push_back(overlay);
        refresh();
    }
}

void MapCanvas::removeOverlay(const MapOverlay* overlay) {
    if (std::erase(overlays_, overlay) > 0) {
        refresh();
    }
}

void MapCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), background_);
    const Viewport& viewport = view();
    if (!frame_.isNull() && frameViewport_.isValid()) {
        if (sameView(frameViewport_, viewport)) {
            p.drawImage(QPointF(0, 0), frame_);
        } else {
            // The last frame, where its extent lies in the current view.
            const MapRect& e = frameViewport_.extent();
            const QRectF target(viewport.toPixel({e.left, e.top}),
                                viewport.toPixel({e.right, e.bottom}));
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(target, frame_);
        }
    }
    if (!highlight_.empty()) {
        MapRenderer overlay(p, viewport);
        std::map<const FeatureStore*, std::vector<FeatureId>> byStore;
        for (const auto& [layer, feature] : highlight_) {
            if (layer && layer->store()) {
                byStore[layer->store().get()].push_back(feature);
            }
        }
        for (const auto& [store, ids] : byStore) {
            overlay.drawHighlight(*store, ids, highlightColor_);
        }
    }
    for (const MapOverlay* overlay : overlays_) {
        overlay->paint(p, viewport);
    }
    // Drawn over the frame rather than into it, so they stay in place while the frame is
    // moved or scaled for a gesture.
    drawMapDecorations(p, viewport, decorations_, 0.0);
    if (marker_) {
        const QPointF at = viewport.toPixel(*marker_);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(Qt::NoBrush);
        for (const auto& [color, width] :
             {std::pair{QColor(Qt::white), 5.0}, std::pair{QColor(220, 0, 0), 2.0}}) {
            p.setPen(QPen(color, width));
            p.drawEllipse(at, 9.0, 9.0);
            p.drawLine(at - QPointF(15, 0), at - QPointF(5, 0));
            p.drawLine(at + QPointF(5, 0), at + QPointF(15, 0));
            p.drawLine(at - QPointF(0, 15), at - QPointF(0, 5));
            p.drawLine(at + QPointF(0, 5), at + QPointF(0, 15));
        }
    }
    if (tool_) {
        tool_->paint(p);
    }
}

void MapCanvas::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    announceExtent();
    if (!sameView(frameViewport_, view())) {
        scheduleRender();
    }
}

void MapCanvas::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (dirty_ || frame_.isNull()) {
        scheduleRender();
    }
}

void MapCanvas::trackRectangle(QPointF start, std::function<void(MapRect)> done) {
    startTool(std::make_unique<RectangleTracker>(*this, start, std::move(done)));
}

void MapCanvas::pan(QPointF start, std::function<void()> done) {
    startTool(std::make_unique<PanTracker>(*this, start, std::move(done)));
}

void MapCanvas::trackLine(QPointF start,
                          std::function<void(std::optional<std::vector<MapPoint>>)> done) {
    startTool(std::make_unique<LineTracker>(*this, start, std::move(done)));
}

void MapCanvas::startTool(std::unique_ptr<MapTool> tool) {
    if (tool_) {
        tool_->cancel();
        endToolIfFinished();
    }
    tool_ = std::move(tool);
    setCursor(tool_->cursor());
    update();
}

void MapCanvas::cancelTool() {
    if (tool_) {
        tool_->cancel();
        endToolIfFinished();
    }
}

void MapCanvas::endToolIfFinished() {
    if (!tool_ || !tool_->finished()) {
        return;
    }
    // Let go of the tool first: its callback may start another one.
    std::unique_ptr<MapTool> done = std::move(tool_);
    unsetCursor();
    update();
    done->complete();
}

void MapCanvas::setHighlight(Highlight features) {
    highlight_ = std::move(features);
    update();
}

void MapCanvas::clearHighlight() {
    if (!highlight_.empty()) {
        highlight_.clear();
        update();
    }
}

void MapCanvas::setHighlightColor(const QColor& c) {
    highlightColor_ = c;
    update();
}

std::optional<MapRect> MapCanvas::zoomedExtent(QPointF windowPos, double factor) const {
    if (!(factor > 0.0) || !std::isfinite(factor) || factor == 1.0) {
        return std::nullopt;
    }
    const double upp = view().mapUnitsPerPixel() * factor;
    // Zooming out stops at a hundred times the map's size, where nothing more is to be seen.
    const MapRect full = fullExtent();
    const double limit = 100.0 * std::max(full.width(), full.height());
    const QSizeF s = view().size();
    if (factor > 1.0 && upp * std::max(s.width(), s.height()) > limit) {
        return std::nullopt;
    }
    const MapPoint p = toMapPoint(windowPos);
    return MapRect{p.x - windowPos.x() * upp, p.x + (s.width() - windowPos.x()) * upp,
                   p.y - (s.height() - windowPos.y()) * upp, p.y + windowPos.y() * upp};
}

void MapCanvas::zoomAbout(QPointF windowPos, double factor) {
    if (const std::optional<MapRect> next = zoomedExtent(windowPos, factor)) {
        setExtent(*next);
    }
}

void MapCanvas::mousePressEvent(QMouseEvent* e) {
    if (tool_) {
        tool_->press(*e);
        endToolIfFinished();
        return;
    }
    emit mouseDown(e->button(), e->modifiers(), e->position());
}

void MapCanvas::mouseMoveEvent(QMouseEvent* e) {
    if (tool_) {
        tool_->move(*e);
        endToolIfFinished();
    }
    emit mouseMove(e->buttons(), e->modifiers(), e->position());
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* e) {
    if (tool_) {
        tool_->release(*e);
        endToolIfFinished();
    }
}

void MapCanvas::mouseDoubleClickEvent(QMouseEvent* e) {
    if (tool_) {
        tool_->doubleClick(*e);
        endToolIfFinished();
        return;
    }
    // Qt turns the second press of a double-click into this event; it is a press all the same.
    emit mouseDown(e->button(), e->modifiers(), e->position());
}

void MapCanvas::wheelEvent(QWheelEvent* e) {
    if (tool_ && !tool_->allowsNavigation()) {
        e->ignore();
        return;
    }
    const double notches = e->angleDelta().y() / 120.0;
    if (notches == 0.0) {
        e->ignore();
        return;
    }
    e->accept();
    // Turning the wheel away from the user zooms in.
    const std::optional<MapRect> next = zoomedExtent(e->position(), std::pow(kWheelStep, -notches));
    if (!next) {
        return;  // at the zoom-out limit: nothing changes, nothing is saved
    }
    if (!lastWheel_.isValid() || lastWheel_.elapsed() >= kWheelGestureMs) {
        emit aboutToNavigate();
    }
    lastWheel_.restart();
    setExtent(*next);
}

void MapCanvas::keyPressEvent(QKeyEvent* e) {
    if (tool_ && tool_->key(*e)) {
        endToolIfFinished();
        return;
    }
    if (tool_ && !tool_->allowsNavigation()) {
        QWidget::keyPressEvent(e);
        return;
    }
    keyNavigation(e);
}

void MapCanvas::keyNavigation(QKeyEvent* e) {
    const MapRect r = extent();
    const double dx = r.width() / 4.0, dy = r.height() / 4.0;
    std::optional<MapRect> next;
    const QPointF centre(view().size().width() / 2.0, view().size().height() / 2.0);
    switch (e->key()) {
        case Qt::Key_Left:
            next = MapRect{r.left - dx, r.right - dx, r.bottom, r.top};
            break;
        case Qt::Key_Right:
            next = MapRect{r.left + dx, r.right + dx, r.bottom, r.top};
            break;
        case Qt::Key_Up:
            next = MapRect{r.left, r.right, r.bottom + dy, r.top + dy};
            break;
        case Qt::Key_Down:
            next = MapRect{r.left, r.right, r.bottom - dy, r.top - dy};
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            next = zoomedExtent(centre, 0.5);
            break;
        case Qt::Key_Minus:
            next = zoomedExtent(centre, 2.0);
            break;
        default:
            QWidget::keyPressEvent(e);
            return;
    }
    e->accept();
    if (!next) {
        return;  // at the zoom-out limit: nothing changes, nothing is saved
    }
    emit aboutToNavigate();
    setExtent(*next);
}

void MapCanvas::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    emit mouseLeave();
}

}  // namespace pelagon
