#pragma once

#include <QLocale>
#include <QString>

namespace pelagon {

// An angle in decimal degrees as degrees and decimal minutes, e.g. 51.80063866 gives
// " 51° 48.038'" and -152.557772 gives "- 152° 33.466'": "-" for a negative value, the whole
// degrees after one blank (the place of a sign), "°", a blank, the minutes with three decimals and
// the locale's decimal separator, "'". The minutes are rounded from their single-precision value;
// minutes that round up to 60.000 are written so, with no carry into the degrees. Returns an empty
// text for a value that is not finite.
QString Ddec_to_DMdec(double D, const QLocale& locale = QLocale());

}  // namespace pelagon
