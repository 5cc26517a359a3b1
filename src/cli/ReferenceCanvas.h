#pragma once

#include <QSize>
#include <QStringList>

#include "common/MapTypes.h"

namespace pelagon::cli {

// The screen that the tool's defaults are taken for: the viewer's frame maximized on a
// 1920 x 1080 screen at 96 dpi.
constexpr int kReferenceScreenWidth = 1920;
constexpr int kReferenceScreenHeight = 1080;
constexpr double kReferenceDpi = 96.0;

// The map window's frame around the legend, both sides together, in pixels at 96 dpi: the
// widget style's frame of a child window.
constexpr double kReferenceLegendFrame96 = 8;

// The title bar's icon and buttons beside the legend window's title, in pixels at 96 dpi: the
// widget style's.
constexpr double kReferenceTitleBarParts96 = 80;

// The size in pixels of the viewer's map control with its frame maximized on a screen whose
// available area is screen pixels at dpi, for a map with these layer names: the frame placement,
// legend width (the longest name, widened where a name or the legend's title needs more room) and
// map window arrangement are the viewer's own layout functions.
QSize mapCanvasSize(const QStringList& layerNames, QSize screen, double dpi);

// The same on the reference screen.
QSize referenceCanvasSize(const QStringList& layerNames);

// The search tolerance, in map units, of a click on a map control of canvasSize pixels showing
// fullExtent: what the viewer uses for a click right after opening the map.
double toleranceAtExtent(const MapRect& fullExtent, QSize canvasSize);

}  // namespace pelagon::cli
