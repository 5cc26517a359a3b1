#include "tools/PresetExtents.h"

namespace pelagon {

PresetExtents::PresetExtents(const QVector<MapRect>& regionExtents)
    : extents_(regionExtents.mid(0, static_cast<qsizetype>(keys().size()))) {}

QStringList PresetExtents::keys() {
    return {QStringLiteral("AI"), QStringLiteral("BS"), QStringLiteral("GOA")};
}

bool PresetExtents::isPresetKey(const QString& key) {
    return keys().contains(key);
}

std::optional<MapRect> PresetExtents::extent(const QString& key) const {
    const qsizetype row = keys().indexOf(key);
    if (row < 0 || row >= extents_.size()) {
        return std::nullopt;
    }
    return extents_[row];
}

}  // namespace pelagon
