// The index rebuilt from the .shp: when the .shx is missing or does not lay its records end to
// end over the whole .shp, the records are walked from the first one as the format lays them
// out, one after another. Where a record is damaged, the next one is looked for nearby by its
// number, its length and its content, so that bytes cut out of or put into one record cost that
// record alone. The walk is the index OGR then reads through.
#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "store/ShapefileCheckImpl.h"

namespace pelagon {

using shpcheck::contentProblem;
using shpcheck::kHeader;
using shpcheck::kRecordHeader;
using shpcheck::kSearchBudget;
using shpcheck::kSearchReach;
using shpcheck::plural;
using shpcheck::recordText;

// Whether a sound record with this number (any, when the writer did not number them) stands at
// byte at: its header, its length within the file and its content as its shape type requires.
bool ShapefileChecker::Impl::recordAt(std::int64_t at, std::int64_t number) {
    if (at < kHeader || !shp().has(at, kRecordHeader + 4)) {
        return false;
    }
    const std::int64_t length = static_cast<std::int64_t>(shp().ube32(at + 4)) * 2;
    if (length < 4 || !shp().has(at + kRecordHeader, length)) {
        return false;
    }
    if (number >= 0 && numbering_ != Numbering::None && shp().be32(at) != number) {
        return false;
    }
    return contentProblem(shp(), at + kRecordHeader, length, fileType_).isEmpty();
}

// Where a sound record numbered number lies between lo and hi, nearest to near, followed by the
// end of the file or by the header of the record after it; -1 when none is found.
std::int64_t ShapefileChecker::Impl::seekRecord(std::int64_t number, std::int64_t lo,
                                                std::int64_t hi, std::int64_t near) {
    lo = std::max(lo, kHeader);
    hi = std::min(hi, shp().size() - kRecordHeader);
    if (hi < lo || searched_ > kSearchBudget) {
        return -1;
    }
    searched_ += hi - lo;
    auto chained = [&](std::int64_t p) {
        const std::int64_t next =
            p + kRecordHeader + static_cast<std::int64_t>(shp().ube32(p + 4)) * 2;
        if (next == shp().size()) {
            return true;
        }
        if (!shp().has(next, kRecordHeader)) {
            return false;
        }
        const std::int64_t length = static_cast<std::int64_t>(shp().ube32(next + 4)) * 2;
        return length >= 4 && shp().has(next + kRecordHeader, length) &&
               (numbering_ == Numbering::None || shp().be32(next) == number + 1);
    };
    std::int64_t best = -1;
    auto consider = [&](std::int64_t p) {
        if ((best < 0 || std::abs(p - near) < std::abs(best - near)) && recordAt(p, number) &&
            chained(p)) {
            best = p;
        }
    };
    if (numbering_ == Numbering::None) {
        for (std::int64_t p = lo; p <= hi; ++p) {
            consider(p);
        }
        return best;
    }
    // The record number's four bytes as they stand in the file.
    const quint32 bigEndian = qToBigEndian(static_cast<quint32>(number));
    std::byte pattern[4];
    std::memcpy(pattern, &bigEndian, 4);
    const std::byte* first = shp().at(lo);
    const std::byte* last = shp().at(hi + 4);
    const std::boyer_moore_horspool_searcher searcher(pattern, pattern + 4);
    for (const std::byte* p = first; p < last;) {
        const std::byte* hit = std::search(p, last, searcher);
        if (hit == last) {
            break;
        }
        consider(hit - shp().at(0));
        p = hit + 1;
    }
    return best;
}

// Where the walk goes on past damaged bytes at byte at, where the k-th record (from 0) should
// begin and neither it nor the next one is found: the nearest sound record within reach whose
// number is two or more past k's, followed by the next number or the end of the file, with at
// least the smallest record's bytes before it for each record between; -1 when none is.
std::int64_t ShapefileChecker::Impl::seekLater(std::int64_t k, std::int64_t at) {
    constexpr std::int64_t kSmallestRecord = kRecordHeader + 4;  // a null shape
    const std::int64_t hi = std::min(at + kSearchReach, shp().size() - kRecordHeader);
    // Counted against the searches' budget, as every search is: a file damaged all through
    // would otherwise be searched a reach at a time for each record.
    if (numbering_ == Numbering::None || hi < at || searched_ > kSearchBudget) {
        return -1;
    }
    searched_ += hi - at;
    for (std::int64_t p = at + kSmallestRecord; p <= hi; ++p) {
        const std::int64_t lost = static_cast<std::int64_t>(shp().be32(p)) - expectedNumber(k);
        if (lost >= 2 && p - at >= lost * kSmallestRecord &&
            seekRecord(expectedNumber(k) + lost, p, p, p) == p) {
            return p;
        }
    }
    return -1;
}

// Whether the index lays its records end to end from the header to the end of the .shp, as
// long as both headers say: then record i is entry i, and no record need be walked.
bool ShapefileChecker::Impl::indexLaysRecords() const {
    if (shxMissing_ || !shxHeaderOk_ || (shx_.size() - kHeader) % 8 != 0 ||
        readByOgr_ != entryCount() || shpDeclared_ != shpSize_) {
        return false;
    }
    std::int64_t at = kHeader;
    for (std::int64_t i = 0; i < entryCount(); ++i) {
        const Entry e = entry(i);
        if (e.offset != at || e.length < 4) {
            return false;
        }
        at += kRecordHeader + e.length;
    }
    return at == shpSize_;
}

void ShapefileChecker::Impl::restoreIndex() {
    // How the writer numbered its records, from the first ones laid end to end, as far as a
    // length that no record has (a record holds its shape type at least: zeroed bytes would
    // otherwise pass for a run of records numbered 0).
    NumberTally tally;
    for (std::int64_t at = kHeader, k = 0; k < 256 && shp().has(at, kRecordHeader); ++k) {
        const std::int64_t length = static_cast<std::int64_t>(shp().ube32(at + 4)) * 2;
        if (length < 4) {
            break;
        }
        tallyNumber(tally, k, shp().be32(at));
        at += kRecordHeader + length;
    }
    // With no record to go by (the first header damaged), the numbering stays as the index's
    // records gave it, or as the format says.
    if (tally.read > 0) {
        decideNumbering(tally);
    }
    struct Walked {
        Entry entry;
        QString damage;  // why the record is left out; empty for a sound one
    };
    std::vector<Walked> walk;
    std::int64_t outOfSequence = -1;  // the first record whose number breaks the sequence
    std::int64_t outOfSequenceNumber = 0;
    std::int64_t lostFrom = -1;  // byte from which no record could be found
    std::int64_t at = kHeader;
    const std::int64_t size = shp().size();
    // Keeps the sound record at `at` as the k-th walked, its number out of sequence.
    const auto keepOutOfSequence = [&](std::int64_t k, std::int64_t length) {
        if (outOfSequence < 0) {
            outOfSequence = k;
            outOfSequenceNumber = shp().be32(at);
        }
        walk.push_back({{at, length}, {}});
        at += kRecordHeader + length;
    };
    while (at < size) {
        const std::int64_t k = static_cast<std::int64_t>(walk.size());
        const std::int64_t length =
            shp().has(at, kRecordHeader) ? static_cast<std::int64_t>(shp().ube32(at + 4)) * 2 : 0;
        if (recordAt(at, expectedNumber(k))) {
            walk.push_back({{at, length}, {}});
            at += kRecordHeader + length;
            continue;
        }
        // A sound record but for its number, followed by the record numbered as the next one
        // should be: it is in its place and only its number is damaged. Searched for by its
        // number, a copy of it further on (or bytes that pass for one) would take the records
        // between with it. Its shape is kept, and the index's check finds its number wrong.
        if (numbering_ != Numbering::None && recordAt(at, -1) &&
            recordAt(at + kRecordHeader + length, expectedNumber(k + 1))) {
            walk.push_back({{at, length}, {}});
            at += kRecordHeader + length;
            continue;
        }
        if (numbering_ != Numbering::None && recordAt(at, -1) &&
            shp().be32(at) > expectedNumber(k) && shp().be32(at) - expectedNumber(k) < size) {
            // A sound record of a later number: records before it were cut out.
            keepOutOfSequence(k, length);
            continue;
        }
        // No record here: the one expected lies elsewhere (bytes put into or cut out of the
        // record before), or this one is damaged and the next lies further on.
        const std::int64_t lo = walk.empty() ? kHeader : walk.back().entry.offset + kRecordHeader;
        const std::int64_t itself = seekRecord(expectedNumber(k), lo, at + kSearchReach, at);
        if (itself >= 0 && itself != at && !walk.empty()) {
            Walked& before = walk.back();
            const std::int64_t delta = itself - at;
            before.damage = delta > 0 ? QStringLiteral("%1 past the length its header gives")
                                            .arg(plural(delta, "byte", "bytes"))
                                      : QStringLiteral("%1 short of the length its header gives")
                                            .arg(plural(-delta, "byte", "bytes"));
            before.entry.length = itself - before.entry.offset - kRecordHeader;
            at = itself;
            continue;
        }
        const std::int64_t next =
            seekRecord(expectedNumber(k + 1), at + kRecordHeader + 4, at + kSearchReach, at);
        if (next >= 0) {
            const QString why = shp().has(at + kRecordHeader, length) && length >= 4
                                    ? contentProblem(shp(), at + kRecordHeader, length, fileType_)
                                    : QString();
            walk.push_back({{at, next - at - kRecordHeader},
                            why.isEmpty() ? QStringLiteral("its header is damaged (it gives the "
                                                           "number %1 and a length of %2 bytes)")
                                                .arg(shp().has(at, 4) ? shp().be32(at) : 0)
                                                .arg(length)
                                          : why});
            at = next;
            continue;
        }
        if (numbering_ != Numbering::None && recordAt(at, -1)) {
            // A sound record whose number is out of sequence, with neither it nor the next one
            // found by number nearby: its shape is kept, but not whose it is.
            keepOutOfSequence(k, length);
            continue;
        }
        // Several records destroyed together (a block of the file overwritten): the walk goes on
        // at the first sound record further on whose number comes after them, with room for
        // them before it; they are left out.
        const std::int64_t resumed = seekLater(k, at);
        if (resumed >= 0) {
            const std::int64_t lost = shp().be32(resumed) - expectedNumber(k);
            for (std::int64_t d = 0; d < lost; ++d) {
                walk.push_back(
                    {{at, resumed - at - kRecordHeader},
                     QStringLiteral("it lies in damaged bytes (%1 from byte %2) that held %3")
                         .arg(resumed - at)
                         .arg(at)
                         .arg(plural(lost, "record", "records"))});
            }
            at = resumed;
            continue;
        }
        lostFrom = at;
        break;
    }

    const std::int64_t walked = static_cast<std::int64_t>(walk.size());
    const std::int64_t listed = entryCount();
    const auto firstDamage =
        std::find_if(walk.begin(), walk.end(), [](const Walked& w) { return !w.damage.isEmpty(); });
    const std::int64_t damagedFrom =
        firstDamage == walk.end() ? walked : static_cast<std::int64_t>(firstDamage - walk.begin());
    // Where the .shx first disagrees with the walk: before any damage of the .shp, in place or
    // length; after it, in length (the .shp's damage moves the records after it).
    std::int64_t differs = -1;
    for (std::int64_t i = 0; i < std::min(walked, listed); ++i) {
        const Entry e = entry(i);
        const Walked& w = walk[static_cast<std::size_t>(i)];
        if (w.damage.isEmpty() && (!lengthsAgree(e.length, w.entry.length) ||
                                   (i < damagedFrom && e.offset != w.entry.offset))) {
            differs = i;
            break;
        }
    }
    // The .shp ends where a record ends, short of the records the index lists, and its own
    // header or the .dbf's count agrees with the index: the .shp was cut off.
    const bool shpCutAtRecord =
        lostFrom < 0 && walked < listed &&
        (shpDeclared_ > size || (!dbfMissing_ && dbf_.has(0, 8) && dbf_.ule32(4) == listed));
    QString shxWrong;  // why the .shx cannot serve as it stands
    if (shxMissing_) {
        shxWrong = QStringLiteral("the .shx is missing");
    } else if (!shxHeaderOk_) {
        shxWrong = shxTypeWrong_.isEmpty() ? QStringLiteral("its header is damaged") : shxTypeWrong_;
    } else if (differs >= 0) {
        shxWrong = recordText(differs + 1) +
                   QStringLiteral(
                       "its index entry (byte %1, %2 bytes) disagrees with the .shp, "
                       "where the record lies at byte %3 (%4 bytes)")
                       .arg(entry(differs).offset)
                       .arg(entry(differs).length)
                       .arg(walk[static_cast<std::size_t>(differs)].entry.offset)
                       .arg(walk[static_cast<std::size_t>(differs)].entry.length);
    } else if ((shx_.size() - kHeader) % 8 != 0) {
        shxWrong = QStringLiteral("it ends inside an index entry");
    } else if (walked != listed && lostFrom < 0 && outOfSequence < 0 && !shpCutAtRecord) {
        shxWrong = QStringLiteral("it lists %1, the .shp holds %2")
                       .arg(plural(listed, "record", "records"))
                       .arg(walked);
    } else if (readByOgr_ != listed) {
        shxWrong = QStringLiteral("its header gives a length of %1 bytes, the file has %2")
                       .arg(static_cast<std::int64_t>(shx_.ube32(24)) * 2)
                       .arg(shx_.size());
    }
    if (shxWrong.isEmpty() && lostFrom < 0 && damagedFrom == walked && outOfSequence < 0 &&
        walked == listed) {
        // The index was right after all; only the .shp header's length is wrong.
        problem(shpName_, 0, -1, [&] {
            return QStringLiteral("its header gives a length of %1 bytes, the file has %2")
                .arg(shpDeclared_)
                .arg(size);
        });
        return;
    }

    // The walk is the index from now on.
    // Records the index lists past the walk count when the .shp lost them, not when the index
    // is at fault.
    const std::int64_t found = walked + (lostFrom >= 0 ? 1 : 0);
    const std::int64_t records = shxWrong.isEmpty() ? std::max(found, listed) : found;
    entries_.clear();
    for (const Walked& w : walk) {
        entries_.push_back(w.entry);
    }
    ownEntries_ = true;
    readByOgr_ = walked;
    result_.records = records;
    result_.bad.assign(static_cast<std::size_t>(records), 0);
    // The index counts in 16-bit words: when a record lies at an odd byte, OGR reads a copy of
    // the .shp with each damaged record replaced by a null shape, which moves the records after
    // it back to even bytes.
    const bool odd = std::any_of(walk.begin(), walk.end(), [](const Walked& w) {
        return w.entry.offset % 2 != 0 || w.entry.length % 2 != 0;
    });
    std::vector<Entry> placed;
    if (odd) {
        QByteArray copy(shpHeader_.at(0) != nullptr
                            ? QByteArray(reinterpret_cast<const char*>(shpHeader_.at(0)),
                                         static_cast<qsizetype>(kHeader))
                            : QByteArray());
        for (std::int64_t i = 0; i < walked; ++i) {
            const Walked& w = walk[static_cast<std::size_t>(i)];
            const std::int64_t at = copy.size();
            if (w.damage.isEmpty()) {
                copy.append(reinterpret_cast<const char*>(shp().at(w.entry.offset)),
                            static_cast<qsizetype>(kRecordHeader + w.entry.length));
                placed.push_back({at, w.entry.length});
            } else {
                char null[kRecordHeader + 4] = {};
                qToBigEndian<qint32>(static_cast<qint32>(expectedNumber(i)), null);
                qToBigEndian<qint32>(2, null + 4);
                copy.append(null, sizeof null);
                placed.push_back({at, 4});
            }
        }
        qToBigEndian<qint32>(static_cast<qint32>(copy.size() / 2), copy.data() + 24);
        qToLittleEndian<qint32>(fileType_, copy.data() + 32);
        result_.restoredShp = std::move(copy);
    } else {
        placed = entries_;
    }
    QByteArray index(static_cast<qsizetype>(kHeader + 8 * walked), '\0');
    std::memcpy(index.data(), shpHeader_.at(0), static_cast<std::size_t>(kHeader));
    qToLittleEndian<qint32>(fileType_, index.data() + 32);
    qToBigEndian<qint32>(static_cast<qint32>(index.size() / 2), index.data() + 24);
    for (std::int64_t i = 0; i < walked; ++i) {
        const Entry& w = placed[static_cast<std::size_t>(i)];
        qToBigEndian<qint32>(static_cast<qint32>(w.offset / 2), index.data() + kHeader + 8 * i);
        qToBigEndian<qint32>(static_cast<qint32>(w.length / 2), index.data() + kHeader + 8 * i + 4);
    }
    result_.restoredIndex = std::move(index);

    const std::int64_t sound = static_cast<std::int64_t>(std::count_if(
        walk.begin(), walk.end(), [](const Walked& w) { return w.damage.isEmpty(); }));
    if (!shxWrong.isEmpty()) {
        problem(shxName_, differs >= 0 ? differs + 1 : 0, 0, [&] {
            return shxWrong + QStringLiteral("; the index was rebuilt from the .shp (%1 read)")
                                  .arg(plural(sound, "record", "records"));
        });
    }
    for (std::int64_t i = 0; i < walked; ++i) {
        const QString& why = walk[static_cast<std::size_t>(i)].damage;
        if (!why.isEmpty()) {
            problem(shpName_, i + 1, i + 1, [&] { return recordText(i + 1) + why; });
        }
    }
    if (lostFrom >= 0) {
        problem(shpName_, walked + 1, records, [&] {
            if (shpDeclared_ > size && lostFrom + kRecordHeader <= size) {
                const std::int64_t length =
                    static_cast<std::int64_t>(shp().ube32(lostFrom + 4)) * 2;
                if (lostFrom + kRecordHeader + length > size) {
                    return recordText(walked + 1) +
                           QStringLiteral("the .shp is cut off %1 before the end of the record")
                               .arg(plural(lostFrom + kRecordHeader + length - size, "byte",
                                           "bytes"));
                }
            }
            return recordText(walked + 1) +
                   QStringLiteral("no record can be read from byte %1 of the .shp on (%2 bytes)")
                       .arg(lostFrom)
                       .arg(size - lostFrom);
        });
    }
    if (lostFrom < 0 && records > walked) {
        problem(shpName_, walked + 1, records, [&] {
            if (shpCutAtRecord) {
                return recordText(walked + 1) +
                       QStringLiteral(
                           "the .shp is cut off after %1 (%2 bytes); its index lists %3")
                           .arg(plural(walked, "record", "records"))
                           .arg(size)
                           .arg(listed);
            }
            return recordText(walked + 1) + QStringLiteral("the index lists %1, the .shp holds %2")
                                                .arg(plural(listed, "record", "records"))
                                                .arg(walked);
        });
    }
    if (outOfSequence >= 0) {
        // Which attribute row belongs to the records from here on cannot be proven.
        withoutAttributes(shpName_, outOfSequence + 1, walked, [&] {
            const bool later = outOfSequenceNumber > expectedNumber(outOfSequence);
            return recordText(outOfSequence + 1) +
                   QStringLiteral(
                       "the .shp holds record number %1 in its place: %2, and records %3 "
                       "to %4 are kept without attributes")
                       .arg(outOfSequenceNumber)
                       .arg(later ? QStringLiteral("records were cut out before it")
                                  : QStringLiteral("its number is out of sequence"))
                       .arg(outOfSequence + 1)
                       .arg(walked);
        });
    }
    restored_ = true;
}

}  // namespace pelagon
