#include <gtest/gtest.h>

#include <QStringList>

#include <algorithm>

#include "tools/ExtentHistory.h"
#include "tools/PresetExtents.h"
#include "tools/ToolSelection.h"
#include "tools/ToolbarButtons.h"

using namespace pelagon;

namespace {

const MapRect kStart{-1000, 1000, -500, 500};
const MapRect kFull{-2000, 2000, -1000, 1000};
const QVector<MapRect> kRegions = {
    {10, 20, 30, 40}, {50, 60, 70, 80}, {90, 100, 110, 120}, {1, 2, 3, 4}};

// The navigation of a map window without its canvas: the shown extent is a plain value, and the
// steps save it on the history exactly where the map window does.
struct Navigation {
    MapRect shown = kStart;
    ExtentHistory history;
    PresetExtents presets{kRegions};
    ToolSelection tools;

    void pushExtent() { history.push(shown); }

    void click(const QString& key) {
        const int index =
            static_cast<int>(std::find_if(toolbarButtons().begin(), toolbarButtons().end(),
                                          [&](const ToolbarButton& b) { return b.key == key; }) -
                             toolbarButtons().begin() + 1);
        const ToolbarClickResult r = tools.buttonClick(key, index, toolbarButtonCount());
        switch (r.command) {
            case ToolbarCommand::ZoomToExtent:
                pushExtent();
                shown = kFull;
                break;
            case ToolbarCommand::ZoomOut:
                pushExtent();
                shown = shown.scaled(zoomOutFactor);
                break;
            case ToolbarCommand::PreviousExtent:
                if (const auto previous = history.previous()) {
                    shown = *previous;
                }
                break;
            case ToolbarCommand::PresetRegion:
                if (const auto region = presets.extent(r.key)) {
                    pushExtent();
                    shown = *region;
                }
                break;
            case ToolbarCommand::PrintTheMap:
            case ToolbarCommand::SelectTool:
                break;
        }
    }

    void chooseSite(const MapRect& site) {
        pushExtent();
        shown = site;
    }
};

TEST(ExtentHistoryTest, PreviousOnEmptyReturnsNothingAndStaysEmpty) {
    ExtentHistory history;
    EXPECT_FALSE(history.previous().has_value());
    EXPECT_EQ(history.size(), 0);
    EXPECT_TRUE(history.isEmpty());
}

TEST(ExtentHistoryTest, ReturnsNewestFirstAndRemovesIt) {
    ExtentHistory history;
    MapRect r = kStart;
    history.push(r);
    r.left = -5;  // a later change of the caller's rectangle must not reach the saved copy
    history.push(r);
    ASSERT_EQ(history.size(), 2);
    EXPECT_EQ(history.previous(), r);
    EXPECT_EQ(history.previous(), kStart);
    EXPECT_FALSE(history.previous().has_value());
}

TEST(ExtentHistoryTest, HoldsMoreThanSixteenBitsOfEntries) {
    ExtentHistory history;
    const int count = 40000;
    for (int i = 0; i < count; ++i) {
        history.push({double(i), double(i) + 1, 0, 1});
    }
    ASSERT_EQ(history.size(), count);
    for (int i = count - 1; i >= 0; --i) {
        ASSERT_EQ(history.previous()->left, double(i));
    }
    EXPECT_TRUE(history.isEmpty());
}

TEST(ExtentHistoryTest, PreviousRightAfterOpeningChangesNothing) {
    Navigation nav;
    nav.click(toolkey::previousExtent());
    EXPECT_EQ(nav.shown, kStart);
    EXPECT_EQ(nav.history.size(), 0);
}

TEST(ExtentHistoryTest, FullThenZoomOutThenTwoPreviousReturnToStart) {
    Navigation nav;
    nav.click(toolkey::zoomToExtent());
    nav.click(toolkey::zoomOut());
    EXPECT_EQ(nav.shown, kFull.scaled(1.5));
    nav.click(toolkey::previousExtent());
    EXPECT_EQ(nav.shown, kFull);
    nav.click(toolkey::previousExtent());
    EXPECT_EQ(nav.shown, kStart);
    nav.click(toolkey::previousExtent());
    EXPECT_EQ(nav.shown, kStart);
    EXPECT_TRUE(nav.history.isEmpty());
}

TEST(ExtentHistoryTest, PresetTwiceSavesTheStartThenThePreset) {
    Navigation nav;
    nav.click(toolkey::aleutianIslands());
    nav.click(toolkey::aleutianIslands());
    EXPECT_EQ(nav.history.entries(), (QVector<MapRect>{kStart, kRegions[0]}));
    nav.click(toolkey::previousExtent());
    EXPECT_EQ(nav.shown, kRegions[0]);
    nav.click(toolkey::previousExtent());
    EXPECT_EQ(nav.shown, kStart);
}

TEST(ExtentHistoryTest, SameSiteTwiceSavesTwoEntries) {
    Navigation nav;
    const MapRect site{50000, 150000, 150000, 250000};
    nav.chooseSite(site);
    nav.chooseSite(site);
    EXPECT_EQ(nav.history.entries(), (QVector<MapRect>{kStart, site}));
    EXPECT_EQ(nav.shown, site);
}

struct PresetCase {
    int regionRows;
    QStringList present;
};

class PresetExtentsTest : public ::testing::TestWithParam<PresetCase> {};

TEST_P(PresetExtentsTest, TakeTheFirstThreeRegionRowsInKeyOrder) {
    const PresetCase& c = GetParam();
    const PresetExtents presets(kRegions.mid(0, c.regionRows));
    const QStringList keys = PresetExtents::keys();
    for (int row = 0; row < keys.size(); ++row) {
        const auto extent = presets.extent(keys[row]);
        EXPECT_EQ(extent.has_value(), c.present.contains(keys[row])) << keys[row].toStdString();
        if (extent) {
            EXPECT_EQ(*extent, kRegions[row]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PresetExtentsTest,
                         ::testing::Values(PresetCase{0, {}}, PresetCase{1, {"AI"}},
                                           PresetCase{2, {"AI", "BS"}},
                                           PresetCase{3, {"AI", "BS", "GOA"}},
                                           PresetCase{4, {"AI", "BS", "GOA"}}));

TEST(PresetExtentsTest, KeysAreExactAndCaseSensitive) {
    const PresetExtents presets(kRegions);
    for (const char* key : {"ai", "Ai", "GOA ", "", "Zoom Out"}) {
        EXPECT_FALSE(presets.extent(QString::fromUtf8(key)).has_value()) << key;
        EXPECT_FALSE(PresetExtents::isPresetKey(QString::fromUtf8(key))) << key;
    }
}

}  // namespace
