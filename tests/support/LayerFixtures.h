#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

// Writes small vector layers through OGR for the map tests.
namespace pelagon::test {

struct FixtureFeature {
    std::string wkt;                                 // empty: a feature without geometry
    std::vector<std::optional<std::string>> values;  // one per field; nullopt is NULL
};

enum class FixtureKind { Points, MultiPoints, Lines, Polygons };

// Writes a shapefile (path ends in ".shp") with text fields, or of the types given one letter a
// field ('D' a date, written as "YYYY/MM/DD"; anything else text); returns an error text or "".
std::string writeShapefile(const QString& path, FixtureKind kind,
                           const std::vector<std::string>& fields,
                           const std::vector<FixtureFeature>& features,
                           const std::string& types = {});

// A square polygon as WKT.
std::string squareWkt(double x0, double y0, double size);

}  // namespace pelagon::test
