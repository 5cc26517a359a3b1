#pragma once

#include <QIcon>
#include <QList>
#include <QRectF>

class QPainter;

namespace pelagon {

// The program's icon: the Fish Tool's angelfish on a rounded tile of sea, over the arcs of a
// chart's graticule. Drawn as vectors (no clipping, so an SVG painter takes it as it is).
void paintAppIcon(QPainter& painter, const QRectF& target);

// The sizes, in pixels, the icon is rendered at for the icon theme and the window.
QList<int> appIconSizes();

// The icon at every size of appIconSizes(), for the program's windows.
QIcon appIcon();

}  // namespace pelagon
