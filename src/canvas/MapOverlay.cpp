#include "canvas/MapOverlay.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>

#include "render/Viewport.h"

namespace pelagon {

PictureSurface PictureSurface::of(const QPainter& painter) {
    PictureSurface surface;
    const QPaintDevice* device = painter.device();
    if (device == nullptr) {
        return surface;
    }
    surface.known = true;
    surface.pixels = QSize(device->width(), device->height());
    surface.ratio = device->devicePixelRatioF();
    surface.dpi = device->logicalDpiX();
    surface.raster =
        painter.paintEngine() != nullptr && painter.paintEngine()->type() == QPaintEngine::Raster;
    surface.plain = painter.transform().isIdentity();
    return surface;
}

namespace {

// A picture drawn as it is, nothing done beforehand.
class DrawnLater : public PreparedPicture {
public:
    DrawnLater(const OverlayPicture& picture, const Viewport& viewport)
        : picture_(picture), viewport_(viewport) {}
    bool draw(QPainter& painter, const std::atomic<bool>* cancel) const override {
        return picture_.draw(painter, viewport_, cancel);
    }

private:
    const OverlayPicture& picture_;
    Viewport viewport_;
};

}  // namespace

std::unique_ptr<PreparedPicture> OverlayPicture::prepare(
    const PictureSurface& /*surface*/, const Viewport& viewport,
    const std::atomic<bool>* /*cancel*/) const {
    return std::make_unique<DrawnLater>(*this, viewport);
}

}  // namespace pelagon
