#pragma once

#include <cstdint>

namespace pelagon::bench {

// The bytes of this process's memory that are resident in RAM now, read from /proc/self/statm.
// Throws std::runtime_error when the file cannot be read.
std::int64_t residentBytes();

}  // namespace pelagon::bench
