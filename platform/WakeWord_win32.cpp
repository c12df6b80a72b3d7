// The wake word on Windows: WaitOnAddress, the system's futex.
#include "platform/WakeWord.h"

#include <windows.h>

namespace platform {

namespace {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t) &&
              std::atomic<std::uint32_t>::is_always_lock_free);

} // namespace

bool WakeWord::sleep(std::uint32_t seen, std::optional<Clock::time_point> deadline)
{
    DWORD milliseconds = INFINITE;
    if (deadline) {
        const auto left = *deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return false;
        // Rounded up, so that a wake-up for a timeout finds the deadline passed.
        const auto rounded = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        milliseconds = static_cast<DWORD>(std::min<long long>(rounded, INFINITE - 1));
    }
    if (WaitOnAddress(&word, &seen, sizeof seen, milliseconds))
        return true;
    return GetLastError() != ERROR_TIMEOUT;
}

void WakeWord::wake()
{
    word.fetch_add(1, std::memory_order_release);
    WakeByAddressSingle(&word);
}

} // namespace platform
