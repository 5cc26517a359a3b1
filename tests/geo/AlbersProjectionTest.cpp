#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "geo/AlbersProjection.h"

namespace pelagon {
namespace {

AlbersProjection alaska() {
    return *AlbersProjection::fromParameters(-154, 50, 55, 65);
}

// Distance on the ground, in metres, between two nearby positions (degrees).
double groundError(double lon1, double lat1, double lon2, double lat2) {
    const double metresPerDegree = 6378137.0 * M_PI / 180.0;
    const double dLon = std::remainder(lon1 - lon2, 360.0) * std::cos(lat1 * M_PI / 180.0);
    return std::hypot(dLon, lat1 - lat2) * metresPerDegree;
}

TEST(AlbersProjection, DerivesConeConstants) {
    const AlbersProjection p = alaska();
    EXPECT_NEAR(p.ConeN, 0.8627446127734, 5e-14);
    EXPECT_NEAR(p.ConeC, 1.7386718579632, 5e-14);
    EXPECT_NEAR(p.Rho0, 4804031.3505, 5e-5);
    EXPECT_EQ(p.CentralLon, -154);
    EXPECT_EQ(p.StdParallel2, 65);
}

TEST(AlbersProjection, RejectsParametersWithoutFiniteCone) {
    struct Case {
        const char* what;
        double lon0, lat0, sp1, sp2;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"equal standard parallels", -154, 50, 60, 60},
        {"parallels symmetric about the equator (n = 0)", -154, 50, 30, -30},
        {"infinite central meridian", inf, 50, 55, 65},
        {"not-a-number latitude of origin", -154, std::nan(""), 55, 65},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(AlbersProjection::fromParameters(c.lon0, c.lat0, c.sp1, c.sp2)) << c.what;
    }
}

TEST(AlbersProjection, ConvertsMapPointsToPositions) {
    struct Case {
        double x, Y, lon, lat;
    };
    // Positions to the digits shown; the first is the origin, the last lies west of 180°.
    const Case cases[] = {
        {0, 0, -154.0, 49.9999998},
        {100000, 200000, -152.557772, 51.800639},
        {1000000, 1000000, -136.928183, 57.839149},
        {-2200000, 600000, 173.981965, 50.536228},
    };
    const AlbersProjection p = alaska();
    for (const Case& c : cases) {
        double lon = 0, lat = 0;
        ASSERT_TRUE(p.AlbersToLatLong(c.x, c.Y, lon, lat)) << c.x << ", " << c.Y;
        EXPECT_NEAR(lon, c.lon, 5e-7) << c.x << ", " << c.Y;
        EXPECT_NEAR(lat, c.lat, c.x == 0 ? 5e-8 : 5e-7) << c.x << ", " << c.Y;
    }
}

TEST(AlbersProjection, CentralMeridianAndDatelineAreExact) {
    const AlbersProjection p = alaska();
    for (double Y : {-1500000.0, 0.0, 2000000.0}) {
        double lon = 0, lat = 0;
        ASSERT_TRUE(p.AlbersToLatLong(0, Y, lon, lat));
        EXPECT_EQ(lon, -154.0) << Y;
    }
    // On the 180th meridian as central meridian: exactly -180 stays, a little west wraps.
    const AlbersProjection dateline = *AlbersProjection::fromParameters(-180, 50, 55, 65);
    double lon = 0, lat = 0;
    ASSERT_TRUE(dateline.AlbersToLatLong(0, 100000, lon, lat));
    EXPECT_EQ(lon, -180.0);
    ASSERT_TRUE(dateline.AlbersToLatLong(-1000, 100000, lon, lat));
    EXPECT_GT(lon, 179.9);
    EXPECT_LT(lon, 180.0);
}

TEST(AlbersProjection, PointsOutsideTheDomainHaveNoPosition) {
    const AlbersProjection p = alaska();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* what;
        double x, Y;
    };
    // The pole lies about 965 km from the apex, the apex 4804 km north of the origin.
    const Case cases[] = {
        {"on the line through the apex", 0, p.Rho0},
        {"beyond the apex", 3000000, p.Rho0 + 1000},
        {"next to the apex, |q / 2| >= 1", 0, p.Rho0 - 1},
        {"between apex and pole, no latitude", 0, p.Rho0 - 900000},
        {"far outside the cone", 0, -1e9},
        {"infinite easting", inf, 0},
        {"not-a-number northing", 0, std::nan("")},
    };
    for (const Case& c : cases) {
        double lon = 12.5, lat = 34.5;
        EXPECT_FALSE(p.AlbersToLatLong(c.x, c.Y, lon, lat)) << c.what;
        EXPECT_EQ(lon, 12.5) << c.what;
        EXPECT_EQ(lat, 34.5) << c.what;
    }
    // Within a few hundredths of a degree of the pole the refinement is slow but still settles.
    double lon = 0, lat = 0;
    EXPECT_TRUE(p.AlbersToLatLong(0, p.Rho0 - 965000, lon, lat));
    EXPECT_GT(lat, 89.95);
}

TEST(AlbersProjection, ForwardReachesKnownPoints) {
    struct Case {
        double lon, lat, x, Y;
    };
    // The positions are given to 1e-6 degree, about 0.1 m.
    const Case cases[] = {
        {-152.557772, 51.800639, 100000, 200000},  {-136.928183, 57.839149, 1000000, 1000000},
        {173.981965, 50.536228, -2200000, 600000}, {-186.018035, 50.536228, -2200000, 600000},
        {533.981965, 50.536228, -2200000, 600000},
    };
    const AlbersProjection p = alaska();
    for (const Case& c : cases) {
        double x = 0, Y = 0;
        ASSERT_TRUE(p.LatLongToAlbers(c.lon, c.lat, x, Y)) << c.lon << ", " << c.lat;
        EXPECT_NEAR(x, c.x, 0.1) << c.lon << ", " << c.lat;
        EXPECT_NEAR(Y, c.Y, 0.1) << c.lon << ", " << c.lat;
    }
    double x = 7, Y = 8;
    EXPECT_FALSE(p.LatLongToAlbers(-154, 90.5, x, Y));
    EXPECT_FALSE(p.LatLongToAlbers(std::nan(""), 50, x, Y));
    EXPECT_EQ(x, 7);
    EXPECT_EQ(Y, 8);
}

// Forward then inverse over the sample map's area (160°E eastward to 125°W, 45°N to 75°N) and,
// for a cone opening the other way, over a southern area.
TEST(AlbersProjection, RoundTripWithinOneCentimetre) {
    struct Area {
        const char* name;
        AlbersProjection p;
        double lonFrom, lonTo, latFrom, latTo;
    };
    const Area areas[] = {
        {"Alaska", alaska(), 160, 235, 45, 75},
        {"southern", *AlbersProjection::fromParameters(132, 0, -18, -36), 112, 154, -44, -10},
    };
    for (const Area& a : areas) {
        double worst = 0;
        for (double lon = a.lonFrom; lon <= a.lonTo; lon += 0.25) {
            for (double lat = a.latFrom; lat <= a.latTo; lat += 0.25) {
                double x = 0, Y = 0, lon2 = 0, lat2 = 0;
                ASSERT_TRUE(a.p.LatLongToAlbers(lon, lat, x, Y)) << lon << ", " << lat;
                ASSERT_TRUE(a.p.AlbersToLatLong(x, Y, lon2, lat2)) << lon << ", " << lat;
                worst = std::max(worst, groundError(lon, lat, lon2, lat2));
            }
        }
        EXPECT_LT(worst, 0.01) << a.name;
        RecordProperty(std::string("worst_round_trip_m_") + a.name, std::to_string(worst));
        std::printf("%s: worst round trip %.3g m\n", a.name, worst);
    }
}

}  // namespace
}  // namespace pelagon
