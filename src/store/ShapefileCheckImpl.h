#pragma once

// What the source files of the shapefile check share: reading the files' numbers, the sizes of
// the format, and the checker's state. ShapefileCheck.cpp holds the verdict, the order of the
// check and the entry points; ShpCheck.cpp the records of the .shp; ShxCheck.cpp the index
// against the records it points to; DbfCheck.cpp the attribute table. Only they include this.

#include <QString>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "store/ShapefileCheck.h"

namespace pelagon {

namespace shpcheck {

constexpr std::int64_t kHeader = 100;      // bytes of the .shp and .shx headers
constexpr std::int64_t kRecordHeader = 8;  // record number and content length
constexpr std::int32_t kFileCode = 9994;
// How far around the place its index gives a record header is looked for, and how many bytes
// of the .shp all such searches may scan together.
constexpr std::int64_t kSearchReach = 64 * 1024;
constexpr std::int64_t kSearchBudget = 16 * 1024 * 1024;

// Reads numbers of either byte order from a byte range; reads outside it are never made.
class Bytes {
public:
    explicit Bytes(std::span<const std::byte> data) : data_(data) {}
    std::int64_t size() const { return static_cast<std::int64_t>(data_.size()); }
    bool has(std::int64_t at, std::int64_t n) const {
        return at >= 0 && n >= 0 && at <= size() && n <= size() - at;
    }
    std::int32_t be32(std::int64_t at) const { return qFromBigEndian<qint32>(data_.data() + at); }
    std::uint32_t ube32(std::int64_t at) const {
        return qFromBigEndian<quint32>(data_.data() + at);
    }
    std::int32_t le32(std::int64_t at) const {
        return qFromLittleEndian<qint32>(data_.data() + at);
    }
    std::uint32_t ule32(std::int64_t at) const {
        return qFromLittleEndian<quint32>(data_.data() + at);
    }
    std::uint16_t ule16(std::int64_t at) const {
        return qFromLittleEndian<quint16>(data_.data() + at);
    }
    double leDouble(std::int64_t at) const {
        return std::bit_cast<double>(qFromLittleEndian<quint64>(data_.data() + at));
    }
    const std::byte* at(std::int64_t i) const { return data_.data() + i; }

private:
    std::span<const std::byte> data_;
};

inline QString plural(std::int64_t n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

inline QString recordText(std::int64_t record) {
    return QStringLiteral("record %1: ").arg(record);
}

// What is wrong with the content of one record (its bytes after the record header), or an
// empty text. fileType is the .shp header's shape type.
QString contentProblem(const Bytes& shp, std::int64_t at, std::int64_t length,
                       std::int32_t fileType);

// How the writer numbered its records: from 1 as the format says, from 0, or not at all (the
// number is then not used to find misplaced records).
enum class Numbering { FromOne, FromZero, None };

struct Entry {
    std::int64_t offset = 0;  // bytes
    std::int64_t length = 0;  // content bytes
};

// A field of the .dbf as its descriptor gives it.
struct DbfField {
    QString name;
    char type = 0;
    std::int64_t offset = 0;  // in the row, after the deletion flag
    std::int64_t length = 0;
    std::int64_t decimals = 0;  // of a number field
};

// The rows of a .dbf whose header and field list are sound, and what reading them found.
struct DbfRows {
    std::vector<DbfField> fields;
    std::vector<std::size_t> typed;  // the fields of type N, F, D or L
    std::int64_t headerLength = 0, rowLength = 0, count = 0, whole = 0, rest = 0, held = 0;
    bool rowsWhole = false;
    // Rows read so far (those before it), in order: the first row out of place (-1: none yet),
    // the rows marked deleted, and the rows with a value that contradicts its field's type.
    std::int64_t read = 0;
    std::int64_t shifted = -1;
    std::vector<std::int64_t> deleted, misfits;
};

}  // namespace shpcheck

class ShapefileChecker::Impl {
    using Bytes = shpcheck::Bytes;
    using Entry = shpcheck::Entry;
    using Numbering = shpcheck::Numbering;
    using DbfRows = shpcheck::DbfRows;
    using DbfField = shpcheck::DbfField;

public:
    // The .shp is given by its first bytes (its header), its size and a way to all its bytes,
    // asked for only when a record must be read; the .dbf by all its bytes (mapped, read only
    // where the check looks).
    Impl(std::span<const std::byte> shpHeader, std::int64_t shpSize,
         std::function<std::span<const std::byte>()> loadShp, std::span<const std::byte> shx,
         std::span<const std::byte> dbf, std::int64_t dbfSize, const QString& baseName,
         bool shxMissing = false, bool dbfMissing = false)
        : shpHeader_(shpHeader),
          shpSize_(shpSize),
          loadShp_(std::move(loadShp)),
          shx_(shx),
          dbf_(dbf),
          dbfSize_(dbfSize),
          shpName_(baseName + QStringLiteral(".shp")),
          shxName_(baseName + QStringLiteral(".shx")),
          dbfName_(baseName + QStringLiteral(".dbf")),
          shxMissing_(shxMissing),
          dbfMissing_(dbfMissing) {}

    // What needs no record header: the headers, the index, the records past it, the .dbf;
    // thorough: every row's deletion flag too.
    void start(bool thorough = false);
    // Record index (0-based), once: read and checked against its entry where the index looks
    // wrong there, or OGR's geometry (seen; null when OGR gave none) disagrees with its length.
    void checkRecord(std::int64_t index, const RecordSeen* seen);
    bool proven(std::int64_t index) const {
        return index >= 0 && index < checkable_ &&
               (marks_[static_cast<std::size_t>(index)] & kProven) != 0;
    }
    // Every record left: those the index marks (or all, when the .shp disagrees with the index
    // as a whole, or thorough is set).
    void finish(bool thorough);
    // Record index read and checked whatever OGR made of it.
    void examine(std::int64_t index);
    // Blocks OGR read: the record headers and rows in them are checked there.
    void seenShp(std::int64_t at, std::span<const std::byte> block);
    void readsUnseen() { unseen_ = true; }
    void seenDbf(std::int64_t at, std::span<const std::byte> block);
    ShapefileCheck& result() { return result_; }

private:
    // The whole .shp, mapped when first needed.
    const Bytes& shp() {
        if (!shpLoaded_) {
            shp_ = Bytes(loadShp_());
            shpLoaded_ = true;
            determineNumbering();
        }
        return shp_;
    }
    // How the writer numbered the records, from their numbers against the counts.
    struct NumberTally {
        std::int64_t sampled = 0, read = 0, fromOne = 0, fromZero = 0;
        std::int64_t lowest = 0, highest = 0;  // of the numbers read
        std::int64_t first[2] = {0, 0};        // the first two read, for the reason
    };
    bool pastCounts(std::int64_t record);
    void tallyNumber(NumberTally& t, std::int64_t position, std::int64_t number);
    void decideNumbering(const NumberTally& t);
    void determineNumbering();
    void declareNumbering();
    void markSuspicious();
    bool lengthFits(std::int64_t length, const RecordSeen& seen) const;
    void examineRecord(std::int64_t i);  // once
    void examineEntry(std::int64_t i);
    bool readHeaders();
    void checkShapeType();
    void readIndex();
    void misplaced(std::int64_t i, const Entry& e);
    std::int64_t findHeader(std::int64_t number, std::int64_t length, std::int64_t around);
    bool headerAt(std::int64_t at, std::int64_t number, std::int64_t length);
    std::int64_t expectedNumber(std::int64_t i) const {
        return numbering_ == Numbering::FromZero ? i : i + 1;
    }
    bool lengthsAgree(std::int64_t indexLength, std::int64_t headerLength) const {
        // Some writers count the record header in the index's length; OGR reads them.
        return indexLength == headerLength || indexLength == headerLength + shpcheck::kRecordHeader;
    }
    void walkTail();
    void checkDbf();
    // The rows of the .dbf: their deletion flags and typed values, those not seen in OGR's
    // blocks read here; what they show.
    void checkDbfRows();
    // Row r of the .dbf, its bytes in row: read in order, once.
    void readRow(std::int64_t r, const Bytes& row);
    // The walk of the .shp that replaces an index that does not lay its records end to end.
    bool indexLaysRecords() const;
    void restoreIndex();
    std::int64_t seekLater(std::int64_t k, std::int64_t at);
    bool recordAt(std::int64_t at, std::int64_t number);
    std::int64_t seekRecord(std::int64_t number, std::int64_t lo, std::int64_t hi,
                            std::int64_t near);

    // Marks records first .. last bad; the reason is written only when the problem is kept.
    template <typename Reason>
    void problem(const QString& file, std::int64_t first, std::int64_t last, Reason reason) {
        const std::int64_t leftOut = result_.markBad(first, last);
        result_.count(file, std::max<std::int64_t>(first, 0), leftOut, 0, reason);
    }
    // Records first .. last kept without attributes: the problem of file whose reason is given.
    template <typename Reason>
    void withoutAttributes(const QString& file, std::int64_t first, std::int64_t last,
                           Reason reason) {
        const std::int64_t n = result_.markWithoutAttributes(first, last);
        result_.count(file, std::max<std::int64_t>(first, 0), 0, n, reason);
    }

    Bytes shpHeader_;
    std::int64_t shpSize_;
    std::function<std::span<const std::byte>()> loadShp_;
    Bytes shp_{{}};
    bool shpLoaded_ = false;
    Bytes shx_, dbf_;
    std::int64_t dbfSize_;
    QString shpName_, shxName_, dbfName_;
    ShapefileCheck result_;
    std::int32_t fileType_ = 0;
    std::int64_t shpDeclared_ = 0;  // the .shp length its header gives
    // The entries of the index: those of the .shx, read where they stand, until a walk of the
    // .shp replaces them (entries_).
    std::int64_t entryCount() const {
        return ownEntries_ ? static_cast<std::int64_t>(entries_.size()) : shxEntries_;
    }
    Entry entry(std::int64_t i) const {
        if (ownEntries_) {
            return entries_[static_cast<std::size_t>(i)];
        }
        return {static_cast<std::int64_t>(shx_.ube32(shpcheck::kHeader + 8 * i)) * 2,
                static_cast<std::int64_t>(shx_.ube32(shpcheck::kHeader + 8 * i + 4)) * 2};
    }
    std::vector<Entry> entries_;
    std::int64_t shxEntries_ = 0;
    bool ownEntries_ = false;
    std::int64_t readByOgr_ = 0;  // entries OGR reads: the count the .shx header gives
    Numbering numbering_ = Numbering::FromOne;
    NumberTally numberTally_;
    bool numberingDeclared_ = false;
    // The records laid end to end from the .shp header, counted as far as asked.
    std::int64_t laidCount_ = 0, laidEnd_ = shpcheck::kHeader;
    std::int64_t shift_ = 0;  // the last displacement found between index and records
    std::int64_t searched_ = 0;
    // Index entry by the byte its record ends at, made when first needed.
    std::unordered_map<std::int64_t, std::int64_t> endings_;
    bool headersOk_ = false;
    bool shxMissing_ = false;
    bool shxHeaderOk_ = false;
    QString shxTypeWrong_;  // why the .shx header's shape type is taken as wrong
    bool dbfMissing_ = false;
    bool restored_ = false;       // the index is the walk of the .shp
    bool thorough_ = false;       // every record and row is read (the whole check)
    std::int64_t checkable_ = 0;  // records checked one by one: those OGR reads
    // Per checkable record: OGR gave it (or it was checked without), it was read and checked,
    // the index looks wrong there, its header and content were found sound in the block OGR
    // read it in (what OGR made of it need not be compared with its length).
    static constexpr std::uint8_t kChecked = 1, kExamined = 2, kSuspicious = 4, kProven = 8;
    std::vector<std::uint8_t> marks_;
    bool wholeFile_ = false;       // the .shp disagrees with the index as a whole
    bool unseen_ = false;          // OGR reads a view whose blocks the check does not see
    std::int64_t seenCursor_ = 0;  // the record OGR is expected to read next
    DbfRows rows_;
    bool rowsPending_ = false;  // the .dbf's rows are read as OGR reads them, the rest at finish
};

}  // namespace pelagon
