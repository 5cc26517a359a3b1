#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>

#include <functional>

class QPainter;

namespace pelagon {

// Draws the displayed map onto painter at the displayed extent, as vectors, fitted into target
// (in the painter's device units) with the same renderer as the screen. Returns false when it
// could not draw; it may also throw. It must not change the displayed extent.
using MapPainter = std::function<bool(QPainter& painter, const QRectF& target)>;

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
};

}  // namespace pelagon
