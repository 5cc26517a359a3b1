#include "geo/AngleText.h"

#include <cmath>

#include "geo/NumberFormat.h"

namespace pelagon {

std::optional<DegreesMinutes> degreesMinutes(double D) {
    if (!std::isfinite(D)) {
        return std::nullopt;
    }
    const double a = std::abs(D);
    const double degrees = std::floor(a);
    const auto minutes = static_cast<float>((a - degrees) * 60.0);
    // The minutes rounded exactly as formatSingle writes them: "48.038" is 48038 thousandths.
    const QString text = formatSingle(minutes, kPatternMinutes, QLocale::c());
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    DegreesMinutes out;
    out.degrees = degrees;
    out.thousandths = text.left(point).toInt() * 1000 + text.mid(point + 1).toInt();
    if (out.thousandths >= 60000) {
        out.degrees += 1;
        out.thousandths -= 60000;
    }
    return out;
}

QString Ddec_to_DMdec(double D, const QLocale& locale) {
    const std::optional<DegreesMinutes> dm = degreesMinutes(D);
    if (!dm) {
        return {};
    }
    QString text;
    if (D < 0.0) {
        text += QLatin1Char('-');
    }
    text +=
        QLatin1Char(' ') + QString::number(dm->degrees, 'f', 0) + QChar(0x00B0) + QLatin1Char(' ');
    text += QString::number(dm->thousandths / 1000) + locale.decimalPoint() +
            QStringLiteral("%1").arg(dm->thousandths % 1000, 3, 10, QLatin1Char('0')) +
            QLatin1Char('\'');
    return text;
}

}  // namespace pelagon
