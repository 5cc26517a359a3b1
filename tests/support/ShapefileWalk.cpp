#include "support/ShapefileWalk.h"

#include <QtEndian>

namespace pelagon::test {
namespace {

std::int64_t numberAt(const QByteArray& b, qsizetype at) {
    return qFromBigEndian<qint32>(b.constData() + at);
}

}  // namespace

ShpWalk walkShp(const QByteArray& shp, std::int64_t first) {
    ShpWalk records;
    qsizetype at = 100;
    std::int64_t last = first - 1;
    while (at + 12 <= shp.size()) {
        const std::int64_t number = numberAt(shp, at);
        const std::int64_t words = numberAt(shp, at + 4);
        if (words < 2 || at + 8 + 2 * words > shp.size()) {
            // A damaged length: the walk goes on at the next header further on (records lie on
            // 16-bit words) whose number follows and whose length fits the file.
            qsizetype next = -1;
            for (qsizetype p = at + 2; p + 12 <= shp.size() && next < 0; p += 2) {
                const std::int64_t n = numberAt(shp, p);
                const std::int64_t w = numberAt(shp, p + 4);
                if (n > last && n <= last + (shp.size() - p) / 12 && w >= 2 &&
                    p + 8 + 2 * w <= shp.size()) {
                    next = p;
                }
            }
            if (next < 0) {
                break;
            }
            at = next;
            continue;
        }
        // A number out of sequence, or beyond what the rest of the file could hold (a record
        // takes 12 bytes at least), is damaged: the record's identity is unknown and it is not
        // listed, but the records after it are.
        const std::int64_t room = (shp.size() - at) / 12;
        // A jump forward means records were cut out, unless the record after it goes on from
        // the number before the jump: then this record's own number is the damaged one.
        const qsizetype after = at + 8 + 2 * words;
        const bool jumpDamaged = number > last + 1 && after + 8 <= shp.size() &&
                                 numberAt(shp, after) > last && numberAt(shp, after) < number;
        if (number > last && number <= last + room && !jumpDamaged) {
            // A length too long hides the records it runs over: where the header it points
            // to does not follow on, the next record's header within its span ends it.
            qsizetype end = at + 8 + 2 * words;
            const auto follows = [&](qsizetype p) {
                return p + 12 <= shp.size() && numberAt(shp, p) == number + 1 &&
                       numberAt(shp, p + 4) >= 2 && p + 8 + 2 * numberAt(shp, p + 4) <= shp.size();
            };
            if (end + 12 <= shp.size() && !follows(end)) {
                for (qsizetype p = at + 12; p < end; p += 2) {
                    if (follows(p)) {
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
        // Unlisted, its length may run over records too: the first header within its span whose
        // number goes on from the last one listed ends it, where the header its length points
        // to does not.
        qsizetype end = at + 8 + 2 * words;
        const auto resumes = [&](qsizetype p) {
            const std::int64_t n = p + 12 <= shp.size() ? numberAt(shp, p) : last;
            return n > last && n <= last + (shp.size() - p) / 12 && numberAt(shp, p + 4) >= 2 &&
                   p + 8 + 2 * numberAt(shp, p + 4) <= shp.size();
        };
        if (end + 12 <= shp.size() && !resumes(end)) {
            for (qsizetype p = at + 12; p < end; p += 2) {
                if (resumes(p)) {
                    end = p;
                    break;
                }
            }
        }
        at = end;
    }
    return records;
}

}  // namespace pelagon::test
