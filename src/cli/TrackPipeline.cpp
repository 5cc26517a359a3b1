#include "cli/TrackPipeline.h"

namespace pelagon::cli {

namespace {

// Positions handed to a worker at a time, and how many may wait for one.
constexpr std::size_t kJobPoints = 4096;
constexpr std::size_t kMaxWaiting = 64 * kJobPoints;

}  // namespace

TrackPipeline::TrackPipeline(const tracks::TrackAreas& areas, const tracks::TrackWork& work,
                             int workers, RowWriter writer)
    : areas_(areas), work_(work), writer_(std::move(writer)) {
    for (int k = 0; k < std::max(1, workers); ++k) {
        workers_.push_back(std::make_unique<Worker>());
    }
    for (auto& w : workers_) {
        w->thread = std::thread([this, worker = w.get()] { run(*worker); });
    }
}

TrackPipeline::~TrackPipeline() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    for (auto& w : workers_) {
        w->wake.notify_all();
    }
    for (auto& w : workers_) {
        if (w->thread.joinable()) {
            w->thread.join();
        }
    }
}

void TrackPipeline::startVessel(const QByteArray& vessel) {
    if (vessels_ > 0) {
        send(true);
    }
    name_ = vessel;
    ++vessels_;
}

void TrackPipeline::add(const tracks::TrackPoint& p) {
    buffer_.push_back(p);
    if (buffer_.size() >= kJobPoints) {
        send(false);
    }
}

void TrackPipeline::send(bool last) {
    Job job;
    job.vessel = vessels_ - 1;
    job.name = name_;
    job.points.swap(buffer_);
    job.last = last;
    Worker& w = *workers_[job.vessel % workers_.size()];
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] { return w.waiting < kMaxWaiting; });
    w.waiting += job.points.size();
    w.jobs.push_back(std::move(job));
    w.wake.notify_one();
}

void TrackPipeline::run(Worker& w) {
    std::optional<tracks::TrackWalker> walker;
    std::vector<tracks::Visit> visits;
    std::vector<tracks::AreaHours> hours;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            w.wake.wait(lock, [&] { return closing_ || !w.jobs.empty(); });
            if (w.jobs.empty()) {
                return;
            }
            job = std::move(w.jobs.front());
            w.jobs.pop_front();
            w.waiting -= job.points.size();
        }
        room_.notify_all();
        if (!walker) {
            walker.emplace(areas_, 0, work_.track, work_.hours, work_.visits ? &visits : nullptr,
                           work_.wantHours ? &hours : nullptr);
        }
        for (const tracks::TrackPoint& p : job.points) {
            walker->add(p);
        }
        if (!job.last) {
            continue;
        }
        walker->finish();
        walker.reset();
        QByteArray rows;
        writer_(job.name, visits, hours, rows);
        visits.clear();
        hours.clear();
        {
            const std::lock_guard lock(mutex_);
            done_.emplace(job.vessel, std::move(rows));
        }
        room_.notify_all();
    }
}

QByteArray TrackPipeline::takeRows() {
    QByteArray out;
    const std::lock_guard lock(mutex_);
    for (auto it = done_.find(nextToTake_); it != done_.end(); it = done_.find(nextToTake_)) {
        out.append(it->second);
        done_.erase(it);
        ++nextToTake_;
    }
    return out;
}

QByteArray TrackPipeline::finish() {
    if (vessels_ > 0) {
        send(true);
    }
    QByteArray out;
    std::unique_lock lock(mutex_);
    while (nextToTake_ < vessels_) {
        room_.wait(lock, [&] { return done_.contains(nextToTake_); });
        auto it = done_.find(nextToTake_);
        out.append(it->second);
        done_.erase(it);
        ++nextToTake_;
    }
    return out;
}

}  // namespace pelagon::cli
