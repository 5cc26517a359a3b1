// The tool against the viewer: the query page of the Fish Tool, and the built executable.
#include <gtest/gtest.h>

#include <QProcess>
#include <QScreen>
#include <QTest>

#include "app/AppController.h"
#include "cli/CliTestSupport.h"
#include "cli/ReferenceCanvas.h"
#include "query/LayerQuery.h"
#include "reports/FakePageView.h"
#include "support/QStringPrinter.h"
#include "support/RecordingMessageSink.h"
#include "support/SampleMap.h"
#include "tools/MapToolbar.h"

using namespace pelagon;

namespace {

QString exact(double v) {
    return QString::number(v, 'g', 17);
}

TEST(CliAgainstViewer, QueryWritesTheFishToolsPage) {
    test::SampleMapCopy sample;
    ASSERT_TRUE(sample.isValid());
    const QString savedCwd = QDir::currentPath();
    test::RecordingMessageSink messages;
    test::FakePageViews pages;
    auto controller = std::make_unique<AppController>(messages, pages.factory());
    controller->setEndProgram([](int) {});
    ASSERT_TRUE(controller->openMapFile(sample.definition()));
    Mapform* map = controller->mapform();
    map->theToolbar_ButtonClick("drill_id", map->theToolbar->indexOfKey("drill_id"));

    // The tool's model of the map control is the viewer's: same size on this screen.
    const QScreen* screen = controller->frame()->screen();
    ASSERT_NE(screen, nullptr);
    QStringList names;
    for (const LayerInfo& r : map->LayerInfos) {
        names.append(r.LayerName);
    }
    EXPECT_EQ(cli::mapCanvasSize(names, screen->availableGeometry().size(),
                                 controller->frame()->logicalDpiXF()),
              map->theMap->size());

    struct Case {
        int region;  // -1: the full extent
        MapPoint target;
        const char* expected;  // a part of the page
    };
    const std::vector<Case> cases = {
        {-1, {94292, 866395}, "<B>Site</B>:  Kodiak<BR>"},
        {-1, {126009, 913108}, "HTML/docs/TrawlClosures.pdf"},
        {-1, {-2200000, 600000}, "<B>Management area</B>:  Aleutian Islands<BR>"},
        {3, {132667, 829333}, "HTML/CrabAreas.htm"},  // Kodiak, closer in
        {3, {94292, 866395}, "<B>Site</B>:  Kodiak<BR>"},
    };
    for (const Case& c : cases) {
        if (c.region >= 0) {
            map->RegionComboBox_Click(c.region);
        }
        const QPoint pixel = map->theMap->toWindowPoint(c.target).toPoint();
        QTest::mouseClick(map->theMap, Qt::LeftButton, {}, pixel);
        QFile written(sample.folder() + "/drillID_results.htm");
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        const QByteArray viewerPage = written.readAll();
        EXPECT_TRUE(viewerPage.contains(c.expected)) << viewerPage.toStdString();

        const MapPoint clicked = map->theMap->toMapPoint(QPointF(pixel));
        const double tolerance = queryTolerance(map->theMap->mapUnitsPerPixel());
        const auto r = test::runTool({"query", sample.definition(), "--at",
                                      exact(clicked.x) + "," + exact(clicked.y), "--tolerance",
                                      exact(tolerance)});
        ASSERT_EQ(r.rc, 0) << r.errText().toStdString();
        EXPECT_EQ(r.out, viewerPage);
    }
    controller.reset();
    QDir::setCurrent(savedCwd);
}

// A map of one short name: the legend is widened for its row, in the viewer and in the model.
TEST(CliAgainstViewer, TheModelFollowsAWidenedLegend) {
    test::SampleMapCopy sample;
    ASSERT_TRUE(sample.isValid());
    const QString savedCwd = QDir::currentPath();
    QFile coast(sample.folder() + "/Coast.mv");
    ASSERT_TRUE(coast.open(QIODevice::WriteOnly));
    coast.write(
        "Name,Query,Visible,File,Doc,Color,Border,Style,Label,Caption,Field\r\n"
        "Coast,0,True,land,,230.220.170,,0,,,\r\n");
    coast.close();
    test::RecordingMessageSink messages;
    test::FakePageViews pages;
    auto controller = std::make_unique<AppController>(messages, pages.factory());
    controller->setEndProgram([](int) {});
    ASSERT_TRUE(controller->openMapFile(coast.fileName()));
    const QScreen* screen = controller->frame()->screen();
    ASSERT_NE(screen, nullptr);
    const QSize model = cli::mapCanvasSize({"Coast"}, screen->availableGeometry().size(),
                                           controller->frame()->logicalDpiXF());
    EXPECT_EQ(model, controller->mapform()->theMap->size());
    controller.reset();
    QDir::setCurrent(savedCwd);
}

// The built program: its own offscreen platform, standard streams and exit statuses.
TEST(CliProgram, RunsWithoutADisplay) {
    const QString sample = QStringLiteral(PELAGON_SAMPLE_DIR "/Alaska.mv");
    struct Case {
        QStringList args;
        QByteArray input;
        int rc;
        QString out;  // a part of the standard output
        QString err;  // a part of the standard error
    };
    const std::vector<Case> cases = {
        {{"--help"}, {}, 0, "Usage: pelagon-cli SUBCOMMAND", {}},
        {{"--version"}, {}, 0, "pelagon-cli 0.", {}},
        {{"nope"}, {}, 2, {}, "unknown subcommand 'nope'"},
        {{"info", "/nonexistent/Map.mv"}, {}, 1, {}, "does not exist"},
        {{"position", sample, "--at", "100000,200000"}, {}, 0, "- 152° 33.466', 51° 48.038'\n", {}},
        {{"query", sample, "--csv", "-"},
         "lon,lat\n-152.41,57.79\n",
         0,
         ",Kodiak\r\n",
         "1 row read, 0 left out\n"},
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    // Without a runtime folder (as for root) Qt's note about it stays off the error stream.
    env.remove("XDG_RUNTIME_DIR");
    for (const Case& c : cases) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(PELAGON_CLI_EXE), c.args);
        ASSERT_TRUE(p.waitForStarted());
        p.write(c.input);
        p.closeWriteChannel();
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), c.rc) << c.args.join(' ').toStdString() << "\n"
                                      << err.toStdString();
        EXPECT_TRUE(out.contains(c.out)) << out.toStdString();
        EXPECT_TRUE(err.contains(c.err)) << err.toStdString();
        EXPECT_FALSE(err.contains("QStandardPaths")) << err.toStdString();
    }
}

}  // namespace
