#pragma once

// The comparison's own walk of a .shp (support/ShapefileDiff.h), which knows each record by the
// number in its header.
#include <QByteArray>

#include <cstdint>
#include <map>
#include <utility>

namespace pelagon::test {

// Record number (from 1) -> (offset, bytes with the record header).
using ShpWalk = std::map<std::int64_t, std::pair<qsizetype, qsizetype>>;

// The records of the .shp by the numbers in their own headers, walking from the file's header
// one record after the other: record number (from 1) -> (offset, bytes with the record header),
// where the writer numbered from first (1 as the format says, or 0). The walk goes on past a
// record whose length runs past the file at the next header that fits; a record whose length
// disagrees with its shape's counts ends where they do when the next record begins there; a
// record whose number does not follow the one before is not listed.
ShpWalk walkShp(const QByteArray& shp, std::int64_t first);

using ShpRecords = std::multimap<std::int64_t, std::pair<qsizetype, qsizetype>>;

// Every sound record header anywhere in the .shp, by its number as walkShp gives it: of a null
// shape or the file's shape type, its length within the file and either what its shape's counts
// need or ending where the file does or a header going on from its number begins. Where the
// walk had to guess past a damaged header, a record may be found twice (a copy pasted in, or
// bytes the walk took for another record): each carries the number that pairs it with its row.
ShpRecords soundRecords(const QByteArray& shp, std::int64_t first);

// How many of the records laid end to end from the file's header carry their place counted from
// 0, and how many from 1. A record ends where its header's length says if a sound header or the
// file's end lies there, else where its shape's own counts end if one of those lies there, else
// where its length says if that fits the file; the laying stops where nothing fits. Places are
// known where numbers are not: the first records' headers may all be damaged.
struct PlaceNumbering {
    std::int64_t fromZero = 0, fromOne = 0;
};
PlaceNumbering numberingByPlace(const QByteArray& shp);

}  // namespace pelagon::test
