#include "geo/Measure.h"

#include <cmath>

#include "geo/NumberFormat.h"

namespace pelagon {

namespace {
// The measure tool works in single precision throughout, the nautical mile too.
constexpr float kNauticalMileSingle = static_cast<float>(kMetresPerNauticalMile);
}

float measureTotalNauticalMiles(const std::vector<MapPoint>& path) {
    float total = 0.0F;
    for (std::size_t i = 1; i < path.size(); ++i) {
        const auto dx = static_cast<double>(static_cast<float>(path[i].x - path[i - 1].x));
        const auto dy = static_cast<double>(static_cast<float>(path[i].y - path[i - 1].y));
        total = static_cast<float>(total + std::sqrt(dy * dy + dx * dx));
    }
    return total / kNauticalMileSingle;
}

QString measureMessage(const std::vector<MapPoint>& path, const QLocale& locale) {
    if (path.empty()) {
        return {};
    }
    QString text =
        QString::number(static_cast<qint64>(path.size()) - 1) + QStringLiteral(" segment");
    if (path.size() != 2) {
        text += QLatin1Char('s');
    }
    text += QStringLiteral(", total distance ") +
            formatSingle(measureTotalNauticalMiles(path), kPatternGrouped, locale) +
            QStringLiteral(" nautical miles");
    return text;
}

}  // namespace pelagon
