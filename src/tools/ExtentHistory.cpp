#include "tools/ExtentHistory.h"

namespace pelagon {

void ExtentHistory::push(const MapRect& extent) {
    entries_.append(extent);
}

std::optional<MapRect> ExtentHistory::previous() {
    if (entries_.isEmpty()) {
        return std::nullopt;
    }
    return entries_.takeLast();
}

}  // namespace pelagon
