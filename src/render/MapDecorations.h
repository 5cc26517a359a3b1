#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

#include "common/MapTypes.h"
#include "geo/AlbersProjection.h"
#include "render/Graticule.h"
#include "render/Viewport.h"

class QPainter;

namespace pelagon {

// What is drawn over the map's layers: a scale bar and a graticule. Both need the map's
// projection; without one nothing is drawn.
struct MapDecorations {
    bool scaleBar = false;
    bool graticule = false;
    std::optional<AlbersProjection> projection;

    bool any() const { return projection && (scaleBar || graticule); }
};

// The largest length of the form 1, 2 or 5 × 10ⁿ that is not above limit (limit > 0).
double roundLengthAtMost(double limit);

// Map units (metres of the projection's plane) per metre on the ground along the parallel at a
// map point: the projection's scale along the parallel there. Nothing for a point outside the
// projection.
std::optional<double> parallelScale(const AlbersProjection& projection, MapPoint at);

// The bars of the scale bar: a round length in nautical miles and one in kilometres, each with
// its width in surface units, for a view whose centre decides the scale.
struct ScaleBarLayout {
    double nauticalMiles = 0;
    double nauticalMileWidth = 0;
    double kilometres = 0;
    double kilometreWidth = 0;
};

// The scale bar of a view: the longest round lengths whose bars are at most maxWidth surface
// units wide. Nothing when the view's centre lies outside the projection.
std::optional<ScaleBarLayout> scaleBarLayout(const Viewport& viewport,
                                             const AlbersProjection& projection, double maxWidth);

// A length as the scale bar writes it: "20 nm", "0.5 nm", "2,000 km" (the C locale's digits).
QString scaleBarText(double value, const QString& unit);

// The box of the scale bar that drawMapDecorations draws at this symbol scale: against the
// bottom-left corner. Nothing when the view is too small for it or has no scale.
std::optional<QRectF> scaleBarBox(const Viewport& viewport, const AlbersProjection& projection,
                                  double scale);

// The symbol scale of the decorations on an output of output pixels that shows what the screen
// shows at shown pixels: as large as on screen relative to the map, as a printed page has them,
// and never smaller than on screen.
double outputDecorationScale(QSizeF output, QSizeF shown);

// Draws the decorations over what is on the painter, for the viewport's surface. scale is the
// symbol scale (1 for a 96-dpi screen) that sizes lines and text.
void drawMapDecorations(QPainter& painter, const Viewport& viewport,
                        const MapDecorations& decorations, double scale);

}  // namespace pelagon
