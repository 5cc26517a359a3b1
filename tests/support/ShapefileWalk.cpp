#include "support/ShapefileWalk.h"

#include <QtEndian>

#include <cstdint>
#include <utility>

namespace pelagon::test {
namespace {

std::int64_t numberAt(const QByteArray& b, qsizetype at) {
    return qFromBigEndian<qint32>(b.constData() + at);
}

// The bytes a 2D shape's own counts need (a point, a multipoint, a line or polygon) whose
// content begins at at, read as far as the file goes; -1 for another type or counts past it.
std::int64_t shapeBytes(const QByteArray& shp, qsizetype at) {
    const auto count = [&](qsizetype k) {
        return at + k + 4 <= shp.size()
                   ? std::int64_t{qFromLittleEndian<qint32>(shp.constData() + at + k)}
                   : std::int64_t{-1};
    };
    const std::int64_t parts = count(36), points = count(40);
    switch (count(0)) {
        case 1:
            return 20;
        case 8:
            return parts >= 0 ? 40 + 16 * parts : -1;
        case 3:
        case 5:
            return parts >= 0 && points >= 0 ? 44 + 4 * parts + 16 * points : -1;
        default:
            return -1;
    }
}

// Whether the content of bytes at at is exactly what its shape's own counts need: then its
// length is its own, whatever follows.
bool lengthOfItsShape(const QByteArray& shp, qsizetype at, qsizetype bytes) {
    return bytes >= 4 && shapeBytes(shp, at) == bytes;
}

// A header at p whose number goes on from after, within what the rest of the file could hold
// (a record takes 12 bytes at least), and whose length fits the file.
bool headerFits(const QByteArray& shp, qsizetype p, std::int64_t after) {
    if (p < 100 || p + 12 > shp.size()) {
        return false;
    }
    const std::int64_t n = numberAt(shp, p), w = numberAt(shp, p + 4);
    return n > after && n <= after + (shp.size() - p) / 12 && w >= 2 && p + 8 + 2 * w <= shp.size();
}

// Whether the record whose header is at p ends where the file does or another header that
// goes on from its number begins.
bool headerChained(const QByteArray& shp, qsizetype p) {
    const std::int64_t words = numberAt(shp, p + 4);
    const qsizetype end = p + 8 + 2 * words;
    return words >= 2 && (end == shp.size() || headerFits(shp, end, numberAt(shp, p)));
}

// Chained, or its length is what its shape's counts need (the record after it may be damaged).
bool headerSound(const QByteArray& shp, qsizetype p) {
    return headerChained(shp, p) || lengthOfItsShape(shp, p + 8, 2 * numberAt(shp, p + 4));
}

std::int32_t shapeTypeAt(const QByteArray& shp, qsizetype at) {
    return at + 4 <= shp.size() ? qFromLittleEndian<qint32>(shp.constData() + at) : -1;
}

// A header of a null shape or of the file's shape type: the header's, or the first record's
// where the header's is damaged.
bool headerOfFileType(const QByteArray& shp, qsizetype p) {
    const std::int32_t type = shapeTypeAt(shp, p + 8);
    return type == 0 ||
           (type > 0 && (type == shapeTypeAt(shp, 32) || type == shapeTypeAt(shp, 108)));
}

}  // namespace

ShpWalk walkShp(const QByteArray& shp, std::int64_t first) {
    const auto fits = [&](qsizetype p, std::int64_t after) { return headerFits(shp, p, after); };
    const auto chained = [&](qsizetype p) { return headerChained(shp, p); };
    const auto sound = [&](qsizetype p) { return headerSound(shp, p); };
    const auto ofFileType = [&](qsizetype p) { return headerOfFileType(shp, p); };
    // The next such header from byte from (records lie on 16-bit words) before byte to, -1 when
    // there is none. Bytes inside a damaged record can pass for headers, even for a run of
    // them (another file's records pasted in): of the headers whose record ends where the file
    // does or another such header begins, or whose length is what its shape's counts need (the
    // record after it may be damaged too), the one of the lowest number, as the records'
    // numbers rise through the file, then one that ends where another begins; else the first.
    // Only a header of a null shape or the file's shape type counts.
    const auto rank = [&](qsizetype p) { return std::pair{numberAt(shp, p), !chained(p)}; };
    const auto nextHeader = [&](qsizetype from, qsizetype to, std::int64_t after) {
        qsizetype any = -1, best = -1;
        for (qsizetype p = from; p < to && p + 12 <= shp.size(); p += 2) {
            if (!fits(p, after) || !ofFileType(p)) {
                continue;
            }
            if (sound(p) && (best < 0 || rank(p) < rank(best))) {
                best = p;
            }
            any = any < 0 ? p : any;
        }
        return best >= 0 ? best : any;
    };
    ShpWalk records;
    qsizetype at = 100;
    std::int64_t last = first - 1;
    while (at + 12 <= shp.size()) {
        const std::int64_t number = numberAt(shp, at);
        const std::int64_t words = numberAt(shp, at + 4);
        if (words < 2 || at + 8 + 2 * words > shp.size()) {
            // A damaged length: the walk goes on at the next header further on whose number
            // follows.
            const qsizetype next = nextHeader(at + 2, shp.size(), last);
            if (next < 0) {
                break;
            }
            at = next;
            continue;
        }
        // A number out of sequence, or beyond what the rest of the file could hold, is damaged:
        // the record's identity is unknown and it is not listed, but the records after it are.
        const std::int64_t room = (shp.size() - at) / 12;
        // A jump forward means records were cut out, unless the record after it goes on from
        // the number before the jump: then this record's own number is the damaged one. Where
        // the header after it is damaged too, the next one found further on tells.
        const qsizetype after = at + 8 + 2 * words;
        const auto goesOn = [&](qsizetype p) {
            return p >= 0 && p + 8 <= shp.size() && numberAt(shp, p) > last &&
                   numberAt(shp, p) < number;
        };
        const bool jumpDamaged =
            number > last + 1 &&
            (goesOn(after) || (after + 8 <= shp.size() && !fits(after, last) &&
                               goesOn(nextHeader(after + 2, shp.size(), last))));
        if (number > last && number <= last + room && !jumpDamaged) {
            // A length too long hides the records it runs over: where the header it points
            // to does not follow on, or it reaches the end of the file, the next record's
            // header within its span ends it, one of the file's shape type whose own record
            // ends where another begins (not bytes of this one's shape, nor another layer's
            // records pasted in).
            qsizetype end = at + 8 + 2 * words;
            const auto follows = [&](qsizetype p) {
                return p + 12 <= shp.size() && numberAt(shp, p) == number + 1 &&
                       numberAt(shp, p + 4) >= 2 && p + 8 + 2 * numberAt(shp, p + 4) <= shp.size();
            };
            // Not where its content is what its shape's counts need. Reaching the end, only a
            // run of records that ends there too ends it: a sound last record can hold bytes
            // that pass for one header.
            const bool toEnd = end == shp.size();
            const auto runsToEnd = [&](qsizetype p) {
                for (std::int64_t after = number; p < shp.size();
                     p += 8 + 2 * numberAt(shp, p + 4)) {
                    if (!fits(p, after)) {
                        return false;
                    }
                    after = numberAt(shp, p);
                }
                return p == shp.size();
            };
            // Where the shape's counts end the record at the next record's header (or at the
            // end of the file), the length is the damaged part, too short or too long.
            const std::int64_t own = shapeBytes(shp, at + 8);
            const qsizetype ownEnd = own >= 4 ? at + 8 + own : -1;
            if (own != 2 * words && ownEnd >= 0 && ownEnd <= shp.size() &&
                (ownEnd == shp.size() || (follows(ownEnd) && sound(ownEnd)))) {
                end = ownEnd;
            } else if (!lengthOfItsShape(shp, at + 8, 2 * words) &&
                       (toEnd || (end + 12 <= shp.size() && !follows(end)))) {
                for (qsizetype p = at + 12; p < end; p += 2) {
                    if (follows(p) && ofFileType(p) && (toEnd ? runsToEnd(p) : chained(p))) {
                        end = p;
                        break;
                    }
                }
            }
            records[number - first + 1] = {at, end - at};
            last = number;
            at = end;
            continue;
        }
        // Unlisted, its length may run over records too: where the header its length points to
        // does not go on from the last one listed, the next within its span that does ends it.
        qsizetype end = at + 8 + 2 * words;
        if (end + 12 <= shp.size() && !fits(end, last)) {
            const qsizetype next = nextHeader(at + 12, end, last);
            end = next >= 0 ? next : end;
        }
        at = end;
    }
    return records;
}

ShpRecords soundRecords(const QByteArray& shp, std::int64_t first) {
    ShpRecords found;
    for (qsizetype p = 100; p + 12 <= shp.size(); p += 2) {
        const std::int64_t number = numberAt(shp, p), words = numberAt(shp, p + 4);
        if (number >= first && words >= 2 && p + 8 + 2 * words <= shp.size() &&
            headerOfFileType(shp, p) && headerSound(shp, p)) {
            found.emplace(number - first + 1, std::pair{p, 8 + 2 * words});
        }
    }
    return found;
}

PlaceNumbering numberingByPlace(const QByteArray& shp) {
    PlaceNumbering n;
    const auto endsWell = [&](qsizetype end) {
        return end == shp.size() ||
               (end + 12 <= shp.size() && headerOfFileType(shp, end) && headerSound(shp, end));
    };
    std::int64_t place = 0;
    for (qsizetype at = 100; at + 12 <= shp.size(); ++place) {
        const std::int64_t number = numberAt(shp, at), words = numberAt(shp, at + 4);
        const bool fits = words >= 2 && at + 8 + 2 * words <= shp.size();
        const std::int64_t own = shapeBytes(shp, at + 8);
        qsizetype end = at + 8 + 2 * words;
        if (!(fits && endsWell(end))) {
            if (own >= 4 && at + 8 + own <= shp.size() && endsWell(at + 8 + own)) {
                end = at + 8 + own;
            } else if (!fits) {
                break;
            }
        }
        n.fromZero += number == place;
        n.fromOne += number == place + 1;
        at = end;
    }
    return n;
}

}  // namespace pelagon::test
