// The subcommands run in-process on the sample map and on a small map written by the test: usage,
// info, position and measure, and where the output goes. Rendering and the query have files of
// their own (test_cli_render.cpp, test_cli_query.cpp).
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "cli/CliTestSupport.h"
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
        {{"position", kSample, "--position", "57 30.2 152"},
         2,
         "--position: Position not understood: '57 30.2 152' reads as 57° 30.200' N, 152° 0.000' "
         "E, which is off the map"},
        {{"position", kSample, "--position", "95 00N 150 00W"},
         2,
         "--position: Position not "
         "understood: the latitude"},
        {{"query", kSample, "--position", "abc"}, 2, "--position: Position not understood: 'abc'"},
        {{"query", kSample, "--position", "57 30.2 152"},
         2,
         "--position: Position not understood: '57 30.2 152' reads as 57° 30.200' N, 152° 0.000' "
         "E, which is off the map"},
        {{"position", kSample, "--at", "1,2", "--locale", "xx_nowhere"}, 2, "not a known locale"},
        {{"position", kSample, "--at", "1,2", "--at", "3,4"}, 2, "given twice"},
        {{"measure", kSample}, 2, "missing argument (expected MAP.mv X1,Y1)"},
        {{"measure", kSample, "1,2,3"}, 2, "point 1: '1,2,3' is not of the form X,Y"},
        {{"visits", kSample}, 2, "give the positions with --csv TRACKS"},
        {{"hours", kSample, "--csv", "t.csv", "--speed", "2-1"}, 2, "minimum above its maximum"},
        {{"hours", kSample, "--csv", "t.csv", "--speed", "2"}, 2, "not a range MIN-MAX"},
        {{"hours", kSample, "--csv", "t.csv", "--by", "week"}, 2, "neither day nor month"},
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
        EXPECT_LT(r.err.size(), 1700) << c.args.join(' ').left(200).toStdString() << "\n"
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
    for (const QString name :
         {"info", "render", "query", "position", "measure", "visits", "hours"}) {
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
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    const QJsonObject ghost = o["layers"].toArray()[3].toObject();
    EXPECT_FALSE(ghost["loaded"].toBool());
    EXPECT_TRUE(ghost["problem"].toString().contains("Shapefiles/ghost"));
    EXPECT_TRUE(ghost["extent"].isNull());
    const QStringList problems = o["problems"].toVariant().toStringList();
    ASSERT_EQ(problems.size(), 2);
    EXPECT_TRUE(problems[1].contains("Regions.csv, line 2")) << problems[1].toStdString();
    EXPECT_EQ(r.errText(), "Could not find layer:  ghost\n" + problems[1] + "\n");
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
        "Damaged file:  statareas.shp\n\nStatistical areas: 1 of 1467 records left out; the "
        "damage is in statareas.shp: record 4: a vertex lies outside the box the .shp header "
        "gives.\n";

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

// Every subcommand that reads a file it cannot use says so on the error stream, once, whether it
// goes on without it or fails for want of it.
TEST(CliInfo, AnUnusableFileIsToldOnceByEveryCommandThatReadsIt) {
    struct Case {
        const char* file;
        QByteArray bytes;
        QStringList args;  // after the subcommand and the map; OUT: a file in the map folder
        int rc;
        const char* told;  // the first line of the message
    };
    const char* projection = "Missing parameters in 'ProjPars.alb'\n";
    const char* sites = "The site list cannot be used.\n";
    const QByteArray noProjection = "-154\r\n50\r\n";
    const QByteArray badSites = "Name,X,Y\r\nWell site,x,2000\r\n";
    const Case cases[] = {
        {"ProjPars.alb", noProjection, {"info"}, 0, projection},
        {"ProjPars.alb", noProjection, {"query", "--at", "500,500"}, 0, projection},
        {"ProjPars.alb", noProjection, {"query", "--csv", "-"}, 0, projection},
        {"ProjPars.alb", noProjection, {"position", "--at", "500,500"}, 1, projection},
        {"ProjPars.alb", noProjection, {"render", "-o", "OUT", "--scale-bar"}, 1, projection},
        {"SSL_Locs.csv", badSites, {"render", "-o", "OUT", "--region", "West"}, 0, sites},
        {"SSL_Locs.csv", badSites, {"info"}, 0, sites},
    };
    for (const Case& c : cases) {
        test::TinyMap map;
        ASSERT_TRUE(map.isValid()) << map.problems();
        map.write(c.file, c.bytes);
        QStringList args{c.args[0], map.definition()};
        for (const QString& a : c.args.mid(1)) {
            args << (a == "OUT" ? map.folder() + "/out.png" : a);
        }
        const auto r = runTool(args, "x,y\n500,500\n");
        const std::string what = args.join(' ').toStdString() + "\n" + r.errText().toStdString();
        EXPECT_EQ(r.rc, c.rc) << what;
        EXPECT_EQ(r.errText().count(c.told), 1) << what;
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

}  // namespace
