#include "platform/ThreadPriority.h"

#include <windows.h>

namespace platform {

bool runInBackground()
{
    return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST) != 0;
}

} // namespace platform
