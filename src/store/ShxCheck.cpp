// The index against the records it points to: reading the .shx, where it looks wrong, and for
// each entry whether a record header of the right number and length stands where it points,
// and if not where it is and why.
#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "store/ShapefileCheckImpl.h"

namespace pelagon {

using shpcheck::contentProblem;
using shpcheck::kHeader;
using shpcheck::kRecordHeader;
using shpcheck::kSearchBudget;
using shpcheck::kSearchReach;
using shpcheck::plural;
using shpcheck::recordText;

void ShapefileChecker::Impl::readIndex() {
    const std::int64_t bySize =
        shxHeaderOk_ ? std::max<std::int64_t>((shx_.size() - kHeader) / 8, 0) : 0;
    const std::int64_t declared = shxHeaderOk_ ? static_cast<std::int64_t>(shx_.ube32(24)) * 2 : 0;
    // OGR reads as many entries as the header's length gives, and nothing when the file is
    // shorter than that.
    readByOgr_ = declared >= kHeader ? (declared - kHeader) / 8 : 0;
    const std::int64_t count = bySize;
    shxEntries_ = count;  // read where they are needed, not copied
    result_.records = count;
    result_.bad.assign(static_cast<std::size_t>(count), 0);
}

// Where the index alone shows that records must be read: an entry outside the .shp, one that
// does not begin where the one before it ends (a sound file written in one go has none, one
// edited in place a few), or an index whose records do not end where the .shp does (bytes
// inserted, cut out or cut off: every record is read).
void ShapefileChecker::Impl::markSuspicious() {
    std::int64_t end = kHeader;
    for (std::int64_t i = 0; i < checkable_; ++i) {
        const Entry e = entry(i);
        const std::int64_t recordEnd = e.offset + kRecordHeader + e.length;
        if (e.offset < kHeader || recordEnd > shpSize_) {
            marks_[static_cast<std::size_t>(i)] |= kSuspicious;
            continue;
        }
        if (i > 0 && e.offset != entry(i - 1).offset + kRecordHeader +
                                     entry(i - 1).length) {
            marks_[static_cast<std::size_t>(i - 1)] |= kSuspicious;
            marks_[static_cast<std::size_t>(i)] |= kSuspicious;
        }
        end = std::max(end, recordEnd);
    }
    wholeFile_ = end != shpSize_ || shpDeclared_ != shpSize_;
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

void ShapefileChecker::Impl::examineEntry(std::int64_t i) {
    const Entry e = entry(i);
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
            if (i + 1 < entryCount()) {
                return entry(i + 1).offset == at;
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
    if (other >= 0 && other < entryCount() && other != i &&
        entry(other).offset == e.offset) {
        problem(shxName_, record, record, [&] {
            return recordText(record) +
                   QStringLiteral("its index entry points to record %1").arg(other + 1);
        });
        return;
    }
    // A record in its place whose number is another's: OGR reads it whole, but whether it is
    // this record or the other one cannot be proven, nor so its attribute row.
    const std::int64_t length = static_cast<std::int64_t>(shp().ube32(e.offset + 4)) * 2;
    if (lengthsAgree(e.length, length) && shp().has(e.offset + kRecordHeader, length) &&
        contentProblem(shp(), e.offset + kRecordHeader, length, fileType_).isEmpty()) {
        withoutAttributes(shpName_, record, record, [&] {
            return recordText(record) +
                   QStringLiteral("its header gives the number %1; it is kept without attributes")
                       .arg(number);
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
        for (std::int64_t k = 0; k < entryCount(); ++k) {
            endings_.emplace(entry(k).offset + kRecordHeader + entry(k).length,
                             k);
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
               (shift > 0 ? QStringLiteral("it lies %1 after the place its index entry gives")
                                .arg(plural(shift, "byte", "bytes"))
                          : QStringLiteral("it lies %1 before the place its index entry gives")
                                .arg(plural(-shift, "byte", "bytes")));
    });
}

}  // namespace pelagon
