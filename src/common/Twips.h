#pragma once

#include <QtGlobal>

#include <cmath>

namespace pelagon {

// Window geometry is computed in twips (1/1440 inch) and converted to pixels at the edge, at the
// logical DPI of the screen the window is on.
constexpr double kTwipsPerInch = 1440.0;

inline int twipsToPixels(double twips, double logicalDpi) {
    return static_cast<int>(std::lround(twips * logicalDpi / kTwipsPerInch));
}

inline double pixelsToTwips(double pixels, double logicalDpi) {
    return pixels * kTwipsPerInch / logicalDpi;
}

// Rounds to the nearest integer with halves going to the even neighbour.
inline double roundHalfEven(double v) {
    return std::nearbyint(v);
}

}  // namespace pelagon
