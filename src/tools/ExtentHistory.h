#pragma once

#include <QVector>

#include <optional>

#include "common/MapTypes.h"

namespace pelagon {

// The extents the map window showed before each navigation step, oldest first, used as a stack so
// that "PreviousExtent" walks back one step at a time. Entries are copies: a later change of the
// map does not alter them. The history has no bound of its own, is never trimmed and never
// cleared; it lives as long as its map window.
class ExtentHistory {
public:
    // Saves a copy of the given extent as the newest entry.
    void push(const MapRect& extent);

    // Removes the newest entry and returns it; nothing when the history is empty.
    std::optional<MapRect> previous();

    int size() const { return static_cast<int>(entries_.size()); }
    bool isEmpty() const { return entries_.isEmpty(); }

    // The saved extents, oldest first.
    const QVector<MapRect>& entries() const { return entries_; }

private:
    QVector<MapRect> entries_;
};

}  // namespace pelagon
