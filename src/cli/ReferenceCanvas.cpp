#include "cli/ReferenceCanvas.h"

#include <QGuiApplication>

#include <algorithm>
#include <cmath>

#include "common/Twips.h"
#include "layout/LegendGeometry.h"
#include "layout/LegendText.h"
#include "layout/MapWindowLayout.h"
#include "query/LayerQuery.h"
#include "render/Viewport.h"

namespace pelagon::cli {

QSize mapCanvasSize(const QStringList& layerNames, QSize screen, double dpi) {
    // The maximized frame takes the whole screen; the legend is one column as wide as the
    // longest name plus its swatch, or as its widest check box needs.
    const double frameWidth = pixelsToTwips(screen.width(), dpi);
    const double frameHeight = pixelsToTwips(screen.height(), dpi);
    int longestName = 0;
    for (const QString& name : layerNames) {
        longestName = std::max(longestName, static_cast<int>(name.size()));
    }
    const int availRows = legend::availRows(placeInFrame(frameWidth, frameHeight, 0).legendHeight);
    const double legendWidth = std::max(
        legend::fittedPanelWidthTwips(
            legend::panelWidthTwips(1, legend::legendWidth(longestName)),
            legend::widestCheckBoxTwips(layerNames, dpi),
            legend::mayNeedScrollBar(static_cast<int>(layerNames.size()), availRows),
            pixelsToTwips(kReferenceLegendFrame96 * dpi / 96.0, dpi)),
        pixelsToTwips(legend::wholeTitlePixels(
                          legend::legendTitle(), QGuiApplication::font(),
                          static_cast<int>(std::lround(kReferenceTitleBarParts96 * dpi / 96.0))),
                      dpi));
    const FramePlacement placement = placeInFrame(frameWidth, frameHeight, legendWidth);
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

QSize referenceCanvasSize(const QStringList& layerNames) {
    return mapCanvasSize(layerNames, {kReferenceScreenWidth, kReferenceScreenHeight},
                         kReferenceDpi);
}

double toleranceAtExtent(const MapRect& fullExtent, QSize canvasSize) {
    return queryTolerance(Viewport(QSizeF(canvasSize), fullExtent).mapUnitsPerPixel());
}

}  // namespace pelagon::cli
