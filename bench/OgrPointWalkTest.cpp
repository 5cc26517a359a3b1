#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <stdexcept>

#include "OgrPointWalk.h"

namespace pelagon::bench {
namespace {

std::unique_ptr<OGRGeometry> fromWkt(const char* wkt) {
    OGRGeometry* geometry = nullptr;
    EXPECT_EQ(OGRGeometryFactory::createFromWkt(wkt, nullptr, &geometry), OGRERR_NONE) << wkt;
    return std::unique_ptr<OGRGeometry>(geometry);
}

TEST(WalkPoints, CountsEveryPointAtAnyDepth) {
    struct Case {
        const char* wkt;
        std::int64_t rings;
        std::int64_t vertices;
        double sum;
    };
    const Case cases[] = {
        {"POINT (1 2)", 0, 1, 3},
        {"POINT EMPTY", 0, 0, 0},
        {"LINESTRING (0 0,1 1,2 0)", 1, 3, 4},
        {"POLYGON EMPTY", 0, 0, 0},
        {"POLYGON ((0 0,0 1,1 1,1 0,0 0),(0.25 0.25,0.25 0.5,0.5 0.5,0.25 0.25))", 2, 9, 6.75},
        {"MULTIPOLYGON (((0 0,0 1,1 0,0 0)),((5 5,5 6,6 5,5 5)))", 2, 8, 44},
        {"MULTIPOINT ((1 1),(2 2))", 0, 2, 6},
        {"GEOMETRYCOLLECTION (POINT (1 1),MULTILINESTRING ((0 0,1 0),(2 2,3 3)))", 2, 5, 13},
        {"GEOMETRYCOLLECTION (GEOMETRYCOLLECTION (POLYGON ((0 0,0 2,2 2,0 0))))", 1, 4, 6},
    };
    for (const Case& c : cases) {
        const auto geometry = fromWkt(c.wkt);
        ASSERT_TRUE(geometry) << c.wkt;
        PointWalkTotals totals;
        walkPoints(*geometry, totals);
        EXPECT_EQ(totals.rings, c.rings) << c.wkt;
        EXPECT_EQ(totals.vertices, c.vertices) << c.wkt;
        EXPECT_DOUBLE_EQ(totals.coordinateSum, c.sum) << c.wkt;
    }
}

TEST(WalkPoints, AddsToTheTotalsItIsGiven) {
    const auto line = fromWkt("LINESTRING (1 0,2 0)");
    PointWalkTotals totals;
    walkPoints(*line, totals);
    walkPoints(*line, totals);
    EXPECT_EQ(totals.rings, 2);
    EXPECT_EQ(totals.vertices, 4);
    EXPECT_DOUBLE_EQ(totals.coordinateSum, 6);
}

TEST(WalkPoints, RejectsCurvedGeometry) {
    for (const char* wkt :
         {"CIRCULARSTRING (0 0,1 1,2 0)", "CURVEPOLYGON (CIRCULARSTRING (0 0,1 1,2 0,1 -1,0 0))"}) {
        const auto geometry = fromWkt(wkt);
        ASSERT_TRUE(geometry) << wkt;
        PointWalkTotals totals;
        EXPECT_THROW(walkPoints(*geometry, totals), std::invalid_argument) << wkt;
    }
}

// A shapefile polygon record whose rings are two separate shells reads back from OGR as a
// multipolygon; the coastline holds such records, and a walk that looked only at polygons would
// miss their points.
TEST(WalkPoints, ReadsShapefilePolygonsThatComeBackAsMultipolygons) {
    GDALAllRegister();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string path = folder.filePath("shells.shp").toStdString();
    {
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
        ASSERT_NE(driver, nullptr);
        GDALDatasetUniquePtr dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        ASSERT_TRUE(dataset);
        OGRLayer* layer = dataset->CreateLayer("shells", nullptr, wkbPolygon, nullptr);
        ASSERT_NE(layer, nullptr);
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetGeometryDirectly(
            fromWkt("MULTIPOLYGON (((0 0,0 1,1 0,0 0)),((5 5,5 6,6 5,5 5)))").release());
        ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    }
    GDALDatasetUniquePtr dataset(
        GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    ASSERT_TRUE(dataset);
    PointWalkTotals totals;
    std::int64_t features = 0;
    for (const auto& feature : *dataset->GetLayer(0)) {
        ++features;
        EXPECT_EQ(wkbFlatten(feature->GetGeometryRef()->getGeometryType()), wkbMultiPolygon);
        walkPoints(*feature->GetGeometryRef(), totals);
    }
    EXPECT_EQ(features, 1);
    EXPECT_EQ(totals.rings, 2);
    EXPECT_EQ(totals.vertices, 8);
    EXPECT_DOUBLE_EQ(totals.coordinateSum, 44);
}

}  // namespace
}  // namespace pelagon::bench
