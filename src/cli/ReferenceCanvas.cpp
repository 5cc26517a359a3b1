#include "cli/ReferenceCanvas.h"

#include "app/MapWindowLayout.h"
#include "common/Twips.h"
#include "legend/LegendGeometry.h"
#include "render/Viewport.h"
#include "reports/LayerQuery.h"

namespace pelagon::cli {

QSize mapCanvasSize(int longestName, QSize screen, double dpi) {
    // The maximized frame takes the whole screen; the legend is one column as wide as the
    // longest name plus its swatch.
    const double legendWidth = legend::panelWidthTwips(1, legend::legendWidth(longestName));
    const FramePlacement placement = placeInFrame(pixelsToTwips(screen.width(), dpi),
                                                  pixelsToTwips(screen.height(), dpi), legendWidth);
    // The map window gets whole pixels; its inside is arranged from that outer size and the
    // toolbar's width in whole pixels, as the window does.
    const int windowWidth = twipsToPixels(placement.mapWidth, dpi);
    const int windowHeight = twipsToPixels(placement.mapHeight, dpi);
    const int toolbar = twipsToPixels(mapwindow::kToolbarWidth, dpi);
    const MapWindowArrangement a =
        arrangeMapWindow(pixelsToTwips(windowWidth, dpi), pixelsToTwips(windowHeight, dpi),
                         pixelsToTwips(toolbar, dpi));
    return {twipsToPixels(a.mapWidth, dpi), twipsToPixels(a.mapHeight, dpi)};
}

QSize referenceCanvasSize(int longestName) {
    return mapCanvasSize(longestName, {kReferenceScreenWidth, kReferenceScreenHeight},
                         kReferenceDpi);
}

double toleranceAtExtent(const MapRect& fullExtent, QSize canvasSize) {
    return queryTolerance(Viewport(QSizeF(canvasSize), fullExtent).mapUnitsPerPixel());
}

}  // namespace pelagon::cli
