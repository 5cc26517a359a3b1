#pragma once

#include <QColor>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "app/TrackPicture.h"
#include "canvas/MapOverlay.h"
#include "common/MapTypes.h"

namespace pelagon {

struct PositionSet;

// The positions of the open files drawn over the map: their tracks and points go into the
// map's frame (TrackPicture, drawn on the renderer's worker); the position chosen in a
// Positions window is marked over the frame with a ring and cross hairs. After add or remove
// the canvas must be refreshed, after setMark only updated.
class PositionsOverlay : public MapOverlay {
public:
    // Adds a file's positions; its vessels take the colours from firstColour on. tracks: the
    // set's tracks prepared for drawing (made here when null).
    void add(std::shared_ptr<const PositionSet> set, int firstColour,
             std::shared_ptr<const TrackPicture::Prepared> tracks = nullptr);
    void remove(const PositionSet* set);
    bool empty() const { return sets_.empty(); }

    // Marks a row of a set; a null set or a row of -1 takes the mark away.
    void setMark(const PositionSet* set, int row);
    bool marked() const { return markSet_ != nullptr; }

    // Marks the part of a vessel's track inside one visit (from enter to exit, through the
    // positions between), red where the area is a document layer's; a null set takes it away.
    struct VisitMark {
        const PositionSet* set = nullptr;
        int vessel = 0;
        qint64 enterMs = 0;
        qint64 exitMs = 0;
        MapPoint enter;
        MapPoint exit;
        bool document = false;
    };
    void setVisitMark(const VisitMark& mark) { visit_ = mark; }

    // Draws the tracks up to a time only (see TrackPicture); nullopt draws them whole. The time
    // is written in the map's upper left corner, on screen and in print. After a change the
    // canvas's pictures must be refreshed.
    void setTimeCut(std::optional<TrackPicture::TimeCut> cut);
    const std::optional<TrackPicture::TimeCut>& timeCut() const { return cut_; }

    std::shared_ptr<const OverlayPicture> picture() const override;
    void paint(QPainter& painter, const Viewport& viewport) const override;

    // The colour of the vessel with this running number: well apart from its neighbours and
    // never the red of the rings.
    static QColor vesselColour(int index);
    // A time as the viewer writes it: UTC, ISO 8601 ("2026-03-10T12:00:00Z").
    static QString timeText(qint64 ms);
    static const QColor kRingColour;

private:
    using Shown = TrackPicture::Shown;
    std::vector<Shown> sets_;
    std::shared_ptr<const TrackPicture> picture_;  // the sets as they are drawn
    std::optional<TrackPicture::TimeCut> cut_;
    std::shared_ptr<TrackPicture::History> history_;  // of the sets now shown
    VisitMark visit_;
    const PositionSet* markSet_ = nullptr;
    int markRow_ = -1;
};

}  // namespace pelagon
