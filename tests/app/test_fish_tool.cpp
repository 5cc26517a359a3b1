#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>

#include "app/MapWindowFixture.h"
#include "geo/AngleText.h"
#include "reports/TheBrowserForm.h"

using namespace pelagon;

namespace {

class FishToolTest : public test::MapWindowFixture {
protected:
    void SetUp() override {
        MapWindowFixture::SetUp();
        open();
        // At sea 4.5 km east of the Marmot Island rookery, where every zone layer of the sample
        // overlaps.
        marmot = {126009.277 + 4500, 913108.001};
        canvas->setExtent({marmot.x - 20000, marmot.x + 20000, marmot.y - 20000, marmot.y + 20000});
        click("drill_id");
    }

    QStringList pageLines() const {
        QFile f(sample.folder() + "/drillID_results.htm");
        if (!f.open(QIODevice::ReadOnly)) {
            return {};
        }
        const QString text = QString::fromUtf8(f.readAll());
        EXPECT_TRUE(text.endsWith("\r\n"));
        QStringList lines = text.split("\r\n");
        lines.removeLast();
        return lines;
    }

    QString titleFor(QPoint pos) const {
        const MapPoint p = canvas->toMapPoint(QPointF(pos));
        double lon = 0;
        double lat = 0;
        EXPECT_TRUE(map->projection.AlbersToLatLong(p.x, p.y, lon, lat));
        return "Layers present at:  " + Ddec_to_DMdec(lon) + ", " + Ddec_to_DMdec(lat);
    }

    MapPoint marmot;
};

TEST_F(FishToolTest, ListsAttributesThenDocumentLinksOfEveryLayerAtThePoint) {
    const QPoint pos = at(marmot);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, pos);

    const QStringList lines = pageLines();
    ASSERT_EQ(lines.size(), 12) << lines.join("\n").toStdString();
    EXPECT_EQ(lines.mid(0, 4), QStringList({"<html>", "<header>", "</header>", "<body>"}));
    EXPECT_EQ(lines[4], "<B>Stat area</B>:  515800<BR>");
    EXPECT_EQ(lines[5], "<B>Management area</B>:  Central Gulf of Alaska<BR>");
    // The foraging buffers are hidden in the legend and still reported.
    EXPECT_EQ(lines[6], "<B>Foraging area of</B>:  Marmot Island<BR>");
    EXPECT_EQ(lines[7], "<BR>");
    const QString base = sample.folder() + "/HTML/";
    EXPECT_EQ(lines[8], "<a href=\"javascript:window.open('" + base +
                            "docs/TrawlClosures.pdf','','height=500,width=600,resizable,"
                            "scrollbars,toolbar');window.history.back()\">Trawl closures (10 "
                            "nm)</a><BR>");
    EXPECT_TRUE(lines[9].contains(base + "NoTransit.htm")) << lines[9].toStdString();
    EXPECT_TRUE(lines[9].endsWith(">No-transit zones (3 nm)</a><BR>"));
    EXPECT_EQ(lines[10], QString());
    EXPECT_EQ(lines[11], "</body></html>");

    TheBrowserForm* results = map->resultsWindow();
    ASSERT_NE(results, nullptr);
    EXPECT_TRUE(results->isOpen());
    EXPECT_EQ(pages.last()->navigations, QStringList{sample.folder() + "/drillID_results.htm"});
    EXPECT_EQ(results->DrillIDtitle()->text(), titleFor(pos));
    EXPECT_NEAR(results->outerSizeTwips().width(), 5000, 15);
    EXPECT_NEAR(results->outerSizeTwips().height(), 6000, 15);
    EXPECT_EQ(map->LblStatus->text(), QStringLiteral("Finding layers ..."));
    EXPECT_FALSE(canvas->highlight().empty());
    EXPECT_EQ(map->extentHistory.size(), 0);
}

TEST_F(FishToolTest, OnLandOnlyTheNoHitPage) {
    MapPoint inland;
    ASSERT_TRUE(map->projection.LatLongToAlbers(-150.0, 64.0, inland.x, inland.y));
    canvas->setExtent({inland.x - 20000, inland.x + 20000, inland.y - 20000, inland.y + 20000});
    QTest::mouseClick(canvas, Qt::RightButton, {}, at(inland));
    EXPECT_EQ(pageLines(), QStringList({"<html>", "<header>", "</header>", "<body>", "<BR>",
                                        "No layers found.", "</body></html>"}));
}

TEST_F(FishToolTest, ASecondClickReplacesTheResultsWindow) {
    QTest::mouseClick(canvas, Qt::LeftButton, {}, at(marmot));
    TheBrowserForm* first = map->resultsWindow();
    const int views = pages.created.size();
    const QPoint second = at(marmot) + QPoint(40, 0);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, second);
    EXPECT_EQ(map->resultsWindow(), first);
    EXPECT_TRUE(first->isOpen());
    EXPECT_EQ(pages.created.size(), views + 1);  // opened anew, with a fresh view
    EXPECT_EQ(first->DrillIDtitle()->text(), titleFor(second));
    // A change of extent clears the outline of the features found.
    click("Zoom Out");
    EXPECT_TRUE(canvas->highlight().empty());
}

}  // namespace
