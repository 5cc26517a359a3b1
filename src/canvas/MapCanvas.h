#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QThreadPool>
#include <QWidget>

#include <atomic>
#include <functional>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "common/MapTypes.h"
#include "render/LayerHost.h"
#include "render/MapDecorations.h"
#include "render/MapLayerList.h"
#include "render/Viewport.h"
#include "store/FeatureStore.h"

namespace pelagon {

class MapLayer;
class MapOverlay;
class MapTool;

// The map control, theMap: shows the map's layers at an extent, draws them on a worker thread,
// and runs the interactive rectangle, pan and line tracking.
//
// Frames are drawn from a snapshot of the layers into an image on one worker thread; a frame
// made stale by a newer request is cancelled. Until the new frame lands the last one is shown
// moved and scaled to the new extent, and a pan only moves that image.
//
// On resize the canvas shows the last requested rectangle again, centred and widened to the new
// shape, so a map set to its full extent keeps showing all of it.
//
// Mouse and keys: every press emits mouseDown and every move mouseMove, except that presses
// belong to an active tracking operation while one runs. The wheel zooms about the pointer, the
// arrow keys move the map by a quarter of the view, + and - zoom in and out twice about the
// centre; before each such gesture (wheel notches less than 400 ms apart are one gesture, each
// key press is one) aboutToNavigate() is emitted once, and only when the gesture changes the
// extent: a wheel notch or a "-" at the zoom-out limit announces nothing.
class MapCanvas : public QWidget, public LayerHost {
    Q_OBJECT
public:
    using Highlight = std::vector<std::pair<std::shared_ptr<MapLayer>, FeatureId>>;

    static constexpr double kWheelStep = 1.25;   // zoom factor per wheel notch
    static constexpr int kWheelGestureMs = 400;  // notches closer than this are one gesture

    explicit MapCanvas(QWidget* parent = nullptr);
    ~MapCanvas() override;

    // The displayed extent (a copy).
    MapRect extent() const { return view().extent(); }
    // Shows the whole rectangle, centred, widened to the canvas's shape, and draws it.
    // Rectangles with edges that are not finite numbers are ignored.
    void setExtent(const MapRect& rect);
    // Shows a rectangle by moving and scaling the last frame only; the next setExtent or
    // refresh draws. For gestures in progress (a pan drag).
    void previewExtent(const MapRect& rect);
    // Encloses every layer added (MapLayerList::kEmptyExtent when there is none).
    MapRect fullExtent() const override;
    double mapUnitsPerPixel() const { return view().mapUnitsPerPixel(); }
    // The canvas's current viewport (its size in logical pixels and the extent shown).
    const Viewport& viewport() const { return view(); }

    MapPoint toMapPoint(QPointF windowPos) const { return view().toMap(windowPos); }
    QPointF toWindowPoint(MapPoint p) const { return view().toPixel(p); }

    // Adds a layer at position 0 (on top). Until an extent is set, the canvas shows the full
    // extent of its layers.
    void addLayer(std::shared_ptr<MapLayer> layer) override;
    const std::vector<std::shared_ptr<MapLayer>>& layers() const { return layers_.layers(); }

    // Draws the map again now (after a change of a layer's visibility or symbol).
    void refresh();
    // Whether a frame is being drawn.
    bool isRendering() const { return running_; }

    // Draws the displayed extent, fitted to the target, with the same renderer, before
    // returning: for printing, export and tests. The scale bar and graticule are drawn at
    // decorationScale (0: the device's resolution's, as on a printed page).
    void renderTo(QPainter& painter, const QRectF& target, double decorationScale = 0.0) const;

    // The scale bar and graticule over the map, on screen and in renderTo.
    void setDecorations(const MapDecorations& decorations);
    const MapDecorations& decorations() const { return decorations_; }
    // The scale bar's box on screen (widget pixels), when one is drawn.
    std::optional<QRectF> scaleBarBox() const;

    // A marker at a map point (a position gone to), drawn on screen over the map until it is
    // cleared; nullopt clears it.
    void setMarker(std::optional<MapPoint> point);
    const std::optional<MapPoint>& marker() const { return marker_; }

    void setBackgroundColor(const QColor& c);
    QColor backgroundColor() const { return background_; }

    // Interactive operations, started from a mouseDown handler with the press position; each
    // ends by itself and then calls back (see the tools for the details).
    void trackRectangle(QPointF start, std::function<void(MapRect)> done);
    void pan(QPointF start, std::function<void()> done);
    void trackLine(QPointF start, std::function<void(std::optional<std::vector<MapPoint>>)> done);
    // Abandons the operation in progress, as Esc does.
    void cancelTool();
    bool toolActive() const { return tool_ != nullptr; }

    // Outlines features on top of the map until clearHighlight or the next change of extent.
    void setHighlight(Highlight features);
    void clearHighlight();
    const Highlight& highlight() const { return highlight_; }
    void setHighlightColor(const QColor& c);

    // Overlays drawn above every layer, in the order added; the canvas does not own them. Their
    // pictures go into the frame (refresh() draws a change of one), their paint() over the
    // frame and the highlight (update() shows a change of it).
    void addOverlay(const MapOverlay* overlay);
    void removeOverlay(const MapOverlay* overlay);
    // Draws a new frame for a change of the overlays' pictures alone: while the view and the
    // layers stay as they were, the layers of the last frame are reused and only the pictures
    // are drawn again (a track played in time).
    void refreshPictures();

    // One navigation step: zoom by factor (< 1 zooms in) keeping the map point under windowPos
    // where it is. Zooming out stops at a hundred times the map's size: there it changes nothing.
    void zoomAbout(QPointF windowPos, double factor);
    // The extent zoomAbout would show; nullopt where it would change nothing.
    std::optional<MapRect> zoomedExtent(QPointF windowPos, double factor) const;

signals:
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPointF pos);
    void mouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPointF pos);
    // The pointer has left the canvas.
    void mouseLeave();
    void extentChanged(pelagon::MapRect extent);
    void aboutToNavigate();
    // A frame has been drawn and is shown.
    void renderFinished();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    // The viewport for the widget's present size: a hidden widget learns of a resize only when
    // it is shown, but its extent must follow at once.
    const Viewport& view() const;
    void announceExtent();
    void applyExtent(const MapRect& rect, bool draw);
    void scheduleRender();
    void startRender();
    void frameDone(QImage image, QImage layers, Viewport viewport, std::uint64_t generation,
                   bool cancelled);
    void startTool(std::unique_ptr<MapTool> tool);
    void endToolIfFinished();
    void keyNavigation(QKeyEvent* e);

    MapLayerList layers_;
    MapRect requested_ = MapLayerList::kEmptyExtent;
    bool extentSet_ = false;
    mutable Viewport viewport_;
    MapRect announced_;  // the extent last told through extentChanged
    QColor background_ = Qt::white;

    // The last frame drawn and the viewport it was drawn for.
    QImage frame_;
    Viewport frameViewport_;
    QThreadPool pool_;
    bool running_ = false;
    bool dirty_ = false;
    std::shared_ptr<std::atomic<bool>> cancel_;
    // The layers alone as last drawn, for frames in which only the pictures change: valid for
    // layersViewport_ while layersGeneration_ is generation_ (which every change but a
    // picture's moves on).
    QImage layersImage_;
    Viewport layersViewport_;
    std::uint64_t generation_ = 0;
    std::uint64_t layersGeneration_ = 0;

    std::unique_ptr<MapTool> tool_;
    Highlight highlight_;
    MapDecorations decorations_;
    std::optional<MapPoint> marker_;
    std::vector<const MapOverlay*> overlays_;
    QColor highlightColor_ = QColor(0, 255, 255);
    QElapsedTimer lastWheel_;
};

}  // namespace pelagon

Q_DECLARE_METATYPE(pelagon::MapRect)
