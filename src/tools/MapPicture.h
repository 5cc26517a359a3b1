#pragma once

#include <QPixmap>
#include <QRectF>
#include <QSize>

class QPainter;

namespace pelagon {

// The picture in the map window's top-left corner: a fishing boat on a northern sea with fish
// below, snowy coast behind and a compass rose, drawn as vectors in code so it is sharp at any
// size and device pixel ratio. Its design size is 177 x 41 (2655 x 615 twips at 96 dots per inch).
constexpr double kMapPictureDesignWidth = 177.0;
constexpr double kMapPictureDesignHeight = 41.0;

// Paints the picture stretched to fill target. The painter's state is restored afterwards.
void paintMapPicture(QPainter& painter, const QRectF& target);

// The picture as a pixmap of logicalSize at devicePixelRatio.
QPixmap mapPicturePixmap(const QSize& logicalSize, qreal devicePixelRatio = 1.0);

}  // namespace pelagon
