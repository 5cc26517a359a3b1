#include "render/LabelCollisions.h"

#include <algorithm>
#include <cmath>

namespace pelagon {

LabelCollisions::LabelCollisions(const QRectF& area, double cell)
    : area_(area),
      cell_(std::max(cell, 1.0)),
      columns_(std::clamp(static_cast<int>(std::ceil(area.width() / cell_)), 1, 512)),
      rows_(std::clamp(static_cast<int>(std::ceil(area.height() / cell_)), 1, 512)),
      cells_(static_cast<std::size_t>(columns_ * rows_)) {}

template <typename F>
void LabelCollisions::forCells(const QRectF& box, F f) {
    auto column = [&](double x) {
        return std::clamp(static_cast<int>(std::floor((x - area_.left()) / cell_)), 0,
                          columns_ - 1);
    };
    auto row = [&](double y) {
        return std::clamp(static_cast<int>(std::floor((y - area_.top()) / cell_)), 0, rows_ - 1);
    };
    const int c0 = column(box.left()), c1 = column(box.right());
    const int r0 = row(box.top()), r1 = row(box.bottom());
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c) {
            f(cells_[static_cast<std::size_t>(r * columns_ + c)]);
        }
    }
}

bool LabelCollisions::tryPlace(const QRectF& box) {
    bool free = true;
    forCells(box, [&](const std::vector<int>& cell) {
        for (int i : cell) {
            if (free && boxes_[static_cast<std::size_t>(i)].intersects(box)) {
                free = false;
            }
        }
    });
    if (!free) {
        return false;
    }
    const int index = static_cast<int>(boxes_.size());
    boxes_.push_back(box);
    forCells(box, [&](std::vector<int>& cell) { cell.push_back(index); });
    return true;
}

}  // namespace pelagon
