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

// The same for a paint device (a widget, a printer): twips across use its horizontal logical DPI,
// twips down its vertical one.
template <typename Device>
int twipsToPixelsX(const Device& device, double twips) {
    return twipsToPixels(twips, device.logicalDpiX());
}
template <typename Device>
int twipsToPixelsY(const Device& device, double twips) {
    return twipsToPixels(twips, device.logicalDpiY());
}
template <typename Device>
double pixelsToTwipsX(const Device& device, double pixels) {
    return pixelsToTwips(pixels, device.logicalDpiX());
}
template <typename Device>
double pixelsToTwipsY(const Device& device, double pixels) {
    return pixelsToTwips(pixels, device.logicalDpiY());
}

// Rounds to the nearest integer with halves going to the even neighbour.
inline double roundHalfEven(double v) {
    return std::nearbyint(v);
}

}  // namespace pelagon
