// The subcommands run in-process on the sample map and on a small map written by the test.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "cli/CliTestSupport.h"
#include "cli/Csv.h"
#include "cli/ReferenceCanvas.h"
#include "common/ProgramInfo.h"
#include "support/QStringPrinter.h"
#include "support/SampleMap.h"
#include "support/ShapefileEdit.h"

using namespace pelagon;
using pelagon::test::runTool;

namespace {

const QString kSample = QStringLiteral(PELAGON_SAMPLE_DIR "/Alaska.mv");

struct ExitCase {
    QStringList args;
    int rc;
    const char* message;  // a part of the error stream
};

TEST(CliUsage, ExitStatusAndMessage) {
    const QString out = QDir::temp().filePath(QStringLiteral("pelagon-cli-unused.png"));
    const std::vector<ExitCase> cases = {
        {{}, 2, "missing subcommand"},
        {{"draw", kSample}, 2, "unknown subcommand 'draw'"},
        {{"query", kSample, "--bogus"}, 2, "unknown option --bogus"},
        {{"query", kSample}, 2, "give one of --at"},
        {{"query", kSample, "--at", "1,2", "--lonlat", "1,2"}, 2, "give one of --at"},
        {{"query", kSample, "--at", "1,x"}, 2, "--at: 'x' is not a number"},
        {{"query", kSample, "--at", "1"}, 2, "not of the form X,Y"},
        {{"query", kSample, "--at"}, 2, "needs a value X,Y"},
        {{"query", kSample, "--at", "1,2", "--tolerance", "-3"}, 2, "negative"},
        {{"query"}, 2, "missing argument (expected MAP.mv)"},
        {{"info", kSample, "extra"}, 2, "unexpected argument extra"},
        {{"info", kSample, "--json=yes"}, 2, "takes no value"},
        {{"render", kSample}, 2, "missing -o"},
        {{"render", kSample, "-o", out, "--size", "0x5"}, 2, "1 to 20000 pixels"},
        {{"render", kSample, "-o", out, "--size", "big"}, 2, "not of the form WxH"},
        {{"render", kSample, "-o", out, "--extent", "5,1,0,1"}, 2, "is not a rectangle"},
        {{"render", kSample, "-o", out, "--region", "Kodiak", "--site", "Kodiak"},
         2,
         "at most one"},
        {{"render", kSample, "-o", out, "--hide", "Lakes"}, 2, "\"Land\", \"Management areas\""},
        {{"render", kSample, "-o", out, "--region", "Atlantis"}, 2, "\"Kodiak\""},
        {{"position", kSample}, 2, "give one of --at X,Y or --position TEXT"},
        {{"position", kSample, "--at", "1,2", "--position", "57N 152W"}, 2, "give one of --at"},
        {{"position", kSample, "--position", "95 00N 150 00W"},
         2,
         "--position: Position not "
         "understood: the latitude"},
        {{"query", kSample, "--position", "abc"}, 2, "--position: Position not understood: 'abc'"},
        {{"position", kSample, "--at", "1,2", "--locale", "xx_nowhere"}, 2, "not a known locale"},
        {{"position", kSample, "--at", "1,2", "--at", "3,4"}, 2, "given twice"},
        {{"measure", kSample}, 2, "missing argument (expected MAP.mv X1,Y1)"},
        {{"measure", kSample, "1,2,3"}, 2, "point 1: '1,2,3' is not of the form X,Y"},
        {{"info", "/nonexistent/Map.mv"}, 1, "/nonexistent/Map.mv does not exist"},
        {{"position", kSample, "--at", "0,9000000"}, 1, "has no position"},
        {{"query", kSample, "--csv", "/nonexistent/p.csv"}, 1, "Cannot read /nonexistent/p.csv"},
        {{"render", kSample, "-o", "/nonexistent/out.png"}, 1, "Cannot write /nonexistent/out.png"},
        // The format follows the extension; an unknown one names those there are.
        {{"render", kSample, "-o", "map.gif"},
         2,
         "no supported format; use one of PNG (.png), JPEG (.jpg, .jpeg), TIFF (.tif, .tiff), "
         "PDF (.pdf), SVG (.svg)"},
        {{"render", kSample, "-o", "map"}, 2, "no supported format"},
        {{"render", kSample, "-o", "-", "--format", "bmp"},
         2,
         "--format: 'bmp' is not a supported"},
        // Values are echoed at most 80 characters long.
        {{"query", kSample, "--at", "1," + QString(5000, 'x')},
         2,
         "xxxxxxxxxx\xe2\x80\xa6' is not a number"},
        {{QString(5000, 'y')}, 2, "yyyyy\xe2\x80\xa6'"},
    };
    for (const ExitCase& c : cases) {
        const auto r = runTool(c.args);
        EXPECT_EQ(r.rc, c.rc) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.errText().contains(QString::fromUtf8(c.message)))
            << c.args.join(' ').left(200).toStdString() << "\n"
            << r.errText().toStdString();
        EXPECT_LT(r.err.size(), 1500) << c.args.join(' ').left(200).toStdString() << "\n"
                                      << r.errText().toStdString();
    }
}

TEST(CliUsage, VersionOfTheTool) {
    const auto r = runTool({"--version"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.outText(), "pelagon-cli " + programVersion() + "\n");
    EXPECT_FALSE(programVersion().isEmpty());
}

TEST(CliUsage, HelpForTheToolAndEverySubcommand) {
    for (const QString name : {"info", "render", "query", "position", "measure"}) {
        const auto r = runTool({name, "--help"});
        EXPECT_EQ(r.rc, 0) << name.toStdString();
        EXPECT_TRUE(r.outText().startsWith("Usage: pelagon-cli " + name + " MAP.mv"));
        EXPECT_TRUE(runTool({"--help"}).outText().contains("\n  " + name + " "));
    }
}

TEST(CliUsage, MalformedDefinitionNamesFileAndLine) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    map.write("Tiny.mv", "Header\r\nZones,two,True,zones,,255.0.0,,0,,,\r\n");
    const QString before = QDir::currentPath();
    const auto r = runTool({"info", map.definition()});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.errText().contains("Tiny.mv")) << r.errText().toStdString();
    EXPECT_TRUE(r.errText().contains("line 2")) << r.errText().toStdString();
    EXPECT_EQ(QDir::currentPath(), before) << "the working folder is restored";
}

TEST(CliGeo, PositionAndMeasureGiveTheViewersTexts) {
    struct Case {
        QStringList args;
        QString out;
    };
    const std::vector<Case> cases = {
        {{"position", kSample, "--at", "100000,200000"},
         "-152.557772330,51.800638661\n- 152° 33.466', 51° 48.038'\n"},
        {{"position", kSample, "--at", "-2200000,600000"},
         "173.981964505,50.536228148\n 173° 58.918', 50° 32.174'\n"},
        {{"position", kSample, "--at=100000,200000", "--locale", "de_DE"},
         "-152.557772330,51.800638661\n- 152° 33,466', 51° 48,038'\n"},
        {{"measure", kSample, "0,0", "1852,0"}, "1 segment, total distance 1.0 nautical miles\n"},
        {{"measure", kSample, "0,0", "3000,4000", "3000,10000"},
         "2 segments, total distance 5.94 nautical miles\n"},
        {{"measure", kSample, "0,0"}, "0 segments, total distance 0.0 nautical miles\n"},
        {{"measure", kSample, "0,0", "1000000,0", "1000000,1500000", "0,0"},
         "3 segments, total distance 2,323.313 nautical miles\n"},
        {{"measure", kSample, "--locale", "de_DE", "-1000000,0", "0,0", "0,1500000", "-1000000,0"},
         "3 segments, total distance 2.323,313 nautical miles\n"},
    };
    for (const Case& c : cases) {
        const auto r = runTool(c.args);
        EXPECT_EQ(r.rc, 0) << r.errText().toStdString();
        EXPECT_EQ(r.outText(), c.out) << c.args.join(' ').toStdString();
    }
}

TEST(CliInfo, JsonReportOfTheSampleMap) {
    const auto r = runTool({"info", kSample, "--json"});
    ASSERT_EQ(r.rc, 0) << r.errText().toStdString();
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(r.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();

    const QJsonArray layers = o["layers"].toArray();
    ASSERT_EQ(layers.size(), 10);
    struct LayerCase {
        int index;
        const char* name;
        int queryMode;
        const char* kind;
    };
    for (const LayerCase& c : {LayerCase{0, "Statistical areas", 2, "polygons"},
                               LayerCase{4, "Habitat conservation areas", 1, "polygons"},
                               LayerCase{8, "Convention line of 1867", 2, "lines"},
                               LayerCase{9, "Sites", 2, "points"}}) {
        const QJsonObject l = layers[c.index].toObject();
        EXPECT_EQ(l["LayerName"].toString(), c.name);
        EXPECT_EQ(l["QueryMode"].toInt(), c.queryMode);
        EXPECT_EQ(l["kind"].toString(), c.kind);
        EXPECT_TRUE(l["loaded"].toBool());
        EXPECT_GT(l["features"].toInt(), 0);
        EXPECT_GE(l["vertices"].toInt(), l["features"].toInt());
        EXPECT_TRUE(l["extent"].isObject());
    }
    const QJsonObject habitat = layers[4].toObject();
    EXPECT_EQ(habitat["DocFile"].toString(), "docs/HabitatAreas.htm");
    EXPECT_EQ(habitat["SymbolColor"].toInt(), 128 * 256);
    EXPECT_EQ(habitat["BorderColor"].toInt(), 96 * 256);
    EXPECT_EQ(habitat["SymbolStyle"].toInt(), 2);
    EXPECT_EQ(habitat["LabelField"].toString(), "NAME");
    EXPECT_EQ(layers[3].toObject()["Visible"].toInt(), 0);
    EXPECT_EQ(layers[3].toObject()["AttrCaption"].toString(), "Foraging area of");
    EXPECT_EQ(layers[3].toObject()["AttrField"].toString(), "SITE");
    EXPECT_EQ(layers[3].toObject()["ShapeFile"].toString(), "foraging");

    const QJsonObject p = o["projection"].toObject();
    EXPECT_EQ(p["CentralLon"].toDouble(), -154);
    EXPECT_NEAR(p["ConeN"].toDouble(), 0.8627446127734, 1e-12);
    EXPECT_NEAR(p["ConeC"].toDouble(), 1.7386718579632, 1e-12);
    EXPECT_NEAR(p["Rho0"].toDouble(), 4804031.3505, 1e-3);
    EXPECT_EQ(o["sites"].toArray().size(), 40);
    EXPECT_EQ(o["regions"].toArray()[0].toObject()["name"].toString(), "Aleutian Islands");
    EXPECT_EQ(o["regions"].toArray()[0].toObject()["left"].toDouble(), -2311000);
    EXPECT_TRUE(o["problems"].toArray().isEmpty());
    const QJsonObject full = o["fullExtent"].toObject();
    EXPECT_LT(full["left"].toDouble(), full["right"].toDouble());
    // The default tolerance: three pixels of the default canvas at the full extent.
    QStringList names;
    for (const QJsonValue layer : o["layers"].toArray()) {
        names.append(layer.toObject()["LayerName"].toString());
    }
    ASSERT_EQ(names.size(), 10);
    const QSize canvas = cli::referenceCanvasSize(names);
    EXPECT_EQ(o["defaultCanvas"].toObject()["width"].toInt(), canvas.width());
    EXPECT_NEAR(
        o["defaultQueryTolerance"].toDouble(),
        3.0 * std::max((full["right"].toDouble() - full["left"].toDouble()) / canvas.width(),
                       (full["top"].toDouble() - full["bottom"].toDouble()) / canvas.height()),
        1e-6);
}

TEST(CliInfo, MissingLayerAndBadListsAreReportedAndDoNotStop) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    map.write("Regions.csv", "Name,L,R,B,T\r\nWest,0,x,0,1\r\n");
    const auto r = runTool({"info", map.definition(), "--json"});
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.errText(), "Could not find layer:  ghost\n");
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    const QJsonObject ghost = o["layers"].toArray()[3].toObject();
    EXPECT_FALSE(ghost["loaded"].toBool());
    EXPECT_TRUE(ghost["problem"].toString().contains("Shapefiles/ghost"));
    EXPECT_TRUE(ghost["extent"].isNull());
    const QStringList problems = o["problems"].toVariant().toStringList();
    ASSERT_EQ(problems.size(), 2);
    EXPECT_TRUE(problems[1].contains("Regions.csv, line 2")) << problems[1].toStdString();
    EXPECT_EQ(o["fullExtent"].toObject()["right"].toDouble(), 4000);

    // The text report carries the same.
    const auto text = runTool({"info", map.definition()});
    EXPECT_TRUE(text.outText().contains("  not loaded: ")) << text.outText().toStdString();
    EXPECT_TRUE(text.outText().contains("Problems: 2\n"));
    EXPECT_TRUE(text.outText().contains("  SymbolColor  255 (255.0.0)\n"));
}

TEST(CliInfo, ADamagedLayerIsToldByEveryCommandThatReadsIt) {
    test::SampleMapCopy sample;
    ASSERT_TRUE(sample.isValid());
    const auto sound = runTool({"info", sample.definition(), "--json"});
    const QJsonObject before = QJsonDocument::fromJson(sound.out).object();
    // The fourth record of the statistical areas gets a vertex at 5e307.
    ASSERT_TRUE(test::setShapefileCoordinate(sample.folder() + "/Shapefiles/statareas.shp", 3, 2,
                                             true, 5e307));
    const QString told =
        "Damaged layer:  statareas\n\nStatistical areas: 1 of 1467 records left out; the damage "
        "is in statareas.shp: record 4: a vertex lies outside the box the .shp header gives.\n";

    const auto r = runTool({"info", sample.definition(), "--json"});
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.errText(), told);
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    const QJsonObject damage = o["layers"].toArray()[0].toObject()["damage"].toObject();
    EXPECT_EQ(damage["records"].toInt(), 1467);
    EXPECT_EQ(damage["leftOut"].toInt(), 1);
    EXPECT_EQ(damage["file"].toString(), "statareas.shp");
    EXPECT_EQ(damage["firstProblem"].toString(),
              "record 4: a vertex lies outside the box the .shp header gives");
    EXPECT_TRUE(o["layers"].toArray()[1].toObject()["damage"].isNull());
    EXPECT_EQ(o["problems"].toVariant().toStringList(), QStringList{told.chopped(1)});
    // The default query tolerance stays that of the sound map, within what one record moves.
    EXPECT_NEAR(o["defaultQueryTolerance"].toDouble(), before["defaultQueryTolerance"].toDouble(),
                0.01 * before["defaultQueryTolerance"].toDouble());
    const auto text = runTool({"info", sample.definition()});
    EXPECT_TRUE(text.outText().contains(
        "  damaged: 1 of 1467 records left out; the damage is in statareas.shp: record 4: "))
        << text.outText().toStdString();

    const QString png = sample.folder() + "/map.png";
    for (const QStringList& args :
         {QStringList{"query", sample.definition(), "--at", "0,1000000"},
          QStringList{"render", sample.definition(), "-o", png, "--size", "200x100"}}) {
        const auto other = runTool(args);
        EXPECT_EQ(other.rc, 0) << args.join(' ').toStdString();
        EXPECT_EQ(other.errText(), told) << args.join(' ').toStdString();
    }
}

TEST(CliInfo, LinesAfterTheBlankLineOfTheDefinitionAreNoted) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    map.write("Tiny.mv",
              "Name,Query,Visible,File,Doc,Color,Border,Style,Label,Caption,Field\r\n"
              "Zones,2,True,zones,,255.0.0,,0,NAME,Zone,NAME\r\n"
              "\r\n"
              "Docs,1,False,docs,a\\b.htm,0.0.255,,1,,,\r\n"
              "Wells,2,True,wells,,0.128.0,,0,,Well,NAME\r\n");
    const auto r = runTool({"info", map.definition(), "--json"});
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.errText(), "");  // noted in the report only, as the viewer says nothing
    const QStringList problems =
        QJsonDocument::fromJson(r.out).object()["problems"].toVariant().toStringList();
    ASSERT_EQ(problems.size(), 1);
    EXPECT_EQ(problems[0], QDir::toNativeSeparators(map.definition()) +
                               ": lines 4\u20135 after the blank line at line 3 are not read "
                               "(the layer list ends at its first blank line).");
}

TEST(CliQuery, BatchTable) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const QByteArray input =
        "X, Y ,ID\r\n"
        "100,100,\"first, with comma\"\r\n"
        "700,700,\"say \"\"hi\"\"\"\r\n"
        "abc,1,bad\r\n"
        "2000,2000\r\n"
        "\r\n"
        "2000,2003,\"multi\nline\"\r\n"
        "9000,9000,\"open\r\n";
    const auto r = runTool({"query", map.definition(), "--csv", "-", "--tolerance", "5"}, input);
    ASSERT_EQ(r.rc, 0) << r.errText().toStdString();
    EXPECT_EQ(r.errText(),
              "Could not find layer:  ghost\n"
              "standard input, line 4: the x value 'abc' is not a number; the row is left out.\n"
              "standard input, line 5: it has 2 fields where 3 are needed; the row is left out.\n"
              "standard input, line 9: the quote that opens field 3 is never closed; the row is "
              "left out.\n"
              "3 rows read, 3 left out\n");
    const QList<cli::CsvRecord> rows = cli::parseCsv(r.outText());
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0].fields,
              QStringList({"id", "lon", "lat", "x", "y", "Zones", "Docs", "Wells", "Ghost"}));
    // A zone whose name needs quoting; the hidden document layer gives its DocFile.
    EXPECT_EQ(rows[1].fields.mid(3),
              QStringList({"100.000", "100.000", "A, \"quoted\"", "", "", ""}));
    EXPECT_EQ(rows[1].fields[0], "first, with comma");
    EXPECT_EQ(rows[2].fields.mid(5), QStringList({"A, \"quoted\"", "a\\b.htm", "", ""}));
    EXPECT_EQ(rows[2].fields[0], "say \"hi\"");
    EXPECT_EQ(rows[3].fields[0], "multi\nline");
    EXPECT_EQ(rows[3].fields[7], "W1");  // 3 m from the well, within the tolerance
    // Map units are converted to degrees with the map's projection.
    EXPECT_EQ(rows[1].fields[1].left(8), "-153.998");
    EXPECT_TRUE(r.outText().endsWith("\r\n"));

    // Degrees in, with the row's line number as id.
    const auto lonlat =
        runTool({"query", map.definition(), "--csv", "-"}, "lon,lat\n-154,50\n-154,80\n");
    ASSERT_EQ(lonlat.rc, 0);
    const QList<cli::CsvRecord> out = cli::parseCsv(lonlat.outText());
    ASSERT_EQ(out.size(), 3);
    EXPECT_EQ(out[1].fields[0], "2");
    EXPECT_EQ(out[1].fields[5], "A, \"quoted\"");  // (0, 0) is the origin of the plane
    EXPECT_EQ(out[2].fields[5], "");

    const auto noColumns = runTool({"query", map.definition(), "--csv", "-"}, "a,b\n1,2\n");
    EXPECT_EQ(noColumns.rc, 1);
    EXPECT_TRUE(noColumns.errText().contains("line 1: the header names neither"));
}

TEST(CliQuery, CsvQuotingOfFields) {
    const std::vector<std::pair<QString, QString>> cases = {
        {"plain", "plain"},
        {"a,b", "\"a,b\""},
        {"say \"x\"", "\"say \"\"x\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"", ""},
    };
    for (const auto& [field, written] : cases) {
        EXPECT_EQ(cli::csvField(field), written);
        const QList<cli::CsvRecord> back = cli::parseCsv(cli::csvLine({field, "z"}));
        ASSERT_EQ(back.size(), 1);
        EXPECT_EQ(back[0].fields, QStringList({field, "z"}));
    }
    const QList<cli::CsvRecord> bad = cli::parseCsv("\"a\"b,c\nd,e\n");
    ASSERT_EQ(bad.size(), 2);
    EXPECT_TRUE(bad[0].error.contains("text follows the closing quote of field 1"));
    EXPECT_EQ(bad[1].line, 2);
    EXPECT_EQ(bad[1].fields, QStringList({"d", "e"}));
}

// Share of an image's pixels that have a colour.
double share(const QImage& image, QRgb colour) {
    qint64 n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += (image.pixel(x, y) & 0xffffff) == (colour & 0xffffff) ? 1 : 0;
        }
    }
    return static_cast<double>(n) / (image.width() * image.height());
}

// A typed position reads as the viewer's field reads it: the same point as its decimal degrees,
// and back to the map point the read-out came from.
TEST(CliGeo, TypedPositionsGiveTheSameAnswersAsDegrees) {
    const auto page = runTool({"query", kSample, "--position", "57.5033 -152.175"});
    const auto degrees = runTool({"query", kSample, "--lonlat", "-152.175,57.5033"});
    ASSERT_EQ(page.rc, 0) << page.errText().toStdString();
    ASSERT_EQ(degrees.rc, 0) << degrees.errText().toStdString();
    EXPECT_EQ(page.out, degrees.out);
    EXPECT_TRUE(page.outText().contains("<body>"));

    // The read-out of 100000,200000 typed back, degrees and minutes to three decimals (2 m).
    const auto back = runTool({"position", kSample, "--position", "51 48.038N 152 33.466W"});
    ASSERT_EQ(back.rc, 0) << back.errText().toStdString();
    const QStringList lines = back.outText().split('\n');
    ASSERT_EQ(lines.size(), 4) << back.outText().toStdString();
    const QStringList xy = lines[0].split(',');
    ASSERT_EQ(xy.size(), 2);
    EXPECT_NEAR(xy[0].toDouble(), 100000, 2);
    EXPECT_NEAR(xy[1].toDouble(), 200000, 2);
    EXPECT_EQ(lines[2], "- 152° 33.466', 51° 48.038'");
}

TEST(CliRender, PngOfTheAskedSizeShowsTheLayers) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const QString png = map.folder() + "/out.png";
    struct Case {
        QStringList extra;
        double red;    // the zones
        double white;  // background
    };
    // Full extent 0..4000 x 0..2000 (zones and the well) on 400 x 200 pixels: each zone is an
    // eighth of the image less its outline; the document layer is hidden in the definition.
    const std::vector<Case> cases = {
        {{}, 0.20, 0.40},
        {{"--hide", "Zones"}, 0.0, 0.9},
        {{"--extent", "0,1000,0,1000"}, 0.45, 0.45},  // widened to 2000 x 1000: half is zone A
        {{"--region", "West"}, 0.45, 0.45},
    };
    for (const Case& c : cases) {
        const auto r = runTool(
            QStringList{"render", map.definition(), "-o", png, "--size", "400x200"} + c.extra);
        ASSERT_EQ(r.rc, 0) << r.errText().toStdString();
        const QImage image(png);
        ASSERT_EQ(image.size(), QSize(400, 200));
        EXPECT_GE(share(image, qRgb(255, 0, 0)), c.red) << c.extra.join(' ').toStdString();
        EXPECT_LE(share(image, qRgb(255, 0, 0)), c.red + 0.1) << c.extra.join(' ').toStdString();
        EXPECT_GE(share(image, qRgb(255, 255, 255)), c.white) << c.extra.join(' ').toStdString();
    }
    // A relative output path is taken from the folder the tool was started in.
    const QString before = QDir::currentPath();
    QDir::setCurrent(map.folder());
    const auto pdf = runTool({"render", "Tiny.mv", "-o", "sub/../map.pdf", "--size", "300x150"});
    QDir::setCurrent(before);
    ASSERT_EQ(pdf.rc, 0) << pdf.errText().toStdString();
    QFile file(map.folder() + "/map.pdf");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("%PDF"));
}

// The scale bar and the graticule are drawn only when asked for, over the same map.
TEST(CliRender, ScaleBarAndGraticuleOnRequest) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const auto draw = [&](const QStringList& extra) {
        const QString png = map.folder() + "/d.png";
        const auto r = runTool(
            QStringList{"render", map.definition(), "-o", png, "--size", "400x300"} + extra);
        EXPECT_EQ(r.rc, 0) << r.errText().toStdString();
        return QImage(png);
    };
    const QImage plain = draw({});
    const QImage bar = draw({"--scale-bar"});
    const QImage grid = draw({"--graticule"});
    const QImage both = draw({"--scale-bar", "--graticule"});
    ASSERT_FALSE(plain.isNull());
    // The scale bar stands in the lower left corner: only there does the image change.
    EXPECT_EQ(bar.copy(200, 0, 200, 300), plain.copy(200, 0, 200, 300));
    EXPECT_NE(bar.copy(0, 200, 200, 100), plain.copy(0, 200, 200, 100));
    EXPECT_NE(grid, plain);
    EXPECT_NE(both, bar);
    EXPECT_NE(both, grid);

    map.write("ProjPars.alb", "");
    const auto r =
        runTool({"render", map.definition(), "-o", map.folder() + "/e.png", "--scale-bar"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.errText().contains("ProjPars.alb")) << r.errText().toStdString();
    EXPECT_FALSE(QFile::exists(map.folder() + "/e.png"));
}

// "-" as an output is standard output, for every subcommand that writes a file; nothing named
// "-" appears in the map folder or the starting folder.
TEST(CliOutput, DashIsStandardOutput) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const QString before = QDir::currentPath();
    QTemporaryDir start;
    ASSERT_TRUE(start.isValid());
    QDir::setCurrent(start.path());
    struct Case {
        QStringList args;
        QByteArray begins;
    };
    const std::vector<Case> cases = {
        {{"query", map.definition(), "--at", "100,100", "-o", "-"}, "<html>\r\n"},
        {{"query", map.definition(), "--csv", "-", "-o", "-"}, "id,lon,lat,x,y,"},
        {{"render", map.definition(), "-o", "-", "--size", "40x20"}, "\x89PNG"},
        {{"render", map.definition(), "-o", "-", "--size", "40x20", "--format", "pdf"}, "%PDF"},
    };
    for (const Case& c : cases) {
        const auto r = runTool(c.args, "x,y\n100,100\n");
        EXPECT_EQ(r.rc, 0) << r.errText().toStdString();
        EXPECT_TRUE(r.out.startsWith(c.begins)) << c.args.join(' ').toStdString();
    }
    QDir::setCurrent(before);
    EXPECT_FALSE(QFileInfo::exists(map.folder() + "/-"));
    EXPECT_FALSE(QFileInfo::exists(start.path() + "/-"));
}

// The output's extension chooses the format; --format overrides it.
TEST(CliRender, FormatFollowsTheExtension) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    struct Case {
        const char* name;
        QStringList extra;
        QByteArray begins;
        const char* imageFormat;  // what Qt reads the file as; empty for pages
    };
    const std::vector<Case> cases = {
        {"map.png", {}, "\x89PNG\r\n", "png"},
        {"map.jpg", {}, "\xff\xd8\xff", "jpeg"},
        {"map.JPEG", {}, "\xff\xd8\xff", "jpeg"},
        {"map.tif", {}, "II*", "tiff"},
        {"map.tiff", {}, "II*", "tiff"},
        {"map.pdf", {}, "%PDF", ""},
        {"map.svg", {}, "<?xml", ""},
        {"map.dat", {"--format", "jpeg"}, "\xff\xd8\xff", "jpeg"},
    };
    for (const Case& c : cases) {
        const QString path = map.folder() + "/" + c.name;
        const auto r = runTool(
            QStringList{"render", map.definition(), "-o", path, "--size", "80x40"} + c.extra);
        ASSERT_EQ(r.rc, 0) << c.name << ": " << r.errText().toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.name;
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(bytes.startsWith(c.begins)) << c.name;
        if (*c.imageFormat != 0) {
            QImage image;
            ASSERT_TRUE(image.loadFromData(bytes, c.imageFormat)) << c.name;
            EXPECT_EQ(image.size(), QSize(80, 40)) << c.name;
            // Zone A, red, fills the image's left part.
            const QColor pixel = image.pixelColor(10, 30);
            EXPECT_GT(pixel.red(), 200) << c.name;
            EXPECT_LT(pixel.green(), 60) << c.name;
        } else if (QByteArray(c.begins) == "<?xml") {
            EXPECT_TRUE(bytes.contains("<svg")) << c.name;
            EXPECT_TRUE(bytes.contains("viewBox=\"0 0 80 40\"")) << c.name;
        }
    }
}

// Names of the place lists are found with spaces around them ignored; an unknown name lists at
// most ten entries.
TEST(CliRender, PlaceNamesIgnoreSurroundingSpaces) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    map.write("SSL_Locs.csv", "Name,X,Y\r\n  Spaced Name  ,2000,2000\r\n");
    QByteArray regions = "Name,L,R,B,T\r\n";
    for (int i = 0; i < 422; ++i) {
        regions += "Region " + QByteArray::number(i) + ",0,1000,0,1000\r\n";
    }
    map.write("Regions.csv", regions);
    const QString png = map.folder() + "/site.png";
    for (const QString name : {"Spaced Name", " Spaced Name", "spaced name  "}) {
        const auto r = runTool({"render", map.definition(), "-o", png, "--site", name});
        EXPECT_EQ(r.rc, 0) << name.toStdString() << ": " << r.errText().toStdString();
    }
    const auto region = runTool({"render", map.definition(), "-o", png, "--region", " Region 7 "});
    EXPECT_EQ(region.rc, 0) << region.errText().toStdString();
    const auto unknown = runTool({"render", map.definition(), "-o", png, "--region", "Atlantis"});
    EXPECT_EQ(unknown.rc, 2);
    EXPECT_TRUE(unknown.errText().contains("\"Region 9\" and 412 more"))
        << unknown.errText().toStdString();
    EXPECT_FALSE(unknown.errText().contains("Region 10"));
}

// A row whose quote is never closed is reported and left out; the rows after it are read.
TEST(CliQuery, BrokenRowsDoNotSwallowTheRest) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    QByteArray input = "x,y,id\n";
    for (int i = 0; i < 10000; ++i) {
        input +=
            i == 10 || i == 5000 ? "100,100,\"open\n" : "100,100,r" + QByteArray::number(i) + "\n";
    }
    const auto r = runTool({"query", map.definition(), "--csv", "-"}, input);
    ASSERT_EQ(r.rc, 0) << r.errText().left(500).toStdString();
    const QStringList err = r.errText().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(err.size(), 4) << r.errText().left(500).toStdString();  // the ghost layer first
    EXPECT_EQ(err[1],
              "standard input, line 12: the quote that opens field 3 is closed only on "
              "line 5002, and text follows it; the row is left out.");
    EXPECT_EQ(err[2],
              "standard input, line 5002: the quote that opens field 3 is never closed; "
              "the row is left out.");
    EXPECT_EQ(err[3], "9,998 rows read, 2 left out");
    const QList<cli::CsvRecord> rows = cli::parseCsv(r.outText());
    ASSERT_EQ(rows.size(), 1 + 9998);
    EXPECT_EQ(rows.last().fields[0], "r9999");
}

TEST(CliQuery, CsvRecordsAfterAnOpenQuote) {
    const QList<cli::CsvRecord> records =
        cli::parseCsv("a,b\n\"open,1\nc,\"d\ne\"\nf,\"g\r\nh,i\n");
    ASSERT_EQ(records.size(), 5);
    EXPECT_TRUE(records[1].error.contains("closed only on line 3"))
        << records[1].error.toStdString();
    EXPECT_EQ(records[1].line, 2);
    EXPECT_EQ(records[2].fields, QStringList({"c", "d\ne"}));  // a quoted line break still works
    EXPECT_EQ(records[2].line, 3);
    EXPECT_TRUE(records[3].error.contains("field 2 is never closed"));
    EXPECT_EQ(records[3].line, 5);
    EXPECT_EQ(records[4].fields, QStringList({"h", "i"}));
    EXPECT_EQ(records[4].line, 6);
}

}  // namespace
