#include "tools/PrintLayout.h"

#include <algorithm>

namespace pelagon {

namespace {

constexpr double kMetresPerInch = 0.0254;
constexpr double kFallbackDpi = 96.0;

double dotsPerInch(int dotsPerMeter) {
    return dotsPerMeter > 0 ? dotsPerMeter * kMetresPerInch : kFallbackDpi;
}

}  // namespace

QSizeF pictureSizeInches(const QSize& pixels, double devicePixelRatio, int dotsPerMeterX,
                         int dotsPerMeterY) {
    const double ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    return {pixels.width() / ratio / dotsPerInch(dotsPerMeterX),
            pixels.height() / ratio / dotsPerInch(dotsPerMeterY)};
}

QRectF placeWithin(const QSizeF& size, const QRectF& area) {
    if (size.isEmpty() || area.isEmpty()) {
        return {area.topLeft(), QSizeF(0, 0)};
    }
    const double scale =
        std::min({1.0, area.width() / size.width(), area.height() / size.height()});
    return {area.topLeft(), size * scale};
}

}  // namespace pelagon
