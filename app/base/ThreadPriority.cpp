#include "base/ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

namespace qel {

namespace {
// Two steps above normal, as far as a worker should go ahead of everything else.
constexpr int kHigherNice = -2;
constexpr int kLowestNice = 19;
}  // namespace

bool requestHigherPriority() {
    // On Linux a nice value belongs to a thread when it is set by the thread's own id.
    const auto thread = static_cast<id_t>(::gettid());
    if (::getpriority(PRIO_PROCESS, thread) <= kHigherNice) return true;
    return ::setpriority(PRIO_PROCESS, thread, kHigherNice) == 0;
}

bool requestLowestPriority() {
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kLowestNice) == 0;
}

}  // namespace qel
