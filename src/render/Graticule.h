#pragma once

#include <QFont>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <optional>
#include <vector>

#include "geo/AlbersProjection.h"
#include "render/Viewport.h"

namespace pelagon {

// The geographic bounds of what a view shows, in degrees, with longitudes measured from the
// projection's central meridian (so a view across 180° is one range). Nothing when no point of
// the view has a position.
struct GeoBounds {
    double latMin = 0, latMax = 0;
    double dLonMin = 0, dLonMax = 0;  // longitude − central meridian, in (−180, 180]
};
std::optional<GeoBounds> viewBounds(const Viewport& viewport, const AlbersProjection& projection);

// The spacings a graticule may take, in seconds of arc, coarsest first: 10°, 5°, 1°, 30′, 10′,
// 5′, 1′, 30″, 10″, 5″, 1″ (views a few dozen metres across still get two lines each way).
const std::vector<int>& graticuleSpacings();
inline constexpr int kMaxGraticuleLines = 8;
inline constexpr int kMinGraticuleLines = 2;

// How many parallels and meridians of a spacing (seconds) lie within the bounds, the meridians
// at absolute longitudes (the bounds' plus centralLon); the poles are no lines.
struct GraticuleCount {
    int parallels = 0;
    int meridians = 0;
};
GraticuleCount graticuleCount(const GeoBounds& bounds, double centralLon, int seconds);

// The spacing for a view of these bounds: the finest that draws at most kMaxGraticuleLines lines
// each way, unless that leaves fewer than kMinGraticuleLines one way; then the coarsest that draws
// at least that many each way (the finest spacing when none does). Both choices only grow as the
// view grows, so the spacing falls steadily as one zooms in.
int graticuleSpacing(const GeoBounds& bounds, double centralLon);

// An angle of whole seconds as the graticule labels it: "57°N", "57°30′N", "57°30′15″N",
// "152°10′W", "0°", "180°".
QString graticuleLabel(int seconds, bool latitude);

// The font of the scale bar's and graticule's texts at a symbol scale (1 for a 96-dpi screen).
QFont decorationFont(double scale);

// Where the graticule of a view goes: its lines in surface units, and one label per line where
// the line meets an edge of the view: parallels on the left edge, else the right, top or bottom;
// meridians on the bottom, else the top, left or right. A label lies whole inside the view,
// clear of the other labels and of keepClear (the scale bar's box); a line where no place is
// free goes unlabelled.
struct GraticuleLabel {
    QString text;
    QPointF baseline;  // where the text starts, on its baseline
    QRectF box;        // the text's box, halo included
    bool meridian = false;
};
struct GraticuleLayout {
    int spacing = 0;  // seconds of arc
    std::vector<QPolygonF> lines;
    std::vector<GraticuleLabel> labels;
    int labelledParallels() const;
    int labelledMeridians() const;
};
GraticuleLayout graticuleLayout(const Viewport& viewport, const AlbersProjection& projection,
                                double scale, const std::optional<QRectF>& keepClear);

}  // namespace pelagon
