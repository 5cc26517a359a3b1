#pragma once

#include <QColor>

#include <memory>
#include <vector>

#include "app/TrackPicture.h"
#include "canvas/MapOverlay.h"

namespace pelagon {

struct PositionSet;

// The positions of the open files drawn over the map: their tracks and points go into the
// map's frame (TrackPicture, drawn on the renderer's worker); the position chosen in a
// Positions window is marked over the frame with a ring and cross hairs. After add or remove
// the canvas must be refreshed, after setMark only updated.
class PositionsOverlay : public MapOverlay {
public:
    // Adds a file's positions; its vessels take the colours from firstColour on.
    void add(std::shared_ptr<const PositionSet> set, int firstColour);
    void remove(const PositionSet* set);
    bool empty() const { return sets_.empty(); }

    // Marks a row of a set; a null set or a row of -1 takes the mark away.
    void setMark(const PositionSet* set, int row);
    bool marked() const { return markSet_ != nullptr; }

    std::shared_ptr<const OverlayPicture> picture() const override;
    void paint(QPainter& painter, const Viewport& viewport) const override;

    // The colour of the vessel with this running number: well apart from its neighbours and
    // never the red of the rings.
    static QColor vesselColour(int index);
    static const QColor kRingColour;

private:
    using Shown = TrackPicture::Shown;
    std::vector<Shown> sets_;
    std::shared_ptr<const TrackPicture> picture_;  // the sets as they are drawn
    const PositionSet* markSet_ = nullptr;
    int markRow_ = -1;
};

}  // namespace pelagon
