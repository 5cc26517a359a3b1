#pragma once

#include <QString>

#include <optional>
#include <span>
#include <vector>

#include "store/FeatureStore.h"

class QFileInfo;

namespace pelagon {

// Reads a layer through OGR into a FeatureStore: the geometry in bulk into the flat arrays, then
// the label anchors, the run boxes of long rings and the R-tree. The data file stays open in the
// store for attribute reads.
class FeatureStoreBuilder {
public:
    static StoreOpenResult open(const QString& path, const StoreOpenOptions& options);
    static QString resolveDataFile(const QString& path);

private:
    // The file beside a shapefile with its base name and this extension, in either letter case
    // when the exact name is missing; empty when there is none.
    static QString siblingFile(const QFileInfo& file, const QString& extension);
    // The size a dBASE file must have by its own header; OGR reads the records only when they are
    // asked for, so a cut-off attribute table is caught here instead of at the first query.
    static std::optional<QString> checkDbf(const QString& dbfPath);
};

}  // namespace pelagon
