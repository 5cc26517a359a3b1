#pragma once

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "common/MapTypes.h"
#include "positions/PositionsFile.h"
#include "query/PositionQuery.h"

namespace pelagon {

struct AlbersProjection;

// Where a position of a file lies on the map.
struct PlacedPosition {
    enum class Status {
        Placed,         // xy holds the position on the map's plane
        Unreadable,     // the row cannot be read (its problem says why)
        OffProjection,  // degrees that have no place on the map's projection
    };
    Status status = Status::Unreadable;
    MapPoint xy;
    // Longitude (x) and latitude (y) in degrees, where the projection gives them.
    std::optional<MapPoint> lonLat;
};

// Places a row: degrees through the projection onto the plane, map units as they are with their
// degrees where the projection gives them (none without a projection). A row of degrees that
// the projection cannot place gets the problem "the position LON, LAT has no place on the
// map's projection". projection may be null only for map units.
PlacedPosition placePosition(positions::PositionRow& row, positions::Units units,
                             const AlbersProjection* projection);

// A run of rows of a file, with where each lies and what the query found there.
struct PositionChunk {
    qint64 firstRow = 0;  // rows of the file before this chunk
    std::vector<positions::PositionRow> rows;
    std::vector<PlacedPosition> places;
    std::vector<std::int32_t> features;              // rows × the query's columns
    std::vector<PositionQuery::Distance> distances;  // rows × its distance columns
    QByteArray table;  // the table's rows of the placed positions, when a table was given
};

struct PositionBatchOptions {
    int threads = 0;                            // threads that query; 0: one per processor core
    int chunkRows = 4096;                       // rows handed to a thread at a time
    const PositionTable* table = nullptr;       // writes each chunk's rows as CSV when given
    const std::atomic<bool>* cancel = nullptr;  // set to stop early
};

// Reads every row of reader, places it and asks the query there, on several threads, and hands
// the chunks to sink on the calling thread in file order. With one thread everything runs on
// the calling thread. At most a few chunks per thread are held at once, so memory does not grow
// with the file. Returns false when cancelled.
bool runPositionBatch(positions::PositionReader& reader, const PositionQuery& query,
                      const AlbersProjection* projection, const PositionBatchOptions& options,
                      const std::function<void(PositionChunk&)>& sink);

}  // namespace pelagon
