#include "Percentile.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace pelagon::bench {

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        throw std::invalid_argument("percentile of no values");
    }
    if (!(fraction > 0.0 && fraction <= 1.0)) {
        throw std::invalid_argument("percentile fraction must lie in (0, 1]");
    }
    // Rank counted from 1; the small tolerance keeps 0.99 * 100 at rank 99 despite rounding.
    const auto rank =
        static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size()) - 1e-9));
    const std::size_t index = std::clamp<std::size_t>(rank, 1, values.size()) - 1;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index),
                     values.end());
    return values[index];
}

double median(std::vector<double> values) {
    if (values.empty()) {
        throw std::invalid_argument("median of no values");
    }
    const std::size_t middle = values.size() / 2;
    const auto middleIt = values.begin() + static_cast<std::ptrdiff_t>(middle);
    std::nth_element(values.begin(), middleIt, values.end());
    const double upper = *middleIt;
    if (values.size() % 2 == 1) {
        return upper;
    }
    const double lower = *std::max_element(values.begin(), middleIt);
    return (lower + upper) / 2.0;
}

}  // namespace pelagon::bench
