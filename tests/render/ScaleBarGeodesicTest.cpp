#include <geodesic.h>
#include <gtest/gtest.h>

#include <cmath>

#include "geo/AlbersProjection.h"
#include "render/MapDecorations.h"
#include "render/Viewport.h"

namespace pelagon {
namespace {

// The scale bar's length is true along the parallel through the view's centre: the bar's length
// on the map, laid along that parallel, is as long on the ground (a geodesic on GRS80, by PROJ's
// geodesic routines) as the bar says, within 1 %, everywhere on the sample map.
TEST(ScaleBarGeodesic, BarLengthIsTrueAlongTheParallelOverTheMap) {
    const AlbersProjection projection = *AlbersProjection::fromParameters(-154, 50, 55, 65);
    geod_geodesic grs80;
    geod_init(&grs80, 6378137.0, 1 / 298.257222101);
    double worst = 0;
    int checked = 0;
    for (double lon = 165; lon <= 230; lon += 5) {
        for (double lat = 48; lat <= 72; lat += 4) {
            double cx = 0, cy = 0;
            ASSERT_TRUE(projection.LatLongToAlbers(lon, lat, cx, cy));
            // Views from a whole region (2,000 km) down to a bay (20 km) across.
            for (const double across : {2000e3, 300e3, 20e3}) {
                const Viewport view(QSizeF(1200, 800), MapRect{cx - across / 2, cx + across / 2,
                                                               cy - across / 3, cy + across / 3});
                const auto layout = scaleBarLayout(view, projection, 300);
                ASSERT_TRUE(layout);
                for (const auto& [value, unitMetres, width] :
                     {std::tuple{layout->nauticalMiles, 1852.0, layout->nauticalMileWidth},
                      std::tuple{layout->kilometres, 1000.0, layout->kilometreWidth}}) {
                    EXPECT_GT(width, 300 / 2.5 - 1e-9) << "a round length fills at least 2/5";
                    EXPECT_LE(width, 300 + 1e-9);
                    const double mapLength = width * view.mapUnitsPerPixel();
                    // The two ends on the parallel, the bar's map length apart.
                    double step = 0.01;
                    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
                    for (int round = 0; round < 4; ++round) {
                        ASSERT_TRUE(projection.LatLongToAlbers(lon - step, lat, x1, y1));
                        ASSERT_TRUE(projection.LatLongToAlbers(lon + step, lat, x2, y2));
                        step *= mapLength / std::hypot(x2 - x1, y2 - y1);
                    }
                    double ground = 0;
                    geod_inverse(&grs80, lat, lon - step, lat, lon + step, &ground, nullptr,
                                 nullptr);
                    const double error = std::fabs(ground / (value * unitMetres) - 1);
                    worst = std::max(worst, error);
                    EXPECT_LT(error, 0.01) << lon << "," << lat << " across " << across;
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 500);
    RecordProperty("worst_relative_error", std::to_string(worst));
}

}  // namespace
}  // namespace pelagon
