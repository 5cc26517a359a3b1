#include <gtest/gtest.h>

#include <QFontInfo>
#include <QMdiArea>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <memory>

#include "common/Twips.h"
#include "reports/FakePageView.h"
#include "reports/QtPrinters.h"
#include "reports/TheBrowserForm.h"

using namespace pelagon;
using pelagon::test::FakePageView;
using pelagon::test::FakePageViews;

namespace {

const QString kResults = "/maps/area1/drillID_results.htm";

class BrowserFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        area = std::make_unique<QMdiArea>();
        area->resize(1400, 1000);
        area->show();
        form = new TheBrowserForm(area.get(), views.factory());
    }

    FakePageView* view() const { return dynamic_cast<FakePageView*>(form->theBrowser()); }
    QRect px(double left, double top, double width, double height) const {
        const double dx = form->logicalDpiX();
        const double dy = form->logicalDpiY();
        return {twipsToPixels(left, dx), twipsToPixels(top, dy), twipsToPixels(width, dx),
                twipsToPixels(height, dy)};
    }
    // Lets the 5 ms timer tick a few times.
    static void ticks() { QTest::qWait(40); }

    FakePageViews views;
    std::unique_ptr<QMdiArea> area;
    TheBrowserForm* form = nullptr;  // owned by the area
};

TEST_F(BrowserFormTest, OpensInItsInitialState) {
    form->StartingAddress = kResults;
    form->open();
    ASSERT_NE(view(), nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->isOpen());
    EXPECT_EQ(form->DrillIDtitle()->text(), "Species present at clicked location:");
    EXPECT_EQ(form->DrillIDtitle()->geometry(), px(45, 60, 5355, 615));
    EXPECT_EQ(form->theBrowser()->geometry(), px(120, 720, 4245, 4335));
    EXPECT_EQ(form->widget()->size(), px(0, 0, 7905, 5130).size());
    EXPECT_EQ(form->picAddress()->geometry(), QRect(QPoint(0, 0), px(0, 0, 7905, 675).size()));
    EXPECT_EQ(form->timTimer()->interval(), 5);
    const QFont font = form->DrillIDtitle()->font();
    EXPECT_TRUE(font.bold());
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 9.75);
    EXPECT_EQ(QFontInfo(font).family(), font.family());  // a family that is really there
}

TEST_F(BrowserFormTest, EmptyStartingAddressShowsAnEmptyViewAndNeverStartsTheTimer) {
    form->open();
    ASSERT_NE(view(), nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->timTimer()->isActive());
    ticks();
    EXPECT_TRUE(view()->calls.isEmpty());
    EXPECT_EQ(view()->currentAddress(), "");
    EXPECT_EQ(form->windowTitle(), "");
}

TEST_F(BrowserFormTest, APageThatLoadsAtOnceGetsItsNameAtTheFirstTick) {
    views.loadsAtOnce = true;
    form->StartingAddress = kResults;
    form->open();
    EXPECT_EQ(view()->navigations, QStringList{kResults});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->timTimer()->isActive(); }, 2000));
    EXPECT_EQ(form->windowTitle(), "drillID_results.htm");
}

TEST_F(BrowserFormTest, CaptionReadsWorkingWhileTheViewIsBusyThenThePageName) {
    form->StartingAddress = kResults;
    form->open();
    EXPECT_TRUE(form->timTimer()->isActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->windowTitle() == "Working..."; }, 2000));
    ticks();
    EXPECT_TRUE(form->timTimer()->isActive());
    EXPECT_EQ(form->windowTitle(), "Working...");

    view()->titles["file://" + kResults] = "Query results";
    view()->finishLoading();
    EXPECT_EQ(form->windowTitle(), "Query results");  // the download-finished notification
    ticks();
    EXPECT_FALSE(form->timTimer()->isActive());
    EXPECT_EQ(form->windowTitle(), "Query results");
}

TEST_F(BrowserFormTest, ANavigationInsideThePageDoesNotRestartTheTimer) {
    views.loadsAtOnce = true;
    form->StartingAddress = kResults;
    form->open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->timTimer()->isActive(); }, 2000));

    view()->loadsAtOnce = false;
    view()->navigate("/maps/area1/HTML/Regs.htm");  // as a followed link would
    ticks();
    EXPECT_FALSE(form->timTimer()->isActive());
    EXPECT_EQ(form->windowTitle(), "drillID_results.htm");
    view()->finishLoading();
    EXPECT_EQ(form->windowTitle(), "Regs.htm");
}

TEST_F(BrowserFormTest, ThePageFollowsTheWindowsSize) {
    form->StartingAddress = kResults;
    form->open();
    form->setOuterSizeTwips(6500, 7500);
    form->placeBrowser(200, 200, 6050, 6700);
    const QRect title = form->DrillIDtitle()->geometry();
    const QRect browser = form->theBrowser()->geometry();
    const QWidget* body = form->widget();
    const int right = body->width() - browser.right();
    const int bottom = body->height() - browser.bottom();

    for (const QSize size : {QSize(300, 200), QSize(1200, 900)}) {
        form->resize(size);
        QCoreApplication::processEvents();
        EXPECT_EQ(form->DrillIDtitle()->geometry(), title);
        // The view keeps its distances to the four edges.
        EXPECT_EQ(form->theBrowser()->geometry(),
                  QRect(browser.topLeft(),
                        QPoint(body->width() - right, body->height() - bottom)));
        // The strip is docked to the top edge and keeps spanning the window.
        EXPECT_EQ(form->picAddress()->width(), body->width());
    }
    form->showMaximized();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->theBrowser()->width(), body->width() - browser.left() - right + 1);
    EXPECT_GT(form->theBrowser()->height(), area->viewport()->height() / 2);
}

// Seven lines of details under a page filling the window from the margins.
class BrowserFormDetailsTest : public BrowserFormTest {
protected:
    void openWithDetails() {
        form->StartingAddress = kResults;
        form->open();
        form->setOuterSizeTwips(5000, 6000);
        form->setPageMarginsTwips(120, 720, 120, 120);
        QStringList lines;
        for (int i = 1; i <= 7; ++i) {
            lines.append(QString("%1.25 nm inside Closure %1").arg(i));
        }
        form->setDetails(lines.join('\n'));
        QCoreApplication::processEvents();
    }
    int line() const { return form->details()->fontMetrics().lineSpacing(); }
    int wholeHeight() const {
        return form->details()->heightForWidth(form->detailsArea()->width());
    }
};

TEST_F(BrowserFormDetailsTest, TheWindowGrowsToShowTheDetailsWholeBesideTheDesignPage) {
    openWithDetails();
    EXPECT_GE(form->detailsArea()->height(), wholeHeight());
    EXPECT_EQ(form->detailsArea()->verticalScrollBar()->maximum(), 0);
    EXPECT_GE(form->theBrowser()->height(), px(0, 0, 0, 4335).height());
    EXPECT_LT(form->theBrowser()->geometry().bottom(), form->detailsArea()->y());
    EXPECT_LE(form->detailsArea()->geometry().bottom(), form->widget()->height());
    // Never taller than the area.
    form->setDetails(QString("a line\n").repeated(200).trimmed());
    EXPECT_EQ(form->height(), area->viewport()->height());
}

struct ShrinkCase {
    const char* name;
    int belowLeast;  // pixels the page is given less than its least height
    bool whole;      // the details show whole
};

class BrowserFormShrinkTest : public BrowserFormDetailsTest,
                              public ::testing::WithParamInterface<ShrinkCase> {};

// A window made smaller takes the room from the page down to its least height; past that the
// details show the whole lines that fit and scroll by lines.
TEST_P(BrowserFormShrinkTest, ThePageGivesWayThenTheDetailsScrollByLines) {
    openWithDetails();
    const int least = px(0, 0, 0, TheBrowserForm::kMinPageHeightTwips).height();
    const int pageNow = form->theBrowser()->height();
    form->resize(form->width(), form->height() - (pageNow - least) - GetParam().belowLeast);
    QCoreApplication::processEvents();
    const int shown = form->detailsArea()->height();
    if (GetParam().whole) {
        EXPECT_EQ(form->theBrowser()->height(), least);
        EXPECT_GE(shown, wholeHeight());
    } else {
        EXPECT_LT(shown, wholeHeight());
        EXPECT_EQ(shown % line(), 0) << shown << " " << line();
        EXPECT_GE(form->theBrowser()->height(), least);
        EXPECT_EQ(form->detailsArea()->verticalScrollBar()->singleStep(), line());
    }
}

INSTANTIATE_TEST_SUITE_P(Table, BrowserFormShrinkTest,
                         ::testing::Values(ShrinkCase{"at_least_height", 0, true},
                                           ShrinkCase{"one_past", 1, false}),
                         [](const ::testing::TestParamInfo<ShrinkCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(BrowserFormTest, UsersSizeTheWindowAndPlaceTheView) {
    form->StartingAddress = kResults;
    form->open();
    form->setOuterSizeTwips(5000, 6000);
    EXPECT_EQ(form->size(), px(0, 0, 5000, 6000).size());
    EXPECT_NEAR(form->outerSizeTwips().width(), 5000, 15);
    EXPECT_NEAR(form->outerSizeTwips().height(), 6000, 15);

    form->placeBrowser(200, 200, 6500 - 450, 7500 - 800);
    EXPECT_EQ(form->theBrowser()->geometry(), px(200, 200, 6050, 6700));
    const QRectF placed = form->browserPlacementTwips();
    EXPECT_NEAR(placed.left(), 200, 15);
    EXPECT_NEAR(placed.width(), 6050, 15);
}

TEST_F(BrowserFormTest, CloseAndReopenGivesAFreshWindowThatKeepsStartingAddress) {
    form->StartingAddress = kResults;
    form->open();
    FakePageView* first = view();
    view()->finishLoading();
    form->DrillIDtitle()->setText("Layers present at: somewhere");
    form->setOuterSizeTwips(5000, 6000);
    const QSize initialSize = px(0, 0, 7905, 5130).size();

    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isOpen());
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->timTimer()->isActive());
    EXPECT_EQ(form->StartingAddress, kResults);

    form->open();
    ASSERT_NE(view(), nullptr);
    EXPECT_NE(view(), first);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->widget()->isVisible());
    EXPECT_EQ(view()->navigations, QStringList{kResults});
    EXPECT_TRUE(view()->history().isEmpty());  // the new view's history starts empty
    EXPECT_EQ(form->DrillIDtitle()->text(), "Species present at clicked location:");
    EXPECT_EQ(form->widget()->size(), initialSize);
    EXPECT_TRUE(QTest::qWaitFor([&] { return views.created.first().isNull(); }, 2000));
}

TEST_F(BrowserFormTest, TheDiscardedViewNoLongerTouchesTheCaption) {
    form->StartingAddress = kResults;
    form->open();
    QPointer<FakePageView> old = view();
    form->close();
    form->open();
    view()->titles["file://" + kResults] = "New page";
    view()->finishLoading();
    if (old) {
        old->finishLoading();
    }
    EXPECT_EQ(form->windowTitle(), "New page");
}

TEST_F(BrowserFormTest, FocusBringsTheWindowToTheFrontAndReopensAClosedOne) {
    auto* other = new QWidget;
    QMdiSubWindow* otherWindow = area->addSubWindow(other);
    otherWindow->show();

    form->StartingAddress = "/maps/area1/HTML/Regs.htm";
    form->open();
    area->setActiveSubWindow(otherWindow);
    ASSERT_EQ(area->activeSubWindow(), otherWindow);
    form->focus();
    EXPECT_EQ(area->activeSubWindow(), form);
    EXPECT_EQ(view()->navigations.size(), 1);  // no reload while open

    form->close();
    area->setActiveSubWindow(otherWindow);
    form->focus();
    EXPECT_TRUE(form->isOpen());
    EXPECT_EQ(area->activeSubWindow(), form);
    EXPECT_EQ(view()->navigations, QStringList{"/maps/area1/HTML/Regs.htm"});
}

}  // namespace
