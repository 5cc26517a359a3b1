#pragma once

// A layer read twice: by the program (the feature store with its check, as the viewer and the
// command-line tool open it) and by shapelib, an implementation of the format that shares no code
// with ours, through an index rebuilt from the .shp itself and an attribute table whose header
// agrees with its own fields. Every feature the store keeps must have the geometry and the
// attribute values of the .shp record and the .dbf row of its number, unless the program reported
// a problem for that record or for the file as a whole.
//
// Which record is which: OGR, like shapelib, finds record i through entry i of the .shx and
// pairs it with row i of the .dbf. The truth is the record that carries number i in its own
// header in the .shp (found by walking the records one after the other from the file's header)
// and row i of an attribute table read by its own field descriptors, so a swapped or shifted
// index entry, or a .dbf header that disagrees with its fields, pairs the store's feature with
// the wrong truth and shows. A writer that numbered its records from 0 gives record i the number
// i - 1: the truth is read so too where the .shp holds a record numbered 0, or its record
// numbered 1 second, and the counts allow it (no record laid end to end from the header numbered
// at or past what the .shx, the .dbf and the .shp hold); the store must then follow one
// numbering for all its features. Past a damaged header the walk has to guess where the next
// record begins; a feature that has the shape of another sound record bearing its number (a
// copy pasted in, or the record the guess passed over) agrees too, since that header's number
// proves the pairing as well.

#include <QString>

#include <cstdint>
#include <vector>

namespace pelagon {
class FeatureStore;
struct ShapefileCheck;
}  // namespace pelagon

namespace pelagon::test {

struct DiffFinding {
    // What kind of difference: "geometry", "no-shp-record", "attribute", "field-names",
    // "deleted-row-kept", "dbf-unreadable", "row-unreadable", "left-out-silently".
    QString kind;
    std::int64_t record = 0;  // 1-based; 0 for the layer as a whole
    QString detail;           // what differs, in words
};

struct DiffReport {
    bool opened = false;        // the store opened the layer
    std::int64_t compared = 0;  // features compared with the truth
    std::int64_t excused = 0;   // features not compared: the program reported their damage
    std::vector<DiffFinding> findings;

    QString text() const;  // every finding, one a line
};

// Compares the layer at base + ".shp", ".shx", ".dbf". scratch is a folder the comparison may
// write the rebuilt index and the repaired attribute table into (files named "truth.*").
DiffReport compareWithShapelib(const QString& base, const QString& scratch);

// The same with the program's side given: the store, and the check whose verdict and problems
// count as reported; the truth is read from the files at base.
DiffReport compareStoreWithShapelib(const FeatureStore& store, const ShapefileCheck& check,
                                    const QString& base, const QString& scratch);

}  // namespace pelagon::test
