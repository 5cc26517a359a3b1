#pragma once

#include <QRectF>

#include <cstdint>
#include <vector>

namespace pelagon {

// Tells whether a box on a drawing surface meets any box claimed since the last clear(), on a
// grid of square cells (one grid at a time on a thread): a box meets another when they share a
// cell, so the answer errs only towards "meets". The renderer draws features whose boxes meet
// nothing together, all fills then all outlines, which gives the picture of drawing them one by
// one.
class OverlapGrid {
public:
    // area: the part of the surface boxes are tested in (outside it nothing is drawn); cell: the
    // side of a cell in surface units.
    OverlapGrid(const QRectF& area, double cell);
    ~OverlapGrid();
    OverlapGrid(const OverlapGrid&) = delete;
    OverlapGrid& operator=(const OverlapGrid&) = delete;

    // Claims the cells of the box (clipped to the area) and returns true, unless one of them is
    // claimed already: then returns false and claims nothing.
    bool claim(const QRectF& box);
    // Releases every cell.
    void clear();

private:
    // The cell range of a box; false when it lies outside the area.
    bool cells(const QRectF& box, int& x0, int& y0, int& x1, int& y1) const;

    QRectF area_;
    double inverse_;
    int columns_;
    int rows_;
    // A cell is claimed when its stamp equals the current one, so clearing is one increment.
    // The stamps belong to the thread (one grid at a time per thread) and outlive the grid.
    std::vector<std::uint32_t>& stamps_;
    std::uint32_t stamp_ = 0;
};

}  // namespace pelagon
