#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cmath>
#include <sstream>

#include "store/FeatureStore.h"
#include "support/LayerFixtures.h"

// The boxes of the runs of long rings, which the point tests and drawing skip runs by, against
// their definition: run i holds edges i * kChunkEdges onwards, and its box both ends of each.
namespace pelagon {
namespace {

constexpr std::size_t K = FeatureStore::kChunkEdges;

std::string zigzag(std::size_t n, bool closed) {
    std::ostringstream s;
    s.precision(12);
    s << '(';
    for (std::size_t i = 0; i < n; ++i) {
        // Round a circle with a wobble, so every run has a box of its own.
        const double a = 6.283185307179586 * static_cast<double>(i) / static_cast<double>(n);
        const double r = 50000.0 + (i % 2 == 0 ? 300.0 : -200.0) + static_cast<double>(i % 7);
        s << (i ? "," : "") << 300000.0 + r * std::cos(a) << ' ' << 200000.0 + r * std::sin(a);
    }
    if (closed) {
        s << ',' << 300000.0 + (50300.0) << ' ' << 200000.0;
    }
    s << ')';
    return s.str();
}

TEST(StoreRuns, BoxesHoldEveryEdgeOfTheirRun) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        test::FixtureKind kind;
        std::size_t vertices;  // as stored: without a ring's closing vertex
    };
    // Short rings have no runs; lengths just past a multiple of the run length end in a run
    // of one edge, or (an open line) in none.
    const Case cases[] = {
        {test::FixtureKind::Polygons, 2 * K},  {test::FixtureKind::Polygons, 2 * K + 1},
        {test::FixtureKind::Polygons, 3 * K},  {test::FixtureKind::Polygons, 3 * K + 1},
        {test::FixtureKind::Polygons, 1000},   {test::FixtureKind::Lines, 2 * K + 1},
        {test::FixtureKind::Lines, 3 * K + 1}, {test::FixtureKind::Lines, 3 * K + 2},
        {test::FixtureKind::Lines, 1000},      {test::FixtureKind::MultiPoints, 3 * K + 1},
    };
    int counter = 0;
    for (const Case& c : cases) {
        const bool polygon = c.kind == test::FixtureKind::Polygons;
        const bool points = c.kind == test::FixtureKind::MultiPoints;
        std::string wkt;
        if (points) {
            wkt = "MULTIPOINT" + zigzag(c.vertices, false);
        } else {
            wkt = polygon ? "POLYGON(" + zigzag(c.vertices, true) + ")"
                          : "LINESTRING" + zigzag(c.vertices, false);
        }
        const QString path = dir.filePath(QStringLiteral("r%1.shp").arg(counter++));
        ASSERT_EQ(test::writeShapefile(path, c.kind, {"NAME"}, {{wkt, {"x"}}}), "");
        StoreOpenResult opened = FeatureStore::open(path);
        ASSERT_TRUE(opened.store) << opened.error.message.toStdString();
        const FeatureStore& store = *opened.store;
        const auto v = store.ring(0);
        ASSERT_EQ(v.size(), c.vertices);
        const auto runs = store.ringChunks(0);
        const std::size_t n = v.size();
        if (n <= 2 * K) {
            EXPECT_TRUE(runs.empty()) << n;
            continue;
        }
        const std::size_t items = polygon || points ? n : n - 1;
        ASSERT_EQ(runs.size(), (items + K - 1) / K) << n;
        for (std::size_t r = 0; r < runs.size(); ++r) {
            GridBox expected;
            const std::size_t last = std::min(r * K + K, polygon ? n : n - 1);
            for (std::size_t i = r * K; i <= last; ++i) {
                expected.add(v[i == n ? 0 : i]);
            }
            EXPECT_EQ(runs[r], expected) << n << " vertices, run " << r;
        }
    }
}

}  // namespace
}  // namespace pelagon
