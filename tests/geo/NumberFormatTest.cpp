#include <gtest/gtest.h>

#include <limits>

#include "geo/NumberFormat.h"
#include "support/QStringPrinter.h"

namespace pelagon {
namespace {

TEST(FormatSingle, AppliesPatternAndSeparators) {
    const QLocale c = QLocale::c();
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    struct Case {
        float value;
        NumberPattern pattern;
        QLocale locale;
        const char* text;
    };
    const Case cases[] = {
        {0.0F, kPatternMinutes, c, "0.000"},
        {48.0383196F, kPatternMinutes, c, "48.038"},
        {59.99994F, kPatternMinutes, c, "60.000"},
        {2.0005F, kPatternMinutes, c, "2.001"},  // binary value just below the half
        {0.0005F, kPatternMinutes, c, "0.001"},  // half away from zero
        {0.00049999F, kPatternMinutes, c, "0.000"},
        {-0.0001F, kPatternMinutes, c, "0.000"},  // rounds to zero: no sign
        {-1.5F, kPatternMinutes, c, "-1.500"},
        {9.9995F, kPatternMinutes, c, "10.000"},         // carry into a new digit
        {12345.678F, kPatternMinutes, en, "12345.680"},  // seven digits, no grouping
        {48.0383196F, kPatternMinutes, de, "48,038"},
        {0.0F, kPatternGrouped, c, "0.0"},
        {1.0F, kPatternGrouped, en, "1.0"},
        {0.5F, kPatternGrouped, en, "0.5"},
        {5.939525F, kPatternGrouped, en, "5.94"},
        {2.0004F, kPatternGrouped, en, "2.0"},
        {999.9996F, kPatternGrouped, en, "1,000.0"},
        {2323.3129F, kPatternGrouped, en, "2,323.313"},
        {2323.3129F, kPatternGrouped, de, "2.323,313"},
        {1234567.0F, kPatternGrouped, en, "1,234,567.0"},
        {1e20F, kPatternGrouped, en, "100,000,000,000,000,000,000.0"},
        {-1234.5F, kPatternGrouped, en, "-1,234.5"},
        {1234.5F, kPatternGrouped, c, "1,234.5"},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(formatSingle(k.value, k.pattern, k.locale), QString::fromUtf8(k.text))
            << k.value << " " << k.locale.name().toStdString();
    }
}

TEST(FormatSingle, NonFiniteValuesAsTheLocaleWritesThem) {
    const QLocale c = QLocale::c();
    EXPECT_EQ(formatSingle(std::numeric_limits<float>::infinity(), kPatternGrouped, c),
              c.toString(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(formatSingle(std::numeric_limits<float>::quiet_NaN(), kPatternMinutes, c),
              c.toString(std::numeric_limits<double>::quiet_NaN()));
}

}  // namespace
}  // namespace pelagon
