// Shading a layer's areas by the hours of a positions file: the classes and what is drawn, and
// that the hours are those pelagon-cli hours writes for the same options.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimeZone>

#include <cmath>
#include <map>
#include <vector>

#include "app/AreaShading.h"
#include "app/MapWindowFixture.h"
#include "app/PositionsController.h"
#include "app/PositionsWindow.h"
#include "legend/LayerListForm.h"
#include "positions/Csv.h"
#include "query/PositionSet.h"
#include "render/MapLayer.h"
#include "render/Viewport.h"

using namespace pelagon;

namespace {

// Breaks are the nearest-rank quintiles rounded to two digits, the top rounded up, none leaving
// a class empty; an area's class is the first whose upper break holds its hours; 0 hours has none.
TEST(ShadeClassesTest, BreaksAndClassesFromHours) {
    struct Case {
        const char* name;
        std::vector<double> hours;
        std::vector<double> upper;
        std::vector<std::pair<double, int>> classOf;
        const char* firstLabel;
    };
    const Case cases[] = {
        {"even",
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
         {2, 4, 6, 8, 10},
         {{0, -1}, {2, 0}, {2.0001, 1}, {8, 3}, {8.0001, 4}, {10, 4}},
         "0–2 h"},
        {"skewed: equal breaks merge",
         {0.123, 0.5, 0.5, 0.5, 0.5, 47.3, 0},
         {0.5, 48},
         {{0.123, 0}, {0.5, 0}, {0.5001, 1}, {47.3, 1}},
         "0–0.5 h"},
        // 0.01234 and 13.4 round to 0.012 and 13, which would leave their classes empty.
        {"rounded to two digits",
         {0.01234, 0.0456, 1.26, 13.4, 1234},
         {0.046, 1.3, 1300},
         {{0.01234, 0}, {0.046, 0}, {0.0461, 1}, {1.3, 1}, {13.4, 2}, {1234, 2}},
         "0–0.046 h"},
        {"one area", {3.14159}, {3.2}, {{3.14159, 0}, {-1, -1}}, "0–3.2 h"},
        {"no hours", {0, 0}, {}, {{0, -1}, {1, -1}}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ShadeClasses classes = shadeClasses(c.hours);
        ASSERT_EQ(classes.upper.size(), c.upper.size());
        for (std::size_t k = 0; k < c.upper.size(); ++k) {
            EXPECT_NEAR(classes.upper[k], c.upper[k], 1e-9 * c.upper[k]) << k;
        }
        for (const auto& [hours, expected] : c.classOf) {
            EXPECT_EQ(classes.classOf(hours), expected) << hours;
        }
        if (c.firstLabel != nullptr) {
            EXPECT_EQ(classes.label(0), QString::fromUtf8(c.firstLabel));
        }
    }
}

class AreaShadingTest : public test::MapWindowFixture {
protected:
    void SetUp() override {
        MapWindowFixture::SetUp();
        open();
        // East past Marmot Island, across midnight, two vessels; one slow leg.
        const MapPoint marmot{126009.277 + 4500, 913108.001};
        QByteArray csv = "vessel,time,lon,lat\n";
        for (const char* vessel : {"Aurora", "Borealis"}) {
            for (int i = 0; i < 10; ++i) {
                // The leg from the fifth position on is 500 m in an hour: under the speed range.
                const MapPoint p{marmot.x - 25000 + i * 6000 - (i > 4 ? 5500 : 0), marmot.y + 300};
                double lon = 0, lat = 0;
                ASSERT_TRUE(map->projection.AlbersToLatLong(p.x, p.y, lon, lat));
                const int hour = 20 + i + (vessel[0] == 'B' ? 1 : 0);
                csv += QByteArray(vessel) + ",2024-05-0" + QByteArray::number(1 + hour / 24) + "T" +
                       QByteArray::number(hour % 24).rightJustified(2, '0') + ":00:00Z," +
                       QByteArray::number(lon, 'f', 8) + "," + QByteArray::number(lat, 'f', 8) +
                       "\n";
            }
        }
        writeFile("shade.csv", csv);
        path = sample.folder() + "/shade.csv";
        QSignalSpy opened(map->positions(), &PositionsController::fileShown);
        map->positions()->openFile(path);
        ASSERT_TRUE(opened.wait(20000));
        set = map->positions()->windows().last()->model()->positions();

        // The layer of areas the most positions lie in, on 2024-05-01 at 1 to 20 knots.
        std::size_t most = 0;
        columns = set->query->columns().size();
        for (std::size_t c = 0; c < columns; ++c) {
            std::size_t inside = 0;
            for (std::size_t r = 0; r < set->rows.size(); ++r) {
                inside += set->features[r * columns + c] != PositionQuery::kNothing ? 1 : 0;
            }
            if (set->query->columns()[c].areas && inside > most) {
                most = inside;
                request.column = static_cast<int>(c);
            }
        }
        ASSERT_GE(request.column, 0);
        request.hours.by = tracks::Period::Day;
        request.hours.speedRange = true;
        request.hours.minKnots = 1;
        request.hours.maxKnots = 20;
        request.periodStartMs =
            QDateTime(QDate(2024, 5, 1), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
        request.periodText = "2024-05-01";
    }

    // Shades by the request and waits until the shading changed.
    void shade(const ShadeRequest& r) {
        QSignalSpy shaded(map->positions(), &PositionsController::shadingChanged);
        map->positions()->shadeAreas(set, r);
        ASSERT_TRUE(shaded.wait(20000));
    }

    QString path;
    std::shared_ptr<const PositionSet> set;
    std::size_t columns = 0;
    ShadeRequest request;
};

// A day's hours at a speed range, summed over the vessels per area, are what the command line
// writes; each area with hours is filled in its class's colour as part of its layer, and the
// legend lists the classes under the layer; Clear takes fill and classes away.
TEST_F(AreaShadingTest, ShadesTheHoursTheCommandLineWrites) {
    shade(request);
    const std::shared_ptr<const AreaShade> shade = map->positions()->shading();
    ASSERT_TRUE(shade);
    EXPECT_TRUE(map->positions()->windows().last()->clearShadeButton()->isEnabled());

    QProcess cli;
    cli.start(PELAGON_CLI_EXE,
              {"hours", sample.definition(), "--csv", path, "--by", "day", "--speed", "1-20"});
    ASSERT_TRUE(cli.waitForFinished(60000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const QByteArray table = cli.readAllStandardOutput();
    positions::CsvReader reader(table);
    positions::CsvRawRecord record;
    std::map<QString, double> expected;  // per area
    while (reader.next(record)) {
        if (record.size() == 6 && record.text(1) == shade->layerName &&
            record.text(3) == "2024-05-01") {
            expected[record.text(2)] += record.text(4).toDouble();
        }
    }
    ASSERT_FALSE(expected.empty()) << table.toStdString();
    std::map<QString, double> shown;
    for (const AreaShade::Area& a : shade->areas) {
        shown[a.text] += a.hours;
    }
    ASSERT_EQ(shown.size(), expected.size());
    for (const auto& [area, hours] : expected) {
        EXPECT_NEAR(shown[area], hours, 1e-4) << area.toStdString();
    }

    // At each placed position in a shaded area, the fill of that area's class, drawn by the
    // layer.
    const std::shared_ptr<MapLayer>& layer =
        map->MapLayers[static_cast<std::size_t>(shade->record)];
    ASSERT_TRUE(layer->overdraw());
    const Viewport viewport(QSizeF(canvas->width(), canvas->height()), canvas->extent());
    QImage image(canvas->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    ASSERT_TRUE(layer->overdraw()->draw(painter, viewport,
                                        QRectF(image.rect()).adjusted(-8, -8, 8, 8), nullptr));
    painter.end();
    int checked = 0;
    for (std::size_t r = 0; r < set->rows.size(); ++r) {
        const std::int32_t feature =
            set->features[r * columns + static_cast<std::size_t>(request.column)];
        const QPoint pixel = viewport.toPixel(set->rows[r].xy).toPoint();
        if (feature == PositionQuery::kNothing || !image.rect().contains(pixel)) {
            continue;
        }
        int k = -1;
        for (const AreaShade::Area& a : shade->areas) {
            k = a.feature == feature ? shade->classes.classOf(a.hours) : k;
        }
        const QRgb got = image.pixel(pixel);
        if (k < 0) {
            EXPECT_EQ(qAlpha(got), 0) << r;
            continue;
        }
        const QColor want = shade->classes.colour(k);
        EXPECT_GT(qAlpha(got), 150) << r;
        EXPECT_NEAR(qRed(got), want.red(), 3) << r;
        EXPECT_NEAR(qGreen(got), want.green(), 3) << r;
        EXPECT_NEAR(qBlue(got), want.blue(), 3) << r;
        ++checked;
    }
    EXPECT_GT(checked, 0);

    // The legend: under the layer, what is shaded, then each class's colour and hours.
    const LegendClassRows* listed = map->legend()->layerClasses(shade->record);
    ASSERT_NE(listed, nullptr);
    EXPECT_TRUE(listed->isVisible());
    EXPECT_EQ(listed->classes().caption, "Hours of shade.csv, 2024-05-01, 1–20\u00a0kn");
    ASSERT_EQ(listed->classes().rows.size(), static_cast<qsizetype>(shade->classes.upper.size()));
    for (int k = 0; k < listed->classes().rows.size(); ++k) {
        EXPECT_EQ(listed->classes().rows[k].first, ShadeFill::fill(shade->classes, k));
        EXPECT_EQ(listed->classes().rows[k].second, shade->classes.label(k));
    }

    map->positions()->clearShading();
    EXPECT_EQ(map->positions()->shading(), nullptr);
    EXPECT_EQ(layer->overdraw(), nullptr);
    EXPECT_EQ(map->legend()->layerClasses(shade->record), nullptr);
    EXPECT_FALSE(map->positions()->windows().last()->clearShadeButton()->isEnabled());
}

// A choice that gives no hours (the vessels were in the areas, never at those speeds) takes the
// earlier shading away and says what it was.
TEST_F(AreaShadingTest, NoHoursClearTheShadingAndSaySo) {
    shade(request);
    ASSERT_TRUE(map->positions()->shading());
    const int record = map->positions()->shading()->record;
    messages.messages.clear();
    ShadeRequest none = request;
    none.hours.minKnots = 50;
    none.hours.maxKnots = 60;
    shade(none);
    EXPECT_EQ(map->positions()->shading(), nullptr);
    EXPECT_EQ(map->MapLayers[static_cast<std::size_t>(record)]->overdraw(), nullptr);
    EXPECT_EQ(map->legend()->layerClasses(record), nullptr);
    EXPECT_FALSE(map->positions()->windows().last()->clearShadeButton()->isEnabled());
    ASSERT_EQ(messages.messages.size(), 1);
    const QString text = messages.messages.front().text;
    for (const QString& part :
         {QStringLiteral("shade.csv"),
          set->query->columns()[static_cast<std::size_t>(request.column)].name,
          QStringLiteral("2024-05-01, 50–60\u00a0kn")}) {
        EXPECT_TRUE(text.contains(part)) << text.toStdString();
    }
}

}  // namespace
