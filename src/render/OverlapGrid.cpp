#include "render/OverlapGrid.h"

#include <algorithm>
#include <cmath>

namespace pelagon {

namespace {

// The cells of one thread's grids, kept from frame to frame: a frame's grid is half a megabyte,
// which fresh from the system costs more to map in than to use. Stamps go on rising from one
// grid to the next, so a new grid starts with every cell free without clearing them.
struct Cells {
    std::vector<std::uint32_t> stamps;
    std::uint32_t last = 0;
};
thread_local Cells threadCells;

}  // namespace

OverlapGrid::OverlapGrid(const QRectF& area, double cell)
    : area_(area),
      inverse_(1.0 / cell),
      columns_(std::max(1, static_cast<int>(std::ceil(area.width() * inverse_)))),
      rows_(std::max(1, static_cast<int>(std::ceil(area.height() * inverse_)))),
      stamps_(threadCells.stamps) {
    const std::size_t n = static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_);
    if (stamps_.size() < n) {
        stamps_.resize(n, 0);
    }
    stamp_ = threadCells.last;
    clear();
}

OverlapGrid::~OverlapGrid() {
    threadCells.last = stamp_;
}

bool OverlapGrid::cells(const QRectF& box, int& x0, int& y0, int& x1, int& y1) const {
    const double left = std::max(box.left(), area_.left());
    const double right = std::min(box.right(), area_.right());
    const double top = std::max(box.top(), area_.top());
    const double bottom = std::min(box.bottom(), area_.bottom());
    if (!(left <= right && top <= bottom)) {
        return false;
    }
    x0 = std::min(columns_ - 1, static_cast<int>((left - area_.left()) * inverse_));
    x1 = std::min(columns_ - 1, static_cast<int>((right - area_.left()) * inverse_));
    y0 = std::min(rows_ - 1, static_cast<int>((top - area_.top()) * inverse_));
    y1 = std::min(rows_ - 1, static_cast<int>((bottom - area_.top()) * inverse_));
    return true;
}

bool OverlapGrid::claim(const QRectF& box) {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (!cells(box, x0, y0, x1, y1)) {
        return true;
    }
    for (int y = y0; y <= y1; ++y) {
        const std::uint32_t* row = stamps_.data() + static_cast<std::size_t>(y) * columns_;
        for (int x = x0; x <= x1; ++x) {
            if (row[x] == stamp_) {
                return false;
            }
        }
    }
    for (int y = y0; y <= y1; ++y) {
        std::uint32_t* row = stamps_.data() + static_cast<std::size_t>(y) * columns_;
        std::fill(row + x0, row + x1 + 1, stamp_);
    }
    return true;
}

void OverlapGrid::clear() {
    if (++stamp_ == 0) {
        // After four billion batches the stamps wrap: start over with every cell free.
        std::fill(stamps_.begin(), stamps_.end(), 0);
        stamp_ = 1;
    }
}

}  // namespace pelagon
