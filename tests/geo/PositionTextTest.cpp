#include <gtest/gtest.h>

#include <random>

#include "geo/AngleText.h"
#include "geo/PositionText.h"
#include "support/QStringPrinter.h"

using namespace pelagon;

namespace {

struct ReadCase {
    const char* text;
    double lat;
    double lon;
};

std::ostream& operator<<(std::ostream& os, const ReadCase& c) {
    return os << c.text;
}

class PositionReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(PositionReadTest, ReadsTheSpellingsPeopleUse) {
    const ReadCase& c = GetParam();
    const PositionParse r = parsePosition(QString::fromUtf8(c.text));
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_NEAR(r.position->lat, c.lat, 1e-9);
    EXPECT_NEAR(r.position->lon, c.lon, 1e-9);
}

constexpr double kLatDm = 57 + 30.2 / 60;      // 57° 30.2'
constexpr double kLonDm = -(152 + 10.5 / 60);  // 152° 10.5' W

INSTANTIATE_TEST_SUITE_P(
    Spellings, PositionReadTest,
    ::testing::Values(
        // degrees and decimal minutes
        ReadCase{"57° 30.2' N, 152° 10.5' W", kLatDm, kLonDm},
        ReadCase{"57 30.2N 152 10.5W", kLatDm, kLonDm},
        ReadCase{"N57 30.2 W152 10.5", kLatDm, kLonDm},
        ReadCase{"N 57 30.2, W 152 10.5", kLatDm, kLonDm},
        ReadCase{"57°30.2′N 152°10.5′W", kLatDm, kLonDm},
        ReadCase{"57d 30.2' n 152d 10.5' w", kLatDm, kLonDm},
        ReadCase{"57 30.2 -152 10.5", kLatDm, kLonDm},
        ReadCase{"57 30.2, -152 10.5", kLatDm, kLonDm},
        ReadCase{"  57º 30.2’ N ;  152º 10.5’ W  ", kLatDm, kLonDm},
        ReadCase{"57 30.2 north 152 10.5 west", kLatDm, kLonDm},
        // hemisphere letters put the longitude first
        ReadCase{"152° 10.5' W, 57° 30.2' N", kLatDm, kLonDm},
        ReadCase{"W152 10.5 N57 30.2", kLatDm, kLonDm},
        ReadCase{"152 10.5W 57 30.2", kLatDm, kLonDm},
        // degrees, minutes, seconds
        ReadCase{"57°30'12\"N 152°10'30\"W", 57 + 30 / 60.0 + 12 / 3600.0,
                 -(152 + 10 / 60.0 + 30 / 3600.0)},
        ReadCase{"57°30′12″N 152°10′30″W", 57 + 30 / 60.0 + 12 / 3600.0,
                 -(152 + 10 / 60.0 + 30 / 3600.0)},
        ReadCase{"57 30 12 N 152 10 30 W", 57 + 30 / 60.0 + 12 / 3600.0,
                 -(152 + 10 / 60.0 + 30 / 3600.0)},
        ReadCase{"57 30 12 -152 10 30", 57 + 30 / 60.0 + 12 / 3600.0,
                 -(152 + 10 / 60.0 + 30 / 3600.0)},
        ReadCase{"57°30'12''N 152°10'30''W", 57 + 30 / 60.0 + 12 / 3600.0,
                 -(152 + 10 / 60.0 + 30 / 3600.0)},
        ReadCase{"57 30 152 10", 57.5, 152 + 10 / 60.0},
        // decimal degrees
        ReadCase{"57.5033 -152.175", 57.5033, -152.175},
        ReadCase{"57.5033, -152.175", 57.5033, -152.175},
        ReadCase{"57.5033N 152.175W", 57.5033, -152.175},
        ReadCase{"57.5033 152.175W", 57.5033, -152.175},
        ReadCase{"+57.5033 +152.175", 57.5033, 152.175},
        ReadCase{"−57.5 −152.175", -57.5, -152.175}, ReadCase{"-0.5 .25", -0.5, 0.25},
        ReadCase{"52 S 173 E", -52, 173}, ReadCase{"90 N 180 W", 90, -180},
        ReadCase{"57 30.2 152", kLatDm, 152},
        // the read-out: the longitude first, beyond 90°, its sign apart
        ReadCase{"- 163° 8.405', 62° 26.011'", 62 + 26.011 / 60, -(163 + 8.405 / 60)},
        ReadCase{"90 45", 90, 45}, ReadCase{"90.5 45", 45, 90.5},
        // degrees and minutes of both, one letter or two
        ReadCase{"57 30 152 10 W", 57.5, -(152 + 10 / 60.0)},
        ReadCase{"57 30 N 152 10 W", 57.5, -(152 + 10 / 60.0)},
        ReadCase{"57 30 12 152 10 30 W", 57 + 30 / 60.0 + 12 / 3600.0,
                 -(152 + 10 / 60.0 + 30 / 3600.0)},
        // the line the program copies, whole or with a blank for the tab
        ReadCase{"57° 30.200' N, 152° 10.500' W\t57.503333, -152.175000", 57.503333, -152.175},
        ReadCase{"57° 30.200' N, 152° 10.500' W 57.503333, -152.175000", 57.503333, -152.175}));

struct ErrorCase {
    const char* text;
    const char* mentions;  // what the message must name
};

std::ostream& operator<<(std::ostream& os, const ErrorCase& c) {
    return os << c.text;
}

class PositionErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(PositionErrorTest, SaysWhatWasNotUnderstood) {
    const ErrorCase& c = GetParam();
    const PositionParse r = parsePosition(QString::fromUtf8(c.text));
    EXPECT_FALSE(r.ok()) << "read as " << (r.position ? r.position->lat : 0) << ", "
                         << (r.position ? r.position->lon : 0);
    EXPECT_TRUE(r.error.startsWith(QStringLiteral("Position not understood: ")))
        << r.error.toStdString();
    EXPECT_TRUE(r.error.contains(QString::fromUtf8(c.mentions))) << r.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Errors, PositionErrorTest,
    ::testing::Values(ErrorCase{"", "type a latitude and a longitude"},
                      ErrorCase{"   ", "type a latitude and a longitude"},
                      ErrorCase{"57.5", "only one coordinate"},
                      ErrorCase{"57 30.2N", "only one coordinate, '57 30.2N'"},
                      ErrorCase{"57 30 152 W", "only one coordinate, '57 30 152 W'"},
                      // malformed numbers
                      ErrorCase{"57.30.2", "'57.30.2' is not a number"},
                      ErrorCase{"57..3 152", "'57..3' is not a number"},
                      ErrorCase{"1e2 3", "'1e2' is not a number"},
                      ErrorCase{"57 1E-2", "'1E-2' is not a number"},
                      ErrorCase{"57-30 152", "'57-30' is not a number"},
                      ErrorCase{"57,5 15", "'57,5' is not a number: write decimals with a point"},
                      ErrorCase{"57° 30.200' N, 152° 10.500' W\t57.603333, -152.175000",
                                "two different positions"},
                      ErrorCase{"N57 30.2", "only one coordinate"},
                      ErrorCase{"57 30 12 152 10", "cannot tell where the latitude ends"},
                      ErrorCase{"57.5 abc -152", "'abc'"}, ErrorCase{"57.5 # -152", "'#'"},
                      ErrorCase{"57.5N 152.1S", "'N' and 'S' are both latitudes"},
                      ErrorCase{"57.5E 152.1W", "both longitudes"},
                      ErrorCase{"95 -152", "latitude '95' is beyond 90°"},
                      ErrorCase{"57 181", "longitude '181' is beyond 180°"},
                      ErrorCase{"57 75 N 152 10 W", "minutes '75'"},
                      ErrorCase{"57 30 75 N 152 10 W", "seconds '75'"},
                      ErrorCase{"-57 N 152 W", "both a minus sign and the hemisphere 'N'"},
                      ErrorCase{"57.5, -152, 10", "one separator too many"},
                      ErrorCase{", 57.5 -152", "',' has no coordinate before it"},
                      ErrorCase{"57.5 -152.1 10.5", "one coordinate too many"},
                      ErrorCase{"57 30.5 10 N 152 W", "'152 W' is one coordinate too many"},
                      ErrorCase{"° 57 -152", "'°' has no number before it"},
                      ErrorCase{"N W 57 152", "'W' follows 'N'"},
                      ErrorCase{"57 N 152 W S", "'S' has no numbers before it"},
                      ErrorCase{"57,5 -152,1", "'57,5' is not a number"},
                      ErrorCase{"57.5 -152 -10", "one coordinate too many"},
                      ErrorCase{"57 -30 152", "minutes '152' of '-30 152' must be below 60"}));

struct CopyCase {
    double lat;
    double lon;
    const char* text;
};

class PositionCopyTest : public ::testing::TestWithParam<CopyCase> {};

TEST_P(PositionCopyTest, OneLineToPaste) {
    const CopyCase& c = GetParam();
    EXPECT_EQ(positionClipboardText({c.lon, c.lat}), QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PositionCopyTest,
    ::testing::Values(
        CopyCase{57 + 30.2 / 60, -(152 + 10.5 / 60),
                 "57° 30.200' N, 152° 10.500' W\t57.503333, -152.175000"},
        CopyCase{-0.5, 0.25, "0° 30.000' S, 0° 15.000' E\t-0.500000, 0.250000"},
        CopyCase{59.9999999, 179.9999999, "60° 0.000' N, 180° 0.000' E\t60.000000, 180.000000"},
        CopyCase{-0.0000001, -0.0000001, "0° 0.000' N, 0° 0.000' E\t0.000000, 0.000000"},
        CopyCase{51.80063866, 173.98196, "51° 48.038' N, 173° 58.918' E\t51.800639, 173.981960"}));

struct MapCase {
    const char* text;
    const char* error;  // what the message must name; null when the text is read
};

// A map of Alaska: longitudes 130° W to 180°, latitudes 50° N to 72° N.
TEST(PositionText, OffTheMapWithTheOtherHemisphereOnItIsRefused) {
    const auto onMap = [](const GeoPosition& p) {
        return p.lon >= -180 && p.lon <= -130 && p.lat >= 50 && p.lat <= 72;
    };
    const MapCase cases[] = {
        {"57 30.2 152",
         "'57 30.2 152' reads as 57° 30.200' N, 152° 0.000' E, which is off the "
         "map; type the hemisphere letters for 57° 30.200' N, 152° 0.000' W."},
        {"N57 30.2, 152 10.5", "for 57° 30.200' N, 152° 10.500' W"},
        {"-57 30.2 -152", nullptr},    // signs are the user's word
        {"57 30.2 -152", nullptr},     // on the map
        {"57 30.2 N 152 E", nullptr},  // the letters are the user's word
        {"-57 152", nullptr},          // signs too; the other hemispheres are off the map
        {"10 20", nullptr},            // off the map whatever the hemispheres
    };
    for (const MapCase& c : cases) {
        const PositionParse r = parsePositionForMap(QString::fromUtf8(c.text), onMap);
        if (c.error == nullptr) {
            EXPECT_TRUE(r.ok()) << c.text << ": " << r.error.toStdString();
        } else {
            EXPECT_FALSE(r.ok()) << c.text;
            EXPECT_TRUE(r.error.contains(QString::fromUtf8(c.error))) << r.error.toStdString();
        }
    }
}

// Every text the program writes for a position reads back to the same point, within the text's
// precision, over the whole range and at the minutes' rounding edges.
TEST(PositionText, EveryWrittenTextReadsBack) {
    std::mt19937_64 random(20240501);
    std::uniform_real_distribution<double> latitude(-90, 90), longitude(-180, 180);
    std::uniform_int_distribution<int> degrees(-89, 89);
    constexpr double kMinutesText = 0.0005 / 60 + 1e-7;  // three decimals of a minute
    constexpr double kDecimalText = 5e-7 + 1e-12;        // six decimals of a degree
    for (int i = 0; i < 5000; ++i) {
        GeoPosition p{longitude(random), latitude(random)};
        if (i < 2) {  // the ends of the range
            p = i == 0 ? GeoPosition{-180, -90} : GeoPosition{180, 90};
        } else if (i % 4 == 1) {  // just below a whole degree: the minutes carry
            p.lat = degrees(random) + 0.9999995 * (p.lat < 0 ? -1 : 1);
            p.lon = 2 * degrees(random) + 0.9999995;
        }
        const QString copied = positionClipboardText(p);
        const struct {
            QString text;
            double tolerance;
        } written[] = {
            {positionHemisphereText(p), kMinutesText},
            {copied, kDecimalText},
            {copied.section(QLatin1Char('\t'), 1), kDecimalText},
            // The read-out, longitude first, as the status line and as titles give it.
            {Ddec_to_DMdec(p.lon, QLocale::c()) + ',' + Ddec_to_DMdec(p.lat, QLocale::c()),
             kMinutesText},
            {Ddec_to_DMdec(p.lon, QLocale::c()) + ", " + Ddec_to_DMdec(p.lat, QLocale::c()),
             kMinutesText},
        };
        for (const auto& w : written) {
            const PositionParse r = parsePosition(w.text);
            ASSERT_TRUE(r.ok()) << w.text.toStdString() << ": " << r.error.toStdString();
            EXPECT_NEAR(r.position->lat, p.lat, w.tolerance) << w.text.toStdString();
            EXPECT_NEAR(std::remainder(r.position->lon - p.lon, 360.0), 0, w.tolerance)
                << w.text.toStdString();
        }
        // The read-out's minutes, the same routine as the texts above, never reach 60.
        EXPECT_FALSE(Ddec_to_DMdec(p.lat, QLocale::c()).contains(QStringLiteral("° 60.000")))
            << p.lat;
    }
}

TEST(PositionText, WhatIsCopiedReadsBackToTheSamePlace) {
    const GeoPosition p{-152.175, 57.503333};
    const PositionParse r =
        parsePosition(positionClipboardText(p).section(QLatin1Char('\t'), 0, 0));
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_NEAR(r.position->lat, p.lat, 1e-5);
    EXPECT_NEAR(r.position->lon, p.lon, 1e-5);
    const PositionParse d = parsePosition(positionClipboardText(p).section(QLatin1Char('\t'), 1));
    ASSERT_TRUE(d.ok()) << d.error.toStdString();
    EXPECT_NEAR(d.position->lat, p.lat, 1e-6);
    EXPECT_NEAR(d.position->lon, p.lon, 1e-6);
}

}  // namespace
