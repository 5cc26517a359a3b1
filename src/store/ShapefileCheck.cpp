#include "store/ShapefileCheck.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <unordered_map>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pelagon {

namespace {

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

QString plural(std::int64_t n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString recordText(std::int64_t record) {
    return QStringLiteral("record %1: ").arg(record);
}

// Shape types of the format and what their records hold.
enum class Family { Null, Point, MultiPoint, Poly, MultiPatch, Unknown };

Family familyOf(std::int32_t type) {
    switch (type) {
        case 0:
            return Family::Null;
        case 1:
        case 11:
        case 21:
            return Family::Point;
        case 8:
        case 18:
        case 28:
            return Family::MultiPoint;
        case 3:
        case 5:
        case 13:
        case 15:
        case 23:
        case 25:
            return Family::Poly;
        case 31:
            return Family::MultiPatch;
        default:
            return Family::Unknown;
    }
}

bool hasZ(std::int32_t type) {
    return type >= 11 && type <= 19;
}
bool hasM(std::int32_t type) {
    return (type >= 21 && type <= 29) || hasZ(type) || type == 31;
}

// The content lengths a record of this type with n points may have: the plain layout, then
// with the optional measures. Z types always carry their Z block; their measures are optional,
// as are those of M types.
std::vector<std::int64_t> allowedLengths(std::int32_t type, std::int64_t base, std::int64_t n) {
    const std::int64_t block = 16 + 8 * n;  // a range and one value per point
    if (type == 31 || hasZ(type)) {
        return {base + block, base + 2 * block};
    }
    if (hasM(type)) {
        return {base, base + block};
    }
    return {base};
}

QString lengthsText(const std::vector<std::int64_t>& lengths) {
    QString text = QString::number(lengths.front());
    for (std::size_t k = 1; k < lengths.size(); ++k) {
        text += QStringLiteral(" or %1").arg(lengths[k]);
    }
    return text;
}

// What is wrong with the content of one record (its bytes after the record header), or an
// empty text. fileType is the .shp header's shape type.
QString contentProblem(const Bytes& shp, std::int64_t at, std::int64_t length,
                       std::int32_t fileType) {
    if (length < 4) {
        return QStringLiteral("its length of %1 bytes cannot hold a shape type").arg(length);
    }
    const std::int32_t type = shp.le32(at);
    if (type == 0) {
        return {};  // a null shape: a feature without geometry
    }
    if (type != fileType) {
        return QStringLiteral("it holds a shape of type %1 in a file of type %2")
            .arg(type)
            .arg(fileType);
    }
    switch (familyOf(type)) {
        case Family::Point: {
            // X and Y; a PointM adds M; a PointZ adds Z and, mostly, M.
            const std::vector<std::int64_t> ok = type == 1    ? std::vector<std::int64_t>{20}
                                                 : type == 21 ? std::vector<std::int64_t>{28}
                                                              : std::vector<std::int64_t>{28, 36};
            if (std::find(ok.begin(), ok.end(), length) != ok.end()) {
                return {};
            }
            return QStringLiteral("a point needs %1 bytes, its length is %2")
                .arg(lengthsText(ok))
                .arg(length);
        }
        case Family::MultiPoint: {
            if (length < 40) {
                return QStringLiteral("its length of %1 bytes cannot hold a point count")
                    .arg(length);
            }
            const std::int64_t n = shp.le32(at + 36);
            if (n < 0) {
                return QStringLiteral("its point count %1 is negative").arg(n);
            }
            const std::vector<std::int64_t> ok = allowedLengths(type, 40 + 16 * n, n);
            if (std::find(ok.begin(), ok.end(), length) == ok.end()) {
                return QStringLiteral("its %1 need %2 bytes, its length is %3")
                    .arg(plural(n, "point", "points"), lengthsText(ok))
                    .arg(length);
            }
            return {};
        }
        case Family::Poly:
        case Family::MultiPatch: {
            if (length < 44) {
                return QStringLiteral(
                           "its length of %1 bytes cannot hold its part and point "
                           "counts")
                    .arg(length);
            }
            const std::int64_t parts = shp.le32(at + 36);
            const std::int64_t n = shp.le32(at + 40);
            if (parts < 0 || n < 0) {
                return QStringLiteral("its part or point count is negative (%1 parts, %2 points)")
                    .arg(parts)
                    .arg(n);
            }
            const std::int64_t perPart = type == 31 ? 8 : 4;
            const std::vector<std::int64_t> ok =
                allowedLengths(type, 44 + perPart * parts + 16 * n, n);
            if (std::find(ok.begin(), ok.end(), length) == ok.end()) {
                return QStringLiteral("its %1 and %2 need %3 bytes, its length is %4")
                    .arg(plural(n, "point", "points"), plural(parts, "part", "parts"),
                         lengthsText(ok))
                    .arg(length);
            }
            if (parts == 0 && n > 0) {
                return QStringLiteral("it has %1 but no parts").arg(plural(n, "point", "points"));
            }
            std::int64_t previous = -1;
            for (std::int64_t k = 0; k < parts; ++k) {
                const std::int64_t start = shp.le32(at + 44 + 4 * k);
                if ((k == 0 && start != 0) || start <= previous || start >= n) {
                    return QStringLiteral("part %1 starts at point %2 (of %3)")
                        .arg(k + 1)
                        .arg(start)
                        .arg(n);
                }
                previous = start;
            }
            return {};
        }
        case Family::Null:
        case Family::Unknown:
            break;
    }
    return QStringLiteral("its shape type %1 is not one of the format").arg(type);
}

// How the writer numbered its records: from 1 as the format says, from 0, or not at all (the
// number is then not used to find misplaced records).
enum class Numbering { FromOne, FromZero, None };

struct Entry {
    std::int64_t offset = 0;  // bytes
    std::int64_t length = 0;  // content bytes
};

}  // namespace

class ShapefileChecker::Impl {
public:
    // The .shp is given by its first bytes (its header), its size and a way to all its bytes,
    // asked for only when a record must be read.
    Impl(std::span<const std::byte> shpHeader, std::int64_t shpSize,
         std::function<std::span<const std::byte>()> loadShp, std::span<const std::byte> shx,
         std::span<const std::byte> dbf, std::int64_t dbfSize, const QString& baseName)
        : shpHeader_(shpHeader),
          shpSize_(shpSize),
          loadShp_(std::move(loadShp)),
          shx_(shx),
          dbf_(dbf),
          dbfSize_(dbfSize),
          shpName_(baseName + QStringLiteral(".shp")),
          shxName_(baseName + QStringLiteral(".shx")),
          dbfName_(baseName + QStringLiteral(".dbf")) {}

    // What needs no record header: the headers, the index, the records past it, the .dbf.
    void start();
    // Record index (0-based), once: read and checked against its entry where the index looks
    // wrong there, or OGR's geometry (seen; null when OGR gave none) disagrees with its length.
    void checkRecord(std::int64_t index, const RecordSeen* seen);
    // Every record left: those the index marks (or all, when the .shp disagrees with the index
    // as a whole, or thorough is set).
    void finish(bool thorough);
    // Record index read and checked whatever OGR made of it.
    void examine(std::int64_t index);
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
    void determineNumbering();
    void markSuspicious();
    bool lengthFits(std::int64_t length, const RecordSeen& seen) const;
    void examineRecord(std::int64_t i);  // once
    void examineEntry(std::int64_t i);
    bool readHeaders();
    void readIndex();
    void misplaced(std::int64_t i, const Entry& e);
    std::int64_t findHeader(std::int64_t number, std::int64_t length, std::int64_t around);
    bool headerAt(std::int64_t at, std::int64_t number, std::int64_t length);
    std::int64_t expectedNumber(std::int64_t i) const {
        return numbering_ == Numbering::FromZero ? i : i + 1;
    }
    bool lengthsAgree(std::int64_t indexLength, std::int64_t headerLength) const {
        // Some writers count the record header in the index's length; OGR reads them.
        return indexLength == headerLength || indexLength == headerLength + kRecordHeader;
    }
    void walkTail();
    void checkDbf();

    // Marks records first .. last bad; the reason is written only when the problem is kept.
    template <typename Reason>
    void problem(const QString& file, std::int64_t first, std::int64_t last, Reason reason) {
        result_.markBad(first, last);
        ++result_.problemCount;
        if (result_.keeps(first)) {
            result_.keep(LayerProblem{file, std::max<std::int64_t>(first, 0), reason()});
        }
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
    std::vector<Entry> entries_;
    std::int64_t readByOgr_ = 0;  // entries OGR reads: the count the .shx header gives
    Numbering numbering_ = Numbering::FromOne;
    std::int64_t shift_ = 0;  // the last displacement found between index and records
    std::int64_t searched_ = 0;
    // Index entry by the byte its record ends at, made when first needed.
    std::unordered_map<std::int64_t, std::int64_t> endings_;
    bool headersOk_ = false;
    std::int64_t checkable_ = 0;            // records checked one by one: those OGR reads
    std::vector<std::uint8_t> checked_;     // per checkable record
    std::vector<std::uint8_t> examined_;    // per checkable record: read and checked
    std::vector<std::uint8_t> suspicious_;  // per checkable record: the index looks wrong there
    bool wholeFile_ = false;                // the .shp disagrees with the index as a whole
};

bool ShapefileChecker::Impl::readHeaders() {
    if (!shpHeader_.has(0, kHeader) || shpHeader_.be32(0) != kFileCode) {
        problem(shpName_, 1, 0, [&] { return QStringLiteral("its header is damaged"); });
        return false;
    }
    if (!shx_.has(0, kHeader) || shx_.be32(0) != kFileCode) {
        problem(shxName_, 1, 0, [&] { return QStringLiteral("its header is damaged"); });
        return false;
    }
    fileType_ = shpHeader_.le32(32);
    shpDeclared_ = static_cast<std::int64_t>(shpHeader_.ube32(24)) * 2;
    const double box[4] = {shpHeader_.leDouble(36), shpHeader_.leDouble(44),
                           shpHeader_.leDouble(52), shpHeader_.leDouble(60)};
    if (std::isfinite(box[0]) && std::isfinite(box[1]) && std::isfinite(box[2]) &&
        std::isfinite(box[3]) && box[0] <= box[2] && box[1] <= box[3]) {
        result_.box = std::array<double, 4>{box[0], box[1], box[2], box[3]};
    }
    return true;
}

void ShapefileChecker::Impl::readIndex() {
    const std::int64_t bySize = (shx_.size() - kHeader) / 8;
    const std::int64_t declared = static_cast<std::int64_t>(shx_.ube32(24)) * 2;
    // OGR reads as many entries as the header's length gives, and nothing when the file is
    // shorter than that.
    readByOgr_ = declared >= kHeader ? (declared - kHeader) / 8 : 0;
    const std::int64_t count = bySize;
    entries_.resize(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        entries_[static_cast<std::size_t>(i)] = {
            static_cast<std::int64_t>(shx_.ube32(kHeader + 8 * i)) * 2,
            static_cast<std::int64_t>(shx_.ube32(kHeader + 8 * i + 4)) * 2};
    }
    result_.records = count;
    result_.bad.assign(static_cast<std::size_t>(count), 0);
}

void ShapefileChecker::Impl::determineNumbering() {
    const std::int64_t count = static_cast<std::int64_t>(entries_.size());
    // Numbering: most writers number from 1; a few from 0; some leave it to chance. Up to 256
    // records spread over the file decide.
    std::int64_t fromOne = 0, fromZero = 0, sampled = 0;
    const std::int64_t stride = std::max<std::int64_t>(1, count / 256);
    for (std::int64_t i = 0; i < count; i += stride) {
        const Entry& e = entries_[static_cast<std::size_t>(i)];
        ++sampled;
        if (shp_.has(e.offset, kRecordHeader)) {
            const std::int64_t number = shp_.be32(e.offset);
            fromOne += number == i + 1;
            fromZero += number == i;
        }
    }
    if (fromOne > 0 && fromOne >= fromZero) {
        numbering_ = Numbering::FromOne;
    } else if (fromZero * 2 > sampled) {
        numbering_ = Numbering::FromZero;
    } else {
        numbering_ = Numbering::None;
    }
}

bool ShapefileChecker::Impl::headerAt(std::int64_t at, std::int64_t number, std::int64_t length) {
    if (at < kHeader || !shp().has(at, kRecordHeader)) {
        return false;
    }
    const std::int64_t l = static_cast<std::int64_t>(shp().ube32(at + 4)) * 2;
    return lengthsAgree(length, l) && (numbering_ == Numbering::None || shp().be32(at) == number);
}

// Where the header of a record with this number and length lies near around: at the
// displacement found last, else anywhere within reach. -1 when it is not found.
std::int64_t ShapefileChecker::Impl::findHeader(std::int64_t number, std::int64_t length,
                                                std::int64_t around) {
    if (numbering_ == Numbering::None) {
        return -1;  // without numbers, any eight bytes could pass for the header
    }
    if (shift_ != 0 && headerAt(around + shift_, number, length)) {
        return around + shift_;
    }
    const std::int64_t from = std::max(kHeader, around - kSearchReach);
    const std::int64_t to = std::min(shp().size() - kRecordHeader, around + kSearchReach);
    if (to < from || searched_ > kSearchBudget) {
        return -1;
    }
    searched_ += to - from;
    // The record number's four bytes as they stand in the file.
    const quint32 bigEndian = qToBigEndian(static_cast<quint32>(number));
    std::byte pattern[4];
    std::memcpy(pattern, &bigEndian, 4);
    const std::byte* first = shp().at(from);
    const std::byte* last = shp().at(to + 4);
    const std::boyer_moore_horspool_searcher searcher(pattern, pattern + 4);
    std::int64_t best = -1;
    for (const std::byte* p = first; p < last;) {
        const std::byte* hit = std::search(p, last, searcher);
        if (hit == last) {
            break;
        }
        const std::int64_t at = hit - shp().at(0);
        if (at != around && headerAt(at, number, length) &&
            (best < 0 || std::abs(at - around) < std::abs(best - around))) {
            best = at;
        }
        p = hit + 1;
    }
    return best;
}

void ShapefileChecker::Impl::examineRecord(std::int64_t i) {
    if (examined_[static_cast<std::size_t>(i)] != 0) {
        return;
    }
    examined_[static_cast<std::size_t>(i)] = 1;
    examineEntry(i);
}

void ShapefileChecker::Impl::examine(std::int64_t index) {
    if (index >= 0 && index < checkable_) {
        checked_[static_cast<std::size_t>(index)] = 1;
        examineRecord(index);
    }
}

void ShapefileChecker::Impl::examineEntry(std::int64_t i) {
    const Entry& e = entries_[static_cast<std::size_t>(i)];
    const std::int64_t record = i + 1;
    if (e.offset < kHeader) {
        problem(shxName_, record, record, [&] {
            return recordText(record) + QStringLiteral(
                                            "its index entry points to byte %1, inside "
                                            "the file header")
                                            .arg(e.offset);
        });
        return;
    }
    if (!shp().has(e.offset, kRecordHeader)) {
        if (shpDeclared_ > shp().size() && e.offset < shpDeclared_) {
            problem(shpName_, record, record, [&] {
                return recordText(record) +
                       QStringLiteral("the .shp is cut off: it has %1 bytes, its header gives %2")
                           .arg(shp().size())
                           .arg(shpDeclared_);
            });
        } else {
            problem(shxName_, record, record, [&] {
                return recordText(record) + QStringLiteral(
                                                "its index entry points to byte %1, past "
                                                "the end of the .shp (%2 bytes)")
                                                .arg(e.offset)
                                                .arg(shp().size());
            });
        }
        return;
    }
    const std::int64_t number = shp().be32(e.offset);
    const std::int64_t length = static_cast<std::int64_t>(shp().ube32(e.offset + 4)) * 2;
    const bool numberOk = numbering_ == Numbering::None || number == expectedNumber(i);
    if (!numberOk) {
        misplaced(i, e);
        return;
    }
    if (!lengthsAgree(e.length, length)) {
        // Which of the two lengths is right shows in what follows the record.
        const std::int64_t byHeader = e.offset + kRecordHeader + length;
        const std::int64_t byIndex = e.offset + kRecordHeader + e.length;
        auto recordStartsAt = [&](std::int64_t at) {
            if (i + 1 < static_cast<std::int64_t>(entries_.size())) {
                return entries_[static_cast<std::size_t>(i + 1)].offset == at;
            }
            return at == shp().size();
        };
        if (recordStartsAt(byHeader) && !recordStartsAt(byIndex)) {
            problem(shxName_, record, record, [&] {
                return recordText(record) + QStringLiteral(
                                                "its index gives a length of %1 bytes, "
                                                "the record %2")
                                                .arg(e.length)
                                                .arg(length);
            });
        } else {
            // The header's length is wrong. OGR goes by the index: when the record read at the
            // index's length is whole, nothing is lost.
            const bool sound =
                recordStartsAt(byIndex) && shp().has(e.offset, kRecordHeader + e.length) &&
                contentProblem(shp(), e.offset + kRecordHeader, e.length, fileType_).isEmpty();
            problem(shpName_, record, sound ? 0 : record, [&] {
                return recordText(record) + QStringLiteral(
                                                "its header gives a length of %1 bytes, "
                                                "its index %2")
                                                .arg(length)
                                                .arg(e.length);
            });
        }
        return;
    }
    if (!shp().has(e.offset + kRecordHeader, length)) {
        const std::int64_t missing = e.offset + kRecordHeader + length - shp().size();
        if (shpDeclared_ > shp().size()) {
            problem(shpName_, record, record, [&] {
                return recordText(record) +
                       QStringLiteral("the .shp is cut off %1 bytes before the end of the record")
                           .arg(missing);
            });
        } else {
            problem(shxName_, record, record, [&] {
                return recordText(record) + QStringLiteral(
                                                "it would end %1 bytes past the end of "
                                                "the .shp")
                                                .arg(missing);
            });
        }
        return;
    }
    const QString wrong = contentProblem(shp(), e.offset + kRecordHeader, length, fileType_);
    if (!wrong.isEmpty()) {
        problem(shpName_, record, record, [&] { return recordText(record) + wrong; });
    }
}

// The index points where record i's header is not: find where it is, and why.
void ShapefileChecker::Impl::misplaced(std::int64_t i, const Entry& e) {
    const std::int64_t record = i + 1;
    const std::int64_t number = shp().be32(e.offset);
    // An entry that repeats another's: it points to that record.
    const std::int64_t other = numbering_ == Numbering::FromZero ? number : number - 1;
    if (other >= 0 && other < static_cast<std::int64_t>(entries_.size()) && other != i &&
        entries_[static_cast<std::size_t>(other)].offset == e.offset) {
        problem(shxName_, record, record, [&] {
            return recordText(record) +
                   QStringLiteral("its index entry points to record %1").arg(other + 1);
        });
        return;
    }
    // A record in its place whose number alone is wrong: OGR reads it whole, nothing is lost.
    const std::int64_t length = static_cast<std::int64_t>(shp().ube32(e.offset + 4)) * 2;
    if (lengthsAgree(e.length, length) && shp().has(e.offset + kRecordHeader, length) &&
        contentProblem(shp(), e.offset + kRecordHeader, length, fileType_).isEmpty()) {
        problem(shpName_, record, 0, [&] {
            return recordText(record) +
                   QStringLiteral("its header gives the number %1").arg(number);
        });
        return;
    }
    const std::int64_t found = findHeader(expectedNumber(i), e.length, e.offset);
    if (found < 0) {
        problem(shxName_, record, record, [&] {
            return recordText(record) +
                   QStringLiteral(
                       "there is no record header where its index entry points "
                       "(byte %1)")
                       .arg(e.offset);
        });
        return;
    }
    if (endings_.empty()) {
        for (std::size_t k = 0; k < entries_.size(); ++k) {
            endings_.emplace(entries_[k].offset + kRecordHeader + entries_[k].length,
                             static_cast<std::int64_t>(k));
        }
    }
    // Found where a record ends by the index, though none ends where the entry points: the
    // entry is wrong, not the .shp.
    if (endings_.count(found) > 0 && endings_.count(e.offset) == 0) {
        problem(shxName_, record, record, [&] {
            return recordText(record) +
                   QStringLiteral("its index entry points to byte %1, the record is at byte %2")
                       .arg(e.offset)
                       .arg(found);
        });
        return;
    }
    const std::int64_t shift = found - e.offset;
    // The record that ends where this one should begin took or lost the bytes, unless the
    // displacement began earlier.
    if (shift != shift_) {
        const auto it = endings_.find(e.offset);
        const std::int64_t before = it != endings_.end() ? it->second : -1;
        const std::int64_t delta = shift - shift_;
        const QString amount = delta > 0 ? QStringLiteral("%1 past the length its index gives")
                                               .arg(plural(delta, "byte", "bytes"))
                                         : QStringLiteral("%1 short of the length its index gives")
                                               .arg(plural(-delta, "byte", "bytes"));
        if (before >= 0) {
            problem(shpName_, before + 1, before + 1,
                    [&] { return recordText(before + 1) + amount; });
        }
        shift_ = shift;
    }
    problem(shpName_, record, record, [&] {
        return recordText(record) +
               QStringLiteral("it lies %1 after the place its index entry gives")
                   .arg(shift > 0 ? plural(shift, "byte", "bytes")
                                  : QStringLiteral("-%1").arg(plural(-shift, "byte", "bytes")));
    });
}

// Records of the .shp past the last one the index lists.
void ShapefileChecker::Impl::walkTail() {
    // Where the last record ends by the index (the records themselves are not read here).
    std::int64_t end = kHeader;
    for (const Entry& e : entries_) {
        if (e.offset >= kHeader && e.offset + kRecordHeader + e.length <= shpSize_) {
            end = std::max(end, e.offset + kRecordHeader + e.length);
        }
    }
    if (end >= shpSize_) {
        return;
    }
    const Bytes& data = shp();  // reading it decides the numbering
    const std::int64_t listed = static_cast<std::int64_t>(entries_.size());
    std::int64_t extra = 0;
    std::int64_t at = end;
    while (numbering_ != Numbering::None && data.has(at, kRecordHeader)) {
        const std::int64_t length = static_cast<std::int64_t>(data.ube32(at + 4)) * 2;
        if (data.be32(at) != expectedNumber(listed + extra) ||
            !data.has(at + kRecordHeader, length) || length < 4) {
            break;
        }
        ++extra;
        at += kRecordHeader + length;
    }
    if (extra > 0) {
        result_.records = listed + extra;
        result_.bad.resize(static_cast<std::size_t>(listed + extra), 0);
        problem(shxName_, listed + 1, listed + extra, [&] {
            return recordText(listed + 1) +
                   QStringLiteral("the index lists %1, the .shp holds %2 more")
                       .arg(plural(listed, "record", "records"))
                       .arg(extra);
        });
    }
}

void ShapefileChecker::Impl::checkDbf() {
    if (!dbf_.has(0, 12)) {
        result_.unreadable = QStringLiteral("its attribute table %1 is truncated").arg(dbfName_);
        return;
    }
    const std::int64_t count = dbf_.ule32(4);
    const std::int64_t headerLength = dbf_.ule16(8);
    const std::int64_t recordLength = dbf_.ule16(10);
    if (headerLength < 32 || dbfSize_ < headerLength + count * recordLength) {
        result_.unreadable = QStringLiteral("its attribute table %1 is truncated").arg(dbfName_);
        return;
    }
    const std::int64_t read = std::min<std::int64_t>(readByOgr_, entries_.size());
    if (count < read) {
        // OGR stops at the last row of the attribute table.
        problem(dbfName_, count + 1, read, [&] {
            return recordText(count + 1) + QStringLiteral("the .dbf header counts %1, the index %2")
                                               .arg(plural(count, "record", "records"))
                                               .arg(read);
        });
    } else if (count > result_.records) {
        problem(dbfName_, 0, -1, [&] {
            return QStringLiteral("the .dbf header counts %1, the index %2: %3 without a shape")
                .arg(plural(count, "record", "records"))
                .arg(result_.records)
                .arg(plural(count - result_.records, "attribute row", "attribute rows"));
        });
    }
}

void ShapefileChecker::Impl::start() {
    headersOk_ = readHeaders();
    if (!headersOk_) {
        checkDbf();
        return;
    }
    readIndex();
    const std::int64_t count = static_cast<std::int64_t>(entries_.size());
    if ((shx_.size() - kHeader) % 8 != 0) {
        problem(shxName_, count + 1, 0, [&] {
            return recordText(count + 1) + QStringLiteral("the index entry is cut off");
        });
    }
    // Records past those OGR reads are lost whatever they hold.
    checkable_ = std::min(count, readByOgr_);
    checked_.assign(static_cast<std::size_t>(checkable_), 0);
    examined_.assign(static_cast<std::size_t>(checkable_), 0);
    if (readByOgr_ < count) {
        problem(shxName_, readByOgr_ + 1, count, [&] {
            return recordText(readByOgr_ + 1) +
                   QStringLiteral("the .shx header gives a length of %1 bytes, the file has %2")
                       .arg(static_cast<std::int64_t>(shx_.ube32(24)) * 2)
                       .arg(shx_.size());
        });
    }
    markSuspicious();
    walkTail();
    checkDbf();
}

// Where the index alone shows that records must be read: an entry outside the .shp, one that
// does not begin where the one before it ends (a sound file written in one go has none, one
// edited in place a few), or an index whose records do not end where the .shp does (bytes
// inserted, cut out or cut off: every record is read).
void ShapefileChecker::Impl::markSuspicious() {
    suspicious_.assign(static_cast<std::size_t>(checkable_), 0);
    std::int64_t end = kHeader;
    for (std::int64_t i = 0; i < checkable_; ++i) {
        const Entry& e = entries_[static_cast<std::size_t>(i)];
        const std::int64_t recordEnd = e.offset + kRecordHeader + e.length;
        if (e.offset < kHeader || recordEnd > shpSize_) {
            suspicious_[static_cast<std::size_t>(i)] = 1;
            continue;
        }
        if (i > 0 && e.offset != entries_[static_cast<std::size_t>(i - 1)].offset + kRecordHeader +
                                     entries_[static_cast<std::size_t>(i - 1)].length) {
            suspicious_[static_cast<std::size_t>(i - 1)] = 1;
            suspicious_[static_cast<std::size_t>(i)] = 1;
        }
        end = std::max(end, recordEnd);
    }
    wholeFile_ = end != shpSize_ || shpDeclared_ != shpSize_;
}

// Whether a record of this content length can hold what OGR made of it.
bool ShapefileChecker::Impl::lengthFits(std::int64_t length, const RecordSeen& seen) const {
    if (seen.parts < 0) {
        return false;  // a shape the counts do not describe
    }
    if (seen.points == 0 && seen.parts == 0) {
        return length == 4;  // a null shape
    }
    std::vector<std::int64_t> ok;
    switch (familyOf(fileType_)) {
        case Family::Point:
            ok = fileType_ == 1    ? std::vector<std::int64_t>{20}
                 : fileType_ == 21 ? std::vector<std::int64_t>{28}
                                   : std::vector<std::int64_t>{28, 36};
            return seen.points == 1 && std::find(ok.begin(), ok.end(), length) != ok.end();
        case Family::MultiPoint:
            ok = allowedLengths(fileType_, 40 + 16 * seen.points, seen.points);
            break;
        case Family::Poly:
            ok = allowedLengths(fileType_, 44 + 4 * seen.parts + 16 * seen.points, seen.points);
            break;
        case Family::MultiPatch:
        case Family::Null:
        case Family::Unknown:
            return false;  // OGR remakes patches; read the record
    }
    return std::find(ok.begin(), ok.end(), length) != ok.end();
}

void ShapefileChecker::Impl::checkRecord(std::int64_t index, const RecordSeen* seen) {
    if (index < 0 || index >= checkable_ || checked_[static_cast<std::size_t>(index)] != 0) {
        return;
    }
    checked_[static_cast<std::size_t>(index)] = 1;
    const Entry& e = entries_[static_cast<std::size_t>(index)];
    if (wholeFile_ || suspicious_[static_cast<std::size_t>(index)] != 0 || seen == nullptr ||
        !lengthFits(e.length, *seen)) {
        examineRecord(index);
    }
}

void ShapefileChecker::Impl::finish(bool thorough) {
    if (!headersOk_) {
        return;
    }
    const bool all = thorough || wholeFile_;
    // The record headers lie a page or more apart: asking for those a few records ahead hides
    // the memory's latency.
    constexpr std::int64_t kAhead = 8;
    for (std::int64_t i = 0; i < checkable_; ++i) {
        if (checked_[static_cast<std::size_t>(i)] != 0 ||
            (!all && suspicious_[static_cast<std::size_t>(i)] == 0)) {
            continue;  // records OGR did not give are deleted ones, unless the index says else
        }
        if (i + kAhead < checkable_) {
            const std::int64_t ahead = entries_[static_cast<std::size_t>(i + kAhead)].offset;
            if (shp().has(ahead, 64)) {
                __builtin_prefetch(shp().at(ahead));
                __builtin_prefetch(shp().at(ahead + 63));
            }
        }
        checked_[static_cast<std::size_t>(i)] = 1;
        examineRecord(i);
    }
}

std::int64_t ShapefileCheck::badCount() const {
    return static_cast<std::int64_t>(std::count(bad.begin(), bad.end(), std::uint8_t{1}));
}

void ShapefileCheck::markBad(std::int64_t first, std::int64_t last) {
    const std::int64_t from = std::max<std::int64_t>(first, 1);
    const std::int64_t to = std::min<std::int64_t>(last, static_cast<std::int64_t>(bad.size()));
    for (std::int64_t r = from; r <= to; ++r) {
        bad[static_cast<std::size_t>(r - 1)] = 1;
    }
}

namespace {

std::int64_t orderOf(std::int64_t record) {
    return record > 0 ? record : std::numeric_limits<std::int64_t>::max();
}

}  // namespace

bool ShapefileCheck::keeps(std::int64_t first) const {
    return problems.size() < kKeptProblems || orderOf(first) < orderOf(problems.back().record);
}

void ShapefileCheck::keep(LayerProblem p) {
    // Equal records keep the order in which they were found.
    const auto at = std::upper_bound(problems.begin(), problems.end(), p,
                                     [](const LayerProblem& a, const LayerProblem& b) {
                                         return orderOf(a.record) < orderOf(b.record);
                                     });
    problems.insert(at, std::move(p));
    if (problems.size() > kKeptProblems) {
        problems.pop_back();
    }
}

ShapefileCheck checkShapefileBytes(std::span<const std::byte> shp, std::span<const std::byte> shx,
                                   std::span<const std::byte> dbf, std::int64_t dbfSize,
                                   const QString& baseName) {
    ShapefileChecker checker(shp, shx, dbf, dbfSize, baseName);
    return checker.finish(true);
}

namespace {

// A file's bytes, mapped into memory where the system allows it. On Linux the mapping is filled
// at once: the check touches a record header on almost every page of the .shp, and one fault
// per page costs more than the whole check otherwise.
class FileBytes {
public:
    explicit FileBytes(const QString& path) : file_(path) {
        if (!file_.open(QIODevice::ReadOnly)) {
            error_ = file_.errorString();
            return;
        }
        const qint64 size = file_.size();
        if (size <= 0) {
            return;
        }
#if defined(__linux__)
        void* p = mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE,
                       file_.handle(), 0);
        if (p != MAP_FAILED) {
            mapped_ = p;
            bytes_ = {static_cast<const std::byte*>(p), static_cast<std::size_t>(size)};
            return;
        }
#endif
        if (uchar* q = file_.map(0, size)) {
            bytes_ = {reinterpret_cast<const std::byte*>(q), static_cast<std::size_t>(size)};
            return;
        }
        copy_ = file_.readAll();
        bytes_ = std::as_bytes(std::span<const char>(copy_.constData(), copy_.size()));
    }
    ~FileBytes() {
#if defined(__linux__)
        if (mapped_ != nullptr) {
            munmap(mapped_, bytes_.size());
        }
#endif
    }
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    bool ok() const {
        return error_.isEmpty();
    }
    const QString& error() const {
        return error_;
    }
    std::span<const std::byte> bytes() const {
        return bytes_;
    }

private:
    QFile file_;
    void* mapped_ = nullptr;
    QByteArray copy_;
    QString error_;
    std::span<const std::byte> bytes_;
};

}  // namespace

struct ShapefileChecker::Files {
    Files(const QString& shpPath, const QString& shxPath, const QString& dbfPath)
        : shpPath(shpPath), shpFile(shpPath), shx(shxPath), dbf(dbfPath) {
        if (shpFile.open(QIODevice::ReadOnly)) {
            shpHeader = shpFile.read(kHeader);
            shpSize = shpFile.size();
        }
        if (dbf.open(QIODevice::ReadOnly)) {
            dbfHeader = dbf.read(32);
            dbfSize = dbf.size();
        }
    }
    std::span<const std::byte> shpBytes() {
        if (!shpMap) {
            shpMap = std::make_unique<FileBytes>(shpPath);
        }
        return shpMap->bytes();
    }
    QString shpPath;
    QFile shpFile;
    QByteArray shpHeader;
    std::int64_t shpSize = 0;
    std::unique_ptr<FileBytes> shpMap;  // made when a record must be read
    FileBytes shx;
    QFile dbf;
    QByteArray dbfHeader;
    std::int64_t dbfSize = 0;
};

namespace {

std::span<const std::byte> bytesOf(const QByteArray& b) {
    return std::as_bytes(std::span<const char>(b.constData(), static_cast<std::size_t>(b.size())));
}

}  // namespace

ShapefileChecker::ShapefileChecker(const QString& shpPath, const QString& shxPath,
                                   const QString& dbfPath)
    : files_(std::make_unique<Files>(shpPath, shxPath, dbfPath)) {
    Files& f = *files_;
    if (!f.shpFile.isOpen() || !f.shx.ok() || !f.dbf.isOpen()) {
        const QString& path = !f.shpFile.isOpen() ? shpPath : !f.shx.ok() ? shxPath : dbfPath;
        const QString why = !f.shpFile.isOpen() ? f.shpFile.errorString()
                            : !f.shx.ok()       ? f.shx.error()
                                                : f.dbf.errorString();
        unopened_.unreadable =
            QStringLiteral("%1 cannot be opened (%2)").arg(QFileInfo(path).fileName(), why);
        return;
    }
    impl_ = std::make_unique<Impl>(
        bytesOf(f.shpHeader), f.shpSize, [&f] { return f.shpBytes(); }, f.shx.bytes(),
        bytesOf(f.dbfHeader), f.dbfSize, QFileInfo(shpPath).completeBaseName());
    impl_->start();
}

ShapefileChecker::ShapefileChecker(std::span<const std::byte> shp, std::span<const std::byte> shx,
                                   std::span<const std::byte> dbf, std::int64_t dbfSize,
                                   const QString& baseName)
    : impl_(std::make_unique<Impl>(
          shp.first(std::min<std::size_t>(shp.size(), kHeader)),
          static_cast<std::int64_t>(shp.size()), [shp] { return shp; }, shx, dbf, dbfSize,
          baseName)) {
    impl_->start();
}

ShapefileChecker::~ShapefileChecker() = default;

void ShapefileChecker::checkRecord(std::int64_t index, const RecordSeen* seen) {
    if (impl_) {
        impl_->checkRecord(index, seen);
    }
}

ShapefileCheck& ShapefileChecker::finish(bool thorough) {
    if (impl_) {
        impl_->finish(thorough);
    }
    return result();
}

ShapefileCheck& ShapefileChecker::examine(std::int64_t index) {
    if (impl_) {
        impl_->examine(index);
    }
    return result();
}

ShapefileCheck& ShapefileChecker::result() {
    return impl_ ? impl_->result() : unopened_;
}

ShapefileCheck checkShapefile(const QString& shpPath, const QString& shxPath,
                              const QString& dbfPath) {
    ShapefileChecker checker(shpPath, shxPath, dbfPath);
    return checker.finish(true);
}

}  // namespace pelagon
