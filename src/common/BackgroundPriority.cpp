#include "common/BackgroundPriority.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace pelagon {

namespace {
// A nice value of 5 gives a thread about a third of the share of a thread at 0 on a contended
// core: enough for the window's thread to keep its turns, not so much that frames starve
// behind other programs.
constexpr int kBackgroundNice = 5;
}  // namespace

void lowerThreadPriority() {
#if defined(__linux__)
    thread_local bool lowered = false;
    if (lowered) {
        return;
    }
    lowered = true;
    // On Linux a nice value belongs to a thread, named by its id. Failure (a sandbox that forbids
    // it) leaves the thread as it was, which is only slower to yield.
    const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    if (current < kBackgroundNice) {
        (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kBackgroundNice);
    }
#endif
}

}  // namespace pelagon
