#include "ProcessMemory.h"

#include <unistd.h>

#include <fstream>
#include <stdexcept>

namespace pelagon::bench {

std::int64_t residentBytes() {
    // statm holds sizes in pages: total program size first, the resident set second.
    std::ifstream statm("/proc/self/statm");
    std::int64_t sizePages = 0;
    std::int64_t residentPages = 0;
    if (!(statm >> sizePages >> residentPages)) {
        throw std::runtime_error("/proc/self/statm: cannot read the resident set size");
    }
    return residentPages * static_cast<std::int64_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace pelagon::bench
