#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>

#include "app/MapWindowFixture.h"
#include "help/HelpBrowser.h"
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
    // While it is open, Info changes nothing visible.
    QTest::mouseClick(map->HelpCmd, Qt::LeftButton);
    EXPECT_EQ(pages.created.size(), 1);
    EXPECT_EQ(pages.last()->navigations.size(), 1);
}

}  // namespace
