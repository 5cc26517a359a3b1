#include "legend/LegendGeometry.h"

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

}  // namespace pelagon::legend
