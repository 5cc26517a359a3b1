#include <gtest/gtest.h>
#include <proj.h>

#include <cmath>
#include <cstdio>

#include "geo/AlbersProjection.h"

namespace pelagon {
namespace {

// PROJ's Albers equal-area conic with the map's parameters on GRS80, the reference the
// projection arithmetic is checked against.
class ProjAgreementTest : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = proj_context_create();
        pj_ = proj_create(ctx_, "+proj=aea +lat_0=50 +lon_0=-154 +lat_1=55 +lat_2=65 +ellps=GRS80");
        ASSERT_NE(pj_, nullptr);
        projection_ = *AlbersProjection::fromParameters(-154, 50, 55, 65);
    }
    void TearDown() override {
        if (pj_) {
            proj_destroy(pj_);
        }
        proj_context_destroy(ctx_);
    }

    // PROJ's position (degrees) of a map point.
    void projInverse(double x, double y, double& lon, double& lat) const {
        const PJ_COORD out = proj_trans(pj_, PJ_INV, proj_coord(x, y, 0, 0));
        lon = proj_todeg(out.lp.lam);
        lat = proj_todeg(out.lp.phi);
    }
    void projForward(double lon, double lat, double& x, double& y) const {
        const PJ_COORD out =
            proj_trans(pj_, PJ_FWD, proj_coord(proj_torad(lon), proj_torad(lat), 0, 0));
        x = out.xy.x;
        y = out.xy.y;
    }

    PJ_CONTEXT* ctx_ = nullptr;
    PJ* pj_ = nullptr;
    AlbersProjection projection_;
};

// A grid over the sample map's area: 160°E eastward to 125°W, 45°N to 75°N.
template <typename F>
void overMapArea(F f) {
    for (double lon = 160; lon <= 235; lon += 0.5) {
        for (double lat = 45; lat <= 75; lat += 0.5) {
            f(lon, lat);
        }
    }
}

TEST_F(ProjAgreementTest, InverseAgreesWithProj) {
    double worst = 0, worstLon = 0, worstLat = 0;
    overMapArea([&](double lon, double lat) {
        double x = 0, y = 0;
        projForward(lon, lat, x, y);
        double lonP = 0, latP = 0, lonA = 0, latA = 0;
        projInverse(x, y, lonP, latP);
        ASSERT_TRUE(projection_.AlbersToLatLong(x, y, lonA, latA)) << lon << ", " << lat;
        const double dev =
            std::max(std::abs(std::remainder(lonA - lonP, 360.0)), std::abs(latA - latP));
        if (dev > worst) {
            worst = dev;
            worstLon = lon;
            worstLat = lat;
        }
    });
    std::printf("largest deviation from PROJ: %.3g degree at %.1f, %.1f\n", worst, worstLon,
                worstLat);
    EXPECT_LT(worst, 1e-6);
}

TEST_F(ProjAgreementTest, ForwardAgreesWithProj) {
    double worst = 0;
    overMapArea([&](double lon, double lat) {
        double xP = 0, yP = 0, xA = 0, yA = 0;
        projForward(lon, lat, xP, yP);
        ASSERT_TRUE(projection_.LatLongToAlbers(lon, lat, xA, yA)) << lon << ", " << lat;
        worst = std::max(worst, std::hypot(xA - xP, yA - yP));
    });
    std::printf("largest forward distance from PROJ: %.3g m\n", worst);
    EXPECT_LT(worst, 0.1);
}

}  // namespace
}  // namespace pelagon
