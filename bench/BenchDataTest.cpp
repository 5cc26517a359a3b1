#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "BenchData.h"

namespace pelagon::bench {
namespace {

QJsonArray extentJson(double minX, double minY, double maxX, double maxY) {
    return QJsonArray{minX, minY, maxX, maxY};
}

QJsonObject layerJson(const char* name, const char* path, int features) {
    return QJsonObject{{"name", name},
                       {"path", path},
                       {"features", features},
                       {"rings", features + 1},
                       {"vertices", features * 5},
                       {"extent", extentJson(-100, -50, 100, 50)}};
}

QJsonObject viewJson(double minX, int inside) {
    return QJsonObject{{"extent", extentJson(minX, 0, minX + 20, 10)}, {"vertices_inside", inside}};
}

// A small manifest of the shape bench/make-data writes.
QJsonObject validManifest() {
    return QJsonObject{
        {"version", 1},
        {"frame", QJsonObject{{"width", 1920}, {"height", 1080}}},
        {"style", QJsonObject{{"fill", "#78aa78"},
                              {"outline", "#000000"},
                              {"outline_px", 1},
                              {"background", "#ffffff"},
                              {"antialiased", true}}},
        {"coastline", layerJson("coastline", "coastline/coastline.shp", 12)},
        {"grids", QJsonArray{layerJson("grid01", "grids/grid01.shp", 4),
                             layerJson("grid02", "grids/grid02.shp", 6)}},
        {"views", QJsonObject{{"full", viewJson(-100, 60)},
                              {"zoom", viewJson(-10, 7)},
                              {"pan", viewJson(-5, 8)},
                              {"densest", viewJson(30, 20)}}},
        {"search_points", QJsonObject{{"path", "points.csv"}, {"count", 3}}},
    };
}

constexpr const char* kPoints = "x,y\n1.5,-2\n-3e2,4.25\n7,8\n";

class BenchDataLoad : public ::testing::Test {
protected:
    void write(const QString& name, const QByteArray& content) {
        QFile file(folder_.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    void writeManifest(const QJsonObject& manifest) {
        write("manifest.json", QJsonDocument(manifest).toJson());
    }
    std::filesystem::path folder() const { return folder_.path().toStdString(); }

    // The message of the error that loading raises, or nothing when it loads.
    std::optional<std::string> loadError() {
        try {
            BenchData::load(folder());
        } catch (const BenchDataError& e) {
            return std::string(e.what());
        }
        return std::nullopt;
    }

    QTemporaryDir folder_;
};

TEST_F(BenchDataLoad, ReadsEveryPartOfTheManifest) {
    writeManifest(validManifest());
    write("points.csv", kPoints);
    const BenchData data = BenchData::load(folder());

    EXPECT_EQ(data.frameWidth(), 1920);
    EXPECT_EQ(data.frameHeight(), 1080);
    EXPECT_EQ(data.style().fill, "#78aa78");
    EXPECT_EQ(data.style().outline, "#000000");
    EXPECT_EQ(data.style().background, "#ffffff");
    EXPECT_DOUBLE_EQ(data.style().outlinePixels, 1);
    EXPECT_TRUE(data.style().antialiased);

    EXPECT_EQ(data.coastline().name, "coastline");
    EXPECT_EQ(data.coastline().path, folder() / "coastline/coastline.shp");
    EXPECT_EQ(data.coastline().features, 12);
    EXPECT_EQ(data.coastline().rings, 13);
    EXPECT_EQ(data.coastline().vertices, 60);
    EXPECT_DOUBLE_EQ(data.coastline().extent.width(), 200);
    EXPECT_DOUBLE_EQ(data.coastline().extent.height(), 100);

    const std::vector<LayerData> layers = data.searchLayers();
    ASSERT_EQ(layers.size(), 3u);
    EXPECT_EQ(layers[0].name, "coastline");
    EXPECT_EQ(layers[1].name, "grid01");
    EXPECT_EQ(layers[2].name, "grid02");
    EXPECT_EQ(layers[2].features, 6);

    EXPECT_DOUBLE_EQ(data.fullView().extent.minX, -100);
    EXPECT_DOUBLE_EQ(data.zoomView().extent.minX, -10);
    EXPECT_DOUBLE_EQ(data.panView().extent.minX, -5);
    EXPECT_DOUBLE_EQ(data.densestView().extent.maxX, 50);
    EXPECT_EQ(data.zoomView().verticesInside, 7);
    EXPECT_EQ(data.densestView().verticesInside, 20);

    ASSERT_EQ(data.searchPoints().size(), 3u);
    EXPECT_DOUBLE_EQ(data.searchPoints()[0].x, 1.5);
    EXPECT_DOUBLE_EQ(data.searchPoints()[0].y, -2);
    EXPECT_DOUBLE_EQ(data.searchPoints()[1].x, -300);
    EXPECT_DOUBLE_EQ(data.searchPoints()[2].y, 8);
}

TEST_F(BenchDataLoad, NamesTheFileAndTheFaultOfABrokenManifest) {
    struct Case {
        const char* what;
        std::function<void(QJsonObject&)> change;
        const char* message;
    };
    auto set = [](QJsonObject& root, const char* part, const char* field, QJsonValue value) {
        QJsonObject object = root[part].toObject();
        object[field] = value;
        root[part] = object;
    };
    const Case cases[] = {
        {"newer version", [](QJsonObject& m) { m["version"] = 2; },
         "manifest.json: version 2, expected 1"},
        {"no coastline vertices",
         [](QJsonObject& m) {
             QJsonObject coastline = m["coastline"].toObject();
             coastline.remove("vertices");
             m["coastline"] = coastline;
         },
         "manifest.json: 'coastline.vertices' is missing"},
        {"negative count",
         [](QJsonObject& m) {
             QJsonArray grids = m["grids"].toArray();
             QJsonObject second = grids[1].toObject();
             second["features"] = -3;
             grids[1] = second;
             m["grids"] = grids;
         },
         "'grids[1].features' is not a whole number"},
        {"fractional count", [&](QJsonObject& m) { set(m, "coastline", "rings", 2.5); },
         "'coastline.rings' is not a whole number"},
        {"text for a number", [&](QJsonObject& m) { set(m, "frame", "width", "wide"); },
         "'frame.width' is not a number"},
        {"empty frame", [&](QJsonObject& m) { set(m, "frame", "height", 0); },
         "'frame' has no area"},
        {"flag as text", [&](QJsonObject& m) { set(m, "style", "antialiased", "yes"); },
         "'style.antialiased' is not true or false"},
        {"three-number extent",
         [](QJsonObject& m) {
             QJsonObject views = m["views"].toObject();
             views["zoom"] = QJsonObject{{"extent", QJsonArray{0, 0, 1}}, {"vertices_inside", 1}};
             m["views"] = views;
         },
         "'views.zoom.extent' does not hold four numbers"},
        {"inverted extent",
         [](QJsonObject& m) {
             QJsonObject views = m["views"].toObject();
             views["pan"] = QJsonObject{{"extent", extentJson(5, 0, 1, 1)}, {"vertices_inside", 1}};
             m["views"] = views;
         },
         "'views.pan.extent' is not a rectangle"},
        {"no densest view",
         [](QJsonObject& m) {
             QJsonObject views = m["views"].toObject();
             views.remove("densest");
             m["views"] = views;
         },
         "'views.densest' is missing"},
        {"grids not a list", [](QJsonObject& m) { m["grids"] = 3; }, "'grids' is not a list"},
        {"point count differs", [&](QJsonObject& m) { set(m, "search_points", "count", 5); },
         "'search_points.count' says 5 but the file holds 3"},
        {"point file missing",
         [&](QJsonObject& m) { set(m, "search_points", "path", "elsewhere.csv"); },
         "elsewhere.csv: cannot be read"},
    };
    write("points.csv", kPoints);
    for (const Case& c : cases) {
        QJsonObject manifest = validManifest();
        c.change(manifest);
        writeManifest(manifest);
        const std::optional<std::string> error = loadError();
        ASSERT_TRUE(error.has_value()) << c.what;
        EXPECT_NE(error->find(c.message), std::string::npos) << c.what << ": " << *error;
    }
}

TEST_F(BenchDataLoad, ReportsTheLineOfInvalidJsonAndAMissingManifest) {
    std::optional<std::string> error = loadError();
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find("manifest.json: cannot be read"), std::string::npos) << *error;
    EXPECT_NE(error->find("bench/make-data"), std::string::npos) << *error;

    write("manifest.json", "{\n  \"version\": 1,\n  \"frame\": {,}\n}\n");
    error = loadError();
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find("manifest.json, line 3: "), std::string::npos) << *error;
}

TEST(ReadSearchPoints, ReadsPairsAndNamesTheLineAtFault) {
    struct Case {
        const char* content;
        std::size_t count;    // points read when no error is expected
        const char* message;  // expected part of the error, or nullptr
    };
    const Case cases[] = {
        {"x,y\n1,2\n3,4\n", 2, nullptr},
        {"x,y\r\n1,2\r\n3,4\r\n", 2, nullptr},
        {"x,y\n1,2\n\n3,4", 2, nullptr},
        {"x,y\n", 0, nullptr},
        {"", 0, "is empty"},
        {"lon,lat\n1,2\n", 0, "line 1: expected the header 'x,y', found 'lon,lat'"},
        {"x,y\n1,2\n3;4\n", 0, "line 3: expected two numbers 'x,y', found '3;4'"},
        {"x,y\n1.5x,2\n", 0, "line 2: expected two numbers"},
        {"x,y\n1,\n", 0, "line 2: expected two numbers"},
        {"x,y\n1,2,3\n", 0, "line 2: expected two numbers"},
    };
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::filesystem::path path = folder.filePath("points.csv").toStdString();
    for (const Case& c : cases) {
        {
            QFile file(QString::fromStdString(path.string()));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(c.content);
        }
        if (c.message == nullptr) {
            EXPECT_EQ(readSearchPoints(path).size(), c.count) << c.content;
            continue;
        }
        try {
            readSearchPoints(path);
            ADD_FAILURE() << "no error for: " << c.content;
        } catch (const BenchDataError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(path.string()), std::string::npos) << message;
            EXPECT_NE(message.find(c.message), std::string::npos) << message;
        }
    }
}

// Sets or clears environment variables for one test and restores them afterwards.
class ScopedEnvironment {
public:
    ~ScopedEnvironment() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }
    void set(const char* name, const char* value) {
        if (saved_.find(name) == saved_.end()) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST(BenchDataDefaultFolder, FollowsTheEnvironment) {
    struct Case {
        const char* benchData;
        const char* xdgCache;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/data/bench", "/xdg", "/home/a", "/data/bench"},
        {nullptr, "/xdg", "/home/a", "/xdg/pelagon/bench"},
        {"", "/xdg", "/home/a", "/xdg/pelagon/bench"},
        {nullptr, nullptr, "/home/a", "/home/a/.cache/pelagon/bench"},
        {nullptr, "", "/home/a", "/home/a/.cache/pelagon/bench"},
    };
    for (const Case& c : cases) {
        ScopedEnvironment environment;
        environment.set("PELAGON_BENCH_DATA", c.benchData);
        environment.set("XDG_CACHE_HOME", c.xdgCache);
        environment.set("HOME", c.home);
        EXPECT_EQ(BenchData::defaultFolder(), std::filesystem::path(c.expected)) << c.expected;
    }
    ScopedEnvironment environment;
    environment.set("PELAGON_BENCH_DATA", nullptr);
    environment.set("XDG_CACHE_HOME", nullptr);
    environment.set("HOME", nullptr);
    EXPECT_THROW(BenchData::defaultFolder(), BenchDataError);
}

}  // namespace
}  // namespace pelagon::bench
