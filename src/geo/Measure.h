#pragma once

#include <QLocale>
#include <QString>

#include <vector>

#include "common/MapTypes.h"

namespace pelagon {

// Title of the message box that shows a measurement.
inline constexpr char kMeasureTitle[] = "Distance";

// Length of a path of straight segments in the map plane, in nautical miles (1852 metres). The sum
// is kept in single precision the way the measure tool always has: each segment's differences are
// stored as singles, its length taken in double and added into a single total.
float measureTotalNauticalMiles(const std::vector<MapPoint>& path);

// The measure tool's report of a path, e.g. "2 segments, total distance 5.94 nautical miles",
// with the locale's group and decimal separators. "segment" takes the plural unless the path has
// exactly two vertices; one vertex reads "0 segments, total distance 0.0 nautical miles".
// An empty path (tracking abandoned) gives an empty text: there is nothing to report.
QString measureMessage(const std::vector<MapPoint>& path, const QLocale& locale = QLocale());

}  // namespace pelagon
