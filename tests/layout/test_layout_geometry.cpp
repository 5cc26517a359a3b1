#include <gtest/gtest.h>

#include "layout/LegendGeometry.h"
#include "layout/MapWindowLayout.h"

using namespace pelagon;

namespace {

TEST(FramePlacementTest, WorkedExample) {
    // A frame 12000 x 9000 twips, a longest layer name of 20 characters.
    const int legendWidth = legend::legendWidth(20);
    EXPECT_EQ(legendWidth, 26);
    const double panel = legend::panelWidthTwips(1, legendWidth);
    EXPECT_DOUBLE_EQ(panel, 2620);
    const FramePlacement p = placeInFrame(12000, 9000, panel);
    EXPECT_DOUBLE_EQ(p.legendWidth, 2620);
    EXPECT_DOUBLE_EQ(p.legendHeight, 8500);
    EXPECT_DOUBLE_EQ(p.legendLeft, 8980);
    EXPECT_DOUBLE_EQ(p.legendTop, 0);
    EXPECT_DOUBLE_EQ(p.mapWidth, 8980);
    EXPECT_DOUBLE_EQ(p.mapHeight, 8500);
    EXPECT_EQ(legend::availRows(p.legendHeight), 23);

    const MapWindowArrangement a = arrangeMapWindow(p.mapWidth, p.mapHeight, 765);
    EXPECT_DOUBLE_EQ(a.mapWidth, 7804.25);
    // 85 % of the height less the status strip: too narrow for the position field in the row.
    EXPECT_TRUE(a.statusStrip);
    EXPECT_DOUBLE_EQ(a.mapHeight, 7225 - 495);
    EXPECT_DOUBLE_EQ(a.mapLeft, 970.375);
    EXPECT_DOUBLE_EQ(a.mapTop, 510);
    EXPECT_DOUBLE_EQ(a.buttonFrameTop, 7735);
    EXPECT_DOUBLE_EQ(a.buttonFrameLeft, 765);
}

struct AvailRowsCase {
    double height;
    int rows;
};

class AvailRowsTest : public ::testing::TestWithParam<AvailRowsCase> {};

TEST_P(AvailRowsTest, RoundsHalvesToEven) {
    EXPECT_EQ(legend::availRows(GetParam().height), GetParam().rows);
}

// 900 twips: 3.75 row units, 2.5 rows, less 1 is 1.5 -> 2; 1260: 3.5 - 1 = 2.5 -> 2.
INSTANTIATE_TEST_SUITE_P(Table, AvailRowsTest,
                         ::testing::Values(AvailRowsCase{8500, 23}, AvailRowsCase{900, 2},
                                           AvailRowsCase{1260, 2}, AvailRowsCase{1980, 4},
                                           AvailRowsCase{0, 0}, AvailRowsCase{-500, 0}));

struct LegendCapCase {
    const char* name;
    double wanted;
    double leastMapWidth;
    double legendWidth;
};

// A frame of 15360 twips (1024 pixels): the legend takes what it wants up to two fifths of the
// frame, and no more than leaves the map window its least width (less the frame's side margin
// of 400) while that leaves it the width of 20-character names (2620); where it does not, the
// legend does not give way.
TEST(FramePlacementTest, TheLegendGivesWayToTheMapWindowsControls) {
    const LegendCapCase cases[] = {
        {"two fifths", 7000, 0, 6144},
        {"what it wants, the map's least width just kept", 3960, 11000, 3960},
        {"the map's least width kept", 3961, 11000, 3960},
        {"20-character names, the map's least width kept", 3000, 12340, 2620},
        {"the map's least width out of reach", 3000, 12341, 3000},
    };
    for (const LegendCapCase& c : cases) {
        const FramePlacement p = placeInFrame(15360, 9000, c.wanted, c.leastMapWidth);
        EXPECT_DOUBLE_EQ(p.legendWidth, c.legendWidth) << c.name;
        EXPECT_DOUBLE_EQ(p.mapWidth, 15360 - 400 - c.legendWidth) << c.name;
    }
}

TEST(FramePlacementTest, TooSmallFramesClampToZero) {
    const FramePlacement p = placeInFrame(2000, 300, 2620);
    EXPECT_DOUBLE_EQ(p.mapWidth, 0);
    EXPECT_DOUBLE_EQ(p.legendHeight, 0);
    EXPECT_DOUBLE_EQ(p.legendLeft, 0);
    const MapWindowArrangement a = arrangeMapWindow(500, 1000, 765);
    EXPECT_DOUBLE_EQ(a.mapWidth, 0);
    EXPECT_GE(a.mapHeight, 0);
}

TEST(FramePlacementTest, WideWindowsBeyondSixteenBits) {
    const MapWindowArrangement a = arrangeMapWindow(40765, 10000, 765);
    EXPECT_DOUBLE_EQ(a.mapWidth, 40000 * 0.95);
    EXPECT_DOUBLE_EQ(a.mapLeft, 765 + 1000);
}

// The row holds the button frame and the position field beside it from 17925 twips right of the
// toolbar (frame, field, two gaps and the window's frame); one twip less takes the strip, at most
// a quarter of the map's height.
TEST(FramePlacementTest, StatusStripWhereTheRowHasNoRoomForThePositionField) {
    struct Case {
        double width, height;
        bool strip;
        double stripHeight;
    };
    for (const Case& c : {Case{765 + 17925, 10000, false, 0}, Case{765 + 17924, 10000, true, 495},
                          Case{765 + 17924, 1000, true, 850.0 / 4}}) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const MapWindowArrangement a = arrangeMapWindow(c.width, c.height, 765);
        EXPECT_EQ(a.statusStrip, c.strip);
        EXPECT_DOUBLE_EQ(a.statusStripHeight, c.stripHeight);
        EXPECT_DOUBLE_EQ(a.mapHeight, c.height * 0.85 - c.stripHeight);
        EXPECT_DOUBLE_EQ(a.buttonFrameTop, c.height * 0.06 + c.height * 0.85);
    }
}

TEST(FramePlacementTest, WidthRoundsHalvesToEven) {
    // A = 8215.5 rounds to 8216 (even), 8216.5 rounds to 8216.
    EXPECT_DOUBLE_EQ(arrangeMapWindow(8980.5, 100, 765).mapWidth, 8216 * 0.95);
    EXPECT_DOUBLE_EQ(arrangeMapWindow(8981.5, 100, 765).mapWidth, 8216 * 0.95);
}

}  // namespace
