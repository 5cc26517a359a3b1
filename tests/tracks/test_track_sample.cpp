// Tracks through the sample map's real areas, across the antimeridian and at random, checked
// against GEOS on the layers' own files.
#include <gtest/gtest.h>

#include <QDir>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <random>

#include "mapdef/MapDefinition.h"
#include "mapdef/ProjPars.h"
#include "query/PositionQuery.h"
#include "render/MapLayer.h"
#include "tracks/AreaVisits.h"
#include "tracks/TrackReference.h"

using namespace pelagon;
using test::RefPosition;

namespace {

struct SampleMap {
    QVector<LayerInfo> infos;
    std::vector<std::shared_ptr<MapLayer>> layers;
    std::optional<AlbersProjection> projection;
    std::unique_ptr<tracks::TrackAreas> areas;
    // Per column of areas, its features' geometries as OGR reads them.
    std::vector<std::vector<std::unique_ptr<OGRGeometry>>> geometries;

    SampleMap() {
        const QString folder = PELAGON_SAMPLE_DIR;
        infos = readMapDefinition(folder + "/Alaska.mv").LayerInfos;
        for (const LayerInfo& info : infos) {
            auto layer = std::make_shared<MapLayer>();
            layer->setDataFile(folder + "/Shapefiles/" + info.ShapeFile);
            layers.push_back(layer);
        }
        projection = ReadProjPars(folder + "/ProjPars.alb").projection;
        auto query = std::make_shared<const PositionQuery>(infos, layers, PositionQuery::Options{});
        areas = std::make_unique<tracks::TrackAreas>(query, layers);
        for (const int c : areas->columns()) {
            const LayerInfo& info = infos[query->columns()[static_cast<std::size_t>(c)].record];
            const QByteArray path = (folder + "/Shapefiles/" + info.ShapeFile + ".shp").toUtf8();
            GDALDatasetUniquePtr ds(
                GDALDataset::Open(path.constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
            std::vector<std::unique_ptr<OGRGeometry>> features;
            if (ds) {
                OGRLayer* layer = ds->GetLayer(0);
                layer->ResetReading();
                while (OGRFeature* f = layer->GetNextFeature()) {
                    if (f->GetGeometryRef() != nullptr) {
                        features.emplace_back(f->StealGeometry());
                    }
                    OGRFeature::DestroyFeature(f);
                }
            }
            geometries.push_back(std::move(features));
        }
    }
};

// The visits of the track, each checked against GEOS; returns how many there were.
std::size_t expectAsGeos(const SampleMap& map, const std::vector<RefPosition>& track) {
    std::vector<tracks::Visit> visits;
    tracks::TrackWalker walker(*map.areas, 0, {}, {}, &visits, nullptr);
    for (const RefPosition& p : track) {
        walker.add({{p.x, p.y}, p.ms});
    }
    walker.finish();
    OGREnvelope box;
    for (const RefPosition& p : track) {
        box.Merge(p.x, p.y);
    }
    std::size_t checked = 0;
    for (std::size_t k = 0; k < map.areas->columns().size(); ++k) {
        const int column = map.areas->columns()[k];
        EXPECT_EQ(map.geometries[k].size(), map.areas->store(k).featureCount());
        for (std::size_t f = 0; f < map.geometries[k].size(); ++f) {
            OGREnvelope e;
            map.geometries[k][f]->getEnvelope(&e);
            std::vector<tracks::Visit> got;
            for (const tracks::Visit& v : visits) {
                if (v.column == column && v.area == static_cast<std::int32_t>(f)) {
                    got.push_back(v);
                }
            }
            if (!e.Intersects(box)) {
                EXPECT_TRUE(got.empty());
                continue;
            }
            SCOPED_TRACE(testing::Message() << "column " << column << ", area " << f);
            const auto expected = test::referenceVisits(track, *map.geometries[k][f], 6 * 3.6e6);
            EXPECT_EQ(got.size(), expected.size());
            for (std::size_t i = 0; i < std::min(got.size(), expected.size()); ++i) {
                EXPECT_NEAR(static_cast<double>(got[i].enterMs), expected[i].enterMs, 50);
                EXPECT_NEAR(static_cast<double>(got[i].exitMs), expected[i].exitMs, 50);
                EXPECT_NEAR(got[i].enterXy.x, expected[i].enter.x, 0.05);
                EXPECT_NEAR(got[i].exitXy.y, expected[i].exit.y, 0.05);
                EXPECT_EQ(got[i].positionsInside, expected[i].positions);
                EXPECT_EQ(got[i].enterKind, expected[i].enterKind);
                EXPECT_EQ(got[i].exitKind, expected[i].exitKind);
            }
            checked += got.size();
        }
    }
    return checked;
}

TEST(TrackSample, AcrossTheAntimeridian) {
    static const SampleMap map;
    ASSERT_TRUE(map.projection);
    ASSERT_FALSE(map.areas->columns().empty());
    // Along the Aleutians from 178.1° E to 177.9° W, a position every half hour.
    for (const double lat : {51.2, 51.8, 52.4}) {
        std::vector<RefPosition> track;
        for (int i = 0; i <= 16; ++i) {
            double lon = 178.1 + 0.25 * i;  // off the cells' meridians
            lon = lon > 180 ? lon - 360 : lon;
            RefPosition p{0, 0, i * 1800000LL};
            ASSERT_TRUE(map.projection->LatLongToAlbers(lon, lat, p.x, p.y));
            track.push_back(p);
        }
        SCOPED_TRACE(lat);
        EXPECT_GT(expectAsGeos(map, track), 0u);
    }
}

// From the corner of four statistical areas: an area the track leaves at once (a corner
// touched within the store's reach of its edges, a few millimetres) gets no visit, where the
// exact geometry gives one of microseconds.
TEST(TrackSample, ACornerLeftAtOnceIsNoVisit) {
    static const SampleMap map;
    std::vector<tracks::Visit> visits;
    tracks::TrackWalker walk(*map.areas, 0, {}, {}, &visits, nullptr);
    for (const auto& [lon, lat, ms] : {std::tuple{-160.0, 55.0, 0LL}, {-159.0, 55.5, 3600000LL}}) {
        RefPosition p{0, 0, ms};
        ASSERT_TRUE(map.projection->LatLongToAlbers(lon, lat, p.x, p.y));
        walk.add({{p.x, p.y}, p.ms});
    }
    walk.finish();
    ASSERT_FALSE(visits.empty());
    for (const tracks::Visit& v : visits) {
        if (v.enterMs == 0) {
            EXPECT_GE(v.exitMs, 100) << "area " << v.area << " of column " << v.column;
        }
    }
}

TEST(TrackSample, RandomTracks) {
    static const SampleMap map;
    std::mt19937 random(3);
    const MapRect extent = map.areas->store(0).extent();
    std::uniform_real_distribution<double> x(extent.left, extent.right);
    std::uniform_real_distribution<double> y(extent.bottom, extent.top);
    std::normal_distribution<double> step(0, 30000);
    std::size_t visits = 0;
    for (int t = 0; t < 6; ++t) {
        std::vector<RefPosition> track{{x(random), y(random), 0}};
        for (int i = 1; i < 40; ++i) {
            const RefPosition& p = track.back();
            track.push_back({p.x + step(random), p.y + step(random), p.ms + 1800000});
        }
        SCOPED_TRACE(t);
        visits += expectAsGeos(map, track);
    }
    EXPECT_GT(visits, 20u);
}

}  // namespace
