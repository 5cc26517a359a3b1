// Visits and hours of tracks through areas written by the test, each checked against GEOS.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <ogr_geometry.h>

#include <algorithm>
#include <random>
#include <string_view>

#include "mapdef/LayerInfo.h"
#include "positions/PositionsFile.h"
#include "query/PositionQuery.h"
#include "render/MapLayer.h"
#include "support/LayerFixtures.h"
#include "tracks/AreaVisits.h"
#include "tracks/TrackReference.h"
#include "tracks/TrackTables.h"
#include "tracks/TrackTime.h"

using namespace pelagon;
using test::RefPosition;

namespace {

// A, B share the edge x = 1000; C overlaps both; H has a hole; M has two parts; D is a
// diamond with corners at (10000, 500) and (10500, 0).
const std::vector<std::pair<std::string, std::string>> kAreas = {
    {"A", "POLYGON ((0 0,1000 0,1000 1000,0 1000,0 0))"},
    {"B", "POLYGON ((1000 0,2000 0,2000 1000,1000 1000,1000 0))"},
    {"C", "POLYGON ((500 500,1500 500,1500 1500,500 1500,500 500))"},
    {"H",
     "POLYGON ((3000 0,5000 0,5000 2000,3000 2000,3000 0),"
     "(3500 500,4500 500,4500 1500,3500 1500,3500 500))"},
    {"M",
     "MULTIPOLYGON (((6000 0,7000 0,7000 1000,6000 1000,6000 0)),"
     "((8000 0,9000 0,9000 1000,8000 1000,8000 0)))"},
    {"D", "POLYGON ((10500 0,11000 500,10500 1000,10000 500,10500 0))"},
};

class AreaFixture {
public:
    AreaFixture() {
        std::vector<test::FixtureFeature> features;
        for (const auto& [name, wkt] : kAreas) {
            features.push_back({wkt, {name}});
        }
        const QString shp = dir_.path() + "/zones.shp";
        problem_ = test::writeShapefile(shp, test::FixtureKind::Polygons, {"NAME"}, features);
        LayerInfo info;
        info.LayerName = "Zones";
        info.QueryMode = 2;
        info.AttrField = "NAME";
        info.ShapeFile = "zones";
        infos_.push_back(info);
        auto layer = std::make_shared<MapLayer>();
        layer->setDataFile(shp);
        layers_.push_back(layer);
        query_ = std::make_shared<const PositionQuery>(infos_, layers_, PositionQuery::Options{});
        areas_ = std::make_unique<tracks::TrackAreas>(query_, layers_);
        for (const auto& [name, wkt] : kAreas) {
            OGRGeometry* g = nullptr;
            OGRGeometryFactory::createFromWkt(wkt.c_str(), nullptr, &g);
            geometries_.emplace_back(g);
        }
    }
    const std::string& problem() const { return problem_; }
    const tracks::TrackAreas& areas() const { return *areas_; }
    const OGRGeometry& geometry(std::size_t k) const { return *geometries_[k]; }

private:
    QTemporaryDir dir_;
    std::string problem_;
    QVector<LayerInfo> infos_;
    std::vector<std::shared_ptr<MapLayer>> layers_;
    std::shared_ptr<const PositionQuery> query_;
    std::unique_ptr<tracks::TrackAreas> areas_;
    std::vector<std::unique_ptr<OGRGeometry>> geometries_;
};

constexpr qint64 kMinute = 60000;

struct GeometryCase {
    const char* name;
    std::vector<RefPosition> track;  // minutes, in time order
};

const std::vector<GeometryCase> kGeometryCases = {
    {"in and out within one segment", {{2500, 100, 0}, {5500, 100, 60}}},
    {"enters through a corner", {{9500, 500, 0}, {10500, 500, 60}}},
    {"touches a corner at a position", {{9500, 500, 0}, {10000, 500, 30}, {9500, 900, 60}}},
    {"touches a corner inside a segment", {{9800, 0, 0}, {9800, 1000, 60}, {10000, 300, 90}}},
    {"along a shared edge", {{1000, -500, 0}, {1000, 1500, 60}}},
    {"along an edge, then in", {{-500, 0, 0}, {500, 0, 20}, {500, 500, 40}, {-200, 500, 60}}},
    {"starts inside", {{500, 200, 0}, {-500, 200, 60}}},
    {"gap inside", {{200, 200, 0}, {300, 300, 60}, {400, 400, 480}, {-100, -100, 540}}},
    {"alone between gaps", {{-50, -50, 0}, {300, 300, 500}, {5, 5, 1000}}},
    {"overlapping areas", {{200, 700, 0}, {1800, 700, 60}}},
    {"through a hole", {{2500, 1000, 0}, {5500, 1000, 60}}},
    {"two parts of one area", {{5500, 500, 0}, {9500, 500, 60}}},
    {"equal times", {{-500, 300, 0}, {300, 300, 0}, {300, 300, 0}, {-500, 300, 0}}},
    {"stationary inside", {{300, 300, 0}, {300, 300, 60}, {300, 300, 60}}},
    {"stationary on a boundary", {{0, 300, 0}, {0, 300, 60}}},
    {"ends on a boundary", {{-500, 300, 0}, {0, 300, 60}}},
    {"zigzag",
     {{-100, 900, 0}, {100, 950, 10}, {-100, 1000, 20}, {1200, 1200, 40}, {2100, -1, 50}}},
};

class TrackGeometry : public testing::TestWithParam<GeometryCase> {};

TEST_P(TrackGeometry, MatchesGeos) {
    static const AreaFixture fixture;
    ASSERT_EQ(fixture.problem(), "");
    const GeometryCase& c = GetParam();
    std::vector<RefPosition> track = c.track;
    for (RefPosition& p : track) {
        p.ms *= kMinute;
    }
    const double maxGapMs = 6 * 3600000.0;
    std::vector<tracks::Visit> visits;
    std::vector<tracks::AreaHours> hours;
    tracks::TrackWalker walker(fixture.areas(), 0, {}, {}, &visits, &hours);
    for (const RefPosition& p : track) {
        walker.add({{p.x, p.y}, p.ms});
    }
    walker.finish();
    for (std::size_t a = 0; a < kAreas.size(); ++a) {
        SCOPED_TRACE(kAreas[a].first);
        const std::vector<test::RefVisit> expected =
            test::referenceVisits(track, fixture.geometry(a), maxGapMs);
        std::vector<tracks::Visit> got;
        std::copy_if(visits.begin(), visits.end(), std::back_inserter(got),
                     [&](const tracks::Visit& v) { return v.area == static_cast<int>(a); });
        ASSERT_EQ(got.size(), expected.size());
        double expectedHours = 0;
        for (std::size_t i = 0; i < got.size(); ++i) {
            const tracks::Visit& v = got[i];
            const test::RefVisit& e = expected[i];
            EXPECT_NEAR(static_cast<double>(v.enterMs), e.enterMs, 1.0);
            EXPECT_NEAR(static_cast<double>(v.exitMs), e.exitMs, 1.0);
            EXPECT_NEAR(v.enterXy.x, e.enter.x, 0.01);
            EXPECT_NEAR(v.enterXy.y, e.enter.y, 0.01);
            EXPECT_NEAR(v.exitXy.x, e.exit.x, 0.01);
            EXPECT_NEAR(v.exitXy.y, e.exit.y, 0.01);
            EXPECT_EQ(v.positionsInside, e.positions);
            EXPECT_EQ(v.enterKind, e.enterKind);
            EXPECT_EQ(v.exitKind, e.exitKind);
            expectedHours += (e.exitMs - e.enterMs) / 3600000.0;
        }
        double gotHours = 0;
        qint64 gotPositions = 0;
        for (const tracks::AreaHours& h : hours) {
            if (h.area == static_cast<int>(a)) {
                gotHours += h.hours;
                gotPositions += h.positions;
            }
        }
        EXPECT_NEAR(gotHours, expectedHours, 1e-6);
        EXPECT_EQ(gotPositions, test::referencePositionsInside(track, fixture.geometry(a)));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TrackGeometry, testing::ValuesIn(kGeometryCases),
                         [](const testing::TestParamInfo<GeometryCase>& info) {
                             std::string name = info.param.name;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char ch) {
                                     return !std::isalnum(static_cast<unsigned char>(ch));
                                 },
                                 '_');
                             return name;
                         });

// Positions given in any order, on several threads, give the table that the same positions in
// vessel and time order give one vessel at a time.
TEST(TrackCollector, AnyOrderAsSorted) {
    static const AreaFixture fixture;
    ASSERT_EQ(fixture.problem(), "");
    std::mt19937 random(7);
    std::uniform_real_distribution<double> x(-500, 11500), y(-500, 2000);
    struct Row {
        QByteArray vessel;
        MapPoint xy;
        qint64 ms;
    };
    std::vector<Row> rows;
    const std::vector<QByteArray> vessels = {"b", "a", "", "\xc3\xa9t\xc3\xa9", "Z"};
    for (const QByteArray& v : vessels) {
        qint64 t = 0;
        for (int i = 0; i < 300; ++i) {
            t += (i % 50 == 49 ? 7 * 60 : 10) * kMinute;
            rows.push_back({v, {x(random), y(random)}, t});
        }
    }
    // In order, one vessel after another in byte order of the names.
    std::vector<Row> sorted = rows;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Row& a, const Row& b) { return a.vessel < b.vessel; });
    const tracks::AreaOrder order(fixture.areas());
    QByteArray expected = tracks::VisitTable::header();
    const tracks::VisitTable table(fixture.areas(), nullptr);
    std::size_t i = 0;
    while (i < sorted.size()) {
        std::vector<tracks::Visit> visits;
        tracks::TrackWalker walker(fixture.areas(), 0, {}, {}, &visits, nullptr);
        const QByteArray vessel = sorted[i].vessel;
        for (; i < sorted.size() && sorted[i].vessel == vessel; ++i) {
            walker.add({sorted[i].xy, sorted[i].ms});
        }
        walker.finish();
        const std::int32_t only[] = {0};
        tracks::sortVisits(visits, order, only);
        for (const tracks::Visit& v : visits) {
            table.appendRow(expected, vessel, v);
        }
    }
    // Each vessel's positions in time order, the vessels interleaved (walked where they lie),
    // then shuffled (sorted first); either way over several of a vessel's chunks.
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row& a, const Row& b) { return a.ms < b.ms; });
    for (const char* order : {"in time order", "shuffled"}) {
        if (std::string_view(order) == "shuffled") {
            std::shuffle(rows.begin(), rows.end(), random);
        }
        tracks::TrackCollector collector;
        for (const Row& r : rows) {
            collector.add(r.vessel, r.xy, r.ms);
        }
        tracks::TrackWork work;
        work.threads = 3;
        const tracks::TrackResults results = collector.compute(fixture.areas(), work);
        EXPECT_GT(results.visits.size(), 100u) << order;
        EXPECT_EQ(tracks::visitsCsv(results, fixture.areas(), nullptr), expected) << order;
    }
}

// The quick reading of the usual forms of time gives what the general reader gives, and hands
// every other form on to it.
TEST(TrackTime, ReadsAsTheGeneralReader) {
    for (const char* text : {
             "2024-05-01T06:30:00Z",
             "2024-05-01T06:30:00",
             "2024-05-01T06:30:00.5Z",
             "2024-05-01T06:30:00.123+05:30",
             "2024-05-01T06:30:00-08:00",
             "2024-05-01T06:30:00+14:00",
             "2024-02-29T23:59:59.999Z",
             "1969-12-31T23:59:59.999Z",
             "2023-02-29T00:00:00Z",
             "2024-04-31T00:00:00Z",
             "2024-13-01T00:00:00Z",
             "2024-05-01T24:00:00Z",
             "2024-05-01T06:60:00Z",
             "2024-05-01T06:30:60Z",
             " 2024-05-01T06:30:00Z ",
             "2024-05-01 06:30:00",
             "2024-05-01T06:30:00.1234Z",
             "2024-05-01T06:30:00.Z",
             "2024-05-01T06:30:00ZZ",
             "2024-05-01T06:30:00+0530",
             "2024-05-01T06:30:00+24:00",
             "2024-05-01T06:30",
             "2024-05-01",
             "yesterday",
         }) {
        EXPECT_EQ(tracks::readIsoTime(text), positions::parseIsoTime(text)) << text;
    }
}

}  // namespace
