#pragma once

#include <ogrsf_frmts.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace pelagon {

// Hands features read from a layer to the thread that converts them, in batches, so the two
// meet once per batch rather than once per feature. The reader pushes until the converter asks
// it to stop; the converter pops batches in the order they were pushed.
class FeatureQueue {
public:
    struct Item {
        OGRFeatureUniquePtr feature;
        std::int64_t ordinal = 0;  // 1 for the first feature of the layer
    };
    using Batch = std::vector<Item>;

    static constexpr std::size_t kBatchSize = 256;

    void push(Batch&& batch) {
        {
            std::lock_guard lock(mutex_);
            batches_.push_back(std::move(batch));
        }
        ready_.notify_one();
    }
    // No more batches will come.
    void close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        ready_.notify_one();
    }
    // The next batch; false once the queue is closed and empty.
    bool pop(Batch& batch) {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !batches_.empty() || closed_; });
        if (batches_.empty()) {
            return false;
        }
        batch = std::move(batches_.front());
        batches_.pop_front();
        return true;
    }
    // The converter needs no more (it found a problem).
    void stop() {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    bool stopped() {
        std::lock_guard lock(mutex_);
        return stopped_;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Batch> batches_;
    bool closed_ = false;
    bool stopped_ = false;
};

}  // namespace pelagon
