#include "store/LayerFiles.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace pelagon {

std::vector<StoreOpenResult> openLayerFiles(const std::vector<QString>& paths) {
    std::vector<StoreOpenResult> results(paths.size());
    std::atomic<std::size_t> next{0};
    const std::size_t workers =
        std::min<std::size_t>(paths.size(), std::max(1u, std::thread::hardware_concurrency()));
    auto work = [&] {
        for (std::size_t i = next++; i < paths.size(); i = next++) {
            results[i] = FeatureStore::open(paths[i]);
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t w = 1; w < workers; ++w) {
        threads.emplace_back(work);
    }
    work();
    for (std::thread& t : threads) {
        t.join();
    }
    return results;
}

}  // namespace pelagon
