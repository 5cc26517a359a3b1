#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

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
    EXPECT_EQ(lines[8], "<a href=\"javascript:window.open('file://" + base +
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
    // At least 5000 twips wide: wider where the heading needs it.
    EXPECT_GE(results->outerSizeTwips().width(), 5000 - 15);
    // At least 6000 twips tall: taller where the distances under the page need it. They show
    // whole, and the page fills the window, maximized too.
    EXPECT_GE(results->outerSizeTwips().height(), 6000 - 15);
    ASSERT_FALSE(results->details()->text().isEmpty());
    EXPECT_GE(results->detailsArea()->height(),
              results->details()->heightForWidth(results->detailsArea()->width()));
    EXPECT_EQ(results->detailsArea()->verticalScrollBar()->maximum(), 0);
    results->showMaximized();
    QCoreApplication::processEvents();
    const QWidget* body = results->widget();
    EXPECT_GE(results->theBrowser()->width(), body->width() * 9 / 10);
    EXPECT_GE(results->theBrowser()->height() + results->detailsArea()->height(),
              body->height() * 7 / 10);
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

// The results window is titled with the clicked position once its page shows, its heading shows
// whole, and the working text leaves the status line then.
TEST_F(FishToolTest, TheWindowNamesThePositionAndShowsItsHeadingWhole) {
    // The longest heading: three-digit degrees west and a negative sign.
    MapPoint far;
    ASSERT_TRUE(map->projection.LatLongToAlbers(-169.978, 56.987, far.x, far.y));
    canvas->setExtent({far.x - 20000, far.x + 20000, far.y - 20000, far.y + 20000});
    const QPoint pos = at(far);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, pos);
    TheBrowserForm* results = map->resultsWindow();
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(map->LblStatus->text(), QStringLiteral("Finding layers ..."));

    pages.last()->titles[test::FakePageView::written(sample.folder() + "/drillID_results.htm")] =
        "drillID_results.htm";
    pages.last()->finishLoading();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !results->timTimer()->isActive(); }, 2000));
    const MapPoint p = canvas->toMapPoint(QPointF(pos));
    double lon = 0;
    double lat = 0;
    ASSERT_TRUE(map->projection.AlbersToLatLong(p.x, p.y, lon, lat));
    EXPECT_EQ(results->windowTitle(), Ddec_to_DMdec(lon) + "," + Ddec_to_DMdec(lat));
    EXPECT_EQ(map->LblStatus->text(), QString());

    // The heading, in its own font, fits its label, and the label fits the window.
    QLabel* title = results->DrillIDtitle();
    EXPECT_EQ(title->text(), titleFor(pos));
    EXPECT_LE(title->fontMetrics().horizontalAdvance(title->text()), title->width());
    EXPECT_LE(title->mapTo(results->widget(), QPoint(title->width(), 0)).x(),
              results->widget()->width());
    EXPECT_TRUE(results->notice()->isHidden());
}

// A map folder that cannot take the page: the notice of where it went stays in the results
// window, whole, until the next query; pointer moves leave it alone.
TEST_F(FishToolTest, TheFallbackNoticeStaysReadable) {
    // A folder where the page should be: the map folder cannot take the file.
    ASSERT_TRUE(QDir(sample.folder()).mkdir("drillID_results.htm"));
    QTest::mouseClick(canvas, Qt::LeftButton, {}, at(marmot));
    TheBrowserForm* results = map->resultsWindow();
    ASSERT_NE(results, nullptr);
    QLabel* notice = results->notice();
    ASSERT_FALSE(notice->isHidden());
    EXPECT_TRUE(notice->text().startsWith("The map folder cannot take the query page"))
        << notice->text().toStdString();
    EXPECT_TRUE(notice->text().endsWith("drillID_results.htm.")) << notice->text().toStdString();
    // Whole: wrapped inside the window, as tall as its lines need.
    EXPECT_GE(notice->height(), notice->heightForWidth(notice->width()));
    EXPECT_LE(notice->geometry().bottom(), results->widget()->height());
    EXPECT_LE(notice->geometry().right(), results->widget()->width());
    QTest::mouseMove(canvas, at(marmot) + QPoint(30, 30));
    EXPECT_TRUE(notice->isVisible());
    // The next query that writes into the map folder has no notice.
    ASSERT_TRUE(QDir(sample.folder()).rmdir("drillID_results.htm"));
    QTest::mouseClick(canvas, Qt::LeftButton, {}, at(marmot));
    EXPECT_TRUE(map->resultsWindow()->notice()->isHidden());
}

}  // namespace
