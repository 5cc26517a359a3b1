#pragma once

#include <QList>
#include <QRectF>

class QPainter;
class QPainterPath;

namespace pelagon {

// The small pictures above the captions of the toolbar faces.
enum class FaceSymbol {
    Globe,              // full extent
    MagnifierPlus,      // zoom in
    MagnifierMinus,     // zoom out
    ArrowAndMagnifier,  // last extent: a yellow arrow pointing left before a magnifier
    OpenHand,           // pan
    Angelfish,          // the fish tool: a striped angelfish
    Printer,            // print
    RulerAndArrow,      // measure: a double-headed arrow over a ruler
    Magnifier,          // the preset regions
};

// Draws a symbol as vectors, fitted and centred in box (keeping its proportions). The painter's
// state is restored afterwards.
void drawFaceSymbol(QPainter& painter, FaceSymbol symbol, const QRectF& box);

// The Fish Tool's angelfish in the design units below, facing left: its outline (body, fins and
// tail) and the dark bands across it, which are drawn inside the outline only. The program's icon
// is drawn from them too.
QPainterPath angelfishOutline();
QList<QRectF> angelfishBands();

// The design size of every symbol, in the units the drawing code uses (width x height).
constexpr double kSymbolDesignWidth = 24.0;
constexpr double kSymbolDesignHeight = 22.0;

}  // namespace pelagon
