#include <gtest/gtest.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <QString>

#include <cmath>
#include <limits>
#include <memory>
#include <random>

#include "store/BoundaryDistance.h"
#include "store/FeatureStore.h"

namespace pelagon {
namespace {

// Distances to boundaries agree with GEOS (through OGR) within a metre on the sample map's
// polygon layers: the distance to the nearest boundary of any area, and to the boundary of each
// area that contains the point.
class BoundaryDistanceTest : public ::testing::TestWithParam<const char*> {};

TEST_P(BoundaryDistanceTest, AgreesWithGeosOnTheSampleLayers) {
    if (!OGRGeometryFactory::haveGEOS()) {
        GTEST_SKIP() << "GDAL without GEOS";
    }
    const QString path = QStringLiteral(PELAGON_SAMPLE_DIR "/Shapefiles/%1.shp").arg(GetParam());
    const StoreOpenResult opened = FeatureStore::open(path);
    ASSERT_TRUE(opened.store) << opened.error.message.toStdString();
    const FeatureStore& store = *opened.store;
    GDALDatasetUniquePtr ds(GDALDataset::Open(path.toUtf8().constData(), GDAL_OF_VECTOR));
    ASSERT_TRUE(ds);
    OGRLayer* layer = ds->GetLayer(0);
    std::vector<std::unique_ptr<OGRGeometry>> boundaries(store.featureCount());
    std::vector<std::unique_ptr<OGRGeometry>> geometries(store.featureCount());
    for (FeatureId f = 0; f < store.featureCount(); ++f) {
        OGRFeatureUniquePtr feature(layer->GetFeature(store.sourceFid(f)));
        ASSERT_TRUE(feature);
        // The boundary of an area is its rings; a line or a point is its own boundary here.
        const OGRGeometry* g = feature->GetGeometryRef();
        boundaries[f].reset(store.kind() == GeometryKind::Polygons ? g->Boundary() : g->clone());
        geometries[f].reset(g->clone());
    }

    const MapRect e = store.extent();
    std::mt19937 random(20261208);
    std::uniform_real_distribution<double> x(e.left - e.width() / 10, e.right + e.width() / 10);
    std::uniform_real_distribution<double> y(e.bottom - e.height() / 10, e.top + e.height() / 10);
    double worst = 0;
    int inside = 0;
    for (int k = 0; k < 150; ++k) {
        const MapPoint p{x(random), y(random)};
        const OGRPoint point(p.x, p.y);
        double expected = std::numeric_limits<double>::infinity();
        for (const auto& b : boundaries) {
            expected = std::min(expected, b->Distance(&point));
        }
        const auto nearest = nearestFeature(store, p, std::numeric_limits<double>::infinity());
        ASSERT_TRUE(nearest);
        EXPECT_NEAR(nearest->distance, expected, 1.0) << p.x << "," << p.y;
        EXPECT_NEAR(boundaries[nearest->feature]->Distance(&point), expected, 1.0);
        worst = std::max(worst, std::fabs(nearest->distance - expected));
        for (const FeatureId f : store.searchPoint(p, 0)) {
            ++inside;
            const double d = distanceToBoundary(store, f, p);
            EXPECT_NEAR(d, boundaries[f]->Distance(&point), 1.0);
            worst = std::max(worst, std::fabs(d - boundaries[f]->Distance(&point)));
        }
        // Within a limit shorter than the nearest boundary there is nothing.
        if (expected > 2.0) {
            EXPECT_FALSE(nearestFeature(store, p, expected - 2.0));
        }
        // The first feature found at the point is the first that searchPoint finds.
        const std::vector<FeatureId> all = store.searchPoint(p, 3000);
        const std::optional<FeatureId> first = store.firstFeatureAt(p, 3000);
        EXPECT_EQ(first.has_value(), !all.empty());
        if (first && !all.empty()) {
            EXPECT_EQ(*first, all.front());
        }
        // The distance to the areas: to the boundary of the first area holding the point, or
        // to the nearest area (GEOS: the distance between the point and the polygons).
        const std::optional<AreaDistance> areas = distanceToAreas(store, p);
        EXPECT_EQ(areas.has_value(), store.kind() == GeometryKind::Polygons);
        if (areas) {
            const std::vector<FeatureId> in = store.searchPoint(p, 0);
            EXPECT_EQ(areas->inside, !in.empty());
            if (areas->inside) {
                EXPECT_EQ(areas->area, in.front());
                EXPECT_NEAR(areas->distance, boundaries[areas->area]->Distance(&point), 1.0);
            } else {
                double outside = std::numeric_limits<double>::infinity();
                for (const auto& g : geometries) {
                    outside = std::min(outside, g->Distance(&point));
                }
                EXPECT_NEAR(areas->distance, outside, 1.0) << p.x << "," << p.y;
                EXPECT_NEAR(geometries[areas->area]->Distance(&point), outside, 1.0);
            }
        }
    }
    RecordProperty("worst_metres", std::to_string(worst));
    RecordProperty("points_inside", inside);
}

INSTANTIATE_TEST_SUITE_P(SampleLayers, BoundaryDistanceTest,
                         ::testing::Values("closures", "foraging", "land", "mgmtareas", "statareas",
                                           "convline", "sites"));

TEST(BoundaryDistance, NothingForBadInput) {
    const StoreOpenResult opened =
        FeatureStore::open(QStringLiteral(PELAGON_SAMPLE_DIR "/Shapefiles/closures.shp"));
    ASSERT_TRUE(opened.store);
    EXPECT_FALSE(nearestFeature(*opened.store, {NAN, 0}, 1e9));
    EXPECT_FALSE(nearestFeature(*opened.store, {0, 0}, -1));
    EXPECT_FALSE(distanceToAreas(*opened.store, {0, NAN}));
    EXPECT_FALSE(opened.store->firstFeatureAt({INFINITY, 0}, 0));
}

}  // namespace
}  // namespace pelagon
