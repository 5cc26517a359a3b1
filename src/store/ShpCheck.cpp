// The records of the .shp: what a record of each shape type holds, whether a record's length
// fits what OGR made of it, how the writer numbered the records, and the records past the last
// one the index lists.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "store/ShapefileCheckImpl.h"

namespace pelagon {

using shpcheck::Bytes;
using shpcheck::kHeader;
using shpcheck::kRecordHeader;
using shpcheck::plural;
using shpcheck::recordText;

namespace {

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
// One or two lengths, without an allocation: asked for every record OGR reads.
struct Lengths {
    std::int64_t first = 0, second = -1;  // -1: only one
    bool contains(std::int64_t length) const { return length == first || length == second; }
};

Lengths allowedLengths(std::int32_t type, std::int64_t base, std::int64_t n) {
    const std::int64_t block = 16 + 8 * n;  // a range and one value per point
    if (type == 31 || hasZ(type)) {
        return {base + block, base + 2 * block};
    }
    if (hasM(type)) {
        return {base, base + block};
    }
    return {base};
}

// A point's X and Y; a PointM adds M; a PointZ adds Z and, mostly, M.
Lengths pointLengths(std::int32_t type) {
    return type == 1 ? Lengths{20} : type == 21 ? Lengths{28} : Lengths{28, 36};
}

QString lengthsText(const Lengths& lengths) {
    return lengths.second < 0 ? QString::number(lengths.first)
                              : QStringLiteral("%1 or %2").arg(lengths.first).arg(lengths.second);
}

}  // namespace

QString shpcheck::contentProblem(const Bytes& shp, std::int64_t at, std::int64_t length,
                                 std::int32_t fileType) {
    if (length < 4) {
        return QStringLiteral("its length of %1 bytes cannot hold a shape type").arg(length);
    }
    const std::int32_t type = shp.le32(at);
    if (type == 0) {
        // A null shape, a feature without geometry, is its type alone.
        return length == 4 ? QString()
                           : QStringLiteral("its shape type is null, yet its length is %1 bytes")
                                 .arg(length);
    }
    if (type != fileType) {
        return QStringLiteral("it holds a shape of type %1 in a file of type %2")
            .arg(type)
            .arg(fileType);
    }
    switch (familyOf(type)) {
        case Family::Point: {
            const Lengths ok = pointLengths(type);
            if (ok.contains(length)) {
                if (!std::isfinite(shp.leDouble(at + 4)) || !std::isfinite(shp.leDouble(at + 12))) {
                    return QStringLiteral("a coordinate is not a finite number");
                }
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
            const Lengths ok = allowedLengths(type, 40 + 16 * n, n);
            if (!ok.contains(length)) {
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
            const Lengths ok = allowedLengths(type, 44 + perPart * parts + 16 * n, n);
            if (!ok.contains(length)) {
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

// Whether a record of this content length can hold what OGR made of it.
bool ShapefileChecker::Impl::lengthFits(std::int64_t length, const RecordSeen& seen) const {
    if (seen.parts < 0) {
        return false;  // a shape the counts do not describe
    }
    if (seen.points == 0 && seen.parts == 0) {
        return length == 4;  // a null shape
    }
    switch (familyOf(fileType_)) {
        case Family::Point:
            return seen.points == 1 && pointLengths(fileType_).contains(length);
        case Family::MultiPoint:
            return allowedLengths(fileType_, 40 + 16 * seen.points, seen.points).contains(length);
        case Family::Poly:
            return allowedLengths(fileType_, 44 + 4 * seen.parts + 16 * seen.points, seen.points)
                .contains(length);
        case Family::MultiPatch:
        case Family::Null:
        case Family::Unknown:
            break;
    }
    return false;  // OGR remakes patches; read the record
}

// Whether a number no record can carry refutes a numbering: the .shx, the .dbf and the records
// laid end to end from the .shp header (counted only when a number is past the other two)
// count fewer. Without any count nothing is refuted.
bool ShapefileChecker::Impl::pastCounts(std::int64_t record) {
    const std::int64_t listed = shxHeaderOk_ ? shxEntries_ : 0;
    const std::int64_t rows = !dbfMissing_ && dbf_.has(0, 8) ? dbf_.ule32(4) : 0;
    if (record <= std::max(listed, rows)) {
        return false;
    }
    while (laidCount_ < record && shp_.has(laidEnd_, kRecordHeader)) {
        const std::int64_t length = static_cast<std::int64_t>(shp_.ube32(laidEnd_ + 4)) * 2;
        if (!shp_.has(laidEnd_ + kRecordHeader, length)) {
            break;
        }
        laidEnd_ += kRecordHeader + length;
        ++laidCount_;
    }
    return record > laidCount_ && std::max({listed, rows, laidCount_}) > 0;
}

void ShapefileChecker::Impl::tallyNumber(NumberTally& t, std::int64_t position,
                                         std::int64_t number) {
    if (t.read < 2) {
        t.first[t.read] = number;
    }
    t.lowest = t.read == 0 ? number : std::min(t.lowest, number);
    t.highest = t.read == 0 ? number : std::max(t.highest, number);
    ++t.read;
    ++t.sampled;
    t.fromOne += number == position + 1;
    t.fromZero += number == position;
}

// Numbering: most writers number from 1 as the format says; a few from 0; some leave it to
// chance. A record numbered past what the files hold (3 from 0 among three rows), or below the
// first number, refutes a numbering. Numbering from 0 is taken only where nothing refutes it;
// from 1 also where both are refuted (damaged numbers). Where both fit some records and the
// counts allow both, or both fit as many, which record is which is not known. The records are
// counted only where a number is past the .shx's and the .dbf's counts and it matters.
void ShapefileChecker::Impl::decideNumbering(const NumberTally& t) {
    numberTally_ = t;
    const bool refuteOne = t.read > 0 && (t.lowest < 1 || pastCounts(t.highest));
    const auto refuteZero = [&] {
        return t.read > 0 && (t.lowest < 0 || pastCounts(t.highest + 1));
    };
    if (t.fromOne > 0 && t.fromZero > 0 &&
        (t.fromOne == t.fromZero || (!refuteOne && !refuteZero()))) {
        numbering_ = Numbering::None;
    } else if (t.fromOne > t.fromZero && (!refuteOne || refuteZero())) {
        numbering_ = Numbering::FromOne;
    } else if (t.fromZero * 2 > t.sampled && !refuteZero()) {
        numbering_ = Numbering::FromZero;
    } else {
        numbering_ = Numbering::None;
    }
}

void ShapefileChecker::Impl::determineNumbering() {
    // Up to 256 records spread over the index decide.
    const std::int64_t count = entryCount();
    NumberTally t;
    const std::int64_t stride = std::max<std::int64_t>(1, count / 256);
    for (std::int64_t i = 0; i < count; i += stride) {
        const Entry e = entry(i);
        if (shp_.has(e.offset, kRecordHeader)) {
            tallyNumber(t, i, shp_.be32(e.offset));
        } else {
            ++t.sampled;
        }
    }
    decideNumbering(t);
}

// Where the numbering leaves the records' identities open, no attribute row can be proven a
// record's own: every record is kept without attributes.
void ShapefileChecker::Impl::declareNumbering() {
    if (!shpLoaded_ || numbering_ != Numbering::None || numberingDeclared_ ||
        result_.records == 0 || numberTally_.sampled == 0) {
        return;
    }
    numberingDeclared_ = true;
    const NumberTally& t = numberTally_;
    withoutAttributes(shpName_, 1, result_.records, [&] {
        const QString numbers =
            t.read == 0   ? QStringLiteral("no record header lies where the index points")
            : t.read == 1 ? QStringLiteral("the one read gives the number %1").arg(t.first[0])
            : t.lowest == t.highest
                ? QStringLiteral("all %1 read give the number %2").arg(t.read).arg(t.lowest)
                : QStringLiteral("the %1 read give numbers from %2 to %3, the first two %4 and %5")
                      .arg(t.read)
                      .arg(t.lowest)
                      .arg(t.highest)
                      .arg(t.first[0])
                      .arg(t.first[1]);
        return recordText(1) +
               QStringLiteral(
                   "the records are numbered neither from 1 nor from 0 (%1): which attribute "
                   "row is whose cannot be proven, and records 1 to %2 are kept without "
                   "attributes")
                   .arg(numbers)
                   .arg(result_.records);
    });
}

// Records of the .shp past the last one the index lists.
void ShapefileChecker::Impl::walkTail() {
    // Where the last record ends by the index (the records themselves are not read here).
    std::int64_t end = kHeader;
    for (std::int64_t i = 0; i < entryCount(); ++i) {
        const Entry e = entry(i);
        if (e.offset >= kHeader && e.offset + kRecordHeader + e.length <= shpSize_) {
            end = std::max(end, e.offset + kRecordHeader + e.length);
        }
    }
    if (end >= shpSize_) {
        return;
    }
    const Bytes& data = shp();  // reading it decides the numbering
    const std::int64_t listed = entryCount();
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

}  // namespace pelagon
