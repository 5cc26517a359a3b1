#pragma once

#include <QBrush>
#include <QColor>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QtGlobal>

class QPainter;

namespace pelagon {

// The drawn meaning of symbols, shared by the map and the legend so a legend swatch looks
// exactly like the layer on the map.
//
// Sizes are given for a 96-dpi screen and scaled by the painter's device (scale = logical dpi /
// 96), so a hatch has the same spacing on screen, in a PDF and on a 600-dpi printer.
//
// Style codes, by symbol kind:
//   Fill (area layers):  0 solid, 1 transparent (outline only), 2 horizontal lines,
//     3 vertical lines, 4 upward diagonal (/), 5 downward diagonal (\), 6 cross,
//     7 diagonal cross, 8/9/10 light, medium and dark screens of the colour (25, 50 and 75 %
//     opacity: a dense even tone rather than a dot pattern, which would shimmer when zoomed).
//     Hatch lines are 1 px wide, 8 px apart, in the symbol colour over a transparent ground.
//     Other codes fill solid. The outline is 1 px in the outline colour.
//   Line (line layers):  0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, 5 long dash,
//     1 px wide; other codes draw solid.
//   Marker (point layers): 0 circle, 1 square, 2 triangle, 3 cross (+), 4 diagonal cross (x),
//     5 diamond, 6 star, 7 ring (circle outline), 8 square outline; 7 px across, filled in the
//     symbol colour with a thin darker rim; other codes draw circles.
enum class SymbolKind { Marker = 0, Line = 1, Fill = 2 };

namespace style {
constexpr int Solid = 0;
constexpr int Transparent = 1;
constexpr int HorizontalLines = 2;
constexpr int VerticalLines = 3;
constexpr int UpwardDiagonal = 4;
constexpr int DownwardDiagonal = 5;
constexpr int Cross = 6;
constexpr int DiagonalCross = 7;
constexpr int LightGray = 8;
constexpr int Gray = 9;
constexpr int DarkGray = 10;
}  // namespace style

namespace symbology {

constexpr double kLineWidth = 1.0;     // px at 96 dpi
constexpr double kOutlineWidth = 1.0;  // px at 96 dpi
constexpr double kHatchSpacing = 8.0;  // px at 96 dpi
constexpr double kMarkerSize = 7.0;    // px at 96 dpi

// A colour value red + 256 * green + 65536 * blue as a colour, and back.
QColor colorFromValue(qint32 value);
qint32 valueFromColor(const QColor& color);

// The symbol kind that draws a layer of a geometry kind code (21 points, 22 lines, other areas).
SymbolKind kindForShapeType(int shapeType);

// Device scale of a painter: its device's logical dpi / 96 (1 when it has no device).
double deviceScale(const QPainter& painter);

// The brush of a fill style. Hatches are texture brushes drawn for the given scale and device
// pixel ratio; Qt::NoBrush for transparent fills.
QBrush fillBrush(const QColor& color, int style, double scale, double devicePixelRatio = 1.0);
bool isHatch(int style);

QPen outlinePen(const QColor& color, double scale);
QPen linePen(const QColor& color, int style, double scale);

// A marker's outline centred on (0, 0) for its style, size kMarkerSize * scale; whether it is
// filled (cross markers are only stroked).
QPainterPath markerPath(int style, double scale);
bool markerIsFilled(int style);
// Draws one marker centred at p.
void drawMarker(QPainter& painter, QPointF p, const QColor& color, int style, double scale);

// Draws the symbol of a kind into a rectangle, as the legend shows it: a filled and outlined box
// for fills, a horizontal line through the middle for lines (a rectangle of height 0 is fine),
// a marker in the middle for markers. The painter's state is kept.
void drawSwatch(QPainter& painter, const QRectF& rect, SymbolKind kind, qint32 color,
                qint32 outlineColor, int style);

}  // namespace symbology
}  // namespace pelagon
