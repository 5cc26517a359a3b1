#pragma once

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "tracks/AreaVisits.h"
#include "tracks/TrackTables.h"

namespace pelagon::cli {

// Follows the tracks of a file ordered by vessel on several threads: each vessel goes to one
// worker (vessel n to worker n mod count), which follows its positions as they come and turns
// the vessel's results into table rows; the rows come back in vessel order. Memory is bounded:
// add() waits while a worker has too many positions waiting.
class TrackPipeline {
public:
    // rows: the table rows of one vessel, from its walker's results (called on a worker).
    using RowWriter = std::function<void(const QByteArray& vessel, std::vector<tracks::Visit>&,
                                         std::vector<tracks::AreaHours>&, QByteArray& rows)>;

    TrackPipeline(const tracks::TrackAreas& areas, const tracks::TrackWork& work, int workers,
                  RowWriter writer);
    ~TrackPipeline();
    TrackPipeline(const TrackPipeline&) = delete;
    TrackPipeline& operator=(const TrackPipeline&) = delete;

    // The next position, of the vessel given by the last startVessel().
    void startVessel(const QByteArray& vessel);
    void add(const tracks::TrackPoint& p);
    // The rows of the vessels finished so far, in order (empty when the next is not yet done).
    QByteArray takeRows();
    // Finishes every vessel; the rows not yet taken.
    QByteArray finish();

private:
    struct Job {
        std::size_t vessel = 0;  // its number in the file
        QByteArray name;
        std::vector<tracks::TrackPoint> points;
        bool last = false;
    };
    struct Worker {
        std::deque<Job> jobs;
        std::size_t waiting = 0;  // positions in jobs
        std::condition_variable wake;
        std::thread thread;
    };
    void send(bool last);
    void run(Worker& w);

    const tracks::TrackAreas& areas_;
    tracks::TrackWork work_;
    RowWriter writer_;
    std::mutex mutex_;
    std::condition_variable room_;
    std::vector<std::unique_ptr<Worker>> workers_;
    bool closing_ = false;
    std::map<std::size_t, QByteArray> done_;  // rows of finished vessels
    std::size_t nextToTake_ = 0;
    std::size_t vessels_ = 0;  // vessels started
    QByteArray name_;
    std::vector<tracks::TrackPoint> buffer_;
};

}  // namespace pelagon::cli
