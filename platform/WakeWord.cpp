#include "platform/WakeWord.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace platform {

namespace {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t) &&
              std::atomic<std::uint32_t>::is_always_lock_free);

std::uint32_t* address(std::atomic<std::uint32_t>& word)
{
    return reinterpret_cast<std::uint32_t*>(&word);
}

} // namespace

bool WakeWord::sleep(std::uint32_t seen, std::optional<Clock::time_point> deadline)
{
    // The bitset wait takes an absolute time on CLOCK_MONOTONIC, the steady clock's.
    timespec until{};
    if (deadline) {
        const auto since = deadline->time_since_epoch();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
        until.tv_sec = static_cast<time_t>(seconds.count());
        until.tv_nsec = static_cast<long>(std::chrono::nanoseconds(since - seconds).count());
    }
    const long done = ::syscall(SYS_futex, address(word), FUTEX_WAIT_BITSET_PRIVATE, seen,
                                deadline ? &until : nullptr, nullptr, FUTEX_BITSET_MATCH_ANY);
    return !(done == -1 && errno == ETIMEDOUT);
}

void WakeWord::wake()
{
    word.fetch_add(1, std::memory_order_release);
    ::syscall(SYS_futex, address(word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

} // namespace platform
