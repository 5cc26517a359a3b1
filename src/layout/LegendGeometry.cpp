#include "layout/LegendGeometry.h"

#include <algorithm>
#include <cmath>

namespace pelagon::legend {

int availRows(double panelHeightTwips, double rowSpacing) {
    const double rows = (panelHeightTwips / kTwipsPerRowUnit) / rowSpacing - 1.0;
    return std::max(0, static_cast<int>(std::nearbyint(rows)));
}

int legendWidth(int longestName) {
    return longestName + kSwatchWidth + 2;
}

double panelWidthTwips(int legendCols, int legendWidthCells) {
    return std::max(0.0, legendCols * (legendWidthCells * kTwipsPerCellX) - 500.0);
}

bool mayNeedScrollBar(int rowSlots, int availRows) {
    return rowSlots > availRows - 1;
}

double fittedPanelWidthTwips(double panelWidth, double boxTwips, bool scrollBar,
                             double frameTwips) {
    const double rows = (kSwatchWidth + 1) * kTwipsPerCellX + boxTwips + kRowMarginTwips;
    const double needed = rows + (scrollBar ? kScrollBarWidthTwips : 0.0) + frameTwips;
    return std::max(panelWidth, needed);
}

}  // namespace pelagon::legend
