#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace pelagon {

// One problem found in a layer's files.
struct LayerProblem {
    QString file;             // the file at fault, by name ("closures.shx")
    std::int64_t record = 0;  // the 1-based record it costs first; 0 when it costs none
    QString reason;           // plain words, beginning with the record ("record 9: ...")
};

// A shapefile's .shp, .shx and .dbf checked against each other by reading their headers, the
// index and each record's header directly, without OGR. OGR finds record i through entry i of
// the .shx and reads as many bytes as the entry says, trusting both; it reads as many records as
// the .shx header's length gives and stops at the .dbf header's record count. The check finds
// every record that OGR would therefore read wrongly or not at all, and says why.
struct ShapefileCheck {
    // Records the files hold: the entries of the index (by its header or by its size, whichever
    // is more) and records of the .shp past the last one the index lists.
    std::int64_t records = 0;
    // Per record (records of them): 1 when OGR would read it wrongly or not at all.
    std::vector<std::uint8_t> bad;
    // The first problems found, in the order of the record each concerns first (problems of no
    // record in particular last): at most kKeptProblems of them; problemCount counts them all.
    static constexpr std::size_t kKeptProblems = 8;
    std::vector<LayerProblem> problems;
    std::int64_t problemCount = 0;
    // The box of the .shp header (min x, min y, max x, max y) when it is a box of finite
    // numbers: every vertex of the file must lie in it.
    std::optional<std::array<double, 4>> box;
    // Set when the layer cannot be read at all (a cut-off attribute table): the reason.
    std::optional<QString> unreadable;

    std::int64_t badCount() const;
    // Marks the records first .. last (1-based, inclusive, within records) bad.
    void markBad(std::int64_t first, std::int64_t last);
    // Whether a problem concerning record first (0: none in particular) would be kept.
    bool keeps(std::int64_t first) const;
    // Keeps a problem in order, dropping the latest beyond kKeptProblems.
    void keep(LayerProblem p);
};

// What OGR made of one record: its parts (rings, lines) and points, closing points included;
// parts -1 for a shape they do not describe.
struct RecordSeen {
    std::int64_t parts = 0;
    std::int64_t points = 0;
};

// The check made as OGR reads. What needs no record is checked when the checker is made: the
// headers, the index, records of the .shp past it, the .dbf. Records are then read only where
// something disagrees: where the index looks wrong (an entry outside the .shp, or one that does
// not begin where the one before it ends), where OGR's geometry does not fill the record's
// length exactly, and every record when the index's records do not end where the .shp does.
// Reading every record of a sound file would cost a third of the time OGR takes to read it.
// checkRecord(i) is called for OGR's feature i as it is read, finish() at the end. A record found
// damaged may show that one before it is damaged too (bytes inserted into the .shp): the caller
// compares the verdict after finish() with what it kept.
class ShapefileChecker {
public:
    // On the files; the .shp is mapped when a record must be read, for as long as the checker
    // lives. A file that cannot be opened makes the layer unreadable (result().unreadable).
    ShapefileChecker(const QString& shpPath, const QString& shxPath, const QString& dbfPath);
    // On bytes that outlive the checker.
    ShapefileChecker(std::span<const std::byte> shp, std::span<const std::byte> shx,
                     std::span<const std::byte> dbf, std::int64_t dbfSize, const QString& baseName);
    ~ShapefileChecker();
    ShapefileChecker(const ShapefileChecker&) = delete;
    ShapefileChecker& operator=(const ShapefileChecker&) = delete;

    // Record index (0-based, OGR's FID), once; seen is what OGR made of it, null when it gave
    // no geometry.
    void checkRecord(std::int64_t index, const RecordSeen* seen);
    // The records not yet checked that the index marks, or every one when thorough; the
    // verdict.
    ShapefileCheck& finish(bool thorough = false);
    // Record index read and checked whatever OGR made of it (OGR gave a shape the layer cannot
    // hold); the verdict.
    ShapefileCheck& examine(std::int64_t index);
    // The verdict as far as checked.
    ShapefileCheck& result();

private:
    class Impl;
    struct Files;
    std::unique_ptr<Files> files_;
    std::unique_ptr<Impl> impl_;
    ShapefileCheck unopened_;
};

// The whole check, every record read, on the files' bytes; baseName ("closures") names the files in
// the reasons. dbf holds the start of the .dbf (its first 32 bytes suffice) and dbfSize its whole
// size.
ShapefileCheck checkShapefileBytes(std::span<const std::byte> shp, std::span<const std::byte> shx,
                                   std::span<const std::byte> dbf, std::int64_t dbfSize,
                                   const QString& baseName);

// The whole check on the files beside shpPath (the .shx and .dbf found as OGR finds them, in either
// letter case of the extension). A file that cannot be read is a problem of that file.
ShapefileCheck checkShapefile(const QString& shpPath, const QString& shxPath,
                              const QString& dbfPath);

}  // namespace pelagon
