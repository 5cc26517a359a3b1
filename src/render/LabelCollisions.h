#pragma once

#include <QRectF>

#include <vector>

namespace pelagon {

// The boxes of the labels placed so far in a frame, bucketed on a coarse grid so that a new
// label is checked only against its neighbours.
class LabelCollisions {
public:
    LabelCollisions(const QRectF& area, double cell);

    // Places the box unless it overlaps a box placed before; returns whether it was placed.
    bool tryPlace(const QRectF& box);
    std::size_t count() const { return boxes_.size(); }

private:
    template <typename F>
    void forCells(const QRectF& box, F f);

    QRectF area_;
    double cell_;
    int columns_;
    int rows_;
    std::vector<QRectF> boxes_;
    std::vector<std::vector<int>> cells_;
};

}  // namespace pelagon
