#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "store/FeatureStore.h"

class OGRGeometry;
class OGRLayer;
class QFileInfo;

namespace pelagon {

struct RecordSeen;

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
    // A copy of a .dbf with its first rows and blank rows up to records, its header counting
    // them all.
    static QByteArray dbfCopy(std::span<const std::byte> dbf, std::int64_t rows,
                              std::int64_t records);
    // Whether a .prj's text has the shape of a coordinate system's well-known text.
    static bool looksLikeWkt(const QByteArray& text);
    // Why the layer's .prj cannot serve: text without the shape of a coordinate system, or one
    // GDAL cannot parse. Has OGR read it now: it would do so with the first record, and a text it
    // cannot parse would then pass for that record's fault.
    static std::optional<QString> prjProblem(const QFileInfo& info, OGRLayer& layer);
    // The parts and points of what OGR made of a shapefile record (none for no geometry).
    static RecordSeen countShape(const OGRGeometry* g);

    // A small file beside the layer (.cpg, .prj, .shx) read whole; empty when there is none.
    static QByteArray readSmallFile(const QString& path);
    // Why the encoding OGR found for a shapefile's text (its .cpg, or the language driver byte
    // of its .dbf) cannot serve; nullopt when it can.
    static std::optional<QString> unusableEncoding(OGRLayer& layer);
};

}  // namespace pelagon
