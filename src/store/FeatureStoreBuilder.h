#pragma once

#include <QString>

#include <span>
#include <vector>

#include "store/FeatureStore.h"

namespace pelagon {

// Reads a layer through OGR into a FeatureStore: the geometry in bulk into the flat arrays, then
// the label anchors, the run boxes of long rings and the R-tree. The data file stays open in the
// store for attribute reads.
class FeatureStoreBuilder {
public:
    static StoreOpenResult open(const QString& path, const StoreOpenOptions& options);
    static QString resolveDataFile(const QString& path);
};

}  // namespace pelagon
