#pragma once

#include <benchmark/benchmark.h>

#include <optional>
#include <string>

#include "BenchData.h"

namespace pelagon::bench {

// The benchmark data, read once per program; when it cannot be read, every benchmark that asks is
// skipped with the reason.
inline const BenchData* dataOrSkip(benchmark::State& state) {
    static std::optional<BenchData> data;
    static std::string error;
    if (!data && error.empty()) {
        try {
            data = BenchData::load(BenchData::defaultFolder());
        } catch (const BenchDataError& e) {
            error = e.what();
        }
    }
    if (!data) {
        state.SkipWithError(error.c_str());
        return nullptr;
    }
    return &*data;
}

}  // namespace pelagon::bench
