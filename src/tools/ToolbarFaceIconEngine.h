#pragma once

#include <QIconEngine>

namespace pelagon {

// An icon that paints a toolbar face (see ToolbarFaces.h) at whatever size and device pixel ratio
// it is asked for, so toolbar buttons stay sharp on high-density screens. The disabled mode
// shows the face dimmed.
class ToolbarFaceIconEngine : public QIconEngine {
public:
    explicit ToolbarFaceIconEngine(int imageNumber);

    int imageNumber() const { return imageNumber_; }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QString key() const override;
    QIconEngine* clone() const override;

private:
    int imageNumber_;
};

// The icon of a toolbar face; image numbers 1..22.
QIcon toolbarFaceIcon(int imageNumber);

}  // namespace pelagon
