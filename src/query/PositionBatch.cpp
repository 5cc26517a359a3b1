#include "query/PositionBatch.h"

#include <QThread>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "geo/AlbersProjection.h"

namespace pelagon {

PlacedPosition placePosition(positions::PositionRow& row, positions::Units units,
                             const AlbersProjection* projection) {
    PlacedPosition place;
    if (!row.problem.isEmpty()) {
        return place;
    }
    if (units == positions::Units::MapUnits) {
        place.status = PlacedPosition::Status::Placed;
        place.xy = {row.first, row.second};
        double lon = 0, lat = 0;
        if (projection != nullptr && projection->AlbersToLatLong(row.first, row.second, lon, lat)) {
            place.lonLat = MapPoint{lon, lat};
        }
        return place;
    }
    place.lonLat = MapPoint{row.first, row.second};
    double x = 0, y = 0;
    if (projection == nullptr || !projection->LatLongToAlbers(row.first, row.second, x, y)) {
        place.status = PlacedPosition::Status::OffProjection;
        row.problem = QStringLiteral("the position %1, %2 has no place on the map's projection")
                          .arg(row.first)
                          .arg(row.second);
        return place;
    }
    place.status = PlacedPosition::Status::Placed;
    place.xy = {x, y};
    return place;
}

namespace {

// Places and queries every row of a chunk, and writes its table rows.
void processChunk(PositionChunk& chunk, positions::Units units, const PositionQuery& query,
                  const AlbersProjection* projection, const PositionTable* table) {
    const std::size_t columns = query.columns().size();
    const std::size_t distances = query.distanceColumns().size();
    const std::size_t n = chunk.rows.size();
    chunk.places.resize(n);
    chunk.features.assign(n * columns, PositionQuery::kNothing);
    chunk.distances.assign(n * distances, PositionQuery::Distance{});
    chunk.table.resize(0);  // keeps the bytes reserved by the slot's last chunk
    thread_local std::vector<MapPoint> points;
    thread_local std::vector<std::uint32_t> placed;
    points.resize(n);
    placed.clear();
    for (std::size_t r = 0; r < n; ++r) {
        PlacedPosition& place = chunk.places[r];
        place = placePosition(chunk.rows[r], units, projection);
        points[r] = place.xy;
        if (place.status == PlacedPosition::Status::Placed) {
            placed.push_back(static_cast<std::uint32_t>(r));
        }
    }
    query.answerMany(points, placed, chunk.features.data(), chunk.distances.data());
    if (table == nullptr) {
        return;
    }
    for (const std::uint32_t r : placed) {
        table->appendRow(chunk.table, chunk.rows[r].id, chunk.places[r].lonLat, chunk.places[r].xy,
                         chunk.features.data() + r * columns,
                         chunk.distances.data() + r * distances);
    }
}

// Reads up to rows rows into chunk; false when there were none left.
bool readChunk(positions::PositionReader& reader, PositionChunk& chunk, int rows) {
    chunk.rows.resize(static_cast<std::size_t>(rows));
    std::size_t got = 0;
    while (got < chunk.rows.size() && reader.next(chunk.rows[got])) {
        ++got;
    }
    chunk.rows.resize(got);
    return got > 0;
}

bool cancelled(const PositionBatchOptions& options) {
    return options.cancel != nullptr && options.cancel->load(std::memory_order_relaxed);
}

}  // namespace

bool runPositionBatch(positions::PositionReader& reader, const PositionQuery& query,
                      const AlbersProjection* projection, const PositionBatchOptions& options,
                      const std::function<void(PositionChunk&)>& sink) {
    const positions::Units units = reader.units();
    const int chunkRows = std::max(1, options.chunkRows);
    const int threads = options.threads > 0 ? options.threads : QThread::idealThreadCount();

    if (threads <= 1) {
        PositionChunk chunk;
        qint64 done = 0;
        while (!cancelled(options) && readChunk(reader, chunk, chunkRows)) {
            chunk.firstRow = done;
            processChunk(chunk, units, query, projection, options.table);
            done += static_cast<qint64>(chunk.rows.size());
            sink(chunk);
        }
        return !cancelled(options);
    }

    // One thread reads chunks in file order, the workers take them as they come, and the
    // calling thread hands them to the sink in the order they were read. A bounded number of
    // chunks circulates, so the reader waits while the others are behind.
    struct Slot {
        PositionChunk chunk;
        qint64 sequence = 0;
        bool done = false;
    };
    const std::size_t slotCount = static_cast<std::size_t>(threads) * 2 + 1;
    std::vector<std::unique_ptr<Slot>> storage;
    std::vector<Slot*> free;
    for (std::size_t i = 0; i < slotCount; ++i) {
        storage.push_back(std::make_unique<Slot>());
        free.push_back(storage.back().get());
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Slot*> work;   // read, waiting for a worker
    std::deque<Slot*> order;  // read, in file order, waiting for the sink
    bool readingDone = false;
    bool stop = false;

    std::thread readerThread([&] {
        qint64 sequence = 0;
        qint64 rowsBefore = 0;
        for (;;) {
            Slot* slot = nullptr;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stop || !free.empty(); });
                if (stop) {
                    break;
                }
                slot = free.back();
                free.pop_back();
            }
            const bool got = !cancelled(options) && readChunk(reader, slot->chunk, chunkRows);
            std::lock_guard lock(mutex);
            if (!got) {
                free.push_back(slot);
                break;
            }
            slot->sequence = sequence++;
            slot->chunk.firstRow = rowsBefore;
            rowsBefore += static_cast<qint64>(slot->chunk.rows.size());
            slot->done = false;
            work.push_back(slot);
            order.push_back(slot);
            changed.notify_all();
        }
        std::lock_guard lock(mutex);
        readingDone = true;
        changed.notify_all();
    });

    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (;;) {
                Slot* slot = nullptr;
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return stop || !work.empty() || readingDone; });
                    if (stop || (work.empty() && readingDone)) {
                        return;
                    }
                    slot = work.front();
                    work.pop_front();
                }
                processChunk(slot->chunk, units, query, projection, options.table);
                std::lock_guard lock(mutex);
                slot->done = true;
                changed.notify_all();
            }
        });
    }

    bool completed = true;
    for (;;) {
        Slot* slot = nullptr;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] {
                return (!order.empty() && order.front()->done) || (order.empty() && readingDone);
            });
            if (order.empty()) {
                break;
            }
            slot = order.front();
            order.pop_front();
        }
        if (cancelled(options)) {
            completed = false;
        } else {
            sink(slot->chunk);
        }
        std::lock_guard lock(mutex);
        free.push_back(slot);
        changed.notify_all();
    }
    {
        std::lock_guard lock(mutex);
        stop = true;
        changed.notify_all();
    }
    readerThread.join();
    for (std::thread& w : workers) {
        w.join();
    }
    return completed && !cancelled(options);
}

}  // namespace pelagon
