#include <gtest/gtest.h>

#include "geo/Measure.h"
#include "support/QStringPrinter.h"

namespace pelagon {
namespace {

std::vector<MapPoint> longPathOfShortSteps() {
    // One segment of 2^24 m, then a thousand of 1 m each: a single-precision total no longer
    // grows by 1 m at that size, so the short steps add nothing.
    std::vector<MapPoint> path{{0, 0}, {16777216, 0}};
    for (int i = 1; i <= 1000; ++i) {
        path.push_back({16777216.0 + i, 0});
    }
    return path;
}

TEST(Measure, MessagesForPaths) {
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    struct Case {
        std::vector<MapPoint> path;
        QLocale locale;
        const char* text;
    };
    const Case cases[] = {
        {{{0, 0}, {1852, 0}}, en, "1 segment, total distance 1.0 nautical miles"},
        {{{0, 0}, {0, 926}}, en, "1 segment, total distance 0.5 nautical miles"},
        {{{0, 0}, {3000, 4000}, {3000, 10000}},
         en,
         "2 segments, total distance 5.94 nautical miles"},
        {{{0, 0}, {1000000, 0}, {1000000, 1500000}, {0, 0}},
         en,
         "3 segments, total distance 2,323.313 nautical miles"},
        {{{0, 0}, {1000000, 0}, {1000000, 1500000}, {0, 0}},
         de,
         "3 segments, total distance 2.323,313 nautical miles"},
        {{{0, 0}, {3000, 4000}, {3000, 10000}},
         de,
         "2 segments, total distance 5,94 nautical miles"},
        {{{500, 500}}, en, "0 segments, total distance 0.0 nautical miles"},
        {{{7, 7}, {7, 7}}, en, "1 segment, total distance 0.0 nautical miles"},
        // Map coordinates far from the origin: differences are taken before the single rounding.
        {{{-2200000.25, 600000.5}, {-2200000.25, 600926.5}},
         en,
         "1 segment, total distance 0.5 nautical miles"},
        {longPathOfShortSteps(), en, "1001 segments, total distance 9,058.972 nautical miles"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(measureMessage(c.path, c.locale), QString::fromUtf8(c.text)) << c.text;
    }
}

TEST(Measure, AbandonedTrackingGivesNoMessage) {
    EXPECT_TRUE(measureMessage({}).isEmpty());
    EXPECT_EQ(measureTotalNauticalMiles({}), 0.0F);
}

}  // namespace
}  // namespace pelagon
