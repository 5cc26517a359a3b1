#include "store/SpatialIndex.h"

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/register/box.hpp>
#include <boost/geometry/geometries/register/point.hpp>
#include <boost/geometry/index/rtree.hpp>
#include <boost/range/irange.hpp>

// The store's own box type serves as the tree's indexable, so the boxes are not copied.
BOOST_GEOMETRY_REGISTER_POINT_2D(pelagon::GridPoint, std::int32_t, boost::geometry::cs::cartesian,
                                 x, y)
BOOST_GEOMETRY_REGISTER_BOX_2D_4VALUES(pelagon::GridBox, pelagon::GridPoint, minX, minY, maxX, maxY)

namespace bgi = boost::geometry::index;

namespace pelagon {

namespace {

// The tree's values are only box numbers, so a leaf entry costs four bytes.
struct BoxOfNumber {
    using result_type = const GridBox&;
    const GridBox* boxes = nullptr;
    const GridBox& operator()(std::uint32_t i) const { return boxes[i]; }
};

// Sixteen entries per node keep the tree shallow while a query still reads little per node.
using Tree = bgi::rtree<std::uint32_t, bgi::quadratic<16>, BoxOfNumber>;

}  // namespace

struct SpatialIndex::Impl {
    std::size_t count;
    Tree tree;

    explicit Impl(const std::vector<GridBox>& source)
        : count(source.size()),
          tree(boost::irange<std::uint32_t>(0, static_cast<std::uint32_t>(source.size())),
               bgi::quadratic<16>(), BoxOfNumber{source.data()}) {}
};

SpatialIndex::SpatialIndex(const std::vector<GridBox>& boxes)
    : impl_(std::make_unique<Impl>(boxes)) {}

SpatialIndex::~SpatialIndex() = default;

void SpatialIndex::query(const GridBox& b, std::vector<std::uint32_t>& out) const {
    impl_->tree.query(bgi::intersects(b), std::back_inserter(out));
}

std::size_t SpatialIndex::memoryBytes() const {
    // Leaves hold up to 17 numbers each, inner nodes up to 17 (box, pointer) pairs; a packed
    // tree fills its nodes, so about n / 16 leaves and n / 256 inner nodes.
    const std::size_t leaves = impl_->count / 16 + 1;
    return leaves * (17 * sizeof(std::uint32_t) + 16) +
           (leaves / 16 + 1) * (17 * (sizeof(GridBox) + sizeof(void*)) + 16);
}

}  // namespace pelagon
