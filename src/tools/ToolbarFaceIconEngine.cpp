#include "tools/ToolbarFaceIconEngine.h"

#include <QPainter>
#include <QPixmapCache>

#include "tools/ToolbarFaces.h"

namespace pelagon {

ToolbarFaceIconEngine::ToolbarFaceIconEngine(int imageNumber) : imageNumber_(imageNumber) {}

void ToolbarFaceIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
                                  QIcon::State) {
    const QSize size = actualSize(rect.size(), mode, QIcon::Off);
    QRectF target(QPointF(0, 0), QSizeF(size));
    target.moveCenter(QRectF(rect).center());
    paintToolbarFace(*painter, target, imageNumber_, mode != QIcon::Disabled);
}

QSize ToolbarFaceIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State) {
    // The face keeps its proportions inside the requested size.
    return toolbarFaceSize().scaled(size, Qt::KeepAspectRatio);
}

QPixmap ToolbarFaceIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    return scaledPixmap(size, mode, state, 1.0);
}

QPixmap ToolbarFaceIconEngine::scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                                            qreal scale) {
    // size is in device pixels; the pixmap is drawn at exactly that resolution.
    const QSize pixels = actualSize(size, mode, state);
    if (pixels.isEmpty()) {
        return {};
    }
    const bool enabled = mode != QIcon::Disabled;
    const QString cacheKey = QStringLiteral("pelagon-face-%1-%2x%3-%4")
                                 .arg(imageNumber_)
                                 .arg(pixels.width())
                                 .arg(pixels.height())
                                 .arg(enabled ? 1 : 0);
    QPixmap pixmap;
    if (!QPixmapCache::find(cacheKey, &pixmap)) {
        pixmap = toolbarFacePixmap(imageNumber_, 1.0, pixels, enabled);
        QPixmapCache::insert(cacheKey, pixmap);
    }
    pixmap.setDevicePixelRatio(scale > 0 ? scale : 1.0);
    return pixmap;
}

QList<QSize> ToolbarFaceIconEngine::availableSizes(QIcon::Mode, QIcon::State) {
    return {toolbarFaceSize()};
}

QString ToolbarFaceIconEngine::key() const {
    return QStringLiteral("pelagon-toolbar-face");
}

QIconEngine* ToolbarFaceIconEngine::clone() const {
    return new ToolbarFaceIconEngine(imageNumber_);
}

QIcon toolbarFaceIcon(int imageNumber) {
    return QIcon(new ToolbarFaceIconEngine(imageNumber));
}

}  // namespace pelagon
