#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
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

// The check on the files' bytes; baseName ("closures") names the files in the reasons. dbf
// holds the start of the .dbf (its first 32 bytes suffice) and dbfSize its whole size.
ShapefileCheck checkShapefileBytes(std::span<const std::byte> shp, std::span<const std::byte> shx,
                                   std::span<const std::byte> dbf, std::int64_t dbfSize,
                                   const QString& baseName);

// The check on the files beside shpPath (the .shx and .dbf found as OGR finds them, in either
// letter case of the extension). A file that cannot be read is a problem of that file.
ShapefileCheck checkShapefile(const QString& shpPath, const QString& shxPath,
                              const QString& dbfPath);

}  // namespace pelagon
