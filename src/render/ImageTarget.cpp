#include "render/ImageTarget.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

namespace pelagon {

std::optional<ImageTarget> ImageTarget::of(QPainter& painter) {
    QPaintDevice* device = painter.device();
    if (device == nullptr || device->devType() != QInternal::Image ||
        painter.paintEngine() == nullptr || painter.paintEngine()->type() != QPaintEngine::Raster) {
        return std::nullopt;
    }
    auto* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    if (format != QImage::Format_ARGB32_Premultiplied && format != QImage::Format_RGB32) {
        return std::nullopt;
    }
    const QTransform t = painter.deviceTransform();
    if (t.type() > QTransform::TxScale || t.m11() <= 0.0 || t.m22() <= 0.0 ||
        painter.hasClipping() || painter.opacity() < 1.0 ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver) {
        return std::nullopt;
    }
    ImageTarget target;
    // The pixels the painter writes to: constBits() does not detach the image from the painter.
    target.bits = const_cast<std::uint8_t*>(image->constBits());
    target.stride = image->bytesPerLine();
    target.width = image->width();
    target.height = image->height();
    target.sx = t.m11();
    target.sy = t.m22();
    target.dx = t.dx();
    target.dy = t.dy();
    return target;
}

}  // namespace pelagon
