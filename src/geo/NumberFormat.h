#pragma once

#include <QLocale>
#include <QString>

namespace pelagon {

// A number pattern of the kind "0.000" or "#,0.0##": at least one digit before the decimal
// separator, between minDecimals and maxDecimals digits after it (trailing zeros beyond
// minDecimals dropped), and digit groups of three when grouped.
struct NumberPattern {
    int minDecimals = 0;
    int maxDecimals = 0;
    bool grouped = false;
};

inline constexpr NumberPattern kPatternMinutes{3, 3, false};  // "0.000"
inline constexpr NumberPattern kPatternGrouped{1, 3, true};   // "#,0.0##"

// Formats a single-precision value with a pattern and the locale's decimal and group separators.
// The value is first written with the seven significant digits a single carries; that decimal
// text is then rounded to maxDecimals, halves away from zero. So 2.0005f, whose binary value lies
// just below 2.0005, still gives "2.001" with three decimals. A value that rounds to zero carries
// no sign. Infinities and NaN are written as the locale writes them.
QString formatSingle(float value, const NumberPattern& pattern, const QLocale& locale = QLocale());

}  // namespace pelagon
