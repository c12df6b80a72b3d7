// Windows keeps no per-process table of socket descriptors to raise: a
// process may hold as many sockets as memory allows.
#include "platform/DescriptorLimit.h"

namespace platform {

std::size_t raiseDescriptorLimit()
{
    return static_cast<std::size_t>(-1);
}

} // namespace platform
