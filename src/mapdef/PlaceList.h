#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

#include "common/MapTypes.h"

namespace pelagon {

// Half the side of the square a site zooms to, in map units (metres): a site shows 100 km across.
constexpr double siteHalfWidth = 50000.0;

// The names of the two list files; they lie beside the map definition, in the map folder.
QString siteListFileName();    // "SSL_Locs.csv"
QString regionListFileName();  // "Regions.csv"

// Where and why a list file could not be used.
struct PlaceListError {
    QString file;
    int line = 0;     // 1-based line number; 0 when the file itself could not be read
    QString problem;  // plain words

    // One sentence naming the file, the line and the problem.
    QString message() const;
};

// The places of one list file, in file order: entry k of names belongs to extents[k]. When the
// file cannot be used, error is set and both lists are empty.
struct PlaceList {
    QStringList names;
    QVector<MapRect> extents;
    std::optional<PlaceListError> error;

    bool ok() const { return !error.has_value(); }
    int size() const { return static_cast<int>(names.size()); }
};

// Reads the site list: a header line, skipped unread, then one site per line as name,X,Y (more
// fields are ignored). A site becomes the square of side 2 * siteHalfWidth centred on it.
PlaceList readSiteList(const QString& path = siteListFileName());

// Reads the region list: a header line, skipped unread, then one region per line as
// name,left,right,bottom,top (more fields are ignored).
PlaceList readRegionList(const QString& path = regionListFileName());

// The same on lines already read; file names the file in error messages.
PlaceList parseSiteList(const QStringList& lines, const QString& file);
PlaceList parseRegionList(const QStringList& lines, const QString& file);

// Reads a number of a list file: "." is the decimal separator whatever the user's locale (the
// comma separates fields), blanks around the number and an exponent are accepted. Nothing for a
// text that is not a finite number.
std::optional<double> parsePlaceNumber(const QString& text);

}  // namespace pelagon
