#pragma once

#include <QRectF>
#include <QSize>
#include <QSizeF>

namespace pelagon {

// The physical size, in inches, of a picture of the given pixels at devicePixelRatio and the
// given dots per metre across and down: its logical size at its own resolution. A grabbed window
// carries the screen's logical resolution, so this is the size the window has on screen. A
// resolution that is not positive counts as 96 dots per inch, the usual logical screen
// resolution; a ratio that is not positive counts as 1.
QSizeF pictureSizeInches(const QSize& pixels, double devicePixelRatio, int dotsPerMeterX,
                         int dotsPerMeterY);

// A rectangle of the given size placed at the top-left corner of area and shrunk, keeping its
// aspect, when it is wider or taller than area. It is never enlarged. An empty size gives an
// empty rectangle at the corner.
QRectF placeWithin(const QSizeF& size, const QRectF& area);

// The largest rectangle of the given aspect (width / height) centred in area; area itself when
// the aspect is not a positive finite number.
QRectF fitAspect(double aspect, const QRectF& area);

}  // namespace pelagon
