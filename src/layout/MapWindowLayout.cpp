#include "layout/MapWindowLayout.h"

#include <algorithm>
#include <cmath>

#include "layout/LegendGeometry.h"

namespace pelagon {

namespace {

// The widest the legend may be: two fifths of the frame, less where that leaves the map window
// its least width; but where the frame cannot give the map window that beside a legend of
// 20-character names, the legend does not give way (the window's controls are cut either way).
double legendCap(double frameWidth, double leastMapWidth) {
    const double room = frameWidth - mapwindow::kFrameSideMargin - leastMapWidth;
    const double share = frameWidth * kMostLegendShare;
    return room >= kLeastLegendCap ? std::min(share, room) : share;
}

}  // namespace

FramePlacement placeInFrame(double frameWidth, double frameHeight, double legendWidthTwips,
                            double leastMapWidth) {
    FramePlacement p;
    p.legendTop = 0;
    p.legendHeight = std::max(0.0, frameHeight - legend::kFrameMarginTwips);
    p.mapHeight = p.legendHeight;
    p.legendWidth =
        std::clamp(legendWidthTwips, 0.0, std::max(kLeastLegendCap, legendCap(frameWidth, leastMapWidth)));
    p.mapWidth = std::max(0.0, frameWidth - p.legendWidth - mapwindow::kFrameSideMargin);
    p.legendLeft = p.mapWidth;
    return p;
}

MapWindowArrangement arrangeMapWindow(double windowWidth, double windowHeight,
                                      double toolbarWidth) {
    MapWindowArrangement a;
    // A is held in a wide type: windows wider than 32767 twips work as well.
    const double A = std::max(0.0, std::nearbyint(windowWidth - toolbarWidth));
    const double H = std::max(0.0, windowHeight);
    a.mapWidth = A * 0.95;
    a.mapHeight = H * 0.85;
    a.mapLeft = toolbarWidth + A * 0.025;
    a.mapTop = H * 0.06;
    a.statusStrip = A < mapwindow::kButtonFrameWidth + mapwindow::kPositionFieldWidth +
                            2 * mapwindow::kControlGap + mapwindow::kWindowFrameAllowance;
    if (a.statusStrip) {
        a.statusStripHeight = std::min(mapwindow::kButtonFrameHeight, a.mapHeight / 4);
        a.mapHeight -= a.statusStripHeight;
    }
    a.buttonFrameTop = a.mapTop + a.mapHeight + a.statusStripHeight;
    a.buttonFrameLeft = toolbarWidth;
    return a;
}

}  // namespace pelagon
