#pragma once

#include <QColor>

#include <memory>
#include <vector>

#include "canvas/MapOverlay.h"

namespace pelagon {

struct PositionSet;

// The positions of the open files drawn over the map: a line per vessel through its positions
// in time order and a point per position in the vessel's colour; a position inside an area of a
// document layer (a closure and the like) as a point in a red ring; the position chosen in a
// Positions window marked with a ring and cross hairs.
class PositionsOverlay : public MapOverlay {
public:
    // Adds a file's positions; its vessels take the colours from firstColour on.
    void add(std::shared_ptr<const PositionSet> set, int firstColour);
    void remove(const PositionSet* set);
    bool empty() const { return sets_.empty(); }

    // Marks a row of a set; a null set or a row of -1 takes the mark away.
    void setMark(const PositionSet* set, int row);
    bool marked() const { return markSet_ != nullptr; }

    void paint(QPainter& painter, const Viewport& viewport) const override;

    // The colour of the vessel with this running number: well apart from its neighbours and
    // never the red of the rings.
    static QColor vesselColour(int index);
    static const QColor kRingColour;

private:
    struct Shown {
        std::shared_ptr<const PositionSet> set;
        int firstColour = 0;
    };
    std::vector<Shown> sets_;
    const PositionSet* markSet_ = nullptr;
    int markRow_ = -1;
};

}  // namespace pelagon
