#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>

class QPainter;

namespace pelagon {

// Draws the displayed map onto painter at the displayed extent, as vectors, fitted into target
// (in the painter's device units) with the same renderer as the screen. Returns false when it
// could not draw; it may also throw. It must not change the displayed extent.
using MapPainter = std::function<bool(QPainter& painter, const QRectF& target)>;

// Draws rows of the legend as vectors into area (the painter's device units), starting at row
// firstRow, as many as fit. Returns the row to go on with on the next page, or -1 when every row
// has been drawn.
using LegendPainter = std::function<int(QPainter& painter, const QRectF& area, int firstRow)>;

// What the print command prints, handed over by the map window.
struct PrintSources {
    // The map component's drawing of the displayed map (the canvas's renderTo).
    MapPainter paintMap;

    // The map's size on screen, in inches. Used only when the map is printed at its screen size
    // rather than fitted to the page; when it is not set, the map is fitted.
    std::function<QSizeF()> mapScreenSizeInches;

    // An image of the legend window in its current state (LayerListForm::printImage). It is
    // printed at its physical size: its logical size (pixels / devicePixelRatio) at its own dots
    // per metre, which for a grabbed window is the screen's logical resolution. A null image
    // counts as a failure of the legend.
    std::function<QImage()> legendImage;

    // The legend drawn as vectors, every row in order, over as many pages as it takes. When set
    // it is printed instead of legendImage.
    LegendPainter paintLegend;

    // The map's name (the definition's file name), printed under the map with the date. The map
    // page also takes the orientation of the map's shape (mapScreenSizeInches) unless the user
    // chose another in the printer dialog, and keeps the map's aspect ratio.
    QString mapName;
};

}  // namespace pelagon
