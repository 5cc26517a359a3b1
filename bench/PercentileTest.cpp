#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <stdexcept>
#include <vector>

#include "Percentile.h"

namespace pelagon::bench {
namespace {

std::vector<double> oneTo(int n, bool shuffled) {
    std::vector<double> values(static_cast<std::size_t>(n));
    std::iota(values.begin(), values.end(), 1.0);
    if (shuffled) {
        std::mt19937 generator(7);
        std::shuffle(values.begin(), values.end(), generator);
    }
    return values;
}

TEST(Percentile, NearestRank) {
    struct Case {
        std::vector<double> values;
        double fraction;
        double expected;
    };
    const Case cases[] = {
        {oneTo(100, true), 0.99, 99},
        {oneTo(100, true), 0.50, 50},
        {oneTo(100, true), 1.00, 100},
        {oneTo(100, true), 0.001, 1},
        {oneTo(10000, true), 0.99, 9900},
        {oneTo(10000, true), 0.50, 5000},
        {{7}, 0.01, 7},
        {{7}, 1.0, 7},
        {{5, 1, 4, 2, 3}, 0.2, 1},
        {{5, 1, 4, 2, 3}, 0.21, 2},
        {{10, 20}, 0.5, 10},
        {{10, 20}, 0.51, 20},
        {{3, 3, 3, 9}, 0.75, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(percentile(c.values, c.fraction), c.expected)
            << c.values.size() << " values, fraction " << c.fraction;
    }
}

TEST(Percentile, RejectsNoValuesAndFractionsOutsideTheRange) {
    EXPECT_THROW(percentile({}, 0.5), std::invalid_argument);
    for (double fraction : {0.0, -0.1, 1.0001, 99.0}) {
        EXPECT_THROW(percentile({1, 2, 3}, fraction), std::invalid_argument) << fraction;
    }
}

TEST(Median, MiddleValueOrMeanOfTheTwoMiddleValues) {
    struct Case {
        std::vector<double> values;
        double expected;
    };
    const Case cases[] = {
        {{5}, 5},
        {{3, 1, 2}, 2},
        {{4, 1, 3, 2}, 2.5},
        {{9, 2, 9, 2}, 5.5},
        {{1, 100, 2, 3, 1000}, 3},
        {{-1, -3}, -2},
        {oneTo(10000, true), 5000.5},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(median(c.values), c.expected) << c.values.size() << " values";
    }
    EXPECT_THROW(median({}), std::invalid_argument);
}

}  // namespace
}  // namespace pelagon::bench
