#include "tools/MapPictureBox.h"

#include <QPainter>

#include "common/Twips.h"
#include "tools/MapPicture.h"

namespace pelagon {

MapPictureBox::MapPictureBox(QSizeF sizeTwips, QWidget* parent)
    : QWidget(parent), sizeTwips_(sizeTwips) {
    setObjectName(QStringLiteral("Picture1"));
    setFixedSize(sizeAtDpi());
}

QSize MapPictureBox::sizeAtDpi() const {
    return {twipsToPixels(sizeTwips_.width(), logicalDpiX()),
            twipsToPixels(sizeTwips_.height(), logicalDpiY())};
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
