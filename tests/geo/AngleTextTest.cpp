#include <gtest/gtest.h>

#include <cmath>

#include "geo/AngleText.h"
#include "support/QStringPrinter.h"

namespace pelagon {
namespace {

TEST(Ddec_to_DMdec, FormatsDegreesAndDecimalMinutes) {
    struct Case {
        double value;
        const char* text;  // UTF-8
    };
    const Case cases[] = {
        {51.80063866, " 51° 48.038'"},
        {-152.557772, "- 152° 33.466'"},
        {-0.5, "- 0° 30.000'"},
        {0, " 0° 0.000'"},
        {-0.0, " 0° 0.000'"},
        // Minutes that round up to 60 carry into the degrees: exactly at 59.9995 minutes, and
        // one thousandth below it.
        {59.999999, " 60° 0.000'"},
        {-59.999999, "- 60° 0.000'"},
        {59.0 + 59.9995 / 60.0, " 60° 0.000'"},
        {59.0 + 59.9994 / 60.0, " 59° 59.999'"},
        {179.9999999, " 180° 0.000'"},
        {-0.0000001, "- 0° 0.000'"},  // the sign stays
        {45.25, " 45° 15.000'"},
        {10.0000083333, " 10° 0.000'"},
        {173.981965, " 173° 58.918'"},
        {50.536228, " 50° 32.174'"},
        {359.5, " 359° 30.000'"},
        {1000.75, " 1000° 45.000'"},
        // The minutes 48.03849792... as a single are 48.03850 to seven digits, which rounds up.
        {10.0 + 48.0384979248046875 / 60.0, " 10° 48.039'"},
        // 0.0005 minutes, a half, rounds away from zero.
        {20.0 + 0.0005 / 60.0, " 20° 0.001'"},
    };
    const QLocale c = QLocale::c();
    for (const Case& k : cases) {
        EXPECT_EQ(Ddec_to_DMdec(k.value, c), QString::fromUtf8(k.text)) << k.value;
    }
}

TEST(Ddec_to_DMdec, UsesTheLocaleDecimalSeparator) {
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(Ddec_to_DMdec(51.80063866, german), QString::fromUtf8(" 51° 48,038'"));
    EXPECT_EQ(Ddec_to_DMdec(-152.557772, german), QString::fromUtf8("- 152° 33,466'"));
    // The read-out joins longitude and latitude with a comma whatever the locale.
    EXPECT_EQ(
        Ddec_to_DMdec(-152.557772, QLocale::c()) + u',' + Ddec_to_DMdec(51.80063866, QLocale::c()),
        QString::fromUtf8("- 152° 33.466', 51° 48.038'"));
}

TEST(Ddec_to_DMdec, NoTextForValuesThatAreNotFinite) {
    EXPECT_TRUE(Ddec_to_DMdec(std::nan("")).isEmpty());
    EXPECT_TRUE(Ddec_to_DMdec(-INFINITY).isEmpty());
}

}  // namespace
}  // namespace pelagon
