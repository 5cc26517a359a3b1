#pragma once

#include <QString>

#include <vector>

#include "store/FeatureStore.h"

namespace pelagon {

// Opens the data files of a map's layers, several at once: reading dominates loading, and each
// file is independent of the others. Result i belongs to paths[i].
std::vector<StoreOpenResult> openLayerFiles(const std::vector<QString>& paths);

}  // namespace pelagon
