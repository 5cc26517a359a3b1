#include "tools/MapPictureBox.h"

#include <QPainter>

#include "common/Twips.h"
#include "map/MapWindowLayout.h"
#include "tools/MapPicture.h"

namespace pelagon {

MapPictureBox::MapPictureBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Picture1"));
    setFixedSize(sizeAtDpi());
}

QSize MapPictureBox::sizeAtDpi() const {
    return {twipsToPixels(mapwindow::kPictureWidth, logicalDpiX()),
            twipsToPixels(mapwindow::kPictureHeight, logicalDpiY())};
}

QSize MapPictureBox::sizeHint() const {
    return sizeAtDpi();
}

void MapPictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintMapPicture(painter, QRectF(rect()));
}

void MapPictureBox::showEvent(QShowEvent* event) {
    // The logical DPI is that of the screen the window ends up on.
    setFixedSize(sizeAtDpi());
    QWidget::showEvent(event);
}

}  // namespace pelagon
