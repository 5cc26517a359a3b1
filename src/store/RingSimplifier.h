#pragma once

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "store/Grid.h"

namespace pelagon {

// Simplifies rings and lines on the integer grid so that every dropped vertex lies within a
// tolerance (grid units) of the outline that is kept: first a pass that drops vertices closer than
// half the tolerance to the last one kept, then Douglas-Peucker with the other half on what is
// left. The first pass is linear and removes most vertices of a detailed line at a coarse
// tolerance, so the second works on little. Kept vertices are original ones, in order.
class RingSimplifier {
public:
    explicit RingSimplifier(double tolerance);

    double tolerance() const { return tolerance_; }

    // Appends the kept vertices of v to out. A closed ring is given without its closing vertex and
    // keeps at least its first vertex and the one farthest from it; an open line keeps both ends.
    template <typename Out>
    void simplify(std::span<const GridPoint> v, bool closed, Out& out) {
        keep(v, closed);
        for (const std::size_t i : kept_) {
            out.push_back(points_[i]);
        }
    }

private:
    void keep(std::span<const GridPoint> v, bool closed);
    // Marks the vertices of points_[first .. last] that Douglas-Peucker keeps, ends excluded.
    void douglasPeucker(std::size_t first, std::size_t last);

    double tolerance_;
    double radial2_;  // squared distance below which the first pass drops a vertex
    double chord2_;   // squared distance from a chord above which Douglas-Peucker keeps a vertex
    std::vector<GridPoint> points_;  // after the first pass
    std::vector<char> marks_;
    std::vector<std::size_t> kept_;
    std::vector<std::pair<std::size_t, std::size_t>> stack_;
};

}  // namespace pelagon
