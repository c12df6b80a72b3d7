#include "platform/Readiness.h"

#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>

namespace platform {

ReadinessSet::ReadinessSet() : fd(::epoll_create1(EPOLL_CLOEXEC)) {}

bool ReadinessSet::add(int descriptor, void* key, bool persistent)
{
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP | (persistent ? 0u : static_cast<std::uint32_t>(EPOLLONESHOT));
    event.data.ptr = key;
    return ::epoll_ctl(fd.get(), EPOLL_CTL_ADD, descriptor, &event) == 0;
}

bool ReadinessSet::rearm(int descriptor, void* key)
{
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
    event.data.ptr = key;
    return ::epoll_ctl(fd.get(), EPOLL_CTL_MOD, descriptor, &event) == 0;
}

void ReadinessSet::remove(int descriptor)
{
    ::epoll_ctl(fd.get(), EPOLL_CTL_DEL, descriptor, nullptr);
}

int ReadinessSet::wait(std::span<void*> keys, std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    constexpr std::size_t most = 64;
    const bool limited = timeout.count() >= 0;
    const auto deadline = Clock::now() + (limited ? timeout : std::chrono::milliseconds(0));
    std::array<epoll_event, most> events{};
    const int room = static_cast<int>(std::min(keys.size(), most));
    for (;;) {
        int wait = -1;
        if (limited) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
        }
        int ready = ::epoll_wait(fd.get(), events.data(), room, wait);
        if (ready > 0) {
            for (int i = 0; i < ready; ++i)
                keys[static_cast<std::size_t>(i)] = events[static_cast<std::size_t>(i)].data.ptr;
            return ready;
        }
        if (ready < 0 && errno != EINTR)
            return -1;
        if (ready == 0 && limited && Clock::now() >= deadline)
            return 0;
    }
}

OneShotTimer::OneShotTimer() : fd(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK)) {}

void OneShotTimer::arm(std::chrono::microseconds after)
{
    const long long micros = std::max<long long>(after.count(), 1);
    itimerspec setting{};
    setting.it_value.tv_sec = static_cast<time_t>(micros / 1000000);
    setting.it_value.tv_nsec = static_cast<long>(micros % 1000000 * 1000);
    ::timerfd_settime(fd.get(), 0, &setting, nullptr);
}

void OneShotTimer::consume()
{
    std::uint64_t expirations = 0;
    [[maybe_unused]] ssize_t got = ::read(fd.get(), &expirations, sizeof expirations);
}

} // namespace platform
