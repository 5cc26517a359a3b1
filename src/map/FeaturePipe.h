#pragma once

#include <QString>

#include <ogrsf_frmts.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace pelagon {

// Hands a layer's features over in file order. With a reader thread, OGR parses the next
// features while the caller converts the ones before, so reading and converting overlap;
// without one it is a plain read loop. GDAL failures met while reading end the features.
class FeaturePipe {
public:
    FeaturePipe(OGRLayer& layer, bool threaded);
    ~FeaturePipe();
    FeaturePipe(const FeaturePipe&) = delete;
    FeaturePipe& operator=(const FeaturePipe&) = delete;

    // The next feature, or null after the last one (or after a failure).
    OGRFeatureUniquePtr next();

    // The GDAL failures met while reading, empty when there were none.
    QString failures();

private:
    using Batch = std::vector<OGRFeatureUniquePtr>;
    static constexpr std::size_t kBatch = 64;
    static constexpr std::size_t kQueued = 8;

    void read();

    OGRLayer& layer_;
    bool threaded_;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> queue_;
    bool done_ = false;
    bool stop_ = false;
    QString failures_;
    Batch current_;
    std::size_t position_ = 0;
};

}  // namespace pelagon
