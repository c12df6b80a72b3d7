#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

namespace platform {

bool runInBackground()
{
    // The nice value on Linux is the thread's own, not the process's; a
    // thread may always lower its own. Not SCHED_IDLE: under a full machine
    // that could hold the sends back for seconds.
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19) == 0;
}

} // namespace platform
