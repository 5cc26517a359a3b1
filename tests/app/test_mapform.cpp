#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <map>

#include "app/MapWindowFixture.h"
#include "help/HelpBrowser.h"
#include "legend/LayerListForm.h"
#include "support/QStringPrinter.h"
#include "tools/MapToolbar.h"
#include "tools/PlaceComboBox.h"

using namespace pelagon;

namespace {

using MapformTest = test::MapWindowFixture;

TEST_F(MapformTest, ListsAndPresetsComeFromTheMapFolder) {
    open();
    EXPECT_EQ(map->SiteComboBox->count(), 40);
    EXPECT_EQ(map->RegionComboBox->count(), 11);
    EXPECT_EQ(map->SiteComboBox->itemText(0), QStringLiteral("Attu Island"));
    EXPECT_EQ(map->RegionComboBox->itemText(1), QStringLiteral("Bering Sea"));
    EXPECT_EQ(map->siteExtents.size(), 40);
    ASSERT_EQ(map->regionExtents.size(), 11);
    // Aleutian Islands,-2311000,-565000,131000,1158000
    EXPECT_EQ(map->presetExtents.extent("AI"), (MapRect{-2311000, -565000, 131000, 1158000}));
    EXPECT_EQ(map->presetExtents.extent("BS"), map->regionExtents[1]);
    EXPECT_EQ(map->presetExtents.extent("GOA"), map->regionExtents[2]);
    EXPECT_TRUE(map->theToolbar->isButtonEnabled(map->theToolbar->indexOfKey("GOA")));
    EXPECT_EQ(map->LblStatus->text(), QStringLiteral("Welcome to the program!"));
    EXPECT_EQ(map->currentTool(), QString());
    EXPECT_EQ(map->currentToolButton(), 1);
}

// Each place list prompts for and explains its own kind of place.
TEST_F(MapformTest, EachPlaceListPromptsForItsOwnPlaces) {
    open();
    EXPECT_EQ(map->SiteComboBox->placeholderText(), QStringLiteral("Zoom to site"));
    EXPECT_EQ(map->SiteComboBox->toolTip(),
              QStringLiteral("Click here to select a site to zoom to"));
    EXPECT_EQ(map->RegionComboBox->placeholderText(), QStringLiteral("Zoom to region"));
    EXPECT_EQ(map->RegionComboBox->toolTip(),
              QStringLiteral("Click here to select a region to zoom to"));
}

TEST_F(MapformTest, ABadListIsReportedOnceAndLeftEmpty) {
    writeFile("SSL_Locs.csv", "Name,X,Y\r\nHarbour,100000,200000\r\nBroken,abc,1\r\n");
    writeFile("Regions.csv", "Name,L,R,B,T\r\nOnly,0,1,0,1\r\nTwo,0,1,0,1\r\n");
    open();
    ASSERT_EQ(messages.messages.size(), 1) << messages.texts().join("\n").toStdString();
    EXPECT_TRUE(messages.messages[0].text.contains("SSL_Locs.csv, line 3"));
    EXPECT_EQ(map->SiteComboBox->count(), 0);
    EXPECT_FALSE(map->SiteComboBox->isEnabled());
    // Two regions: "GOA" has no region and its button is disabled.
    EXPECT_EQ(map->RegionComboBox->count(), 2);
    EXPECT_TRUE(map->theToolbar->isButtonEnabled(map->theToolbar->indexOfKey("BS")));
    EXPECT_FALSE(map->theToolbar->isButtonEnabled(map->theToolbar->indexOfKey("GOA")));
    EXPECT_FALSE(map->presetExtents.extent("GOA").has_value());
}

TEST_F(MapformTest, MissingListsStillOpenTheMap) {
    QFile::remove(sample.folder() + "/SSL_Locs.csv");
    QFile::remove(sample.folder() + "/Regions.csv");
    open();
    ASSERT_EQ(messages.messages.size(), 2);
    EXPECT_TRUE(messages.messages[0].text.contains("SSL_Locs.csv"));
    EXPECT_TRUE(messages.messages[1].text.contains("Regions.csv"));
    EXPECT_FALSE(map->RegionComboBox->isEnabled());
    for (const char* key : {"AI", "BS", "GOA"}) {
        EXPECT_FALSE(map->theToolbar->isButtonEnabled(map->theToolbar->indexOfKey(key))) << key;
    }
}

TEST_F(MapformTest, RegulationsWindowLifecycle) {
    open();
    QTest::mouseClick(map->CmdShowRegs, Qt::LeftButton);
    ASSERT_TRUE(map->RegsOpened);
    TheBrowserForm* regs = map->RegsWindow;
    ASSERT_NE(regs, nullptr);
    ASSERT_EQ(pages.created.size(), 1);
    EXPECT_EQ(pages.last()->navigations, QStringList{sample.folder() + "/HTML/Regs.htm"});
    const QSizeF size = regs->outerSizeTwips();
    EXPECT_NEAR(size.width(), 6500, 15);
    EXPECT_NEAR(size.height(), 7500, 15);
    const QRectF view = regs->browserPlacementTwips();
    EXPECT_NEAR(view.left(), 200, 15);
    EXPECT_NEAR(view.top(), 200, 15);
    EXPECT_NEAR(view.width(), 6050, 15);
    EXPECT_NEAR(view.height(), 6700, 15);
    EXPECT_EQ(regs->DrillIDtitle()->text(), QString());

    // A second request: the same window, not reloaded, brought to the front.
    map->ShowRegs();
    EXPECT_EQ(map->RegsWindow, regs);
    EXPECT_EQ(pages.created.size(), 1);
    EXPECT_EQ(pages.last()->navigations.size(), 1);
    EXPECT_EQ(controller->frame()->mdiArea()->activeSubWindow(), regs);

    // Closed by the user, it opens again as at its creation.
    regs->close();
    EXPECT_FALSE(regs->isOpen());
    map->ShowRegs();
    EXPECT_TRUE(regs->isOpen());
    ASSERT_EQ(pages.created.size(), 2);
    EXPECT_EQ(pages.last()->navigations, QStringList{sample.folder() + "/HTML/Regs.htm"});
    EXPECT_NEAR(regs->outerSizeTwips().width(), 6500, 15);
    EXPECT_NEAR(regs->browserPlacementTwips().height(), 6700, 15);
}

TEST_F(MapformTest, InfoOpensTheHelpPageAtTheFishTool) {
    open();
    QTest::mouseClick(map->HelpCmd, Qt::LeftButton);
    HelpBrowser* help = map->helpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isOpen());
    const QString start = sample.folder() + "/HTML/MapHelp.htm#FishTool";
    EXPECT_EQ(help->cboAddress()->currentText(), start);
    EXPECT_EQ(pages.last()->navigations, QStringList{start});
    // While it is open, Info loads nothing again.
    QTest::mouseClick(map->HelpCmd, Qt::LeftButton);
    EXPECT_EQ(pages.created.size(), 1);
    EXPECT_EQ(pages.last()->navigations.size(), 1);
}

// A click on the map leaves the windows over it in front (the map window and the legend stay
// beneath the others); pressing Regulations or Info again makes the open window the active one,
// on its page.
TEST_F(MapformTest, OpenWindowsStayInFrontOfTheMap) {
    open();
    QMdiArea* area = controller->frame()->mdiArea();
    auto topmost = [&] { return area->subWindowList(QMdiArea::StackingOrder).last(); };
    struct Case {
        QPushButton* button;
        std::function<QMdiSubWindow*()> window;
    };
    const std::vector<Case> cases = {
        {map->CmdShowRegs, [&]() -> QMdiSubWindow* { return map->RegsWindow; }},
        {map->HelpCmd, [&]() -> QMdiSubWindow* { return map->helpWindow(); }},
    };
    for (const Case& c : cases) {
        QTest::mouseClick(c.button, Qt::LeftButton);
        QMdiSubWindow* window = c.window();
        ASSERT_NE(window, nullptr);
        const int views = pages.created.size();
        QTest::mouseClick(map->theMap, Qt::LeftButton, {}, QPoint(300, 300));
        area->setActiveSubWindow(map->subWindow());
        map->subWindow()->raise();
        map->legendWindow()->raise();
        EXPECT_EQ(area->activeSubWindow(), map->subWindow());
        EXPECT_EQ(topmost(), window) << c.button->text().toStdString();
        QTest::mouseClick(c.button, Qt::LeftButton);
        EXPECT_EQ(c.window(), window);
        EXPECT_EQ(topmost(), window) << c.button->text().toStdString();
        EXPECT_EQ(area->activeSubWindow(), window) << c.button->text().toStdString();
        EXPECT_EQ(pages.created.size(), views);  // the same view, not loaded again
        EXPECT_EQ(pages.last()->navigations.size(), 1);
    }
}

// Maximizing the map window leaves the legend visible: the map takes the area left of it, and
// other windows activated meanwhile are not maximized with it.
TEST_F(MapformTest, AMaximizedMapWindowLeavesTheLegendVisible) {
    open();
    QMdiSubWindow* sub = map->subWindow();
    QMdiSubWindow* legend = map->legendWindow();
    QMdiArea* area = controller->frame()->mdiArea();
    const QRect normal = sub->geometry();
    sub->showMaximized();
    QApplication::processEvents();
    EXPECT_TRUE(sub->isMaximized());
    EXPECT_EQ(sub->geometry(), QRect(0, 0, legend->x(), area->viewport()->height()));
    EXPECT_FALSE(sub->geometry().intersects(legend->geometry()));
    EXPECT_TRUE(legend->isVisible());
    // Still beside the legend when the frame's area changes size.
    area->resize(area->width() + 40, area->height() - 30);
    QApplication::processEvents();
    EXPECT_EQ(sub->geometry(), QRect(0, 0, legend->x(), area->viewport()->height()));
    // The regulations window opens as it is, not maximized.
    QTest::mouseClick(map->CmdShowRegs, Qt::LeftButton);
    EXPECT_FALSE(map->RegsWindow->isMaximized());
    sub->showNormal();
    QApplication::processEvents();
    EXPECT_EQ(sub->geometry(), normal);
}

// The pixels of a window's title bar that stand out from the bar's own colour (the most common
// one of each line): the title's letters, the icon and the buttons.
int titleBarInk(QMdiSubWindow* window) {
    const QImage image = window->grab().toImage();
    const int height = window->widget()->mapTo(window, QPoint(0, 0)).y();
    int ink = 0;
    for (int y = 0; y < height; ++y) {
        std::map<QRgb, int> counts;
        for (int x = 0; x < image.width(); ++x) {
            ++counts[image.pixel(x, y)];
        }
        const QColor bar =
            QColor(std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                       return a.second < b.second;
                   })->first);
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            ink += std::abs(c.red() - bar.red()) + std::abs(c.green() - bar.green()) +
                               std::abs(c.blue() - bar.blue()) >
                           120
                       ? 1
                       : 0;
        }
    }
    return ink;
}

// A name of 150 characters takes the legend to a share of the frame, not the map's room: the map
// window keeps its buttons whole, and the name ends in "…", whole in its tooltip.
TEST_F(MapformTest, ALongNameLeavesTheMapItsWindow) {
    const QString header = "Name,Query,Visible,File,Doc,Color,Border,Style,Label,Caption,Field\r\n";
    const QString name = "Closures & \"zones\" " + QString(130, QChar('x'));
    writeFile("Long.mv", (header + name + ",0,True,land,,230.220.170,,0,,,\r\n").toUtf8());
    open(sample.folder() + "/Long.mv");
    controller->frame()->resize(1280, 800);  // a frame wide enough for the map window's buttons
    map->restoreMapLayout();
    QApplication::processEvents();
    EXPECT_LE(map->legendWindow()->width(),
              controller->frame()->frameGeometry().width() * 2 / 5 + 1);
    QCheckBox* box = map->legend()->LayerVisCheck.front();
    EXPECT_TRUE(box->text().endsWith(QChar(0x2026))) << box->text().toStdString();
    EXPECT_EQ(box->toolTip(), name);
    LayerListForm* legend = map->legend();
    EXPECT_LE(box->mapTo(legend, QPoint(box->sizeHint().width(), 0)).x(), legend->width());
    for (const QWidget* control : map->ButtonFrame->findChildren<QWidget*>()) {
        if (control->isVisibleTo(map)) {
            const QRect at(control->mapTo(map, QPoint(0, 0)), control->size());
            EXPECT_TRUE(map->rect().contains(at)) << control->objectName().toStdString();
        }
    }
}

// The legend is wide enough for its swatches, boxes and whole names, and for its whole title:
// on a map of one short name and on one of 45 layers that scrolls.
TEST_F(MapformTest, TheLegendShowsEveryNameWhole) {
    const QString header = "Name,Query,Visible,File,Doc,Color,Border,Style,Label,Caption,Field\r\n";
    writeFile("Coast.mv", (header + "Coast,0,True,land,,230.220.170,,0,,,\r\n").toUtf8());
    QString many = header + "Closures & <zones>,1,True,closures,docs\\x.pdf,255.128.0,,5,,,\r\n";
    for (int i = 2; i <= 45; ++i) {
        many += QStringLiteral("Habitat conservation %1,0,True,habitat,,0.128.0,0.96.0,2,,,\r\n")
                    .arg(i);
    }
    writeFile("Closures & [*] <b>.mv", many.toUtf8());
    for (const char* name : {"Coast.mv", "Closures & [*] <b>.mv"}) {
        open(sample.folder() + "/" + name);
        // The frame's title shows the path as it is written.
        EXPECT_EQ(controller->frame()->windowHandle()->title(),
                  "Dudadiruz Pelagon: " + sample.folder() + "/" + name);
        LayerListForm* legend = map->legend();
        QMdiSubWindow* window = map->legendWindow();
        QApplication::processEvents();
        const bool scrolls = legend->LayerListScroll->isVisible();
        EXPECT_EQ(scrolls, std::string(name) != "Coast.mv");
        const int rowsRight =
            scrolls ? legend->LayerListScroll->mapTo(window, QPoint(0, 0)).x() : window->width();
        for (QCheckBox* box : legend->LayerVisCheck) {
            ASSERT_NE(box, nullptr);
            EXPECT_GE(box->width(), box->sizeHint().width()) << box->text().toStdString();
            // The mark and the whole name end left of the scroll bar (or the window's edge).
            const QPoint right = box->mapTo(window, QPoint(box->sizeHint().width(), 0));
            EXPECT_LE(right.x(), rowsRight) << name << ": " << box->text().toStdString();
        }
        EXPECT_LE(window->geometry().right(), controller->frame()->mdiArea()->viewport()->width());
        EXPECT_EQ(map->subWindow()->geometry().right() + 1, window->x());
        // The title reads as in a window wide enough for any title: nothing of it cut.
        const int ink = titleBarInk(window);
        const QSize laidOut = window->size();
        window->resize(800, laidOut.height());
        EXPECT_NEAR(ink, titleBarInk(window), 0.02 * ink) << name;
        window->resize(laidOut);
        controller.reset();
    }
}

}  // namespace
