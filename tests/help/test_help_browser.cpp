#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMdiArea>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "common/Twips.h"
#include "help/HelpBrowser.h"
#include "help/HelpCommand.h"
#include "reports/FakePageView.h"
#include "reports/QtPrinters.h"

using namespace pelagon;
using pelagon::test::FakePageView;
using pelagon::test::FakePageViews;

namespace {

const QString kBaseDir = "/maps/area1/";
const QString kStart = "/maps/area1/HTML/MapHelp.htm#FishTool";
const QString kStartAsWritten = "file:///maps/area1/HTML/MapHelp.htm#FishTool";
const QString kA = "/maps/area1/HTML/a.htm";
const QString kB = "/maps/area1/HTML/b.htm";

QStringList items(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) {
        out.append(box->itemText(i));
    }
    return out;
}

class HelpBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        area = std::make_unique<QMdiArea>();
        area->resize(1400, 1000);
        area->show();
        map = area->addSubWindow(new QWidget);
        map->show();
        help = new HelpBrowser(area.get(), views.factory());
    }

    FakePageView* view() const { return dynamic_cast<FakePageView*>(help->brwWebBrowser()); }
    QComboBox* box() const { return help->cboAddress(); }
    int px(double twips) const { return twipsToPixels(twips, help->logicalDpiX()); }

    void click(const QString& key) {
        QAction* action = help->tbToolBar()->findChild<QAction*>(key);
        ASSERT_NE(action, nullptr) << key.toStdString();
        QWidget* button = help->tbToolBar()->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Types an address into the box and presses Enter, as the user does.
    void typeAndEnter(const QString& address) {
        QLineEdit* edit = box()->lineEdit();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, address);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    // Info, and the start page loads.
    void openOnStartPage() {
        showHelp(*help, kBaseDir);
        ASSERT_NE(view(), nullptr);
        view()->finishLoading();
    }

    FakePageViews views;
    std::unique_ptr<QMdiArea> area;
    QMdiSubWindow* map = nullptr;
    HelpBrowser* help = nullptr;  // owned by the area
};

TEST_F(HelpBrowserTest, InfoOpensTheStartPageWithTheAddressInTheBox) {
    EXPECT_EQ(helpStartAddress(kBaseDir), kStart);
    showHelp(*help, kBaseDir);
    ASSERT_NE(view(), nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->StartingAddress, kStart);
    EXPECT_EQ(box()->currentText(), kStart);
    EXPECT_EQ(items(box()), QStringList{kStart});  // before the first navigation completes
    EXPECT_EQ(view()->navigations, QStringList{kStart});
    EXPECT_TRUE(help->timTimer()->isActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return help->windowTitle() == "Working..."; }, 2000));
}

TEST_F(HelpBrowserTest, OpensWithItsControlsInPlace) {
    showHelp(*help, kBaseDir);
    EXPECT_EQ(help->lblAddress()->text(), "&Address:");
    EXPECT_EQ(help->lblAddress()->buddy(), box());
    EXPECT_EQ(help->lblAddress()->geometry(), QRect(px(45), px(60), px(3075), px(255)));
    // Moved below the label: left 50, top 60 + 255 + 15.
    EXPECT_EQ(box()->pos(), QPoint(px(50), px(330)));
    EXPECT_EQ(help->picAddress()->geometry().top(), px(540));
    EXPECT_EQ(help->picAddress()->height(), px(675));
    EXPECT_EQ(help->tbToolBar()->height(), px(540));
    EXPECT_EQ(help->brwWebBrowser()->pos(), QPoint(px(45), px(1215)));
    EXPECT_EQ(help->widget()->size(), QSize(px(6540), px(5130)));
    EXPECT_EQ(box()->width(), px(6540 - 100));
    EXPECT_EQ(help->brwWebBrowser()->size(), QSize(px(6540 - 100), px(5130 - 1315)));
    EXPECT_EQ(help->timTimer()->interval(), 5);
}

TEST_F(HelpBrowserTest, ToolbarHasSixButtonsWithTheirKeysAsTooltipsAndIcons) {
    const QStringList keys = {"Back", "Forward", "Stop", "Refresh", "Home", "Search"};
    EXPECT_EQ(HelpBrowser::buttonKeys(), keys);
    const QList<QAction*> actions = help->tbToolBar()->actions();
    ASSERT_EQ(actions.size(), keys.size());
    for (int i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(actions[i]->toolTip(), keys[i]);
        EXPECT_FALSE(actions[i]->icon().isNull()) << keys[i].toStdString();
    }
}

TEST_F(HelpBrowserTest, EmptyStartingAddressOpensWithoutLoading) {
    help->open();
    ASSERT_NE(view(), nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(view()->calls.isEmpty());
    EXPECT_EQ(box()->count(), 0);
    EXPECT_FALSE(help->timTimer()->isActive());
    EXPECT_EQ(box()->pos(), QPoint(px(50), px(330)));
}

TEST_F(HelpBrowserTest, HistoryKeepsTheMostRecentFirstWithoutRepeats) {
    openOnStartPage();
    EXPECT_EQ(help->windowTitle(), "MapHelp.htm");
    EXPECT_EQ(items(box()), (QStringList{kStartAsWritten, kStart}));
    EXPECT_EQ(box()->currentIndex(), 0);

    for (const QString& address : {kA, kB, kA}) {
        typeAndEnter(address);
        view()->finishLoading();
    }
    EXPECT_EQ(items(box()), (QStringList{"file://" + kA, "file://" + kB, kStartAsWritten, kStart}));
    EXPECT_EQ(box()->currentText(), "file://" + kA);
    EXPECT_EQ(box()->currentIndex(), 0);
}

TEST_F(HelpBrowserTest, TheSelectionMadeByTheHistoryDoesNotNavigate) {
    openOnStartPage();
    typeAndEnter(kA);
    view()->finishLoading();
    EXPECT_EQ(view()->navigations, (QStringList{kStart, kA}));
    EXPECT_FALSE(help->UpdatingHistory());
    EXPECT_FALSE(view()->busy());
}

TEST_F(HelpBrowserTest, EnterNavigatesToTheTypedTextWithoutAddingIt) {
    openOnStartPage();
    const QStringList before = items(box());
    typeAndEnter("/elsewhere/page.htm");
    EXPECT_EQ(view()->navigations.last(), "/elsewhere/page.htm");
    EXPECT_TRUE(help->timTimer()->isActive());
    EXPECT_EQ(items(box()), before);  // the list changes only when the navigation completes
}

TEST_F(HelpBrowserTest, ChoosingAnItemNavigatesToIt) {
    openOnStartPage();
    typeAndEnter(kA);
    view()->finishLoading();
    ASSERT_EQ(items(box()), (QStringList{"file://" + kA, kStartAsWritten, kStart}));

    // The arrow key picks the next item of the list, as a choice from the drop-down does.
    QTest::keyClick(box()->lineEdit(), Qt::Key_Down);
    EXPECT_EQ(view()->navigations.last(), kStartAsWritten);
    view()->finishLoading();
    EXPECT_EQ(items(box()), (QStringList{kStartAsWritten, "file://" + kA, kStart}));
    EXPECT_EQ(view()->navigations.size(), 3);
}

TEST_F(HelpBrowserTest, HomeAndSearchLeaveTheHelpPages) {
    openOnStartPage();
    click("Home");
    EXPECT_TRUE(help->timTimer()->isActive());
    EXPECT_EQ(view()->calls.last(), "goHome");
    view()->finishLoading();
    EXPECT_EQ(view()->currentAddress(), FakePageView::kHome);
    EXPECT_EQ(box()->currentText(), FakePageView::kHome);

    click("Search");
    EXPECT_EQ(view()->calls.last(), "goSearch");
    view()->finishLoading();
    EXPECT_EQ(items(box()).first(), FakePageView::kSearch);
}

TEST_F(HelpBrowserTest, BackForwardAndRefreshActOnTheView) {
    openOnStartPage();
    typeAndEnter(kA);
    view()->finishLoading();

    click("Back");
    EXPECT_EQ(view()->calls.last(), "back");
    view()->finishLoading();
    EXPECT_EQ(box()->currentText(), kStartAsWritten);
    click("Forward");
    EXPECT_EQ(view()->calls.last(), "forward");
    view()->finishLoading();
    EXPECT_EQ(box()->currentText(), "file://" + kA);
    click("Refresh");
    EXPECT_EQ(view()->calls.last(), "reload");
    EXPECT_TRUE(view()->busy());
}

TEST_F(HelpBrowserTest, StopWhileIdleSetsTheCaptionAndLeavesTheTimerStopped) {
    openOnStartPage();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !help->timTimer()->isActive(); }, 2000));
    help->setWindowTitle("something else");
    click("Stop");
    EXPECT_EQ(view()->calls.last(), "stop");
    EXPECT_FALSE(help->timTimer()->isActive());
    EXPECT_EQ(help->windowTitle(), "MapHelp.htm");
    QTest::qWait(30);
    EXPECT_FALSE(help->timTimer()->isActive());
}

TEST_F(HelpBrowserTest, StopWhileLoadingStopsTheView) {
    showHelp(*help, kBaseDir);
    ASSERT_TRUE(view()->busy());
    click("Stop");
    EXPECT_FALSE(view()->busy());
    EXPECT_FALSE(help->timTimer()->isActive());
}

TEST_F(HelpBrowserTest, InfoWhileOpenKeepsThePageAndDoesNotRaiseTheWindow) {
    openOnStartPage();
    typeAndEnter(kA);
    view()->finishLoading();
    area->setActiveSubWindow(map);
    ASSERT_EQ(area->activeSubWindow(), map);
    const QStringList history = items(box());

    showHelp(*help, "/maps/area2/");
    EXPECT_EQ(area->activeSubWindow(), map);
    EXPECT_EQ(view()->currentAddress(), "file://" + kA);
    EXPECT_EQ(view()->navigations.size(), 2);
    EXPECT_EQ(items(box()), history);
    EXPECT_EQ(help->StartingAddress, "/maps/area2/HTML/MapHelp.htm#FishTool");

    // The stored address is loaded the next time the window opens, in a fresh window.
    help->close();
    EXPECT_FALSE(help->isOpen());
    showHelp(*help, "/maps/area2/");
    EXPECT_EQ(view()->navigations, QStringList{"/maps/area2/HTML/MapHelp.htm#FishTool"});
    EXPECT_EQ(items(box()), QStringList{"/maps/area2/HTML/MapHelp.htm#FishTool"});
}

TEST_F(HelpBrowserTest, NarrowingTheWindowShrinksTheAddressBoxAndTheViewTogether) {
    openOnStartPage();
    const QPoint viewPos = help->brwWebBrowser()->pos();
    for (int shrink : {60, 120, 180}) {
        help->resize(help->width() - shrink, help->height() - shrink / 2);
        QCoreApplication::processEvents();
        const double dpi = help->logicalDpiX();
        const int W = help->widget()->width();
        const int H = help->widget()->height();
        const int expectedWidth = twipsToPixels(pixelsToTwips(W, dpi) - 100, dpi);
        EXPECT_EQ(box()->width(), expectedWidth);
        EXPECT_EQ(help->brwWebBrowser()->width(), expectedWidth);
        EXPECT_EQ(help->brwWebBrowser()->height(),
                  twipsToPixels(pixelsToTwips(H, dpi) - 1315, dpi));
        EXPECT_EQ(help->brwWebBrowser()->pos(), viewPos);
        EXPECT_EQ(help->picAddress()->width(), W);
    }
    // So small that the sizes would be negative: they stop at nothing.
    help->resize(20, 20);
    QCoreApplication::processEvents();
    const double W = pixelsToTwips(help->widget()->width(), help->logicalDpiX());
    const int expectedWidth = W > 100 ? twipsToPixels(W - 100, help->logicalDpiX()) : 0;
    EXPECT_EQ(box()->width(), expectedWidth);
    EXPECT_EQ(help->brwWebBrowser()->width(), expectedWidth);
    EXPECT_EQ(help->brwWebBrowser()->height(), 0);
}

}  // namespace
