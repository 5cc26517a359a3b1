#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

#include "common/MapTypes.h"

namespace pelagon {

// The three preset regions of the toolbar, keyed "AI", "BS" and "GOA" (the Aleutian Islands, the
// Bering Sea and the Gulf of Alaska). They are the first three rows of the region list, in that
// order, whatever those rows are named; the program holds no coordinates of its own for them.
class PresetExtents {
public:
    PresetExtents() = default;

    // Takes rows 0, 1 and 2 of the region list; a key whose row is missing stays without extent.
    explicit PresetExtents(const QVector<MapRect>& regionExtents);

    // The keys in row order: "AI", "BS", "GOA".
    static QStringList keys();

    // True for "AI", "BS" and "GOA" (exact, case-sensitive).
    static bool isPresetKey(const QString& key);

    // The extent of a key; nothing for a key without a region row or for any other text.
    std::optional<MapRect> extent(const QString& key) const;

    bool contains(const QString& key) const { return extent(key).has_value(); }

private:
    QVector<MapRect> extents_;  // at most three, in key order
};

}  // namespace pelagon
