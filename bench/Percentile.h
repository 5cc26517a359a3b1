#pragma once

#include <vector>

namespace pelagon::bench {

// The nearest-rank percentile: the smallest value such that at least the given fraction of all
// values are at or below it (fraction 0.99 of 10,000 values is the 9,900th smallest). The fraction
// lies in (0, 1]; throws std::invalid_argument for no values or a fraction outside that range.
double percentile(std::vector<double> values, double fraction);

// The middle value; the mean of the two middle values for an even count. Throws
// std::invalid_argument for no values.
double median(std::vector<double> values);

}  // namespace pelagon::bench
