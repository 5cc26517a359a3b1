// The bucket grid that finds the candidates of a search at a point: the same boxes, in the same
// order, as a scan of every box would give, whatever the boxes' sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <vector>

#include "store/PointGrid.h"

namespace pelagon {
namespace {

std::vector<std::uint32_t> scan(const std::vector<GridBox>& boxes, const GridBox& b) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t i = 0; i < boxes.size(); ++i) {
        if (boxes[i].intersects(b)) {
            out.push_back(i);
        }
    }
    return out;
}

GridBox box(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    return GridBox{x0, y0, x1, y1};
}

struct Layout {
    const char* name;
    int count;
    std::int32_t maxSize;  // the largest side of a box
    int wholeExtent;       // boxes spanning the whole extent, among the others
};

void PrintTo(const Layout& layout, std::ostream* out) {
    *out << layout.name;
}

class PointGridLayouts : public ::testing::TestWithParam<Layout> {};

TEST_P(PointGridLayouts, FindsWhatAScanFinds) {
    const Layout layout = GetParam();
    std::mt19937 random(static_cast<unsigned>(layout.count));
    const GridBox extent = box(-1'000'000, -400'000, 2'000'000, 600'000);
    std::uniform_int_distribution<std::int32_t> x(extent.minX, extent.maxX);
    std::uniform_int_distribution<std::int32_t> y(extent.minY, extent.maxY);
    std::uniform_int_distribution<std::int32_t> size(0, layout.maxSize);
    std::vector<GridBox> boxes;
    for (int i = 0; i < layout.count; ++i) {
        const std::int32_t x0 = x(random), y0 = y(random);
        boxes.push_back(box(x0, y0, std::min(extent.maxX, x0 + size(random)),
                            std::min(extent.maxY, y0 + size(random))));
        if (i < layout.wholeExtent) {
            boxes.back() = extent;
        }
    }
    boxes.push_back(GridBox{});  // a feature without geometry is in no bucket
    std::shuffle(boxes.begin(), boxes.end(), random);
    const PointGrid grid(boxes, extent);
    EXPECT_LE(grid.memoryBytes(), (boxes.size() * PointGrid::kMaxEntriesPerFeature + 1024 +
                                   static_cast<std::size_t>(grid.columns() * grid.rows()) + 1) *
                                      sizeof(std::uint32_t) * 2);

    std::vector<std::uint32_t> found;
    int answered = 0;
    for (int i = 0; i < 3000; ++i) {
        // Points, tiny boxes, and boxes on and past the extent's edges.
        const std::int32_t cx = i % 10 == 0 ? extent.maxX : x(random);
        const std::int32_t cy = i % 10 == 1 ? extent.minY - 5 : y(random);
        // Every third box is half a bucket across, so that many span two buckets or four.
        const std::int32_t halfBucket = (extent.maxX - extent.minX) / grid.columns() / 4;
        const std::int32_t reach = i % 3 == 2 ? halfBucket : i % 3;
        const GridBox b = box(cx - reach, cy - reach, cx + reach, cy + reach);
        if (!grid.query(boxes, b, found)) {
            continue;
        }
        ++answered;
        ASSERT_EQ(found, scan(boxes, b)) << layout.name << " at " << cx << "," << cy;
    }
    EXPECT_EQ(answered, 3000) << "a box up to a bucket across spans at most four buckets";

    // A box far wider than a bucket is left to the tree, and out is left alone.
    found = {7};
    if (grid.columns() > 4) {
        EXPECT_FALSE(grid.query(boxes, extent, found));
        EXPECT_EQ(found, std::vector<std::uint32_t>{7});
    }
    // Outside the extent nothing is found.
    EXPECT_TRUE(grid.query(boxes, box(extent.maxX + 10, 0, extent.maxX + 20, 10), found));
    EXPECT_TRUE(found.empty());
}

INSTANTIATE_TEST_SUITE_P(Boxes, PointGridLayouts,
                         ::testing::Values(Layout{"small cells", 20000, 20000, 0},
                                           Layout{"mixed sizes", 5000, 900000, 0},
                                           Layout{"some covering everything", 3000, 30000, 40},
                                           Layout{"all huge", 500, 3'000'000, 0},
                                           Layout{"one box", 1, 10, 0}),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

TEST(PointGrid, NoBoxes) {
    const std::vector<GridBox> none;
    const PointGrid grid(none, box(0, 0, 10, 10));
    std::vector<std::uint32_t> found{1};
    EXPECT_TRUE(grid.query(none, box(5, 5, 5, 5), found));
    EXPECT_TRUE(found.empty());
}

}  // namespace
}  // namespace pelagon
