// The batch query as a filter: distances, the header once over the parts of a split input,
// GPX input, output files, and the same table as the viewer's export.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>

#include "cli/CliTestSupport.h"
#include "cli/HeadlessMap.h"
#include "cli/ReferenceCanvas.h"
#include "positions/Csv.h"
#include "query/PositionSet.h"
#include "support/QStringPrinter.h"
#include "support/SampleMap.h"

using namespace pelagon;
using pelagon::test::runTool;

namespace {

QByteArray positionsOnTheTinyMap(int rows) {
    QByteArray input = "id,x,y\n";
    for (int i = 0; i < rows; ++i) {
        input += "p" + QByteArray::number(i) + "," + QByteArray::number((i * 37) % 4200) + "," +
                 QByteArray::number((i * 53) % 2100) + "\n";
    }
    return input;
}

TEST(CliBatch, DistanceColumns) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const auto r = runTool({"query", map.definition(), "--csv", "-", "--distances"},
                           "x,y\n100,100\n2500,500\n");
    ASSERT_EQ(r.rc, 0) << r.errText().toStdString();
    const QList<positions::CsvRecord> rows = positions::parseCsv(r.outText());
    ASSERT_EQ(rows.size(), 3);
    // Zones and Docs hold areas; Wells are points and Ghost did not load.
    EXPECT_EQ(rows[0].fields, QStringList({"id", "lon", "lat", "x", "y", "Zones", "Docs", "Wells",
                                           "Ghost", "Zones_nm", "Docs_nm"}));
    // In zone A, 100 m from its edge; 566 m from the document layer's square.
    EXPECT_EQ(rows[1].fields.mid(9), QStringList({"0.054", "-0.305"}));
    // Between the zones, 500 m from B; 1,000 m from the document square.
    EXPECT_EQ(rows[2].fields.mid(9), QStringList({"-0.270", "-0.540"}));
}

// Parts of a file queried apart, the first with the header and the others without, give the
// same table as the whole file: what an engine that pipes partitions through a command needs.
TEST(CliBatch, HeaderOnceOverTheParts) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const QByteArray input = positionsOnTheTinyMap(900);
    const auto whole = runTool({"query", map.definition(), "--csv", "-", "--distances"}, input);
    ASSERT_EQ(whole.rc, 0);
    const QList<QByteArray> lines = input.split('\n');
    QByteArray joined;
    for (int part = 0; part < 3; ++part) {
        QByteArray piece = lines[0] + "\n";
        for (int i = 1 + part * 300; i < 1 + (part + 1) * 300; ++i) {
            piece += lines[i] + "\n";
        }
        QStringList args = {"query",     map.definition(),         "--csv", "-", "--distances",
                            "--threads", QString::number(part + 1)};
        if (part > 0) {
            args.append("--no-header");
        }
        const auto r = runTool(args, piece);
        ASSERT_EQ(r.rc, 0) << r.errText().toStdString();
        EXPECT_TRUE(r.errText().endsWith("300 rows read, 0 left out\n"));
        joined += r.out;
    }
    EXPECT_EQ(joined, whole.out);
    EXPECT_EQ(whole.out.count("\r\n"), 901);
}

TEST(CliBatch, GpxFilesAndOutputFiles) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    map.write("track.gpx",
              "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" "
              "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><name>A</name><trkseg>"
              "<trkpt lat=\"50\" lon=\"-154\"/><trkpt lat=\"80\" lon=\"-154\"/>"
              "</trkseg></trk></gpx>\n");
    const QString out = map.folder() + "/out.csv";
    const auto r =
        runTool({"query", map.definition(), "--csv", map.folder() + "/track.gpx", "-o", out});
    ASSERT_EQ(r.rc, 0) << r.errText().toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<positions::CsvRecord> rows = positions::parseCsv(QString::fromUtf8(file.readAll()));
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[1].fields[0], "1");
    EXPECT_EQ(rows[1].fields[5], "A, \"quoted\"");  // (0, 0) is the origin of the plane
    EXPECT_EQ(rows[2].fields[5], "");

    // A file that cannot be written is not replaced by half a table.
    const auto bad =
        runTool({"query", map.definition(), "--csv", "-", "-o", map.folder() + "/missing/out.csv"},
                "x,y\n1,1\n");
    EXPECT_EQ(bad.rc, 1);
    EXPECT_TRUE(bad.errText().contains("Cannot write")) << bad.errText().toStdString();
}

TEST(CliBatch, UsageOfTheBatchOptions) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const std::vector<std::pair<QStringList, const char*>> cases = {
        {{"--at", "1,1", "--distances"}, "go with --csv"},
        {{"--at", "1,1", "--no-header"}, "go with --csv"},
        {{"--csv", "-", "--threads", "0"}, "not a whole number from 1 to 1024"},
        {{"--csv", "-", "--threads", "1.5"}, "not a whole number from 1 to 1024"},
    };
    for (const auto& [extra, message] : cases) {
        const auto r = runTool(QStringList{"query", map.definition()} + extra, "x,y\n1,1\n");
        EXPECT_EQ(r.rc, 2) << extra.join(' ').toStdString();
        EXPECT_TRUE(r.errText().contains(message)) << r.errText().toStdString();
    }
}

// The viewer's export of a file (its Positions window's table) is what the tool writes for it
// with --distances and the same tolerance.
TEST(CliBatch, SameTableAsTheViewersExport) {
    test::SampleMapCopy sample;
    ASSERT_TRUE(sample.isValid());
    QByteArray input = "id,lon,lat,vessel,time\n";
    for (int i = 0; i < 400; ++i) {
        input += QByteArray::number(i) + "," + QByteArray::number(-170 + (i % 40) * 0.8) + "," +
                 QByteArray::number(52 + (i / 40) * 0.9) + ",V" + QByteArray::number(i % 3) +
                 ",2024-05-01T06:" + QByteArray::number(10 + i % 50) + ":00Z\n";
    }
    input += "bad,row\noffmap,-154,95,,\n";
    const QString path = sample.folder() + "/positions.csv";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(input);
    file.close();
    const auto r = runTool(
        {"query", sample.definition(), "--csv", path, "--distances", "--tolerance", "12000"});
    ASSERT_EQ(r.rc, 0) << r.errText().toStdString();

    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    cli::CliContext context{out, err, nullptr, QDir::currentPath()};
    cli::HeadlessMap map(context);
    map.open(sample.definition());
    map.loadLayers();
    map.readProjection();
    PositionQuery::Options options;
    options.tolerance = 12000;
    options.distances = true;
    const PositionSetLoad load =
        loadPositionSet(path, map.LayerInfos, map.MapLayers, &map.requireProjection(), options);
    ASSERT_TRUE(load.set) << load.error.toStdString();
    EXPECT_EQ(load.set->table(), r.out);
    // A latitude beyond 90° is left out with its reason, as the tool leaves it out.
    EXPECT_EQ(load.set->leftOutCount, 2);
    EXPECT_EQ(load.set->leftOut.back(),
              QString::fromUtf8("line 403: the lat value 95 is beyond ±90°"));
    EXPECT_EQ(load.set->rows.size(), 400u);
    EXPECT_EQ(load.set->vessels, QStringList({"V0", "V1", "V2"}));
}

}  // namespace
