#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <thread>

#include "store/FeatureStore.h"
#include "store/TextColumn.h"
#include "support/LayerFixtures.h"

namespace pelagon {
namespace {

using test::FixtureFeature;
using test::FixtureKind;
using test::squareWkt;
using test::writeShapefile;

// Fixture coordinates are kilometres offset to a typical place of the map plane, so the grid
// works with the magnitudes of real Albers metres.
constexpr double kX0 = -1200000.0;
constexpr double kY0 = 600000.0;
double X(double km) {
    return kX0 + km * 1000.0;
}
double Y(double km) {
    return kY0 + km * 1000.0;
}

std::string ring(std::initializer_list<std::pair<double, double>> km) {
    std::string s = "(";
    for (auto [x, y] : km) {
        s += std::to_string(X(x)) + " " + std::to_string(Y(y)) + ",";
    }
    s += std::to_string(X(km.begin()->first)) + " " + std::to_string(Y(km.begin()->second)) + ")";
    return s;
}

std::shared_ptr<const FeatureStore> openOk(const QString& path) {
    StoreOpenResult r = FeatureStore::open(path);
    EXPECT_TRUE(r.store) << r.error.message.toStdString();
    return r.store;
}

class StoreAreaLayer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const std::string square = ring({{0, 0}, {0, 100}, {100, 100}, {100, 0}});
        const std::string hole = ring({{40, 40}, {60, 40}, {60, 60}, {40, 60}});
        const std::string err = writeShapefile(
            dir.filePath("areas.shp"), FixtureKind::Polygons, {"NAME", "CODE"},
            {
                {"POLYGON(" + square + "," + hole + ")", {"square", "A"}},
                {"MULTIPOLYGON((" + ring({{200, 0}, {200, 100}, {300, 100}, {300, 0}}) + "),(" +
                     ring({{400, 0}, {400, 100}, {500, 100}, {500, 0}}) + "))",
                 {"two parts", "B"}},
                {"POLYGON(" + ring({{100, 0}, {100, 100}, {200, 100}, {200, 0}}) + ")",
                 {"neighbour", std::nullopt}},
                {"", {"no shape", "D"}},
                {"POLYGON(" + ring({{0, 200}, {100, 300}, {100, 200}}) + ")", {std::nullopt, "E"}},
            });
        ASSERT_EQ(err, "");
        store = openOk(dir.filePath("areas.shp"));
        ASSERT_TRUE(store);
    }
    QTemporaryDir dir;
    std::shared_ptr<const FeatureStore> store;
};

TEST_F(StoreAreaLayer, SkipsFeaturesWithoutGeometryAndKeepsTheirFids) {
    EXPECT_EQ(store->kind(), GeometryKind::Polygons);
    ASSERT_EQ(store->featureCount(), 4u);
    EXPECT_EQ(store->sourceFid(2), 2);
    EXPECT_EQ(store->sourceFid(3), 4);                       // FID 3 has no geometry
    EXPECT_EQ(store->endRing(0) - store->firstRing(0), 2u);  // shell and hole
    EXPECT_EQ(store->endRing(1) - store->firstRing(1), 2u);  // two parts
    EXPECT_EQ(store->ring(store->firstRing(0)).size(), 4u);  // closing vertex dropped
    const MapRect e = store->extent();
    EXPECT_NEAR(e.left, X(0), 0.01);
    EXPECT_NEAR(e.right, X(500), 0.01);
    EXPECT_NEAR(e.bottom, Y(0), 0.01);
    EXPECT_NEAR(e.top, Y(300), 0.01);
}

TEST_F(StoreAreaLayer, SearchAtAPoint) {
    struct Case {
        const char* what;
        double x, y;  // km
        std::vector<FeatureId> expected;
    };
    const Case cases[] = {
        {"inside the shell", 20, 20, {0}},
        {"inside the hole", 50, 50, {}},
        {"on the hole's edge", 40, 50, {0}},
        {"on the hole's corner", 60, 60, {0}},
        {"on the outer corner", 0, 0, {0}},
        {"on an edge shared by two features", 100, 50, {0, 2}},
        {"in the first part", 250, 50, {1}},
        {"in the second part", 450, 99.999, {1}},
        {"between the parts", 350, 50, {}},
        {"on the top edge of a part", 250, 100, {1}},
        {"just outside", -0.01, 50, {}},
        {"far outside", 5000, -5000, {}},
        {"inside the triangle", 90, 230, {3}},
        {"outside the triangle's slope", 10, 250, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(store->searchPoint({X(c.x), Y(c.y)}, 0.0), c.expected) << c.what;
    }
}

TEST_F(StoreAreaLayer, AttributesByName) {
    struct Case {
        FeatureId f;
        QString field;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {0, "NAME", QString("square")},
        {1, "name", QString("two parts")},  // letter case does not matter
        {2, "CODE", QString("")},           // NULL reads as empty text
        {3, "NAME", QString("")},
        {3, "CODE", QString("E")},  // FID 4: the feature without geometry is skipped
        {0, "MISSING", std::nullopt},
        {0, "", std::nullopt},
        {99, "NAME", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(store->attributeText(c.f, c.field), c.expected)
            << c.f << " " << c.field.toStdString();
    }
    EXPECT_EQ(store->fieldNames(), QStringList({"NAME", "CODE"}));
    EXPECT_EQ(store->fieldIndex("code"), 1);
    EXPECT_EQ(store->fieldIndex("nope"), -1);
}

TEST_F(StoreAreaLayer, TextColumnMatchesSingleReads) {
    auto column = store->textColumn(store->fieldIndex("CODE"));
    ASSERT_TRUE(column);
    ASSERT_EQ(column->size(), store->featureCount());
    const char* expected[] = {"A", "B", "", "E"};
    for (FeatureId f = 0; f < 4; ++f) {
        EXPECT_EQ(column->text(f).toString(), QString(expected[f]));
    }
    EXPECT_EQ(store->textColumn(7), nullptr);
}

TEST_F(StoreAreaLayer, AttributeFilter) {
    QString error;
    auto kept = store->filterByAttributes({0, 1, 2, 3}, "CODE = 'B' OR NAME = 'square'", &error);
    ASSERT_TRUE(kept) << error.toStdString();
    EXPECT_EQ(*kept, (std::vector<FeatureId>{0, 1}));
    EXPECT_FALSE(store->filterByAttributes({0}, "NOSUCHFIELD = 3", &error));
    EXPECT_TRUE(error.contains("NOSUCHFIELD")) << error.toStdString();
}

TEST_F(StoreAreaLayer, AnchorsLieInsideTheirPolygons) {
    for (FeatureId f = 0; f < store->featureCount(); ++f) {
        EXPECT_TRUE(store->featureAt(f, store->labelAnchor(f), 0.0)) << f;
    }
}

TEST_F(StoreAreaLayer, ReadsFromSeveralThreadsAtOnce) {
    const int codeField = store->fieldIndex("CODE");
    std::atomic<int> wrong{0};
    auto reader = [&] {
        for (int i = 0; i < 200; ++i) {
            if (store->attributeText(0, codeField) != QString("A") ||
                store->searchPoint({X(250), Y(50)}, 0.0) != std::vector<FeatureId>{1}) {
                ++wrong;
            }
        }
    };
    std::thread a(reader), b(reader);
    auto column = store->textColumn(codeField);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(column->text(1).toString(), QString("B"));
}

TEST(FeatureStoreLines, SearchWithinTolerance) {
    QTemporaryDir dir;
    ASSERT_EQ(
        writeShapefile(dir.filePath("lines.shp"), FixtureKind::Lines, {"ID"},
                       {{"LINESTRING(" + std::to_string(X(0)) + " " + std::to_string(Y(0)) + "," +
                             std::to_string(X(100)) + " " + std::to_string(Y(0)) + ")",
                         {"1"}},
                        {"MULTILINESTRING((" + std::to_string(X(0)) + " " + std::to_string(Y(50)) +
                             "," + std::to_string(X(10)) + " " + std::to_string(Y(50)) + "),(" +
                             std::to_string(X(50)) + " " + std::to_string(Y(40)) + "," +
                             std::to_string(X(50)) + " " + std::to_string(Y(60)) + "))",
                         {"2"}}}),
        "");
    auto store = openOk(dir.filePath("lines"));
    ASSERT_TRUE(store);
    EXPECT_EQ(store->kind(), GeometryKind::Lines);
    struct Case {
        const char* what;
        double x, y, tolerance;  // km, km, metres
        std::vector<FeatureId> expected;
    };
    const Case cases[] = {
        {"on the line", 30, 0, 0, {0}},          {"within tolerance", 30, 0.4, 500, {0}},
        {"beyond tolerance", 30, 0.6, 500, {}},  {"beyond the end", 100.4, 0, 500, {0}},
        {"far beyond the end", 101, 0, 500, {}}, {"near the second part", 50.3, 45, 500, {1}},
        {"between the parts", 30, 45, 500, {}},  {"near both", 50, 20, 20500, {0, 1}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(store->searchPoint({X(c.x), Y(c.y)}, c.tolerance), c.expected) << c.what;
    }
    EXPECT_NEAR(store->labelAnchor(0).x, X(50), 0.01);
    EXPECT_NEAR(store->labelAnchor(0).y, Y(0), 0.01);
}

TEST(FeatureStorePoints, SearchWithinTolerance) {
    QTemporaryDir dir;
    auto pt = [](double x, double y) { return std::to_string(X(x)) + " " + std::to_string(Y(y)); };
    ASSERT_EQ(writeShapefile(dir.filePath("pts.shp"), FixtureKind::MultiPoints, {"ID"},
                             {{"MULTIPOINT(" + pt(10, 10) + ")", {"1"}},
                              {"MULTIPOINT((" + pt(20, 20) + "),(" + pt(30, 30) + "))", {"2"}}}),
              "");
    auto store = openOk(dir.filePath("pts.shp"));
    ASSERT_TRUE(store);
    EXPECT_EQ(store->kind(), GeometryKind::Points);
    struct Case {
        double x, y, tolerance;
        std::vector<FeatureId> expected;
    };
    const Case cases[] = {
        {10, 10, 0, {0}},     {10.3, 10, 500, {0}}, {10.3, 10.3, 400, {}},
        {30, 30.2, 300, {1}}, {25, 25, 1000, {}},   {20, 20, 20000, {0, 1}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(store->searchPoint({X(c.x), Y(c.y)}, c.tolerance), c.expected)
            << c.x << "," << c.y;
    }
    EXPECT_EQ(store->labelAnchor(1), (MapPoint{X(20), Y(20)}));
}

TEST(FeatureStoreOpen, FindsTheFileWithOrWithoutItsExtensionInAnyLetterCase) {
    QTemporaryDir dir;
    ASSERT_EQ(writeShapefile(dir.filePath("Closed.shp"), FixtureKind::Polygons, {"ID"},
                             {{squareWkt(0, 0, 10), {"1"}}}),
              "");
    const QString expected = QDir(dir.path()).absoluteFilePath("Closed.shp");
    for (const char* name : {"Closed.shp", "Closed", "closed", "CLOSED.SHP", "closed.shp"}) {
        EXPECT_EQ(FeatureStore::resolveDataFile(dir.filePath(name)), expected) << name;
        EXPECT_TRUE(FeatureStore::open(dir.filePath(name)).store) << name;
    }
    for (const char* name : {"Close", "", "Closed.sh"}) {
        const StoreOpenResult r = FeatureStore::open(dir.filePath(name));
        EXPECT_FALSE(r.store) << name;
        EXPECT_EQ(r.error.kind, StoreError::Kind::NotFound) << name;
    }
}

void truncateFile(const QString& path, qint64 keep) {
    QFile f(path);
    ASSERT_TRUE(f.resize(keep));
}

TEST(FeatureStoreOpen, BadFilesFailWithAMessageNamingTheFileAndTheProblem) {
    struct Case {
        const char* name;
        std::function<void(const QString& base)> make;  // base: folder + "/" + name
        const char* problem;                            // part of the message
    };
    const std::vector<FixtureFeature> three = {
        {squareWkt(0, 0, 10), {"a"}}, {squareWkt(20, 0, 10), {"b"}}, {squareWkt(40, 0, 10), {"c"}}};
    auto good = [&](const QString& base) {
        ASSERT_EQ(writeShapefile(base + ".shp", FixtureKind::Polygons, {"ID"}, three), "");
    };
    auto bytes = [](const QString& path, const QByteArray& content) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    };
    const Case cases[] = {
        {"truncated",
         [&](const QString& b) {
             good(b);
             truncateFile(b + ".shp", 200);
         },
         "damaged"},
        {"garbage", [&](const QString& b) { bytes(b + ".shp", QByteArray(300, '\x5a')); },
         "not a vector data file"},
        {"empty",
         [&](const QString& b) {
             ASSERT_EQ(writeShapefile(b + ".shp", FixtureKind::Polygons, {"ID"}, {}), "");
         },
         "no features"},
        {"nullsonly",
         [&](const QString& b) {
             ASSERT_EQ(writeShapefile(b + ".shp", FixtureKind::Polygons, {"ID"}, {{"", {"x"}}}),
                       "");
         },
         "no features"},
        {"tin.csv",
         [&](const QString& b) { bytes(b, "WKT,ID\n\"TIN (((0 0 0,0 1 0,1 0 0,0 0 0)))\",1\n"); },
         "does not draw"},
        {"mixed.geojson",
         [&](const QString& b) {
             bytes(b, R"({"type":"FeatureCollection","features":[
                 {"type":"Feature","properties":{},"geometry":{"type":"Point","coordinates":[1,2]}},
                 {"type":"Feature","properties":{},"geometry":{"type":"LineString",
                  "coordinates":[[1,2],[3,4]]}}]})");
         },
         "but the layer holds points"},
        {"table.csv", [&](const QString& b) { bytes(b, "A,B\n1,2\n"); }, "no geometry"},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString base = dir.filePath(c.name);
        c.make(base);
        const QString open = QString(c.name).contains('.') ? base : base + ".shp";
        const StoreOpenResult r = FeatureStore::open(open);
        EXPECT_FALSE(r.store) << c.name;
        EXPECT_EQ(r.error.kind, StoreError::Kind::Unreadable) << c.name;
        EXPECT_TRUE(r.error.message.contains(open)) << r.error.message.toStdString();
        EXPECT_TRUE(r.error.message.contains(c.problem))
            << c.name << ": " << r.error.message.toStdString();
    }
}

}  // namespace
}  // namespace pelagon
