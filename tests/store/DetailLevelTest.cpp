#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cmath>
#include <numbers>
#include <sstream>
#include <thread>
#include <vector>

#include "store/DetailLevel.h"
#include "store/FeatureStore.h"
#include "store/RingMath.h"
#include "store/RingSimplifier.h"
#include "support/LayerFixtures.h"

namespace pelagon {
namespace {

// A circle of the given radius with a ripple on it, as grid points.
std::vector<GridPoint> ripple(int n, double radius, double amplitude, int waves) {
    std::vector<GridPoint> v;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * std::numbers::pi * i / n;
        const double r = radius + amplitude * std::sin(waves * a);
        v.push_back({static_cast<std::int32_t>(std::lround(r * std::cos(a))),
                     static_cast<std::int32_t>(std::lround(r * std::sin(a)))});
    }
    return v;
}

// The largest distance from a vertex of v to the kept outline.
double worstDistance(const std::vector<GridPoint>& v, const std::vector<GridPoint>& kept,
                     bool closed) {
    double worst = 0.0;
    const std::size_t edges = closed ? kept.size() : kept.size() - 1;
    for (const GridPoint p : v) {
        double best = INFINITY;
        for (std::size_t e = 0; e < std::max<std::size_t>(edges, 1); ++e) {
            const GridPoint a = kept[e], b = kept[(e + 1) % kept.size()];
            best = std::min(best, ringmath::distanceSquaredToSegment(p.x, p.y, a, b));
        }
        worst = std::max(worst, std::sqrt(best));
    }
    return worst;
}

// Kept vertices are original ones in their original order.
bool isOrderedSubset(const std::vector<GridPoint>& v, const std::vector<GridPoint>& kept) {
    std::size_t i = 0;
    for (const GridPoint k : kept) {
        while (i < v.size() && !(v[i] == k)) {
            ++i;
        }
        if (i == v.size()) {
            return false;
        }
        ++i;
    }
    return true;
}

TEST(RingSimplifier, KeepsEveryDroppedVertexWithinTheTolerance) {
    std::vector<GridPoint> zigzag;
    for (int i = 0; i < 500; ++i) {
        zigzag.push_back({i * 10, (i % 2) * 7 + (i / 50) * 40});
    }
    std::vector<GridPoint> straight;
    for (int i = 0; i <= 100; ++i) {
        straight.push_back({i * 3, i * 2});
    }
    struct Case {
        const char* what;
        std::vector<GridPoint> v;
        bool closed;
        double tolerance;
        std::size_t atMost;  // kept vertices
        std::size_t atLeast;
    };
    const Case cases[] = {
        {"rippled circle, fine", ripple(4000, 100000, 300, 40), true, 50, 4000, 200},
        {"rippled circle, ripple below tolerance", ripple(4000, 100000, 300, 40), true, 1000, 120,
         8},
        {"rippled circle, coarser than the circle", ripple(4000, 100000, 300, 40), true, 500000, 1,
         1},
        {"zigzag line, teeth kept", zigzag, false, 5, 500, 400},
        {"zigzag line, teeth dropped", zigzag, false, 20, 40, 2},
        {"collinear line", straight, false, 1, 2, 2},
        {"one vertex", {{5, 5}}, true, 100, 1, 1},
    };
    for (const Case& c : cases) {
        RingSimplifier simplifier(c.tolerance);
        std::vector<GridPoint> kept;
        simplifier.simplify(c.v, c.closed, kept);
        EXPECT_LE(kept.size(), c.atMost) << c.what;
        EXPECT_GE(kept.size(), c.atLeast) << c.what;
        EXPECT_TRUE(isOrderedSubset(c.v, kept)) << c.what;
        EXPECT_LE(worstDistance(c.v, kept, c.closed), c.tolerance) << c.what;
        if (!c.closed) {
            EXPECT_EQ(kept.front(), c.v.front()) << c.what;
            EXPECT_EQ(kept.back(), c.v.back()) << c.what;
        }
    }
}

// A detailed polygon with a hole, written to a shapefile, for the levels of detail.
class StoreDetail : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        std::ostringstream wkt;
        wkt.precision(12);
        auto ringText = [&](const std::vector<GridPoint>& v) {
            wkt << '(';
            for (const GridPoint p : v) {
                wkt << 500000.0 + p.x << ' ' << 400000.0 + p.y << ',';
            }
            wkt << 500000.0 + v[0].x << ' ' << 400000.0 + v[0].y << ')';
        };
        wkt << "POLYGON(";
        ringText(ripple(20000, 50000, 200, 300));
        wkt << ',';
        ringText(ripple(2000, 10000, 100, 30));
        wkt << ')';
        path = dir.filePath("detail.shp");
        ASSERT_EQ(test::writeShapefile(path, test::FixtureKind::Polygons, {"NAME"},
                                       {{wkt.str(), {"island"}}}),
                  "");
        StoreOpenResult r = FeatureStore::open(path);
        ASSERT_TRUE(r.store) << r.error.message.toStdString();
        store = r.store;
    }

    double gridUnits(double metres) const { return metres / store->frame().step; }

    QTemporaryDir dir;
    QString path;
    std::shared_ptr<const FeatureStore> store;
};

TEST_F(StoreDetail, LevelsFollowThePixelSize) {
    struct Case {
        double pixelMetres;
        bool simplified;
    };
    // Vertices lie about 16 m apart on the shell: a pixel of 10 cm needs them all; at 200 m and
    // 2 km a pixel, a copy keeps far fewer.
    for (const Case c : {Case{0.1, false}, Case{200.0, true}, Case{2000.0, true}}) {
        const DetailLevel* level = store->detailFor(gridUnits(c.pixelMetres));
        ASSERT_EQ(level != nullptr, c.simplified) << c.pixelMetres;
        if (level == nullptr) {
            continue;
        }
        EXPECT_LE(level->tolerance(), gridUnits(c.pixelMetres) / 2.0) << c.pixelMetres;
        EXPECT_GT(level->tolerance(), gridUnits(c.pixelMetres) / 4.0) << c.pixelMetres;
        EXPECT_LT(level->vertexCount(), store->vertexCount() / 2) << c.pixelMetres;
        // Both rings are kept, each closing on itself, hole included.
        EXPECT_GE(level->ring(0).size(), 3u);
        EXPECT_GE(level->ring(1).size(), 3u);
        EXPECT_EQ(store->detailFor(gridUnits(c.pixelMetres)), level) << "built once";
    }
    EXPECT_GT(store->detailBytes(), 0u);
}

TEST_F(StoreDetail, ThreadsAskingAtOnceShareOneLevel) {
    std::vector<const DetailLevel*> seen(4, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&, i] { seen[i] = store->detailFor(gridUnits(500.0)); });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    ASSERT_NE(seen[0], nullptr);
    for (const DetailLevel* s : seen) {
        EXPECT_EQ(s, seen[0]);
    }
}

}  // namespace
}  // namespace pelagon
