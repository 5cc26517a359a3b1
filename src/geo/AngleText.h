#pragma once

#include <QLocale>
#include <QString>

#include <optional>

namespace pelagon {

// The size of an angle as every degrees-and-minutes text of the program shows it: whole degrees
// and thousandths of a minute. The minutes are taken in single precision, as the read-out always
// has, and rounded to three decimals as formatSingle rounds them; minutes that round up to 60
// carry into the degrees (59.999999 gives 60° 0.000', never 59° 60.000'). Nothing for a value
// that is not finite.
struct DegreesMinutes {
    double degrees = 0;   // a whole number
    int thousandths = 0;  // of a minute, 0 to 59,999
};
std::optional<DegreesMinutes> degreesMinutes(double D);

// An angle in decimal degrees as degrees and decimal minutes, e.g. 51.80063866 gives
// " 51° 48.038'" and -152.557772 gives "- 152° 33.466'": "-" for a negative value, the whole
// degrees after one blank (the place of a sign), "°", a blank, the minutes with three decimals and
// the locale's decimal separator, "'". Minutes are rounded as degreesMinutes rounds them, with the
// carry into the degrees. Returns an empty text for a value that is not finite.
QString Ddec_to_DMdec(double D, const QLocale& locale = QLocale());

}  // namespace pelagon
