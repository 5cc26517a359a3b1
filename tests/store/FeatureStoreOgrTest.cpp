#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <iomanip>
#include <map>
#include <numbers>
#include <random>
#include <set>
#include <sstream>

#include "store/FeatureStore.h"
#include "support/LayerFixtures.h"

// The store's search must find exactly what OGR finds with its own spatial filter and exact
// predicates, on random layers and random points.
namespace pelagon {
namespace {

using test::FixtureFeature;
using test::FixtureKind;
using test::writeShapefile;

constexpr double kCell = 100000.0;  // metres
constexpr double kOgrX0 = -1500000.0, kOgrY0 = 400000.0;

std::string coords(const std::vector<std::pair<double, double>>& pts, bool close) {
    std::ostringstream s;
    s.precision(17);
    s << '(';
    for (std::size_t i = 0; i < pts.size(); ++i) {
        s << (i ? "," : "") << pts[i].first << ' ' << pts[i].second;
    }
    if (close) {
        s << ',' << pts[0].first << ' ' << pts[0].second;
    }
    s << ')';
    return s.str();
}

// A star-shaped ring around (cx, cy); reversed for holes so that the shapefile keeps them.
std::vector<std::pair<double, double>> star(std::mt19937& rng, double cx, double cy, double rMin,
                                            double rMax, int n, bool reversed) {
    std::uniform_real_distribution<double> radius(rMin, rMax);
    std::vector<std::pair<double, double>> pts;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * std::numbers::pi * (reversed ? n - i : i) / n;
        const double r = radius(rng);
        pts.emplace_back(cx + r * std::cos(a), cy - r * std::sin(a));
    }
    return pts;
}

struct Layer {
    QString path;
    std::vector<std::vector<std::pair<double, double>>> vertices;  // per feature, all rings
};

Layer randomPolygons(const QString& dir, std::mt19937& rng) {
    Layer layer;
    layer.path = dir + "/polys.shp";
    std::vector<FixtureFeature> features;
    std::uniform_int_distribution<int> cell(0, 9), parts(1, 3), verts(3, 40), coin(0, 1);
    for (int f = 0; f < 80; ++f) {
        std::set<int> used;
        std::string wkt = "MULTIPOLYGON(";
        layer.vertices.emplace_back();
        const int count = parts(rng);
        for (int p = 0; p < count; ++p) {
            int c;
            do {
                c = cell(rng) * 10 + cell(rng);
            } while (!used.insert(c).second);
            const double cx = kOgrX0 + (c % 10 + 0.5) * kCell, cy = kOgrY0 + (c / 10 + 0.5) * kCell;
            const auto shell =
                star(rng, cx, cy, 0.3 * kCell / 2, 0.9 * kCell / 2, verts(rng), false);
            wkt += std::string(p ? "," : "") + "(" + coords(shell, true);
            layer.vertices.back().insert(layer.vertices.back().end(), shell.begin(), shell.end());
            if (coin(rng)) {
                const auto hole =
                    star(rng, cx, cy, 0.05 * kCell / 2, 0.25 * kCell / 2, verts(rng), true);
                // Two appends: GCC 12's optimizer warns falsely (-Wrestrict) about
                // "literal + std::string" here.
                wkt += ',';
                wkt += coords(hole, true);
                layer.vertices.back().insert(layer.vertices.back().end(), hole.begin(), hole.end());
            }
            wkt += ")";
        }
        wkt += ")";
        features.push_back({wkt, {std::to_string(f)}});
    }
    // One long ring with a long hole, so the run boxes of long rings are exercised.
    const auto shell =
        star(rng, kOgrX0 + 5 * kCell, kOgrY0 + 5 * kCell, 2 * kCell, 4.5 * kCell, 30000, false);
    const auto hole =
        star(rng, kOgrX0 + 5 * kCell, kOgrY0 + 5 * kCell, 0.5 * kCell, 1.5 * kCell, 5000, true);
    features.push_back(
        {"POLYGON(" + coords(shell, true) + "," + coords(hole, true) + ")", {"big"}});
    layer.vertices.emplace_back(shell);
    layer.vertices.back().insert(layer.vertices.back().end(), hole.begin(), hole.end());
    EXPECT_EQ(writeShapefile(layer.path, FixtureKind::Polygons, {"ID"}, features), "");
    return layer;
}

Layer randomLines(const QString& dir, std::mt19937& rng, int maxVertices) {
    Layer layer;
    layer.path = dir + "/lines.shp";
    std::vector<FixtureFeature> features;
    std::uniform_real_distribution<double> start(0, 10 * kCell), step(-0.2 * kCell, 0.2 * kCell);
    std::uniform_int_distribution<int> parts(1, 2), verts(2, maxVertices);
    for (int f = 0; f < 60; ++f) {
        std::string wkt = "MULTILINESTRING(";
        layer.vertices.emplace_back();
        const int count = parts(rng);
        for (int p = 0; p < count; ++p) {
            std::vector<std::pair<double, double>> pts;
            double x = kOgrX0 + start(rng), y = kOgrY0 + start(rng);
            const int n = verts(rng);
            for (int i = 0; i < n; ++i) {
                pts.emplace_back(x, y);
                x += step(rng) / std::sqrt(n / 4.0 + 1);
                y += step(rng) / std::sqrt(n / 4.0 + 1);
            }
            wkt += std::string(p ? "," : "") + coords(pts, false);
            layer.vertices.back().insert(layer.vertices.back().end(), pts.begin(), pts.end());
        }
        features.push_back({wkt + ")", {std::to_string(f)}});
    }
    EXPECT_EQ(writeShapefile(layer.path, FixtureKind::Lines, {"ID"}, features), "");
    return layer;
}

Layer randomPoints(const QString& dir, std::mt19937& rng) {
    Layer layer;
    layer.path = dir + "/points.shp";
    std::vector<FixtureFeature> features;
    std::uniform_real_distribution<double> pos(0, 10 * kCell);
    std::uniform_int_distribution<int> count(1, 400);
    for (int f = 0; f < 60; ++f) {
        std::ostringstream wkt;
        wkt.precision(17);
        wkt << "MULTIPOINT(";
        layer.vertices.emplace_back();
        const int n = count(rng);
        for (int i = 0; i < n; ++i) {
            const double x = kOgrX0 + pos(rng), y = kOgrY0 + pos(rng);
            wkt << (i ? "," : "") << x << ' ' << y;
            layer.vertices.back().emplace_back(x, y);
        }
        wkt << ')';
        features.push_back({wkt.str(), {std::to_string(f)}});
    }
    EXPECT_EQ(writeShapefile(layer.path, FixtureKind::MultiPoints, {"ID"}, features), "");
    return layer;
}

// The layer as OGR reads it, with each geometry prepared once for repeated point tests.
struct OgrReference {
    GDALDatasetUniquePtr ds;
    std::map<std::int64_t, std::unique_ptr<OGRGeometry>> geometries;
    std::map<std::int64_t, OGRPreparedGeometryUniquePtr> prepared;

    explicit OgrReference(const QString& path)
        : ds(GDALDataset::Open(path.toUtf8().constData(), GDAL_OF_VECTOR)) {
        for (auto& f : *ds->GetLayer(0)) {
            geometries[f->GetFID()].reset(f->StealGeometry());
            prepared[f->GetFID()].reset(
                OGRCreatePreparedGeometry(OGRGeometry::ToHandle(geometries[f->GetFID()].get())));
        }
    }

    // FIDs of features at the point: OGR's spatial filter gives the candidates, then the exact
    // predicate decides.
    std::set<std::int64_t> at(double x, double y, double tolerance) {
        OGRLayer& layer = *ds->GetLayer(0);
        std::set<std::int64_t> out;
        OGRPoint pt(x, y);
        const double reach = tolerance + 1.0;
        layer.SetSpatialFilterRect(x - reach, y - reach, x + reach, y + reach);
        layer.ResetReading();
        while (OGRFeatureUniquePtr f{layer.GetNextFeature()}) {
            const std::int64_t fid = f->GetFID();
            const bool hit = tolerance > 0.0 ? geometries[fid]->Distance(&pt) <= tolerance
                                             : OGRPreparedGeometryIntersects(
                                                   prepared[fid].get(), OGRGeometry::ToHandle(&pt));
            if (hit) {
                out.insert(fid);
            }
        }
        layer.SetSpatialFilter(nullptr);
        return out;
    }
};

std::set<std::int64_t> storeAt(const FeatureStore& store, double x, double y, double tolerance) {
    std::set<std::int64_t> out;
    for (FeatureId f : store.searchPoint({x, y}, tolerance)) {
        out.insert(store.sourceFid(f));
    }
    return out;
}

void compareWithOgr(const Layer& layer, double tolerance, std::mt19937& rng, int randomCount) {
    auto opened = FeatureStore::open(layer.path);
    ASSERT_TRUE(opened.store) << opened.error.message.toStdString();
    const FeatureStore& store = *opened.store;
    OgrReference ogr(layer.path);
    ASSERT_TRUE(ogr.ds);

    std::vector<std::pair<double, double>> points;
    std::uniform_real_distribution<double> pos(-0.5 * kCell, 10.5 * kCell);
    for (int i = 0; i < randomCount; ++i) {
        points.emplace_back(kOgrX0 + pos(rng), kOgrY0 + pos(rng));
    }
    // Vertices lie on the boundary, which both count as part of the feature.
    std::uniform_int_distribution<std::size_t> pick(0, 1u << 30);
    for (const auto& feature : layer.vertices) {
        for (int i = 0; i < 3; ++i) {
            points.push_back(feature[pick(rng) % feature.size()]);
        }
    }
    int hits = 0;
    for (const auto& [x, y] : points) {
        const auto expected = ogr.at(x, y, tolerance);
        hits += expected.empty() ? 0 : 1;
        ASSERT_EQ(storeAt(store, x, y, tolerance), expected)
            << std::setprecision(17) << x << ' ' << y;
    }
    EXPECT_GT(hits, randomCount / 10) << "the test points should meet features often";
}

class StoreAgreesWithOgr : public ::testing::Test {
protected:
    void SetUp() override {
        GDALAllRegister();
        if (!OGRGeometryFactory::haveGEOS()) {
            GTEST_SKIP() << "OGR was built without GEOS";
        }
        ASSERT_TRUE(dir.isValid());
    }
    QTemporaryDir dir;
    std::mt19937 rng{20240611};
};

TEST_F(StoreAgreesWithOgr, Polygons) {
    compareWithOgr(randomPolygons(dir.path(), rng), 0.0, rng, 2000);
}

TEST_F(StoreAgreesWithOgr, LinesWithinATolerance) {
    compareWithOgr(randomLines(dir.path(), rng, 12), 2500.0, rng, 2000);
}

TEST_F(StoreAgreesWithOgr, LongLinesWithinATolerance) {
    compareWithOgr(randomLines(dir.path(), rng, 3000), 1500.0, rng, 400);
}

TEST_F(StoreAgreesWithOgr, PointsWithinATolerance) {
    compareWithOgr(randomPoints(dir.path(), rng), 3000.0, rng, 400);
}

}  // namespace
}  // namespace pelagon
