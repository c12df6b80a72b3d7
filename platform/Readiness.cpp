#include "platform/Readiness.h"

#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <memory>

namespace platform {

/// The epoll instance.
struct ReadinessSet::State {
    UniqueFd fd;
};

ReadinessSet::ReadinessSet() : state(std::make_unique<State>(State{UniqueFd(::epoll_create1(EPOLL_CLOEXEC))})) {}

ReadinessSet::~ReadinessSet() = default;

bool ReadinessSet::isValid() const
{
    return state->fd.isValid();
}

bool ReadinessSet::add(int descriptor, std::uint64_t key, Watch watch)
{
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP | (watch == Watch::arrivals ? static_cast<std::uint32_t>(EPOLLET) : 0u);
    event.data.u64 = key;
    return ::epoll_ctl(state->fd.get(), EPOLL_CTL_ADD, descriptor, &event) == 0;
}

bool ReadinessSet::watchWritable(int descriptor, std::uint64_t key, bool on)
{
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP | EPOLLET | (on ? static_cast<std::uint32_t>(EPOLLOUT) : 0u);
    event.data.u64 = key;
    return ::epoll_ctl(state->fd.get(), EPOLL_CTL_MOD, descriptor, &event) == 0;
}

void ReadinessSet::remove(int descriptor)
{
    ::epoll_ctl(state->fd.get(), EPOLL_CTL_DEL, descriptor, nullptr);
}

int ReadinessSet::wait(std::span<std::uint64_t> keys, bool block)
{
    std::array<epoll_event, 64> events{};
    const int room = static_cast<int>(std::min(keys.size(), events.size()));
    int ready;
    do
        ready = ::epoll_wait(state->fd.get(), events.data(), room, block ? -1 : 0);
    while (ready < 0 && errno == EINTR);
    for (int i = 0; i < ready; ++i) {
        const epoll_event& event = events[static_cast<std::size_t>(i)];
        // A hang-up or failure ends a wait for room too (it ends every
        // send); whoever is not waiting for room takes it as input.
        const bool canSend = (event.events & (EPOLLOUT | EPOLLERR | EPOLLHUP)) != 0;
        keys[static_cast<std::size_t>(i)] = event.data.u64 | (canSend ? writable : 0);
    }
    return ready < 0 ? -1 : ready;
}

/// The timerfd.
struct OneShotTimer::State {
    UniqueFd fd;
};

OneShotTimer::OneShotTimer()
    : state(std::make_unique<State>(State{UniqueFd(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK))}))
{
}

OneShotTimer::~OneShotTimer() = default;

bool OneShotTimer::isValid() const
{
    return state->fd.isValid();
}

int OneShotTimer::descriptor() const
{
    return state->fd.get();
}

void OneShotTimer::arm(std::chrono::microseconds after)
{
    const long long micros = std::max<long long>(after.count(), 1);
    itimerspec setting{};
    setting.it_value.tv_sec = static_cast<time_t>(micros / 1000000);
    setting.it_value.tv_nsec = static_cast<long>(micros % 1000000 * 1000);
    ::timerfd_settime(state->fd.get(), 0, &setting, nullptr);
}

void OneShotTimer::consume()
{
    std::uint64_t expirations = 0;
    [[maybe_unused]] ssize_t got = ::read(state->fd.get(), &expirations, sizeof expirations);
}

} // namespace platform
