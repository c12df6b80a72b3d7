#include "platform/UniqueFd.h"

#include <unistd.h>

namespace platform {

void UniqueFd::reset(int fd)
{
    int old = std::exchange(descriptor, fd);
    if (old >= 0)
        ::close(old);
}

} // namespace platform
