// The location query for many positions: the Fish Tool's answers, distances to boundaries, the
// table's bytes, and the batch that runs it on several threads.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <cmath>
#include <random>

#include "mapdef/MapDefinition.h"
#include "positions/Csv.h"
#include "positions/PositionsFile.h"
#include "query/LayerQuery.h"
#include "query/PositionBatch.h"
#include "query/PositionQuery.h"
#include "render/MapLayer.h"
#include "store/FeatureStore.h"
#include "support/LayerFixtures.h"
#include "support/QStringPrinter.h"
#include "support/SampleMap.h"

using namespace pelagon;

namespace {

struct Map {
    QVector<LayerInfo> infos;
    std::vector<std::shared_ptr<MapLayer>> layers;
    MapRect extent = MapRect{1e300, -1e300, 1e300, -1e300};
};

Map openMap(const QString& folder, const QString& definition) {
    Map map;
    const MapDefinition def = readMapDefinition(folder + "/" + definition);
    map.infos = def.LayerInfos;
    for (const LayerInfo& info : map.infos) {
        auto layer = std::make_shared<MapLayer>();
        if (layer->setDataFile(folder + "/Shapefiles/" + info.ShapeFile)) {
            map.extent = map.extent.united(layer->extent());
        }
        map.layers.push_back(layer);
    }
    return map;
}

// What the Fish Tool's page shows of layer k, as the table writes it.
QString fishToolCell(const LayerInfo& info, const LayerQueryResult& found) {
    switch (found.outcome) {
        case LayerQueryResult::Outcome::Hit:
            return info.QueryMode == 2 ? found.value : info.DocFile;
        case LayerQueryResult::Outcome::MissingAttribute:
            return "(no attribute " + info.AttrField + ")";
        default:
            return {};
    }
}

// At random points of the sample map, with and without whole columns, every layer answers as
// the Fish Tool's query does, in text and in CSV bytes.
TEST(PositionQuery, AnswersAsTheFishTool) {
    const Map map = openMap(PELAGON_SAMPLE_DIR, "Alaska.mv");
    ASSERT_FALSE(map.infos.isEmpty());
    const double tolerance = 20000;
    std::mt19937 random(18);
    std::uniform_real_distribution<double> x(map.extent.left, map.extent.right);
    std::uniform_real_distribution<double> y(map.extent.bottom, map.extent.top);
    for (const bool whole : {true, false}) {
        PositionQuery::Options options;
        options.tolerance = tolerance;
        options.csvCells = true;
        options.wholeColumns = whole;
        const PositionQuery query(map.infos, map.layers, options);
        ASSERT_EQ(query.columns().size(), 9u);
        std::vector<std::int32_t> features(query.columns().size());
        int hits = 0;
        for (int i = 0; i < 3000; ++i) {
            const MapPoint p{x(random), y(random)};
            query.answer(p, features.data(), nullptr);
            const LayerQuery fish = queryLayersAt(map.infos, map.layers, p, tolerance);
            for (std::size_t c = 0; c < features.size(); ++c) {
                const int k = query.columns()[c].record;
                const QString expected = fishToolCell(map.infos[k], fish.found[k]);
                ASSERT_EQ(query.cellText(static_cast<int>(c), features[c]), expected)
                    << map.infos[k].LayerName.toStdString() << " at " << p.x << "," << p.y;
                QByteArray bytes;
                query.appendCell(bytes, static_cast<int>(c), features[c]);
                ASSERT_EQ(bytes, positions::csvField(expected).toUtf8());
                hits += expected.isEmpty() ? 0 : 1;
            }
        }
        EXPECT_GT(hits, 2000);
    }
}

// A site whose attribute row holds a number that is no number is kept without attributes: the
// table says so in its cell, as the Fish Tool's page does, not an empty cell ("nothing here").
TEST(PositionQuery, AFeatureWithoutAttributesIsSaidSo) {
    const test::SampleMapCopy copy;
    ASSERT_TRUE(copy.isValid());
    {
        QFile dbf(copy.folder() + "/Shapefiles/sites.dbf");
        ASSERT_TRUE(dbf.open(QIODevice::ReadWrite));
        QByteArray bytes = dbf.readAll();
        const qsizetype header = qFromLittleEndian<quint16>(bytes.constData() + 8);
        const qsizetype row = qFromLittleEndian<quint16>(bytes.constData() + 10);
        const qsizetype rows = qFromLittleEndian<quint32>(bytes.constData() + 4);
        ASSERT_EQ(bytes[32 + 11], 'N');  // the first field is a number
        bytes.replace(header + (rows - 1) * row + 1, 4, "12a4");
        dbf.seek(0);
        ASSERT_EQ(dbf.write(bytes), bytes.size());
    }
    const Map map = openMap(copy.folder(), "Alaska.mv");
    qsizetype k = 0;
    while (k < map.infos.size() && !map.infos[k].ShapeFile.startsWith("sites")) {
        ++k;
    }
    ASSERT_LT(k, map.infos.size());
    const FeatureStore& sites = *map.layers[static_cast<std::size_t>(k)]->store();
    const FeatureId last = static_cast<FeatureId>(sites.featureCount() - 1);
    ASSERT_FALSE(sites.hasAttributes(last));
    const MapPoint p = sites.frame().toMap(sites.ring(sites.firstRing(last))[0]);
    const LayerQuery fish = queryLayersAt(map.infos, map.layers, p, 1);
    ASSERT_EQ(fishToolCell(map.infos[k], fish.found[k]), "(no attribute NAME)");
    for (const bool whole : {true, false}) {
        PositionQuery::Options options;
        options.tolerance = 1;
        options.csvCells = true;
        options.wholeColumns = whole;
        const PositionQuery query(map.infos, map.layers, options);
        std::vector<std::int32_t> features(query.columns().size());
        query.answer(p, features.data(), nullptr);
        for (std::size_t c = 0; c < features.size(); ++c) {
            if (query.columns()[c].record == k) {
                EXPECT_EQ(query.cellText(static_cast<int>(c), features[c]), "(no attribute NAME)");
                QByteArray bytes;
                query.appendCell(bytes, static_cast<int>(c), features[c]);
                EXPECT_EQ(bytes, QByteArray("(no attribute NAME)")) << whole;
            }
        }
    }
}

// Many points at once (layer by layer, in an order of their own) give every point the answers
// and distances that one point at a time gives; the blocks of points not asked for stay as
// they were.
TEST(PositionQuery, ManyPointsAnswerAsOne) {
    const Map map = openMap(PELAGON_SAMPLE_DIR, "Alaska.mv");
    PositionQuery::Options options;
    options.tolerance = 20000;
    options.distances = true;
    const PositionQuery query(map.infos, map.layers, options);
    const std::size_t columns = query.columns().size();
    const std::size_t distanceColumns = query.distanceColumns().size();
    ASSERT_GT(distanceColumns, 0u);
    std::mt19937 random(21);
    // A margin around the extent: points outside every layer as well.
    std::uniform_real_distribution<double> x(map.extent.left - 50000, map.extent.right + 50000);
    std::uniform_real_distribution<double> y(map.extent.bottom - 50000, map.extent.top + 50000);
    std::vector<MapPoint> points(1500);
    for (MapPoint& p : points) {
        p = {x(random), y(random)};
    }
    points[3] = points[4];  // the same point twice
    std::vector<std::uint32_t> rows;
    for (std::uint32_t r = 0; r < points.size(); ++r) {
        if (r % 7 != 5) {
            rows.push_back(r);
        }
    }
    std::vector<std::int32_t> features(points.size() * columns, 12345);
    std::vector<PositionQuery::Distance> distances(points.size() * distanceColumns);
    for (PositionQuery::Distance& d : distances) {
        d.metres = 99;
    }
    query.answerMany(points, rows, features.data(), distances.data());

    std::vector<std::int32_t> one(columns);
    std::vector<PositionQuery::Distance> oneDistances(distanceColumns);
    int found = 0;
    for (std::uint32_t r = 0; r < points.size(); ++r) {
        const bool asked = r % 7 != 5;
        query.answer(points[r], one.data(), oneDistances.data());
        for (std::size_t c = 0; c < columns; ++c) {
            const std::int32_t got = features[r * columns + c];
            ASSERT_EQ(got, asked ? one[c] : 12345) << "row " << r << " column " << c;
            found += asked && got != PositionQuery::kNothing ? 1 : 0;
        }
        for (std::size_t d = 0; d < distanceColumns; ++d) {
            const PositionQuery::Distance& got = distances[r * distanceColumns + d];
            if (!asked) {
                ASSERT_EQ(got.metres, 99);
                continue;
            }
            ASSERT_EQ(got.area, oneDistances[d].area) << "row " << r;
            ASSERT_EQ(got.metres, oneDistances[d].metres) << "row " << r;
            ASSERT_EQ(got.inside, oneDistances[d].inside) << "row " << r;
        }
    }
    EXPECT_GT(found, 1000);
}

// A small map of two squares of 1000 m: the distance to the boundary of the square a point lies
// in (positive) or of the nearest one (negative), in every form it is shown.
TEST(PositionQuery, DistancesToBoundaries) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath("Shapefiles");
    ASSERT_EQ(
        test::writeShapefile(
            dir.filePath("Shapefiles/zones.shp"), test::FixtureKind::Polygons, {"NAME"},
            {{test::squareWkt(0, 0, 1000), {"A"}}, {test::squareWkt(3000, 0, 1000), {"B, east"}}}),
        "");
    ASSERT_EQ(
        test::writeShapefile(dir.filePath("Shapefiles/closed.shp"), test::FixtureKind::Polygons,
                             {"LABEL"}, {{test::squareWkt(0, 0, 1000), {"Box 7"}}}),
        "");
    ASSERT_EQ(test::writeShapefile(dir.filePath("Shapefiles/wells.shp"), test::FixtureKind::Points,
                                   {"NAME"}, {{"POINT (2000 2000)", {"W1"}}}),
              "");
    QFile def(dir.filePath("Tiny.mv"));
    ASSERT_TRUE(def.open(QIODevice::WriteOnly));
    def.write(
        "Name,Query,Visible,File,Doc,Color,Border,Style,Label,Caption,Field\r\n"
        "Zones,2,True,zones,,255.0.0,,0,,Zone,NAME\r\n"
        "Closed,1,True,closed,c.htm,0.0.255,,1,LABEL,,\r\n"
        "Unnamed,1,True,closed,u.htm,0.0.255,,1,,,\r\n"
        "Wells,2,True,wells,,0.128.0,,0,,Well,NAME\r\n");
    def.close();
    const Map map = openMap(dir.path(), "Tiny.mv");
    PositionQuery::Options options;
    options.distances = true;
    const PositionQuery query(map.infos, map.layers, options);
    ASSERT_EQ(query.distanceColumns(), (std::vector<int>{0, 1, 2}));  // not the wells

    struct Case {
        MapPoint p;
        int column;
        const char* text;       // with the layer's name
        const char* shortText;  // in the layer's own column
        const char* csv;        // nautical miles
    };
    const std::vector<Case> cases = {
        {{100, 500}, 0, "0.05 nm inside Zones: A", "0.05 nm inside", "0.054"},
        {{2500, 500}, 0, "0.27 nm outside Zones: B, east", "0.27 nm outside B, east", "-0.270"},
        {{2500, 500}, 1, "0.81 nm outside Closed: Box 7", "0.81 nm outside Box 7", "-0.810"},
        {{2500, 500}, 2, "0.81 nm outside Unnamed", "0.81 nm outside", "-0.810"},
        {{500, 500}, 2, "0.27 nm inside Unnamed", "0.27 nm inside", "0.270"},
        {{3000, 1500}, 0, "0.27 nm outside Zones: B, east", "0.27 nm outside B, east", "-0.270"},
        {{1000, 500}, 0, "0.00 nm inside Zones: A", "0.00 nm inside", "0.000"},  // on the edge
    };
    std::vector<std::int32_t> features(query.columns().size());
    std::vector<PositionQuery::Distance> distances(query.distanceColumns().size());
    for (const Case& c : cases) {
        query.answer(c.p, features.data(), distances.data());
        const PositionQuery::Distance& d = distances[static_cast<std::size_t>(c.column)];
        EXPECT_EQ(query.distanceText(c.column, d), c.text) << c.p.x << "," << c.p.y;
        EXPECT_EQ(query.distanceText(c.column, d, false), c.shortText) << c.p.x << "," << c.p.y;
        QByteArray csv;
        PositionQuery::appendNauticalMiles(csv, d);
        EXPECT_EQ(csv, c.csv) << c.p.x << "," << c.p.y;
    }
    EXPECT_EQ(boundaryDistancesNotice(map.infos, map.layers, {2500, 500}),
              "0.27 nm outside Zones: B, east\n"
              "0.81 nm outside Closed: Box 7\n"
              "0.81 nm outside Unnamed");

    // The table: header with the distance columns, a row with the answers.
    const PositionTable table(query);
    EXPECT_EQ(table.header(),
              "id,lon,lat,x,y,Zones,Closed,Unnamed,Wells,Zones_nm,Closed_nm,"
              "Unnamed_nm\r\n");
    query.answer({500, 500}, features.data(), distances.data());
    QByteArray row;
    table.appendRow(row, "a,1", MapPoint{-154.5, 50.25}, {500, 500}, features.data(),
                    distances.data());
    EXPECT_EQ(row,
              "\"a,1\",-154.500000000,50.250000000,500.000,500.000,A,c.htm,u.htm,,0.270,"
              "0.270,0.270\r\n");
}

// Numbers are written as Qt writes them ('f' format), ties and negative zero included.
TEST(PositionQuery, FixedNumbersAsQtWritesThem) {
    std::vector<double> values = {0.0,        -0.0,    0.0005, -0.0005,
                                  2.5e-9,     -2.5e-9, 1e22,   -179.9999999995,
                                  123.456789, 0.125,   1e16,   -4.0625};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> any(-2e7, 2e7);
    for (int i = 0; i < 20000; ++i) {
        values.push_back(any(random));
        // Values exactly halfway between two results: sixteenths end in 5 at the fourth
        // decimal, 1024ths at the tenth.
        const int odd = 2 * (i % 8) + 1;
        values.push_back(std::floor(any(random)) + odd / 16.0);
        values.push_back(std::floor(any(random) / 1e5) + (2 * (i % 512) + 1) / 1024.0);
    }
    for (const double v : values) {
        for (const int decimals : {3, 9}) {
            QByteArray out;
            appendFixed(out, v, decimals);
            ASSERT_EQ(out, QString::number(v, 'f', decimals).toLatin1()) << v;
        }
    }
}

// The batch hands the same rows and problems in file order whatever the threads and chunks.
TEST(PositionBatch, SameOutputOnAnyNumberOfThreads) {
    const Map map = openMap(PELAGON_SAMPLE_DIR, "Alaska.mv");
    PositionQuery::Options options;
    options.tolerance = 5000;
    options.distances = true;
    options.csvCells = true;
    const PositionQuery query(map.infos, map.layers, options);
    const PositionTable table(query);
    std::mt19937 random(3);
    std::uniform_real_distribution<double> x(map.extent.left, map.extent.right);
    std::uniform_real_distribution<double> y(map.extent.bottom, map.extent.top);
    QByteArray input = "id,x,y\n";
    for (int i = 0; i < 3000; ++i) {
        input += i % 500 == 7 ? QByteArray("bad,row\n")
                              : "p" + QByteArray::number(i) + "," + QByteArray::number(x(random)) +
                                    "," + QByteArray::number(y(random)) + "\n";
    }
    QByteArray referenceTable;
    QByteArray referenceProblems;
    for (const auto& [threads, chunk] : {std::pair{1, 2048}, std::pair{3, 7}, std::pair{2, 100}}) {
        QBuffer in;
        in.setData(input);
        in.open(QIODevice::ReadOnly);
        positions::OpenedPositions opened = positions::openPositions("-", &in);
        ASSERT_TRUE(opened.reader);
        QByteArray out;
        QByteArray problems;
        qint64 nextRow = 0;
        PositionBatchOptions batch;
        batch.threads = threads;
        batch.chunkRows = chunk;
        batch.table = &table;
        ASSERT_TRUE(runPositionBatch(*opened.reader, query, nullptr, batch, [&](PositionChunk& c) {
            EXPECT_EQ(c.firstRow, nextRow);
            nextRow += static_cast<qint64>(c.rows.size());
            for (std::size_t r = 0; r < c.rows.size(); ++r) {
                if (c.places[r].status != PlacedPosition::Status::Placed) {
                    problems += "line " + QByteArray::number(c.rows[r].line) + "\n";
                }
            }
            out += c.table;
        }));
        EXPECT_EQ(nextRow, 3000);
        if (referenceTable.isEmpty()) {
            referenceTable = out;
            referenceProblems = problems;
            EXPECT_EQ(problems, "line 9\nline 509\nline 1009\nline 1509\nline 2009\nline 2509\n");
            EXPECT_EQ(out.count("\r\n"), 3000 - 6);
        } else {
            EXPECT_EQ(out, referenceTable) << threads << " threads, chunks of " << chunk;
            EXPECT_EQ(problems, referenceProblems) << threads << " threads, chunks of " << chunk;
        }
    }
    // Cancelled: stops early and says so.
    QBuffer in;
    in.setData(input);
    in.open(QIODevice::ReadOnly);
    positions::OpenedPositions opened = positions::openPositions("-", &in);
    std::atomic<bool> cancel{false};
    PositionBatchOptions batch;
    batch.threads = 2;
    batch.chunkRows = 10;
    batch.cancel = &cancel;
    int chunks = 0;
    EXPECT_FALSE(runPositionBatch(*opened.reader, query, nullptr, batch, [&](PositionChunk&) {
        if (++chunks == 3) {
            cancel = true;
        }
    }));
    EXPECT_EQ(chunks, 3);
}

}  // namespace
