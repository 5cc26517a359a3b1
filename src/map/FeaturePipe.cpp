#include "map/FeaturePipe.h"

#include "map/GdalErrorCapture.h"

namespace pelagon {

FeaturePipe::FeaturePipe(OGRLayer& layer, bool threaded) : layer_(layer), threaded_(threaded) {
    layer_.ResetReading();
    if (threaded_) {
        reader_ = std::thread([this] { read(); });
    }
}

FeaturePipe::~FeaturePipe() {
    if (reader_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        reader_.join();
    }
}

void FeaturePipe::read() {
    GdalErrorCapture capture;  // this thread's own
    Batch batch;
    batch.reserve(kBatch);
    bool more = true;
    while (more) {
        OGRFeatureUniquePtr f(layer_.GetNextFeature());
        more = f != nullptr && !capture.hasFailure();
        if (f) {
            batch.push_back(std::move(f));
        }
        if (batch.size() == kBatch || (!more && !batch.empty())) {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || queue_.size() < kQueued; });
            if (stop_) {
                return;
            }
            queue_.push_back(std::move(batch));
            batch = Batch();
            batch.reserve(kBatch);
            changed_.notify_all();
        }
    }
    std::lock_guard lock(mutex_);
    done_ = true;
    failures_ = capture.hasFailure() ? capture.text() : QString();
    changed_.notify_all();
}

OGRFeatureUniquePtr FeaturePipe::next() {
    if (!threaded_) {
        return OGRFeatureUniquePtr(layer_.GetNextFeature());
    }
    if (position_ == current_.size()) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return done_ || !queue_.empty(); });
        if (queue_.empty()) {
            return nullptr;
        }
        current_ = std::move(queue_.front());
        queue_.pop_front();
        position_ = 0;
        changed_.notify_all();
    }
    return std::move(current_[position_++]);
}

QString FeaturePipe::failures() {
    std::lock_guard lock(mutex_);
    return failures_;
}

}  // namespace pelagon
