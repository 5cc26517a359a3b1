#include "tools/PrintLayout.h"

#include <cmath>

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

QRectF fitAspect(double aspect, const QRectF& area) {
    if (!(aspect > 0) || !std::isfinite(aspect) || area.isEmpty()) {
        return area;
    }
    QSizeF size(area.width(), area.width() / aspect);
    if (size.height() > area.height()) {
        size = QSizeF(area.height() * aspect, area.height());
    }
    return QRectF(area.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

}  // namespace pelagon
