// The tick count on Windows: the system's own, milliseconds since it started.
#include "platform/Ticks.h"

#include <windows.h>

namespace platform {

std::uint32_t tickCount()
{
    return GetTickCount();
}

} // namespace platform
