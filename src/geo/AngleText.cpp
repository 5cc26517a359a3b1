#include "geo/AngleText.h"

#include <cmath>

#include "geo/NumberFormat.h"

namespace pelagon {

QString Ddec_to_DMdec(double D, const QLocale& locale) {
    if (!std::isfinite(D)) {
        return {};
    }
    const double a = std::abs(D);
    const double degrees = std::floor(a);
    // The minutes are kept in single precision, as the read-out always has.
    const auto minutes = static_cast<float>((a - degrees) * 60.0);

    QString text;
    if (D < 0.0) {
        text += QLatin1Char('-');
    }
    text += QLatin1Char(' ') + QString::number(degrees, 'f', 0) + QChar(0x00B0) + QLatin1Char(' ');
    text += formatSingle(minutes, kPatternMinutes, locale) + QLatin1Char('\'');
    return text;
}

}  // namespace pelagon
