#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "store/FileDamage.h"

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
    // Per record (records of them): kLeftOut when OGR would read it wrongly or not at all,
    // kNoAttributes when its shape is sound but which attribute row belongs to it cannot be
    // proven (it is kept without attributes).
    static constexpr std::uint8_t kLeftOut = 1;
    static constexpr std::uint8_t kNoAttributes = 2;
    std::vector<std::uint8_t> bad;
    // The index OGR reads the .shp through, rebuilt from a walk of the .shp's records when the
    // .shx is missing or disagrees with them; empty when the .shx serves.
    QByteArray restoredIndex;
    // The .shp OGR reads when the walk found records at odd bytes, which an index cannot point
    // to: the sound records copied, each damaged one a null shape; empty when the .shp serves.
    QByteArray restoredShp;
    // The rows of the .dbf that can be read when its header counts another number, or when
    // they are fewer than the records: OGR reads a copy of the .dbf with these rows and blank
    // ones up to the records.
    std::optional<std::int64_t> dbfRows;
    // Whether the .dbf's header and field list are sound: when not, no attribute is read.
    bool attributesUsable = true;
    // Fields whose values contradict their type in the .dbf header: never read.
    QStringList unusableFields;
    // The first problems found, in the order of the record each concerns first (problems of no
    // record in particular last): at most kKeptProblems of them; problemCount counts them all.
    static constexpr std::size_t kKeptProblems = 8;
    std::vector<LayerProblem> problems;
    std::int64_t problemCount = 0;
    // Per damaged file, in the order they were found.
    std::vector<FileDamage> files;
    // The box of the .shp header (min x, min y, max x, max y) when it is a box of finite
    // numbers: every vertex of the file must lie in it.
    std::optional<std::array<double, 4>> box;
    // Set when the layer cannot be read at all (a cut-off attribute table): the reason.
    std::optional<QString> unreadable;

    std::int64_t badCount() const;
    std::int64_t withoutAttributesCount() const;
    // Marks the records first .. last (1-based, inclusive, within records) bad; how many were
    // not before.
    std::int64_t markBad(std::int64_t first, std::int64_t last);
    // Marks the records first .. last that are not bad as kept without attributes; how many
    // were not before.
    std::int64_t markWithoutAttributes(std::int64_t first, std::int64_t last);
    // Whether a problem concerning record first (0: none in particular) would be kept.
    bool keeps(std::int64_t first) const;
    // Keeps a problem in order, dropping the latest beyond kKeptProblems.
    void keep(LayerProblem p);
    // The account of a file, made when first asked for.
    FileDamage& fileDamage(const QString& file);
    // Counts a problem of file concerning record first (0: none in particular), which leaves
    // leftOut records out and withoutAttributes without attributes; reason is asked for only
    // when the problem is kept.
    template <typename Reason>
    void count(const QString& file, std::int64_t first, std::int64_t leftOut,
               std::int64_t withoutAttributes, Reason reason) {
        ++problemCount;
        FileDamage& d = fileDamage(file);
        ++d.problems;
        d.leftOut += leftOut;
        d.withoutAttributes += withoutAttributes;
        const bool firstOfFile =
            d.problems == 1 || (first > 0 && (d.firstRecord == 0 || first < d.firstRecord));
        const bool kept = keeps(first);
        if (firstOfFile || kept) {
            QString text = reason();
            if (firstOfFile) {
                d.firstRecord = first;
                d.firstProblem = text;
            }
            if (kept) {
                keep(LayerProblem{file, first, std::move(text)});
            }
        }
    }
};

// What OGR made of one record: its parts (rings, lines) and points, closing points included;
// parts -1 for a shape they do not describe.
struct RecordSeen {
    std::int64_t parts = 0;
    std::int64_t points = 0;
};

// The check made as OGR reads. What needs no record is checked when the checker is made: the
// headers, the index, records of the .shp past it, the .dbf's header and field list. The blocks
// OGR reads are shown to it (seenShp, seenDbf; see WatchedShapefile): each record header's
// number and length are checked against its place there, and each attribute row's deletion flag
// and typed values; rows OGR did not read are read at finish(). Records are read only where
// something disagrees: where the index looks wrong (an entry outside the .shp, or one that does
// not begin where the one before it ends), where OGR's geometry does not fill the record's
// length exactly, and every record when the index's records do not end where the .shp does.
// Reading every record of a sound file would cost a third of the time OGR takes to read it.
// checkRecord(i) is called for OGR's feature i as it is read, finish() at the end. A record found
// damaged may show that one before it is damaged too (bytes inserted into the .shp): the caller
// compares the verdict after finish() with what it kept.
class ShapefileChecker {
public:
    // On the files; the .shp is mapped when a record must be read, the .dbf at once, for as long
    // as the checker lives. An empty shxPath or dbfPath stands for a missing file: the index is
    // then rebuilt from the .shp, or the shapes are kept without attributes. A file that cannot
    // be opened makes the layer unreadable (result().unreadable).
    // thorough: the rows of the .dbf are read at once; otherwise those OGR reads are checked in
    // the blocks it reads them in (seenDbf), the rest at finish().
    ShapefileChecker(const QString& shpPath, const QString& shxPath, const QString& dbfPath,
                     bool thorough = false);
    // On bytes that outlive the checker.
    ShapefileChecker(std::span<const std::byte> shp, std::span<const std::byte> shx,
                     std::span<const std::byte> dbf, std::int64_t dbfSize, const QString& baseName,
                     bool thorough = false);
    ~ShapefileChecker();
    ShapefileChecker(const ShapefileChecker&) = delete;
    ShapefileChecker& operator=(const ShapefileChecker&) = delete;

    // Record index (0-based, OGR's FID), once; seen is what OGR made of it, null when OGR could
    // not read it. Where proven(index), seen is not looked at (and need not be counted).
    void checkRecord(std::int64_t index, const RecordSeen* seen);
    // Whether record index's header and content were found sound in the block OGR read it in.
    bool proven(std::int64_t index) const;
    // The records not yet checked that the index marks, or every one when thorough; the
    // verdict.
    ShapefileCheck& finish(bool thorough = false);
    // Record index read and checked whatever OGR made of it (OGR gave a shape the layer cannot
    // hold); the verdict.
    ShapefileCheck& examine(std::int64_t index);
    // A block OGR read of the .shp or the .dbf, beginning at byte at: the record headers and
    // attribute rows in it are checked there rather than in the files.
    void seenShp(std::int64_t at, std::span<const std::byte> block);
    // OGR reads a view of the files (a restored index, a copy of the .dbf) whose blocks the
    // check does not see: every record's header is read in the .shp as OGR gives the record.
    void readsUnseen();
    void seenDbf(std::int64_t at, std::span<const std::byte> block);
    // The verdict as far as checked.
    ShapefileCheck& result();
    // The files' bytes, mapped for as long as the checker lives; empty for a checker on bytes.
    std::span<const std::byte> shpBytes();
    std::span<const std::byte> dbfBytes() const;

private:
    class Impl;
    struct Files;
    std::unique_ptr<Files> files_;
    std::unique_ptr<Impl> impl_;
    ShapefileCheck unopened_;
};

// The whole check, every record read, on the files' bytes; baseName ("closures") names the files in
// the reasons. dbf holds the whole .dbf and dbfSize its size.
ShapefileCheck checkShapefileBytes(std::span<const std::byte> shp, std::span<const std::byte> shx,
                                   std::span<const std::byte> dbf, std::int64_t dbfSize,
                                   const QString& baseName);

// The whole check on the files beside shpPath (the .shx and .dbf found as OGR finds them, in either
// letter case of the extension). A file that cannot be read is a problem of that file.
ShapefileCheck checkShapefile(const QString& shpPath, const QString& shxPath,
                              const QString& dbfPath);

}  // namespace pelagon
