#include "platform/WakeupDescriptor.h"

#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

WakeupDescriptor::WakeupDescriptor() : fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void WakeupDescriptor::signal()
{
    std::uint64_t one = 1;
    // A full counter (which cannot happen in practice) still leaves it readable.
    [[maybe_unused]] auto written = ::write(fd.get(), &one, sizeof one);
}

void WakeupDescriptor::reset()
{
    std::uint64_t count;
    // Non-blocking: reading drains the counter, or fails when already clear.
    [[maybe_unused]] auto got = ::read(fd.get(), &count, sizeof count);
}

bool WakeupDescriptor::isSignalled() const
{
    pollfd p{fd.get(), POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

} // namespace platform
