#include <gtest/gtest.h>

#include <ostream>

#include "help/HelpBrowserLayout.h"

using namespace pelagon;

namespace {

struct LayoutCase {
    const char* name;
    double W, H;
    double addressWidth, viewWidth, viewHeight;
    friend void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }
};

class HelpLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(HelpLayoutTest, FollowsTheClientArea) {
    const LayoutCase& c = GetParam();
    const HelpBrowserSizes s = helpBrowserSizes(c.W, c.H);
    EXPECT_DOUBLE_EQ(s.addressWidth, c.addressWidth);
    EXPECT_DOUBLE_EQ(s.viewWidth, c.viewWidth);
    EXPECT_DOUBLE_EQ(s.viewHeight, c.viewHeight);
}

INSTANTIATE_TEST_SUITE_P(Sizes, HelpLayoutTest,
                         ::testing::Values(LayoutCase{"Initial", 6540, 5130, 6440, 6440, 3815},
                                           LayoutCase{"Narrower", 3000, 5130, 2900, 2900, 3815},
                                           LayoutCase{"Taller", 6540, 9000, 6440, 6440, 7685},
                                           LayoutCase{"JustEnough", 100, 1315, 0, 0, 0},
                                           LayoutCase{"TooNarrow", 60, 5130, 0, 0, 3815},
                                           LayoutCase{"TooLow", 6540, 900, 6440, 6440, 0},
                                           LayoutCase{"Nothing", 0, 0, 0, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HelpLayout, TheViewHeightFollowsTheStrip) {
    EXPECT_DOUBLE_EQ(helpBrowserSizes(6540, 5130, 600, 700).viewHeight, 5130 - 1300 - 100);
}

}  // namespace
